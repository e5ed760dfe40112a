#include "EngineFixture.h"

#include "model/Clip.h"
#include "model/MidiEvent.h"
#include "model/Note.h"
#include "model/Phrase.h"
#include "model/Properties.h"
#include "model/Track.h"

#include <vector>

namespace {

std::vector<CNote> Notes(const CMidiData& data)
{
    return {data.GetNotes().begin(), data.GetNotes().end()};
}

// The same edits, through a proxy with an engine (inline) and through one without.
void RunListEdits(CMidiEngineProxy& proxy)
{
    CPhrase phrase("P", 0, 384);
    const CNote a(0, 48, 60, 100, 64);
    const CNote b(0, 24, 62, 100, 64);
    const CNote c(96, 120, 64, 90, 64);
    EXPECT_EQ(proxy.InsertNote(phrase, c), 1);
    EXPECT_EQ(proxy.InsertNote(phrase, a), 1);
    EXPECT_EQ(proxy.InsertNote(phrase, b), 1); // after the note with the same start
    EXPECT_EQ(Notes(phrase), (std::vector<CNote>{a, b, c}));

    const CNote moved(200, 210, 62, 100, 64);
    EXPECT_EQ(proxy.ChangeNote(phrase, b, moved), 1);
    EXPECT_EQ(Notes(phrase), (std::vector<CNote>{a, c, moved}));
    EXPECT_EQ(proxy.RemoveNote(phrase, a), 1);
    EXPECT_EQ(proxy.RemoveNote(phrase, a), 0); // no longer there
    EXPECT_EQ(proxy.GetLastError(), "The element to remove was not found.");
    EXPECT_EQ(proxy.ChangeNote(phrase, a, b), 0);
    EXPECT_EQ(Notes(phrase), (std::vector<CNote>{c, moved}));

    CNoteList replacement;
    replacement.Insert(a);
    EXPECT_EQ(proxy.ReplaceNotes(phrase, replacement), 1);
    EXPECT_EQ(Notes(phrase), (std::vector<CNote>{a}));

    CClip clip(384, 768, "C", 0);
    const CMidiEvent cc(10, 0xB0, 7, 100);
    const CMidiEvent bend(5, 0xE0, 0, 64);
    EXPECT_EQ(proxy.InsertEvent(clip, cc), 1);
    EXPECT_EQ(proxy.InsertEvent(clip, bend), 1);
    EXPECT_EQ(clip.GetEvents().GetCount(), 2);
    EXPECT_EQ(clip.GetEvents()[0], bend);
    EXPECT_EQ(proxy.ChangeEvent(clip, bend, CMidiEvent(20, 0xE0, 0, 64)), 1);
    EXPECT_EQ(clip.GetEvents()[1].m_time, 20);
    EXPECT_EQ(proxy.RemoveEvent(clip, cc), 1);
    EXPECT_EQ(clip.GetEvents().GetCount(), 1);
    CEventList noEvents;
    EXPECT_EQ(proxy.ReplaceEvents(clip, noEvents), 1);
    EXPECT_EQ(clip.GetEvents().GetCount(), 0);

    // Extents.
    EXPECT_EQ(proxy.InsertNote(clip, CNote(300, 380, 60, 100, 64)), 1);
    EXPECT_EQ(proxy.SetClipLength(clip, 320), 1); // cuts the note at the new end
    EXPECT_EQ(clip.GetLength(), 320);
    EXPECT_EQ(clip.GetNotes()[0].m_end, 320);
    EXPECT_EQ(proxy.MoveClipStart(clip, 384 + 96), 1); // trims the beginning
    EXPECT_EQ(clip.GetStart(), 480);
    EXPECT_EQ(clip.GetLength(), 224);
    EXPECT_EQ(proxy.SetClipLength(clip, -1), 0);
    EXPECT_EQ(proxy.SetPhraseLength(phrase, 24), 1);
    EXPECT_EQ(phrase.GetLength(), 24);
    EXPECT_EQ(Notes(phrase)[0].m_end, 24);

    // Numbered properties go through the model's apply functions.
    CTrack track;
    EXPECT_EQ(proxy.SetPhraseProperty(phrase, 113, -12), 1);
    EXPECT_EQ(phrase.GetTranspose(), -12);
    EXPECT_EQ(proxy.SetPhraseProperty(phrase, 102, PackBytePair({36, 48})), 1);
    EXPECT_EQ(phrase.GetTriggerFrom(), 36);
    EXPECT_EQ(phrase.GetTriggerTo(), 48);
    EXPECT_EQ(proxy.SetPhraseProperty(phrase, 102, 1 << 20), 0); // not a byte pair
    EXPECT_EQ(phrase.GetTriggerTo(), 48);
    EXPECT_EQ(proxy.SetTrackProperty(track, 102, 9), 1);
    EXPECT_EQ(track.GetOutputChannel(), 9);
    EXPECT_EQ(proxy.SetTrackProperty(track, 112, 90), 1);
    EXPECT_EQ(track.GetVolume(), 90);
    EXPECT_EQ(proxy.SetTrackProperty(track, 120, 0), 0);
}

TEST(ModelEditTest, EditsThroughTheProxyChangeTheListsWithoutAnEngine)
{
    CMidiEngineProxy proxy;
    RunListEdits(proxy);
    EXPECT_EQ(proxy.Initialise(), 0);
    EXPECT_EQ(proxy.GetLastError(), "No MIDI engine is available.");
    EXPECT_EQ(proxy.Play(), 1); // nothing to mirror
}

class ModelEditEngineTest : public EngineFixture {};

TEST_F(ModelEditEngineTest, EditsThroughTheProxyChangeTheListsWithAnEngine)
{
    ASSERT_EQ(proxy.Initialise(false), 1);
    RunListEdits(proxy);
}

TEST_F(ModelEditEngineTest, EditsReachObjectsThatHavePlayers)
{
    ASSERT_EQ(proxy.Initialise(false), 1);
    CTrack& track = Keep(std::make_unique<CTrack>());
    track.SetId(3);
    CClip& clip = track.GetClipAt(track.AddClip(std::make_unique<CClip>(0, 384, "C", 0)));
    CPhrase& phrase = Keep(std::make_unique<CPhrase>("P", 0, 384));
    phrase.SetId(8);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
    ASSERT_EQ(proxy.Play(), 1);
    RunTicks(10);
    EXPECT_EQ(proxy.InsertNote(clip, CNote(20, 40, 60, 100, 0)), 1);
    EXPECT_EQ(proxy.InsertNote(phrase, CNote(0, 40, 60, 100, 0)), 1);
    EXPECT_EQ(proxy.SetPhraseProperty(phrase, 115, 12), 1);
    EXPECT_EQ(phrase.GetDelay(), 12);
    EXPECT_EQ(proxy.SetTrackProperty(track, 106, -5), 1);
    EXPECT_EQ(track.GetDelay(), -5);
    EXPECT_EQ(proxy.SetClipLength(clip, 200), 1);
    EXPECT_EQ(clip.GetNotes().GetCount(), 1);
    EXPECT_EQ(clip.GetLength(), 200);
}

} // namespace
