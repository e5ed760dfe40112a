#include "files/SmfTestSupport.h"
#include "files/TempFolder.h"

#include "document/ProjectDoc.h"
#include "document/ProjectManager.h"
#include "fakes/ScriptedUserServices.h"
#include "files/SmfProject.h"
#include "files/SmfWriter.h"
#include "model/Errors.h"
#include "model/PhraseBank.h"
#include "model/Profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>

namespace {

// A track's notes and events at their song positions, in a canonical order.
struct CFlat {
    std::vector<std::tuple<tick, int, tick, int, int>> m_notes;
    std::vector<std::tuple<tick, int, int, int>> m_events;
    bool operator==(const CFlat&) const = default;
};

CFlat Flatten(const CTrack& track)
{
    CFlat flat;
    for (int32_t i = 0; i < track.GetClipCount(); ++i) {
        const CClip& clip = track.GetClipAt(i);
        for (const CNote& n : clip.GetNotes())
            flat.m_notes.emplace_back(clip.GetStart() + n.m_start, n.m_pitch,
                                      clip.GetStart() + n.m_end, n.m_velocity, n.m_offVelocity);
        for (const CMidiEvent& e : clip.GetEvents())
            flat.m_events.emplace_back(clip.GetStart() + e.m_time, e.m_kind, e.m_data1, e.m_data2);
    }
    std::sort(flat.m_notes.begin(), flat.m_notes.end());
    std::stable_sort(flat.m_events.begin(), flat.m_events.end(),
                     [](const auto& a, const auto& b) { return std::get<0>(a) < std::get<0>(b); });
    return flat;
}

std::unique_ptr<CTrack> TrackWithClips(const std::string& name, uint8_t channel)
{
    auto track = std::make_unique<CTrack>();
    track->SetName(name);
    track->SetOutputChannel(channel);
    auto first = std::make_unique<CClip>(0, 768, "a", 0);
    first->GetNotes().Insert(CNote(0, 96, 60, 100, 64));
    first->GetNotes().Insert(CNote(96, 96, 61, 50, 0));
    first->GetEvents().Insert(CMidiEvent(0, 0xC0, 12, 0));
    // Overlaps the first clip; its content interleaves with it on the song timeline.
    auto second = std::make_unique<CClip>(384, 2000, "b", 0);
    second->GetNotes().Insert(CNote(0, 500, 64, 90, 1));
    second->GetNotes().Insert(CNote(1200, 1300, 60, 91, 2));
    second->GetEvents().Insert(CMidiEvent(0, 0xB0, 7, 99));
    second->GetEvents().Insert(CMidiEvent(1500, 0xE0, 0, 80));
    track->AddClip(std::move(first));
    track->AddClip(std::move(second));
    return track;
}

} // namespace

TEST(SmfProject, OpeningAMidiFileReplacesTheProject)
{
    CTempFolder folder;
    const std::string path = folder / "Tune.mid";
    folder.Write("Tune.mid",
                 CFileBytes()
                     .Header(1, 2, 96)
                     .Track(CTrackBytes().Meta(0, 0x02, "(c) 1999").Tempo(0, 600000).End())
                     .Track(CTrackBytes()
                                .Name("Pad")
                                .On(0, 0, 60, 90)
                                .On(0, 1, 64, 90)
                                .Off(1600, 0, 60, 0)
                                .Off(0, 1, 64, 0)
                                .End())
                     .Bytes());
    CProjectDoc doc;
    doc.GetTracks().InsertAt(-1, std::make_unique<CTrack>());
    doc.SetHighestTrackId(7);
    doc.SetLoopOn(true);
    doc.SetPath("/old/project.tnw");
    CScriptedUser user;
    user.m_answer = true;
    ASSERT_TRUE(ImportSmfAsProject(doc, path, user));

    EXPECT_EQ(doc.GetTempo(), 10000);
    EXPECT_EQ(doc.GetInfo().m_copyright, "(c) 1999");
    EXPECT_EQ(doc.GetInfo().m_title, "Tune [MidiFile]");
    EXPECT_FALSE(doc.IsLoopOn());
    EXPECT_TRUE(doc.GetPath().empty());
    ASSERT_EQ(doc.GetTracks().GetCount(), 2);
    EXPECT_EQ(doc.GetTracks().GetAt(0)->GetName(), "Pad (Ch 1)");
    EXPECT_EQ(doc.GetTracks().GetAt(0)->GetId(), 1);
    EXPECT_EQ(doc.GetTracks().GetAt(1)->GetId(), 2);
    EXPECT_EQ(doc.GetHighestTrackId(), 2);
    // Clips on the default 4-bar grid, each with an id of its own.
    const CTrack& pad = *doc.GetTracks().GetAt(1);
    ASSERT_EQ(pad.GetClipCount(), 1);
    EXPECT_EQ(pad.GetClipAt(0).GetLength(), 3072);
    std::set<int32_t> ids{doc.GetTracks().GetAt(0)->GetClipAt(0).GetId(), pad.GetClipAt(0).GetId()};
    EXPECT_EQ(ids, (std::set<int32_t>{1, 2}));
    EXPECT_EQ(doc.GetHighestObjectId(), 2);
    EXPECT_EQ(user.m_questions.size(), 1u);
}

