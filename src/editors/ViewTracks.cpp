#include "editors/ViewTracks.h"

#include <QFocusEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <limits>
#include <tuple>

#include "controls/Theme.h"
#include "document/OperationProject.h"
#include "document/ProjectDoc.h"
#include "editors/ScanlineRaster.h"
#include "editors/TracksClipPainter.h"
#include "editors/TracksContext.h"
#include "editors/TracksTools.h"
#include "editors/WheelTable.h"
#include "model/Clip.h"
#include "model/Track.h"
#include "model/TrackList.h"

namespace {

constexpr int kNameEditorMax = 50;
const QColor kCanvasBackground(32, 40, 52);
const QColor kAlternateRow(38, 47, 61);
const QColor kRowLine(20, 26, 36);
const QColor kBarLine(50, 60, 76);

QString PositionText(const CTimeSignature& signature, tick t)
{
    return QString::fromStdString(signature.FormatPosition(t));
}

} // namespace

CViewTracks::CViewTracks(CTracksContext& context, QWidget* parent)
    : CCanvasView(parent), m_context(context), m_tool(MakeTracksTool(ETracksTool::Select, *this))
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    horizontalScrollBar()->setSingleStep(kTicksPerWhole);
    verticalScrollBar()->setSingleStep(1);
    connect(&context, &CTracksContext::ViewChanged, this, &CViewTracks::OnViewChanged);
    connect(&context, &CTracksContext::ContentChanged, this, [this] { InvalidateContent(); });
    connect(&context, &CTracksContext::ShownPositionChanged, this,
            &CViewTracks::OnShownPositionChanged);
    connect(&context, &CTracksContext::SnapChanged, this, [this] { UpdateStatus(); });
    connect(&context, &CTracksContext::BatchBegun, this, [this] { BeginBatch(); });
    connect(&context, &CTracksContext::BatchEnded, this, [this] { EndBatch(); });
}

CViewTracks::~CViewTracks() = default;

// ---- tools ----

void CViewTracks::SetTool(ETracksTool tool)
{
    if (m_tool && m_tool->GetId() == static_cast<int32_t>(tool)) return;
    HideRename();
    const QRect overlay = m_tool ? m_tool->OverlayRect() : QRect();
    m_tool = MakeTracksTool(tool, *this);
    ClearSelection();
    RepaintStrip(overlay);
    viewport()->unsetCursor();
    emit ToolChanged(static_cast<int32_t>(tool));
}

ETracksTool CViewTracks::GetTool() const
{
    return static_cast<ETracksTool>(m_tool->GetId());
}

// ---- selection ----

bool CViewTracks::IsSelected(const CClip* clip) const
{
    return std::any_of(m_selection.begin(), m_selection.end(),
                       [clip](const CClipRef& ref) { return ref.clip == clip; });
}

void CViewTracks::ClearSelection()
{
    if (m_selection.empty() && m_current.clip == nullptr) return;
    InvalidateSelection();
    if (m_current.clip != nullptr) InvalidateClip(*m_current.clip, m_current.track);
    m_selection.clear();
    m_current = {};
    UpdateStatus();
}

void CViewTracks::Select(const CClipRef& ref)
{
    if (ref.clip == nullptr || IsSelected(ref.clip)) return;
    m_selection.push_back(ref);
    InvalidateClip(*ref.clip, ref.track);
    UpdateStatus();
}

void CViewTracks::SelectOnly(const CClipRef& ref)
{
    ClearSelection();
    Select(ref);
}

void CViewTracks::SetCurrent(const CClipRef& ref)
{
    if (m_current.clip != nullptr) InvalidateClip(*m_current.clip, m_current.track);
    m_current = ref;
    if (ref.clip != nullptr) {
        InvalidateClip(*ref.clip, ref.track);
        m_context.SetCurrentTrack(ref.track);
        m_context.MakeVisible(ref.clip->GetStart(), ref.track);
    }
    UpdateStatus();
}

std::vector<CClipRef> CViewTracks::ClipsInBand(tick fromTick, int32_t fromRow, tick toTick,
                                               int32_t toRow) const
{
    const tick left = std::min(fromTick, toTick);
    const tick right = std::max(fromTick, toTick);
    const int32_t top = std::max(0, std::min(fromRow, toRow));
    CTrackList& tracks = m_context.GetDoc().GetTracks();
    const int32_t bottom = std::min(std::max(fromRow, toRow), tracks.GetCount());
    std::vector<CClipRef> inside;
    for (int32_t row = top; row < bottom; ++row) {
        CTrack& track = *tracks.GetAt(row);
        const auto [first, last] = track.ClipRangeNear(left, right);
        for (int32_t i = first; i < last; ++i) {
            CClip& clip = track.GetClipAt(i);
            // Overlaps the band's span: not wholly before its left edge, not from its right on.
            if (clip.GetEnd() > left && clip.GetStart() < right) inside.push_back({&clip, row});
        }
    }
    return inside;
}

