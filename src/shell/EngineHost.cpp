#include "shell/EngineHost.h"

#include "devices/MidiBackend.h"
#include "devices/virtual/VirtualBackend.h"
#include "engine/DeviceSettings.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"

CEngineHost::CEngineHost(CMidiEngineProxy& proxy, BackendFactory factory, bool startMusicThread)
    : m_proxy(proxy), m_factory(std::move(factory)), m_startThread(startMusicThread)
{}

CEngineHost::~CEngineHost()
{
    ShutDown();
}

bool CEngineHost::Start(std::string& error)
{
    m_backend = m_factory ? m_factory()
                          : std::make_unique<CVirtualBackend>(
                                std::vector<std::string>{"Virtual Out 1", "Virtual Out 2"},
                                std::vector<std::string>{"Virtual In 1"},
                                CVirtualBackend::EClock::RealTime);
    m_engine = std::make_unique<CMidiEngine>(*m_backend, m_proxy.GetMailbox());
    if (!m_proxy.AttachEngine(m_engine.get())) {
        error = "The MIDI engine could not be attached.";
        m_engine.reset();
        return false;
    }
    if (m_proxy.Initialise(m_startThread) == 0) {
        error = m_proxy.GetLastError();
        m_proxy.AttachEngine(nullptr);
        m_engine.reset();
        return false;
    }
    m_running = true;
    if (m_profile != nullptr) LoadDeviceSettings(*m_profile, m_proxy);
    return true;
}

void CEngineHost::ShutDown()
{
    if (!m_running) return;
    m_running = false;
    if (m_profile != nullptr) SaveDeviceSettings(*m_profile, m_proxy);
    m_proxy.ShutDown();
    m_proxy.AttachEngine(nullptr);
    m_engine.reset();
    m_backend.reset();
}
