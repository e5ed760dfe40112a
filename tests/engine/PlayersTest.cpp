#include "PlayerFixture.h"

#include "engine/ClipPlayer.h"
#include "engine/PhrasePlayer.h"
#include "engine/TrackPlayer.h"
#include "model/Properties.h"

#include <functional>
#include <set>

namespace {

using H = SHeard;

class PlayersTest : public PlayerFixture {};

// Ticks of the note-ons (velocity above 0) of one key.
std::vector<tick> OnsOf(const std::vector<SHeard>& heard, uint8_t key)
{
    std::vector<tick> ticks;
    for (const SHeard& h : heard)
        if ((h.status & 0xF0) == 0x90 && h.data1 == key && h.data2 > 0) ticks.push_back(h.at);
    return ticks;
}

TEST_F(PlayersTest, ClipPlayerShapesEveryNoteByItsTrack)
{
    struct Case {
        const char* name;
        std::function<void(CTrack&)> setUp;
        CNote note;
        std::vector<SHeard> expected; // clip at song tick 96
    };
    const std::vector<Case> cases = {
        {"plain",
         [](CTrack&) {},
         CNote(10, 40, 60, 100, 64),
         {{106, 0x90, 60, 100}, {136, 0x80, 60, 64}}},
        {"play quantize 24 floors the start and rounds the length up",
         [](CTrack& t) { t.SetPlayQuantize(CNoteValue(24)); },
         CNote(10, 40, 60, 100, 64),
         {{96, 0x90, 60, 100}, {144, 0x80, 60, 64}}},
        {"velocity +100 clamps at 127",
         [](CTrack& t) { t.SetVelocityOffset(100); },
         CNote(0, 5, 60, 60, 0),
         {{96, 0x90, 60, 127}, {101, 0x80, 60, 0}}},
        {"velocity -100 gives 0",
         [](CTrack& t) { t.SetVelocityOffset(-100); },
         CNote(0, 5, 60, 60, 0),
         {{96, 0x90, 60, 0}, {101, 0x80, 60, 0}}},
        {"transpose past the pitch limit is silent",
         [](CTrack& t) {
             t.SetTranspose(12);
             t.SetPitchLimitTo(70);
         },
         CNote(0, 5, 60, 100, 0),
         {}},
        {"transpose below key 0 is silent",
         [](CTrack& t) { t.SetTranspose(-70); },
         CNote(0, 5, 60, 100, 0),
         {}},
        {"velocity outside the limit is silent",
         [](CTrack& t) {
             t.SetVelocityLimitFrom(50);
             t.SetVelocityLimitTo(90);
         },
         CNote(0, 5, 60, 100, 0),
         {}},
        {"channel and delay",
         [](CTrack& t) {
             t.SetOutputChannel(5);
             t.SetDelay(10);
             t.SetTranspose(-12);
         },
         CNote(0, 30, 60, 100, 7),
         {{106, 0x95, 48, 100}, {136, 0x85, 48, 7}}},
        {"zero length ends on the next tick",
         [](CTrack&) {},
         CNote(3, 3, 60, 100, 0),
         {{99, 0x90, 60, 100}, {100, 0x80, 60, 0}}},
        {"a note at the clip end does not sound", [](CTrack&) {}, CNote(384, 390, 60, 100, 0), {}},
    };
    int32_t id = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTrack& track = AddTrack(id++);
        c.setUp(track);
        AddClip(track, 96, 384, {c.note});
        ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
        ASSERT_EQ(proxy.Locate(0), 1);
        ASSERT_EQ(proxy.Play(), 1);
        EXPECT_EQ(Play(600), c.expected);
        ASSERT_EQ(proxy.Stop(), 1);
        ASSERT_EQ(proxy.RemoveTrackPlayer(track), 1);
        Play(1);
    }
}

