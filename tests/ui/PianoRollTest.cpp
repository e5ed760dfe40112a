// The piano roll: the rules behind its keys and drops, then the real window driven with keys and
// the mouse on a phrase made in the test, checking the notes and the history's entries.

#include <QMenu>
#include <QTimer>

#include "controls/EditValue.h"
#include "controls/SelectList.h"
#include "controls/WndStatusDisplay.h"
#include "editing/Clipboard.h"
#include "editors/PianoRollDialogs.h"
#include "editors/PianoRollRules.h"
#include "editors/ViewPianoKeys.h"
#include "editors/ViewPianoRuler.h"
#include "editors/ViewStateBytes.h"
#include "model/HarmonicScale.h"
#include "ui/PianoRollFixture.h"

namespace {

CNote N(tick start, tick end, int pitch, int velocity = 100, int off = 64)
{
    return CNote(start, end, static_cast<uint8_t>(pitch), static_cast<uint8_t>(velocity),
                 static_cast<uint8_t>(off));
}

// Accepts the next modal dialog after letting `fill` set its fields.
template <class TDialog, class FFill> void AnswerDialog(FFill fill)
{
    QTimer::singleShot(0, [fill] {
        auto* dialog = qobject_cast<TDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        fill(*dialog);
        dialog->accept();
    });
}

// ---- the rules, without windows ----

TEST(PianoRollRules, LengthsMoveToMultiplesOfTheStep)
{
    struct SCase {
        tick length, step;
        std::optional<tick> expected;
    };
    const SCase cases[] = {
        {100, 24, 120},          {100, -24, 72},          {96, 24, 120}, {96, -24, 72},
        {24, -24, std::nullopt}, {10, -24, std::nullopt}, {1, 1, 2},     {100, 96, 192},
    };
    for (const SCase& c : cases)
        EXPECT_EQ(SteppedLength(c.length, c.step), c.expected) << c.length << " " << c.step;
}

TEST(PianoRollRules, VelocitiesStayInsideOneTo127)
{
    EXPECT_EQ(NudgedVelocity(1, -1), 1);
    EXPECT_EQ(NudgedVelocity(1, -16), 1);
    EXPECT_EQ(NudgedVelocity(120, 16), 127);
    EXPECT_EQ(NudgedVelocity(127, 1), 127);
    EXPECT_EQ(NudgedVelocity(64, -16), 48);
}

TEST(PianoRollRules, OneNoteStartStopsAtZeroAndAtThePhraseEnd)
{
    const CNote note = N(30, 80, 60);
    EXPECT_EQ(NoteWithStartMoved(note, -96, 384), N(0, 50, 60));
    EXPECT_EQ(NoteWithStartMoved(note, 400, 384), N(334, 384, 60));
    EXPECT_EQ(NoteWithStartMoved(note, 24, 384), N(54, 104, 60));
}

TEST(PianoRollRules, LeftAndRightStopAtTheNextNoteOfTheRow)
{
    CNoteList notes;
    for (const CNote& n : {N(10, 20, 60), N(30, 40, 62), N(40, 50, 60), N(96, 120, 60)})
        notes.Insert(n);
    EXPECT_EQ(StepStoppingAtNotes(notes, 0, 60, 24), 10);
    EXPECT_EQ(StepStoppingAtNotes(notes, 10, 60, 24), 34); // 30 is another row
    EXPECT_EQ(StepStoppingAtNotes(notes, 24, 60, 24), 40);
    EXPECT_EQ(StepStoppingAtNotes(notes, 72, 60, 24), 96); // at the step's end: the plain step
    EXPECT_EQ(StepStoppingAtNotes(notes, 48, 60, -24), 40);
    EXPECT_EQ(StepStoppingAtNotes(notes, 40, 60, -24), 16);
    EXPECT_EQ(CursorLastTick(384, 24), 359);
    EXPECT_EQ(CursorLastTick(10, 24), 0);
}

TEST(PianoRollRules, DropsSnapRelativeToThePhraseAndRiseOntoTheScale)
{
    const CNoteValue snap(24);
    const CNoteArea area{50, 60, 100, 61};
    // The area's start moves by the pointer's way and is floored onto the grid.
    EXPECT_EQ(DropTickOffset(area, 130, 100, snap), 22); // 80 -> 72
    EXPECT_EQ(DropTickOffset(area, 30, 100, snap), -74); // -20 floors to -24
    EXPECT_EQ(DropTickOffset(area, 130, 100, CNoteValue()), 30);
    const CHarmonicScale major(0, 1);
    CNoteList notes;
    notes.Insert(N(50, 100, 60));
    // A semitone below G (67) is F# (66): it lands on G.
    const CMovedNotes moved = MoveNotesOntoScale(notes, area, 10, 6, major);
    ASSERT_EQ(moved.m_notes.GetCount(), 1);
    EXPECT_EQ(moved.m_notes[0], N(60, 110, 67));
    EXPECT_EQ(moved.m_area, (CNoteArea{60, 67, 110, 68}));
    // Notes pushed out of 0..127 are dropped.
    EXPECT_TRUE(MoveNotesOntoScale(notes, area, 0, 80, major).m_notes.IsEmpty());
}

TEST(PianoRollRules, SelectionSpansFromTheAnchorOnTheGrid)
{
    EXPECT_EQ(SpannedArea(30, 60, 72, 64, CNoteValue(24)), (CNoteArea{24, 60, 96, 65}));
    EXPECT_EQ(SpannedArea(72, 64, 30, 60, CNoteValue(24)), (CNoteArea{24, 60, 96, 65}));
    EXPECT_EQ(SpannedArea(5, 60, 5, 60, CNoteValue()), (CNoteArea{5, 60, 6, 61}));
    CNoteList notes;
    for (const CNote& n : {N(0, 10, 60), N(24, 30, 61), N(24, 30, 70), N(96, 99, 60)})
        notes.Insert(n);
    const CNoteList inside = NotesStartingIn(notes, {0, 60, 96, 62});
    ASSERT_EQ(inside.GetCount(), 2);
    EXPECT_EQ(inside[1], N(24, 30, 61));
}

// ---- the window ----

class CPianoRollTest : public CPianoRollFixture {};

TEST_F(CPianoRollTest, TitleBarAndTooltips)
{
    Open(4 * 384);
    EXPECT_EQ(RollFrame().windowTitle(), "PianoRoll - Riff");
    for (QWidget* control : std::initializer_list<QWidget*>{
             &Editor().LengthBox(), &Editor().ModeBox(), &Editor().SnapBox(), &Editor().GridBox(),
             &Editor().Ruler(), &Editor().Keys()})
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->metaObject()->className();
    EXPECT_EQ(Editor().LengthBox().GetValue(), 4 * 384);
    // A length of 1 or more is "Set Phrase Length"; 0 is refused and the box shows the length.
    Editor().LengthBox().SetValue(2 * 384);
    emit Editor().LengthBox().ValueChanged(0);
    EXPECT_EQ(Phrase().GetLength(), 2 * 384);
    EXPECT_EQ(LastOperation(), "Set Phrase Length");
    Editor().LengthBox().SetValue(0);
    emit Editor().LengthBox().ValueChanged(0);
    EXPECT_EQ(Phrase().GetLength(), 2 * 384);
    EXPECT_EQ(Editor().LengthBox().GetValue(), 2 * 384);
    // Another project active: the title says so.
    Projects().NewProject();
    Settle();
    EXPECT_EQ(RollFrame().windowTitle(), "PianoRoll - Riff [inactive]");
}

TEST_F(CPianoRollTest, CursorStepsByGridBeatAndScale)
{
    Open(8 * 384, {N(48, 60, 60)});
    Doc().SetScale(CHarmonicScale(0, 1)); // C major
    struct SCase {
        tick grid;
        int key;
        Qt::KeyboardModifiers mods;
        tick fromTick;
        int fromPitch;
        tick toTick;
        int toPitch;
    };
    const SCase cases[] = {
        {0, Qt::Key_Right, {}, 100, 62, 101, 62}, // grid Off: one tick
        {0, Qt::Key_Left, {}, 100, 62, 99, 62},
        {24, Qt::Key_Right, Qt::ControlModifier, 0, 62, 96, 62},   // a beat beats 1/16
        {384, Qt::Key_Right, Qt::ControlModifier, 0, 62, 384, 62}, // a whole beats a beat
        {96, Qt::Key_Right, {}, 0, 60, 48, 60},                    // stops at a note
        {24, Qt::Key_Up, {}, 0, 64, 0, 65},                        // E -> F in C major
        {24, Qt::Key_Down, {}, 0, 65, 0, 64},
        {24, Qt::Key_Up, {}, 0, 61, 0, 62},     // off the scale -> next tone
        {24, Qt::Key_PageUp, {}, 0, 61, 0, 74}, // 73 rises to D
        {24, Qt::Key_PageDown, {}, 0, 5, 0, 0}, // limited to 0
        {24, Qt::Key_Left, {}, 0, 60, 0, 60},   // kept inside the phrase
        {24, Qt::Key_Up, {}, 0, 127, 0, 127},
    };
    for (const SCase& c : cases) {
        Context().SetGrid(CNoteValue(c.grid));
        Place(c.fromTick, c.fromPitch);
        Key(c.key, c.mods);
        EXPECT_EQ(Context().GetCursor().m_tick, c.toTick) << c.key << " grid " << c.grid;
        EXPECT_EQ(Context().GetCursor().m_pitch, c.toPitch) << c.key << " grid " << c.grid;
    }
    EXPECT_EQ(Doc().GetCount(), 0u);
}

TEST_F(CPianoRollTest, InsertThenNudgeEveryEditType)
{
    Open(4 * 384);
    Context().SetGrid(CNoteValue(24));
    CDefaultNote def = Context().GetDefaultNote();
    def.m_length = 100;
    def.m_velocity = 1;
    def.m_offVelocity = 120;
    Context().SetDefaultNote(def);
    Place(96, 60);
    Key(Qt::Key_Insert);
    ASSERT_EQ(Notes(), std::vector<CNote>{N(96, 196, 60, 1, 120)});
    EXPECT_EQ(LastOperation(), "Insert Note");
    ASSERT_TRUE(Canvas().CurrentNote().has_value());

    struct SCase {
        int mode;
        int key;
        CNote expected;
        const char* name; // null: no new history entry
    };
    const SCase cases[] = {
        {'L', Qt::Key_Plus, N(96, 216, 60, 1, 120), "Modify Note Length"},  // 100 -> 120
        {'L', Qt::Key_Minus, N(96, 192, 60, 1, 120), "Modify Note Length"}, // 120 -> 96
        {'L', Qt::Key_Minus, N(96, 168, 60, 1, 120), "Modify Note Length"}, // 96 -> 72
        {'V', Qt::Key_Minus, N(96, 168, 60, 1, 120), nullptr},              // 1 stays 1
        {'V', Qt::Key_BracketRight, N(96, 168, 60, 17, 120), "Modify Note Velocity"},
        {'F', Qt::Key_BracketRight, N(96, 168, 60, 17, 127), "Modify Note Off Velocity"},
        {'S', Qt::Key_Plus, N(120, 192, 60, 17, 127), "Modify Note Start"},
        {'S', Qt::Key_BracketLeft, N(24, 96, 60, 17, 127), "Modify Note Start"},
        {'S', Qt::Key_BracketLeft, N(0, 72, 60, 17, 127), "Modify Note Start"}, // stops at 0
        {'P', Qt::Key_Plus, N(0, 72, 61, 17, 127), "Modify Note Pitch"},
        {'P', Qt::Key_BracketLeft, N(0, 72, 49, 17, 127), "Modify Note Pitch"},
    };
    for (const SCase& c : cases) {
        const size_t before = Doc().GetCount();
        Key(c.mode);
        Key(c.key);
        ASSERT_EQ(Notes(), std::vector<CNote>{c.expected}) << char(c.mode) << " " << c.key;
        if (c.name != nullptr)
            EXPECT_EQ(LastOperation(), c.name);
        else
            EXPECT_EQ(Doc().GetCount(), before);
        EXPECT_EQ(Canvas().CurrentNote(), c.expected) << "the cursor stays on the note";
    }
    EXPECT_EQ(Editor().ModeBox().GetValue(), 2);
    // Repeated nudges of one kind fold into one entry: one undo per kind run.
    while (Doc().Undo()) {
    }
    EXPECT_TRUE(Notes().empty());

    // Without a note under the cursor, length and velocity nudges change the default note.
    Place(300, 70);
    Key('L');
    Key(Qt::Key_Plus);
    EXPECT_EQ(Context().GetDefaultNote().m_length, 120);
    Key('V');
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(Context().GetDefaultNote().m_velocity, 17);
}

TEST_F(CPianoRollTest, InsertNeedsACursorInsideThePhrase)
{
    Open(0);
    Key(Qt::Key_Insert);
    EXPECT_TRUE(Notes().empty());
    EXPECT_EQ(Doc().GetCount(), 0u);
}

TEST_F(CPianoRollTest, SelectionNudgesAndTheExtendQuestion)
{
    const tick bar = 384;
    Open(2 * bar, {N(0, 48, 60), N(96, 144, 62), N(600, 700, 64), N(700, 720, 127)});
    Context().SetGrid(CNoteValue(96));
    Place(0, 60);
    // Shift+Right x2 and Shift+Up x2 span ticks 0..288 and pitches 60..62.
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Up, Qt::ShiftModifier);
    Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(Canvas().GetSelectionArea(), (CNoteArea{0, 60, 288, 63}));
    ASSERT_EQ(Canvas().GetSelection().GetCount(), 2);
    EXPECT_TRUE(Editor().Status().GetText().startsWith("<<Desc>>Selection (2 notes) "));