void CViewTracks::SelectInBand(tick fromTick, int32_t fromRow, tick toTick, int32_t toRow)
{
    m_context.BeginBatch();
    for (const CClipRef& ref : ClipsInBand(fromTick, fromRow, toTick, toRow))
        Select(ref);
    m_context.EndBatch();
}

// ---- hit testing ----

QRect CViewTracks::ClipRect(const CClip& clip, int32_t row) const
{
    const CTracksGeometry& g = m_context.Geometry();
    const int x1 = g.TickToX(clip.GetStart());
    const int x2 = g.TickToX(clip.GetEnd());
    return QRect(x1, g.RowToY(row), std::max(1, x2 - x1), g.GetRowHeight());
}

CClipHit CViewTracks::HitTest(const QPoint& pos) const
{
    const CTracksGeometry& g = m_context.Geometry();
    const int32_t row = g.YToRow(pos.y());
    CTrackList& tracks = m_context.GetDoc().GetTracks();
    if (row < 0 || row >= tracks.GetCount()) return {};
    CTrack& track = *tracks.GetAt(row);
    // Edges are 5 pixels wide: look a little either side of the pointer's tick.
    const tick at = g.XToTick(pos.x());
    const tick slack = static_cast<tick>(5 * kTicksPerWhole / g.GetScale() + 1);
    const auto [first, last] = track.ClipRangeNear(at - slack, at + slack + 1);
    CClipHit best;
    for (int32_t i = first; i < last; ++i) {
        CClip& clip = track.GetClipAt(i);
        const QRect r = ClipRect(clip, row);
        if (pos.x() < r.left() || pos.x() > r.right()) continue;
        EClipZone zone = EClipZone::Body;
        if (pos.x() >= r.right() - 4)
            zone = EClipZone::RightEdge;
        else if (pos.x() <= r.left() + 4)
            zone = EClipZone::LeftEdge;
        // The later clip wins where clips overlap: it is drawn on top.
        best = {{&clip, row}, zone};
    }
    return best;
}

bool CViewTracks::IsOnPositionLine(const QPoint& pos) const
{
    const int x = m_context.Geometry().TickToX(m_context.GetShownPosition());
    return std::abs(pos.x() - x) <= 2;
}

int32_t CViewTracks::RowOf(const CClip* clip) const
{
    return m_context.GetDoc().IndexOfTrackWithClip(clip);
}

// ---- running operations ----

bool CViewTracks::Run(std::unique_ptr<COperation> op)
{
    // Operations bring their window forward, which may hand the focus to another pane.
    const bool focused = hasFocus() || (m_nameEditor != nullptr && m_nameEditor->hasFocus());
    HideRename();
    const bool done = m_context.GetDoc().Execute(std::move(op));
    if (focused) setFocus();
    m_context.UpdateContent();
    InvalidateContent();
    UpdateStatus();
    return done;
}

bool CViewTracks::AskCreateTracks() const
{
    return m_context.Ask(ERememberedQuestion::AutoCreateNewTrack);
}

bool CViewTracks::CreateClipAt(const QPoint& pos)
{
    const CTracksGeometry& g = m_context.Geometry();
    const int32_t row = g.YToRow(pos.y());
    CProjectDoc& doc = m_context.GetDoc();
    if (row < 0 || row >= doc.GetTracks().GetCount()) return false;
    const tick start = m_context.SnapFloor(std::max<tick>(0, g.XToTick(pos.x())));
    const tick end = m_context.SnapNearest(TickSum(start, doc.NewClipLength()));
    if (end <= start) return false;
    const CTrack& track = *doc.GetTracks().GetAt(row);
    auto clip = std::make_unique<CClip>(start, end, track.GetName(), track.GetColour());
    return Run(std::make_unique<COpClipCreate>(row, std::move(clip)));
}

// ---- the project's calls ----

void CViewTracks::ClipInserted(int32_t trackIndex, const CClip& clip)
{
    m_context.UpdateContent();
    InvalidateClip(clip, trackIndex);
}

void CViewTracks::ClipRemoved(const CClip& clip)
{
    std::erase_if(m_selection, [&clip](const CClipRef& ref) { return ref.clip == &clip; });
    std::erase_if(m_inBand, [&clip](const CClipRef& ref) { return ref.clip == &clip; });
    if (m_current.clip == &clip) m_current = {};
    if (m_renaming == &clip) HideRename();
    m_context.UpdateContent();
    InvalidateContent();
    UpdateStatus();
}