TEST_F(PlayersTest, LocateWithPlayQuantizeSkipsNotesWhoseGridLiesBehindAndNeverStalls)
{
    CTrack& track = AddTrack(1);
    track.SetPlayQuantize(CNoteValue(24));
    // Floored starts: 0, 24, 24, 48.
    AddClip(track, 0, 384,
            {CNote(10, 20, 60, 100, 0), CNote(30, 40, 62, 100, 0), CNote(47, 50, 64, 100, 0),
             CNote(50, 60, 65, 100, 0)});
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    ASSERT_EQ(proxy.Locate(5), 1);
    ASSERT_EQ(proxy.Play(), 1);
    std::vector<SHeard> heard = Play(100);
    EXPECT_TRUE(OnsOf(heard, 60).empty()); // its grid point 0 lies before 5
    EXPECT_EQ(OnsOf(heard, 62), std::vector<tick>{24});
    EXPECT_EQ(OnsOf(heard, 64), std::vector<tick>{24});
    EXPECT_EQ(OnsOf(heard, 65), std::vector<tick>{48});
    ASSERT_EQ(proxy.Locate(25), 1); // between the grid points: only the note at 48 is ahead
    heard = Play(100);
    EXPECT_TRUE(OnsOf(heard, 62).empty());
    EXPECT_EQ(OnsOf(heard, 65), std::vector<tick>{48});
    EXPECT_TRUE(Hanging(heard).empty());
}

// The iterator rules at an insertion or removal, for a clip player and for a phrase voice: an
// element that has had its turn never sounds again, one still ahead sounds once, and removing the
// element under the iterator does not disturb its follower.
TEST_F(PlayersTest, EditsDuringPlaybackNeitherSkipNorDoubleNotes)
{
    // Notes (key: start) 60: 0, 61: 20, 62: 40, 63: 60; the edit comes at local tick 30.
    const std::vector<CNote> base = {CNote(0, 5, 60, 100, 0), CNote(20, 25, 61, 100, 0),
                                     CNote(40, 45, 62, 100, 0), CNote(60, 65, 63, 100, 0)};
    struct Case {
        const char* name;
        std::function<void(CMidiData&)> edit;
        std::map<uint8_t, std::vector<tick>> ons; // key: local ticks of its note-ons
    };
    const auto note = [&](int i) { return base[static_cast<size_t>(i)]; };
    const std::vector<Case> cases = {
        {"insert ahead at the iterator",
         [&](CMidiData& d) { proxy.InsertNote(d, CNote(35, 38, 70, 100, 0)); },
         {{70, {35}}, {62, {40}}}},
        {"insert at the position itself",
         [&](CMidiData& d) { proxy.InsertNote(d, CNote(30, 38, 70, 100, 0)); },
         {{70, {30}}, {62, {40}}}},
        {"insert behind at the iterator",
         [&](CMidiData& d) { proxy.InsertNote(d, CNote(25, 28, 70, 100, 0)); },
         {{70, {}}, {62, {40}}}},
        {"insert behind before the iterator",
         [&](CMidiData& d) { proxy.InsertNote(d, CNote(5, 8, 70, 100, 0)); },
         {{70, {}}, {61, {20}}, {62, {40}}, {63, {60}}}},
        {"insert with the iterator's own start",
         [&](CMidiData& d) { proxy.InsertNote(d, CNote(40, 48, 70, 100, 0)); },
         {{70, {40}}, {62, {40}}}},
        {"remove at the iterator",
         [&](CMidiData& d) { proxy.RemoveNote(d, note(2)); },
         {{62, {}}, {63, {60}}}},
        {"remove behind",
         [&](CMidiData& d) { proxy.RemoveNote(d, note(0)); },
         {{60, {0}}, {61, {20}}, {62, {40}}, {63, {60}}}},
        {"change moves a played note ahead",
         [&](CMidiData& d) { proxy.ChangeNote(d, note(0), CNote(50, 55, 60, 100, 0)); },
         {{60, {0, 50}}, {62, {40}}}},
        {"change moves an unplayed note behind",
         [&](CMidiData& d) { proxy.ChangeNote(d, note(2), CNote(10, 15, 62, 100, 0)); },
         {{62, {}}, {63, {60}}}},
        {"replace the whole list",
         [&](CMidiData& d) {
             CNoteList list;
             for (const CNote& n : base)
                 list.Insert(CNote(n.m_start + 1, n.m_end + 1, n.m_pitch, 100, 0));
             proxy.ReplaceNotes(d, list);
         },
         {{61, {20}}, {62, {41}}, {63, {61}}}},
    };
    int32_t id = 1;
    for (const Case& c : cases) {
        for (const bool voice : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (voice ? " (voice)" : " (clip)"));
            std::vector<SHeard> heard;
            if (voice) {
                CPhrase& phrase = AddPhrase(id++, 384, base);
                phrase.SetKeyFollow(false);
                ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
                ASSERT_EQ(proxy.SetPhraseProperty(phrase, 118, 0), 1);
                // The voice starts on the first tick after the trigger, at local tick 0.
                const tick origin = NextStoppedTick();
                heard = Play(30);
                c.edit(phrase);
                std::vector<SHeard> rest = Play(100);
                heard.insert(heard.end(), rest.begin(), rest.end());
                for (SHeard& h : heard)
                    h.at -= origin;
                ASSERT_EQ(proxy.RemovePhrasePlayer(phrase), 1);
            } else {
                CTrack& track = AddTrack(id++);
                CClip& clip = AddClip(track, 0, 384, base);
                ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
                ASSERT_EQ(proxy.Locate(0), 1);
                ASSERT_EQ(proxy.Play(), 1);
                heard = Play(30);
                c.edit(clip);
                std::vector<SHeard> rest = Play(100);
                heard.insert(heard.end(), rest.begin(), rest.end());
                ASSERT_EQ(proxy.Stop(), 1);
                ASSERT_EQ(proxy.RemoveTrackPlayer(track), 1);
            }
            for (const auto& [key, ticks] : c.ons)
                EXPECT_EQ(OnsOf(heard, key), ticks) << "key " << int(key);
            EXPECT_TRUE(Hanging(heard).empty());
        }
    }
}

