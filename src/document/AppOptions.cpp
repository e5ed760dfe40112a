#include "document/AppOptions.h"

#include <algorithm>

#include "document/UserServices.h"
#include "model/Profile.h"

namespace {

constexpr const char* kOptions = "Options";
constexpr const char* kEditor = "Editor";
constexpr const char* kSettings = "Settings";

int32_t ReadStep(const CProfile& profile, const char* key, int32_t def)
{
    return std::clamp(profile.GetInt(kEditor, key, def), CAppOptions::kMinStep,
                      CAppOptions::kMaxStep);
}

} // namespace

void CAppOptions::Load(const CProfile& profile)
{
    const CAppOptions defaults;
    m_autoCreateNewTrack =
        profile.GetInt(kOptions, "AutoCreateNewTrack", defaults.m_autoCreateNewTrack);
    m_autoExtendSequence =
        profile.GetInt(kOptions, "AutoExtendSequence", defaults.m_autoExtendSequence);
    m_quantizeStart.SetTicks(
        profile.GetInt(kEditor, "QStart", defaults.m_quantizeStart.GetTicks()));
    m_quantizeEnd.SetTicks(profile.GetInt(kEditor, "QEnd", defaults.m_quantizeEnd.GetTicks()));
    m_incValue = ReadStep(profile, "IncValue", defaults.m_incValue);
    m_decValue = ReadStep(profile, "DecValue", defaults.m_decValue);
    m_currentDir = profile.GetString(kSettings, "CurrentDir", "");
}

void CAppOptions::Save(CProfile& profile) const
{
    profile.SetInt(kOptions, "AutoCreateNewTrack", m_autoCreateNewTrack);
    profile.SetInt(kOptions, "AutoExtendSequence", m_autoExtendSequence);
    SaveEditor(profile);
    if (!m_currentDir.empty()) profile.SetString(kSettings, "CurrentDir", m_currentDir);
}

void CAppOptions::SaveEditor(CProfile& profile) const
{
    profile.SetInt(kEditor, "QStart", m_quantizeStart.GetTicks());
    profile.SetInt(kEditor, "QEnd", m_quantizeEnd.GetTicks());
    profile.SetInt(kEditor, "IncValue", m_incValue);
    profile.SetInt(kEditor, "DecValue", m_decValue);
}

int32_t& CAppOptions::OptionOf(ERememberedQuestion question)
{
    return question == ERememberedQuestion::AutoCreateNewTrack ? m_autoCreateNewTrack
                                                               : m_autoExtendSequence;
}

const char* CAppOptions::QuestionText(ERememberedQuestion question)
{
    if (question == ERememberedQuestion::AutoCreateNewTrack)
        return "Clip(s) have been dropped behind the last track. Do you want to create new tracks?";
    return "Note(s) have been dropped behind the end of sequence. Do you want to extend the "
           "sequence?";
}

bool CAppOptions::Ask(ERememberedQuestion question, CUserServices& user)
{
    int32_t& option = OptionOf(question);
    if (option == kNever) return false;
    if (option == kAlways) return true;
    bool dontAskAgain = false;
    const bool yes = user.AskRemembered(QuestionText(question), dontAskAgain);
    if (dontAskAgain) option = yes ? kAlways : kNever;
    return yes;
}
