// The event lane: the rules of its values and strokes, then the real lane under a piano roll
// driven with mouse strokes, keys and menus on a phrase made in the test, checking the events
// and the history's entries; last a seeded random user whose every step undoes.

#include <QMenu>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <random>
#include <tuple>

#include "controls/SelectList.h"
#include "editing/EventOperations.h"
#include "editing/ValueModifiers.h"
#include "editors/EventLaneBar.h"
#include "editors/EventLaneRules.h"
#include "editors/PianoRollRules.h"
#include "editors/ViewEvents.h"
#include "ui/PianoRollFixture.h"

namespace {

CNote N(tick start, tick end, int pitch, int velocity = 100, int off = 64)
{
    return CNote(start, end, static_cast<uint8_t>(pitch), static_cast<uint8_t>(velocity),
                 static_cast<uint8_t>(off));
}

// ---- the rules, without windows ----

TEST(EventLaneRules, ValuesStepsAndLimitsByKind)
{
    struct SCase {
        LaneKind kind;
        CMidiEvent event;
        int32_t delta;
        int32_t value;  // after the nudge
        int32_t shown;  // as the status shows it
    };
    const CMidiEvent bend(0, kKindPitchBender, 0, 64); // the centre, 8192
    const SCase cases[] = {
        {kLanePitchBend, bend, 0, 8192, 0},
        {kLanePitchBend, CMidiEvent(0, kKindPitchBender, 0, 0), 0, 0, -8192},
        {kLanePitchBend, CMidiEvent(0, kKindPitchBender, 0, 125), ValueStep(kLanePitchBend, true),
         16383, 8191}, // 16000 + 1024
        {ControllerLane(7), CMidiEvent(0, kKindControlChange, 7, 0), -1, 0, 0},
        {ControllerLane(7), CMidiEvent(0, kKindControlChange, 7, 100),
         ValueStep(ControllerLane(7), true), 116, 116},
        {kLaneProgram, CMidiEvent(0, kKindProgramChange, 127, 0), 1, 127, 127},
    };
    for (const SCase& c : cases) {
        const CMidiEvent after = NudgedValue(c.event, c.delta);
        EXPECT_EQ(after.GetValue(), c.value) << int(c.kind) << " " << c.delta;
        EXPECT_EQ(ShownValue(c.kind, after.GetValue()), c.shown);
    }
    EXPECT_EQ(ValueStep(kLanePitchBend, true), 1024);
    EXPECT_EQ(ValueStep(ControllerLane(1), true), 16);
    EXPECT_EQ(ValueStep(kLanePitchBend, false), 1);
    EXPECT_EQ(NudgedVelocity(1, -1), 1);
    // The lane's height spans 0..128 from bottom to top.
    EXPECT_EQ(HeightToValue(100, 0, 100), 0);
    EXPECT_EQ(HeightToValue(0, 0, 100), 128);
    EXPECT_EQ(HeightToValue(50, 0, 100), 64);
    // Stored kinds outside the table fall back to a controller lane; the others keep their byte.
    EXPECT_EQ(ValidLaneKind(0), kLaneDefault);
    EXPECT_EQ(ValidLaneKind(0xA03C), PolyPressureLane(60));
    EXPECT_EQ(ValidLaneKind(0xE012), kLanePitchBend);
}

TEST(EventLaneRules, StrokesMakeOneEventPerGridStepInsideTheRange)
{
    CFreehandStroke stroke;
    for (tick t = 0; t <= 800; t += 7)
        stroke.Add(t, static_cast<int32_t>(t / 5));
    stroke.Add(14, 200); // a later point at a tick replaces the earlier one
    const CTimeRange twoBars{0, 768};
    const CEventList grid = StrokeEvents(stroke, twoBars, 24, ControllerLane(11));
    ASSERT_EQ(grid.GetCount(), 32);
    for (const CMidiEvent& event : grid) {
        EXPECT_TRUE(event.IsKind(kKindControlChange, 11));
        EXPECT_LE(event.GetValue(), 127);
    }
    EXPECT_EQ(grid[grid.GetCount() - 1].m_time, 744);
    // With grid "Off" one event per point inside the range, limited to 0..127.
    const CEventList points = StrokeEvents(stroke, {0, 100}, 0, ControllerLane(11));
    EXPECT_EQ(points.GetCount(), 15);
    EXPECT_EQ(points[2].GetValue(), 127);
    // A stroke outside the range makes nothing.
    EXPECT_TRUE(StrokeEvents(stroke, {900, 1700}, 24, ControllerLane(11)).IsEmpty());
    // The velocity lanes read the stroke as a curve that holds its ends.
    const CValueCurveStroke curve(stroke);
    EXPECT_EQ(curve.ValueAt(-50), 0);
    EXPECT_EQ(curve.ValueAt(5000), stroke.Points().rbegin()->second);
}

// ---- the real lane ----

constexpr LaneKind Kind7()
{
    return ControllerLane(7);
}

class CEventLaneTest : public CPianoRollFixture {
protected:
    CViewEvents& Lane() { return Editor().Lane(); }