TEST_F(PlayersTest, PlayModesDecideWhatAFurtherTriggerDoes)
{
    struct Case {
        EPlayMode mode;
        std::vector<tick> onsOf60;
        std::vector<tick> onsOf64;
        int32_t voices;
    };
    // Key follow: the phrase's key-0 note sounds at the trigger key. Triggers at 0 and 10.
    const std::vector<Case> cases = {
        {EPlayMode::Poly, {1}, {11}, 2},
        {EPlayMode::Mono, {1}, {}, 1},
        {EPlayMode::MonoLastKey, {1}, {11}, 1},
    };
    int32_t id = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        CPhrase& phrase = AddPhrase(id++, 384, {CNote(0, 200, 0, 100, 0)});
        phrase.SetPlayMode(c.mode);
        ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
        Keys({0x90, 60, 100});
        std::vector<SHeard> heard = Play(10);
        Keys({0x90, 64, 100});
        std::vector<SHeard> more = Play(20);
        heard.insert(heard.end(), more.begin(), more.end());
        const tick base = heard.empty() ? 0 : heard.front().at - 1;
        for (SHeard& h : heard)
            h.at -= base;
        EXPECT_EQ(OnsOf(heard, 60), c.onsOf60);
        EXPECT_EQ(OnsOf(heard, 64), c.onsOf64);
        EXPECT_EQ(engine.FindPhrasePlayer(phrase.GetId())->GetVoiceCount(), c.voices);
        ASSERT_EQ(proxy.RemovePhrasePlayer(phrase), 1);
        more = Play(1);
        heard.insert(heard.end(), more.begin(), more.end());
        EXPECT_TRUE(Hanging(heard).empty());
        Keys({0x80, 60, 0, 0x80, 64, 0});
    }
}

