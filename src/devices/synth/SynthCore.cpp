#include "devices/synth/SynthCore.h"

#include "devices/LibraryMessages.h"
#include "devices/SynthOptions.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>

namespace {

constexpr int kPolyphony = 256;
// Controllers from here on are channel modes (all notes off, reset, ...), not settings to copy.
constexpr int kFirstModeController = 120;

// FluidSynth's log function: the library's own prints every line on the terminal.
void FluidLog(int level, const char* text, void*)
{
    if (!IsLibraryMessageWanted()) return;
    const ELibraryLevel ours = level <= FLUID_ERR    ? ELibraryLevel::Error
                               : level == FLUID_WARN ? ELibraryLevel::Warning
                                                     : ELibraryLevel::Info;
    ReportLibraryMessage({"FluidSynth", ours, text != nullptr ? text : "", {}});
}

} // namespace

void CSynthCore::RouteLibraryMessages()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, FluidLog, nullptr);
    });
}

class CSynthCore::CImpl {
public:
    CImpl(uint32_t rate, int renderThreads)
    {
        RouteLibraryMessages();
        m_settings = new_fluid_settings();
        fluid_settings_setnum(m_settings, "synth.sample-rate", rate);
        fluid_settings_setint(m_settings, "synth.polyphony", kPolyphony);
        // One thread renders and applies: FluidSynth's own lock would only cost time.
        fluid_settings_setint(m_settings, "synth.threadsafe-api", 0);
        fluid_settings_setint(m_settings, "synth.cpu-cores", std::max(1, renderThreads));
        m_synth = new_fluid_synth(m_settings);
    }
    ~CImpl()
    {
        if (m_synth != nullptr) delete_fluid_synth(m_synth);
        delete_fluid_settings(m_settings);
    }

    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    int m_font = -1;
};

CSynthCore::CSynthCore(uint32_t sampleRate, int renderThreads)
    : m_rate(sampleRate), m_impl(std::make_unique<CImpl>(sampleRate, renderThreads))
{}

CSynthCore::~CSynthCore() = default;

int CSynthCore::Load(const std::string& path, std::string& error)
{
    if (m_impl->m_synth == nullptr) {
        error = "The synthesizer cannot start (out of memory).";
        return 0;
    }
    if (path.empty()) {
        error = "No General MIDI SoundFont is installed.";
        return 0;
    }
    // A readable file first, so a missing font is told apart from a broken one.
    if (!std::ifstream(path, std::ios::binary)) {
        error = "The SoundFont " + path + " cannot be read: " + std::strerror(errno) + ".";
        return 0;
    }
    // Only a SoundFont goes to FluidSynth: its DLS reader (libinstpatch) would print a GLib
    // warning of its own on the terminal for any other file.
    if (!IsSoundFontFile(path)) {
        error =
            "The SoundFont " + path + " is damaged or not a SoundFont (it does not begin as one).";
        return 0;
    }
    CLibraryMessageCollector said;
    const int font = fluid_synth_sfload(m_impl->m_synth, path.c_str(), 1);
    if (font == FLUID_FAILED) {
        // FluidSynth's first complaint is the most precise, its last a summary.
        const std::string why = said.FirstError("FluidSynth");
        error = "The SoundFont " + path + " is damaged or not a SoundFont" +
                (why.empty() ? std::string() : " (" + why + ")") + ".";
        return 0;
    }
    if (m_impl->m_font >= 0) fluid_synth_sfunload(m_impl->m_synth, m_impl->m_font, 1);
    m_impl->m_font = font;
    return 1;
}

bool CSynthCore::IsLoaded() const
{
    return m_impl->m_font >= 0;
}

void CSynthCore::Apply(const uint8_t* bytes, int32_t length)
{
    if (length < 1 || bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
    fluid_synth_t* synth = m_impl->m_synth;
    const int channel = bytes[0] & 0x0F;
    const int data1 = length > 1 ? bytes[1] & 0x7F : 0;
    const int data2 = length > 2 ? bytes[2] & 0x7F : 0;
    switch (bytes[0] & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(synth, channel, data1);
        break;
    case 0x90:
        if (data2 == 0) {
            fluid_synth_noteoff(synth, channel, data1);
        } else {
            fluid_synth_noteon(synth, channel, data1, data2);
        }
        break;
    case 0xA0:
        fluid_synth_key_pressure(synth, channel, data1, data2);
        break;
    case 0xB0:
        fluid_synth_cc(synth, channel, data1, data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth, channel, data1);
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth, channel, data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth, channel, data1 | (data2 << 7));
        break;
    default:
        break;
    }
}

void CSynthCore::Render(float* left, float* right, uint32_t frames)
{
    if (frames == 0) return;
    fluid_synth_write_float(m_impl->m_synth, static_cast<int>(frames), left, 0, 1, right, 0, 1);
}

void CSynthCore::SetGain(float gain)
{
    fluid_synth_set_gain(m_impl->m_synth, gain);
}

void CSynthCore::Reset()
{
    fluid_synth_system_reset(m_impl->m_synth);
}

void CSynthCore::CopyChannelsFrom(const CSynthCore& other)
{
    fluid_synth_t* from = other.m_impl->m_synth;
    fluid_synth_t* to = m_impl->m_synth;
    const int channels =
        std::min(fluid_synth_count_midi_channels(from), fluid_synth_count_midi_channels(to));
    for (int channel = 0; channel < channels; ++channel) {
        // Controllers first: the bank selects among them choose the program's bank.
        for (int number = 0; number < kFirstModeController; ++number) {
            int value = 0;
            if (fluid_synth_get_cc(from, channel, number, &value) == FLUID_OK)
                fluid_synth_cc(to, channel, number, value);
        }
        int font = 0;
        int bank = 0;
        int program = 0;
        if (fluid_synth_get_program(from, channel, &font, &bank, &program) == FLUID_OK)
            fluid_synth_program_change(to, channel, program);
        int bend = 0;
        if (fluid_synth_get_pitch_bend(from, channel, &bend) == FLUID_OK)
            fluid_synth_pitch_bend(to, channel, bend);
        int range = 0;
        if (fluid_synth_get_pitch_wheel_sens(from, channel, &range) == FLUID_OK)
            fluid_synth_pitch_wheel_sens(to, channel, range);
    }
}

void CSynthCore::Silence()
{
    fluid_synth_all_sounds_off(m_impl->m_synth, -1);
}

int32_t CSynthCore::GetActiveVoices() const
{
    return fluid_synth_get_active_voice_count(m_impl->m_synth);
}