void CViewTracks::ClipReplaced(const CClip& removed, int32_t trackIndex, const CClip& placed)
{
    auto* clip = const_cast<CClip*>(&placed);
    for (CClipRef& ref : m_selection) {
        if (ref.clip == &removed) ref = {clip, trackIndex};
    }
    if (m_current.clip == &removed) m_current = {clip, trackIndex};
    if (m_renaming == &removed) HideRename();
    m_context.UpdateContent();
    InvalidateContent();
    UpdateStatus();
}

void CViewTracks::ClipChanged(const CClip&)
{
    // A clip's span may have shrunk: its old box is gone from the model, so draw the rows again.
    m_context.UpdateContent();
    InvalidateContent();
    UpdateStatus();
}

void CViewTracks::ModelChanged()
{
    // Tracks moved or went: rows of selected clips are looked up again, and clips that left the
    // project are dropped.
    auto refresh = [this](CClipRef& ref) { ref.track = RowOf(ref.clip); };
    for (CClipRef& ref : m_selection)
        refresh(ref);
    std::erase_if(m_selection, [](const CClipRef& ref) { return ref.track < 0; });
    if (m_current.clip != nullptr) {
        refresh(m_current);
        if (m_current.track < 0) m_current = {};
    }
    m_inBand.clear();
    m_context.UpdateContent();
    InvalidateContent();
    UpdateStatus();
}

// ---- painting ----

void CViewTracks::InvalidateClip(const CClip& clip, int32_t row)
{
    // The focus outline reaches one pixel outside the box.
    InvalidateContent(ClipRect(clip, row).adjusted(-1, -1, 1, 1));
}

void CViewTracks::InvalidateSelection()
{
    for (const CClipRef& ref : m_selection)
        InvalidateClip(*ref.clip, ref.track);
}

void CViewTracks::PaintContent(QPainter& painter, const QRect& exposed)
{
    const CTracksGeometry& g = m_context.Geometry();
    const CProjectDoc& doc = m_context.GetDoc();
    const CTrackList& tracks = doc.GetTracks();
    const int32_t firstRow = std::max(0, g.YToRow(exposed.top()));
    const int32_t lastRow = std::min(tracks.GetCount() - 1, g.YToRow(exposed.bottom()));
    const tick left = g.XToTick(exposed.left());
    const tick right = g.XToTick(exposed.right() + 1) + 1;
    // Everything of one row is drawn before the next: a row's strip of the picture stays in the
    // processor's cache, where passes over the whole picture would pull it from memory each time.
    CTracksClipPainter clips(*this, painter);
    CScanlineRaster raster(painter, exposed);
    FindBarLines(exposed);
    // A composed row is finished (what the painter draws over it) once the next row is composed,
    // so that its scanlines can be written meanwhile.
    int32_t pendingRow = -1;
    uint64_t pendingMark = 0;
    std::vector<const CClip*> pendingClips;
    const auto finishPending = [&] {
        if (pendingRow < 0) return;
        raster.WaitFor(pendingMark);
        FinishRow(painter, raster, clips, exposed, pendingRow, pendingClips);
        pendingRow = -1;
    };
    for (int32_t row = firstRow; row <= lastRow; ++row) {
        if (CollectRowClips(row, left, right) && raster.IsValid() && g.GetRowHeight() >= 4) {
            ComposeRow(raster, clips, exposed, row);
            finishPending();
            pendingRow = row;
            pendingMark = raster.Mark();
            pendingClips.swap(m_rowClips);
            continue;
        }
        finishPending();
        PaintRowBackground(painter, exposed, row);
        PaintTimeLines(painter, RowBand(exposed, row));
        for (const CClip* clip : m_rowClips)
            clips.Draw(*clip, row);
    }
    finishPending();
    raster.Finish();
    const int below = lastRow >= firstRow ? g.RowToY(lastRow + 1) : exposed.top();
    if (below <= exposed.bottom()) {
        const QRect rest(exposed.left(), below, exposed.width(), exposed.bottom() + 1 - below);
        painter.fillRect(rest, kCanvasBackground);
        PaintTimeLines(painter, rest);
    }
    if (!m_takes.empty()) PaintTakes(painter, exposed);
}

QRect CViewTracks::RowBand(const QRect& exposed, int32_t row) const
{
    const CTracksGeometry& g = m_context.Geometry();
    const int top = std::max(exposed.top(), g.RowToY(row));
    return QRect(exposed.left(), top, exposed.width(),
                 std::min(exposed.bottom() + 1, g.RowToY(row + 1)) - top);
}