TEST_F(PlayersTest, KeyFollowTransposeAndReleaseShapeAVoice)
{
    CPhrase& phrase = AddPhrase(1, 384, {CNote(0, 200, 0, 100, 9)});
    phrase.SetTranspose(2);
    phrase.SetOutputChannel(3);
    phrase.SetTriggerFrom(48);
    phrase.SetTriggerTo(72);
    ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
    Keys({0x90, 40, 100}); // outside the trigger range
    Keys({0x90, 60, 100});
    std::vector<SHeard> heard = Play(5);
    ASSERT_EQ(heard, (std::vector<SHeard>{{0, 0x93, 62, 100}}));
    Keys({0x80, 60, 0}); // hold off: the release stops the voice and ends its note
    heard = Play(2);
    EXPECT_EQ(heard, (std::vector<SHeard>{{5, 0x83, 62, 9}}));
    EXPECT_EQ(engine.FindPhrasePlayer(1)->GetVoiceCount(), 0);

    ASSERT_EQ(proxy.SetPhraseProperty(phrase, 103, 0), 1); // key follow off
    Keys({0x90, 60, 100});
    heard = Play(2);
    EXPECT_EQ(OnsOf(heard, 2), std::vector<tick>{7});
}

TEST_F(PlayersTest, QuantizedStartAndStopWaitForTheGrid)
{
    CTrack& track = AddTrack(1); // keeps the transport busy
    AddClip(track, 0, 3840, {});
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    CPhrase& phrase = AddPhrase(2, 384, {CNote(0, 300, 0, 100, 0)});
    phrase.SetStartQuantize(CNoteValue(24));
    phrase.SetStopQuantize(CNoteValue(48));
    ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
    ASSERT_EQ(proxy.Play(), 1);
    Play(10);
    Keys({0x90, 60, 100}); // position 10: starts at 24
    std::vector<SHeard> heard = Play(30);
    EXPECT_EQ(OnsOf(heard, 60), std::vector<tick>{24});
    Keys({0x80, 60, 0}); // position 40: stops at 48
    heard = Play(20);
    EXPECT_EQ(heard, (std::vector<SHeard>{{48, 0x80, 60, 0}}));

    // Released before its start: it starts on the grid and stops on the next stop grid point.
    Keys({0x90, 62, 100}); // position 60: starts at 72
    Play(2);
    Keys({0x80, 62, 0});
    heard = Play(60);
    EXPECT_EQ(OnsOf(heard, 62), std::vector<tick>{72});
    EXPECT_TRUE(Hanging(heard).empty());
    EXPECT_EQ(engine.FindPhrasePlayer(2)->GetVoiceCount(), 0);
}

TEST_F(PlayersTest, VoicesLoopAndContinue)
{
    CPhrase& phrase = AddPhrase(1, 96, {CNote(0, 10, 0, 100, 0), CNote(60, 70, 1, 100, 0)});
    phrase.SetLoop(true);
    phrase.SetHold(true);
    ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
    Keys({0x90, 60, 100});
    Keys({0x80, 60, 0}); // hold: the release changes nothing
    std::vector<SHeard> heard = Play(200);
    EXPECT_EQ(OnsOf(heard, 60), (std::vector<tick>{0, 96, 192}));
    Keys({0x90, 60, 100}); // hold: pressing again stops it
    std::vector<SHeard> end = Play(2);
    heard.insert(heard.end(), end.begin(), end.end());
    EXPECT_TRUE(Hanging(heard).empty());
    EXPECT_EQ(engine.FindPhrasePlayer(1)->GetVoiceCount(), 0);

    // Continue: a stopped voice stays and resumes where it stopped.
    ASSERT_EQ(proxy.SetPhraseProperty(phrase, 111, 1), 1);
    Keys({0x90, 60, 100});
    heard = Play(30); // local 0..29
    Keys({0x90, 60, 100});
    heard = Play(10);
    ASSERT_EQ(engine.FindPhrasePlayer(1)->GetVoiceCount(), 1);
    EXPECT_FALSE(engine.FindPhrasePlayer(1)->GetVoice(0).IsPlaying());
    Keys({0x90, 60, 100});
    heard = Play(40); // resumes at local 30: key 61's note at 60 comes 30 ticks later
    const tick resumed = 202 + 30 + 10;
    EXPECT_EQ(OnsOf(heard, 61), std::vector<tick>{resumed + 30});
    EXPECT_TRUE(OnsOf(heard, 60).empty());
}

