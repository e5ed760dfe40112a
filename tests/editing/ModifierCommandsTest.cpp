// The editing commands through the history, on phrases and clips the engine plays.

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "editing/ModifierCommands.h"
#include "editing/OpsFixture.h"
#include "editing/RandomGenerator.h"
#include "editing/TrackOperations.h"
#include "editing/Transpose.h"
#include "editing/ValueModifiers.h"
#include "model/Clip.h"
#include "model/Track.h"

namespace {

CNote N(tick start, tick end, uint8_t pitch = 60, uint8_t velocity = 100)
{
    return CNote(start, end, pitch, velocity, 64);
}

CMidiEvent Cc(tick time, uint8_t value)
{
    return CMidiEvent(time, kKindControlChange, 7, value);
}

template <class TList> TList ListOf(std::initializer_list<typename TList::value_type> items)
{
    TList list;
    for (const auto& item : items)
        list.Append(item);
    return list;
}

auto Key(const CNote& n)
{
    return std::tie(n.m_start, n.m_end, n.m_pitch, n.m_velocity, n.m_offVelocity);
}
auto Key(const CMidiEvent& e)
{
    return std::tie(e.m_time, e.m_kind, e.m_data1, e.m_data2);
}

// The content with the order inside one tick left out: an undone edit puts its records back
// after the ones that stayed at the same tick.
template <class TList> std::vector<typename TList::value_type> Content(const TList& list)
{
    std::vector<typename TList::value_type> items(list.begin(), list.end());
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return Key(a) < Key(b); });
    return items;
}

template <class TList> bool IsInTimeOrder(const TList& list)
{
    return std::is_sorted(list.begin(), list.end(), [](const auto& a, const auto& b) {
        return std::get<0>(Key(a)) < std::get<0>(Key(b));
    });
}

} // namespace

class ModifierCommandsTest : public COpsFixture {
protected:
    ModifierCommandsTest() : phrase(AddBank("Bank", {"A"}, 2048).GetPhraseAt(0)) {}

    void SetNotes(CMidiData& data, const CNoteList& notes)
    {
        ASSERT_EQ(proxy.ReplaceNotes(data, notes), 1);
    }
    void SetEvents(CMidiData& data, const CEventList& events)
    {
        ASSERT_EQ(proxy.ReplaceEvents(data, events), 1);
    }

    CPhrase& phrase;
};

TEST_F(ModifierCommandsTest, RunsThatChangeNothingLeaveNoHistoryEntry)
{
    const CNoteList notes = ListOf<CNoteList>({N(0, 96, 60, 127), N(96, 192, 62, 127)});
    const CNoteArea area{0, 60, 192, 63};
    SetNotes(phrase, notes);
    doc->SetModified(false);
    const size_t count = doc->GetCount();
    EXPECT_FALSE(QuantizeNotes(*doc, phrase, notes, area, CNoteValue(0), CNoteValue(0)));
    EXPECT_FALSE(SplitNotesToLength(*doc, phrase, notes, area, 0));
    EXPECT_FALSE(SplitNotesToLength(*doc, phrase, notes, area, 96));
    EXPECT_FALSE(RemoveOverlappingNotes(*doc, phrase, notes, area));
    EXPECT_FALSE(ScaleVelocities(*doc, phrase, notes, area, EVelocityLane::NoteOn, 50));
    EXPECT_FALSE(TransposeToScale(*doc, phrase, notes, area, CHarmonicScale(0, 1)));
    CRandomGenerator random(5);
    EXPECT_FALSE(
        TransposeRandomize(*doc, phrase, notes, {0, 61, 192, 61}, CHarmonicScale(0, 1), random));
    EXPECT_FALSE(QuantizeNotes(*doc, phrase, CNoteList(), area, CNoteValue(24), CNoteValue(24)));
    EXPECT_EQ(doc->GetCount(), count);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(phrase.GetNotes().SameAs(notes));
}

