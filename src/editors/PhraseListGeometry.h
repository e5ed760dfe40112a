#pragma once
// Where things are in a phrase bank's list: fixed-height rows scrolled by whole rows, the nine
// zones of a row, and the small keyboard of all 128 keys that shows a phrase's trigger range.
// Plain arithmetic, no painting; user-interface thread only.

#include <cstdint>

// A rectangle in client pixels.
struct CPixelBox {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;

    bool Contains(int32_t px, int32_t py) const
    {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
    bool operator==(const CPixelBox&) const = default;
};

// The zones of a row, numbered in the order a point is tested against them.
enum class EPhraseZone : int32_t {
    Row = 0, // inside the row but in no zone
    Number = 1,
    Solo = 2,
    Mute = 3,
    Play = 4,
    Stop = 5,
    Name = 6,
    Handle = 7,
    State = 8, // play state and level
    Keys = 9,
};

// The keyboard of the key-range zone: 75 white keys of equal width side by side, and black keys
// over the upper two thirds, each starting a little right of the white key it follows.
class CKeyboardGeometry {
public:
    static constexpr int32_t kKeys = 128;
    static constexpr int32_t kWhiteKeys = 75;

    // The zone's size in pixels; a white key is width / 75 wide (at least 1).
    CKeyboardGeometry(int32_t width, int32_t height);

    int32_t GetWhiteWidth() const { return m_white; }
    // The width the keys take (75 white keys); what is right of it belongs to no key.
    int32_t GetKeysWidth() const { return m_white * kWhiteKeys; }
    static bool IsBlack(int32_t key);
    // The key's area relative to the zone's top left corner; the full white key for a white key.
    CPixelBox KeyBox(int32_t key) const;
    // The key under a point of the zone (black keys first), or -1.
    int32_t KeyAt(int32_t x, int32_t y) const;
    // The key under x with the pointer held at the bottom, kept inside 0..127: for drags that
    // leave the zone.
    int32_t KeyAtClamped(int32_t x) const;

private:
    static int32_t WhiteIndex(int32_t key); // of a white key
    CPixelBox BlackAfter(int32_t whiteIndex) const;
    static int32_t KeyOfWhite(int32_t whiteIndex);

    int32_t m_width;
    int32_t m_height;
    int32_t m_white;
};

class CPhraseListGeometry {
public:
    static constexpr int32_t kRowHeight = 20;
    // The narrowest name zone; wider lists give the name what the keyboard cannot use.
    static constexpr int32_t kMinNameWidth = 96;

    // Client size in pixels; the zones and the keyboard follow the width.
    void SetClientSize(int32_t width, int32_t height);
    int32_t GetClientWidth() const { return m_width; }
    int32_t GetClientHeight() const { return m_height; }
    // Keeps the first row inside the rows.
    void SetRowCount(int32_t count);
    int32_t GetRowCount() const { return m_rows; }

    int32_t GetFirstRow() const { return m_firstRow; }
    // Clamped to 0..GetMaxFirstRow().
    void SetFirstRow(int32_t row);
    int32_t GetMaxFirstRow() const;
    // Rows that fit completely (at least 1): one page.
    int32_t GetPageRows() const;
    // Scrolls the least needed to show the row completely.
    void MakeVisible(int32_t row);

    // Row under a client y, which may be a row beyond the last one; -1 above the first.
    int32_t RowAtY(int32_t y) const;
    int32_t RowTop(int32_t row) const { return (row - m_firstRow) * kRowHeight; }
    CPixelBox RowBox(int32_t row) const { return {0, RowTop(row), m_width, kRowHeight}; }
    // Whether any pixel of the row is in the client area.
    bool IsRowVisible(int32_t row) const;
    // The row boundary nearest to y: the row under y in its upper half, the next in its lower
    // half; kept inside 0..row count.
    int32_t InsertionRowAtY(int32_t y) const;

    // A zone's box in a row (Row: the whole row).
    CPixelBox ZoneBox(int32_t row, EPhraseZone zone) const;
    // The zone under x in any row.
    EPhraseZone ZoneAtX(int32_t x) const;
    CKeyboardGeometry Keyboard() const;

private:
    void Layout();

    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_rows = 0;
    int32_t m_firstRow = 0;
    // Left edge and width of zones 1..9.
    int32_t m_zoneLeft[10] = {};
    int32_t m_zoneWidth[10] = {};
};
