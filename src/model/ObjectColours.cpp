#include "model/ObjectColours.h"

#include "model/Errors.h"

#include <random>

const std::array<uint32_t, CObjectColours::kCount> CObjectColours::kPalette = {
    0x8B8B00, 0x3C14DC, 0xFF00FF, 0xFF901E, 0x9314FF, 0x00FF7F, 0x4F4F2F, 0xC1B6FF,
    0x82004B, 0x00D7FF, 0xFFBF00, 0x9314FF, 0x00FC7C, 0x8080F0, 0xB48246, 0x7280FA,
    0x00FFFF, 0xFACE87, 0x2F6B55, 0xAACD66, 0xDDA0DD, 0x8CE6F0, 0x2222B2, 0xD670DA,
    0xD5EFFF, 0x3F85CD, 0xEBCE87, 0xADDEFF, 0xD0E040, 0x9AFA00, 0xDB7093, 0x2D52A0,
    0x60A4F4, 0x998877, 0x8080F0, 0x00FF00, 0xCDFAFF, 0x20A5DA, 0xE6E0B0, 0x8F8FBC,
};

static int32_t RandomFirstIndex()
{
    std::random_device device;
    std::uniform_int_distribution<int32_t> pick(0, CObjectColours::kCount - 1);
    return pick(device);
}

CObjectColours::CObjectColours() : m_next(RandomFirstIndex())
{}

CObjectColours::CObjectColours(int32_t firstIndex)
{
    CheckIndex(firstIndex, kCount);
    m_next = firstIndex;
}

uint32_t CObjectColours::Next()
{
    const uint32_t colour = kPalette[static_cast<size_t>(m_next)];
    m_next = (m_next + 1) % kCount;
    return colour;
}

CObjectColours& TheObjectColours()
{
    static CObjectColours colours;
    return colours;
}

uint32_t NextObjectColour()
{
    return TheObjectColours().Next();
}
