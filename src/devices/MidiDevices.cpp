#include "devices/MidiDevices.h"

#include <algorithm>
#include <type_traits>
#include <utility>

namespace {
const char* const kBadIndex = "Invalid device index.";
const char* const kNotOpen = "The device is not open.";

template <class T> void RemoveFrom(std::vector<T*>& list, std::type_identity_t<const T*> item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

template <class T, size_t N> T* At(const std::array<std::unique_ptr<T>, N>& list, int32_t index)
{
    return (index >= 0 && index < static_cast<int32_t>(N)) ? list[static_cast<size_t>(index)].get()
                                                           : nullptr;
}
} // namespace

CMidiDevices::CMidiDevices()
{
    for (int32_t i = 0; i < CInputPort::kCount; ++i)
        m_inputPorts[static_cast<size_t>(i)] = std::make_unique<CInputPort>(i);
    for (int32_t i = 0; i < COutputPort::kCount; ++i)
        m_outputPorts[static_cast<size_t>(i)] = std::make_unique<COutputPort>(i);
}

CMidiDevices::~CMidiDevices()
{
    Stop();
}

int CMidiDevices::Start(CMidiBackend& backend, std::string& error)
{
    Stop();
    if (!backend.Start(error)) return 0;
    m_backend = &backend;
    // Message nodes for the first ticks, so that playing does not grow the pool at once.
    CMidiMsgPool::Instance().Reserve(kReservedMessages);
    m_outDrivers.reserve(kMaxDrivers);
    m_inDrivers.reserve(kMaxDrivers);
    m_openOut.reserve(kMaxDrivers);
    m_openIn.reserve(kMaxDrivers);
    for (const std::string& name : backend.GetOutputNames())
        AppendOutDriver(name);
    for (const std::string& name : backend.GetInputNames())
        AppendInDriver(name);
    return 1;
}

void CMidiDevices::AppendOutDriver(const std::string& name)
{
    const int32_t index = GetOutDriverCount();
    if (index >= kMaxDrivers) return;
    m_outDrivers.push_back(std::make_unique<CMidiOutDriver>(*m_backend, m_buffer, index, name));
    m_outCount.store(index + 1, std::memory_order_release);
    Changed();
}

void CMidiDevices::AppendInDriver(const std::string& name)
{
    const int32_t index = GetInDriverCount();
    if (index >= kMaxDrivers) return;
    auto driver = std::make_unique<CMidiInDriver>(*m_backend, index, name);
    driver->SetInputSignal(m_signal);
    driver->SetClockSink(m_clockSink);
    m_inDrivers.push_back(std::move(driver));
    m_inCount.store(index + 1, std::memory_order_release);
    Changed();
}

void CMidiDevices::Stop()
{
    if (!m_backend) return;
    std::string ignored;
    while (!m_openIn.empty())
        CloseInputDriver(m_openIn.front()->GetDeviceIndex(), ignored);
    while (!m_openOut.empty())
        CloseOutputDriver(m_openOut.front()->GetDeviceIndex(), ignored);
    m_outCount.store(0, std::memory_order_release);
    m_inCount.store(0, std::memory_order_release);
    m_lost.clear();
    m_inDrivers.clear();
    m_outDrivers.clear();
    m_backend->Stop();
    m_backend = nullptr;
    Changed();
}

void CMidiDevices::SetInputSignal(std::function<void()> signal)
{
    m_signal = std::move(signal);
    for (auto& driver : m_inDrivers)
        driver->SetInputSignal(m_signal);
}

void CMidiDevices::SetClockSink(CMidiClockSink* sink)
{
    m_clockSink = sink;
    for (auto& driver : m_inDrivers)
        driver->SetClockSink(sink);
}

// Counted, not sized: the UI thread may ask while the engine appends.
CMidiOutDriver* CMidiDevices::GetOutDriver(int32_t index) const
{
    return index >= 0 && index < GetOutDriverCount() ? m_outDrivers.data()[index].get() : nullptr;
}

CMidiInDriver* CMidiDevices::GetInDriver(int32_t index) const
{
    return index >= 0 && index < GetInDriverCount() ? m_inDrivers.data()[index].get() : nullptr;
}

COutputPort* CMidiDevices::GetOutputPort(int32_t index) const
{
    return At(m_outputPorts, index);
}

CInputPort* CMidiDevices::GetInputPort(int32_t index) const
{
    return At(m_inputPorts, index);
}

bool CMidiDevices::CheckDriverIndex(int32_t index, int32_t count, std::string& error)
{
    if (index >= 0 && index < count) return true;
    error = kBadIndex;
    return false;
}

int CMidiDevices::OpenOutputDriver(int32_t index, std::string& error)
{
    if (!CheckDriverIndex(index, GetOutDriverCount(), error)) return 0;
    CMidiOutDriver* driver = GetOutDriver(index);
    if (driver->IsOpen()) return 1;
    if (!driver->Open(error)) return 0;
    m_openOut.push_back(driver);
    RemoveFrom(m_lost, driver);
    Changed();
    return 1;
}

int CMidiDevices::CloseOutputDriver(int32_t index, std::string& error)
{
    if (!CheckDriverIndex(index, GetOutDriverCount(), error)) return 0;
    CMidiOutDriver* driver = GetOutDriver(index);
    RemoveFrom(m_openOut, driver);
    RemoveFrom(m_lost, driver);
    driver->Close(error); // a failure leaves its text, but the driver is closed
    Changed();
    return 1;
}

int CMidiDevices::OpenInputDriver(int32_t index, std::string& error)
{
    if (!CheckDriverIndex(index, GetInDriverCount(), error)) return 0;
    CMidiInDriver* driver = GetInDriver(index);
    if (driver->IsOpen()) return 1;
    if (driver->Open(error)) {
        m_openIn.push_back(driver);
        RemoveFrom(m_lost, driver);
    }
    Changed();
    return 1; // a device that refuses stays closed; the open flag tells
}

int CMidiDevices::CloseInputDriver(int32_t index, std::string& error)
{
    if (!CheckDriverIndex(index, GetInDriverCount(), error)) return 0;
    CMidiInDriver* driver = GetInDriver(index);
    RemoveFrom(m_openIn, driver);
    RemoveFrom(m_lost, driver);
    driver->Close(error);
    Changed();
    return 1;
}

std::string* CMidiDevices::InputWish(const CMidiNode& node)
{
    if (&node == &m_record) return &m_wishes.record;
    for (size_t i = 0; i < m_inputPorts.size(); ++i)
        if (&node == m_inputPorts[i].get()) return &m_wishes.inputPorts[i];
    return nullptr;
}

int CMidiDevices::RouteInput(CMidiNode& node, int32_t driver, std::string& error)
{
    DisconnectInputs(&node);
    // The port wants this device by name, also while it is closed or gone.
    std::string* wish = InputWish(node);
    const CMidiInDriver* wanted = GetInDriver(driver);
    if (wish != nullptr) *wish = wanted != nullptr ? wanted->GetNodeName() : std::string();
    if (!CheckDriverIndex(driver, GetInDriverCount(), error)) return 0;
    CMidiInDriver* in = GetInDriver(driver);
    if (!in->IsOpen()) {
        error = kNotOpen;
        return 0;
    }
    Connect(in, &node);
    return 1;
}

int CMidiDevices::RouteInputPort(int32_t port, int32_t driver, std::string& error)
{
    CInputPort* node = GetInputPort(port);
    if (!CheckDriverIndex(port, CInputPort::kCount, error)) return 0;
    return RouteInput(*node, driver, error);
}

int CMidiDevices::RouteRecordNode(int32_t driver, std::string& error)
{
    return RouteInput(m_record, driver, error);
}

int CMidiDevices::RouteOutputPort(int32_t port, int32_t driver, std::string& error)
{
    COutputPort* node = GetOutputPort(port);
    if (!CheckDriverIndex(port, COutputPort::kCount, error)) return 0;
    DisconnectOutputs(node);
    const CMidiOutDriver* wanted = GetOutDriver(driver);
    m_wishes.outputPorts[static_cast<size_t>(port)] =
        wanted != nullptr ? wanted->GetNodeName() : std::string();
    if (!CheckDriverIndex(driver, GetOutDriverCount(), error)) return 0;
    CMidiOutDriver* out = GetOutDriver(driver);
    if (!out->IsOpen()) {
        error = kNotOpen;
        return 0;
    }
    Connect(node, out);
    return 1;
}

int32_t CMidiDevices::HandleFaults(std::string& error)
{
    if (!m_backend) return 0;
    // The server is noticed going even when no device was open on it (or its clients' ports
    // went first, as they do when it shuts down politely).
    const bool lostNow = m_backend->IsServerLost();
    bool serverLost = lostNow && !m_serverWasLost;
    m_serverWasLost = lostNow;
    m_faults.clear();
    if (!m_backend->TakeFaults(m_faults) && !serverLost) return 0;
    const bool wasOut = !m_lost.empty();
    int32_t closed = 0;
    std::string serverReason = m_backend->GetServerLostReason();
    for (const SMidiFault& fault : m_faults) {
        if (fault.serverLost && serverReason.empty()) serverReason = fault.reason;
        serverLost = serverLost || fault.serverLost;
        std::string ignored;
        const CMidiNode* closedDriver = nullptr;
        if (fault.output) {
            CMidiOutDriver* driver = GetOutDriver(fault.index);
            if (driver == nullptr || !driver->IsOpen()) continue;
            CloseOutputDriver(fault.index, ignored);
            driver->SetProblem(fault.reason);
            closedDriver = driver;
        } else {
            CMidiInDriver* driver = GetInDriver(fault.index);
            if (driver == nullptr || !driver->IsOpen()) continue;
            CloseInputDriver(fault.index, ignored);
            driver->SetProblem(fault.reason);
            closedDriver = driver;
        }
        m_lost.push_back(closedDriver); // room reserved at Start
        error = fault.reason;
        ++closed;
        {
            std::lock_guard<std::mutex> guard(m_faultLock);
            m_lastFault = fault.reason;
        }
        m_faultCount.fetch_add(1);
    }
    if (serverLost) {
        error = serverReason;
        std::lock_guard<std::mutex> guard(m_faultLock);
        m_lastFault = serverReason;
    }
    m_serverLost = m_serverLost || serverLost;
    m_outageStarted = m_outageStarted || (!wasOut && closed != 0);
    if (closed != 0) m_allBack = false;
    return closed;
}

bool CMidiDevices::TakeServerLost()
{
    return std::exchange(m_serverLost, false);
}

bool CMidiDevices::TakeOutageStarted()
{
    return std::exchange(m_outageStarted, false);
}

int32_t CMidiDevices::FollowDevices(bool force)
{
    if (!m_backend) return 0;
    if (!m_backend->TakeDeviceChanges() && !force) return 0;
    if (m_backend->Rescan()) ListNewDevices();
    const bool hadLost = !m_lost.empty();
    const int32_t opened = ReopenReturned();
    // A driver the user switched off meanwhile is no longer waited for.
    m_lost.erase(std::remove_if(m_lost.begin(), m_lost.end(),
                                [](const CMidiNode* node) {
                                    const auto* out = dynamic_cast<const CMidiOutDriver*>(node);
                                    const auto* in = dynamic_cast<const CMidiInDriver*>(node);
                                    return out != nullptr ? !out->IsEnabled() : !in->IsEnabled();
                                }),
                 m_lost.end());
    if (hadLost && opened > 0 && m_lost.empty()) m_allBack = true;
    return opened;
}

bool CMidiDevices::TakeAllBack()
{
    return std::exchange(m_allBack, false);
}

void CMidiDevices::SetWishes(const SDeviceWishes& wishes)
{
    m_wishes = wishes;
    m_wishesSet = true;
}

int32_t CMidiDevices::ReopenReturned()
{
    int32_t opened = 0;
    std::string ignored;
    for (int32_t i = 0; i < GetOutDriverCount(); ++i) {
        const CMidiOutDriver& driver = *GetOutDriver(i);
        if (!driver.IsEnabled() || driver.IsOpen() || !m_backend->IsDevicePresent(true, i))
            continue;
        opened += OpenOutputDriver(i, ignored);
    }
    for (int32_t i = 0; i < GetInDriverCount(); ++i) {
        const CMidiInDriver& driver = *GetInDriver(i);
        if (!driver.IsEnabled() || driver.IsOpen() || !m_backend->IsDevicePresent(false, i))
            continue;
        OpenInputDriver(i, ignored);
        opened += driver.IsOpen() ? 1 : 0;
    }
    return opened;
}

void CMidiDevices::ListNewDevices()
{
    const std::vector<std::string> outputs = m_backend->GetOutputNames();
    for (auto i = static_cast<size_t>(GetOutDriverCount()); i < outputs.size(); ++i) {
        AppendOutDriver(outputs[i]);
        AdoptOutDriver(static_cast<int32_t>(i));
    }
    const std::vector<std::string> inputs = m_backend->GetInputNames();
    for (auto i = static_cast<size_t>(GetInDriverCount()); i < inputs.size(); ++i) {
        AppendInDriver(inputs[i]);
        AdoptInDriver(static_cast<int32_t>(i));
    }
}

namespace {
bool Contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}
} // namespace

