#include "editors/ViewPianoRoll.h"

#include <QFocusEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

#include "controls/Theme.h"
#include "devices/MidiNames.h"
#include "document/OperationProject.h"
#include "document/ProjectDoc.h"
#include "editors/PianoRollContext.h"
#include "editors/ScanlineRaster.h"
#include "editors/WheelTable.h"
#include "engine/MidiEngineProxy.h"
#include "model/MidiData.h"

namespace {

const QColor kCanvasBackground(32, 40, 52);
const QColor kGrey(128, 128, 128);
const QColor kDimGrey(105, 105, 105);
const QColor kNoteFrame(211, 211, 211);
// The selection rectangle inverts the blue of what is under it.
const QColor kAreaXor(0, 0, 255);

// One line at the bottom of every pitch row; C rows brighter.
QColor RowLineColour(int32_t pitch)
{
    return pitch % 12 == 0 ? kGrey : kDimGrey;
}
const QColor kCursor(255, 200, 40);
// Grid lines closer than this are left out: they would only paint the canvas grey.
constexpr int kMinGridSpacing = 4;

QColor Inverted(const QColor& colour)
{
    return QColor(255 - colour.red(), 255 - colour.green(), 255 - colour.blue());
}

// A frame of the given width inside box.
void FillFrame(QPainter& painter, const QRect& box, int width, const QColor& colour)
{
    painter.fillRect(QRect(box.left(), box.top(), box.width(), width), colour);
    painter.fillRect(QRect(box.left(), box.bottom() - width + 1, box.width(), width), colour);
    painter.fillRect(QRect(box.left(), box.top(), width, box.height()), colour);
    painter.fillRect(QRect(box.right() - width + 1, box.top(), width, box.height()), colour);
}

void FillBox(QPainter& painter, const QRect& box, const QColor& frame, const QColor& inside)
{
    if (box.width() <= 2 || box.height() <= 2) {
        painter.fillRect(box, frame);
        return;
    }
    // Each pixel written once: the inside, then the frame's four sides.
    painter.fillRect(box.adjusted(1, 1, -1, -1), inside);
    FillFrame(painter, box, 1, frame);
}

// The note boxes of one paint, drawn in batches: all frames, then all insides, each batch in one
// call (a call per box costs more than its pixels). Boxes of one row that overlap would show in
// the wrong order within a batch, so such a box first flushes the batch.
class CNoteBoxes {
public:
    CNoteBoxes(QPainter& painter, const QColor& fill, const QColor& selected)
        : m_painter(painter), m_fill(fill), m_selected(selected)
    {
        m_rowEnd.fill(INT_MIN);
    }

    void Add(const QRect& box, int32_t pitch, bool selected)
    {
        if (box.left() < m_rowEnd[static_cast<size_t>(pitch)]) Flush();
        m_rowEnd[static_cast<size_t>(pitch)] = box.right() + 1;
        m_frames.push_back(box);
        if (box.width() > 2 && box.height() > 2)
            (selected ? m_selectedInsides : m_insides).push_back(box.adjusted(1, 1, -1, -1));
    }

    void Flush()
    {
        if (m_frames.empty()) return;
        m_painter.setPen(Qt::NoPen);
        Draw(m_frames, kNoteFrame);
        Draw(m_insides, m_fill);
        Draw(m_selectedInsides, m_selected);
        m_rowEnd.fill(INT_MIN);
    }

private:
    void Draw(std::vector<QRect>& rects, const QColor& colour)
    {
        if (rects.empty()) return;
        m_painter.setBrush(colour);
        m_painter.drawRects(rects.data(), static_cast<int>(rects.size()));
        rects.clear();
    }

    QPainter& m_painter;
    QColor m_fill;
    QColor m_selected;
    std::vector<QRect> m_frames;
    std::vector<QRect> m_insides;
    std::vector<QRect> m_selectedInsides;
    // Where the last box of each row ends, since the last flush.
    std::array<int, 128> m_rowEnd{};
};

QString NoteName(int32_t pitch)
{
    return QString::fromStdString(KeyName(static_cast<uint8_t>(std::clamp(pitch, 0, 127))));
}

} // namespace

