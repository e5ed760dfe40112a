// The tracks window's track list: rows that line up with the canvas, the four switches, the
// keyboard, header drags that move tracks, the list's commands and its MIDI file import/export.

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include "editing/TrackOperations.h"
#include "editors/TracksContext.h"
#include "editors/TracksEditor.h"
#include "editors/ViewTrackList.h"
#include "editors/ViewTracks.h"
#include "fakes/NumberedName.h"
#include "model/Clip.h"
#include "model/Track.h"
#include "ui/UiFixture.h"

namespace {

class CTrackListTest : public CUiFixture {
protected:
    // The active project with tracks T1..Tn and its tracks window, shown at a fixed size.
    CTracksEditor& Open(int tracks)
    {
        Start();
        m_doc = Projects().GetActiveProject();
        for (int i = 0; i < tracks; ++i) {
            auto track = std::make_unique<CTrack>();
            track->SetName(NumberedName("T", i + 1));
            EXPECT_TRUE(m_doc->Execute(std::make_unique<COpTrackCreate>(-1, std::move(track))));
        }
        WindowsOf(*m_doc).OpenTracksWindow(true);
        WindowsOf(*m_doc).GetFrame(EWindowKind::Tracks)->resize(700, 420);
        Settle();
        CTracksEditor* editor = WindowsOf(*m_doc).GetTracksEditor();
        EXPECT_NE(editor, nullptr);
        return *editor;
    }
    CProjectDoc& Doc() { return *m_doc; }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int32_t i = 0; i < Doc().GetTracks().GetCount(); ++i)
            names.push_back(Doc().GetTracks().GetAt(i)->GetName());
        return names;
    }
    std::string UndoText() { return Doc().UpdateUndo().text; }
    static void Click(CViewTrackList& list, int32_t row, EHeaderPart part)
    {
        QTest::mouseClick(&list, Qt::LeftButton, {}, list.PartRect(row, part).center());
    }
    static void Wheel(QWidget& widget, int delta)
    {
        const QPointF at(widget.width() / 2.0, 30);
        QWheelEvent event(at, widget.mapToGlobal(at), {}, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&widget, &event);
    }

    CProjectDoc* m_doc = nullptr;
};

} // namespace

TEST_F(CTrackListTest, RowsLineUpWithTheCanvasRowsAndScrollWithThem)
{
    CTracksEditor& editor = Open(40);
    CViewTrackList& list = editor.TrackList();
    CTracksContext& context = editor.Context();
    const CTracksGeometry& g = context.Geometry();
    QWidget* viewport = editor.Canvas().viewport();
    auto aligned = [&] {
        for (int32_t row = g.GetFirstRow(); row < g.GetLastRow(); ++row) {
            const QRect header = list.RowRect(row);
            const QPoint headerTop = list.mapTo(&editor, header.topLeft());
            const QPoint canvasTop = viewport->mapTo(&editor, QPoint(0, g.RowToY(row)));
            EXPECT_EQ(headerTop.y(), canvasTop.y()) << "row " << row;
            EXPECT_EQ(header.height(), g.GetRowHeight());
        }
    };
    aligned();
    // A wheel notch over the list scrolls one row, whichever wheel; other deltas nothing.
    const struct {
        int delta;
        int32_t firstRow;
    } notches[] = {{-120, 1}, {-120, 2}, {120, 1}, {60, 1}, {-240, 2}, {30, 2}};
    for (const auto& notch : notches) {
        Wheel(list, notch.delta);
        EXPECT_EQ(g.GetFirstRow(), notch.firstRow) << notch.delta;
        aligned();
    }
    context.ZoomVertical(1);
    aligned();
    // The hit test follows the scroll: the row under the first pixel is the first visible track.
    EXPECT_EQ(list.HitTest({60, 1}).row, g.GetFirstRow());
}

TEST_F(CTrackListTest, SwitchesToggleTheirFlagsAndClicksElsewhereMakeTheTrackCurrent)
{
    CTracksEditor& editor = Open(3);
    CViewTrackList& list = editor.TrackList();
    CTrack& track = *Doc().GetTracks().GetAt(1);
    const std::string undo = UndoText();
    const struct {
        EHeaderPart part;
        bool (CTrack::*flag)() const;
    } switches[] = {{EHeaderPart::Solo, &CTrack::GetSolo},
                    {EHeaderPart::Mute, &CTrack::GetMute},
                    {EHeaderPart::Input, &CTrack::GetInput},
                    {EHeaderPart::Record, &CTrack::GetRecord}};
    for (const auto& entry : switches) {
        EXPECT_EQ(list.HitTest(list.PartRect(1, entry.part).center()).part, entry.part);
        for (bool expected : {true, false}) {
            Click(list, 1, entry.part);
            EXPECT_EQ((track.*entry.flag)(), expected) << static_cast<int>(entry.part);
        }
        // A switch is not a click on the track.
        EXPECT_EQ(editor.Context().GetCurrentTrack(), -1);
    }
    // None of them is an undoable step.
    EXPECT_EQ(UndoText(), undo);
    Click(list, 2, EHeaderPart::Name);
    EXPECT_EQ(editor.Context().GetCurrentTrack(), 2);
    Click(list, 0, EHeaderPart::Number);
    EXPECT_EQ(editor.Context().GetCurrentTrack(), 0);
    // From the keyboard: S, M, I and R switch the current track's flags.
    list.setFocus();
    CTrack& first = *Doc().GetTracks().GetAt(0);
    for (Qt::Key key : {Qt::Key_S, Qt::Key_M, Qt::Key_I, Qt::Key_R})
        QTest::keyClick(&list, key);
    EXPECT_TRUE(first.GetSolo() && first.GetMute() && first.GetInput() && first.GetRecord());
}

