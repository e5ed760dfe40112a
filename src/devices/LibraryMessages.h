#pragma once
// What the audio and MIDI libraries (ALSA, JACK, FluidSynth) would print on the terminal by
// themselves. The backends install the libraries' own handlers (see InstallLibraryMessageHandlers
// in BackendChoice.h) so that every such message comes here instead: it reaches standard error
// only when verbose output is on (`--verbose` in both programs), and a backend that is opening a
// device collects what the libraries said meanwhile, so the reason it gives names the cause. The
// reason a device could not open is shown by the program, not by the libraries.
//
// Threads: any. A message on a thread that does not collect, with verbose output off, costs an
// atomic read and a thread-local read, so the handlers may run on an audio thread.

#include <string>
#include <vector>

enum class ELibraryLevel { Error, Warning, Info };

struct SLibraryMessage {
    std::string library; // "ALSA", "JACK", "FluidSynth"
    ELibraryLevel level = ELibraryLevel::Error;
    std::string text;   // the message, without a trailing newline
    std::string origin; // where in the library, when it says ("pcm.c:2666 snd_pcm_open_noupdate")
};

// Whether library messages go to standard error as well (off at start).
void SetLibraryMessagesVerbose(bool verbose);
bool AreLibraryMessagesVerbose();

// True when a message now would go anywhere: verbose output is on, or this thread collects. The
// handlers ask first, so they format nothing for nobody.
bool IsLibraryMessageWanted();
// Hands one message on: to the innermost collector of this thread, and to standard error when
// verbose ("ALSA: Unknown PCM default [pcm.c:2666 snd_pcm_open_noupdate]").
void ReportLibraryMessage(SLibraryMessage message);
// The line verbose output prints for message (without the newline).
std::string LibraryMessageLine(const SLibraryMessage& message);

// Collects the library messages reported on the constructing thread while it lives (a nested
// collector takes them from the outer one until it goes).
class CLibraryMessageCollector {
public:
    CLibraryMessageCollector();
    ~CLibraryMessageCollector();
    CLibraryMessageCollector(const CLibraryMessageCollector&) = delete;
    CLibraryMessageCollector& operator=(const CLibraryMessageCollector&) = delete;

    const std::vector<SLibraryMessage>& GetMessages() const { return m_messages; }
    // The text of the first or the last message of library at level Error, or empty.
    std::string FirstError(const std::string& library) const;
    std::string LastError(const std::string& library) const;
    void Clear() { m_messages.clear(); }

private:
    friend void ReportLibraryMessage(SLibraryMessage message);
    std::vector<SLibraryMessage> m_messages;
    CLibraryMessageCollector* m_outer;
};