// Gathers the row's clips drawn normally that reach into [left, right); true when no two of their
// boxes overlap (the names and outlines stay inside the boxes, so such clips can be drawn in any
// order).
bool CViewTracks::CollectRowClips(int32_t row, tick left, tick right)
{
    const CTrack& track = *m_context.GetDoc().GetTracks().GetAt(row);
    m_rowClips.clear();
    const auto [first, last] = track.ClipRangeNear(left, right);
    int reached = std::numeric_limits<int>::min();
    bool apart = true;
    for (int32_t i = first; i < last; ++i) {
        const CClip& clip = track.GetClipAt(i);
        if (clip.GetEnd() <= left || !m_tool->DrawsNormally(clip)) continue;
        const QRect box = ClipRect(clip, row);
        apart = apart && box.left() > reached;
        reached = std::max(reached, box.right());
        m_rowClips.push_back(&clip);
    }
    return apart;
}

// Draws a row by scanlines: the background with the bar lines for the row's top pixel, the same
// under the boxes' top edges, middles (copied down the row) and bottom edges, the row line at the
// bottom; then what differs from those (loop points between the boxes, outlines, notes and names).
void CViewTracks::ComposeRow(CScanlineRaster& raster, CTracksClipPainter& clips,
                             const QRect& exposed, int32_t row) const
{
    using EScan = CTracksClipPainter::EScan;
    const CTracksGeometry& g = m_context.Geometry();
    const int top = g.RowToY(row);
    const int bottom = top + g.GetRowHeight() - 1;
    const QRgb fill = (row % 2 == 1 ? kAlternateRow : kCanvasBackground).rgb();
    clips.BeginRow(m_rowClips, row);
    const auto compose = [&](QRgb background, const EScan* part, int from, int to) {
        raster.Fill(exposed.left(), exposed.right() + 1, background);
        for (const int x : m_barLines)
            raster.Fill(x, x + 1, kBarLine.rgb());
        if (part != nullptr) clips.Compose(raster, *part);
        raster.Emit(from, to);
    };
    compose(fill, nullptr, top, top + 1);
    for (const auto& [part, from, to] :
         {std::tuple{EScan::Top, top + 1, top + 2}, std::tuple{EScan::Middle, top + 2, bottom - 1},
          std::tuple{EScan::Bottom, bottom - 1, bottom}})
        compose(fill, &part, from, to);
    compose(kRowLine.rgb(), nullptr, bottom, bottom + 1);
}

// What the painter draws over a composed row, inside the row: loop points between the boxes,
// outlines, notes and the names without labels.
void CViewTracks::FinishRow(QPainter& painter, const CScanlineRaster& raster,
                            CTracksClipPainter& clips, const QRect& exposed, int32_t row,
                            const std::vector<const CClip*>& rowClips) const
{
    const QRect band = RowBand(exposed, row);
    const int top = m_context.Geometry().RowToY(row);
    const int bottom = top + m_context.Geometry().GetRowHeight() - 1;
    painter.save();
    painter.setClipRect(band, Qt::IntersectClip);
    ForEachLoopLine(band, [&](int x, const QColor& colour) {
        const bool covered = std::any_of(rowClips.begin(), rowClips.end(), [&](const CClip* c) {
            const QRect box = ClipRect(*c, row);
            return x >= box.left() && x <= box.right();
        });
        for (int y = band.top() + (band.top() & 1); y <= band.bottom(); y += 2) {
            if (!covered || y == top || y == bottom) painter.fillRect(QRect(x, y, 1, 1), colour);
        }
    });
    for (const CClip* clip : rowClips)
        clips.DrawOver(raster, *clip, row);
    painter.restore();
}

// Bar lines where they are at least 6 pixels apart, else at every ruler label.
void CViewTracks::FindBarLines(const QRect& exposed)
{
    const CTracksGeometry& g = m_context.Geometry();
    const tick left = g.XToTick(exposed.left());
    const tick right = g.XToTick(exposed.right() + 1) + 1;
    const tick bar = std::max<tick>(1, m_context.TicksPerBar());
    const int64_t step = g.GetScale() * bar / kTicksPerWhole >= 6 ? 1 : g.RulerStride(bar);
    m_barLines.clear();
    for (int64_t index = left / bar / step * step; index * bar <= right; index += step)
        m_barLines.push_back(g.TickToX(static_cast<tick>(index * bar)));
}

// The loop points inside band, drawn as dotted lines.
void CViewTracks::ForEachLoopLine(const QRect& band,
                                  const std::function<void(int x, const QColor&)>& draw) const
{
    const CProjectDoc& doc = m_context.GetDoc();
    for (const auto& [at, colour] : {std::pair{doc.GetLoopStart(), CTheme::LoopStartMarker()},
                                     std::pair{doc.GetLoopEnd(), CTheme::LoopEndMarker()}}) {
        const int x = m_context.Geometry().TickToX(at);
        if (x >= band.left() && x <= band.right()) draw(x, colour);
    }
}

