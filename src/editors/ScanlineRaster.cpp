#include "editors/ScanlineRaster.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

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

// Stores that bypass the cache: the picture is far bigger than the cache and is not read again
// while painting, so reading each line in before overwriting it would double the memory traffic.
void StreamCopy(uint32_t* to, const uint32_t* from, size_t count)
{
#if defined(__SSE2__)
    for (; count > 0 && (reinterpret_cast<uintptr_t>(to) & 15) != 0; --count)
        *to++ = *from++;
    for (; count >= 4; count -= 4, to += 4, from += 4)
        _mm_stream_si128(reinterpret_cast<__m128i*>(to),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#endif
    std::copy_n(from, count, to);
}

void StreamFence()
{
#if defined(__SSE2__)
    _mm_sfence();
#endif
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

// Writes a strip's rows. The overlays go into a copy of the scanline, which goes out whole
// (streamed stores want whole cache lines); an overlay's place is mended after its last row.
void CScanlineRaster::SStrip::Write(std::vector<uint32_t>& mixed) const
{
    if (!overlays.empty()) mixed = lines[0];
    for (const SRun& run : runs) {
        const std::vector<uint32_t>& line = overlays.empty() ? lines[run.phase] : mixed;
        for (int y = run.from; y < run.to; ++y) {
            for (const SOverlay& overlay : overlays) {
                if (y < overlay.top || y >= overlay.bottom) continue;
                CopyPixels(mixed.data() + overlay.from,
                           overlay.pixels + (y - overlay.top) * overlay.stride, overlay.count);
            }
            auto* target = reinterpret_cast<uint32_t*>(bits + y * stride) + left;
            StreamCopy(target, line.data(), line.size());
            for (const SOverlay& overlay : overlays) {
                if (y == overlay.bottom - 1)
                    CopyPixels(mixed.data() + overlay.from, lines[0].data() + overlay.from,
                               overlay.count);
            }
        }
    }
    // The streamed stores are seen by whatever draws next.
    StreamFence();
}

// One thread that writes strips while the painting thread composes the next rows. When the
// painting thread needs rows written before the writer got to them, it writes them itself, so
// that on a machine with a core to spare both cores share the memory traffic of a frame.
class CScanlineRaster::CWriter {
public:
    static CWriter* Get()
    {
        static CWriter* writer = QThread::idealThreadCount() > 1 ? new CWriter : nullptr;
        return writer;
    }

    // Whether the next big frame hands its rows over. That pays while a core is free and costs
    // while every core is busy, so both ways are timed per pixel as frames go and the cheaper
    // one is taken, the other tried again now and then. User-interface thread only.
    bool Choose()
    {
        ++m_frames;
        if (m_cost[1] == 0) return true;
        if (m_cost[0] == 0) return false;
        const bool handOver = m_cost[1] <= m_cost[0];
        return m_frames % kProbeEvery == 0 ? !handOver : handOver;
    }

    void Report(bool handedOver, double nanoseconds, int64_t pixels)
    {
        double& cost = m_cost[handedOver ? 1 : 0];
        const double now = nanoseconds / static_cast<double>(std::max<int64_t>(1, pixels));
        cost = cost == 0 ? now : 0.7 * cost + 0.3 * now;
    }

    std::unique_ptr<SStrip> TakeFree()
    {
        const std::lock_guard lock(m_mutex);
        if (m_free.empty()) return std::make_unique<SStrip>();
        std::unique_ptr<SStrip> strip = std::move(m_free.back());
        m_free.pop_back();
        return strip;
    }

    uint64_t Submit(std::unique_ptr<SStrip> strip)
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back({++m_submitted, std::move(strip)});
        m_wake.notify_one();
        return m_submitted;
    }

    // Returns once the strips submitted up to mark are written. The waiting thread writes those
    // still queued itself, so that both threads write when the writer falls behind; it waits
    // only for a strip the writer is on, and spins a little first: that strip is mostly a few
    // microseconds from done, and sleeping and being woken costs more, dozens of times a frame.
    void WaitFor(uint64_t mark)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (!m_queue.empty() && m_queue.front().mark <= mark) {
                SQueued queued = std::move(m_queue.front());
                m_queue.pop_front();
                lock.unlock();
                queued.strip->Write(m_helperMixed);
                lock.lock();
                m_free.push_back(std::move(queued.strip));
                continue;
            }
            const uint64_t writing = m_writing.load(std::memory_order_relaxed);
            if (writing == 0 || writing > mark) return;
            lock.unlock();
            const auto until = std::chrono::steady_clock::now() + kSpinFor;
            while (m_writing.load(std::memory_order_acquire) == writing &&
                   std::chrono::steady_clock::now() < until) {
                for (int i = 0; i < 64; ++i)
                    Pause();
            }
            lock.lock();
            m_done.wait(lock, [&] { return m_writing.load(std::memory_order_relaxed) != writing; });
        }
    }

