#include "editors/PhraseListGeometry.h"

#include <algorithm>

namespace {

// White key index within the octave of each of the 12 keys; -1 for a black key.
constexpr int32_t kWhiteOfKey[12] = {0, -1, 1, -1, 2, 3, -1, 4, -1, 5, -1, 6};
// The key of each white key within the octave.
constexpr int32_t kKeyOfWhite[7] = {0, 2, 4, 5, 7, 9, 11};

// Fixed zone widths; the name and the keyboard share the rest.
constexpr int32_t kNumberWidth = 30;
constexpr int32_t kIconWidth = 18;
constexpr int32_t kHandleWidth = 16;
constexpr int32_t kStateWidth = 30;
constexpr int32_t kKeysMargin = 4;

} // namespace

CKeyboardGeometry::CKeyboardGeometry(int32_t width, int32_t height)
    : m_width(width), m_height(height), m_white(std::max(1, width / kWhiteKeys))
{}

bool CKeyboardGeometry::IsBlack(int32_t key)
{
    return key >= 0 && key < kKeys && kWhiteOfKey[key % 12] < 0;
}

int32_t CKeyboardGeometry::WhiteIndex(int32_t key)
{
    return key / 12 * 7 + kWhiteOfKey[key % 12];
}

int32_t CKeyboardGeometry::KeyOfWhite(int32_t whiteIndex)
{
    return whiteIndex / 7 * 12 + kKeyOfWhite[whiteIndex % 7];
}

CPixelBox CKeyboardGeometry::BlackAfter(int32_t whiteIndex) const
{
    const int32_t w = m_white;
    return {whiteIndex * w + 3 * w / 4 + 1, 0, (2 * w + 2) / 3, m_height * 2 / 3};
}

CPixelBox CKeyboardGeometry::KeyBox(int32_t key) const
{
    if (key < 0 || key >= kKeys) return {};
    if (IsBlack(key)) return BlackAfter(WhiteIndex(key - 1));
    return {WhiteIndex(key) * m_white, 0, m_white, m_height};
}

int32_t CKeyboardGeometry::KeyAt(int32_t x, int32_t y) const
{
    if (x < 0 || y < 0 || y >= m_height || x >= GetKeysWidth()) return -1;
    const int32_t white = x / m_white;
    // A black key reaches at most into the white key after the one it follows.
    for (int32_t follows : {white - 1, white}) {
        if (follows < 0) continue;
        const int32_t key = KeyOfWhite(follows) + 1;
        if (IsBlack(key) && BlackAfter(follows).Contains(x, y)) return key;
    }
    return KeyOfWhite(white);
}

int32_t CKeyboardGeometry::KeyAtClamped(int32_t x) const
{
    const int32_t inside = std::clamp(x, 0, GetKeysWidth() - 1);
    return KeyAt(inside, m_height - 1);
}

// ---------------------------------------------------------------------------------------------

void CPhraseListGeometry::SetClientSize(int32_t width, int32_t height)
{
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    Layout();
    SetFirstRow(m_firstRow);
}

void CPhraseListGeometry::SetRowCount(int32_t count)
{
    m_rows = std::max(0, count);
    SetFirstRow(m_firstRow);
}

int32_t CPhraseListGeometry::GetPageRows() const
{
    return std::max(1, m_height / kRowHeight);
}

int32_t CPhraseListGeometry::GetMaxFirstRow() const
{
    return std::max(0, m_rows - GetPageRows());
}

void CPhraseListGeometry::SetFirstRow(int32_t row)
{
    m_firstRow = std::clamp(row, 0, GetMaxFirstRow());
}

void CPhraseListGeometry::MakeVisible(int32_t row)
{
    if (row < m_firstRow)
        SetFirstRow(row);
    else if (row >= m_firstRow + GetPageRows())
        SetFirstRow(row - GetPageRows() + 1);
}

int32_t CPhraseListGeometry::RowAtY(int32_t y) const
{
    if (y < 0) return -1;
    return m_firstRow + y / kRowHeight;
}

bool CPhraseListGeometry::IsRowVisible(int32_t row) const
{
    const int32_t top = RowTop(row);
    return top + kRowHeight > 0 && top < m_height;
}

int32_t CPhraseListGeometry::InsertionRowAtY(int32_t y) const
{
    const int32_t row = m_firstRow + (y < 0 ? -1 : y / kRowHeight);
    const int32_t within = y - RowTop(row);
    return std::clamp(within < kRowHeight / 2 ? row : row + 1, 0, m_rows);
}

void CPhraseListGeometry::Layout()
{
    const int32_t fixed =
        kNumberWidth + 4 * kIconWidth + kHandleWidth + kStateWidth + kKeysMargin;
    const int32_t spare = std::max(0, m_width - fixed - kMinNameWidth);
    const int32_t keys = std::max(CKeyboardGeometry::kWhiteKeys,
                                  spare / CKeyboardGeometry::kWhiteKeys *
                                      CKeyboardGeometry::kWhiteKeys);
    const int32_t name = std::max(kMinNameWidth, m_width - fixed - keys);
    const int32_t widths[10] = {0,          kNumberWidth, kIconWidth,  kIconWidth,
                                kIconWidth, kIconWidth,   name,        kHandleWidth,
                                kStateWidth, keys};
    int32_t left = 0;
    for (int zone = 1; zone <= 9; ++zone) {
        if (zone == 9) left += kKeysMargin / 2;
        m_zoneLeft[zone] = left;
        m_zoneWidth[zone] = widths[zone];
        left += widths[zone];
    }
}

CPixelBox CPhraseListGeometry::ZoneBox(int32_t row, EPhraseZone zone) const
{
    const int z = static_cast<int>(zone);
    if (z <= 0 || z > 9) return RowBox(row);
    // The keyboard keeps a pixel clear above and below so neighbouring rows stay apart.
    const int32_t inset = zone == EPhraseZone::Keys ? 2 : 0;
    return {m_zoneLeft[z], RowTop(row) + inset, m_zoneWidth[z], kRowHeight - 2 * inset};
}

EPhraseZone CPhraseListGeometry::ZoneAtX(int32_t x) const
{
    for (int zone = 1; zone <= 9; ++zone)
        if (x >= m_zoneLeft[zone] && x < m_zoneLeft[zone] + m_zoneWidth[zone])
            return static_cast<EPhraseZone>(zone);
    return EPhraseZone::Row;
}

CKeyboardGeometry CPhraseListGeometry::Keyboard() const
{
    const CPixelBox box = ZoneBox(0, EPhraseZone::Keys);
    return CKeyboardGeometry(box.width, box.height);
}
