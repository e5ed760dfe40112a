// The tracks window: gestures of the four tools, the keyboard with its nudges, drops, the window
// record, and a seeded random session that must leave a consistent selection and undo cleanly.

#include <QApplication>
#include <QBackingStore>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>

#include <random>

#include "editing/Clipboard.h"
#include "editing/TrackOperations.h"
#include "editors/TracksContext.h"
#include "editors/TracksEditor.h"
#include "editors/ViewStateBytes.h"
#include "editors/ViewTrackList.h"
#include "editors/ViewTracks.h"
#include "fakes/NumberedName.h"
#include "files/ProjectJson.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Track.h"
#include "ui/UiFixture.h"

namespace {

class CTracksViewTest : public CUiFixture {
protected:
    void SetUp() override
    {
        Start();
        m_doc = Projects().GetActiveProject();
        ASSERT_NE(m_doc, nullptr);
    }

    // Tracks "T1".."Tn" with the given clips (track index, start, end), made without the
    // history so that the session starts with nothing to undo.
    void MakeSong(int tracks, const std::vector<std::tuple<int, tick, tick>>& clips)
    {
        for (int i = 0; i < tracks; ++i) {
            auto track = std::make_unique<CTrack>();
            track->SetName(NumberedName("T", i + 1));
            track->SetId(m_doc->NewTrackId());
            m_doc->InsertTrack(-1, std::move(track));
        }
        for (const auto& [row, start, end] : clips) {
            auto clip = std::make_unique<CClip>(start, end, "C", 0x3366CC);
            clip->SetId(m_doc->NewObjectId());
            m_doc->GetTracks().GetAt(row)->AddClip(std::move(clip));
        }
        WindowsOf(*m_doc).OpenTracksWindow(true);
        Settle();
        m_editor = WindowsOf(*m_doc).GetTracksEditor();
        ASSERT_NE(m_editor, nullptr);
        WindowsOf(*m_doc).GetFrame(EWindowKind::Tracks)->resize(900, 500);
        m_editor->TracksChanged();
        Settle();
        Context().SetSnap(CNoteValue(96));
    }

    CTracksContext& Context() { return m_editor->Context(); }
    CViewTracks& Canvas() { return m_editor->Canvas(); }
    QWidget* Viewport() { return Canvas().viewport(); }
    CClip& ClipAt(int row, int index) { return m_doc->GetTracks().GetAt(row)->GetClipAt(index); }
    // A point inside the row at the tick (client pixels of the canvas viewport).
    QPoint At(tick t, int row)
    {
        const CTracksGeometry& g = Context().Geometry();
        return {g.TickToX(t) + 1, g.RowToY(row) + g.GetRowHeight() / 2};
    }
    std::string LastEntry() { return m_doc->UpdateUndo().text; }
    void Key(int key, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(&Canvas(), static_cast<Qt::Key>(key), mods);
    }
    void Click(const QPoint& p, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::mouseClick(Viewport(), Qt::LeftButton, mods, p);
    }