    // Never extend: the rectangle is pushed back to end at the phrase's end.
    Projects().GetOptions().m_autoExtendSequence = CAppOptions::kNever;
    Context().SetGrid(CNoteValue(384));
    Key('S');
    Place(10, 100); // off the notes: no current note
    Canvas().SelectArea({0, 60, 288, 63});
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(LastOperation(), "Modify Note Selection Start");
    EXPECT_EQ(Canvas().GetSelectionArea(), (CNoteArea{384, 60, 672, 63}));
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(Canvas().GetSelectionArea(), (CNoteArea{480, 60, 768, 63}));
    EXPECT_EQ(Phrase().GetLength(), 2 * bar);
    // Always extend: the phrase grows.
    Projects().GetOptions().m_autoExtendSequence = CAppOptions::kAlways;
    Key(Qt::Key_BracketRight);
    EXPECT_EQ(Canvas().GetSelectionArea(), (CNoteArea{864, 60, 1152, 63}));
    EXPECT_EQ(Phrase().GetLength(), 1152);
    ASSERT_TRUE(Doc().Undo());
    EXPECT_EQ(Phrase().GetLength(), 2 * bar);

    // Pitch, length and velocities of the selection, each one named entry.
    Context().SetGrid(CNoteValue(24));
    Place(10, 100);
    Canvas().SelectArea({0, 60, 2 * bar, 66});
    ASSERT_EQ(Canvas().GetSelection().GetCount(), 3);
    Key('P');
    Key(Qt::Key_Plus);
    EXPECT_EQ(LastOperation(), "Modify Note Selection Pitch");
    Key('L');
    Key(Qt::Key_Plus);
    EXPECT_EQ(LastOperation(), "Modify Note Selection Length");
    Key('V');
    Key(Qt::Key_Minus);
    EXPECT_EQ(LastOperation(), "Modify Note Selection Velocity");
    Key('F');
    Key(Qt::Key_Minus);
    EXPECT_EQ(LastOperation(), "Modify Note Selection Off-Velocity");
    for (const CNote& note : Canvas().GetSelection()) {
        EXPECT_EQ(note.m_velocity, 99);
        EXPECT_EQ(note.m_offVelocity, 63);
    }
    // A pitch move that one note cannot make (127 has no step up) moves none.
    Canvas().SelectArea({0, 0, 2 * bar, 128});
    ASSERT_EQ(Canvas().GetSelection().GetCount(), 4);
    const std::vector<CNote> before = Notes();
    const size_t entries = Doc().GetCount();
    Key('P');
    Key(Qt::Key_Plus);
    EXPECT_EQ(Notes(), before);
    EXPECT_EQ(Doc().GetCount(), entries);
}