TEST_F(PlayersTest, SoloOverridesMuteAndSilencingEndsSoundingNotes)
{
    CTrack& a = AddTrack(1, 0);
    CTrack& b = AddTrack(2, 1);
    AddClip(a, 0, 768, {CNote(0, 700, 60, 100, 0), CNote(200, 300, 61, 100, 0)});
    AddClip(b, 0, 768, {CNote(0, 700, 70, 100, 0), CNote(200, 300, 71, 100, 0)});
    ASSERT_EQ(proxy.AddTrackPlayer(a), 1);
    ASSERT_EQ(proxy.AddTrackPlayer(b), 1);
    ASSERT_EQ(proxy.Play(), 1);
    std::vector<SHeard> heard = Play(50);
    ASSERT_EQ(heard.size(), 2u);
    const CNodeAddress control{11, 0};
    ASSERT_EQ(proxy.SetNodeParameter(control, 8, 1), 1); // mute a: mute mode on
    heard = Play(1);
    EXPECT_EQ(heard, (std::vector<SHeard>{{50, 0x80, 60, 0}}));
    ASSERT_EQ(proxy.SetNodeParameter(control, 5, 1), 1); // solo a: b falls silent, a plays
    heard = Play(1);
    EXPECT_EQ(heard, (std::vector<SHeard>{{51, 0x81, 70, 0}}));
    heard = Play(200);
    EXPECT_EQ(OnsOf(heard, 61), std::vector<tick>{200});
    EXPECT_TRUE(OnsOf(heard, 71).empty());
    EXPECT_TRUE(engine.FindTrackPlayer(2)->IsSilenced());
    EXPECT_FALSE(engine.FindTrackPlayer(1)->IsSilenced());
}

TEST_F(PlayersTest, AuditionUsesTheOwnersTransformsAndKeepsVelocityAudible)
{
    CTrack& track = AddTrack(1, 4);
    track.SetVelocityOffset(-100);
    track.SetTranspose(5);
    CClip& clip = AddClip(track, 0, 384, {});
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    CPhrase& phrase = AddPhrase(2, 384, {});
    phrase.SetVelocityOffset(100);
    phrase.SetTranspose(-10);
    phrase.SetOutputChannel(9);
    ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
    CNoteList notes;
    notes.Insert(CNote(0, 96, 60, 60, 0));
    notes.Insert(CNote(0, 96, 5, 60, 0)); // below key 0 for the phrase
    ASSERT_EQ(proxy.AuditionNotes(clip, notes), 1);
    EXPECT_EQ(TakeSent(), (std::vector<SHeard>{{-1, 0x94, 65, 1}, {-1, 0x94, 10, 1}}));
    ASSERT_EQ(proxy.AuditionNotes(phrase, notes), 1);
    // The clip's audition ends first, then the phrase's sounds.
    EXPECT_EQ(TakeSent(),
              (std::vector<SHeard>{{-1, 0x84, 65, 0}, {-1, 0x84, 10, 0}, {-1, 0x99, 50, 127}}));
}