    CProjectDoc* m_doc = nullptr;
    CTracksEditor* m_editor = nullptr;
};

TEST_F(CTracksViewTest, NudgesFollowTheEditModeAndTheSnap)
{
    struct SRow {
        ETracksEditMode mode;
        tick snap;
        int key;
        tick wantStart; // the clip's start after the key
        tick wantLength;
        int wantTrack;
    };
    // A clip at 100..400 on track 2 of three; a bar is 384.
    const SRow rows[] = {
        {ETracksEditMode::Start, 96, Qt::Key_Plus, 192, 300, 1},
        {ETracksEditMode::Start, 96, Qt::Key_Minus, 96, 300, 1},
        {ETracksEditMode::Start, 0, Qt::Key_Plus, 101, 300, 1},
        {ETracksEditMode::Start, 0, Qt::Key_Minus, 99, 300, 1},
        {ETracksEditMode::Start, 96, Qt::Key_BracketRight, 480, 300, 1},
        {ETracksEditMode::TrackPos, 96, Qt::Key_Plus, 100, 300, 2},
        {ETracksEditMode::TrackPos, 0, Qt::Key_BracketLeft, 100, 300, 0},
        {ETracksEditMode::Length, 96, Qt::Key_Plus, 100, 380, 1},
        {ETracksEditMode::Length, 96, Qt::Key_Minus, 100, 284, 1},
        {ETracksEditMode::Length, 0, Qt::Key_Plus, 100, 301, 1},
        {ETracksEditMode::Length, 96, Qt::Key_BracketRight, 100, 672, 1},
        {ETracksEditMode::Length, 0, Qt::Key_BracketLeft, 100, 300, 1}, // would be <= 0: nothing
    };
    MakeSong(3, {{1, 100, 400}});
    for (const SRow& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << static_cast<int>(row.mode) << " snap " << row.snap << " key " << row.key);
        Context().SetEditMode(row.mode);
        Context().SetSnap(CNoteValue(row.snap));
        Canvas().ClearSelection();
        Canvas().setFocus();
        Key(row.key); // nothing current: the key picks the clip and nudges it
        int track = -1;
        for (int t = 0; t < 3; ++t)
            if (m_doc->GetTracks().GetAt(t)->GetClipCount() == 1) track = t;
        ASSERT_GE(track, 0);
        EXPECT_EQ(track, row.wantTrack);
        EXPECT_EQ(ClipAt(track, 0).GetStart(), row.wantStart);
        EXPECT_EQ(ClipAt(track, 0).GetLength(), row.wantLength);
        while (m_doc->CanUndo())
            m_doc->Undo();
        EXPECT_EQ(ClipAt(1, 0).GetStart(), 100);
        EXPECT_EQ(ClipAt(1, 0).GetLength(), 300);
    }
}

TEST_F(CTracksViewTest, ToolGesturesRunOneNamedOperationEach)
{
    MakeSong(2, {{0, 0, 384}, {0, 384, 768}, {1, 0, 384}});
    // Double click on empty space: a clip of the new-clip length on that track.
    QTest::mouseDClick(Viewport(), Qt::LeftButton, Qt::NoModifier, At(1000, 1));
    EXPECT_NE(LastEntry().find("Create Clip"), std::string::npos);
    ASSERT_EQ(m_doc->GetTracks().GetAt(1)->GetClipCount(), 2);
    EXPECT_EQ(ClipAt(1, 1).GetStart(), 960);
    EXPECT_EQ(ClipAt(1, 1).GetLength(), m_doc->NewClipLength());

    // Scissors: a point that snaps to the clip's end does not split; one inside does.
    Canvas().SetTool(ETracksTool::Scissors);
    const std::size_t before = m_doc->GetDoneCount();
    Click(At(380, 0));
    EXPECT_EQ(m_doc->GetDoneCount(), before);
    Click(At(190, 0));
    EXPECT_NE(LastEntry().find("Split Clip"), std::string::npos);
    EXPECT_EQ(m_doc->GetTracks().GetAt(0)->GetClipCount(), 3);

    // Glue: Shift-click two clips.
    Canvas().SetTool(ETracksTool::Glue);
    Click(At(10, 0));
    Click(At(200, 0), Qt::ShiftModifier);
    EXPECT_NE(LastEntry().find("Merge two Clips"), std::string::npos);
    EXPECT_EQ(m_doc->GetTracks().GetAt(0)->GetClipCount(), 2);

    // Eraser: a right click shows no menu and deletes nothing; a click deletes. The select
    // tool's right click on the same clip does show its menu.
    auto rightClick = [this](const QPoint& p) {
        QTest::mouseClick(Viewport(), Qt::RightButton, Qt::NoModifier, p);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, p, Viewport()->mapToGlobal(p));
        QApplication::sendEvent(Viewport(), &menu);
        QWidget* popup = QApplication::activePopupWidget();
        if (popup != nullptr) popup->close();
        return popup != nullptr;
    };
    Canvas().SetTool(ETracksTool::Eraser);
    EXPECT_FALSE(rightClick(At(500, 0)));
    EXPECT_EQ(m_doc->GetTracks().GetAt(0)->GetClipCount(), 2);
    Canvas().SetTool(ETracksTool::Select);
    EXPECT_TRUE(rightClick(At(500, 0)));
    Canvas().SetTool(ETracksTool::Eraser);
    Click(At(500, 0));
    EXPECT_NE(LastEntry().find("Delete Clip(s)"), std::string::npos);
    EXPECT_EQ(m_doc->GetTracks().GetAt(0)->GetClipCount(), 1);
    EXPECT_TRUE(Canvas().GetSelection().empty());

    // Select: a band over both tracks, then Delete from the keyboard.
    Canvas().SetTool(ETracksTool::Select);
    QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, At(3000, 1));
    QTest::mouseMove(Viewport(), At(2500, 1));
    QTest::mouseMove(Viewport(), At(-1, 0) + QPoint(2, -5));
    QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier, At(0, 0) + QPoint(1, -5));
    EXPECT_EQ(Canvas().GetSelection().size(), 3u);
    Key(Qt::Key_Delete);
    EXPECT_EQ(m_doc->GetTracks().GetAt(0)->GetClipCount() +
                  m_doc->GetTracks().GetAt(1)->GetClipCount(),
              0);
}

