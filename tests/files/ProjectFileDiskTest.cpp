#include "document/ProjectDoc.h"
#include "files/ArchiveFile.h"
#include "files/ProjectFile.h"
#include "files/TempFolder.h"
#include "model/Errors.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

// Banks, phrases with content and properties off their defaults, tracks with clips, texts with
// 8-bit characters, an odd signature and scale, and open windows of every kind.
std::unique_ptr<CProjectDoc> RichDoc()
{
    auto doc = std::make_unique<CProjectDoc>();
    doc->GetInfo() = CProjectInfo{"Title \xE9", "(C) me", "Author", std::string(300, 'c')};
    doc->GetEditDefaults().m_newPhraseBars = 2;
    doc->GetEditDefaults().m_pianoRollGrid = CNoteValue(12);
    int32_t id = 0;
    for (int b = 0; b < 2; ++b) {
        auto bank = std::make_unique<CPhraseBank>("Bank " + std::to_string(b));
        for (int k = 0; k < 3; ++k) {
            auto p = std::make_unique<CPhrase>("Phrase " + std::to_string(k), 0x102030u * k, 768);
            p->SetId(++id);
            for (int n = 0; n < 5 + k; ++n)
                p->GetNotes().Append(CNote(n * 48, n * 48 + 30, 40 + n, 90, 10 + k));
            p->GetEvents().Append(CMidiEvent(12, 0xE0, 1, 65));
            p->SetOutput(CNodeAddress(7, 2));
            p->SetTranspose(static_cast<int16_t>(-k));
            p->SetHold(k == 1);
            p->SetReserved3(k);
            bank->InsertAt(k, std::move(p));
        }
        doc->InsertBank(-1, std::move(bank));
    }
    for (int t = 0; t < 3; ++t) {
        auto track = std::make_unique<CTrack>();
        track->SetName("Track " + std::to_string(t));
        track->SetId(t + 1);
        track->SetVolume(static_cast<uint8_t>(90 + t));
        track->SetRecord(t == 2);
        for (int c = 0; c < 2; ++c) {
            auto clip = std::make_unique<CClip>(c * 1536, c * 1536 + 768, "Clip", 0xABCDEF);
            clip->SetId(++id);
            clip->GetNotes().Append(CNote(0, 96, 60 + c, 100, 0));
            clip->GetEvents().Append(CMidiEvent(5, 0xB0, 64, 127));
            track->AddClip(std::move(clip));
        }
        doc->GetTracks().InsertAt(-1, std::move(track));
    }
    doc->SetTimeSignature(CTimeSignature(7, 8));
    doc->SetScale(CHarmonicScale(5, 2));
    doc->SetTempo(14050);
    doc->SetSongPosition(777);
    doc->SetLoopOn(true);
    doc->SetLoopStart(384);
    doc->SetLoopEnd(3072);
    doc->SetMuteActive(true);
    CProjectWindows& windows = doc->GetWindows();
    windows.OpenSavedWindow({EWindowKind::Tracks, 0, {1, 3, 5, 6, 700, 800}, Bytes(30, 0x11)});
    windows.OpenSavedWindow({EWindowKind::PianoRoll, 8, {}, Bytes(54, 0x22)});
    windows.OpenSavedWindow({EWindowKind::PhraseBank, 1, {}, Bytes(12, 0x33)});
    windows.OpenSavedWindow({EWindowKind::Project, 0, {}, {}});
    windows.OpenSavedWindow({EWindowKind::Mixer, 0, {0, 2, -1, -2, 3, 4}, {}});
    return doc;
}

} // namespace

TEST(ProjectFileDisk, SavedProjectLoadsBackToTheSameBytes)
{
    CTempFolder folder;
    const auto doc = RichDoc();
    const Bytes original = ProjectFileBytes(*doc);
    const std::string path = folder / "Song.TNW";
    doc->Save(path);
    EXPECT_EQ(doc->GetPath(), path);
    EXPECT_EQ(ReadWholeFile(path), original);

    CProjectDoc loaded;
    ASSERT_TRUE(loaded.Load(path));
    EXPECT_EQ(ProjectFileBytes(loaded), original);
    EXPECT_EQ(loaded.GetPath(), path);
    EXPECT_FALSE(loaded.IsModified());
    EXPECT_EQ(fs::current_path(), fs::path(folder.Path()));
    EXPECT_EQ(loaded.GetWindows().SavedWindows(), doc->GetWindows().SavedWindows());
    EXPECT_EQ(loaded.GetHighestObjectId(), 12);
    EXPECT_EQ(loaded.GetHighestTrackId(), 3);
    // Saving again replaces the file and leaves nothing else behind.
    loaded.SetTempo(6000);
    loaded.Save(path);
    EXPECT_NE(ReadWholeFile(path), original);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"Song.TNW"});
}