// Back-to-back notes of one key: each note-off ends the note before it, never the one that
// starts at the same tick, whether the phrase plays to a port or into a track, once or looping.
TEST_F(PlayersTest, BackToBackNotesOfAKeySoundWholeOnEveryPath)
{
    const std::vector<CNote> threeNotes = {CNote(0, 10, 0, 100, 0), CNote(10, 20, 0, 100, 0),
                                           CNote(20, 30, 0, 100, 0)};
    const struct {
        const char* name;
        bool intoTrack;
        bool loop;
        tick length;
        std::vector<CNote> notes;
    } cases[] = {
        {"to a port", false, false, 384, threeNotes},
        {"into a track", true, false, 384, threeNotes},
        {"looping to a port", false, true, 10, {CNote(0, 10, 0, 100, 0)}},
        {"looping into a track", true, true, 10, {CNote(0, 10, 0, 100, 0)}},
    };
    // (tick from the first note-on, note-on?) of key 60 over the first 30 ticks.
    using Steps = std::vector<std::pair<tick, bool>>;
    const Steps expected = {{0, true}, {10, false}, {10, true}, {20, false}, {20, true}};
    int32_t id = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTrack& track = AddTrack(id++);
        ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
        CPhrase& phrase = AddPhrase(id++, c.length, c.notes);
        phrase.SetLoop(c.loop);
        if (c.intoTrack) phrase.SetOutput({CNodeAddress::kKindTrack, track.GetId()});
        ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
        Keys({0x90, 60, 100});
        std::vector<SHeard> heard = Play(40);
        ASSERT_FALSE(heard.empty());
        const tick first = heard.front().at;
        Steps steps;
        for (const SHeard& h : heard)
            if (h.data1 == 60 && h.at - first < 30)
                steps.emplace_back(h.at - first, (h.status & 0xF0) == 0x90 && h.data2 > 0);
        EXPECT_EQ(steps, expected);
        Keys({0x80, 60, 0});
        ASSERT_EQ(proxy.RemovePhrasePlayer(phrase), 1);
        for (const SHeard& h : Play(2))
            heard.push_back(h);
        EXPECT_TRUE(Hanging(heard).empty());
        ASSERT_EQ(proxy.RemoveTrackPlayer(track), 1);
    }
}

// Two phrases and live thru play into one track: the source that leaves ends its own notes,
// the others sound on.
TEST_F(PlayersTest, ASourceLeavingATrackEndsOnlyItsOwnNotes)
{
    struct Case {
        const char* name;
        std::function<void(CTrack&, CPhrase&)> action;
        std::set<int> hangingKeys; // what still sounds afterwards
    };
    const CNodeAddress otherInput{CNodeAddress::kKindInputPort, 1};
    // Live thru holds 50, 60 and 62 (the last two also trigger A and B); A sounds 64, B 70.
    const std::vector<Case> cases = {
        {"A's input changed",
         [&](CTrack&, CPhrase& a) { proxy.SetPhraseProperty(a, 101, PackNodeAddress(otherInput)); },
         {50, 60, 62, 70}},
        {"A's player removed",
         [&](CTrack&, CPhrase& a) { proxy.RemovePhrasePlayer(a); },
         {50, 60, 62, 70}},
        {"A's output changed",
         [&](CTrack&, CPhrase& a) {
             proxy.SetPhraseProperty(a, 106, PackNodeAddress({CNodeAddress::kKindOutputPort, 1}));
         },
         {50, 60, 62, 70}},
        {"live thru switched off",
         [&](CTrack& t, CPhrase&) { proxy.SetTrackProperty(t, 110, 0); },
         {64, 70}},
    };
    int32_t id = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTrack& track = AddTrack(id++, 2);
        track.SetInput(true);
        ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
        const CNodeAddress intoTrack{CNodeAddress::kKindTrack, track.GetId()};
        CPhrase& a = AddPhrase(id++, 384, {CNote(0, 300, 4, 100, 0)}); // key follow: 64
        a.SetTriggerFrom(60);
        a.SetTriggerTo(60);
        a.SetOutput(intoTrack);
        CPhrase& b = AddPhrase(id++, 384, {CNote(0, 300, 70, 100, 0)});
        b.SetKeyFollow(false);
        b.SetTriggerFrom(62);
        b.SetTriggerTo(62);
        b.SetOutput(intoTrack);
        ASSERT_EQ(proxy.AddPhrasePlayer(a), 1);
        ASSERT_EQ(proxy.AddPhrasePlayer(b), 1);
        Keys({0x90, 50, 100, 0x90, 60, 100, 0x90, 62, 100});
        std::vector<SHeard> heard = Play(20);
        c.action(track, a);
        for (const SHeard& h : Play(2))
            heard.push_back(h);
        std::set<int> hanging;
        for (const auto& [note, count] : Hanging(heard)) {
            EXPECT_EQ(note.first, 2);
            hanging.insert(note.second);
        }
        EXPECT_EQ(hanging, c.hangingKeys) << ::testing::PrintToString(heard);
        proxy.Clear();
        Keys({0x80, 50, 0, 0x80, 60, 0, 0x80, 62, 0});
        Play(1);
    }
}