TEST_F(CPianoRollTest, CommandsOfTheCanvasAreNamedSteps)
{
    Open(4 * 384, {N(0, 96, 60), N(96, 192, 62), N(100, 150, 62)});
    Context().SetGrid(CNoteValue(96));
    Place(0, 60);
    // Duplicate the current note right after it.
    Key(Qt::Key_D);
    EXPECT_EQ(LastOperation(), "Insert Note");
    EXPECT_EQ(Phrase().GetNotes()[2], N(96, 192, 60));
    Key(Qt::Key_Delete);
    EXPECT_EQ(LastOperation(), "Delete Note");
    // Copy to Default takes the current note's length and velocities.
    Place(96, 62);
    Key(Qt::Key_T);
    EXPECT_EQ(Context().GetDefaultNote(), (CDefaultNote{96, 100, 64}));
    // Tab walks the notes in phrase order.
    Place(0, 60);
    Key(Qt::Key_Tab);
    EXPECT_EQ(Canvas().CurrentNote(), N(96, 192, 62));
    Key(Qt::Key_Tab);
    EXPECT_EQ(Canvas().CurrentNote(), N(100, 150, 62));
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Canvas().CurrentNote(), N(96, 192, 62));

    // Select everything; Remove overlapping notes, Split, Quantize and the transpositions.
    Key(Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(Canvas().GetSelection().GetCount(), 3);
    EXPECT_TRUE(Canvas().RemoveOverlaps());
    EXPECT_EQ(LastOperation(), "Remove Overlaping Notes");
    EXPECT_EQ(Phrase().GetNotes().GetCount(), 2);
    CDefaultNote def = Context().GetDefaultNote();
    def.m_length = 48;
    Context().SetDefaultNote(def);
    Canvas().SelectAll();
    EXPECT_TRUE(Canvas().SplitToLength());
    EXPECT_EQ(LastOperation(), "Split Notes To Length");
    EXPECT_EQ(Phrase().GetNotes().GetCount(), 4);
    Doc().SetScale(CHarmonicScale(0, 1));
    // Cut, then paste at the cursor: the rectangle's corner goes to the cursor cell.
    Canvas().SelectArea({0, 60, 96, 61});
    ASSERT_EQ(Canvas().GetSelection().GetCount(), 2);
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(LastOperation(), "Cut Notes");
    Place(192, 66); // F#: pasted notes rise to G
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(LastOperation(), "Paste Notes");
    EXPECT_EQ(Canvas().GetSelection().GetCount(), 2);
    for (const CNote& note : Canvas().GetSelection()) {
        EXPECT_EQ(note.m_pitch, 67);
        EXPECT_GE(note.m_start, 192);
    }
    // Duplicate the selection one rectangle width on.
    Key(Qt::Key_D);
    EXPECT_EQ(LastOperation(), "Create Notes");
    Key(Qt::Key_Delete);
    EXPECT_EQ(LastOperation(), "Delete Notes");

    // The transpositions and the quantize dialog on everything.
    Canvas().SelectAll();
    EXPECT_FALSE(Canvas().TransposeToScale()); // 60 and 62 are in C major already
    EXPECT_TRUE(Canvas().TransposeRandomize());
    EXPECT_EQ(LastOperation(), "Transpose Randomize");
    for (const CNote& note : Phrase().GetNotes())
        EXPECT_TRUE(Doc().GetScale().IsInScale(note.m_pitch));
    Canvas().SelectAll();
    AnswerDialog<CDlgQuantize>([](CDlgQuantize& dialog) {
        dialog.StartBox().SetValue(96);
        dialog.EndBox().SetValue(96);
    });
    EXPECT_TRUE(Canvas().QuantizeWithDialog());
    EXPECT_EQ(LastOperation(), "Quantize Notes");
    EXPECT_EQ(Projects().GetOptions().m_quantizeStart.GetTicks(), 96);
}