TEST_F(ModifierCommandsTest, CommandsAreOneStepNamedAfterThemAndClipsQuantizeOnTheSongGrid)
{
    // A clip at song tick 100: its tick 30 is song tick 130, which rounds down to 120.
    auto track = std::make_unique<CTrack>();
    track->AddClip(std::make_unique<CClip>(100, 1000, "Clip", 0));
    CTrack& added = *track;
    ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, std::move(track))));
    CMidiData& clip = added.GetClipAt(0);
    const CNoteList notes = ListOf<CNoteList>({N(30, 50), N(31, 50, 61)});
    SetNotes(clip, notes);
    ASSERT_TRUE(QuantizeNotes(*doc, clip, notes, {0, 0, 900, 128}, CNoteValue(24), CNoteValue(24)));
    EXPECT_EQ(UndoName(), "Quantize Notes");
    EXPECT_EQ(Content(clip.GetNotes()), Content(ListOf<CNoteList>({N(20, 68), N(20, 68, 61)})));

    const CEventList events = ListOf<CEventList>({Cc(0, 1), Cc(10, 2), Cc(20, 3)});
    SetEvents(phrase, events);
    CModifierMenu menu;
    const size_t count = doc->GetCount();
    ASSERT_TRUE(menu.Apply(*doc, kCmdModifierConst64, phrase, events, {0, 30}));
    EXPECT_EQ(doc->GetCount(), count + 1);
    EXPECT_EQ(UndoName(), "Edit Event Values");
    EXPECT_EQ(Content(phrase.GetEvents()),
              Content(ListOf<CEventList>({Cc(0, 64), Cc(10, 64), Cc(20, 64)})));

    const CNoteList velocities = ListOf<CNoteList>({N(0, 10, 60, 90), N(5, 10, 62, 30)});
    SetNotes(phrase, velocities);
    ASSERT_TRUE(menu.Apply(*doc, kCmdModifierConst0, phrase, velocities, {0, 0, 10, 128},
                           EVelocityLane::NoteOn));
    EXPECT_EQ(UndoName(), "Edit Note-On Velocities");
    for (const CNote& note : phrase.GetNotes())
        EXPECT_EQ(note.m_velocity, 1);

    ASSERT_TRUE(ScaleEventValues(*doc, phrase, phrase.GetEvents(), {0, 30}, -25));
    EXPECT_EQ(UndoName(), "Decrease Event Values");
    EXPECT_EQ(phrase.GetEvents()[0].m_data2, 48);
    ASSERT_TRUE(DrawEventValues(*doc, phrase, phrase.GetEvents(), {0, 30}, 0, 0, 20, 100));
    EXPECT_EQ(UndoName(), "Draw Events");
    EXPECT_EQ(phrase.GetEvents()[1].m_data2, 50);
}

TEST_F(ModifierCommandsTest, RepeatLastModifierLaysTheRememberedCurveOverTheNewSelection)
{
    CModifierMenu menu;
    EXPECT_FALSE(menu.UpdateRepeat().enabled);
    EXPECT_EQ(menu.UpdateRepeat().text, "&Repeat Last Modifier\tCtrl+R");
    const CEventList first = ListOf<CEventList>({Cc(0, 5), Cc(96, 5)});
    const CEventList second = ListOf<CEventList>({Cc(200, 5), Cc(300, 5), Cc(400, 5)});
    CEventList all = first;
    all.MergeFrom(second);
    SetEvents(phrase, all);
    EXPECT_FALSE(menu.Repeat(*doc, phrase, second, {200, 400}));
    // Nothing selected: nothing remembered.
    EXPECT_FALSE(menu.Apply(*doc, kCmdModifierSine, phrase, CEventList(), {0, 96}));
    EXPECT_EQ(menu.GetLastCommand(), 0);
    ASSERT_TRUE(menu.Apply(*doc, kCmdModifierSine, phrase, first, {0, 96}));
    EXPECT_TRUE(menu.UpdateRepeat().enabled);
    ASSERT_TRUE(menu.Repeat(*doc, phrase, second, {200, 400}));
    EXPECT_EQ(UndoName(), "Edit Event Values");
    std::vector<int> values;
    for (const CMidiEvent& event : phrase.GetEvents())
        values.push_back(event.m_data2);
    // sin over 200..400: 0 at 200, 127 * sin(pi/4) at 300, 127 at 400.
    EXPECT_EQ(values, (std::vector<int>{0, 127, 0, 89, 127}));
}