void CMidiDevices::AdoptOutDriver(int32_t index)
{
    CMidiOutDriver* driver = GetOutDriver(index);
    if (driver == nullptr || !m_wishesSet) return;
    const std::string& name = driver->GetNodeName();
    driver->SetEnabled(!Contains(m_wishes.disabledOutputs, name));
    std::string ignored;
    if (!driver->IsEnabled() || !OpenOutputDriver(index, ignored)) return;
    for (int32_t port = 0; port < COutputPort::kCount; ++port) {
        const bool wanted = m_wishes.outputPorts[static_cast<size_t>(port)] == name;
        if (wanted && GetOutputPort(port)->GetFirstOutput() == nullptr)
            RouteOutputPort(port, index, ignored);
    }
}

void CMidiDevices::AdoptInDriver(int32_t index)
{
    CMidiInDriver* driver = GetInDriver(index);
    if (driver == nullptr || !m_wishesSet) return;
    const std::string& name = driver->GetNodeName();
    driver->SetEnabled(!Contains(m_wishes.disabledInputs, name));
    std::string ignored;
    if (!driver->IsEnabled()) return;
    OpenInputDriver(index, ignored);
    if (!driver->IsOpen()) return;
    for (int32_t port = 0; port < CInputPort::kCount; ++port) {
        const bool wanted = m_wishes.inputPorts[static_cast<size_t>(port)] == name;
        if (wanted && GetInputPort(port)->GetFirstInput() == nullptr)
            RouteInputPort(port, index, ignored);
    }
    if (m_wishes.record == name && m_record.GetFirstInput() == nullptr)
        RouteRecordNode(index, ignored);
}

