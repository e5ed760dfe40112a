#pragma once
// Hand-made project file bytes for tests, written without our writer so that the reader is
// checked against the format itself.

#include <cstdint>
#include <string>
#include <vector>

class CBytes {
public:
    CBytes& U8(int v)
    {
        m_bytes.push_back(static_cast<uint8_t>(v));
        return *this;
    }
    CBytes& I16(int v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
    CBytes& I32(int64_t v)
    {
        for (int shift = 0; shift < 32; shift += 8)
            U8(static_cast<int>((v >> shift) & 0xFF));
        return *this;
    }
    // Length prefix (one byte, or 0xFF and 16 bits) and the text.
    CBytes& Str(const std::string& s)
    {
        if (s.size() < 255) {
            U8(static_cast<int>(s.size()));
        } else {
            U8(0xFF).I16(static_cast<int>(s.size()));
        }
        m_bytes.insert(m_bytes.end(), s.begin(), s.end());
        return *this;
    }
    CBytes& Add(const CBytes& other)
    {
        m_bytes.insert(m_bytes.end(), other.m_bytes.begin(), other.m_bytes.end());
        return *this;
    }
    CBytes& Zeros(int n)
    {
        m_bytes.insert(m_bytes.end(), static_cast<size_t>(n), 0);
        return *this;
    }

    const std::vector<uint8_t>& Get() const { return m_bytes; }
    size_t Size() const { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

struct CHandNote {
    int start, end, pitch, velocity, offVelocity;
};
struct CHandEvent {
    int time, kind, data1, data2;
};

// Signature and version.
inline CBytes HandHeader(int version = 2)
{
    return CBytes().Str("tonalweaver file format").I32(version);
}

// Four texts and the editing defaults.
// clang-format off
inline CBytes HandInfo(const std::string& title = "", int phraseBars = 4, int clipBars = 4,
                       int snap = 24, int grid = 24)
{
    return CBytes().Str(title).Str("").Str("").Str("").I32(phraseBars).I32(clipBars).I32(snap).I32(
        grid);
}
// clang-format on

// Notes, events, length, name, colour and id of a phrase or clip.
inline CBytes HandMidiData(const std::vector<CHandNote>& notes,
                           const std::vector<CHandEvent>& events, int length,
                           const std::string& name, int colour, int id)
{
    CBytes b;
    b.I32(static_cast<int64_t>(notes.size()));
    for (const CHandNote& n : notes)
        b.I32(n.start).I32(n.end).U8(n.pitch).U8(n.velocity).U8(n.offVelocity);
    b.I32(static_cast<int64_t>(events.size()));
    for (const CHandEvent& e : events)
        b.I32(e.time).U8(e.kind).U8(e.data1).U8(e.data2);
    return b.I32(length).Str(name).I32(colour).I32(id);
}

// A phrase's properties: input port 1, keys 36..60, key follow on, quantize 24/48, output port 2
// channel 9, mono, loop on, hold off, continue on, velocity -5, transpose +7, output quantize 12,
// delay -96, pitch 10..100, velocity 20..110, reserved 0. The four switches can be given as
// any stored number.
// clang-format off
inline CBytes HandPhraseProperties(int keyFollow = 1, int loop = 1, int hold = 0, int cont = 1)
{
    return CBytes()
        .I16(4).I32(0).U8(36).U8(60).I32(keyFollow).I32(24).I32(48)
        .I16(3).I32(1).U8(9).I32(2).I32(loop).I32(hold).I32(cont)
        .I16(-5).I16(7).I32(12).I32(-96).U8(10).U8(100).U8(20).U8(110)
        .I32(0).I32(0).I32(0);
}
// clang-format on

// The fields after a track's clips: port 1 channel 3, velocity +4, transpose -12, quantize 0,
// delay 5, pitch 0..127, velocity 0..127, program 10, volume 100, pan 64, solo on, mute off,
// record off, input on, property 2 value 7. The four switches can be given as any stored number.
// clang-format off
inline CBytes HandTrackTail(int solo = 1, int mute = 0, int record = 0, int input = 1)
{
    return CBytes()
        .I16(3).I32(0).U8(3).I16(4).I16(-12).I32(0).I32(5).U8(0).U8(127).U8(0).U8(127)
        .U8(10).U8(100).U8(64).I32(solo).I32(mute).I32(record).I16(input).I32(7);
}
// clang-format on

// Time signature, scale and the seven transport values (no window records).
// clang-format off
inline CBytes HandTail(int numerator = 4, int denominator = 4, int key = 0, int mode = 0,
                       int tempo = 12000, int loopOn = 0, int soloActive = 0, int muteActive = 0)
{
    return CBytes()
        .I32(numerator).I32(denominator).U8(key).I16(mode)
        .I32(tempo).I32(0).I32(loopOn).I32(0).I32(1536).I32(soloActive).I32(muteActive);
}
// clang-format on

// A placement block meaning "no placement".
inline CBytes HandNoPlacement()
{
    return CBytes().I32(-1).I32(-1).I32(0).I32(0).I32(0).I32(0);
}

// A small project written byte by byte: texts with a Latin-1 letter and characters JSON escapes,
// a bank with one phrase, a track with one clip, a 3/4 signature and two open windows.
// clang-format off
inline std::vector<uint8_t> HandSmallProject()
{
    return HandHeader()
        .Add(HandInfo("Caf\xE9 \"x\""))
        .I32(1)
        .Str("B\\")
        .I32(1)
        .Add(HandMidiData({{0, 48, 60, 100, 64}, {96, 144, 62, 90, 0}}, {{24, 0xB0, 7, 100}}, 384,
                          "P", 255, 1))
        .Add(HandPhraseProperties())
        .I32(1)
        .Str("T")
        .I32(0x00FF00)
        .I32(2)
        .I32(1)
        .Add(HandMidiData({{0, 96, 48, 100, 0}}, {}, 768, "C", 16, 3))
        .I32(384)
        .Add(HandTrackTail())
        .Add(HandTail(3, 4, 2, 1, 9000))
        .I32(1).Add(HandNoPlacement())
        .I32(3).I32(1).Add(HandNoPlacement()).Zeros(54)
        .I32(0)
        .Get();
}
// clang-format on
