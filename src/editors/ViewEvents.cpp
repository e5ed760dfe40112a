#include "editors/ViewEvents.h"

#include <QFocusEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <vector>

#include "controls/Theme.h"
#include "devices/MidiNames.h"
#include "document/OperationProject.h"
#include "document/ProjectDoc.h"
#include "editors/PianoRollContext.h"
#include "editors/TimeGrid.h"
#include "editors/ViewPianoRoll.h"
#include "model/MidiData.h"

namespace {

const QColor kLaneBackground(32, 40, 52);
const QColor kCursor(255, 200, 40);
const QColor kDimGrey(105, 105, 105);
// Pixels above the highest value.
constexpr int kTopMargin = 3;
constexpr int kBarWidth = 2;

QColor Inverted(const QColor& colour)
{
    return QColor(255 - colour.red(), 255 - colour.green(), 255 - colour.blue());
}

// The bars of one paint as a skyline per colour: the tallest bar on each pixel column, filled as
// horizontal bands (one rectangle per rise of the outline). A thin rectangle costs the painter a
// span per pixel row, so 1,600 bars of 300 rows would cost 480,000 spans; the bands of a smooth
// controller curve cost a few thousand.
class CLaneBars {
public:
    CLaneBars(int left, int width, int bottom)
        : m_left(left), m_bottom(bottom), m_plain(static_cast<size_t>(width), 0),
          m_chosen(static_cast<size_t>(width), 0)
    {}

    void Add(int x, int barHeight, bool selected)
    {
        std::vector<int>& columns = selected ? m_chosen : m_plain;
        const int h = std::max(1, barHeight);
        const int from = std::max(0, x - m_left);
        const int to = std::min(static_cast<int>(columns.size()), x - m_left + kBarWidth);
        for (int i = from; i < to; ++i)
            columns[static_cast<size_t>(i)] = std::max(columns[static_cast<size_t>(i)], h);
    }

    void Draw(QPainter& painter, const QColor& fill, const QColor& selected) const
    {
        Fill(painter, m_plain, fill);
        Fill(painter, m_chosen, selected);
    }

private:
    void Fill(QPainter& painter, const std::vector<int>& heights, const QColor& colour) const
    {
        // Open bands: where each started and how high it reaches.
        struct SBand {
            int start;
            int height;
        };
        std::vector<SBand> open;
        const int n = static_cast<int>(heights.size());
        for (int i = 0; i <= n; ++i) {
            const int h = i < n ? heights[static_cast<size_t>(i)] : 0;
            int start = i;
            while (!open.empty() && open.back().height > h) {
                const SBand band = open.back();
                open.pop_back();
                const int below = std::max(h, open.empty() ? 0 : open.back().height);
                painter.fillRect(QRect(m_left + band.start, m_bottom - band.height + 1,
                                       i - band.start, band.height - below),
                                 colour);
                start = band.start;
            }
            if (h > (open.empty() ? 0 : open.back().height)) open.push_back({start, h});
        }
    }

    int m_left;
    int m_bottom;
    std::vector<int> m_plain;
    std::vector<int> m_chosen;
};

QString Position(const CTimeSignature& signature, tick t, tick offset)
{
    return QString::fromStdString(
        signature.FormatPosition(std::clamp<tick>(TickSum(t, offset), 0, kOpenEnd)));
}

} // namespace

CViewEvents::CViewEvents(CPianoRollContext& context, CViewPianoRoll& notes, QWidget* parent)
    : CCanvasView(parent), m_context(context), m_notes(notes)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    // A new window's record holds no kind yet: it shows the default lane from the start.
    m_context.SetLaneKind(static_cast<int16_t>(Kind()));
    connect(&context, &CPianoRollContext::ViewChanged, this, [this] { InvalidateContent(); });
    connect(&context, &CPianoRollContext::CursorMoved, this, &CViewEvents::OnCursorMoved);
    connect(&context, &CPianoRollContext::ShownPositionChanged, this, [this](tick from, tick to) {
        RepaintStrip(TickStrip(from - m_context.GetOffset()));
        RepaintStrip(TickStrip(to - m_context.GetOffset()));
    });
    connect(&context, &CPianoRollContext::ContentChanged, this, [this] { ModelChanged(); });
    connect(&context, &CPianoRollContext::GridChanged, this, [this] { InvalidateContent(); });
    connect(&context, &CPianoRollContext::BatchBegun, this, [this] { BeginBatch(); });
    connect(&context, &CPianoRollContext::BatchEnded, this, [this] { EndBatch(); });
    // The velocity lanes show the note canvas's selection; the others its rectangle's time range.
    connect(&notes, &CViewPianoRoll::StatusChanged, this, [this] {
        if (IsVelocityLane()) {
            InvalidateContent();
            if (hasFocus()) UpdateStatus();
        } else {
            SyncRange();
        }
    });
}