TEST(SmfProject, AFailedOpenLeavesTheProjectUntouched)
{
    CProjectDoc doc;
    doc.GetTracks().InsertAt(-1, std::make_unique<CTrack>());
    doc.GetInfo().m_title = "Mine";
    doc.SetPath("/old/project.tnw");
    doc.SetLoopOn(true);
    CScriptedUser user;
    CTempFolder folder;
    folder.Write("smpte.mid", CFileBytes().Header(1, 1, 0xE728).Track(CTrackBytes().End()).Bytes());
    EXPECT_FALSE(ImportSmfAsProject(doc, folder / "smpte.mid", user));
    EXPECT_FALSE(ImportSmfAsProject(doc, folder / "missing.mid", user));
    EXPECT_FALSE(ImportSmfAsProject(doc, "", user)); // the dialog was cancelled
    EXPECT_EQ(user.GetMessages().size(), 2u);
    EXPECT_EQ(doc.GetTracks().GetCount(), 1);
    EXPECT_EQ(doc.GetInfo().m_title, "Mine");
    EXPECT_EQ(doc.GetPath(), "/old/project.tnw");
    EXPECT_TRUE(doc.IsLoopOn());
}

TEST(SmfProject, ExportedProjectOpensWithTheSameTracksNotesAndEvents)
{
    CProjectDoc doc;
    doc.SetTempo(14050);
    doc.GetInfo().m_copyright = "(c) Ours";
    doc.GetInfo().m_title = "Demo";
    doc.GetTracks().InsertAt(-1, TrackWithClips("Piano", 0));
    doc.GetTracks().InsertAt(-1, TrackWithClips("Strings", 5));
    doc.GetTracks().InsertAt(-1, std::make_unique<CTrack>()); // empty: nothing to open
    CTempFolder folder;
    const std::string path = folder / "export.mid";
    ExportProjectAsSmf(doc, path);

    CProjectDoc opened;
    CScriptedUser user;
    ASSERT_TRUE(ImportSmfAsProject(opened, path, user));
    EXPECT_EQ(opened.GetTempo(), 14050);
    EXPECT_EQ(opened.GetInfo().m_copyright, "(c) Ours");
    EXPECT_EQ(opened.GetInfo().m_title, "export [MidiFile]");
    ASSERT_EQ(opened.GetTracks().GetCount(), 2);
    for (int32_t i = 0; i < 2; ++i) {
        const CTrack& original = *doc.GetTracks().GetAt(i);
        const CTrack& back = *opened.GetTracks().GetAt(i);
        SCOPED_TRACE(original.GetName());
        EXPECT_EQ(back.GetName(), original.GetName());
        EXPECT_EQ(back.GetOutputChannel(), original.GetOutputChannel());
        EXPECT_EQ(Flatten(back), Flatten(original));
    }
    EXPECT_TRUE(user.m_questions.empty());
}

TEST(SmfProject, LoadOpensMidiFilesAndThrowsTheirErrors)
{
    CTempFolder folder;
    folder.Write("Two.MID", CFileBytes()
                                .Header(0, 1, 96)
                                .Track(CTrackBytes()
                                           .On(0, 0, 60, 90)
                                           .On(0, 1, 62, 90)
                                           .Off(10, 0, 60, 0)
                                           .Off(0, 1, 62, 0)
                                           .End())
                                .Bytes());
    folder.Write("bad.mid", CFileBytes().Header(0, 1, 0).Bytes());
    CScriptedUser user;
    user.m_answer = false;
    CProjectDoc doc;
    EXPECT_TRUE(doc.Load(folder / "Two.MID", &user));
    EXPECT_EQ(user.m_questions.size(), 1u);
    ASSERT_EQ(doc.GetTracks().GetCount(), 1);
    EXPECT_EQ(doc.GetTracks().GetAt(0)->GetName(), "Imported Track (Merged Channels)");
    EXPECT_TRUE(doc.GetPath().empty());

    try {
        doc.Load(folder / "bad.mid");
        ADD_FAILURE() << "a bad file loaded";
    } catch (const CFileError& e) {
        EXPECT_STREQ(e.what(), "Bad MIDI-file! (time division value = 0)!");
    }
    EXPECT_EQ(doc.GetTracks().GetCount(), 1);
    EXPECT_TRUE(user.GetMessages().empty()); // the caller reports the error
}