TEST_F(CTracksViewTest, KeyboardAloneArrangesASong)
{
    MakeSong(3, {{0, 0, 384}, {0, 768, 1152}, {2, 700, 900}});
    Canvas().setFocus();
    Key(Qt::Key_Right); // picks the first clip of the first track with clips
    EXPECT_EQ(Canvas().GetCurrent().clip, &ClipAt(0, 0));
    Key(Qt::Key_Right);
    EXPECT_EQ(Canvas().GetCurrent().clip, &ClipAt(0, 1));
    Key(Qt::Key_Right); // the end: nothing happens
    EXPECT_EQ(Canvas().GetCurrent().clip, &ClipAt(0, 1));
    Key(Qt::Key_Down, Qt::ShiftModifier); // track 2 has no clips: track 3, closest start
    EXPECT_EQ(Canvas().GetCurrent().clip, &ClipAt(2, 0));
    EXPECT_EQ(Canvas().GetSelection().size(), 2u);

    Key(Qt::Key_D);
    EXPECT_NE(LastEntry().find("Duplicate Clip(s)"), std::string::npos);
    EXPECT_EQ(m_doc->GetTracks().GetAt(0)->GetClipCount(), 3);

    // Copy and paste at the song position on the current track.
    Canvas().SelectOnly({&ClipAt(0, 0), 0});
    Canvas().SetCurrent({&ClipAt(0, 0), 0});
    ASSERT_TRUE(Canvas().CopySelection());
    m_doc->SetSongPosition(3000);
    ASSERT_TRUE(Canvas().Paste());
    EXPECT_NE(LastEntry().find("Paste Clip(s)"), std::string::npos);
    EXPECT_NE(m_doc->GetTracks().GetAt(0)->ClipAt(2976), nullptr);

    // Rename in place: F2, type, Return.
    Key(Qt::Key_Right);
    Key(Qt::Key_F2);
    auto* editor = Canvas().findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());
    editor->setText("Chorus");
    const std::size_t done = m_doc->GetDoneCount();
    QTest::keyClick(editor, Qt::Key_Return); // Return stays with the editor: no Open Editor
    EXPECT_EQ(Canvas().GetCurrent().clip->GetName(), "Chorus");
    EXPECT_EQ(m_doc->GetDoneCount(), done); // "Clip Rename" is not kept for undo
    EXPECT_FALSE(editor->isVisible());
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == &Canvas() || Canvas().isAncestorOf(focus)) << [focus] {
        std::string chain;
        for (QWidget* w = focus; w != nullptr; w = w->parentWidget())
            chain += std::string(w->metaObject()->className()) + "<";
        return chain;
    }();
}