TEST_F(CPianoRollTest, MouseClickBandDoubleClickAndProperties)
{
    Open(4 * 384, {N(96, 192, 60), N(192, 240, 62)});
    Context().SetGrid(CNoteValue(96));
    Click(130, 60);
    EXPECT_EQ(Context().GetCursor().m_tick, 96);
    EXPECT_EQ(Canvas().CurrentNote(), N(96, 192, 60));
    EXPECT_TRUE(Editor().Status().GetText().startsWith("<<Desc>>Current "));
    Band(0, 59, 290, 63);
    EXPECT_EQ(Canvas().GetSelectionArea(), (CNoteArea{0, 59, 384, 64}));
    EXPECT_EQ(Canvas().GetSelection().GetCount(), 2);
    // Double click in the selection: the properties of the selected notes.
    AnswerDialog<CDlgNoteProperties>([](CDlgNoteProperties& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Selected Notes...");
        EXPECT_EQ(dialog.LengthBox().GetValue(), 96);
        dialog.LengthBox().SetUndefined();
        dialog.VelocityBox().SetValue(33);
    });
    DoubleClick(100, 60);
    EXPECT_EQ(LastOperation(), "Edit Notes");
    EXPECT_EQ(Notes(), (std::vector<CNote>{N(96, 192, 60, 33), N(192, 240, 62, 33)}));
    // Double click outside: a note from the default note at the clicked cell.
    DoubleClick(300, 70);
    EXPECT_EQ(LastOperation(), "Insert Note");
    EXPECT_EQ(Canvas().CurrentNote()->m_start, 288);
    AnswerDialog<CDlgNoteProperties>([](CDlgNoteProperties& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Current Note...");
        dialog.OffVelocityBox().SetValue(5);
    });
    EXPECT_TRUE(Canvas().EditProperties());
    EXPECT_EQ(LastOperation(), "Edit Note");
    EXPECT_EQ(Canvas().CurrentNote()->m_offVelocity, 5);
    Place(0, 100);
    AnswerDialog<CDlgNoteProperties>([](CDlgNoteProperties& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Default Note...");
        dialog.LengthBox().SetValue(48);
    });
    EXPECT_TRUE(Canvas().EditProperties());
    EXPECT_EQ(Context().GetDefaultNote().m_length, 48);
}

