#pragma once
// What the commands that run the engine in real time share (play, record): the engine on its
// music thread, the stop signals, routing outputs by name and the report of late output.

#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

class CMidiBackend;

// The signal that asked us to stop, 0 while none did.
extern std::atomic<int> g_stopSignal;
extern "C" void OnStopSignal(int signal);

// Catches SIGINT and SIGTERM for the life of the object, so playback stops cleanly.
class CStopSignals {
public:
    CStopSignals()
    {
        g_stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_oldInt);
        sigaction(SIGTERM, &action, &m_oldTerm);
    }
    ~CStopSignals()
    {
        sigaction(SIGINT, &m_oldInt, nullptr);
        sigaction(SIGTERM, &m_oldTerm, nullptr);
    }
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

private:
    struct sigaction m_oldInt {};
    struct sigaction m_oldTerm {};
};

// The engine on its music thread, shut down (note-offs out, devices closed) when it goes.
class CPlayEngine {
public:
    // Throws CTwError when the engine cannot start.
    explicit CPlayEngine(CMidiBackend& backend);
    ~CPlayEngine() { ShutDown(); }
    CPlayEngine(const CPlayEngine&) = delete;
    CPlayEngine& operator=(const CPlayEngine&) = delete;

    CMidiEngineProxy& Proxy() { return m_proxy; }
    CMidiEngine& Engine() { return m_engine; }

    // Stops the transport (the clip players flush their note-offs) and closes every device,
    // which sends what is still pending and waits until it has left.
    void ShutDown()
    {
        if (!m_engine.IsInitialised()) return;
        m_proxy.Stop();
        m_proxy.Clear();
        m_proxy.ShutDown();
    }

    // True once a device failed while playing.
    bool HasFailed() const { return m_engine.GetDevices().GetFaultCount() != 0; }
    // Throws with the reason when a device failed while playing.
    void CheckDevices() const;

private:
    CMidiEngineProxy m_proxy;
    CMidiEngine m_engine;
};

// What routing without names does when the built-in synthesizer cannot sound.
enum class ESilentSynth {
    Fail,     // CTwError with the reason: nothing would be heard (play)
    FallBack, // "Out1" to the first device there is, after saying why (record: the take matters)
};

// Opens the named devices and routes "Out1", "Out2", ... to them; without names, every port goes
// to the built-in synthesizer, or "Out1" to the first device there is when the build has none.
// Returns the indices of the devices opened for --out (none when the built-in synthesizer took
// every port).
std::vector<int32_t> RouteOutputs(CMidiEngineProxy& proxy, CMidiBackend& backend,
                                  const std::vector<std::string>& wanted,
                                  ESilentSynth silent = ESilentSynth::Fail);

// Tells standard error how many messages went out late or were lost, and how many cycles the
// MIDI system missed, if any.
void ReportOutputTrouble(const CMidiBackend& backend);