CViewPianoRoll::CViewPianoRoll(CPianoRollContext& context, QWidget* parent)
    : CCanvasView(parent), m_context(context)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    horizontalScrollBar()->setSingleStep(kTicksPerQuarter);
    verticalScrollBar()->setSingleStep(1);
    connect(&context, &CPianoRollContext::ViewChanged, this, &CViewPianoRoll::OnViewChanged);
    connect(&context, &CPianoRollContext::CursorMoved, this, &CViewPianoRoll::OnCursorMoved);
    connect(&context, &CPianoRollContext::ShownPositionChanged, this,
            &CViewPianoRoll::OnShownPositionChanged);
    connect(&context, &CPianoRollContext::ContentChanged, this, [this] { ModelChanged(); });
    connect(&context, &CPianoRollContext::GridChanged, this, [this] { InvalidateContent(); });
    connect(&context, &CPianoRollContext::DefaultNoteChanged, this, [this] { UpdateStatus(); });
    connect(&context, &CPianoRollContext::BatchBegun, this, [this] { BeginBatch(); });
    connect(&context, &CPianoRollContext::BatchEnded, this, [this] { EndBatch(); });
}

CViewPianoRoll::~CViewPianoRoll() = default;

// ---- selection ----

bool CViewPianoRoll::IsSelected(const CNote& note) const
{
    return !m_selected.IsEmpty() && m_selected.FindEqual(note) >= 0;
}

void CViewPianoRoll::ClearSelection()
{
    m_anchored = false;
    if (IsEmptyArea(m_area) && m_selected.IsEmpty()) return;
    InvalidateSelection();
    m_selected.Clear();
    m_area = {};
    UpdateStatus();
}

void CViewPianoRoll::SelectArea(const CNoteArea& area)
{
    SetSelection(NotesStartingIn(m_context.GetData().GetNotes(), area), area);
}

void CViewPianoRoll::SetSelection(const CNoteList& notes, const CNoteArea& area)
{
    // A selection set from outside starts the next Shift extension afresh.
    m_anchored = false;
    InvalidateSelection();
    m_selected = notes;
    m_area = area;
    InvalidateSelection();
    UpdateStatus();
}

void CViewPianoRoll::SelectAll()
{
    m_anchored = false;
    SelectArea({0, 0, std::max<tick>(1, m_context.GetLength()), 128});
}

std::optional<CNote> CViewPianoRoll::CurrentNote() const
{
    const CNoteList& notes = m_context.GetData().GetNotes();
    const CPianoRollCursor& cursor = m_context.GetCursor();
    for (int i = notes.FindFirstAtOrAfter(0, cursor.m_tick); i < notes.GetCount(); ++i) {
        const CNote& note = notes[i];
        if (note.m_start != cursor.m_tick) break;
        if (note.m_pitch == cursor.m_pitch) return note;
    }
    return std::nullopt;
}

// ---- cursor ----

tick CViewPianoRoll::TickAt(int32_t x) const
{
    return m_context.GetGrid().FloorToGrid(std::max<tick>(0, m_context.Geometry().XToTick(x)));
}

int32_t CViewPianoRoll::PitchAt(int32_t y) const
{
    return std::clamp(m_context.Geometry().YToPitch(y), 0, 127);
}

void CViewPianoRoll::MoveCursor(tick at, int32_t pitch, bool extend)
{
    const CPianoRollCursor before = m_context.GetCursor();
    if (extend && !m_anchored) {
        m_anchored = true;
        m_anchorTick = before.m_tick;
        m_anchorPitch = before.m_pitch;
    }
    m_context.SetCursor(at, pitch);
    const CPianoRollCursor& cursor = m_context.GetCursor();
    if (extend) {
        SelectArea(SpannedArea(m_anchorTick, m_anchorPitch, cursor.m_tick, cursor.m_pitch,
                               m_context.GetGrid()));
        m_anchored = true;
        return;
    }
    m_anchored = false;
    if (const std::optional<CNote> current = CurrentNote()) {
        CNoteList one;
        one.Append(*current);
        SetSelection(one, CNoteArea{});
    } else {
        ClearSelection();
    }
}