// "Mono lkt": the key struck last takes the voice over at the quantized restart, whatever
// happens to the key it played before; a key released before the restart gives the voice back to
// a key still held.
TEST_F(PlayersTest, LastKeyModeSoundsTheKeyStillHeldAtTheRestart)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> releases; // keys released between the trigger of 64 and the restart
        std::vector<tick> onsOf64;
        bool playingAfter; // the voice still plays once the restart has passed
        uint8_t keyAfter;  // and then with this key
    };
    const Case cases[] = {
        {"the earlier key released", {60}, {48}, true, 64},
        {"the new key released", {64}, {}, true, 60},
        {"both released", {60, 64}, {48}, false, 0},
    };
    CTrack& track = AddTrack(1); // keeps the transport busy
    AddClip(track, 0, 38400, {});
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    int32_t id = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CPhrase& phrase = AddPhrase(id++, 3840, {CNote(0, 3000, 0, 100, 0)});
        phrase.SetPlayMode(EPlayMode::MonoLastKey);
        phrase.SetStartQuantize(CNoteValue(24));
        phrase.SetStopQuantize(CNoteValue(24));
        ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
        ASSERT_EQ(proxy.Locate(0), 1);
        ASSERT_EQ(proxy.Play(), 1);
        Play(10);
        Keys({0x90, 60, 100}); // position 10: starts at 24
        std::vector<SHeard> heard = Play(20);
        ASSERT_EQ(OnsOf(heard, 60), std::vector<tick>{24});
        Keys({0x90, 64, 100}); // position 30: restarts at 48
        Play(5);
        for (uint8_t key : c.releases)
            Keys({0x80, key, 0});
        for (const SHeard& h : Play(30))
            heard.push_back(h);
        EXPECT_EQ(OnsOf(heard, 64), c.onsOf64);
        EXPECT_EQ(OnsOf(heard, 60), std::vector<tick>{24}); // never struck again
        const CPhrasePlayer& player = *engine.FindPhrasePlayer(phrase.GetId());
        const bool playing = player.GetVoiceCount() == 1 && player.GetVoice(0).IsPlaying();
        EXPECT_EQ(playing, c.playingAfter);
        if (playing) {
            EXPECT_EQ(player.GetVoice(0).GetTriggerKey(), c.keyAfter);
        }
        ASSERT_EQ(proxy.RemovePhrasePlayer(phrase), 1);
        for (const SHeard& h : Play(1))
            heard.push_back(h);
        EXPECT_TRUE(Hanging(heard).empty()) << ::testing::PrintToString(heard);
        proxy.Stop();
        Keys({0x80, 60, 0, 0x80, 64, 0});
    }
}

TEST_F(PlayersTest, LiveInputLeavesAtOnceOnTheTracksChannel)
{
    CTrack& track = AddTrack(1, 6);
    track.SetInput(true);
    ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
    Keys({0x90, 60, 100}, 5000000); // stamped long after the start of the clock
    EXPECT_EQ(Play(1), (std::vector<SHeard>{{0, 0x96, 60, 100}}));
    ASSERT_EQ(proxy.SetTrackProperty(track, 102, 2), 1); // the held note ends on channel 6
    EXPECT_EQ(Play(1), (std::vector<SHeard>{{1, 0x86, 60, 0}}));
    Keys({0x80, 60, 0}, 5000001);
    EXPECT_EQ(Play(1), (std::vector<SHeard>{{2, 0x82, 60, 0}}));
}

