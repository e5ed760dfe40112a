#pragma once
// Composes one scanline of a canvas row and copies it down the row, straight into the 32-bit image
// a painter draws on. A row of boxes looks the same on most of its scanlines; filling every box
// on every scanline costs one fill call per box per scanline (two per logical pixel at ratio 2),
// which is most of the time of a full frame. Opaque colours only; coordinates are logical and are
// rounded to device pixels the way the painter rounds a filled rectangle, so both ways of drawing
// give the same picture. Used by the user-interface thread; big pieces are copied by a writer
// thread of its own.

#include <QRect>
#include <QRgb>
#include <QtGlobal>

#include <chrono>
#include <cstdint>
#include <utility>
#include <vector>

class QImage;
class QPainter;

class CScanlineRaster {
public:
    // Writes only inside clip (logical). Not valid (and writes nothing) unless the painter draws
    // on a 32-bit image through a scale of at least 1 and an offset alone.
    CScanlineRaster(QPainter& painter, const QRect& clip);
    // Waits until every emitted row is written.
    ~CScanlineRaster();
    CScanlineRaster(const CScanlineRaster&) = delete;
    CScanlineRaster& operator=(const CScanlineRaster&) = delete;
    bool IsValid() const { return m_image != nullptr; }
    // Whether a logical pixel is a whole number of device pixels (images drawn at the painter's
    // ratio then land on the pixels the painter would give them).
    bool IsWholeScale() const { return m_scale == static_cast<int>(m_scale); }

    // Fills logical columns [x1, x2) of the scanline being composed. The scanline has two phases,
    // for the even and the odd logical rows, which differ only where dotted lines are.
    void Fill(int x1, int x2, QRgb colour);
    // Fills logical columns [x1, x2) of the even rows' phase only: a line dotted on even rows.
    void FillEvenRows(int x1, int x2, QRgb colour);
    // Exclusive-or of logical columns [x1, x2) with the colour's bits, in both phases.
    void Xor(int x1, int x2, QRgb bits);
    // Puts an opaque image (of the painter's pixel ratio, which must be a whole number) over the
    // rows emitted next, its top left corner at logical (x, y); it must stay alive and unchanged
    // until those rows are written (Finish).
    // Overlays come left to right, do not overlap, and go over a scanline without dotted lines.
    void Overlay(const QImage& image, int x, int y);
    // Copies the composed scanline to logical rows [y1, y2), with the overlays over it, and
    // forgets the overlays. On a big picture the copy may be made by another thread while this
    // one composes the next rows: before the painter draws over emitted rows, wait for them
    // (WaitFor a Mark taken after emitting them, or Finish).
    void Emit(int y1, int y2);
    uint64_t Mark() const { return m_mark; }
    void WaitFor(uint64_t mark);
    void Finish();

    // Switches the fast way off, so that tests can compare it with the painter's own.
    static void SetEnabled(bool enabled);

private:
    int DeviceX(int x) const;
    int DeviceY(int y) const;
    // The device columns of logical [x1, x2) inside the clip, counted from its left.
    std::pair<int, int> Columns(int x1, int x2) const;

    // An overlay's visible columns, in device pixels (from counts from the clip's left).
    struct SOverlay {
        const uint32_t* pixels = nullptr; // its top row, at from
        qsizetype stride = 0;
        int from = 0;
        int count = 0;
        int top = 0;
        int bottom = 0;
    };
    // Device rows [from, to) that get one phase of a scanline.
    struct SRun {
        int from = 0;
        int to = 0;
        int phase = 0;
    };
    // An emitted scanline with where it goes: what the writing thread needs.
    struct SStrip {
        std::vector<uint32_t> lines[2];
        std::vector<SOverlay> overlays;
        std::vector<SRun> runs;
        uchar* bits = nullptr;
        qsizetype stride = 0;
        int left = 0;
        void Write(std::vector<uint32_t>& mixed) const;
    };
    class CWriter;

    QImage* m_image = nullptr;
    qreal m_scale = 1;
    qreal m_dx = 0;
    qreal m_dy = 0;
    QRect m_device;                   // the clip in device pixels, inside the image
    std::vector<uint32_t> m_lines[2]; // the even and the odd rows' phases
    bool m_phased = false;            // whether they may differ (a dotted line was filled)
    std::vector<uint32_t> m_mixed;    // the scanline with the overlays of one row
    std::vector<SOverlay> m_overlays;
    uchar* m_bits = nullptr;
    qsizetype m_stride = 0;
    CWriter* m_chooser = nullptr; // times the frame when it could hand its rows over
    CWriter* m_writer = nullptr;  // null: rows are written at once
    std::chrono::steady_clock::time_point m_started;
    SStrip m_strip;           // the strip written at once
    std::vector<SRun> m_runs; // the rows of the scanline being emitted
    uint64_t m_mark = 0;
};
