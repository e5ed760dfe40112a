#pragma once
// The engine of the program: its backend, the engine object and the music thread, attached to
// the process-wide command proxy for as long as the host is running.

#include <functional>
#include <memory>
#include <string>

class CMidiBackend;
class CMidiEngine;
class CMidiEngineProxy;
class CProfile;

class CEngineHost {
public:
    using BackendFactory = std::function<std::unique_ptr<CMidiBackend>()>;

    // factory null: the virtual backend on the real-time clock.
    CEngineHost(CMidiEngineProxy& proxy, BackendFactory factory, bool startMusicThread);
    ~CEngineHost();

    // Creates and initialises the engine; false with the engine's reason.
    bool Start(std::string& error);
    // Tells the engine to shut down and detaches it. Safe when not started.
    void ShutDown();
    bool IsRunning() const { return m_running; }
    // The profile the device settings are read from at start and written to at shut-down
    // (borrowed; null keeps them out of any profile).
    void SetProfile(CProfile* profile) { m_profile = profile; }
    CMidiEngineProxy& GetProxy() { return m_proxy; }

private:
    CMidiEngineProxy& m_proxy;
    BackendFactory m_factory;
    bool m_startThread;
    std::unique_ptr<CMidiBackend> m_backend;
    std::unique_ptr<CMidiEngine> m_engine;
    bool m_running = false;
    CProfile* m_profile = nullptr;
};