TEST_F(CPianoRollTest, ContextMenusByState)
{
    Open(4 * 384, {N(0, 96, 60)});
    auto texts = [this] {
        std::unique_ptr<QMenu> menu(Canvas().BuildContextMenu());
        QStringList list;
        for (QAction* action : menu->actions())
            list << action->text();
        return list;
    };
    Place(200, 70);
    EXPECT_EQ(texts(), (QStringList{"&Go To PhraseBank", "&Paste\tCtrl+V", "&Insert\tIns",
                                    "Edit Pr&operties..."}));
    Place(0, 60);
    EXPECT_EQ(texts(), (QStringList{"&Go To PhraseBank", "&Paste\tCtrl+V", "&Delete\tDel",
                                    "D&uplicate\tD", "Copy to Default\tT", "Edit Pr&operties..."}));
    Canvas().SelectAll();
    EXPECT_EQ(texts(), (QStringList{"&Go To PhraseBank", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                                    "&Paste\tCtrl+V", "&Delete\tDel", "D&uplicate\tD",
                                    "R&emove Overlapping Notes", "Quantize\tQ", "Quantize...",
                                    "&Split To Length", "Transpose", "Edit Pr&operties..."}));
}

TEST_F(CPianoRollTest, DropsMoveCopyAndRiseOntoTheScale)
{
    Open(4 * 384, {N(0, 96, 60), N(96, 192, 64)});
    Doc().SetScale(CHarmonicScale(0, 1));
    Context().SetSnap(CNoteValue(96));
    const CNoteArea area{0, 60, 96, 61};
    CNoteList dragged;
    dragged.Insert(N(0, 96, 60));
    auto drop = [&](tick pointerTick, int32_t pointerPitch, bool control) {
        CDragContext& context = CDragContext::Instance();
        context.Begin(std::make_unique<CDragNotes>(Doc(), Phrase(), dragged, area, 10, 60));
        const QPoint at = PointAt(pointerTick, pointerPitch);
        const CDragPoint point{at.x(), at.y(), control};
        EXPECT_NE(context.Enter(Canvas(), point), EDropEffect::None);
        EXPECT_TRUE(Editor().Status().GetText().startsWith("<<Desc>>Dragging (1 note) "));
        const bool done = context.Drop(Canvas(), point);
        context.End();
        return done;
    };
    // Where it was: nothing happens.
    EXPECT_FALSE(drop(20, 60, false));
    EXPECT_EQ(Doc().GetCount(), 0u);
    // A semitone below G: it lands on G, the start floored onto the snap.
    EXPECT_TRUE(drop(210, 66, false));
    EXPECT_EQ(LastOperation(), "Move Notes");
    EXPECT_EQ(Notes(), (std::vector<CNote>{N(96, 192, 64), N(192, 288, 67)}));
    ASSERT_TRUE(Doc().Undo());
    EXPECT_TRUE(drop(400, 62, true));
    EXPECT_EQ(LastOperation(), "Copy Notes");
    EXPECT_EQ(Phrase().GetNotes().GetCount(), 3);
    EXPECT_EQ(Phrase().GetNotes()[2], N(384, 480, 62));
    // Other payloads are refused.
    CDragContext::Instance().Begin(std::make_unique<CDragTrack>(Doc(), 0));
    EXPECT_EQ(CDragContext::Instance().Over(Canvas(), {10, 10, false}), EDropEffect::None);
    CDragContext::Instance().End();
}