TEST_F(ModifierCommandsTest, EditorSettingsAreKeptInTheProfileAtOnce)
{
    CModifierSettings settings(manager.GetOptions(), profile);
    EXPECT_EQ(settings.GetQuantizeStart(), CNoteValue(24));
    settings.SetQuantize(CNoteValue(48), CNoteValue(0));
    EXPECT_EQ(profile.GetInt("Editor", "QStart", -1), 48);
    EXPECT_EQ(profile.GetInt("Editor", "QEnd", -1), 0);
    settings.SetIncValue(80);
    settings.SetDecValue(25);
    EXPECT_EQ(profile.GetInt("Editor", "IncValue", -1), 50);
    EXPECT_EQ(settings.IncreaseText(), "Increase by 50%...");
    EXPECT_EQ(settings.ReduceText(), "Reduce by 25%...");
    EXPECT_EQ(settings.ReducePercent(), -25);
    CAppOptions reread;
    reread.Load(profile);
    EXPECT_EQ(reread.m_quantizeStart, CNoteValue(48));
    EXPECT_EQ(reread.m_decValue, 25);
}

TEST_F(ModifierCommandsTest, ProjectScaleChangeIsNoOperationButMarksTheProjectModified)
{
    doc->SetModified(false);
    const size_t count = doc->GetCount();
    EXPECT_FALSE(SetProjectScale(*doc, CHarmonicScale()));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(SetProjectScale(*doc, CHarmonicScale(4, 2)));
    EXPECT_EQ(doc->GetScale().GetKey(), 4);
    EXPECT_EQ(doc->GetScale().GetMode(), 2);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->GetCount(), count);
}

