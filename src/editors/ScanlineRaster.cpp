#include "editors/ScanlineRaster.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
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
    for (std::vector<uint32_t>& line : m_lines)
        line.assign(static_cast<size_t>(m_device.width()), 0);
}

int CScanlineRaster::DeviceX(int x) const
{
    return qRound(x * m_scale + m_dx);
}

int CScanlineRaster::DeviceY(int y) const
{
    return qRound(y * m_scale + m_dy);
}

std::pair<int, int> CScanlineRaster::Columns(int x1, int x2) const
{
    const int from = std::max(DeviceX(x1), m_device.left());
    const int to = std::min(DeviceX(x2), m_device.right() + 1);
    return {from - m_device.left(), std::max(from, to) - m_device.left()};
}

void CScanlineRaster::Fill(int x1, int x2, QRgb colour)
{
    if (m_image == nullptr) return;
    const auto [from, to] = Columns(x1, x2);
    for (int phase = 0; phase <= (m_phased ? 1 : 0); ++phase)
        std::fill(m_lines[phase].begin() + from, m_lines[phase].begin() + to, colour | 0xff000000u);
}

void CScanlineRaster::FillEvenRows(int x1, int x2, QRgb colour)
{
    if (m_image == nullptr) return;
    if (!m_phased) {
        m_lines[1] = m_lines[0];
        m_phased = true;
    }
    const auto [from, to] = Columns(x1, x2);
    std::fill(m_lines[0].begin() + from, m_lines[0].begin() + to, colour | 0xff000000u);
}

void CScanlineRaster::Xor(int x1, int x2, QRgb bits)
{
    if (m_image == nullptr) return;
    const auto [from, to] = Columns(x1, x2);
    for (int phase = 0; phase <= (m_phased ? 1 : 0); ++phase) {
        for (int x = from; x < to; ++x)
            m_lines[phase][static_cast<size_t>(x)] ^= bits & 0x00ffffffu;
    }
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
        // Overlays go over a scanline without dotted lines: one phase serves every row.
        const bool mixed = !m_overlays.empty();
        if (mixed) m_mixed = m_lines[0];
        // Row by logical row, so that each gets the device rows a filled rectangle would.
        const int first = std::max(y1, static_cast<int>((m_device.top() - m_dy) / m_scale) - 1);
        const int last =
            std::min(y2, static_cast<int>((m_device.bottom() + 1 - m_dy) / m_scale) + 2);
        for (int y = first; y < last; ++y) {
            const int from = std::max(DeviceY(y), m_device.top());
            const int to = std::min(DeviceY(y + 1), m_device.bottom() + 1);
            const std::vector<uint32_t>& line =
                mixed ? m_mixed : m_lines[m_phased && (y & 1) != 0 ? 1 : 0];
            for (int row = from; row < to; ++row)
                CopyRow(row, line);
        }
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

void CScanlineRaster::CopyRow(int y, const std::vector<uint32_t>& line)
{
    // The overlays go into a copy of the scanline, which goes out whole (streamed stores want
    // whole cache lines); an overlay's place is mended after its last row.
    for (const SOverlay& overlay : m_overlays) {
        if (y < overlay.top || y >= overlay.bottom) continue;
        const uint32_t* pixels = overlay.pixels + (y - overlay.top) * overlay.stride;
        CopyPixels(m_mixed.data() + overlay.from, pixels, overlay.count);
    }
    auto* target = reinterpret_cast<uint32_t*>(m_image->bits() + y * m_image->bytesPerLine());
    StreamCopy(target + m_device.left(), line.data(), line.size());
    for (const SOverlay& overlay : m_overlays) {
        if (y == overlay.bottom - 1) {
            CopyPixels(m_mixed.data() + overlay.from, m_lines[0].data() + overlay.from,
                       overlay.count);
        }
    }
}