    // The point of the lane's viewport that stands for value (0..127) at tick t.
    QPoint LanePoint(tick t, int32_t value)
    {
        const int bottom = Lane().viewport()->height() - 1;
        return {Context().Geometry().TickToX(t), bottom - (bottom - 3) * value / 128};
    }

    void LaneKey(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&Lane(), static_cast<Qt::Key>(key), modifiers);
    }

    // A press at tick `from`, pointer moves every few ticks to `to`, a release there.
    void Stroke(tick from, tick to, const std::function<int32_t(tick)>& value)
    {
        QWidget* viewport = Lane().viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, LanePoint(from, value(from)));
        for (tick t = from; t <= to; t += 6)
            QTest::mouseMove(viewport, LanePoint(t, value(t)));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, LanePoint(to, value(to)));
    }

    void ChooseKind(const QString& path)
    {
        QMenu* menu = Editor().LaneBar().BuildKindMenu();
        Trigger(*menu, path);
        delete menu;
        Settle();
    }

    // Triggers the entry at "Sub/Entry" of a menu.
    static void Trigger(QMenu& menu, const QString& path)
    {
        QMenu* at = &menu;
        const QStringList parts = path.split('/');
        for (int i = 0; i < parts.size(); ++i) {
            QAction* found = nullptr;
            for (QAction* action : at->actions())
                if (action->text() == parts[i]) found = action;
            ASSERT_NE(found, nullptr) << parts[i].toStdString();
            if (i + 1 < parts.size()) {
                at = found->menu();
                continue;
            }
            found->trigger();
        }
    }

    static QStringList Texts(QMenu* menu)
    {
        QStringList texts;
        for (QAction* action : menu->actions())
            if (!action->isSeparator()) texts << action->text();
        delete menu;
        return texts;
    }

    std::vector<CMidiEvent> Events() const
    {
        const CEventList& events = m_phrase->GetEvents();
        return {events.begin(), events.end()};
    }

    // The lane's range is the note canvas's rectangle in time, and outside the velocity lanes
    // its selection is every event of its kind inside that range.
    void ExpectOneRange(int step)
    {
        if (Lane().IsVelocityLane()) return;
        const CNoteArea& area = Canvas().GetSelectionArea();
        const CTimeRange range = Lane().Range();
        if (area.m_to > area.m_from && area.m_pitchB > area.m_pitchA)
            ASSERT_EQ(range, (CTimeRange{area.m_from, area.m_to})) << "step " << step;
        else
            ASSERT_EQ(range, CTimeRange{}) << "step " << step;
        const CEventList inside =
            LaneEventsIn(Phrase().GetEvents(), Lane().Kind(), range.m_from, range.m_to);
        ASSERT_EQ(std::vector<CMidiEvent>(Lane().GetSelection().begin(), Lane().GetSelection().end()),
                  std::vector<CMidiEvent>(inside.begin(), inside.end()))
            << "step " << step;
    }

    void SelectWithMouse(tick from, tick to)
    {
        QWidget* viewport = Lane().viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, LanePoint(from, 10));
        QTest::mouseMove(viewport, LanePoint(to, 10));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, LanePoint(to, 10));
    }
};