QRect CViewPianoRoll::CellRect(tick from, tick to, int32_t pitch) const
{
    const CPianoRollGeometry& g = m_context.Geometry();
    const int x1 = g.TickToX(from);
    const int x2 = g.TickToX(to);
    return QRect(x1, g.PitchToY(pitch), std::max(1, x2 - x1), g.GetPitchHeight());
}

QRect CViewPianoRoll::AreaRect(const CNoteArea& area) const
{
    const CPianoRollGeometry& g = m_context.Geometry();
    const int x1 = g.TickToX(area.m_from);
    const int x2 = g.TickToX(area.m_to);
    const int top = g.PitchToY(area.m_pitchB - 1);
    const int bottom = g.PitchToY(area.m_pitchA) + g.GetPitchHeight();
    return QRect(x1, top, std::max(1, x2 - x1), std::max(1, bottom - top));
}

QRect CViewPianoRoll::CursorRect(const CPianoRollCursor& cursor) const
{
    return CellRect(cursor.m_tick, TickSum(cursor.m_tick, cursor.m_length), cursor.m_pitch)
        .adjusted(-2, -2, 2, 2);
}

void CViewPianoRoll::OnCursorMoved(const CPianoRollCursor& from)
{
    // The cursor is an overlay; the current note's white frame is content.
    RepaintStrip(CursorRect(from));
    RepaintStrip(CursorRect(m_context.GetCursor()));
    InvalidateContent(CellRect(from.m_tick, TickSum(from.m_tick, LongestNote()), from.m_pitch)
                          .adjusted(-1, -1, 1, 1));
    if (const std::optional<CNote> current = CurrentNote())
        InvalidateContent(
            CellRect(current->m_start, current->m_end, current->m_pitch).adjusted(-1, -1, 1, 1));
    UpdateStatus();
}

// ---- running operations ----

bool CViewPianoRoll::AskExtend() const
{
    return m_context.Ask(ERememberedQuestion::AutoExtendSequence);
}

bool CViewPianoRoll::Run(std::unique_ptr<COperation> op)
{
    m_context.BeginBatch();
    const bool done = m_context.GetDoc().Execute(std::move(op));
    m_longest.reset();
    m_context.UpdateContent();
    m_context.EndBatch();
    UpdateStatus();
    return done;
}

void CViewPianoRoll::Audition(const CNoteList& notes) const
{
    CProjectDoc& doc = m_context.GetDoc();
    if (notes.IsEmpty() || !doc.IsActive()) return;
    doc.GetEngineProxy().AuditionNotes(m_context.GetData(), notes);
}

// ---- the project's calls ----

void CViewPianoRoll::RefreshNotes(const CNoteArea& area)
{
    m_longest.reset();
    // Boxes of notes that reach past the area are redrawn whole.
    CNoteArea wide = area;
    wide.m_to = TickSum(wide.m_to, 1);
    InvalidateArea(wide);
    UpdateStatus();
}

void CViewPianoRoll::LengthChanged()
{
    m_longest.reset();
    m_context.UpdateContent();
    InvalidateContent();
    UpdateStatus();
}

void CViewPianoRoll::ModelChanged()
{
    // Selected notes that the container no longer holds are dropped.
    const CNoteList& notes = m_context.GetData().GetNotes();
    CNoteList kept;
    for (const CNote& note : m_selected) {
        if (notes.FindEqual(note) >= 0) kept.Append(note);
    }
    m_selected = std::move(kept);
    m_longest.reset();
    m_context.UpdateContent();
    InvalidateContent();
    UpdateStatus();
}

tick CViewPianoRoll::LongestNote() const
{
    if (!m_longest) {
        tick longest = 0;
        for (const CNote& note : m_context.GetData().GetNotes())
            longest = std::max(longest, note.GetLength());
        m_longest = longest;
    }
    return *m_longest;
}

// ---- painting ----

void CViewPianoRoll::InvalidateArea(const CNoteArea& area)
{
    if (IsEmptyArea(area)) return;
    InvalidateContent(AreaRect(area).adjusted(-2, -2, 2, 2));
}

void CViewPianoRoll::InvalidateSelection()
{
    InvalidateArea(m_area);
    if (m_selected.IsEmpty()) return;
    InvalidateArea(AreaWithNotes(CNoteArea{}, m_selected));
}

