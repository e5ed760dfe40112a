// A seeded storm of edits, locates, solo and mute toggles, property changes, key presses and
// stops during playback of a generated project. Whatever happens, every note the devices were
// asked to sound is ended again: at each quiet point (transport stopped, voices stopped, keys
// released) and after the project is cleared nothing hangs.

#include "PlayerFixture.h"

#include "engine/ClipPlayer.h"
#include "engine/PhrasePlayer.h"
#include "model/Properties.h"

#include <random>
#include <set>

namespace {

class PlayerStormTest : public PlayerFixture {
protected:
    PlayerStormTest()
    {
        EXPECT_EQ(proxy.OpenOutputDriver(1), 1);
        EXPECT_EQ(proxy.RouteOutputPort(1, 1), 1);
    }

    int Rand(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    bool Chance(int percent) { return Rand(0, 99) < percent; }

    CNote RandomNote(tick within)
    {
        const tick start = Rand(-10, within);
        return CNote(start, start + Rand(0, 200), static_cast<uint8_t>(Rand(30, 90)),
                     static_cast<uint8_t>(Rand(0, 127)), static_cast<uint8_t>(Rand(0, 127)));
    }

    CMidiEvent RandomEvent(tick within)
    {
        static constexpr uint8_t kinds[] = {0xB0, 0xC0, 0xD0, 0xE0, 0xA0};
        return CMidiEvent(Rand(0, within), kinds[Rand(0, 4)], static_cast<uint8_t>(Rand(0, 127)),
                          static_cast<uint8_t>(Rand(0, 127)));
    }

    void Generate()
    {
        for (int32_t t = 0; t < 6; ++t) {
            CTrack& track = AddTrack(t + 1, static_cast<uint8_t>(Rand(0, 15)));
            track.SetInput(t == 0);
            for (int c = 0; c < 3; ++c) {
                std::vector<CNote> notes;
                for (int n = 0; n < 40; ++n)
                    notes.push_back(RandomNote(400));
                CClip& clip = AddClip(track, c * 400 + Rand(0, 100), 400, notes);
                for (int e = 0; e < 5; ++e)
                    clip.GetEvents().Insert(RandomEvent(400));
                m_owners.push_back(&clip);
                m_clips.push_back({&clip, &track});
            }
            m_tracks.push_back(&track);
            ASSERT_EQ(proxy.AddTrackPlayer(track), 1);
        }
        for (int32_t p = 0; p < 4; ++p) {
            std::vector<CNote> notes;
            for (int n = 0; n < 12; ++n)
                notes.push_back(RandomNote(192));
            CPhrase& phrase = AddPhrase(100 + p, Rand(48, 192), notes);
            phrase.SetKeyFollow(Chance(50));
            phrase.SetTriggerFrom(static_cast<uint8_t>(36 + 12 * p));
            phrase.SetTriggerTo(static_cast<uint8_t>(47 + 12 * p));
            if (p == 3) phrase.SetOutput({CNodeAddress::kKindTrack, 2});
            m_owners.push_back(&phrase);
            m_phrases.push_back(&phrase);
            ASSERT_EQ(proxy.AddPhrasePlayer(phrase), 1);
        }
    }

    void Listen(int ticks)
    {
        std::vector<SHeard> heard = Play(ticks);
        m_heard.insert(m_heard.end(), heard.begin(), heard.end());
    }

    void EditList(CMidiData& owner)
    {
        const tick within = std::max<tick>(owner.GetLength(), 1);
        CNoteList& notes = owner.GetNotes();
        CEventList& events = owner.GetEvents();
        switch (Rand(0, 6)) {
        case 0:
        case 1:
            EXPECT_EQ(proxy.InsertNote(owner, RandomNote(within)), 1);
            break;
        case 2:
            if (notes.GetCount() > 0) {
                EXPECT_EQ(proxy.RemoveNote(owner, notes[Rand(0, notes.GetCount() - 1)]), 1);
            }
            break;
        case 3:
            if (notes.GetCount() > 0) {
                const CNote old = notes[Rand(0, notes.GetCount() - 1)];
                EXPECT_EQ(proxy.ChangeNote(owner, old, RandomNote(within)), 1);
            }
            break;
        case 4: {
            CNoteList list;
            for (int n = Rand(0, 15); n > 0; --n)
                list.Insert(RandomNote(within));
            EXPECT_EQ(proxy.ReplaceNotes(owner, list), 1);
            break;
        }
        case 5:
            EXPECT_EQ(proxy.InsertEvent(owner, RandomEvent(within)), 1);
            break;
        default:
            if (events.GetCount() > 0) {
                EXPECT_EQ(proxy.RemoveEvent(owner, events[Rand(0, events.GetCount() - 1)]), 1);
            }
            break;
        }
    }

    void ChangeTrack(CTrack& track)
    {
        const int32_t code = Rand(101, 108);
        int64_t value = 0;
        switch (code) {
        case 101:
            value =
                PackNodeAddress({CNodeAddress::kKindOutputPort, static_cast<int32_t>(Rand(0, 1))});
            break;
        case 102:
            value = Rand(0, 15);
            break;
        case 103:
            value = Rand(-60, 60);
            break;
        case 104:
            value = Rand(-24, 24);
            break;
        case 105:
            value = Chance(50) ? 0 : Rand(1, 96);
            break;
        case 106:
            value = Rand(-50, 50);
            break;
        default: {
            const int low = Rand(0, 40);
            value = PackBytePair({static_cast<uint8_t>(low), static_cast<uint8_t>(Rand(90, 127))});
            break;
        }
        }
        EXPECT_EQ(proxy.SetTrackProperty(track, code, value), 1) << code;
    }

    void ChangePhrase(CPhrase& phrase)
    {
        const int32_t code = Rand(103, 119);
        int64_t value = 0;
        switch (code) {
        case 106:
            value = PackNodeAddress(Chance(50) ? CNodeAddress{CNodeAddress::kKindOutputPort, 1}
                                               : CNodeAddress{CNodeAddress::kKindTrack, 1});
            break;
        case 107:
            value = Rand(0, 15);
            break;
        case 108:
            value = Rand(1, 3);
            break;
        case 112:
        case 113:
            value = Rand(-60, 60);
            break;
        case 104:
        case 105:
        case 114:
            value = Chance(30) ? 0 : Rand(1, 48);
            break;
        case 115:
            value = Rand(-40, 40);
            break;
        case 116:
        case 117: {
            const int low = Rand(0, 127);
            value = PackBytePair({static_cast<uint8_t>(low), static_cast<uint8_t>(Rand(low, 127))});
            break;
        }
        default:
            value = Rand(0, 1);
            break;
        }
        EXPECT_EQ(proxy.SetPhraseProperty(phrase, code, value), 1) << code;
    }

    void PressOrRelease()
    {
        const uint8_t key = static_cast<uint8_t>(Rand(36, 83));
        if (m_held.contains(key) || Chance(30)) {
            Keys({0x80, key, 0});
            m_held.erase(key);
        } else {
            Keys({0x90, key, static_cast<uint8_t>(Rand(1, 127))});
            m_held.insert(key);
        }
    }

    void OneStep()
    {
        const CNodeAddress control{11, 0};
        switch (Rand(0, 15)) {
        case 0:
        case 1:
        case 2:
            Listen(Rand(1, 30));
            break;
        case 3:
        case 4:
            EditList(*m_owners[static_cast<size_t>(Rand(0, int(m_owners.size()) - 1))]);
            break;
        case 5:
            EXPECT_EQ(proxy.Locate(Rand(0, 1400)), 1);
            break;
        case 6: {
            // 4 and 7 toggle the modes, 5 and 8 a track's flag, 6 and 9 a phrase's.
            const int32_t code = Rand(4, 9);
            const int32_t id = (code == 6 || code == 9) ? Rand(100, 103) : Rand(1, 6);
            EXPECT_EQ(proxy.SetNodeParameter(control, code, id), 1);
        } break;
        case 7:
            ChangeTrack(*m_tracks[static_cast<size_t>(Rand(0, 5))]);
            break;
        case 8:
            ChangePhrase(*m_phrases[static_cast<size_t>(Rand(0, 3))]);
            break;
        case 9:
        case 10:
            PressOrRelease();
            break;
        case 11:
            EXPECT_EQ(Chance(30) ? proxy.Stop() : proxy.Play(), 1);
            break;
        case 12: {
            auto [clip, track] = m_clips[static_cast<size_t>(Rand(0, int(m_clips.size()) - 1))];
            if (Chance(50)) {
                EXPECT_EQ(proxy.SetClipLength(*clip, Rand(0, 500)), 1);
            } else {
                EXPECT_EQ(proxy.MoveClipStart(*clip, clip->GetStart() + Rand(-40, 40)), 1);
            }
            break;
        }
        case 13: {
            auto [clip, track] = m_clips[static_cast<size_t>(Rand(0, int(m_clips.size()) - 1))];
            if (engine.FindClipPlayer(clip) != nullptr) {
                EXPECT_EQ(proxy.RemoveClipPlayer(*clip), 1);
            } else if (engine.FindTrackPlayer(track->GetId()) != nullptr) {
                EXPECT_EQ(proxy.AddClipPlayer(*clip, *track), 1);
            }
            break;
        }
        case 14: {
            CTrack& track = *m_tracks[static_cast<size_t>(Rand(0, 5))];
            EXPECT_EQ(proxy.RemoveTrackPlayer(track), 1);
            Listen(1);
            EXPECT_EQ(proxy.AddTrackPlayer(track), 1);
            break;
        }
        default:
            EXPECT_EQ(proxy.SetPhraseProperty(*m_phrases[static_cast<size_t>(Rand(0, 3))], 118, 0),
                      1);
            break;
        }
    }

    // Stops the transport and every voice and lets go of every key: nothing may sound then.
    void QuietPoint()
    {
        EXPECT_EQ(proxy.Stop(), 1);
        for (CPhrase* phrase : m_phrases)
            EXPECT_EQ(proxy.SetPhraseProperty(*phrase, 119, 0), 1);
        for (uint8_t key : m_held)
            Keys({0x80, key, 0});
        m_held.clear();
        Listen(2);
        EXPECT_TRUE(Hanging(m_heard).empty()) << ::testing::PrintToString(Hanging(m_heard));
    }

    std::mt19937 m_random{20261207};
    std::vector<CMidiData*> m_owners;
    std::vector<std::pair<CClip*, CTrack*>> m_clips;
    std::vector<CTrack*> m_tracks;
    std::vector<CPhrase*> m_phrases;
    std::set<uint8_t> m_held;
    std::vector<SHeard> m_heard;
};

TEST_F(PlayerStormTest, ThousandsOfChangesDuringPlaybackLeaveNoNoteHanging)
{
    Generate();
    ASSERT_EQ(proxy.Play(), 1);
    for (int round = 0; round < 16; ++round) {
        for (int step = 0; step < 500; ++step)
            OneStep();
        QuietPoint();
        if (::testing::Test::HasFailure()) return;
        ASSERT_EQ(proxy.Play(), 1);
    }
    Listen(50);
    // Deactivation ends everything still sounding.
    for (uint8_t key : m_held)
        Keys({0x80, key, 0});
    m_held.clear();
    ASSERT_EQ(proxy.Clear(), 1);
    Listen(2);
    EXPECT_TRUE(Hanging(m_heard).empty()) << ::testing::PrintToString(Hanging(m_heard));
    // The storm did play: many notes went out on both devices.
    int ons[2] = {0, 0};
    for (const SHeard& h : m_heard)
        if ((h.status & 0xF0) == 0x90) ++ons[h.device];
    EXPECT_GT(ons[0], 400);
    EXPECT_GT(ons[1], 40);
}

} // namespace