TEST_F(CEventLaneTest, FreehandOverTwoBarsMakesOneEventPerSixteenth)
{
    Open(4 * 384);
    Context().SetGrid(CNoteValue(24));
    ChooseKind("Controller/Expression");
    EXPECT_EQ(Editor().LaneBar().KindField().text(), "CC");
    EXPECT_EQ(Editor().LaneBar().ControllerField().text(), "Cc: 11");
    SelectWithMouse(0, 744);
    EXPECT_EQ(Lane().Range(), (CTimeRange{0, 768}));

    QTest::mouseClick(&Editor().LaneBar().ToolSelector(), Qt::LeftButton);
    ASSERT_EQ(Lane().GetTool(), EDrawTool::Freehand);
    // Outside the range: nothing, and no history entry.
    Stroke(900, 1300, [](tick) { return 90; });
    EXPECT_TRUE(Events().empty());
    EXPECT_EQ(LastOperation(), "");

    Stroke(0, 767, [](tick t) { return static_cast<int32_t>(t / 7); });
    ASSERT_EQ(Events().size(), 32u);
    EXPECT_EQ(LastOperation(), "Draw Events");
    for (const CMidiEvent& event : Events())
        EXPECT_TRUE(event.IsKind(kKindControlChange, 11));
    EXPECT_LT(Events().front().GetValue(), Events().back().GetValue());

    // A second stroke over the range replaces the first one's events.
    Stroke(0, 767, [](tick) { return 20; });
    ASSERT_EQ(Events().size(), 32u);
    for (const CMidiEvent& event : Events())
        EXPECT_NEAR(event.GetValue(), 20, 1);

    // The line tool sets the selected values along the line.
    QTest::mouseClick(&Editor().LaneBar().ToolSelector(), Qt::LeftButton);
    ASSERT_EQ(Lane().GetTool(), EDrawTool::Line);
    QWidget* viewport = Lane().viewport();
    QTest::mousePress(viewport, Qt::LeftButton, {}, LanePoint(0, 0));
    QTest::mouseMove(viewport, LanePoint(400, 60));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, LanePoint(744, 120));
    EXPECT_EQ(LastOperation(), "Draw Events");
    EXPECT_LE(Events().front().GetValue(), 2);
    EXPECT_GE(Events().back().GetValue(), 115);
    ASSERT_TRUE(Doc().Undo());
    ASSERT_TRUE(Doc().Undo());
    ASSERT_TRUE(Doc().Undo());
    EXPECT_TRUE(Events().empty());
}

