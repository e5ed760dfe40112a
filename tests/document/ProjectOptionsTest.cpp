#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "document/AppOptions.h"
#include "document/ProjectManager.h"
#include "fakes/ScriptedUserServices.h"
#include "model/Profile.h"

namespace {

// Restores the process's current directory when a test has changed it.
class CCurrentDirGuard {
public:
    ~CCurrentDirGuard() { std::filesystem::current_path(m_saved); }

private:
    std::filesystem::path m_saved = std::filesystem::current_path();
};

// These tests open no files.
bool NoFiles(CProjectDoc&, const std::string&)
{
    return false;
}

} // namespace

TEST(ProjectOptionsTest, StepValuesAreBroughtIntoRangeWhenRead)
{
    CMemoryProfile profile;
    CAppOptions options;
    profile.SetInt("Editor", "IncValue", 0);
    profile.SetInt("Editor", "DecValue", 80);
    options.Load(profile);
    EXPECT_EQ(options.m_incValue, 1);
    EXPECT_EQ(options.m_decValue, 50);

    profile.SetInt("Editor", "IncValue", 49);
    profile.SetInt("Editor", "DecValue", -7);
    options.Load(profile);
    EXPECT_EQ(options.m_incValue, 49);
    EXPECT_EQ(options.m_decValue, 1);
}

TEST(ProjectOptionsTest, OptionsSurviveProfileRoundTrip)
{
    CMemoryProfile profile;
    CAppOptions written;
    written.m_autoCreateNewTrack = 1;
    written.m_autoExtendSequence = 0;
    written.m_quantizeStart = CNoteValue(48);
    written.m_quantizeEnd = CNoteValue(12);
    written.m_incValue = 5;
    written.m_decValue = 20;
    written.m_currentDir = "/home/ann/songs";
    written.Save(profile);
    EXPECT_EQ(profile.GetInt("Options", "AutoCreateNewTrack", -1), 1);
    EXPECT_EQ(profile.GetInt("Editor", "QEnd", -1), 12);
    EXPECT_EQ(profile.GetString("Settings", "CurrentDir", ""), "/home/ann/songs");

    CAppOptions read;
    read.Load(CMemoryProfile());
    EXPECT_EQ(read.m_autoCreateNewTrack, 2) << "missing options read as defaults";
    EXPECT_EQ(read.m_incValue, 10);
    read.Load(profile);
    EXPECT_EQ(read.m_autoCreateNewTrack, 1);
    EXPECT_EQ(read.m_autoExtendSequence, 0);
    EXPECT_EQ(read.m_quantizeStart.GetTicks(), 48);
    EXPECT_EQ(read.m_quantizeEnd.GetTicks(), 12);
    EXPECT_EQ(read.m_incValue, 5);
    EXPECT_EQ(read.m_decValue, 20);
    EXPECT_EQ(read.m_currentDir, "/home/ann/songs");
}

TEST(ProjectOptionsTest, RememberedQuestionFollowsTheOption)
{
    CScriptedUserServices user;
    CAppOptions options;

    options.m_autoCreateNewTrack = CAppOptions::kNever;
    options.m_autoExtendSequence = CAppOptions::kAlways;
    EXPECT_FALSE(options.Ask(ERememberedQuestion::AutoCreateNewTrack, user));
    EXPECT_TRUE(options.Ask(ERememberedQuestion::AutoExtendSequence, user));
    EXPECT_TRUE(user.m_questions.empty());

    // Asked without the box ticked: the answer counts once and the option stays.
    options.m_autoExtendSequence = CAppOptions::kAsk;
    user.m_answers = {true};
    EXPECT_TRUE(options.Ask(ERememberedQuestion::AutoExtendSequence, user));
    EXPECT_EQ(options.m_autoExtendSequence, CAppOptions::kAsk);
    EXPECT_EQ(user.m_questions.back(), "Note(s) have been dropped behind the end of sequence. "
                                       "Do you want to extend the sequence?");
}

TEST(ProjectOptionsTest, DontAskAgainStoresTheAnswer)
{
    CScriptedUserServices user;
    CMemoryProfile profile;
    CProjectManager manager(user, profile, nullptr, {}, NoFiles);
    manager.LoadOptions();

    user.m_tickDontAskAgain = true;
    user.m_answers = {false, true};
    EXPECT_FALSE(manager.Ask(ERememberedQuestion::AutoCreateNewTrack));
    EXPECT_EQ(user.m_questions.back(),
              "Clip(s) have been dropped behind the last track. Do you want to create new tracks?");
    EXPECT_EQ(manager.GetOptions().m_autoCreateNewTrack, CAppOptions::kNever);
    EXPECT_FALSE(manager.Ask(ERememberedQuestion::AutoCreateNewTrack));
    EXPECT_EQ(user.m_questions.size(), 1u) << "not asked again";

    EXPECT_TRUE(manager.Ask(ERememberedQuestion::AutoExtendSequence));
    EXPECT_EQ(manager.GetOptions().m_autoExtendSequence, CAppOptions::kAlways);

    CCurrentDirGuard guard;
    manager.SaveOptions();
    EXPECT_EQ(profile.GetInt("Options", "AutoCreateNewTrack", -1), 0);
    EXPECT_EQ(profile.GetInt("Options", "AutoExtendSequence", -1), 1);
}

TEST(ProjectOptionsTest, CurrentDirectoryIsSavedAndRestored)
{
    CCurrentDirGuard guard;
    const std::filesystem::path dir =
        std::filesystem::weakly_canonical(std::filesystem::temp_directory_path());
    CScriptedUserServices user;
    CMemoryProfile profile;
    profile.SetString("Settings", "CurrentDir", dir.string());
    CProjectManager manager(user, profile, nullptr, {}, NoFiles);
    manager.LoadOptions();
    EXPECT_EQ(std::filesystem::current_path(), dir);

    std::filesystem::current_path("/");
    manager.SaveOptions();
    EXPECT_EQ(profile.GetString("Settings", "CurrentDir", ""), "/");

    // A folder that no longer exists is not restored, and nothing fails.
    profile.SetString("Settings", "CurrentDir", (dir / "no-such-folder-here").string());
    manager.LoadOptions();
    EXPECT_EQ(std::filesystem::current_path(), "/");
}