CViewEvents::~CViewEvents() = default;

// ---- the lane kind ----

LaneKind CViewEvents::Kind() const
{
    return ValidLaneKind(static_cast<uint16_t>(m_context.GetLaneKind()));
}

void CViewEvents::SetKind(LaneKind kind)
{
    kind = ValidLaneKind(kind);
    if (kind == Kind()) return;
    m_context.SetLaneKind(static_cast<int16_t>(kind));
    m_range = IsVelocityLane() ? CTimeRange{} : Range();
    Reselect();
    InvalidateContent();
    UpdateStatus();
    emit KindChanged();
}

// ---- selection ----

CNoteArea CViewEvents::VelocityArea() const
{
    const CNoteArea& area = m_notes.GetSelectionArea();
    if (!IsEmptyArea(area)) return area;
    return AreaWithNotes(CNoteArea{}, m_notes.GetSelection());
}

EVelocityLane CViewEvents::VelocityLane() const
{
    return Kind() == kLaneVelocityOff ? EVelocityLane::NoteOff : EVelocityLane::NoteOn;
}

CTimeRange CViewEvents::Range() const
{
    if (!IsVelocityLane()) {
        // One range for the window: the time span of the note canvas's rectangle.
        const CNoteArea& area = m_notes.GetSelectionArea();
        if (IsEmptyArea(area)) return {};
        return {area.m_from, area.m_to};
    }
    if (m_notes.GetSelection().IsEmpty()) return {};
    const CNoteArea area = VelocityArea();
    return {area.m_from, area.m_to};
}

const CNoteList& CViewEvents::SelectedNotes() const
{
    return m_notes.GetSelection();
}

int CViewEvents::SelectionCount() const
{
    return IsVelocityLane() ? SelectedNotes().GetCount() : m_selected.GetCount();
}

void CViewEvents::Reselect()
{
    m_selected = IsVelocityLane() ? CEventList{}
                                  : LaneEventsIn(m_context.GetData().GetEvents(), Kind(),
                                                 m_range.m_from, m_range.m_to);
}

void CViewEvents::SelectRange(const CTimeRange& range)
{
    // The range is the note canvas's rectangle in time. A rectangle it already has keeps its
    // pitches; a new one takes every pitch, so that both views select the same stretch of time.
    const CNoteArea& area = m_notes.GetSelectionArea();
    const bool pitched = !IsVelocityLane() && !IsEmptyArea(area);
    if (range.m_to <= range.m_from)
        m_notes.ClearSelection();
    else
        m_notes.SelectArea({range.m_from, pitched ? area.m_pitchA : 0, range.m_to,
                            pitched ? area.m_pitchB : 128});
    if (IsVelocityLane()) return;
    SyncRange();
    UpdateStatus();
}

void CViewEvents::SyncRange()
{
    const CTimeRange now = Range();
    if (now == m_range) return;
    InvalidateContent(RangeRect(m_range));
    m_range = now;
    Reselect();
    InvalidateContent(RangeRect(m_range));
    if (hasFocus()) UpdateStatus();
}

void CViewEvents::ClearSelection()
{
    m_anchored = false;
    if (IsVelocityLane())
        m_notes.ClearSelection();
    else
        SelectRange({});
}

void CViewEvents::SelectAll()
{
    m_anchored = false;
    SelectRange({0, std::max<tick>(1, m_context.GetLength())});
}

std::optional<CMidiEvent> CViewEvents::CurrentEvent() const
{
    if (IsVelocityLane()) return std::nullopt;
    const CEventList& events = m_context.GetData().GetEvents();
    const tick at = m_context.GetCursor().m_tick;
    const auto [first, last] = EventIndexRange(events, at, TickSum(at, 1));
    for (int i = first; i < last; ++i) {
        if (LaneShows(Kind(), events[i])) return events[i];
    }
    return std::nullopt;
}

