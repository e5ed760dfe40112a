#include "engine/Render.h"

#include "devices/OutputPort.h"
#include "devices/virtual/VirtualBackend.h"
#include "engine/EngineProjectView.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "model/Track.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int64_t kStartTime = 10000000; // master time at initialisation (100 ns)
constexpr int64_t kLookAhead = 60000;    // the clock's look-ahead (100 ns)

// An engine on a private virtual backend, driven one tick per clock pass.
class CRenderEngine {
public:
    CRenderEngine() : m_backend(PortNames(), {}), m_engine(m_backend, m_proxy.GetMailbox())
    {
        m_backend.SetTime(kStartTime);
        // Nobody reads the notifications of a render.
        m_proxy.GetMailbox().SetMuted(true);
        m_proxy.AttachEngine(&m_engine);
    }
    ~CRenderEngine()
    {
        m_proxy.ShutDown();
        m_proxy.Clear();
    }

    int Open(std::string& error)
    {
        if (m_proxy.Initialise(false) == 0) return Failed(error);
        for (int32_t i = 0; i < COutputPort::kCount; ++i) {
            if (m_proxy.OpenOutputDriver(i) == 0 || m_proxy.RouteOutputPort(i, i) == 0)
                return Failed(error);
        }
        return 1;
    }

    // The engine's reason for the last failed command; always 0.
    int Failed(std::string& error)
    {
        error = m_proxy.GetLastError();
        return 0;
    }

    // Runs exactly one tick (playing or stopped) and hands what the devices got to sink.
    void Tick(tick at, CRenderSink& sink)
    {
        const CSequencerClock& clock = m_engine.GetClock();
        sink.OnTickStart(at, clock.GetLastTickTime() + clock.GetTickPeriod());
        m_backend.SetTime(clock.GetLastTickTime() + clock.GetTickPeriod() - kLookAhead);
        m_engine.ClockPass(m_backend.GetMasterTime());
        for (int32_t port = 0; port < COutputPort::kCount; ++port) {
            m_backend.TakeSent(port, m_sent);
            if (!m_sent.empty()) sink.OnMessages(port, at, m_sent);
        }
        sink.OnTickDone(at, clock.GetTickPeriod());
    }

    CMidiEngineProxy& Proxy() { return m_proxy; }
    CMidiEngine& Engine() { return m_engine; }

private:
    static std::vector<std::string> PortNames()
    {
        std::vector<std::string> names;
        for (int32_t i = 0; i < COutputPort::kCount; ++i)
            names.push_back(RenderPortName(i));
        return names;
    }

    CVirtualBackend m_backend;
    CMidiEngineProxy m_proxy;
    CMidiEngine m_engine;
    std::vector<SMidiOutRecord> m_sent; // one port's messages of the tick
};

} // namespace

std::string RenderPortName(int32_t port)
{
    return "Out" + std::to_string(port + 1);
}

tick SongEndOf(const CEngineProjectView& view)
{
    int64_t end = 0;
    for (const CTrack* track : view.tracks) {
        if (track->GetClipCount() > 0)
            end = std::max<int64_t>(end, int64_t{track->GetEnd()} + track->GetDelay());
    }
    return SaturatedTick(end);
}

int RenderProject(const CEngineProjectView& view, const SRenderOptions& options, CRenderSink& sink,
                  std::string& error, int64_t* ticksPlayed)
{
    CRenderEngine render;
    if (render.Open(error) == 0) return 0;
    CMidiEngineProxy& proxy = render.Proxy();
    if (proxy.LoadProject(view) == 0) return render.Failed(error);
    if (proxy.SetLoop(false, view.loopStart, view.loopEnd) == 0 ||
        proxy.Locate(options.from) == 0 || proxy.Play() == 0)
        return render.Failed(error);
    CMidiEngine& engine = render.Engine();
    const bool toSongEnd = options.to < 0;
    const tick to = toSongEnd ? SongEndOf(view) : options.to;
    int64_t played = 0;
    while (engine.GetPosition() < to) {
        render.Tick(engine.GetPosition(), sink);
        ++played;
    }
    if (toSongEnd) {
        while (engine.HasPendingNoteOffs() && engine.GetPosition() < kOpenEnd) {
            render.Tick(engine.GetPosition(), sink);
            ++played;
        }
    }
    const tick stoppedAt = engine.GetPosition();
    if (proxy.Stop() == 0) return render.Failed(error);
    // The stop's note-offs leave on the next hand-over: one stopped tick at the final position.
    render.Tick(stoppedAt, sink);
    if (ticksPlayed != nullptr) *ticksPlayed += played;
    return 1;
}