TEST_F(CTrackListTest, KeysMoveTheCurrentTrackAndKeepItInView)
{
    CTracksEditor& editor = Open(60);
    CViewTrackList& list = editor.TrackList();
    const CTracksGeometry& g = editor.Context().Geometry();
    list.setFocus();
    const int32_t page = std::max(1, g.VisibleRows() - 1);
    const struct {
        Qt::Key key;
        int32_t current;
    } steps[] = {{Qt::Key_Down, 0}, {Qt::Key_Down, 1},        {Qt::Key_Up, 0},
                 {Qt::Key_Up, 0},   {Qt::Key_PageDown, page}, {Qt::Key_PageDown, 2 * page},
                 {Qt::Key_End, 59}, {Qt::Key_Down, 59},       {Qt::Key_PageUp, 59 - page},
                 {Qt::Key_Home, 0}, {Qt::Key_PageUp, 0}};
    int step = 0;
    for (const auto& s : steps) {
        QTest::keyClick(&list, s.key);
        EXPECT_EQ(editor.Context().GetCurrentTrack(), s.current) << "step " << step;
        EXPECT_GE(s.current, g.GetFirstRow()) << "step " << step;
        EXPECT_LT(s.current, g.GetLastRow()) << "step " << step;
        ++step;
    }
}

TEST_F(CTrackListTest, CommandsAddInsertDeleteAndRenameTracksAsNamedOperations)
{
    CTracksEditor& editor = Open(3);
    CViewTrackList& list = editor.TrackList();
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    QTest::keyClick(&list, Qt::Key_Down);
    ASSERT_EQ(editor.Context().GetCurrentTrack(), 1);

    // Insert puts a new track at the current one's place; Add appends one.
    QTest::keyClick(&list, Qt::Key_Insert);
    EXPECT_EQ(Names(), (std::vector<std::string>{"T1", "Track 4", "T2", "T3"}));
    EXPECT_NE(UndoText().find("Create Track"), std::string::npos);
    EXPECT_EQ(editor.Context().GetCurrentTrack(), 1);
    ASSERT_TRUE(editor.OnCommand(ECommand::AddItem));
    EXPECT_EQ(Names().back(), "Track 5");
    EXPECT_EQ(editor.Context().GetCurrentTrack(), 4);

    // Delete takes the current track away; the next one becomes current.
    QTest::keyClick(&list, Qt::Key_Home);
    QTest::keyClick(&list, Qt::Key_Delete);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Track 4", "T2", "T3", "Track 5"}));
    EXPECT_NE(UndoText().find("Delete Track"), std::string::npos);
    EXPECT_EQ(editor.Context().GetCurrentTrack(), 0);
    CCommandUi ui;
    ASSERT_TRUE(editor.OnUpdateCommand(ECommand::RemoveItem, ui));
    EXPECT_TRUE(ui.enabled);
    ASSERT_TRUE(Doc().Undo());
    EXPECT_EQ(Names().front(), "T1");

    // F2 renames in place: Return commits (no undo step), Escape leaves the name.
    const std::string undo = UndoText();
    const size_t count = Doc().GetCount();
    for (const auto& [key, expected] :
         {std::pair{Qt::Key_Escape, "T1"}, std::pair{Qt::Key_Return, "Lead"}}) {
        QTest::keyClick(&list, Qt::Key_F2);
        QLineEdit* editorBox = list.NameEditor();
        ASSERT_NE(editorBox, nullptr);
        EXPECT_EQ(editorBox->selectedText(), QString::fromStdString(Names().front()));
        QTest::keyClicks(editorBox, "Lead");
        QTest::keyClick(editorBox, key);
        EXPECT_EQ(Names().front(), expected);
        EXPECT_EQ(list.NameEditor(), nullptr);
    }
    EXPECT_EQ(UndoText(), undo);
    EXPECT_EQ(Doc().GetCount(), count);

    // The drum flag through the menu's entry, not recorded either.
    EXPECT_TRUE(list.ToggleDrum());
    EXPECT_EQ(Doc().GetTracks().GetAt(0)->GetProperty2Value(), 1);
    EXPECT_EQ(Doc().GetCount(), count);
}