// The vertical lines under the notes, in drawing order: grid lines (bars two pixels wide, beats
// one, finer steps dotted) where they are far enough apart, then the phrase's two ends.
std::vector<CViewPianoRoll::SVerticalLine> CViewPianoRoll::VerticalLines(const QRect& exposed) const
{
    std::vector<SVerticalLine> lines;
    const CPianoRollGeometry& g = m_context.Geometry();
    const tick left = g.XToTick(exposed.left());
    const tick right = TickSum(g.XToTick(exposed.right() + 1), 1);
    const tick offset = m_context.GetOffset();
    const tick grid = m_context.GetGrid().GetTicks();
    if (grid > 0 && int64_t{grid} * g.GetScale() / kTicksPerQuarter >= kMinGridSpacing) {
        const tick bar = m_context.TicksPerBar();
        const tick beat = m_context.TicksPerBeat();
        for (int64_t t = std::max<tick>(0, left) / grid * grid; t <= right; t += grid) {
            const int x = g.TickToX(static_cast<tick>(t));
            const int64_t song = t + offset;
            if (song % bar == 0)
                lines.push_back({x, 2, kGrey.rgb(), false});
            else if (song % beat == 0)
                lines.push_back({x, 1, kDimGrey.rgb(), false});
            else
                lines.push_back({x, 1, kDimGrey.rgb(), true});
        }
    }
    for (const tick edge : {tick{0}, m_context.GetData().GetLength()})
        lines.push_back({g.TickToX(edge), 2, kGrey.rgb(), false});
    return lines;
}

void CViewPianoRoll::PaintContent(QPainter& painter, const QRect& exposed)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    const std::vector<SVerticalLine> lines = VerticalLines(exposed);
    CScanlineRaster raster(painter, exposed);
    if (raster.IsValid())
        ComposeContent(raster, exposed, lines);
    else
        PaintLayers(painter, exposed, lines);
}

// Layer by layer with the painter, where the picture is not a plain image.
void CViewPianoRoll::PaintLayers(QPainter& painter, const QRect& exposed,
                                 const std::vector<SVerticalLine>& lines)
{
    painter.fillRect(exposed, kCanvasBackground);
    const CPianoRollGeometry& g = m_context.Geometry();
    const CMidiData& data = m_context.GetData();
    const int32_t rowHeight = g.GetPitchHeight();
    const int32_t low = std::clamp(g.YToPitch(exposed.bottom()), 0, 127);
    const int32_t high = std::clamp(g.YToPitch(exposed.top()), 0, 127);
    for (int32_t pitch = low; pitch <= high; ++pitch) {
        const int y = g.PitchToY(pitch) + rowHeight - 1;
        painter.fillRect(QRect(exposed.left(), y, exposed.width(), 1), RowLineColour(pitch));
    }
    for (const SVerticalLine& line : lines) {
        if (!line.dotted) {
            painter.fillRect(QRect(line.x, exposed.top(), line.width, exposed.height()),
                             QColor(line.colour));
            continue;
        }
        for (int y = exposed.top() + (exposed.top() & 1); y <= exposed.bottom(); y += 2)
            painter.fillRect(QRect(line.x, y, 1, 1), QColor(line.colour));
    }
    const bool focused = hasFocus();
    if (focused && !IsEmptyArea(m_area)) {
        // Exclusive-or, so that the lines under the rectangle show through inverted.
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.fillRect(AreaRect(m_area), kAreaXor);
        painter.restore();
    }
    const QColor fill = CTheme::FromColourRef(data.GetColour());
    CNoteBoxes boxes(painter, fill, Inverted(fill));
    ForEachVisibleNote(exposed, [&](const CNote& note, bool selected) {
        boxes.Add(CellRect(note.m_start, note.m_end, note.m_pitch), note.m_pitch, selected);
    });
    boxes.Flush();
    if (const std::optional<CNote> current = CurrentNote()) {
        FillBox(painter, CellRect(current->m_start, current->m_end, current->m_pitch), Qt::white,
                focused && IsSelected(*current) ? Inverted(fill) : fill);
    }
}