private:
    // A strip waiting to be written, with the mark Submit returned for it.
    struct SQueued {
        uint64_t mark = 0;
        std::unique_ptr<SStrip> strip;
    };

    CWriter()
    {
        std::thread([this] { Run(); }).detach();
    }

    [[noreturn]] void Run()
    {
        std::vector<uint32_t> mixed;
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return !m_queue.empty(); });
            SQueued queued = std::move(m_queue.front());
            m_queue.pop_front();
            m_writing.store(queued.mark, std::memory_order_relaxed);
            lock.unlock();
            queued.strip->Write(mixed);
            lock.lock();
            // Releases the rows written to a thread that sees the change without the lock.
            m_writing.store(0, std::memory_order_release);
            m_free.push_back(std::move(queued.strip));
            m_done.notify_all();
        }
    }

    static constexpr uint64_t kProbeEvery = 16;
    static constexpr std::chrono::microseconds kSpinFor{50};

    static void Pause()
    {
#if defined(__SSE2__)
        _mm_pause();
#endif
    }

    double m_cost[2] = {0, 0}; // nanoseconds per pixel written at once and handed over
    uint64_t m_frames = 0;
    std::vector<uint32_t> m_helperMixed; // the waiting thread's scanline with overlays

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::deque<SQueued> m_queue;
    std::vector<std::unique_ptr<SStrip>> m_free;
    uint64_t m_submitted = 0;
    // The mark of the strip the writer is on, 0 when none. Changed under m_mutex; read without
    // it while spinning.
    std::atomic<uint64_t> m_writing = 0;
};

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
    const QRect mapped(QPoint(DeviceX(clip.left()), DeviceY(clip.top())),
                       QPoint(DeviceX(clip.right() + 1) - 1, DeviceY(clip.bottom() + 1) - 1));
    m_device = mapped & image->rect();
    if (m_device.isEmpty()) return;
    m_image = image;
    m_bits = image->bits();
    m_stride = image->bytesPerLine();
    for (std::vector<uint32_t>& line : m_lines)
        line.assign(static_cast<size_t>(m_device.width()), 0);
    // A small piece is written at once: handing it over would cost more than writing it.
    constexpr int64_t kHandOverPixels = 256 * 1024;
    if (int64_t{m_device.width()} * m_device.height() >= kHandOverPixels) {
        m_chooser = CWriter::Get();
        m_started = std::chrono::steady_clock::now();
        if (m_chooser != nullptr && m_chooser->Choose()) m_writer = m_chooser;
    }
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

CScanlineRaster::~CScanlineRaster()
{
    Finish();
    if (m_chooser == nullptr) return;
    const std::chrono::duration<double, std::nano> spent =
        std::chrono::steady_clock::now() - m_started;
    m_chooser->Report(m_writer != nullptr, spent.count(),
                      int64_t{m_device.width()} * m_device.height());
}

void CScanlineRaster::Emit(int y1, int y2)
{
    if (m_image == nullptr) {
        m_overlays.clear();
        return;
    }
    m_runs.clear();
    // Row by logical row, so that each gets the device rows a filled rectangle would.
    const int first = std::max(y1, static_cast<int>((m_device.top() - m_dy) / m_scale) - 1);
    const int last = std::min(y2, static_cast<int>((m_device.bottom() + 1 - m_dy) / m_scale) + 2);
    for (int y = first; y < last; ++y) {
        const int from = std::max(DeviceY(y), m_device.top());
        const int to = std::min(DeviceY(y + 1), m_device.bottom() + 1);
        if (to > from) m_runs.push_back({from, to, m_phased && (y & 1) != 0 ? 1 : 0});
    }
    // Handed over in pieces of a few device rows: a thread that needs rows written then never
    // waits long for a piece being written, and writes the queued ones itself.
    constexpr int kPieceRows = 16;
    for (size_t next = 0; next < m_runs.size();) {
        std::unique_ptr<SStrip> strip = m_writer != nullptr ? m_writer->TakeFree() : nullptr;
        SStrip& out = strip ? *strip : m_strip;
        out.runs.clear();
        for (int rows = 0; next < m_runs.size() && (rows < kPieceRows || !strip); ++next) {
            out.runs.push_back(m_runs[next]);
            rows += m_runs[next].to - m_runs[next].from;
        }
        out.lines[0] = m_lines[0];
        if (m_phased) out.lines[1] = m_lines[1];
        out.overlays = m_overlays;
        out.bits = m_bits;
        out.stride = m_stride;
        out.left = m_device.left();
        if (strip)
            m_mark = m_writer->Submit(std::move(strip));
        else
            out.Write(m_mixed);
    }
    m_overlays.clear();
}

void CScanlineRaster::WaitFor(uint64_t mark)
{
    if (m_writer != nullptr && mark > 0) m_writer->WaitFor(mark);
}

void CScanlineRaster::Finish()
{
    WaitFor(m_mark);
}
