#include "devices/MidiDevices.h"

#include <algorithm>

namespace {
const char* const kBadIndex = "Invalid device index.";
const char* const kNotOpen = "The device is not open.";

template <class T> void RemoveFrom(std::vector<T*>& list, const T* item)
{
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

template <class T> T* At(const std::vector<std::unique_ptr<T>>& list, int32_t index)
{
    return (index >= 0 && index < static_cast<int32_t>(list.size()))
               ? list[static_cast<size_t>(index)].get()
               : nullptr;
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
    const std::vector<std::string> outputs = backend.GetOutputNames();
    for (size_t i = 0; i < outputs.size(); ++i) {
        m_outDrivers.push_back(std::make_unique<CMidiOutDriver>(
            backend, m_buffer, static_cast<int32_t>(i), outputs[i]));
    }
    const std::vector<std::string> inputs = backend.GetInputNames();
    for (size_t i = 0; i < inputs.size(); ++i) {
        auto driver = std::make_unique<CMidiInDriver>(backend, static_cast<int32_t>(i), inputs[i]);
        driver->SetInputSignal(m_signal);
        driver->SetClockSink(m_clockSink);
        m_inDrivers.push_back(std::move(driver));
    }
    m_openOut.reserve(m_outDrivers.size());
    m_openIn.reserve(m_inDrivers.size());
    return 1;
}

void CMidiDevices::Stop()
{
    if (!m_backend) return;
    std::string ignored;
    while (!m_openIn.empty())
        CloseInputDriver(m_openIn.front()->GetDeviceIndex(), ignored);
    while (!m_openOut.empty())
        CloseOutputDriver(m_openOut.front()->GetDeviceIndex(), ignored);
    m_inDrivers.clear();
    m_outDrivers.clear();
    m_backend->Stop();
    m_backend = nullptr;
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

CMidiOutDriver* CMidiDevices::GetOutDriver(int32_t index) const
{
    return At(m_outDrivers, index);
}

CMidiInDriver* CMidiDevices::GetInDriver(int32_t index) const
{
    return At(m_inDrivers, index);
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
    return 1;
}

int CMidiDevices::CloseOutputDriver(int32_t index, std::string& error)
{
    if (!CheckDriverIndex(index, GetOutDriverCount(), error)) return 0;
    CMidiOutDriver* driver = GetOutDriver(index);
    RemoveFrom(m_openOut, driver);
    driver->Close(error); // a failure leaves its text, but the driver is closed
    return 1;
}

int CMidiDevices::OpenInputDriver(int32_t index, std::string& error)
{
    if (!CheckDriverIndex(index, GetInDriverCount(), error)) return 0;
    CMidiInDriver* driver = GetInDriver(index);
    if (driver->IsOpen()) return 1;
    if (driver->Open(error)) m_openIn.push_back(driver);
    return 1; // a device that refuses stays closed; the open flag tells
}

int CMidiDevices::CloseInputDriver(int32_t index, std::string& error)
{
    if (!CheckDriverIndex(index, GetInDriverCount(), error)) return 0;
    CMidiInDriver* driver = GetInDriver(index);
    RemoveFrom(m_openIn, driver);
    driver->Close(error);
    return 1;
}

int CMidiDevices::RouteInput(CMidiNode& node, int32_t driver, std::string& error)
{
    DisconnectInputs(&node);
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
    m_faults.clear();
    if (!m_backend->TakeFaults(m_faults)) return 0;
    int32_t closed = 0;
    for (const SMidiFault& fault : m_faults) {
        std::string ignored;
        if (fault.output) {
            CMidiOutDriver* driver = GetOutDriver(fault.index);
            if (driver == nullptr || !driver->IsOpen()) continue;
            CloseOutputDriver(fault.index, ignored);
            driver->SetProblem(fault.reason);
        } else {
            CMidiInDriver* driver = GetInDriver(fault.index);
            if (driver == nullptr || !driver->IsOpen()) continue;
            CloseInputDriver(fault.index, ignored);
            driver->SetProblem(fault.reason);
        }
        error = fault.reason;
        ++closed;
        {
            std::lock_guard<std::mutex> guard(m_faultLock);
            m_lastFault = fault.reason;
        }
        m_faultCount.fetch_add(1);
    }
    return closed;
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