TEST_F(CTracksViewTest, DropsMoveCopyOrCreateAndSkipNoChange)
{
    MakeSong(2, {{0, 384, 768}});
    auto bank = std::make_unique<CPhraseBank>("B");
    auto phrase = std::make_unique<CPhrase>();
    phrase->SetLength(192);
    phrase->SetName("P");
    phrase->SetId(m_doc->NewObjectId());
    bank->InsertAt(0, std::move(phrase));
    m_doc->InsertBank(-1, std::move(bank));
    CPhraseBank& b = m_doc->GetBankAt(0);
    const CTracksGeometry& g = Context().Geometry();
    auto dropClip = [&](tick at, int row, bool control) {
        CClip& clip = ClipAt(0, 0);
        CDragClips payload(*m_doc, {{&clip, 0}}, clip.GetStart(), 0, 10, 0);
        const QPoint p = At(at + 10, row);
        return Canvas().Drop(payload, CDragPoint{p.x(), p.y(), control});
    };
    EXPECT_FALSE(dropClip(384, 0, false)); // its own place: nothing
    EXPECT_EQ(m_doc->GetDoneCount(), 0u);
    EXPECT_TRUE(dropClip(768, 1, true));
    EXPECT_NE(LastEntry().find("Copy Clip(s)"), std::string::npos);
    EXPECT_EQ(m_doc->GetTracks().GetAt(1)->GetClipCount(), 1);
    EXPECT_TRUE(dropClip(0, 0, false));
    EXPECT_NE(LastEntry().find("Move Clip(s)"), std::string::npos);
    EXPECT_EQ(ClipAt(0, 0).GetStart(), 0);

    // A phrase that would end at or before tick 0 makes nothing; one in sight makes a clip.
    Context().SetLeftTick(0);
    const std::size_t done = m_doc->GetDoneCount();
    CDragPhrase phrasePayload(*m_doc, b.GetPhraseAt(0), b, 0);
    const QPoint left(g.TickToX(-200), g.RowToY(1) + 2);
    EXPECT_FALSE(Canvas().Drop(phrasePayload, CDragPoint{left.x(), left.y(), true}));
    EXPECT_EQ(m_doc->GetDoneCount(), done);
    const QPoint inside = At(1536, 1);
    EXPECT_TRUE(Canvas().Drop(phrasePayload, CDragPoint{inside.x(), inside.y(), true}));
    EXPECT_NE(LastEntry().find("Create Clip"), std::string::npos);
    EXPECT_EQ(m_doc->GetTracks().GetAt(1)->GetClipCount(), 2);
    // A move from this project's bank takes the phrase out of the bank.
    EXPECT_TRUE(
        Canvas().Drop(phrasePayload, CDragPoint{inside.x(), inside.y() - g.GetRowHeight(), false}));
    EXPECT_NE(LastEntry().find("Move Phrase"), std::string::npos);
    EXPECT_EQ(b.GetCount(), 0);
}

TEST_F(CTracksViewTest, WindowRecordRoundTripsAndOutOfRangeValuesAreClamped)
{
    MakeSong(40, {{0, 0, 384}});
    Context().ZoomHorizontal(1);
    Context().SetFirstRow(5);
    Context().SetEditMode(ETracksEditMode::Length);
    Canvas().SetTool(ETracksTool::Glue);
    const std::vector<uint8_t> saved = m_editor->SaveViewState();
    ASSERT_EQ(saved.size(), 30u);
    CTracksEditor fresh(*m_doc);
    fresh.resize(900, 500);
    fresh.RestoreViewState(saved);
    EXPECT_EQ(fresh.SaveViewState(), saved);

    CViewStateWriter bad;
    for (int32_t v : {-5000, 100000, 999, -7, 17, 42})
        bad.Int32(v);
    bad.Int16(-1);
    bad.Int32(13); // not a note value
    fresh.RestoreViewState(bad.Take());
    const CTracksGeometry& g = fresh.Context().Geometry();
    EXPECT_EQ(g.GetLeftTick(), 0);
    EXPECT_LE(g.GetFirstRow(), g.GetContentRows());
    EXPECT_EQ(g.GetScale(), CTracksGeometry::kMaxScale);
    EXPECT_EQ(g.GetRowHeight(), CTracksGeometry::kMinRowHeight);
    EXPECT_EQ(fresh.Context().GetEditMode(), ETracksEditMode::Length);
    EXPECT_EQ(fresh.Canvas().GetTool(), ETracksTool::Glue);
    EXPECT_EQ(fresh.Context().GetSnap().GetTicks(), 96);
}