TEST(ProjectFileDisk, TruncationAtEveryByteFailsPastTheEnd)
{
    const Bytes bytes = ProjectFileBytes(*RichDoc());
    ASSERT_GT(bytes.size(), 1000u);
    for (size_t n = 0; n < bytes.size(); ++n) {
        CProjectDoc doc;
        try {
            ReadProjectFileBytes(doc, bytes.data(), n, "cut.tnw");
            ADD_FAILURE() << "a file cut to " << n << " bytes loaded";
        } catch (const CFileError& e) {
            EXPECT_STREQ(e.what(), "An attempt was made to access cut.tnw past its end.") << n;
        }
    }
}

TEST(ProjectFileDisk, FailedLoadLeavesTheProjectAsItWas)
{
    CTempFolder folder;
    const auto doc = RichDoc();
    doc->SetPath("/somewhere/Before.tnw");
    const Bytes before = ProjectFileBytes(*doc);
    const auto windowsBefore = doc->GetWindows().SavedWindows();

    Bytes badVersion = ProjectFileBytes(CProjectDoc());
    badVersion[24] = 3;
    folder.Write("v3.tnw", badVersion);
    Bytes cut = before;
    cut.resize(cut.size() - 1);
    folder.Write("cut.tnw", cut);
    folder.Write("song.txt", before);

    const auto expectFailure = [&](const std::string& path, const std::string& message) {
        try {
            doc->Load(path);
            ADD_FAILURE() << path << " loaded";
        } catch (const CFileError& e) {
            EXPECT_EQ(e.what(), message);
        }
    };
    expectFailure(folder / "v3.tnw", folder / "v3.tnw contains an incorrect schema.");
    expectFailure(folder / "cut.tnw",
                  "An attempt was made to access " + (folder / "cut.tnw") + " past its end.");
    expectFailure(folder / "missing.tnw",
                  folder / "missing.tnw could not be opened: No such file or directory.");
    EXPECT_FALSE(doc->Load(folder / "song.txt"));
    EXPECT_FALSE(doc->Load(folder / "song.mid.bak"));

    EXPECT_EQ(ProjectFileBytes(*doc), before);
    EXPECT_EQ(doc->GetPath(), "/somewhere/Before.tnw");
    EXPECT_EQ(doc->GetWindows().SavedWindows(), windowsBefore);
    EXPECT_NE(fs::current_path(), fs::path(folder.Path()));
}

TEST(ProjectFileDisk, SaveReplacesTheFileOnlyWhenComplete)
{
    CTempFolder folder;
    const std::string path = folder / "keep.tnw";
    folder.Write("keep.tnw", {1, 2, 3});
    ::chmod(path.c_str(), 0640);
    {
        // Interrupted: written but never committed.
        CAtomicFileSink sink(path);
        const Bytes half(100000, 7);
        sink.Write(half.data(), half.size());
    }
    EXPECT_EQ(ReadWholeFile(path), (Bytes{1, 2, 3}));
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"keep.tnw"});

    CProjectDoc doc;
    doc.Save(path);
    EXPECT_EQ(ReadWholeFile(path), ProjectFileBytes(doc));
    struct stat info {};
    ::stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    // A name as long as the folder allows.
    const std::string longName = std::string(251, 'n') + ".tnw";
    doc.Save(folder / longName);
    EXPECT_EQ(ReadWholeFile(folder / longName), ProjectFileBytes(doc));
    fs::remove(folder / longName);
    doc.SetPath(path);

    EXPECT_THROW(doc.Save(folder / "no/such/folder.tnw"), CFileError);
    EXPECT_THROW(doc.Save(folder / "song.txt"), CFileError);
    EXPECT_EQ(doc.GetPath(), path);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"keep.tnw"});
}

TEST(ProjectFileDisk, SavingThroughALinkReplacesTheFileItPointsTo)
{
    CTempFolder folder;
    const std::string target = folder / "real.tnw";
    const std::string link = folder / "link.tnw";
    folder.Write("real.tnw", {1, 2, 3});
    fs::create_symlink(target, link);

    CProjectDoc doc;
    doc.Save(link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadWholeFile(target), ProjectFileBytes(doc));
}

TEST(ProjectFileDisk, SaveRemovesWhatKilledSavesLeftInTheFolder)
{
    CTempFolder folder;
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    ASSERT_GT(dead, 0);
    ::waitpid(dead, nullptr, 0);
    const std::string deadName = ".tw-save-" + std::to_string(dead) + "-12";
    const std::string mine = ".tw-save-" + std::to_string(::getpid()) + "-7";
    // Still running (init), not of this pattern, or not a plain file: all stay.
    const std::vector<std::string> kept = {".tw-save-1-3", ".tw-save-" + std::to_string(dead),
                                           ".tw-save-" + std::to_string(dead) + "-x", "song.tnw",
                                           mine};
    for (const std::string& name : kept)
        folder.Write(name, {1});
    folder.Write(deadName, Bytes(1000, 5));
    fs::create_directory(folder / (".tw-save-" + std::to_string(dead) + "-13"));

    CProjectDoc doc;
    doc.Save(folder / "other.tnw");
    std::vector<std::string> expected = kept;
    expected.push_back(".tw-save-" + std::to_string(dead) + "-13");
    expected.push_back("other.tnw");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Entries(), expected);
}
