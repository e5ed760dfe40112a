#include "devices/virtual/VirtualBackend.h"

namespace {
const char* const kNoDevice = "No such MIDI device.";
const char* const kNotStarted = "The MIDI backend is not started.";
const char* const kNotOpen = "The MIDI device is not open.";
} // namespace

CVirtualBackend::CVirtualBackend(std::vector<std::string> outputNames,
                                 std::vector<std::string> inputNames, EClock clock)
    : m_clock(clock), m_epoch(std::chrono::steady_clock::now())
{
    m_outputs.resize(outputNames.size());
    for (size_t i = 0; i < outputNames.size(); ++i)
        m_outputs[i].name = std::move(outputNames[i]);
    m_inputs.resize(inputNames.size());
    for (size_t i = 0; i < inputNames.size(); ++i)
        m_inputs[i].name = std::move(inputNames[i]);
}

std::string CVirtualBackend::GetName() const
{
    return "virtual";
}

int CVirtualBackend::Start(std::string& error)
{
    if (!m_startFailure.empty()) {
        error = m_startFailure;
        return 0;
    }
    m_started = true;
    return 1;
}

void CVirtualBackend::Stop()
{
    std::string ignored;
    for (size_t i = 0; i < m_inputs.size(); ++i)
        CloseInput(static_cast<int32_t>(i), ignored);
    for (size_t i = 0; i < m_outputs.size(); ++i)
        CloseOutput(static_cast<int32_t>(i), ignored);
    m_started = false;
}

int64_t CVirtualBackend::GetMasterTime() const
{
    if (m_clock == EClock::Manual) return m_manualTime.load();
    const auto elapsed = std::chrono::steady_clock::now() - m_epoch;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100;
}

std::vector<std::string> CVirtualBackend::GetOutputNames() const
{
    std::vector<std::string> names;
    for (const SOutput& output : m_outputs)
        names.push_back(output.name);
    return names;
}

std::vector<std::string> CVirtualBackend::GetInputNames() const
{
    std::vector<std::string> names;
    for (const SInput& input : m_inputs)
        names.push_back(input.name);
    return names;
}

bool CVirtualBackend::ValidOutput(int32_t index) const
{
    return index >= 0 && index < static_cast<int32_t>(m_outputs.size());
}

bool CVirtualBackend::ValidInput(int32_t index) const
{
    return index >= 0 && index < static_cast<int32_t>(m_inputs.size());
}

int CVirtualBackend::OpenOutput(int32_t index, std::string& error)
{
    if (!m_started) {
        error = kNotStarted;
        return 0;
    }
    if (!ValidOutput(index)) {
        error = kNoDevice;
        return 0;
    }
    std::lock_guard<std::mutex> guard(m_outputLock);
    SOutput& output = m_outputs[static_cast<size_t>(index)];
    if (!output.openFailure.empty()) {
        error = output.openFailure;
        return 0;
    }
    output.open = true;
    return 1;
}

int CVirtualBackend::CloseOutput(int32_t index, std::string& error)
{
    if (!ValidOutput(index)) {
        error = kNoDevice;
        return 0;
    }
    std::lock_guard<std::mutex> guard(m_outputLock);
    m_outputs[static_cast<size_t>(index)].open = false;
    return 1;
}

int CVirtualBackend::PlayBuffer(int32_t index, const CMidiSendBuffer& buffer, std::string& error)
{
    if (!ValidOutput(index)) {
        error = kNoDevice;
        return 0;
    }
    std::lock_guard<std::mutex> guard(m_outputLock);
    SOutput& output = m_outputs[static_cast<size_t>(index)];
    if (!output.open) {
        error = kNotOpen;
        return 0;
    }
    ++output.playCount;
    if (m_capture) output.sent.insert(output.sent.end(), buffer.begin(), buffer.end());
    return 1;
}

int CVirtualBackend::OpenInput(int32_t index, CMidiInputSink* sink, std::string& error)
{
    if (!m_started) {
        error = kNotStarted;
        return 0;
    }
    if (!ValidInput(index)) {
        error = kNoDevice;
        return 0;
    }
    std::lock_guard<std::mutex> guard(m_inputLock);
    SInput& input = m_inputs[static_cast<size_t>(index)];
    if (!input.openFailure.empty()) {
        error = input.openFailure;
        return 0;
    }
    input.sink = sink;
    return 1;
}

int CVirtualBackend::CloseInput(int32_t index, std::string& error)
{
    if (!ValidInput(index)) {
        error = kNoDevice;
        return 0;
    }
    // Waits for a running injection, so no sink call follows the close.
    std::lock_guard<std::mutex> guard(m_inputLock);
    m_inputs[static_cast<size_t>(index)].sink = nullptr;
    return 1;
}

void CVirtualBackend::SetTime(int64_t time)
{
    m_manualTime.store(time);
}

void CVirtualBackend::AdvanceTime(int64_t delta)
{
    m_manualTime.fetch_add(delta);
}

void CVirtualBackend::SetOutputOpenFailure(int32_t index, std::string text)
{
    std::lock_guard<std::mutex> guard(m_outputLock);
    if (ValidOutput(index)) m_outputs[static_cast<size_t>(index)].openFailure = std::move(text);
}