// Content reaches the screen two ways: painted straight onto it, or through the cache when an
// overlay moves. Both must give the same picture, at any pixel ratio, with clips that touch,
// overlap, are selected or are narrower than their border.
TEST_F(CTracksViewTest, ContentPaintedDirectlyMatchesTheCachedPicture)
{
    MakeSong(6, {{0, 0, 384},
                 {0, 384, 768},
                 {1, 100, 101},
                 {1, 200, 900},
                 {2, 300, 700},
                 {2, 500, 1200},
                 {4, 0, 3840}});
    Canvas().SelectOnly({&ClipAt(1, 1), 1});
    Canvas().InvalidateContent();
    const QImage direct = Canvas().viewport()->grab().toImage();
    Canvas().RepaintStrip(Canvas().viewport()->rect());
    const QImage cached = Canvas().viewport()->grab().toImage();
    ASSERT_FALSE(direct.isNull());
    EXPECT_EQ(direct, cached);
}

// Rows whose boxes stand apart are drawn by scanlines with cached name labels; rows with
// overlapping boxes, and every row when that way is off, are drawn box by box by the painter. Both
// must give the same pixels, for plain, selected, current and hair-thin clips, names that fit and
// names cut short, loop points over boxes and between them, and rows tall enough for notes,
// whether the whole canvas is painted or an odd piece of it, at the window's pixel ratio and at
// 1.5 (where the painter draws the names).
TEST_F(CTracksViewTest, ScanlineRowsMatchTheBoxByBoxPicture)
{
    // Row 0: boxes of one length and colour with other names, which must not share a label.
    MakeSong(7, {{0, 0, 384},
                 {0, 384, 768},
                 {0, 768, 2688},
                 {0, 2688, 4608},
                 {1, 100, 101},
                 {1, 101, 103},
                 {1, 200, 900},
                 {2, 300, 700},
                 {2, 500, 1200},
                 {3, 0, 3840},
                 {4, 96, 200},
                 {5, 1900, 2400},
                 {6, 0, 96},
                 {6, 192, 6000}});
    for (int row = 0; row < 7; ++row) {
        CTrack& track = *m_doc->GetTracks().GetAt(row);
        for (int32_t i = 0; i < track.GetClipCount(); ++i) {
            // Light and dark boxes (black and white names), short and long names.
            track.GetClipAt(i).SetColour(row % 2 == 0 ? 0xE0F0F0 : 0x402010 * (i + 1));
            track.GetClipAt(i).SetName(i % 2 == 0 ? "Verse" : "A much longer name than fits");
        }
    }
    for (int clip = 0; clip < 16; ++clip) {
        auto extra = std::make_unique<CClip>(400 + clip * 80, 460 + clip * 80,
                                             NumberedName("x", clip), 0x101010 * clip);
        extra->SetId(m_doc->NewObjectId());
        m_doc->GetTracks().GetAt(4)->AddClip(std::move(extra));
    }
    for (int n = 0; n < 12; ++n) {
        ClipAt(3, 0).GetNotes().Append(CNote(n * 300, n * 300 + 200, uint8_t(50 + n), 100, 64));
        ClipAt(2, 0).GetNotes().Append(CNote(n * 30, n * 30 + 20, uint8_t(70 - n), 100, 64));
    }
    m_doc->SetLoopStart(150);
    m_doc->SetLoopEnd(1000);
    Canvas().SelectOnly({&ClipAt(2, 0), 2});
    Canvas().SetCurrent({&ClipAt(0, 1), 0});
    Canvas().activateWindow();
    Canvas().setFocus();
    Settle();
    ASSERT_TRUE(Canvas().hasFocus());
    for (const int rowHeight :
         {CTracksGeometry::kDefaultRowHeight, CTracksGeometry::kMaxRowHeight}) {
        Context().Geometry().SetRowHeight(rowHeight);
        m_editor->TracksChanged();
        for (const qreal ratio : {Canvas().devicePixelRatioF(), 1.5}) {
            for (const QRect& piece :
                 {Viewport()->rect(), QRect(13, 7, 301, 55), QRect(0, 31, 899, 3)}) {
                SCOPED_TRACE(testing::Message()
                             << "row height " << rowHeight << ", ratio " << ratio << ", piece "
                             << piece.x() << "," << piece.y() << " " << piece.width());
                EXPECT_EQ(CanvasPicture(Canvas(), true, ratio, piece),
                          CanvasPicture(Canvas(), false, ratio, piece));
            }
        }
    }
}