// The bar lines (found for the paint) and the loop points (dotted on even pixels, so that bands
// drawn apart join up) within one band of rows, before the clips go over them.
void CViewTracks::PaintTimeLines(QPainter& painter, const QRect& band) const
{
    if (band.isEmpty()) return;
    for (const int x : m_barLines)
        painter.fillRect(QRect(x, band.top(), 1, band.height()), kBarLine);
    ForEachLoopLine(band, [&](int x, const QColor& colour) {
        for (int y = band.top() + (band.top() & 1); y <= band.bottom(); y += 2)
            painter.fillRect(QRect(x, y, 1, 1), colour);
    });
}

// Filling is most of the cost of a frame, so every pixel is filled once where it can be: the row's
// background goes only between the clips that will cover the rest.
void CViewTracks::PaintRowBackground(QPainter& painter, const QRect& exposed, int32_t row) const
{
    const CTracksGeometry& g = m_context.Geometry();
    const QRect line(exposed.left(), g.RowToY(row), exposed.width(), g.GetRowHeight());
    const QColor& fill = row % 2 == 1 ? kAlternateRow : kCanvasBackground;
    // Clip boxes leave the row's top pixel free; its bottom pixel is the row line.
    painter.fillRect(QRect(line.left(), line.top(), line.width(), 1), fill);
    painter.fillRect(QRect(line.left(), line.bottom(), line.width(), 1), kRowLine);
    const int top = line.top() + 1;
    const int height = line.height() - 2;
    if (height <= 0) return;
    const auto gap = [&](int from, int to) {
        from = std::max(from, line.left());
        to = std::min(to, line.right() + 1);
        if (to > from) painter.fillRect(QRect(from, top, to - from, height), fill);
    };
    int x = line.left();
    for (const CClip* clip : m_rowClips) {
        if (x > line.right()) break;
        const QRect box = ClipRect(*clip, row);
        gap(x, box.left());
        x = std::max(x, box.right() + 1);
    }
    gap(x, line.right() + 1);
}

// ---- the recording display ----

CViewTracks::STakeShown* CViewTracks::FindTake(int32_t trackId)
{
    for (STakeShown& take : m_takes)
        if (take.trackId == trackId) return &take;
    return nullptr;
}

void CViewTracks::RecordingStarted(int32_t trackId, tick position)
{
    RecordingFinished(trackId);
    m_takes.push_back({trackId, position, std::nullopt, {}, {}});
    InvalidateTake(m_takes.back());
}

void CViewTracks::NoteRecorded(int32_t trackId, const CNote& note)
{
    STakeShown* take = FindTake(trackId);
    if (take == nullptr) return;
    // Times arrive relative to the take's clip; the first one fixes where that clip begins.
    if (!take->origin) take->origin = m_context.GetDoc().GetSongPosition() - note.m_start;
    take->notes.push_back(note);
    InvalidateTake(*take);
}

void CViewTracks::EventRecorded(int32_t trackId, const CMidiEvent& event)
{
    STakeShown* take = FindTake(trackId);
    if (take == nullptr) return;
    if (!take->origin) take->origin = m_context.GetDoc().GetSongPosition() - event.m_time;
    take->events.push_back(event);
    InvalidateTake(*take);
}

void CViewTracks::RecordingFinished(int32_t trackId)
{
    const auto it = std::find_if(m_takes.begin(), m_takes.end(),
                                 [trackId](const STakeShown& t) { return t.trackId == trackId; });
    if (it == m_takes.end()) return;
    InvalidateTake(*it);
    m_takes.erase(it);
}

QRect CViewTracks::TakeRect(const STakeShown& take) const
{
    const CTrackList& tracks = m_context.GetDoc().GetTracks();
    int32_t row = tracks.GetCount() - 1;
    while (row >= 0 && tracks.GetAt(row)->GetId() != take.trackId)
        --row;
    if (row < 0) return {};
    const CTracksGeometry& g = m_context.Geometry();
    const int x1 = g.TickToX(take.started);
    const int x2 = g.TickToX(std::max(take.started + 1, m_context.GetShownPosition()));
    return QRect(x1, g.RowToY(row), std::max(1, x2 - x1), g.GetRowHeight());
}

void CViewTracks::InvalidateTake(const STakeShown& take)
{
    InvalidateContent(TakeRect(take).adjusted(-2, 0, 2, 0));
}