// Pitch row by pitch row, each as three scanlines (its top, its middle copied down the row, its
// row line) with the notes of the row in them; see CScanlineRaster.
void CViewPianoRoll::ComposeContent(CScanlineRaster& raster, const QRect& exposed,
                                    const std::vector<SVerticalLine>& lines)
{
    const CPianoRollGeometry& g = m_context.Geometry();
    for (std::vector<SRowBox>& row : m_rowBoxes)
        row.clear();
    const bool focused = hasFocus();
    ForEachVisibleNote(exposed, [&](const CNote& note, bool selected) {
        const QRect box = CellRect(note.m_start, note.m_end, note.m_pitch);
        m_rowBoxes[note.m_pitch].push_back({box.left(), box.right() + 1, selected, false});
    });
    if (const std::optional<CNote> current = CurrentNote()) {
        const QRect box = CellRect(current->m_start, current->m_end, current->m_pitch);
        m_rowBoxes[current->m_pitch].push_back(
            {box.left(), box.right() + 1, focused && IsSelected(*current), true});
    }
    const QRgb fill = CTheme::FromColourRef(m_context.GetData().GetColour()).rgb();
    const QRgb inverted = Inverted(QColor(fill)).rgb();
    const bool area = focused && !IsEmptyArea(m_area);
    const QRect areaRect = area ? AreaRect(m_area) : QRect();
    const int height = g.GetPitchHeight();
    // What every scanline has under the notes.
    const auto base = [&](QRgb colour, bool inArea) {
        raster.Fill(exposed.left(), exposed.right() + 1, colour);
        for (const SVerticalLine& line : lines) {
            if (line.dotted)
                raster.FillEvenRows(line.x, line.x + 1, line.colour);
            else
                raster.Fill(line.x, line.x + line.width, line.colour);
        }
        if (inArea) raster.Xor(areaRect.left(), areaRect.right() + 1, kAreaXor.rgb());
    };
    // Frames only (a box's top and bottom scanlines), or frames around insides.
    const auto boxes = [&](int32_t pitch, bool insides) {
        for (const SRowBox& box : m_rowBoxes[static_cast<size_t>(pitch)]) {
            const QRgb frame = box.current ? qRgb(255, 255, 255) : kNoteFrame.rgb();
            raster.Fill(box.x1, box.x2, frame);
            if (insides && box.x2 - box.x1 > 2 && height > 2)
                raster.Fill(box.x1 + 1, box.x2 - 1, box.selected ? inverted : fill);
        }
    };
    const int32_t low = std::clamp(g.YToPitch(exposed.bottom()), 0, 127);
    const int32_t high = std::clamp(g.YToPitch(exposed.top()), 0, 127);
    for (int32_t pitch = high; pitch >= low; --pitch) {
        const int top = g.PitchToY(pitch);
        const int bottom = top + height - 1;
        const bool inArea = area && pitch >= m_area.m_pitchA && pitch < m_area.m_pitchB;
        if (height >= 2) {
            base(kCanvasBackground.rgb(), inArea);
            boxes(pitch, false);
            raster.Emit(top, top + 1);
        }
        if (height >= 3) {
            base(kCanvasBackground.rgb(), inArea);
            boxes(pitch, true);
            raster.Emit(top + 1, bottom);
        }
        base(RowLineColour(pitch).rgb(), inArea);
        boxes(pitch, false);
        raster.Emit(bottom, bottom + 1);
    }
    // Above the highest pitch and below the lowest: the background and the lines.
    base(kCanvasBackground.rgb(), false);
    raster.Emit(exposed.top(), g.PitchToY(127));
    raster.Emit(g.PitchToY(0) + height, exposed.bottom() + 1);
}

// The visible notes in list order, and whether each shows as selected.
void CViewPianoRoll::ForEachVisibleNote(const QRect& exposed,
                                        const std::function<void(const CNote&, bool)>& visit) const
{
    const CPianoRollGeometry& g = m_context.Geometry();
    const int32_t low = std::clamp(g.YToPitch(exposed.bottom()), 0, 127);
    const int32_t high = std::clamp(g.YToPitch(exposed.top()), 0, 127);
    const tick left = g.XToTick(exposed.left());
    const tick right = TickSum(g.XToTick(exposed.right() + 1), 1);
    const bool focused = hasFocus();
    const CNoteList& notes = m_context.GetData().GetNotes();
    for (int i = notes.FindFirstAtOrAfter(0, std::max<tick>(0, left - LongestNote()));
         i < notes.GetCount(); ++i) {
        const CNote& note = notes[i];
        if (note.m_start >= right) break;
        if (note.m_end < left || note.m_pitch < low || note.m_pitch > high) continue;
        visit(note, focused && IsSelected(note));
    }
}

