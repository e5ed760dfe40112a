#pragma once
// Composes one scanline of a canvas row and copies it down the row, straight into the 32-bit image
// a painter draws on. A row of boxes looks the same on most of its scanlines; filling every box
// on every scanline costs one fill call per box per scanline (two per logical pixel at ratio 2),
// which is most of the time of a full frame. Opaque colours only; coordinates are logical and are
// rounded to device pixels the way the painter rounds a filled rectangle, so both ways of drawing
// give the same picture. User-interface thread only.

#include <QRect>
#include <QRgb>

#include <cstdint>
#include <vector>

class QImage;
class QPainter;

class CScanlineRaster {
public:
    // Writes only inside clip (logical). Not valid (and writes nothing) unless the painter draws
    // on a 32-bit image through a whole-number scale and an offset alone.
    CScanlineRaster(QPainter& painter, const QRect& clip);
    bool IsValid() const { return m_image != nullptr; }

    // Fills logical columns [x1, x2) of the scanline being composed.
    void Fill(int x1, int x2, QRgb colour);
    // Puts an opaque image (of the painter's pixel ratio) over the rows emitted next, its top left
    // corner at logical (x, y); it must stay alive until then. Overlays come left to right and
    // do not overlap.
    void Overlay(const QImage& image, int x, int y);
    // Copies the composed scanline to logical rows [y1, y2), with the overlays over it, and
    // forgets the overlays.
    void Emit(int y1, int y2);

    // Switches the fast way off, so that tests can compare it with the painter's own.
    static void SetEnabled(bool enabled);

private:
    int DeviceX(int x) const;
    int DeviceY(int y) const;

    // An overlay's visible columns, in device pixels (from counts from the clip's left).
    struct SOverlay {
        const uint32_t* pixels = nullptr; // its top row, at from
        qsizetype stride = 0;
        int from = 0;
        int count = 0;
        int top = 0;
        int bottom = 0;
    };
    void CopyRow(int y);

    QImage* m_image = nullptr;
    qreal m_scale = 1;
    qreal m_dx = 0;
    qreal m_dy = 0;
    QRect m_device; // the clip in device pixels, inside the image
    std::vector<uint32_t> m_line;
    std::vector<uint32_t> m_mixed; // the scanline with the overlays of one row
    std::vector<SOverlay> m_overlays;
};
