// tonalweaver-cli: headless tools over the core (no window): files, MIDI devices, playback.

#include "cli/CliCommand.h"
#include "devices/LibraryMessages.h"
#include "model/Errors.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

const CCliCommand* const kCommands[] = {&kDumpCommand, &kConvertCommand, &kRenderCommand,
                                         &kDevicesCommand, &kPlayCommand, &kRecordCommand};

std::string Usage()
{
    std::string text = "Usage: tonalweaver-cli [--help] [--version] [--verbose] [--] <command> "
                       "[<args>]\n"
                       "\n"
                       "Headless tools of the Tonalweaver MIDI sequencer.\n"
                       "\n"
                       "Commands:\n";
    for (const CCliCommand* c : kCommands) {
        std::string line = std::string("  ") + c->name + " " + c->synopsis;
        line.resize(std::max<size_t>(line.size() + 2, 26), ' ');
        text += line + c->description + "\n";
    }
    text += "\n"
            "Options:\n"
            "  --help                  show this text\n"
            "  --version               show the program version\n"
            "  --verbose               also print what the audio and MIDI libraries (ALSA,\n"
            "                          JACK, FluidSynth) report; every command takes it\n"
            "  --                      end of options: later arguments are names, even\n"
            "                          when they begin with \"-\"\n"
            "\n"
            "A failure prints its message on standard error and exits with status 1;\n"
            "wrong arguments exit with status 2.\n";
    return text;
}

const CCliCommand* FindCommand(const std::string& name)
{
    for (const CCliCommand* c : kCommands) {
        if (name == c->name) return c;
    }
    return nullptr;
}

int RunCommand(const CCliCommand& command, const std::vector<std::string>& raw)
{
    try {
        const CCliArgs args = ParseCliArgs(command, raw);
        if (args.options.count(kVerboseOption) != 0) SetLibraryMessagesVerbose(true);
        return command.run(args);
    } catch (const CUsageError& e) {
        std::fprintf(stderr, "tonalweaver-cli %s: %s\nUsage: tonalweaver-cli %s %s\n", command.name,
                     e.what(), command.name, command.synopsis);
        return 2;
    } catch (const std::exception& e) {
        // The message exactly as the application would show it.
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(Usage().c_str(), stderr);
        return 2;
    }
    // "--verbose" may come before the command as well as among its arguments.
    int at = 1;
    while (at < argc && std::string(argv[at]) == kVerboseOption) {
        SetLibraryMessagesVerbose(true);
        ++at;
    }
    // "--" before the command ends the program's own options; the command's own "--" is its.
    const bool ended = at < argc && std::string(argv[at]) == "--";
    if (ended) ++at;
    if (at == argc) {
        std::fputs(Usage().c_str(), stderr);
        return 2;
    }
    const std::string first = argv[at];
    if (!ended) {
        if (first == "--help" || first == "-h") {
            std::fputs(Usage().c_str(), stdout);
            return 0;
        }
        if (first == "--version") {
            std::printf("tonalweaver-cli %s\n", TW_VERSION);
            return 0;
        }
    }
    const CCliCommand* command = FindCommand(first);
    if (command == nullptr) {
        std::fprintf(stderr, "tonalweaver-cli: unknown command '%s'\n\n%s", first.c_str(),
                     Usage().c_str());
        return 2;
    }
    return RunCommand(*command, std::vector<std::string>(argv + at + 1, argv + argc));
}