TEST_F(CPianoRollTest, StepEntryEntersChordsAtTheCursor)
{
    Open(384);
    Context().SetGrid(CNoteValue(96));
    Place(0, 60);
    EXPECT_TRUE(Editor().StepRecord({60, 64, 67}));
    EXPECT_EQ(LastOperation(), "Step Record Notes");
    EXPECT_EQ(Canvas().GetSelection().GetCount(), 3);
    EXPECT_EQ(Context().GetCursor().m_tick, 96);
    EXPECT_TRUE(Editor().StepRecord({72}));
    EXPECT_EQ(LastOperation(), "Step Record Note");
    EXPECT_EQ(Phrase().GetNotes()[3], CNote(96, 120, 72, 127, 127));
    EXPECT_FALSE(Editor().StepRecord({}));
    // A chord captured from the input reaches the active piano roll through the main frame.
    WindowsOf(Doc()).OpenPianoRoll(Phrase(), true);
    Settle();
    Frame().OnCapturedNotes({{0x90, 48, 100}, {0x90, 55, 90}});
    EXPECT_EQ(LastOperation(), "Step Record Notes");
    EXPECT_EQ(Phrase().GetNotes().GetCount(), 6);
    EXPECT_EQ(Context().GetCursor().m_tick, 288);
}