// Every algorithm over random selections of a random phrase: the result is in time order, lies
// in the selection's time range, keeps what the algorithm promises, and undo and redo give back
// the content on either side.
TEST_F(ModifierCommandsTest, RandomSelectionsOfNotesKeepOrderAreaAndUndo)
{
    std::mt19937 random(20261207);
    auto Int = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    CRandomGenerator transposeRandom(99);
    const CHarmonicScale scale(Int(0, 11), static_cast<uint16_t>(Int(1, 4)));
    int grid = 24;
    tick length = 48;
    using Run = std::function<bool(const CNoteList&, const CNoteArea&)>;
    using Check = std::function<void(const CNoteList& out, const CNoteList& in, const CNoteArea&)>;
    struct Algorithm {
        const char* name;
        Run run;
        Check check;
    };
    const Algorithm algorithms[] = {
        {"Quantize Notes",
         [&](const CNoteList& sel, const CNoteArea& area) {
             return QuantizeNotes(*doc, phrase, sel, area, CNoteValue(grid), CNoteValue(grid));
         },
         [&](const CNoteList& out, const CNoteList& in, const CNoteArea& area) {
             EXPECT_EQ(out.GetCount(), in.GetCount());
             for (const CNote& n : out) {
                 EXPECT_TRUE(n.m_start % grid == 0 || n.m_start == area.m_from);
                 EXPECT_TRUE(n.m_end % grid == 0 || n.m_end == area.m_to);
             }
         }},
        {"Split Notes To Length",
         [&](const CNoteList& sel, const CNoteArea& area) {
             return SplitNotesToLength(*doc, phrase, sel, area, length);
         },
         [&](const CNoteList& out, const CNoteList& in, const CNoteArea&) {
             int64_t before = 0, after = 0;
             for (const CNote& n : in)
                 before += n.GetLength();
             for (const CNote& n : out) {
                 EXPECT_LE(n.GetLength(), length);
                 after += n.GetLength();
             }
             EXPECT_EQ(after, before);
         }},
        {"Remove Overlaping Notes",
         [&](const CNoteList& sel, const CNoteArea& area) {
             return RemoveOverlappingNotes(*doc, phrase, sel, area);
         },
         [&](const CNoteList& out, const CNoteList&, const CNoteArea&) {
             std::vector<tick> until(128, -1);
             for (const CNote& n : out) {
                 EXPECT_GE(n.m_start, until[n.m_pitch]) << "overlap at " << n.m_start;
                 until[n.m_pitch] = n.m_end;
             }
         }},
        {"Edit Note-On Velocities",
         [&](const CNoteList& sel, const CNoteArea& area) {
             return ScaleVelocities(*doc, phrase, sel, area, EVelocityLane::NoteOn, -50);
         },
         [&](const CNoteList& out, const CNoteList& in, const CNoteArea&) {
             ASSERT_EQ(out.GetCount(), in.GetCount());
             for (const CNote& n : out)
                 EXPECT_GE(n.m_velocity, 1);
         }},
        {"Edit Note-Off Velocities",
         [&](const CNoteList& sel, const CNoteArea& area) {
             return ApplyCurveToVelocities(
                 *doc, phrase, sel, area, EVelocityLane::NoteOff,
                 MakeModifierCurve(kCmdModifierNegativeSine, area.m_from, area.m_to));
         },
         [&](const CNoteList& out, const CNoteList& in, const CNoteArea&) {
             EXPECT_EQ(out.GetCount(), in.GetCount());
             for (const CNote& n : out)
                 EXPECT_TRUE(n.m_offVelocity >= 1 && n.m_offVelocity <= 127);
         }},
        {"Transpose To Harmonic Scale",
         [&](const CNoteList& sel, const CNoteArea& area) {
             return TransposeToScale(*doc, phrase, sel, area, scale);
         },
         [&](const CNoteList& out, const CNoteList&, const CNoteArea&) {
             for (const CNote& n : out)
                 EXPECT_TRUE(scale.IsInScale(n.m_pitch));
         }},
        {"Transpose Randomize",
         [&](const CNoteList& sel, const CNoteArea& area) {
             return TransposeRandomize(*doc, phrase, sel, area, scale, transposeRandom);
         },
         [&](const CNoteList& out, const CNoteList&, const CNoteArea& area) {
             for (const CNote& n : out) {
                 EXPECT_TRUE(scale.IsInScale(n.m_pitch));
                 EXPECT_GE(n.m_pitch, area.m_pitchA);
                 EXPECT_LE(n.m_pitch, scale.Snap(area.m_pitchB - 1));
             }
         }},
    };

    std::map<std::string, int> made;
    for (int round = 0; round < 16; ++round) {
        CNoteList content;
        for (int i = Int(100, 400); i > 0; --i) {
            const tick start = Int(0, 1900);
            content.Insert(CNote(start, start + Int(1, 150), static_cast<uint8_t>(Int(54, 66)),
                                 static_cast<uint8_t>(Int(1, 127)),
                                 static_cast<uint8_t>(Int(0, 127))));
        }
        for (const Algorithm& algorithm : algorithms) {
            SCOPED_TRACE(std::string(algorithm.name) + " round " + std::to_string(round));
            grid = Int(1, 4) * 12;
            length = Int(1, 96);
            SetNotes(phrase, content);
            const tick from = Int(0, 1000);
            const int32_t low = Int(52, 62);
            const CNoteArea area{from, low, from + Int(0, 1000), low + Int(0, 10)};
            CNoteList selected;
            selected.CopyInsideRange(content, area.m_from, area.m_to, area.m_pitchA, area.m_pitchB);
            const size_t count = doc->GetCount();
            if (!algorithm.run(selected, area)) {
                EXPECT_EQ(doc->GetCount(), count);
                EXPECT_EQ(Content(phrase.GetNotes()), Content(content));
                continue;
            }
            EXPECT_EQ(UndoName(), algorithm.name);
            ++made[algorithm.name];
            const CNoteList after = phrase.GetNotes();
            EXPECT_TRUE(IsInTimeOrder(after));
            CNoteList out = after;
            CNoteList kept = content;
            ASSERT_EQ(kept.RemoveAllOf(selected), selected.GetCount());
            ASSERT_EQ(out.RemoveAllOf(kept), kept.GetCount());
            for (const CNote& n : out) {
                EXPECT_TRUE(n.m_start >= area.m_from && n.m_end <= area.m_to);
                EXPECT_LT(n.m_start, n.m_end);
            }
            algorithm.check(out, selected, area);
            ASSERT_TRUE(doc->Undo());
            EXPECT_EQ(Content(phrase.GetNotes()), Content(content));
            ASSERT_TRUE(doc->Redo());
            EXPECT_EQ(Content(phrase.GetNotes()), Content(after));
        }
    }
    for (const Algorithm& algorithm : algorithms)
        EXPECT_GE(made[algorithm.name], 6) << algorithm.name;
}