std::optional<CNote> CViewEvents::CurrentNote() const
{
    if (!IsVelocityLane()) return std::nullopt;
    const CNoteList& notes = m_context.GetData().GetNotes();
    const CPianoRollCursor& cursor = m_context.GetCursor();
    std::optional<CNote> first;
    for (int i = notes.FindFirstAtOrAfter(0, cursor.m_tick); i < notes.GetCount(); ++i) {
        const CNote& note = notes[i];
        if (note.m_start != cursor.m_tick) break;
        // The note in the cursor's row wins; else the first one starting there.
        if (note.m_pitch == cursor.m_pitch) return note;
        if (!first) first = note;
    }
    return first;
}

tick CViewEvents::TickAt(int32_t x) const
{
    return m_context.GetGrid().FloorToGrid(std::max<tick>(0, m_context.Geometry().XToTick(x)));
}

void CViewEvents::MoveCursor(tick at, bool extend)
{
    const tick before = m_context.GetCursor().m_tick;
    if (extend && !m_anchored) {
        m_anchored = true;
        m_anchorTick = before;
    }
    // The pitch stays where the note canvas has it.
    m_context.SetCursor(at, m_context.GetCursor().m_pitch);
    if (!extend) {
        ClearSelection();
        return;
    }
    const tick now = m_context.GetCursor().m_tick;
    const tick unit = m_context.GridUnit();
    const tick from = m_context.GetGrid().FloorToGrid(std::min(m_anchorTick, now));
    SelectRange({from, TickSum(std::max(m_anchorTick, now), unit)});
    m_anchored = true;
}

void CViewEvents::OnCursorMoved(const CPianoRollCursor& from)
{
    RepaintStrip(TickStrip(from.m_tick));
    RepaintStrip(TickStrip(m_context.GetCursor().m_tick));
    // The current event's colour is content.
    const QRect old = TickStrip(from.m_tick).adjusted(-kBarWidth, 0, kBarWidth, 0);
    InvalidateContent(old);
    InvalidateContent(TickStrip(m_context.GetCursor().m_tick).adjusted(-kBarWidth, 0, kBarWidth, 0));
    if (hasFocus()) UpdateStatus();
}

// ---- running operations ----

bool CViewEvents::AskExtend() const
{
    return m_context.Ask(ERememberedQuestion::AutoExtendSequence);
}

bool CViewEvents::Run(std::unique_ptr<COperation> op)
{
    m_context.BeginBatch();
    const bool done = m_context.GetDoc().Execute(std::move(op));
    m_context.UpdateContent();
    m_context.EndBatch();
    Reselect();
    UpdateStatus();
    return done;
}

// ---- the project's calls ----

void CViewEvents::RefreshRange(const CTimeRange& range)
{
    Reselect();
    InvalidateContent(RangeRect(range).adjusted(-kBarWidth - 1, 0, kBarWidth + 1, 0));
    UpdateStatus();
}

void CViewEvents::ModelChanged()
{
    Reselect();
    InvalidateContent();
    UpdateStatus();
}

// ---- painting ----

int32_t CViewEvents::ValueAtY(int32_t y) const
{
    return HeightToValue(y, kTopMargin, viewport()->height() - 1);
}

int32_t CViewEvents::YOfValue(int32_t value) const
{
    const int bottom = viewport()->height() - 1;
    return bottom - (bottom - kTopMargin) * value / 128;
}

QRect CViewEvents::RangeRect(const CTimeRange& range) const
{
    if (range.m_to <= range.m_from) return {};
    const CPianoRollGeometry& g = m_context.Geometry();
    const int x1 = g.TickToX(range.m_from);
    const int x2 = g.TickToX(range.m_to);
    return QRect(x1, 0, std::max(1, x2 - x1), viewport()->height());
}

QRect CViewEvents::TickStrip(tick t) const
{
    const int x = m_context.Geometry().TickToX(t);
    return QRect(x - 1, 0, 3 + kBarWidth, viewport()->height());
}