TEST_F(CTracksViewTest, ScrolledPicturesMatchFreshOnes)
{
    std::vector<std::tuple<int, tick, tick>> clips;
    for (int row = 0; row < 60; ++row)
        clips.emplace_back(row, row * 40, row * 40 + 300 + row * 7);
    MakeSong(60, clips);
    Canvas().window()->resize(1200, 800);
    WindowsOf(*m_doc).GetFrame(EWindowKind::Tracks)->move(0, 0);
    Settle();
    QWidget& list = m_editor->TrackList();
    // The part of the widget inside its window, as on the screen and as painted afresh.
    const auto shown = [](QWidget& widget) { return widget.visibleRegion().boundingRect(); };
    const auto onScreen = [&](QWidget& widget) {
        QBackingStore* store = widget.window()->backingStore();
        EXPECT_EQ(store->paintDevice()->devType(), QInternal::Image);
        const auto& screen = *static_cast<const QImage*>(store->paintDevice());
        const qreal ratio = widget.devicePixelRatioF();
        const QRect part = shown(widget);
        const QRect rect(widget.mapTo(widget.window(), part.topLeft()) * ratio,
                         part.size() * ratio);
        return screen.copy(rect).convertToFormat(QImage::Format_RGB32);
    };
    for (const int notches : {3, -1, 5, -7, 2}) {
        const int32_t before = Context().Geometry().GetFirstRow();
        for (int i = 0; i < std::abs(notches); ++i) {
            QWheelEvent wheel(QPointF(50, 50), Viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                              QPoint(0, notches > 0 ? -120 : 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(Viewport(), &wheel);
        }
        Settle();
        SCOPED_TRACE(testing::Message() << "first row " << Context().Geometry().GetFirstRow());
        ASSERT_NE(Context().Geometry().GetFirstRow(), before);
        for (QWidget* widget : {static_cast<QWidget*>(&list), Viewport()}) {
            ASSERT_GT(shown(*widget).width(), 100);
            QImage fresh =
                widget->grab(shown(*widget)).toImage().convertToFormat(QImage::Format_RGB32);
            fresh.setDevicePixelRatio(1);
            EXPECT_EQ(onScreen(*widget), fresh);
        }
    }
}

TEST_F(CTracksViewTest, PlayingPositionRepaintsStripsNotTheContent)
{
    MakeSong(4, {{0, 0, 3840}, {1, 0, 3840}});
    Canvas().repaint();
    // A full frame goes straight to the screen; the first overlay move fills the cache.
    m_doc->FollowPlayerPosition(960);
    m_editor->SongPositionChanged();
    Canvas().viewport()->repaint();
    const int64_t paints = Canvas().GetContentPaints();
    for (tick t = 0; t < 384; t += 24) {
        m_doc->FollowPlayerPosition(t);
        m_editor->SongPositionChanged();
        Canvas().viewport()->repaint();
        QApplication::processEvents();
    }
    // The whole viewport was exposed each time, but its picture came from the cache.
    EXPECT_EQ(Canvas().GetContentPaints(), paints);
}

// Clicks, bands, edge drags, keys, tools and undo/redo at random; after every step the selection
// names only clips the project holds, and undoing a round gives back the project it started from.
TEST_F(CTracksViewTest, RandomGesturesKeepTheSelectionSoundAndUndoCleanly)
{
    std::vector<std::tuple<int, tick, tick>> clips;
    std::mt19937 seed(20261207);
    for (int i = 0; i < 24; ++i) {
        const tick start = static_cast<tick>(seed() % 40) * 96;
        clips.emplace_back(static_cast<int>(seed() % 6), start, start + 96 + seed() % 700);
    }
    MakeSong(6, clips);
    auto holds = [this](const CClip* clip) { return m_doc->IndexOfTrackWithClip(clip) >= 0; };
    const int keys[] = {
        Qt::Key_Left,  Qt::Key_Right,        Qt::Key_Up, Qt::Key_Down,   Qt::Key_Plus,
        Qt::Key_Minus, Qt::Key_BracketRight, Qt::Key_D,  Qt::Key_Delete, Qt::Key_P,
        Qt::Key_L,     Qt::Key_Slash,        Qt::Key_J,  Qt::Key_Escape};
    for (int round = 0; round < 6; ++round) {
        const std::string start = ProjectToJson(*m_doc);
        const std::size_t base = m_doc->GetDoneCount();
        for (int step = 0; step < 40 && m_doc->GetDoneCount() < base + 15; ++step) {
            const QPoint p(static_cast<int>(seed() % 880), static_cast<int>(seed() % 420));
            switch (seed() % 6) {
            case 0:
                Click(p, seed() % 3 == 0 ? Qt::ShiftModifier : Qt::NoModifier);
                break;
            case 1: // a band, or an edge drag when it starts on a clip's edge
                if (Canvas().HitTest(p).zone == EClipZone::Body) break; // would start a real drag
                QTest::mousePress(Viewport(), Qt::LeftButton, Qt::NoModifier, p);
                QTest::mouseMove(Viewport(), p + QPoint(static_cast<int>(seed() % 200) - 100, 30));
                QTest::mouseRelease(Viewport(), Qt::LeftButton, Qt::NoModifier,
                                    p + QPoint(static_cast<int>(seed() % 200) - 100, 30));
                break;
            case 2:
            case 3:
                Key(keys[seed() % std::size(keys)],
                    seed() % 4 == 0 ? Qt::ShiftModifier : Qt::NoModifier);
                break;
            case 4:
                Canvas().SetTool(static_cast<ETracksTool>(seed() % 4));
                break;
            case 5:
                if (seed() % 2 == 0 && m_doc->GetDoneCount() > base)
                    m_doc->Undo();
                else
                    m_doc->Redo();
                break;
            }
            for (const CClipRef& ref : Canvas().GetSelection()) {
                ASSERT_TRUE(holds(ref.clip)) << "round " << round << " step " << step;
                EXPECT_EQ(m_doc->IndexOfTrackWithClip(ref.clip), ref.track);
            }
            const CClip* current = Canvas().GetCurrent().clip;
            ASSERT_TRUE(current == nullptr || holds(current));
        }
        const std::string end = ProjectToJson(*m_doc);
        while (m_doc->GetDoneCount() > base)
            m_doc->Undo();
        EXPECT_EQ(ProjectToJson(*m_doc), start) << "round " << round;
        while (m_doc->CanRedo())
            m_doc->Redo();
        EXPECT_EQ(ProjectToJson(*m_doc), end) << "round " << round;
        // Back to the start, so that no step of the next round folds into this round's last.
        while (m_doc->GetDoneCount() > base)
            m_doc->Undo();
        Canvas().SetTool(ETracksTool::Select);
    }
}

} // namespace
