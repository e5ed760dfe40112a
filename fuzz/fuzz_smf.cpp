// Feeds arbitrary bytes to the MIDI file reader, then makes tracks and phrases from whatever it
// read. Reported errors are expected; crashes, other exceptions and leaks are findings.

#include "document/UserServices.h"
#include "files/SmfImporter.h"
#include "model/Errors.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// Answers the channel question the same way for every question of one input.
class CFixedUser : public CUserServices {
public:
    explicit CFixedUser(bool answer) : m_answer(answer) {}
    bool AskYesNo(const std::string&) override { return m_answer; }
    bool AskRemembered(const std::string&, bool& dontAskAgain) override
    {
        dontAskAgain = false;
        return m_answer;
    }
    void ShowMessage(const std::string&) override {}
    std::string ChooseFileToOpen(const std::string&, const std::string&) override { return {}; }
    std::string ChooseFileToSave(const std::string&, const std::string&,
                                 const std::string&) override
    {
        return {};
    }

private:
    bool m_answer;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Odd and even lengths take the two answers, so both ways of splitting channels are covered.
    CFixedUser user(size % 2 == 1);
    CSmfImporter importer(user);
    if (!importer.ReadMemory(data, size, "fuzz.mid")) return 0;
    try {
        std::vector<std::unique_ptr<CTrack>> tracks;
        importer.MakeTracks(tracks, 1536);
        std::vector<std::unique_ptr<CPhrase>> phrases;
        importer.MakePhrases(phrases);
    } catch (const COutOfMemory&) {
    }
    return 0;
}
