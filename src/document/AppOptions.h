#pragma once
// The application's options kept in the settings profile, and the questions whose answer the
// user may ask us to remember. User-interface thread only.

#include <cstdint>
#include <string>

#include "model/TimeBase.h"

class CProfile;
class CUserServices;

// Options that decide between never, always and asking.
enum class ERememberedQuestion {
    AutoCreateNewTrack, // clips dropped below the last track
    AutoExtendSequence, // notes dropped behind the end of a sequence
};

class CAppOptions {
public:
    // Values of a remembered-question option.
    static constexpr int32_t kNever = 0;
    static constexpr int32_t kAlways = 1;
    static constexpr int32_t kAsk = 2;
    // Range of the editors' increase and reduce steps as they are read.
    static constexpr int32_t kMinStep = 1;
    static constexpr int32_t kMaxStep = 50;

    int32_t m_autoCreateNewTrack = kAsk;
    int32_t m_autoExtendSequence = kAsk;
    CNoteValue m_quantizeStart{24};
    CNoteValue m_quantizeEnd{24};
    int32_t m_incValue = 10;
    int32_t m_decValue = 10;
    // Current directory to restore at start; empty when none was stored.
    std::string m_currentDir;

    // Reads every option, missing ones as their defaults, the steps brought into 1..50.
    void Load(const CProfile& profile);
    void Save(CProfile& profile) const;
    // Writes only the "Editor" section (quantize grids and steps), for changes kept at once.
    void SaveEditor(CProfile& profile) const;

    // The option's answer: never gives false and always true without asking; otherwise the user
    // is asked, and a ticked "Don't ask this again." turns the option into the answer.
    bool Ask(ERememberedQuestion question, CUserServices& user);
    // The text of the question.
    static const char* QuestionText(ERememberedQuestion question);

private:
    int32_t& OptionOf(ERememberedQuestion question);
};