TEST_F(CPianoRollTest, WindowRecordRoundTripsAndBadValuesAreClamped)
{
    Open(4 * 384);
    Context().SetGrid(CNoteValue(48));
    Context().SetSnap(CNoteValue(96));
    Context().Geometry().SetScale(64);
    Context().SetEditType(ENoteEditType::VelOff);
    Place(384, 72);
    const std::vector<uint8_t> saved = Editor().SaveViewState();
    EXPECT_EQ(saved.size(), 54u);
    Context().SetGrid(CNoteValue(24));
    Place(0, 10);
    Editor().RestoreViewState(saved);
    EXPECT_EQ(Context().GetGrid().GetTicks(), 48);
    EXPECT_EQ(Context().GetSnap().GetTicks(), 96);
    EXPECT_EQ(Context().Geometry().GetScale(), 64);
    EXPECT_EQ(Context().GetEditType(), ENoteEditType::VelOff);
    EXPECT_EQ(Context().GetCursor().m_tick, 384);
    EXPECT_EQ(Context().GetCursor().m_pitch, 72);
    EXPECT_EQ(Editor().SaveViewState(), saved);

    // Zero scale, pitch past 127, cursor past the phrase, unknown grid and edit type.
    CViewStateWriter bad;
    for (int32_t v : {999999, 500, -7, 300, 0, 0, 9})
        bad.Int32(v);
    bad.Int16(42);
    bad.Int32(17);
    bad.Int32(-5);
    bad.Int32(0);
    Editor().RestoreViewState(bad.Take());
    EXPECT_EQ(Context().Geometry().GetScale(), CPianoRollGeometry::kMinScale);
    EXPECT_EQ(Context().Geometry().GetPitchHeight(), CPianoRollGeometry::kMinPitchHeight);
    EXPECT_EQ(Context().GetCursor().m_pitch, 127);
    EXPECT_LT(Context().GetCursor().m_tick, Phrase().GetLength());
    EXPECT_GE(Context().Geometry().GetOriginPitch(), 0);
    EXPECT_EQ(Context().GetEditType(), ENoteEditType::Start);
    EXPECT_EQ(Context().GetGrid().GetTicks(), 48);
    EXPECT_GE(Context().GetCursor().m_length, 1);
}