// Every path that ends playback of a sounding note sends its note-off.
TEST_F(PlayersTest, NoPathLeavesANoteHanging)
{
    struct Case {
        const char* name;
        std::function<void(CTrack&, CClip&, CPhrase&)> action;
        bool endsVoice; // the transport's paths leave the phrase's voice sounding
        bool endsClip = true;
    };
    const CNodeAddress control{11, 0};
    const std::vector<Case> cases = {
        {"stop", [&](CTrack&, CClip&, CPhrase&) { proxy.Stop(); }, false},
        {"locate", [&](CTrack&, CClip&, CPhrase&) { proxy.Locate(0); }, false},
        {"clip shortened behind the position",
         [&](CTrack&, CClip& c, CPhrase&) { proxy.SetClipLength(c, 20); }, false},
        {"clip moved away", [&](CTrack&, CClip& c, CPhrase&) { proxy.MoveClipStart(c, 200); },
         false},
        {"track delay", [&](CTrack& t, CClip&, CPhrase&) { proxy.SetTrackProperty(t, 106, 500); },
         false},
        {"mute",
         [&](CTrack& t, CClip&, CPhrase& p) {
             proxy.SetNodeParameter(control, 8, t.GetId());
             proxy.SetNodeParameter(control, 9, p.GetId());
         },
         true},
        {"channel",
         [&](CTrack& t, CClip&, CPhrase& p) {
             proxy.SetTrackProperty(t, 102, 9);
             proxy.SetPhraseProperty(p, 107, 9);
         },
         true},
        {"output",
         [&](CTrack& t, CClip&, CPhrase& p) {
             proxy.SetTrackProperty(t, 101, PackNodeAddress({3, 1}));
             proxy.SetPhraseProperty(p, 106, PackNodeAddress({3, 1}));
         },
         true},
        {"clip player removed", [&](CTrack&, CClip& c, CPhrase&) { proxy.RemoveClipPlayer(c); },
         false},
        {"players removed",
         [&](CTrack& t, CClip&, CPhrase& p) {
             proxy.RemoveTrackPlayer(t);
             proxy.RemovePhrasePlayer(p);
         },
         true},
        {"project cleared", [&](CTrack&, CClip&, CPhrase&) { proxy.Clear(); }, true},
        {"phrase stopped", [&](CTrack&, CClip&, CPhrase& p) { proxy.SetPhraseProperty(p, 119, 0); },
         true, false},
    };
    int32_t id = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTrack& track = AddTrack(id++, 2);
        CClip& clip = AddClip(track, 0, 384, {CNote(10, 300, 60, 100, 0)});
        CPhrase& phrase = AddPhrase(id++, 384, {CNote(0, 300, 0, 100, 0)});
        phrase.SetOutput({CNodeAddress::kKindTrack, track.GetId()}); // plays into the track
        ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
        ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
        ASSERT_EQ(proxy.Locate(0), 1);
        ASSERT_EQ(proxy.Play(), 1);
        Keys({0x90, 64, 100});
        std::vector<SHeard> heard = Play(30);
        ASSERT_EQ(heard.size(), 2u);
        c.action(track, clip, phrase);
        std::vector<SHeard> after = Play(1);
        heard.insert(heard.end(), after.begin(), after.end());
        const auto hanging = Hanging(heard);
        EXPECT_EQ(hanging.contains({2, 60}), !c.endsClip) << ::testing::PrintToString(heard);
        EXPECT_EQ(hanging.contains({2, 64}), !c.endsVoice) << ::testing::PrintToString(heard);
        proxy.Stop();
        proxy.Clear();
        Keys({0x80, 64, 0});
        Play(1);
    }
}

} // namespace