void CViewTracks::PaintTakes(QPainter& painter, const QRect& exposed)
{
    static const QColor kRecorded(139, 0, 0);
    const CTracksGeometry& g = m_context.Geometry();
    for (const STakeShown& take : m_takes) {
        const QRect box = TakeRect(take).adjusted(0, 1, 0, -1);
        if (!box.intersects(exposed)) continue;
        painter.fillRect(box, kRecorded);
        painter.setPen(Qt::white);
        painter.drawText(box.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Recorded"));
        const tick origin = take.origin.value_or(take.started);
        for (const CNote& note : take.notes) {
            const int height = std::max(1, note.m_velocity * box.height() / 128);
            painter.fillRect(
                QRect(g.TickToX(origin + note.m_start), box.bottom() - height + 1, 1, height),
                Qt::yellow);
        }
        for (const CMidiEvent& event : take.events) {
            const int y = box.bottom() - event.m_data2 * (box.height() - 3) / 128 - 2;
            painter.fillRect(QRect(g.TickToX(origin + event.m_time) - 1, y, 3, 3), Qt::yellow);
        }
    }
}

void CViewTracks::PaintOverlays(QPainter& painter, const QRect& exposed)
{
    const CTracksGeometry& g = m_context.Geometry();
    const int x = g.TickToX(m_context.GetShownPosition());
    if (x >= exposed.left() - 1 && x <= exposed.right() + 1)
        painter.fillRect(QRect(x, 0, 1, viewport()->height()), Qt::white);
    m_tool->DrawOverlay(painter, viewport()->rect());
    if (m_dragPayload != nullptr) DrawDropPreview(painter);
}

QRect CViewTracks::PositionStrip(tick at) const
{
    const int x = m_context.Geometry().TickToX(at);
    return QRect(x - 1, 0, 3, viewport()->height());
}

void CViewTracks::OnShownPositionChanged(tick from, tick to)
{
    RepaintStrip(PositionStrip(from));
    RepaintStrip(PositionStrip(to));
    // Takes being recorded grow with the song.
    const CTracksGeometry& g = m_context.Geometry();
    for (const STakeShown& take : m_takes) {
        const QRect row = TakeRect(take);
        const int x1 = g.TickToX(std::min(from, to));
        const int x2 = g.TickToX(std::max(from, to));
        InvalidateContent(QRect(x1 - 2, row.top(), x2 - x1 + 4, row.height()));
    }
}

void CViewTracks::OverlayMoved(const QRect& before, const QRect& after)
{
    RepaintStrip(before.adjusted(-1, -1, 1, 1));
    RepaintStrip(after.adjusted(-1, -1, 1, 1));
}

void CViewTracks::BandChanged()
{
    // Clips that entered or left the band change their look.
    const std::vector<CClipRef> before = std::move(m_inBand);
    m_inBand.clear();
    const CTracksGeometry& g = m_context.Geometry();
    const tick left = g.GetLeftTick();
    const tick right = g.GetRightTick() + 1;
    for (const CClipRef& ref : ClipsInBand(left, g.GetFirstRow(), right, g.GetLastRow() + 1)) {
        if (m_tool->IsInBand(*ref.clip, ref.track)) m_inBand.push_back(ref);
    }
    auto contains = [](const std::vector<CClipRef>& list, const CClip* clip) {
        return std::any_of(list.begin(), list.end(),
                           [clip](const CClipRef& ref) { return ref.clip == clip; });
    };
    for (const CClipRef& ref : before) {
        if (!contains(m_inBand, ref.clip)) InvalidateClip(*ref.clip, ref.track);
    }
    for (const CClipRef& ref : m_inBand) {
        if (!contains(before, ref.clip)) InvalidateClip(*ref.clip, ref.track);
    }
}

bool CViewTracks::IsInBandDrawn(const CClip* clip) const
{
    return std::any_of(m_inBand.begin(), m_inBand.end(),
                       [clip](const CClipRef& ref) { return ref.clip == clip; });
}

// ---- scrolling ----

void CViewTracks::UpdateScrollBars()
{
    const CTracksGeometry& g = m_context.Geometry();
    m_syncingScrollBars = true;
    QScrollBar* h = horizontalScrollBar();
    h->setRange(0, std::max<tick>(0, g.GetContentTicks() - g.VisibleTicks()));
    h->setPageStep(std::max<tick>(1, g.VisibleTicks()));
    h->setValue(g.GetLeftTick());
    QScrollBar* v = verticalScrollBar();
    v->setRange(0, std::max(0, g.GetContentRows() - g.VisibleRows()));
    v->setPageStep(std::max(1, g.VisibleRows()));
    v->setValue(g.GetFirstRow());
    m_syncingScrollBars = false;
}

void CViewTracks::scrollContentsBy(int, int)
{
    if (m_syncingScrollBars) return;
    m_context.BeginBatch();
    m_context.SetLeftTick(horizontalScrollBar()->value());
    m_context.SetFirstRow(verticalScrollBar()->value());
    m_context.EndBatch();
}

void CViewTracks::OnViewChanged()
{
    UpdateScrollBars();
    if (m_nameEditor != nullptr && m_nameEditor->isVisible() && m_renaming != nullptr) HideRename();
    const CTracksGeometry& g = m_context.Geometry();
    const CProjectDoc& doc = m_context.GetDoc();
    const SShownView now{g.GetLeftTick(),
                         g.GetFirstRow(),
                         g.GetScale(),
                         g.GetRowHeight(),
                         doc.GetTracks().GetCount(),
                         doc.GetLoopStart(),
                         doc.GetLoopEnd(),
                         viewport()->size()};
    const SShownView before = m_shown;
    m_shown = now;
    // Only the rows moved (the wheel, the scroll bar): shift the picture, draw the new rows.
    if (now.SameBut(before) && m_takes.empty() && !m_tool->OverlayRect().isValid() &&
        m_dragPayload == nullptr) {
        ScrollContent((before.firstRow - now.firstRow) * now.rowHeight);
        return;
    }
    InvalidateContent();
}

void CViewTracks::resizeEvent(QResizeEvent* event)
{
    CCanvasView::resizeEvent(event);
    m_context.BeginBatch();
    m_context.Geometry().SetClientSize(viewport()->width(), viewport()->height());
    emit m_context.ViewChanged();
    m_context.EndBatch();
}

void CViewTracks::wheelEvent(QWheelEvent* event)
{
    const QPoint angle = event->angleDelta();
    if (event->modifiers() & Qt::ControlModifier) {
        // Zoom around the pointer.
        if (angle.y() != 0)
            m_context.ZoomHorizontalAt(angle.y() > 0 ? 1 : -1, event->position().toPoint().x());
        event->accept();
        return;
    }
    // The horizontal wheel, and Shift with the vertical one, scroll in time.
    int delta = angle.y();
    if (angle.x() != 0 || (event->modifiers() & Qt::ShiftModifier))
        delta = 2 * (angle.x() != 0 ? angle.x() : angle.y());
    const std::optional<CWheelScroll> scroll = WheelScrollFor(EWheelArea::TracksCanvas, delta);
    if (!scroll) {
        CCanvasView::wheelEvent(event);
        return;
    }
    const CTracksGeometry& g = m_context.Geometry();
    if (scroll->axis == CWheelScroll::EAxis::Rows)
        m_context.SetFirstRow(g.GetFirstRow() + scroll->amount);
    else
        m_context.SetLeftTick(g.GetLeftTick() + scroll->amount);
    event->accept();
}

// ---- status ----

QString CViewTracks::CurrentText() const
{
    if (m_current.clip == nullptr) return {};
    const CTimeSignature& signature = m_context.GetDoc().GetTimeSignature();
    return QStringLiteral("<<Desc>>Current <<Value>>[%1 - %2].<<Text>>Tr <<Value>>%3 ")
        .arg(PositionText(signature, m_current.clip->GetStart()),
             PositionText(signature, m_current.clip->GetEnd()))
        .arg(m_current.track + 1);
}

QString CViewTracks::SelectionText() const
{
    const auto count = static_cast<int>(m_selection.size());
    if (count == 1 && m_current.clip == nullptr)
        return QStringLiteral("<<Desc>>(Selected 1 clip) ");
    if (count >= 2) return QStringLiteral("<<Desc>>(Selected %1 clips) ").arg(count);
    return {};
}

void CViewTracks::SetHoverText(const QPoint& pos)
{
    const CTracksGeometry& g = m_context.Geometry();
    const tick at = std::max<tick>(0, g.XToTick(pos.x()));
    m_hoverText = QStringLiteral("<<Desc>>Pos <<Value>>%1.<<Text>>Tr <<Value>>%2 ")
                      .arg(PositionText(m_context.GetDoc().GetTimeSignature(), at))
                      .arg(g.YToRow(pos.y()) + 1);
    UpdateStatus();
}

QString CViewTracks::StatusText() const
{
    const QString drag = DragText();
    if (!drag.isEmpty()) return drag;
    return m_hoverText + CurrentText() + SelectionText();
}

void CViewTracks::UpdateStatus()
{
    emit StatusChanged(StatusText());
}

void CViewTracks::leaveEvent(QEvent* event)
{
    m_hoverText.clear();
    UpdateStatus();
    CCanvasView::leaveEvent(event);
}

void CViewTracks::focusInEvent(QFocusEvent* event)
{
    CCanvasView::focusInEvent(event);
    if (m_current.clip != nullptr) InvalidateClip(*m_current.clip, m_current.track);
}

void CViewTracks::focusOutEvent(QFocusEvent* event)
{
    CCanvasView::focusOutEvent(event);
    if (m_current.clip != nullptr) InvalidateClip(*m_current.clip, m_current.track);
}

// ---- mouse ----

CToolInput CViewTracks::InputOf(const QMouseEvent& event) const
{
    return {event.position().toPoint(), event.button(), event.buttons(), event.modifiers()};
}

void CViewTracks::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    HideRename();
    m_lastPointer = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        event->accept(); // the menu comes with the context-menu event
        return;
    }
    if (!m_tool->ButtonDown(InputOf(*event))) CCanvasView::mousePressEvent(event);
}