// Pitch rows are drawn by scanlines straight into the picture; where the picture is not a plain
// image they are drawn layer by layer with the painter. Both must give the same pixels: grid,
// bar, beat and dotted lines, C rows, the inverted selection rectangle, selected, current,
// overlapping and hair-thin notes, at the smallest, a middle and the largest row height, at the
// window's pixel ratio and at 1.5, for the whole canvas and for odd pieces of it.
TEST_F(CPianoRollTest, ScanlineRowsMatchTheLayeredPicture)
{
    std::vector<CNote> notes = {N(0, 96, 60),    N(48, 200, 60), N(100, 101, 62), N(101, 103, 62),
                                N(300, 302, 64), N(0, 3072, 48), N(384, 768, 72)};
    for (int i = 0; i < 200; ++i)
        notes.push_back(N(i * 13 % 3000, i * 13 % 3000 + 10 + i % 90, 40 + i * 7 % 40));
    Open(8 * 384, notes);
    Context().SetGrid(CNoteValue(24));
    Canvas().MoveCursor(48, 60, false);
    Canvas().SelectArea({24, 58, 500, 66});
    Canvas().activateWindow();
    Canvas().setFocus();
    Settle();
    ASSERT_TRUE(Canvas().hasFocus());
    ASSERT_GT(Canvas().GetSelection().GetCount(), 3);
    const QRect whole = Canvas().viewport()->rect();
    for (const int height : {3, 8, 11}) {
        Context().Geometry().SetPitchHeight(height);
        Context().SetOriginPitch(40);
        emit Context().ViewChanged();
        for (const qreal ratio : {Canvas().devicePixelRatioF(), 1.5}) {
            for (const QRect& piece :
                 {whole, QRect(13, 7, 301, 55), QRect(0, 31, whole.width(), 3)}) {
                SCOPED_TRACE(testing::Message() << "row height " << height << ", ratio " << ratio
                                                << ", piece " << piece.x() << "," << piece.y());
                EXPECT_EQ(CanvasPicture(Canvas(), true, ratio, piece),
                          CanvasPicture(Canvas(), false, ratio, piece));
            }
        }
    }
}

TEST_F(CPianoRollTest, SongPositionRepaintsOnlyItsMarkers)
{
    Open(8 * 384, {N(0, 96, 60)});
    // Everything drawn and the marker in place; on a loaded machine the first paints can come
    // late, so wait until neither counter has moved for a while.
    Doc().SetSongPosition(48);
    WindowsOf(Doc()).SongPositionChanged();
    const auto counts = [&] {
        return std::pair(Editor().Ruler().GetPaintedPixels(), Canvas().GetContentPaints());
    };
    for (int still = 0, round = 0; still < 5 && round < 400; ++round) {
        const auto before = counts();
        QTest::qWait(10);
        still = counts() == before ? still + 1 : 0;
    }
    const int64_t rulerBefore = Editor().Ruler().GetPaintedPixels();
    const int64_t contentBefore = Canvas().GetContentPixels();
    Doc().SetSongPosition(96);
    WindowsOf(Doc()).SongPositionChanged();
    for (int round = 0; round < 400 && Editor().Ruler().GetPaintedPixels() == rulerBefore; ++round)
        QTest::qWait(5);
    Settle();
    const int64_t painted = Editor().Ruler().GetPaintedPixels() - rulerBefore;
    EXPECT_GT(painted, 0);
    EXPECT_LE(painted, 2 * Editor().Ruler().MarkerStrip(0).width() * Editor().Ruler().height());
    // The content under the two marker strips at most (the cache is filled only where overlays
    // pass), never the rest of the canvas.
    EXPECT_LE(Canvas().GetContentPixels() - contentBefore, 2 * 3 * Canvas().viewport()->height());
    // Back over strips the cache now holds: no content at all.
    const int64_t cached = Canvas().GetContentPixels();
    const int64_t rulerAgain = Editor().Ruler().GetPaintedPixels();
    Doc().SetSongPosition(48);
    WindowsOf(Doc()).SongPositionChanged();
    for (int round = 0; round < 400 && Editor().Ruler().GetPaintedPixels() == rulerAgain; ++round)
        QTest::qWait(5);
    Settle();
    EXPECT_EQ(Canvas().GetContentPixels(), cached);
}

} // namespace
