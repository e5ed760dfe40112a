#pragma once
// The engine of the program: its backend, the engine object and the music thread, attached to
// the process-wide command proxy for as long as the host is running. The machine's device
// settings are applied right after the engine starts and written back right before it stops.

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

    // factory null: the backend named by backendName ("jack", "alsa", "virtual"), or the one
    // this machine offers when the name is empty. settings keeps the device settings.
    CEngineHost(CMidiEngineProxy& proxy, CProfile& settings, BackendFactory factory,
                std::string backendName, bool startMusicThread);
    ~CEngineHost();

    // Creates and initialises the engine and applies the device settings; false with the
    // engine's reason (nothing is read then).
    bool Start(std::string& error);
    // Writes the device settings, tells the engine to shut down and detaches it. Safe when not
    // started.
    void ShutDown();
    bool IsRunning() const { return m_running; }
    CMidiEngineProxy& GetProxy() { return m_proxy; }

private:
    CMidiEngineProxy& m_proxy;
    CProfile& m_settings;
    BackendFactory m_factory;
    std::string m_backendName;
    bool m_startThread;
    std::unique_ptr<CMidiBackend> m_backend;
    std::unique_ptr<CMidiEngine> m_engine;
    bool m_running = false;
};