TEST_F(CEventLaneTest, KeysNudgeAndInsertByKind)
{
    Open(4 * 384);
    Context().SetGrid(CNoteValue(24));
    ChooseKind("Pitch Bender");
    EXPECT_EQ(Editor().LaneBar().KindField().text(), "Bender");
    EXPECT_FALSE(Editor().LaneBar().ControllerField().isVisible());
    Lane().setFocus();
    Settle();
    LaneKey(Qt::Key_Insert);
    EXPECT_EQ(LastOperation(), "Insert Event");
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].GetValue(), 8192);
    EXPECT_TRUE(Lane().StatusText().contains("<<Desc>>Current "));
    EXPECT_TRUE(Lane().StatusText().contains("PitchBender <<Text>>Value <<Value>>0"));
    EXPECT_EQ(Editor().ModeBox().GetValue(), 1) << "the events' Start";
    LaneKey(Qt::Key_V); // the value edit type
    EXPECT_EQ(Editor().ModeBox().GetValue(), 2);
    LaneKey(Qt::Key_BracketRight);
    EXPECT_EQ(Events()[0].GetValue(), 8192 + 1024);
    EXPECT_EQ(LastOperation(), "Modify Event Value");
    LaneKey(Qt::Key_Minus);
    EXPECT_EQ(Events()[0].GetValue(), 8192 + 1023);
    // Copy To Default, then a new event at the next sixteenth takes it.
    LaneKey(Qt::Key_T);
    LaneKey(Qt::Key_Right);
    EXPECT_EQ(Context().GetCursor().m_tick, 24);
    EXPECT_TRUE(Lane().StatusText().contains("<<Desc>>Default "));
    LaneKey(Qt::Key_Insert);
    ASSERT_EQ(Events().size(), 2u);
    EXPECT_EQ(Events()[1].GetValue(), 8192 + 1023);
    // The start edit type moves the current event by a grid unit.
    LaneKey(Qt::Key_S);
    LaneKey(Qt::Key_Plus);
    EXPECT_EQ(LastOperation(), "Modify Event Start");
    EXPECT_EQ(Events()[1].m_time, 48);

    // A controller: "]" asks 16, "-" stops at 0.
    ChooseKind("Control Change");
    Lane().setFocus();
    Context().SetDefaultEventValues(0, 0);
    Lane().MoveCursor(96, false);
    LaneKey(Qt::Key_Insert);
    LaneKey(Qt::Key_V);
    LaneKey(Qt::Key_Minus);
    EXPECT_EQ(LastOperation(), "Insert Event"); // nothing below 0
    LaneKey(Qt::Key_BracketRight);
    const std::vector<CMidiEvent> events = Events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_TRUE(events[2].IsKind(kKindControlChange, 7));
    EXPECT_EQ(events[2].GetValue(), 16);
    EXPECT_TRUE(Lane().StatusText().contains("ControlChange <<Text>>Ctrl <<Value>>Volume"));

    // The window record keeps the kind and the default values.
    ChooseKind("Pitch Bender");
    const std::vector<uint8_t> saved = Editor().SaveViewState();
    ChooseKind("Velocity (Off)");
    Context().SetDefaultEventValues(5, 6);
    Editor().RestoreViewState(saved);
    EXPECT_EQ(Lane().Kind(), kLanePitchBend);
    EXPECT_EQ(Editor().LaneBar().KindField().text(), "Bender");
    EXPECT_EQ(Context().GetDefaultEventValue(), 0);
    EXPECT_EQ(Editor().SaveViewState(), saved);
}

