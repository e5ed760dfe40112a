// tonalweaver-cli: headless tools over the core (no window, no MIDI devices needed).

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const kUsage =
    "Usage: tonalweaver-cli [--help] [--version]\n"
    "\n"
    "Headless tools of the Tonalweaver MIDI sequencer.\n"
    "  --help      show this text\n"
    "  --version   show the program version\n";

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string first = argv[1];
    if (first == "--help" || first == "-h") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (first == "--version") {
        std::printf("tonalweaver-cli %s\n", TW_VERSION);
        return 0;
    }
    std::fprintf(stderr, "tonalweaver-cli: unknown command '%s'\n\n%s", first.c_str(), kUsage);
    return 2;
}