QRect CViewPianoRoll::PositionStrip(tick absolute) const
{
    const int x = m_context.Geometry().TickToX(absolute - m_context.GetOffset());
    return QRect(x - 1, 0, 3, viewport()->height());
}

void CViewPianoRoll::PaintOverlays(QPainter& painter, const QRect& exposed)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    const tick position = m_context.GetShownPosition() - m_context.GetOffset();
    if (position >= 0 && position <= m_context.GetLength()) {
        const int x = m_context.Geometry().TickToX(position);
        if (x >= exposed.left() - 1 && x <= exposed.right() + 1)
            painter.fillRect(QRect(x, 0, 1, viewport()->height()), Qt::white);
    }
    const QRect cursor = CursorRect(m_context.GetCursor()).adjusted(2, 2, -2, -2);
    if (cursor.intersects(exposed.adjusted(-2, -2, 2, 2)))
        FillFrame(painter, cursor, 2, hasFocus() ? kCursor : kDimGrey);
    if (m_dragPayload != nullptr && m_dragPlan.valid) DrawDropPreview(painter, exposed);
}

void CViewPianoRoll::OnShownPositionChanged(tick from, tick to)
{
    RepaintStrip(PositionStrip(from));
    RepaintStrip(PositionStrip(to));
}

// ---- scrolling ----

void CViewPianoRoll::UpdateScrollBars()
{
    const CPianoRollGeometry& g = m_context.Geometry();
    m_syncingScrollBars = true;
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max<tick>(0, g.GetContentTicks() - g.VisibleTicks()));
    h->setPageStep(std::max<tick>(1, g.VisibleTicks()));
    h->setValue(g.GetOriginTick());
    // The scroll bar runs top-down, pitches bottom-up.
    const int32_t rows = std::max(0, CPianoRollGeometry::kPitchCount - g.VisiblePitches());
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, rows);
    v->setPageStep(std::max(1, g.VisiblePitches()));
    v->setValue(rows - g.GetOriginPitch());
    m_syncingScrollBars = false;
}

void CViewPianoRoll::scrollContentsBy(int, int)
{
    if (m_syncingScrollBars) return;
    const CPianoRollGeometry& g = m_context.Geometry();
    const int32_t rows = std::max(0, CPianoRollGeometry::kPitchCount - g.VisiblePitches());
    m_context.BeginBatch();
    m_context.SetOriginTick(horizontalScrollBar()->value());
    m_context.SetOriginPitch(rows - verticalScrollBar()->value());
    m_context.EndBatch();
}

void CViewPianoRoll::OnViewChanged()
{
    UpdateScrollBars();
    InvalidateContent();
}

void CViewPianoRoll::resizeEvent(QResizeEvent* event)
{
    CCanvasView::resizeEvent(event);
    m_context.BeginBatch();
    m_context.Geometry().SetClientSize(viewport()->width(), viewport()->height());
    emit m_context.ViewChanged();
    m_context.EndBatch();
}

void CViewPianoRoll::wheelEvent(QWheelEvent* event)
{
    const QPoint angle = event->angleDelta();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (mods & Qt::ControlModifier) {
        const int direction = (angle.y() != 0 ? angle.y() : angle.x()) > 0 ? 1 : -1;
        if (mods & Qt::ShiftModifier)
            m_context.ZoomVertical(direction);
        else
            m_context.ZoomHorizontalAt(direction, event->position().toPoint().x());
        event->accept();
        return;
    }
    // The horizontal wheel, and Shift with the vertical one, scroll in time.
    int delta = angle.y();
    if (angle.x() != 0 || (mods & Qt::ShiftModifier))
        delta = 2 * (angle.x() != 0 ? angle.x() : angle.y());
    const std::optional<CWheelScroll> scroll = WheelScrollFor(EWheelArea::NoteCanvas, delta);
    if (!scroll) {
        CCanvasView::wheelEvent(event);
        return;
    }
    const CPianoRollGeometry& g = m_context.Geometry();
    if (scroll->axis == CWheelScroll::EAxis::Pitches)
        m_context.SetOriginPitch(g.GetOriginPitch() + scroll->amount);
    else
        m_context.SetOriginTick(g.GetOriginTick() + scroll->amount);
    event->accept();
}

