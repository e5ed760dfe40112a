#include "editors/ScanlineRaster.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool g_enabled = true;

bool IsPlain32Bit(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

} // namespace

void CScanlineRaster::SetEnabled(bool enabled)
{
    g_enabled = enabled;
}

CScanlineRaster::CScanlineRaster(QPainter& painter, const QRect& clip)
{
    QPaintEngine* engine = painter.paintEngine();
    if (!g_enabled || engine == nullptr || engine->type() != QPaintEngine::Raster) return;
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image) return;
    auto* image = static_cast<QImage*>(device);
    const QTransform& transform = painter.deviceTransform();
    if (!IsPlain32Bit(image->format()) || transform.type() > QTransform::TxScale ||
        transform.m11() != transform.m22() || transform.m11() < 1 ||
        transform.m11() != std::floor(transform.m11()) ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        painter.opacity() != 1.0)
        return;
    m_scale = transform.m11();
    m_dx = transform.dx();
    m_dy = transform.dy();
    const QRect device32(QPoint(DeviceX(clip.left()), DeviceY(clip.top())),
                         QPoint(DeviceX(clip.right() + 1) - 1, DeviceY(clip.bottom() + 1) - 1));
    m_device = device32 & image->rect();
    if (m_device.isEmpty()) return;
    m_image = image;
    m_line.assign(static_cast<size_t>(m_device.width()), 0);
}

int CScanlineRaster::DeviceX(int x) const
{
    return qRound(x * m_scale + m_dx);
}

int CScanlineRaster::DeviceY(int y) const
{
    return qRound(y * m_scale + m_dy);
}

void CScanlineRaster::Fill(int x1, int x2, QRgb colour)
{
    if (m_image == nullptr) return;
    const int from = std::max(DeviceX(x1), m_device.left());
    const int to = std::min(DeviceX(x2), m_device.right() + 1);
    if (to <= from) return;
    const auto begin = m_line.begin() + (from - m_device.left());
    std::fill(begin, begin + (to - from), colour | 0xff000000u);
}

void CScanlineRaster::Overlay(const QImage& image, int x, int y)
{
    if (m_image == nullptr || image.isNull()) return;
    const int left = DeviceX(x);
    const int from = std::max(left, m_device.left());
    const int to = std::min(left + image.width(), m_device.right() + 1);
    if (to <= from) return;
    Q_ASSERT(m_overlays.empty() || m_overlays.back().from + m_overlays.back().count <= from);
    SOverlay overlay;
    overlay.pixels = reinterpret_cast<const uint32_t*>(image.constBits()) + (from - left);
    overlay.stride = image.bytesPerLine() / qsizetype{sizeof(uint32_t)};
    overlay.from = from - m_device.left();
    overlay.count = to - from;
    overlay.top = DeviceY(y);
    overlay.bottom = overlay.top + image.height();
    m_overlays.push_back(overlay);
}

void CScanlineRaster::Emit(int y1, int y2)
{
    if (m_image != nullptr) {
        const int from = std::max(DeviceY(y1), m_device.top());
        const int to = std::min(DeviceY(y2), m_device.bottom() + 1);
        m_mixed = m_line;
        for (int y = from; y < to; ++y)
            CopyRow(y);
#if defined(__SSE2__)
        // The streamed stores are seen by whatever draws next.
        _mm_sfence();
#endif
    }
    m_overlays.clear();
}

namespace {

// Stores that bypass the cache: the picture is far bigger than the cache and is not read again
// while painting, so reading each line in before overwriting it would double the memory traffic.
void StreamCopy(uint32_t* to, const uint32_t* from, size_t count)
{
#if !defined(__SSE2__)
    std::memcpy(to, from, count * sizeof(uint32_t));
    return;
#endif
    while (count > 0 && (reinterpret_cast<uintptr_t>(to) & 15) != 0) {
        *to++ = *from++;
        --count;
    }
#if defined(__SSE2__)
    for (; count >= 4; count -= 4, to += 4, from += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(to),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#endif
    while (count-- > 0)
        *to++ = *from++;
}

// Copies a few dozen pixels inline: a call to the library's copy costs more than the copy.
void CopyPixels(uint32_t* to, const uint32_t* from, int count)
{
#if defined(__SSE2__)
    for (; count >= 4; count -= 4, to += 4, from += 4)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#endif
    for (; count > 0; --count)
        *to++ = *from++;
}

} // namespace

void CScanlineRaster::CopyRow(int y)
{
    // The overlays go into a copy of the scanline, which goes out whole (streamed stores want
    // whole cache lines); an overlay's place is mended after its last row.
    for (const SOverlay& overlay : m_overlays) {
        if (y < overlay.top || y >= overlay.bottom) continue;
        const uint32_t* pixels = overlay.pixels + (y - overlay.top) * overlay.stride;
        CopyPixels(m_mixed.data() + overlay.from, pixels, overlay.count);
    }
    auto* line = reinterpret_cast<uint32_t*>(m_image->bits() + y * m_image->bytesPerLine());
    StreamCopy(line + m_device.left(), m_mixed.data(), m_mixed.size());
    for (const SOverlay& overlay : m_overlays) {
        if (y == overlay.bottom - 1) {
            CopyPixels(m_mixed.data() + overlay.from, m_line.data() + overlay.from,
                       overlay.count);
        }
    }
}
