// render FILE OUT.mid|OUT.wav [--from TICK] [--to TICK]: the bounce - plays the project through
// the engine on a virtual clock and writes what every output port sent, at the ticks it sent it,
// as a MIDI file, or played by the built-in synthesizer as a WAV file.

#include "cli/CliCommand.h"
#include "cli/SmfOptions.h"
#include "cli/WavRender.h"

#include "document/ProjectDoc.h"
#include "document/ProjectRender.h"
#include "files/SmfWriter.h"
#include "model/Errors.h"

#include <array>
#include <cctype>
#include <charconv>
#include <iomanip>
#include <iostream>
#include <vector>

namespace {

// Collects the messages of each output port for one MIDI track per port.
class CSmfCapture : public CRenderSink {
public:
    void OnMessages(int32_t port, tick at, std::span<const SMidiOutRecord> records) override
    {
        std::vector<SSmfMessage>& track = m_ports.at(static_cast<size_t>(port));
        for (const SMidiOutRecord& record : records) {
            SSmfMessage message;
            message.time = at;
            message.length = record.length;
            for (size_t i = 0; i < 3; ++i)
                message.bytes[i] = record.bytes[i];
            track.push_back(message);
        }
    }

    // Adds one track per port that sent anything, named after the port.
    void AddTracks(CSmfWriter& writer) const
    {
        for (size_t port = 0; port < m_ports.size(); ++port)
            if (!m_ports[port].empty())
                writer.AddMessageTrack(RenderPortName(static_cast<int32_t>(port)), m_ports[port]);
    }

private:
    std::array<std::vector<SSmfMessage>, 8> m_ports;
};

tick TickOption(const CCliArgs& args, const char* name, tick fallback)
{
    const auto it = args.options.find(name);
    if (it == args.options.end()) return fallback;
    const std::string& text = it->second;
    tick value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        throw CUsageError(std::string("option '") + name + "' needs a tick count (0 or more)");
    return value;
}

bool EndsWith(const std::string& text, const std::string& end)
{
    if (text.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i])
            return false;
    return true;
}

SWavOptions ReadWavOptions(const CCliArgs& args)
{
    SWavOptions wav;
    if (const auto it = args.options.find("--rate"); it != args.options.end()) {
        if (it->second == "44100") {
            wav.rate = 44100;
        } else if (it->second == "48000") {
            wav.rate = 48000;
        } else {
            throw CUsageError("option '--rate' takes 44100 or 48000");
        }
    }
    if (const auto it = args.options.find("--format"); it != args.options.end()) {
        if (it->second != "16" && it->second != "float")
            throw CUsageError("option '--format' takes 16 or float");
        wav.floatSamples = it->second == "float";
    }
    if (const auto it = args.options.find("--soundfont"); it != args.options.end())
        wav.soundFont = it->second;
    wav.normalize = args.options.contains("--normalize");
    return wav;
}

// Clipping is said out loud: a bounce that clips sounds broken, and nothing else would tell. A
// normalized file does not clip, whatever the synthesizer's own output did.
void ReportClipping(const SWavOptions& wav, const SWavRenderStats& stats, std::ostream& out)
{
    if (wav.normalize || stats.fullScaleSamples == 0 || stats.samples == 0) return;
    const double percent =
        100.0 * static_cast<double>(stats.fullScaleSamples) / static_cast<double>(stats.samples);
    out << "render: " << stats.fullScaleSamples << " of " << stats.samples << " samples ("
        << std::fixed << std::setprecision(percent < 0.01 ? 4 : 2) << percent
        << " %) reached full scale and clip; add --normalize to scale the whole file to a peak "
           "of -1 dBFS\n";
}

int RunRender(const CCliArgs& args)
{
    SRenderOptions options;
    options.from = TickOption(args, "--from", 0);
    options.to = TickOption(args, "--to", -1);
    const std::string& out = args.positional[1];
    const bool wav = EndsWith(out, ".wav");
    const SWavOptions wavOptions = wav ? ReadWavOptions(args) : SWavOptions{};
    const auto user = SplitChannelsAnswer(args);
    CProjectDoc doc;
    LoadForCli(doc, args.positional[0], *user);
    if (wav) {
        ReportClipping(wavOptions, RenderProjectToWav(doc, options, wavOptions, out), std::cerr);
        return 0;
    }
    CSmfCapture capture;
    std::string error;
    if (RenderProject(doc, options, capture, error) == 0) throw CFileError(error);
    CSmfWriter writer(doc.GetTempo(), "", "");
    capture.AddTracks(writer);
    writer.WriteFile(args.positional[1]);
    return 0;
}

} // namespace

const CCliCommand kRenderCommand{
    "render",
    "FILE OUT.mid|OUT.wav [--from TICK] [--to TICK] [--rate 44100|48000] [--format 16|float] "
    "[--soundfont PATH] [--normalize] [--split-channels yes|no]",
    "play FILE through the engine and write what every output port sent as a MIDI file, or as "
    "the built-in synthesizer plays it as a WAV file",
    {"--from", "--to", "--rate", "--format", "--soundfont", kSplitChannelsOption},
    2,
    RunRender,
    {"--normalize"}};