void CViewTracks::mouseMoveEvent(QMouseEvent* event)
{
    m_lastPointer = event->position().toPoint();
    SetHoverText(m_lastPointer);
    const CToolInput input = InputOf(*event);
    if (!m_tool->MouseMove(input)) CCanvasView::mouseMoveEvent(event);
    if (event->buttons() == Qt::NoButton) m_tool->SetCursor(m_lastPointer);
}

void CViewTracks::mouseReleaseEvent(QMouseEvent* event)
{
    m_lastPointer = event->position().toPoint();
    if (!m_tool->ButtonUp(InputOf(*event))) CCanvasView::mouseReleaseEvent(event);
    m_tool->SetCursor(m_lastPointer);
}

void CViewTracks::mouseDoubleClickEvent(QMouseEvent* event)
{
    m_lastPointer = event->position().toPoint();
    if (!m_tool->DoubleClick(InputOf(*event))) CCanvasView::mouseDoubleClickEvent(event);
}

bool CViewTracks::viewportEvent(QEvent* event)
{
    // The canvas's tooltip names the clip under the pointer.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const CClipHit hit = HitTest(help->pos());
        if (hit.ref.clip == nullptr) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        const CTimeSignature& s = m_context.GetDoc().GetTimeSignature();
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("%1\n%2 - %3")
                               .arg(QString::fromStdString(hit.ref.clip->GetName()),
                                    PositionText(s, hit.ref.clip->GetStart()),
                                    PositionText(s, hit.ref.clip->GetEnd())),
                           viewport());
        return true;
    }
    return CCanvasView::viewportEvent(event);
}