// ---- focus ----

void CViewPianoRoll::focusInEvent(QFocusEvent* event)
{
    CCanvasView::focusInEvent(event);
    m_context.SetFocusSide(CPianoRollContext::kFocusNotes);
    // Selection colours and the cursor depend on the focus.
    InvalidateSelection();
    RepaintStrip(CursorRect(m_context.GetCursor()));
}

void CViewPianoRoll::focusOutEvent(QFocusEvent* event)
{
    CCanvasView::focusOutEvent(event);
    InvalidateSelection();
    RepaintStrip(CursorRect(m_context.GetCursor()));
}

// ---- status ----

QString CViewPianoRoll::CursorText() const
{
    const CPianoRollCursor& cursor = m_context.GetCursor();
    const CTimeSignature& signature = m_context.GetDoc().GetTimeSignature();
    const std::optional<CNote> current = CurrentNote();
    const CDefaultNote& def = m_context.GetDefaultNote();
    const tick length = current ? current->GetLength() : def.m_length;
    const int velocity = current ? current->m_velocity : def.m_velocity;
    const int off = current ? current->m_offVelocity : def.m_offVelocity;
    return QStringLiteral("%1<<Text>>Time <<Value>>%2 <<Text>>Note <<Value>>%3 "
                          "<<Text>>Len <<Value>>%4 <<Text>>Vel <<Value>>%5 <<Text>>Off "
                          "<<Value>>%6")
        .arg(current ? QStringLiteral("<<Desc>>Current ") : QStringLiteral("<<Desc>>Default "),
             QString::fromStdString(
                 signature.FormatPosition(TickSum(cursor.m_tick, m_context.GetOffset()))),
             NoteName(cursor.m_pitch), QString::fromStdString(signature.FormatLength(length)))
        .arg(velocity)
        .arg(off);
}

namespace {

QString RangeText(const CTimeSignature& signature, const CNoteArea& area, tick offset)
{
    auto position = [&](tick t) {
        return QString::fromStdString(
            signature.FormatPosition(std::clamp<tick>(TickSum(t, offset), 0, kOpenEnd)));
    };
    return QStringLiteral("[%1 - %2] : [%3 - %4]")
        .arg(position(area.m_from), position(area.m_to), NoteName(area.m_pitchA),
             NoteName(area.m_pitchB - 1));
}

QString CountText(int count)
{
    return count == 1 ? QStringLiteral("(1 note) ") : QStringLiteral("(%1 notes) ").arg(count);
}

} // namespace

QString CViewPianoRoll::SelectionText() const
{
    if (IsEmptyArea(m_area)) return {};
    QString text = QStringLiteral("<<Desc>>Selection ");
    if (!m_selected.IsEmpty()) text += CountText(m_selected.GetCount());
    return text + QStringLiteral("<<Name>>Range <<Value>>") +
           RangeText(m_context.GetDoc().GetTimeSignature(), m_area, m_context.GetOffset());
}

QString CViewPianoRoll::DragText() const
{
    if (m_dragPayload == nullptr || !m_dragPlan.valid) return {};
    return QStringLiteral("<<Desc>>Dragging ") + CountText(m_dragPayload->GetNotes().GetCount()) +
           QStringLiteral("<<Text>>Range <<Value>>") +
           RangeText(m_context.GetDoc().GetTimeSignature(), m_dragPlan.area,
                     m_context.GetOffset()) +
           QStringLiteral(" ");
}

QString CViewPianoRoll::StatusText() const
{
    const QString drag = DragText();
    if (!drag.isEmpty()) return drag;
    const QString selection = SelectionText();
    if (!selection.isEmpty()) return selection;
    return CursorText();
}

void CViewPianoRoll::UpdateStatus()
{
    emit StatusChanged(StatusText());
}