TEST_F(CTrackListTest, HeaderDropsMoveTheTrackBeforeOrAfterTheRowUnderThePointer)
{
    CTracksEditor& editor = Open(5);
    CViewTrackList& list = editor.TrackList();
    const CTracksGeometry& g = editor.Context().Geometry();
    const int h = g.GetRowHeight();
    auto top = [&](int32_t row) { return g.RowToY(row) + 1; };
    auto lower = [&](int32_t row) { return g.RowToY(row) + h - 2; };
    const struct {
        int32_t source;
        int y;
        bool moved;
        std::vector<std::string> order;
    } drops[] = {
        {0, lower(2), true, {"T2", "T3", "T1", "T4", "T5"}},
        {3, top(0), true, {"T4", "T2", "T3", "T1", "T5"}},
        {1, top(1), false, {"T4", "T2", "T3", "T1", "T5"}},          // before itself
        {1, lower(1), false, {"T4", "T2", "T3", "T1", "T5"}},        // after itself
        {1, top(2), false, {"T4", "T2", "T3", "T1", "T5"}},          // before the next one
        {0, lower(4) + 3 * h, true, {"T2", "T3", "T1", "T5", "T4"}}, // below the last track
    };
    CDragContext& drag = CDragContext::Instance();
    for (const auto& d : drops) {
        drag.Begin(std::make_unique<CDragTrack>(Doc(), d.source));
        const CDragPoint point{40, d.y, false};
        EXPECT_EQ(drag.Enter(list, point), EDropEffect::Move);
        EXPECT_EQ(drag.Drop(list, point), d.moved) << d.source << " to y " << d.y;
        drag.End();
        EXPECT_EQ(Names(), d.order) << d.source << " to y " << d.y;
        if (d.moved) {
            EXPECT_NE(UndoText().find("Move Track"), std::string::npos);
        }
    }
    // The moved track stays current, where it now is.
    EXPECT_EQ(editor.Context().GetCurrentTrack(), 4);
    // Headers of another project and other payloads are refused.
    CProjectDoc other;
    drag.Begin(std::make_unique<CDragTrack>(other, 0));
    EXPECT_EQ(drag.Enter(list, CDragPoint{40, top(0), false}), EDropEffect::None);
    EXPECT_FALSE(drag.Drop(list, CDragPoint{40, top(0), false}));
    drag.End();
}

TEST_F(CTrackListTest, ExportedTrackComesBackThroughTheImportCommand)
{
    CTracksEditor& editor = Open(2);
    CViewTrackList& list = editor.TrackList();
    CTrack& source = *Doc().GetTracks().GetAt(1);
    auto clip = std::make_unique<CClip>(384, 384 + 768, "Line", 0x3366CC);
    clip->GetNotes().Insert(CNote(0, 96, 60, 100, 64));
    clip->GetNotes().Insert(CNote(200, 300, 64, 90, 64));
    source.AddClip(std::move(clip));
    editor.Context().SetCurrentTrack(1);

    // Export from the list's menu, chosen by keyboard: the file name comes from the user.
    m_user.m_chosenPath = PathOf("T2.mid");
    list.setFocus();
    QTimer::singleShot(0, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text() == "E&xport to MIDI file") menu->setActiveAction(action);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::keyClick(&list, Qt::Key_Menu);
    QTest::qWait(50);
    ASSERT_TRUE(QFile::exists(QString::fromStdString(m_user.m_chosenPath)));

    const size_t count = Doc().GetCount();
    ASSERT_TRUE(list.ImportTracks());
    ASSERT_EQ(Doc().GetTracks().GetCount(), 3);
    EXPECT_NE(UndoText().find("Import Track(s) from MIDI file"), std::string::npos);
    EXPECT_EQ(Doc().GetCount(), count + 1);
    const CTrack& imported = *Doc().GetTracks().GetAt(2);
    EXPECT_EQ(imported.GetName(), "T2");
    EXPECT_EQ(editor.Context().GetCurrentTrack(), 2);
    ASSERT_GE(imported.GetClipCount(), 1);
    const CClip& back = imported.GetClipAt(0);
    EXPECT_NE(back.GetId(), 0);
    ASSERT_EQ(back.GetNotes().GetCount(), 2);
    // Song ticks survive; the clip grid of the import decides where the clip starts.
    EXPECT_EQ(back.GetStart() + back.GetNotes().At(0).m_start, 384);
    EXPECT_EQ(back.GetStart() + back.GetNotes().At(1).m_start, 584);

    // A cancelled chooser and a file that is not MIDI add nothing.
    m_user.m_chosenPath.clear();
    EXPECT_FALSE(list.ImportTracks());
    m_user.m_chosenPath = PathOf("nothing.mid");
    {
        QFile bad(QString::fromStdString(m_user.m_chosenPath));
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("MThd\0\0\0\2\0\0", 10);
    }
    EXPECT_FALSE(list.ImportTracks());
    EXPECT_EQ(Doc().GetTracks().GetCount(), 3);
    EXPECT_FALSE(m_user.m_messages.empty());
}