TEST_F(ModifierCommandsTest, RandomSelectionsOfEventsKeepOrderAreaAndUndo)
{
    std::mt19937 random(7);
    auto Int = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    int grid = 24;
    using Run = std::function<bool(const CEventList&, const CTimeRange&)>;
    using Check =
        std::function<void(const CEventList& out, const CEventList& in, const CTimeRange&)>;
    struct Algorithm {
        const char* name;
        Run run;
        Check check;
    };
    const Algorithm algorithms[] = {
        {"Quantize Events",
         [&](const CEventList& sel, const CTimeRange& range) {
             return QuantizeEvents(*doc, phrase, sel, range, CNoteValue(grid));
         },
         [&](const CEventList& out, const CEventList& in, const CTimeRange& range) {
             EXPECT_EQ(out.GetCount(), in.GetCount());
             for (const CMidiEvent& e : out)
                 EXPECT_TRUE(e.m_time % grid == 0 || e.m_time == range.m_from) << e.m_time;
         }},
        {"Supress Redundant Events",
         [&](const CEventList& sel, const CTimeRange& range) {
             return SuppressRedundantEvents(*doc, phrase, sel, range);
         },
         [&](const CEventList& out, const CEventList& in, const CTimeRange&) {
             for (int i = 1; i < out.GetCount(); ++i) {
                 EXPECT_NE(out[i].m_time, out[i - 1].m_time);
                 EXPECT_NE(out[i].m_data2, out[i - 1].m_data2);
             }
             // The last value of the selection is the value it ends on.
             if (!in.IsEmpty()) {
                 EXPECT_EQ(out[out.GetCount() - 1].m_data2, in[in.GetCount() - 1].m_data2);
             }
         }},
        {"Increase Event Values",
         [&](const CEventList& sel, const CTimeRange& range) {
             return ScaleEventValues(*doc, phrase, sel, range, 50);
         },
         [&](const CEventList& out, const CEventList& in, const CTimeRange&) {
             ASSERT_EQ(out.GetCount(), in.GetCount());
             for (int i = 0; i < out.GetCount(); ++i)
                 EXPECT_TRUE(out[i].m_data2 >= in[i].m_data2 && out[i].m_data2 <= 127);
         }},
        {"Edit Event Values",
         [&](const CEventList& sel, const CTimeRange& range) {
             return ApplyCurveToEvents(
                 *doc, phrase, sel, range,
                 MakeModifierCurve(kCmdModifierLineDown, range.m_from, range.m_to),
                 "Edit Event Values");
         },
         [&](const CEventList& out, const CEventList&, const CTimeRange&) {
             for (int i = 1; i < out.GetCount(); ++i)
                 EXPECT_LE(out[i].m_data2, out[i - 1].m_data2);
         }},
    };

    std::map<std::string, int> made;
    for (int round = 0; round < 16; ++round) {
        CEventList content;
        for (int i = Int(0, 300); i > 0; --i)
            content.Insert(Cc(Int(0, 1900), static_cast<uint8_t>(Int(0, 3) * 40)));
        for (const Algorithm& algorithm : algorithms) {
            SCOPED_TRACE(std::string(algorithm.name) + " round " + std::to_string(round));
            grid = Int(1, 4) * 12;
            SetEvents(phrase, content);
            const tick from = Int(0, 1000);
            const CTimeRange range{from, from + Int(0, 1000)};
            CEventList selected;
            selected.CopyInTime(content, range.m_from, range.m_to);
            const size_t count = doc->GetCount();
            if (!algorithm.run(selected, range)) {
                EXPECT_EQ(doc->GetCount(), count);
                EXPECT_EQ(Content(phrase.GetEvents()), Content(content));
                continue;
            }
            EXPECT_EQ(UndoName(), algorithm.name);
            ++made[algorithm.name];
            const CEventList after = phrase.GetEvents();
            EXPECT_TRUE(IsInTimeOrder(after));
            CEventList out = after;
            CEventList kept = content;
            ASSERT_EQ(kept.RemoveAllOf(selected), selected.GetCount());
            ASSERT_EQ(out.RemoveAllOf(kept), kept.GetCount());
            for (const CMidiEvent& e : out)
                EXPECT_TRUE(e.m_time >= range.m_from && e.m_time <= range.m_to);
            algorithm.check(out, selected, range);
            ASSERT_TRUE(doc->Undo());
            EXPECT_EQ(Content(phrase.GetEvents()), Content(content));
            ASSERT_TRUE(doc->Redo());
            EXPECT_EQ(Content(phrase.GetEvents()), Content(after));
        }
    }
    for (const Algorithm& algorithm : algorithms)
        EXPECT_GE(made[algorithm.name], 6) << algorithm.name;
}