void CViewEvents::PaintContent(QPainter& painter, const QRect& exposed)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    PaintTimeGrid(painter, exposed, m_context, kLaneBackground);
    const CPianoRollGeometry& g = m_context.Geometry();
    const CMidiData& data = m_context.GetData();
    const tick left = std::max<tick>(0, g.XToTick(exposed.left() - kBarWidth));
    const tick right = TickSum(g.XToTick(exposed.right() + 1), 1);
    const int bottom = viewport()->height() - 1;
    const int height = bottom - kTopMargin;
    const bool focused = hasFocus();
    const tick cursor = m_context.GetCursor().m_tick;
    const LaneKind kind = Kind();
    CLaneBars bars(exposed.left() - kBarWidth, exposed.width() + 2 * kBarWidth, bottom);
    if (IsVelocityLane()) {
        const bool on = kind == kLaneVelocityOn;
        const CNoteList& notes = data.GetNotes();
        const CNoteList& selected = m_notes.GetSelection();
        for (int i = notes.FindFirstAtOrAfter(0, left); i < notes.GetCount(); ++i) {
            const CNote& note = notes[i];
            if (note.m_start >= right) break;
            const int value = on ? note.m_velocity : note.m_offVelocity;
            const bool chosen = note.m_start == cursor ||
                                (!selected.IsEmpty() && selected.FindEqual(note) >= 0);
            bars.Add(g.TickToX(note.m_start), BarHeight(value, kind, height), chosen);
        }
    } else {
        const CEventList& events = data.GetEvents();
        const auto [first, last] = EventIndexRange(events, left, right);
        const bool ranged = m_range.m_to > m_range.m_from;
        for (int i = first; i < last; ++i) {
            const CMidiEvent& event = events[i];
            if (!LaneShows(kind, event)) continue;
            const bool chosen = event.m_time == cursor ||
                                (ranged && event.m_time >= m_range.m_from &&
                                 event.m_time < m_range.m_to);
            bars.Add(g.TickToX(event.m_time), BarHeight(event.GetValue(), kind, height), chosen);
        }
    }
    const QColor fill = CTheme::FromColourRef(data.GetColour());
    bars.Draw(painter, fill, Inverted(fill));
    const QRect range = RangeRect(Range());
    if (focused && range.isValid()) {
        painter.setPen(QPen(QColor(0, 0, 255), 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(range.adjusted(0, 0, -1, -1));
    }
}

void CViewEvents::PaintOverlays(QPainter& painter, const QRect& exposed)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    const CPianoRollGeometry& g = m_context.Geometry();
    const int height = viewport()->height();
    const tick position = m_context.GetShownPosition() - m_context.GetOffset();
    if (position >= 0 && position <= m_context.GetLength())
        painter.fillRect(QRect(g.TickToX(position), 0, 1, height), Qt::white);
    const int x = g.TickToX(m_context.GetCursor().m_tick);
    if (x >= exposed.left() - 1 && x <= exposed.right() + 1)
        painter.fillRect(QRect(x, 0, 1, height), hasFocus() ? kCursor : kDimGrey);
    if (m_dragPayload != nullptr && m_dragTick) {
        const CTimeRange& from = m_dragPayload->GetRange();
        const tick length = from.m_to - from.m_from;
        painter.setPen(QPen(Qt::white, 0, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(RangeRect({*m_dragTick, TickSum(*m_dragTick, length)}).adjusted(0, 0, -1, -1));
    }
    if (m_mouse == EMouse::Drawing) PaintStroke(painter, exposed);
}

// ---- geometry and focus ----

void CViewEvents::resizeEvent(QResizeEvent* event)
{
    CCanvasView::resizeEvent(event);
    InvalidateContent();
}

void CViewEvents::focusInEvent(QFocusEvent* event)
{
    CCanvasView::focusInEvent(event);
    m_context.SetFocusSide(CPianoRollContext::kFocusEvents);
    InvalidateContent();
    UpdateStatus();
}

void CViewEvents::focusOutEvent(QFocusEvent* event)
{
    CCanvasView::focusOutEvent(event);
    InvalidateContent();
}

// ---- status ----

QString CViewEvents::CursorText() const
{
    const CTimeSignature& signature = m_context.GetDoc().GetTimeSignature();
    const tick offset = m_context.GetOffset();
    const tick at = m_context.GetCursor().m_tick;
    if (IsVelocityLane()) {
        const std::optional<CNote> note = CurrentNote();
        if (!note) return QStringLiteral("<<Desc>>None ");
        return QStringLiteral("<<Desc>>Current <<Text>>Time <<Value>>%1 <<Text>>Note <<Value>>%2 "
                              "<<Text>>Len <<Value>>%3 <<Text>>Vel <<Value>>%4 <<Text>>Off "
                              "<<Value>>%5")
            .arg(Position(signature, note->m_start, offset),
                 QString::fromStdString(KeyName(note->m_pitch)),
                 QString::fromStdString(signature.FormatLength(note->GetLength())))
            .arg(note->m_velocity)
            .arg(note->m_offVelocity);
    }
    const LaneKind kind = Kind();
    const std::optional<CMidiEvent> current = CurrentEvent();
    const CMidiEvent event =
        current ? *current
                : DefaultLaneEvent(kind, at, m_context.GetDefaultEventValue(),
                                   m_context.GetSecondEventValue());
    QString text = current ? QStringLiteral("<<Desc>>Current ") : QStringLiteral("<<Desc>>Default ");
    text += QStringLiteral("<<Text>>Time <<Value>>%1 ").arg(Position(signature, at, offset));
    const int32_t value = event.GetValue();
    switch (LaneStatus(kind)) {
    case kKindPolyPressure:
        return text + QStringLiteral("<<Text>>Event <<Value>>PolyPressure <<Text>>Key <<Value>>%1 "
                                     "<<Text>>Value <<Value>>%2")
                          .arg(QString::fromStdString(KeyName(LaneSelector(kind))))
                          .arg(value);
    case kKindControlChange:
        return text + QStringLiteral("<<Text>>Event <<Value>>ControlChange <<Text>>Ctrl "
                                     "<<Value>>%1 <<Text>>Value <<Value>>%2")
                          .arg(QString::fromStdString(ControllerName(LaneSelector(kind))))
                          .arg(value);
    case kKindProgramChange:
        return text + QStringLiteral("<<Text>>Event <<Value>>ProgramChange <<Text>>Prg "
                                     "<<Value>>%1")
                          .arg(value);
    case kKindChannelAftertouch:
        return text + QStringLiteral("<<Text>>Event <<Value>>ChannelAft <<Text>>Value <<Value>>%1")
                          .arg(value);
    default:
        return text + QStringLiteral("<<Text>>Event <<Value>>PitchBender <<Text>>Value <<Value>>%1")
                          .arg(ShownValue(kind, value));
    }
}

namespace {

QString CountText(int count, bool notes)
{
    if (count == 1) return notes ? QStringLiteral("(1 note) ") : QStringLiteral("(1 event) ");
    return (notes ? QStringLiteral("(%1 notes) ") : QStringLiteral("(%1 events) ")).arg(count);
}

} // namespace

QString CViewEvents::SelectionText() const
{
    const CTimeRange range = Range();
    if (range.m_to <= range.m_from) return {};
    const CTimeSignature& signature = m_context.GetDoc().GetTimeSignature();
    const tick offset = m_context.GetOffset();
    return QStringLiteral("<<Desc>>Selection ") + CountText(SelectionCount(), IsVelocityLane()) +
           QStringLiteral("<<Name>>Range <<Value>>[%1 - %2]")
               .arg(Position(signature, range.m_from, offset),
                    Position(signature, range.m_to, offset));
}

QString CViewEvents::DragText() const
{
    if (m_dragPayload == nullptr || !m_dragTick) return {};
    const CTimeSignature& signature = m_context.GetDoc().GetTimeSignature();
    const tick offset = m_context.GetOffset();
    const CTimeRange& from = m_dragPayload->GetRange();
    const tick end = TickSum(*m_dragTick, from.m_to - from.m_from);
    return QStringLiteral("<<Desc>>Dragging ") +
           CountText(m_dragPayload->GetEvents().GetCount(), false) +
           QStringLiteral("<<Text>>Range <<Value>>[%1 - %2] ")
               .arg(Position(signature, *m_dragTick, offset), Position(signature, end, offset));
}

QString CViewEvents::StatusText() const
{
    const QString drag = DragText();
    if (!drag.isEmpty()) return drag;
    const QString selection = SelectionText();
    if (!selection.isEmpty()) return selection;
    return CursorText();
}

void CViewEvents::UpdateStatus()
{
    if (hasFocus()) emit StatusChanged(StatusText());
}