void CVirtualBackend::SetInputOpenFailure(int32_t index, std::string text)
{
    std::lock_guard<std::mutex> guard(m_inputLock);
    if (ValidInput(index)) m_inputs[static_cast<size_t>(index)].openFailure = std::move(text);
}

void CVirtualBackend::SetStartFailure(std::string text)
{
    m_startFailure = std::move(text);
}

void CVirtualBackend::SetCapture(bool capture)
{
    std::lock_guard<std::mutex> guard(m_outputLock);
    m_capture = capture;
}

bool CVirtualBackend::IsOutputOpen(int32_t index) const
{
    std::lock_guard<std::mutex> guard(m_outputLock);
    return ValidOutput(index) && m_outputs[static_cast<size_t>(index)].open;
}

bool CVirtualBackend::IsInputOpen(int32_t index) const
{
    std::lock_guard<std::mutex> guard(m_inputLock);
    return ValidInput(index) && m_inputs[static_cast<size_t>(index)].sink != nullptr;
}

std::vector<SMidiOutRecord> CVirtualBackend::GetSent(int32_t index) const
{
    std::lock_guard<std::mutex> guard(m_outputLock);
    return ValidOutput(index) ? m_outputs[static_cast<size_t>(index)].sent
                              : std::vector<SMidiOutRecord>();
}

void CVirtualBackend::TakeSent(int32_t index, std::vector<SMidiOutRecord>& records)
{
    records.clear();
    std::lock_guard<std::mutex> guard(m_outputLock);
    if (ValidOutput(index)) records.swap(m_outputs[static_cast<size_t>(index)].sent);
}

int32_t CVirtualBackend::GetPlayCount(int32_t index) const
{
    std::lock_guard<std::mutex> guard(m_outputLock);
    return ValidOutput(index) ? m_outputs[static_cast<size_t>(index)].playCount : 0;
}

void CVirtualBackend::ClearSent()
{
    std::lock_guard<std::mutex> guard(m_outputLock);
    for (SOutput& output : m_outputs) {
        output.sent.clear();
        output.playCount = 0;
    }
}

bool CVirtualBackend::InjectInput(int32_t index, const std::vector<uint8_t>& bytes)
{
    return InjectInput(index, bytes, InputStampOf(GetMasterTime()));
}

bool CVirtualBackend::InjectInput(int32_t index, const std::vector<uint8_t>& bytes, int32_t msStamp)
{
    std::lock_guard<std::mutex> guard(m_inputLock);
    if (!ValidInput(index)) return false;
    CMidiInputSink* sink = m_inputs[static_cast<size_t>(index)].sink;
    if (!sink) return false;
    if (!bytes.empty())
        sink->OnMidiInput(bytes.data(), static_cast<int32_t>(bytes.size()), msStamp);
    return true;
}

void CVirtualBackend::InjectFault(bool output, int32_t index, std::string reason, bool serverLost)
{
    std::lock_guard<std::mutex> guard(m_outputLock);
    m_faults.push_back({output, index, std::move(reason), serverLost});
    m_faultPending = true;
}

void CVirtualBackend::SetPresent(bool output, int32_t index, bool present)
{
    if (output ? !ValidOutput(index) : !ValidInput(index)) return;
    const auto i = static_cast<size_t>(index);
    const std::string name = output ? m_outputs[i].name : m_inputs[i].name;
    const std::string absent = present ? std::string() : "The MIDI port " + name + " is not there.";
    const bool open = output ? IsOutputOpen(index) : IsInputOpen(index);
    if (output)
        SetOutputOpenFailure(index, absent);
    else
        SetInputOpenFailure(index, absent);
    if (!present && open) InjectFault(output, index, "The MIDI port " + name + " has disappeared.");
    m_changed = true;
}

void CVirtualBackend::AddDevice(bool output, std::string name)
{
    std::lock_guard<std::mutex> guard(m_outputLock);
    m_appeared.emplace_back(output, std::move(name));
    m_changed = true;
}

bool CVirtualBackend::TakeDeviceChanges()
{
    return m_changed.exchange(false);
}

bool CVirtualBackend::Rescan()
{
    std::scoped_lock guard(m_outputLock, m_inputLock);
    const bool grew = !m_appeared.empty();
    for (auto& [output, name] : m_appeared) {
        if (output)
            m_outputs.push_back(SOutput{std::move(name), false, {}, {}, 0});
        else
            m_inputs.push_back(SInput{std::move(name), nullptr, {}});
    }
    m_appeared.clear();
    return grew;
}

bool CVirtualBackend::IsDevicePresent(bool output, int32_t index) const
{
    if (output) {
        std::lock_guard<std::mutex> guard(m_outputLock);
        return ValidOutput(index) && m_outputs[static_cast<size_t>(index)].openFailure.empty();
    }
    std::lock_guard<std::mutex> guard(m_inputLock);
    return ValidInput(index) && m_inputs[static_cast<size_t>(index)].openFailure.empty();
}

bool CVirtualBackend::TakeFaults(std::vector<SMidiFault>& faults)
{
    if (!m_faultPending.load()) return false;
    std::lock_guard<std::mutex> guard(m_outputLock);
    faults.insert(faults.end(), m_faults.begin(), m_faults.end());
    m_faults.clear();
    m_faultPending = false;
    return !faults.empty();
}
