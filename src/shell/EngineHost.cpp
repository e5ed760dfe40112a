#include "shell/EngineHost.h"

#include "devices/BackendChoice.h"
#include "devices/MidiBackend.h"
#include "engine/DeviceSettings.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"

CEngineHost::CEngineHost(CMidiEngineProxy& proxy, CProfile& settings, BackendFactory factory,
                         std::string backendName, bool startMusicThread)
    : m_proxy(proxy), m_settings(settings), m_factory(std::move(factory)),
      m_backendName(std::move(backendName)), m_startThread(startMusicThread)
{}

CEngineHost::~CEngineHost()
{
    ShutDown();
}

bool CEngineHost::Start(std::string& error)
{
    m_backend = m_factory ? m_factory()
                          : CreateMidiBackend(m_backendName, error, ReadSynthOptions(m_settings));
    if (!m_backend) {
        if (error.empty()) error = "No MIDI backend could be created.";
        return false;
    }
    m_engine = std::make_unique<CMidiEngine>(*m_backend, m_proxy.GetMailbox());
    if (!m_proxy.AttachEngine(m_engine.get())) {
        error = "The MIDI engine could not be attached.";
        m_engine.reset();
        m_backend.reset();
        return false;
    }
    if (StartEngineWithSettings(m_proxy, m_settings, m_startThread) == 0) {
        error = m_proxy.GetLastError();
        m_proxy.AttachEngine(nullptr);
        m_engine.reset();
        m_backend.reset();
        return false;
    }
    m_running = true;
    return true;
}

void CEngineHost::ShutDown()
{
    if (!m_running) return;
    m_running = false;
    ShutDownEngineWithSettings(m_proxy, m_settings);
    m_proxy.AttachEngine(nullptr);
    m_engine.reset();
    m_backend.reset();
}