std::string CMidiDevices::GetLastFault() const
{
    std::lock_guard<std::mutex> guard(m_faultLock);
    return m_lastFault;
}

void CMidiDevices::PollInputs()
{
    for (CMidiInDriver* driver : m_openIn)
        driver->Poll();
}

void CMidiDevices::HandOver(int64_t time)
{
    for (CMidiOutDriver* driver : m_openOut)
        driver->HandOver(time);
}

void CMidiDevices::QueueClockMessage(const CMidiMsg& msg)
{
    for (CMidiOutDriver* driver : m_openOut) {
        if (driver->IsClockSend()) driver->QueueRealtime(msg);
    }
}

void CMidiDevices::ResetOutputs()
{
    for (CMidiOutDriver* driver : m_openOut)
        driver->QueueReset();
}

void CMidiDevices::SendInstrumentSettings()
{
    for (CMidiOutDriver* driver : m_openOut) {
        CInstrumentTable table;
        for (const CMidiNode* port : driver->GetInputs()) {
            if (port->GetKind() != ENodeKind::OutputPort) continue;
            for (CMidiNode* input : port->GetInputs()) {
                if (const auto* source = dynamic_cast<const CInstrumentSource*>(input))
                    table.FillUnset(source->GetInstrumentChannel(),
                                    source->GetInstrumentSettings());
            }
        }
        driver->QueueInstrumentSettings(table);
    }
}