// ---- in-place rename ----

void CViewTracks::StartRename()
{
    if (m_current.clip == nullptr) return;
    if (m_nameEditor == nullptr) {
        m_nameEditor = new QLineEdit(viewport());
        m_nameEditor->setMaxLength(kNameEditorMax);
        m_nameEditor->setFrame(false);
        m_nameEditor->setFont(CTheme::SmallFont());
        connect(m_nameEditor, &QLineEdit::editingFinished, this, [this] {
            if (m_nameEditor != nullptr && !m_nameEditor->hasFocus()) HideRename();
        });
        m_nameEditor->installEventFilter(this);
    }
    m_context.MakeVisible(m_current.clip->GetStart(), m_current.track);
    m_renaming = m_current.clip;
    const QRect box = ClipRect(*m_current.clip, m_current.track).adjusted(4, 3, -3, -4);
    m_nameEditor->setGeometry(box & viewport()->rect());
    m_nameEditor->setText(QString::fromStdString(m_current.clip->GetName()));
    m_nameEditor->selectAll();
    m_nameEditor->show();
    m_nameEditor->setFocus();
}

void CViewTracks::CommitRename()
{
    if (m_renaming == nullptr || m_nameEditor == nullptr) return;
    CClip* clip = m_renaming;
    const std::string name = m_nameEditor->text().toStdString();
    HideRename();
    setFocus();
    if (name != clip->GetName()) Run(std::make_unique<COpClipRename>(*clip, name));
}

bool CViewTracks::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_nameEditor &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool ours = key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
        // The editor keeps Return and Escape from the window's shortcuts (Open Editor).
        if (ours && event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        // Handled here: a line edit lets Return travel on to its parent, the canvas.
        if (key == Qt::Key_Escape) {
            HideRename();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            CommitRename();
            return true;
        }
    }
    return CCanvasView::eventFilter(watched, event);
}

void CViewTracks::HideRename()
{
    m_renaming = nullptr;
    if (m_nameEditor != nullptr && m_nameEditor->isVisible()) {
        const bool hadFocus = m_nameEditor->hasFocus();
        m_nameEditor->hide();
        if (hadFocus) setFocus();
    }
}