TEST_F(CEventLaneTest, SelectionCommandsModifiersAndMenus)
{
    Open(4 * 384, {N(0, 48, 60, 1), N(96, 144, 62, 50), N(192, 240, 64, 100)});
    Context().SetGrid(CNoteValue(24));
    ChooseKind("Controller/Volume");
    Lane().setFocus();
    EXPECT_EQ(Texts(Lane().BuildContextMenu()),
              (QStringList{"&Go To PhraseBank", "&Paste\tCtrl+V", "&Insert\tIns"}));
    for (tick t : {0, 48, 96})
        ASSERT_TRUE(Doc().Execute(std::make_unique<COpEventInsert>(
            Phrase(), CMidiEvent(t, kKindControlChange, 7, 10))));
    Lane().MoveCursor(48, false);
    EXPECT_EQ(Texts(Lane().BuildContextMenu()),
              (QStringList{"&Go To PhraseBank", "&Paste\tCtrl+V", "&Delete\tDel",
                           "Copy To Default\tT", "Increase by 10%", "Reduce by 10%",
                           "Increase by 10%...", "Reduce by 10%..."}));
    SelectWithMouse(0, 96);
    EXPECT_EQ(Lane().GetSelection().GetCount(), 3);
    EXPECT_TRUE(Lane().StatusText().startsWith("<<Desc>>Selection (3 events) "));
    {
        QMenu* menu = Lane().BuildContextMenu();
        EXPECT_FALSE(menu->actions()[5]->isEnabled()) << "no modifier used yet";
        EXPECT_EQ(Texts(menu),
                  (QStringList{"&Go To PhraseBank", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                               "&Paste\tCtrl+V", "&Delete\tDel", "&Repeat Last Modifier\tCtrl+R",
                               "Modifier", "Increase by 10%", "Reduce by 10%",
                               "Increase by 10%...", "Reduce by 10%...", "Quantize\tQ",
                               "Quantize...", "Supress Redundant Events"}));
    }
    QMenu* menu = Lane().BuildContextMenu();
    Trigger(*menu, "Modifier/const_64");
    delete menu;
    EXPECT_EQ(LastOperation(), "Edit Event Values");
    for (const CMidiEvent& event : Events())
        EXPECT_EQ(event.GetValue(), 64);
    menu = Lane().BuildContextMenu();
    Trigger(*menu, "Increase by 10%");
    delete menu;
    EXPECT_EQ(LastOperation(), "Increase Event Values");
    EXPECT_EQ(Events()[0].GetValue(), 70);
    LaneKey(Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(LastOperation(), "Edit Event Values");
    EXPECT_EQ(Events()[2].GetValue(), 64);
    // Cut, then paste at the cursor: the clipboard's range starts there.
    LaneKey(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(LastOperation(), "Cut Events");
    EXPECT_TRUE(Events().empty());
    Lane().MoveCursor(384, false);
    LaneKey(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(LastOperation(), "Paste Events");
    ASSERT_EQ(Events().size(), 3u);
    EXPECT_EQ(Events()[1].m_time, 384 + 48);

    // The velocity lanes: the note canvas's selection, velocities kept inside 1..127.
    ChooseKind("Velocity (On)");
    EXPECT_EQ(Editor().LaneBar().KindField().text(), "Vel.On");
    Lane().MoveCursor(300, false);
    EXPECT_EQ(Texts(Lane().BuildContextMenu()), (QStringList{"&Go To PhraseBank", "<none>"}));
    EXPECT_EQ(Lane().StatusText(), "<<Desc>>None ");
    Canvas().SelectAll();
    Lane().setFocus();
    EXPECT_TRUE(Lane().StatusText().startsWith("<<Desc>>Selection (3 notes) "));
    LaneKey(Qt::Key_Minus);
    EXPECT_EQ(Notes()[0].m_velocity, 1);
    EXPECT_EQ(Notes()[1].m_velocity, 49);
    menu = Lane().BuildContextMenu();
    EXPECT_EQ(menu->actions()[1]->text(), "&Repeat Last Modifier\tCtrl+R");
    Trigger(*menu, "Modifier/const_0");
    delete menu;
    EXPECT_EQ(LastOperation(), "Edit Note-On Velocities");
    for (const CNote& note : Notes())
        EXPECT_EQ(note.m_velocity, 1);
    // A freehand stroke sets the selected notes' velocities along it.
    Lane().SetTool(EDrawTool::Freehand);
    Stroke(0, 300, [](tick) { return 100; });
    EXPECT_EQ(LastOperation(), "Edit Note-On Velocities");
    for (const CNote& note : Notes())
        EXPECT_NEAR(note.m_velocity, 100, 1);
}

TEST_F(CEventLaneTest, DroppedEventsMoveOrCopyToTheSnappedTick)
{
    Open(4 * 384);
    Context().SetSnap(CNoteValue(96));
    ChooseKind("Controller/Volume");
    CEventList events;
    for (tick t : {0, 30, 60})
        events.Append(CMidiEvent(t, kKindControlChange, 7, 50));
    for (const CMidiEvent& event : events)
        ASSERT_TRUE(Doc().Execute(std::make_unique<COpEventInsert>(Phrase(), event)));
    // Grabbed at tick 10, let go over tick 215: the range's start lands on 205, snapped to 192.
    const CDragEvents payload(Doc(), Phrase(), events, {0, 96}, 10);
    const QPoint over = LanePoint(215, 50);
    EXPECT_EQ(Lane().DragOver(payload, {over.x(), over.y(), false}), EDropEffect::Move);
    EXPECT_TRUE(Lane().DragText().startsWith("<<Desc>>Dragging (3 events) "));
    EXPECT_TRUE(Lane().Drop(payload, {over.x(), over.y(), false}));
    EXPECT_EQ(LastOperation(), "Move Events");
    ASSERT_EQ(Events().size(), 3u);
    EXPECT_EQ(Events()[0].m_time, 192);
    EXPECT_EQ(Events()[2].m_time, 252);
    // With Control a copy; over the grab point nothing moves.
    const CDragEvents moved(Doc(), Phrase(), LaneEventsIn(Phrase().GetEvents(), Kind7(), 0, 400),
                            {192, 288}, 200);
    const QPoint back = LanePoint(10, 50);
    EXPECT_TRUE(Lane().Drop(moved, {back.x(), back.y(), true}));
    EXPECT_EQ(LastOperation(), "Copy Events");
    EXPECT_EQ(Events().size(), 6u);
    const QPoint same = LanePoint(201, 50);
    EXPECT_FALSE(Lane().Drop(moved, {same.x(), same.y(), false}));
}

TEST_F(CEventLaneTest, NotesAndEventsShareOneSelectionRange)
{
    Open(4 * 384, {N(0, 48, 60), N(96, 144, 62), N(400, 460, 64)});
    Context().SetGrid(CNoteValue(24));
    for (tick t = 0; t < 768; t += 48)
        Phrase().GetEvents().Insert(CMidiEvent(t, kKindControlChange, 7, 64));
    ChooseKind("Controller/Volume");
    // A band over two notes in the note canvas: the lane selects the volume events in its time.
    Band(0, 60, 150, 62);
    EXPECT_EQ(Canvas().GetSelection().GetCount(), 2);
    EXPECT_EQ(Lane().Range(), (CTimeRange{0, 168}));
    EXPECT_EQ(Lane().SelectionCount(), 4);
    // A nudge in the lane moves the range, and with it the rectangle in time; its pitches stay.
    Lane().setFocus();
    LaneKey(Qt::Key_BracketRight);
    CNoteArea area = Canvas().GetSelectionArea();
    EXPECT_EQ((std::pair{area.m_from, area.m_to}), (std::pair<tick, tick>{96, 264}));
    EXPECT_EQ((std::pair{area.m_pitchA, area.m_pitchB}), (std::pair{60, 63}));
    EXPECT_EQ(Lane().SelectionCount(), 6) << "the moved events and those already there";
    // A range dragged out in the lane is a rectangle over every pitch, as in the velocity lanes.
    SelectWithMouse(384, 480);
    area = Canvas().GetSelectionArea();
    EXPECT_EQ((std::pair{area.m_from, area.m_to}), (std::pair<tick, tick>{384, 504}));
    EXPECT_EQ((std::pair{area.m_pitchA, area.m_pitchB}), (std::pair{0, 128}));
    EXPECT_EQ(Lane().SelectionCount(), 3);
    EXPECT_EQ(Canvas().GetSelection().GetCount(), 1);
    // Moving the lane's cursor without Shift ends the selection in both views.
    Lane().setFocus();
    LaneKey(Qt::Key_Right);
    EXPECT_EQ(Lane().Range(), CTimeRange{});
    EXPECT_TRUE(IsEmptyArea(Canvas().GetSelectionArea()));
    EXPECT_EQ(Lane().SelectionCount(), 0);
}

// ---- a seeded random user ----

TEST_F(CEventLaneTest, RandomEditsUndoToTheStart)
{
    Open(4 * 384, {N(0, 48, 60), N(96, 144, 62), N(200, 260, 64)});
    Context().SetGrid(CNoteValue(24));
    // Something to edit in every lane the user may choose.
    for (tick t = 0; t < 1536; t += 40) {
        Phrase().GetEvents().Insert(CMidiEvent(t, kKindControlChange, 7, uint8_t(t % 128)));
        if (t % 120 == 0) {
            Phrase().GetEvents().Insert(CMidiEvent(t, kKindProgramChange, uint8_t(t % 128), 0));
            Phrase().GetEvents().Insert(CMidiEvent(t + 7, kKindPitchBender, 0, uint8_t(t % 128)));
        }
    }
    // Every step that changes the phrase is undone and redone at once: the undo gives back the
    // phrase before the step, or before the entry it folded into. An undone move inserts the
    // event again after the others at its tick, so events compare in one order within a tick.
    using SState = std::pair<std::vector<CMidiEvent>, std::vector<CNote>>;
    const auto state = [&] {
        std::vector<CMidiEvent> events = Events();
        const auto key = [](const CMidiEvent& e) {
            return std::tuple(e.m_time, e.m_kind, e.m_data1, e.m_data2);
        };
        std::sort(events.begin(), events.end(),
                  [&](const CMidiEvent& a, const CMidiEvent& b) { return key(a) < key(b); });
        return SState{events, Notes()};
    };
    SState entryStart = state();
    int changes = 0;
    std::mt19937 random(2412);
    const char* const kinds[] = {"Controller/Volume", "Pitch Bender", "Program Change",
                                 "Velocity (Off)"};
    const std::pair<int, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Left, {}},  {Qt::Key_Right, {}},     {Qt::Key_Right, Qt::ShiftModifier},
        {Qt::Key_Insert, {}}, {Qt::Key_Delete, {}},   {Qt::Key_Plus, {}},
        {Qt::Key_Minus, {}}, {Qt::Key_BracketRight, {}}, {Qt::Key_BracketLeft, {}},
        {Qt::Key_S, {}},     {Qt::Key_V, {}},         {Qt::Key_Q, {}},
        {Qt::Key_T, {}},     {Qt::Key_R, Qt::ControlModifier}, {Qt::Key_X, Qt::ControlModifier},
        {Qt::Key_V, Qt::ControlModifier}, {Qt::Key_Tab, {}},
    };
    for (int step = 0; step < 260; ++step) {
        const SState before = state();
        const int what = static_cast<int>(random() % 20);
        if (what == 0) {
            ChooseKind(kinds[random() % 4]);
            Lane().setFocus();
        } else if (what == 1) {
            Lane().SetTool(static_cast<EDrawTool>(random() % 3));
            const tick from = static_cast<tick>(random() % 1200);
            Stroke(from, from + static_cast<tick>(random() % 300),
                   [&](tick) { return static_cast<int32_t>(random() % 128); });
            Lane().SetTool(EDrawTool::None);
        } else if (what == 2) {
            Lane().ApplyModifier(kCmdModifierConst0 + static_cast<int>(random() % 9));
        } else if (what == 3) {
            const tick from = static_cast<tick>(random() % 1400);
            SelectWithMouse(from, from + static_cast<tick>(random() % 200));
        } else if (what == 4) {
            // A rectangle chosen in the note canvas is the lane's range too.
            const tick from = static_cast<tick>(random() % 1400);
            const int32_t low = 50 + static_cast<int32_t>(random() % 20);
            Canvas().SelectArea({from, low, from + static_cast<tick>(random() % 200), low + 8});
        } else {
            const auto& [key, mods] = keys[random() % std::size(keys)];
            LaneKey(key, mods);
        }
        for (const CMidiEvent& event : Lane().GetSelection())
            ASSERT_GE(Phrase().GetEvents().FindEqual(event), 0) << "step " << step;
        ExpectOneRange(step);
        const SState after = state();
        if (before == after) continue;
        ++changes;
        ASSERT_TRUE(Doc().Undo()) << "step " << step;
        const SState undone = state();
        ASSERT_TRUE(undone == before || undone == entryStart) << "step " << step;
        if (undone == before) entryStart = before;
        ASSERT_TRUE(Doc().Redo());
        ASSERT_EQ(state(), after) << "step " << step;
        Lane().ModelChanged();
    }
    EXPECT_GT(changes, 40) << "the user did too little";
}

} // namespace