TEST(SmfProject, ProjectManagerOpensAMidiFileAskingItsOwnUser)
{
    CTempFolder folder;
    folder.Write("Duo.mid", CFileBytes()
                                .Header(0, 1, 96)
                                .Track(CTrackBytes()
                                           .On(0, 0, 60, 90)
                                           .On(0, 3, 62, 90)
                                           .Off(10, 0, 60, 0)
                                           .Off(0, 3, 62, 0)
                                           .End())
                                .Bytes());
    CScriptedUserServices user;
    user.m_answers = {false};
    CMemoryProfile profile;
    CProjectManager manager(user, profile, nullptr);

    const CProjectDoc* doc = manager.OpenProject(folder / "Duo.mid");
    ASSERT_NE(doc, nullptr);
    ASSERT_EQ(user.m_questions.size(), 1u);
    EXPECT_EQ(user.m_questions[0], "Imported MIDI track(s) has multiple channels! Do you want to "
                                   "leave channels in separate tracks?");
    ASSERT_EQ(doc->GetTracks().GetCount(), 1);
    EXPECT_EQ(doc->GetTracks().GetAt(0)->GetName(), "Imported Track (Merged Channels)");
}

TEST(SmfProject, BankImportNamesTheBankAfterTheFileAndMakesNothingFromAnEmptyFile)
{
    CTempFolder folder;
    folder.Write("Riffs.mid",
                 CFileBytes()
                     .Header(1, 2, 96)
                     .Track(CTrackBytes().Tempo(0, 500000).End())
                     .Track(CTrackBytes().Name("Lead").On(0, 2, 60, 90).Off(48, 2, 60, 10).End())
                     .Bytes());
    folder.Write("Empty.mid", CFileBytes().Header(1, 1, 96).Track(CTrackBytes().End()).Bytes());
    CScriptedUserServices user;

    const std::unique_ptr<CPhraseBank> bank = ImportSmfAsBank(folder / "Riffs.mid", user);
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank->GetName(), "Imported [Riffs]");
    ASSERT_EQ(bank->GetCount(), 1); // the tempo track makes no phrase
    const CPhrase& phrase = bank->GetPhraseAt(0);
    EXPECT_EQ(phrase.GetName(), "Lead");
    EXPECT_EQ(phrase.GetOutputChannel(), 2);
    EXPECT_EQ(phrase.GetLength(), 48);
    EXPECT_EQ(phrase.GetId(), 0);

    EXPECT_EQ(ImportSmfAsBank(folder / "Empty.mid", user), nullptr);
    EXPECT_EQ(ImportSmfAsBank(folder / "absent.mid", user), nullptr);
    EXPECT_EQ(user.m_messages.size(), 1u); // the missing file was reported
}

TEST(SmfProject, ExportLeavesOutWhatStartsPastTheEndOfItsClip)
{
    // A clip whose stored content reaches past its length (as a file may hold it): only what
    // starts inside the clip sounds, so only that is exported; a note may still end after it.
    auto track = std::make_unique<CTrack>();
    track->SetName("Cut");
    auto clip = std::make_unique<CClip>(384, 384 + 96, "Cut", 0);
    clip->GetNotes().Insert(CNote(0, 200, 60, 100, 0));
    clip->GetNotes().Insert(CNote(96, 120, 62, 100, 0));
    clip->GetEvents().Insert(CMidiEvent(95, 0xB0, 7, 90));
    clip->GetEvents().Insert(CMidiEvent(96, 0xB0, 7, 10));
    track->AddClip(std::move(clip));
    CProjectDoc doc;
    doc.GetTracks().InsertAt(-1, std::move(track));
    CTempFolder folder;
    ExportProjectAsSmf(doc, folder / "cut.mid");

    CProjectDoc opened;
    CScriptedUser user;
    ASSERT_TRUE(ImportSmfAsProject(opened, folder / "cut.mid", user));
    ASSERT_EQ(opened.GetTracks().GetCount(), 1);
    const CFlat flat = Flatten(*opened.GetTracks().GetAt(0));
    ASSERT_EQ(flat.m_notes.size(), 1u);
    EXPECT_EQ(std::get<0>(flat.m_notes[0]), 384);
    EXPECT_EQ(std::get<2>(flat.m_notes[0]), 584);
    ASSERT_EQ(flat.m_events.size(), 1u);
    EXPECT_EQ(std::get<0>(flat.m_events[0]), 479);
}
