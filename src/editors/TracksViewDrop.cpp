// Drag and drop on the tracks canvas: dragging the clip selection out, and clips and phrases
// dropped in, with a preview of where they will land.
#include <QDragEnterEvent>
#include <QPainter>

#include <algorithm>

#include "document/ProjectDoc.h"
#include "editing/ClipGroups.h"
#include "editing/PhraseOperations.h"
#include "editors/DragGlue.h"
#include "editors/TracksClipPainter.h"
#include "editors/TracksContext.h"
#include "editors/ViewTracks.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/TrackList.h"

namespace {

// Where a clip payload lands: tick and track offsets of the grabbed clip.
struct CClipDrop {
    tick dt = 0;
    int32_t dtrack = 0;
};

} // namespace

std::vector<CClipRef> CViewTracks::SelectionGrabbedFirst(const CClip* grabbed) const
{
    std::vector<CClipRef> ordered = m_selection;
    const auto it = std::find_if(ordered.begin(), ordered.end(),
                                 [grabbed](const CClipRef& ref) { return ref.clip == grabbed; });
    if (it != ordered.end()) std::rotate(ordered.begin(), it, it + 1);
    return ordered;
}

void CViewTracks::StartClipDrag(const CClipRef& grabbed, const QPoint& pos)
{
    if (grabbed.clip == nullptr) return;
    std::vector<CDragClips::CEntry> entries;
    for (const CClipRef& ref : SelectionGrabbedFirst(grabbed.clip))
        entries.push_back({ref.clip, ref.track});
    const CTracksGeometry& g = m_context.Geometry();
    const tick grabTick = g.XToTick(pos.x()) - grabbed.clip->GetStart();
    const int32_t grabRow = g.YToRow(pos.y()) - grabbed.track;
    RunDrag(this, std::make_unique<CDragClips>(m_context.GetDoc(), std::move(entries),
                                               grabbed.clip->GetStart(), grabbed.track, grabTick,
                                               grabRow));
}

// ---- the drop target ----

EDropEffect CViewTracks::DropEffectOf(const CDragPayload& payload, const CDragPoint& point) const
{
    const EDragKind kind = payload.GetKind();
    if (kind != EDragKind::Clips && kind != EDragKind::Phrase) return EDropEffect::None;
    return DropEffectFor(point.m_control);
}

EDropEffect CViewTracks::DragEnter(const CDragPayload& payload, const CDragPoint& point)
{
    return DragOver(payload, point);
}

EDropEffect CViewTracks::DragOver(const CDragPayload& payload, const CDragPoint& point)
{
    const EDropEffect effect = DropEffectOf(payload, point);
    const QRect before = DropPreviewRect();
    if (effect == EDropEffect::None) {
        m_dragPayload = nullptr;
    } else {
        m_dragPayload = &payload;
        m_dragPos = QPoint(point.m_x, point.m_y);
        m_dragCopy = effect == EDropEffect::Copy;
        AutoScroll(m_dragPos);
    }
    OverlayMoved(before, DropPreviewRect());
    UpdateStatus();
    return effect;
}

void CViewTracks::DragLeave(const CDragPayload&)
{
    const QRect before = DropPreviewRect();
    m_dragPayload = nullptr;
    OverlayMoved(before, QRect());
    UpdateStatus();
}

bool CViewTracks::Drop(const CDragPayload& payload, const CDragPoint& point)
{
    DragLeave(payload);
    const CTracksGeometry& g = m_context.Geometry();
    CProjectDoc& doc = m_context.GetDoc();
    const bool copy = point.m_control;
    const bool ownProject = &payload.GetSource() == &doc;
    const int32_t row = g.YToRow(point.m_y);
    if (payload.GetKind() == EDragKind::Clips) {
        const auto& clips = static_cast<const CDragClips&>(payload);
        const tick dropTick =
            m_context.SnapFloor(g.XToTick(point.m_x) - clips.GetGrabOffsetTicks());
        const tick dt = dropTick - clips.GetGrabbedStart();
        const int32_t dtrack = row - clips.GetGrabOffsetRows() - clips.GetGrabbedRow();
        if (dt == 0 && dtrack == 0) return false;
        std::vector<CClipRef> refs;
        for (const CDragClips::CEntry& entry : clips.GetClips())
            refs.push_back({entry.m_clip, entry.m_track});
        const int32_t count = doc.GetTracks().GetCount();
        auto create = [this] { return AskCreateTracks(); };
        if (!copy && ownProject)
            return Run(std::make_unique<COpClipsMove>(count, refs, dt, dtrack, create));
        return Run(std::make_unique<COpClipsCopy>(count, refs, dt, dtrack, create));
    }
    if (payload.GetKind() != EDragKind::Phrase) return false;
    const auto& dragged = static_cast<const CDragPhrase&>(payload);
    const tick dropTick = m_context.SnapFloor(g.XToTick(point.m_x));
    const CPhrase& phrase = dragged.GetPhrase();
    if (int64_t{dropTick} + phrase.GetLength() <= 0) return false;
    if (row < 0 || row >= doc.GetTracks().GetCount()) return false;
    auto clip = MakeClipFromPhrase(phrase, dropTick);
    if (copy || !ownProject) return Run(std::make_unique<COpClipCreate>(row, std::move(clip)));
    return Run(std::make_unique<COpPhraseToClip>(dragged.GetBank(), dragged.GetIndex(), row,
                                                 std::move(clip)));
}

void CViewTracks::AutoScroll(const QPoint& pos)
{
    const QPoint direction = EdgeDirection(pos, viewport()->size());
    if (direction.isNull()) return;
    const CTracksGeometry& g = m_context.Geometry();
    m_context.BeginBatch();
    if (direction.x() != 0) m_context.SetLeftTick(g.GetLeftTick() + direction.x() * kTicksPerWhole);
    if (direction.y() != 0) m_context.SetFirstRow(g.GetFirstRow() + direction.y());
    m_context.EndBatch();
}

QString CViewTracks::DragText() const
{
    if (m_dragPayload == nullptr) return {};
    const CTracksGeometry& g = m_context.Geometry();
    const CTimeSignature& signature = m_context.GetDoc().GetTimeSignature();
    QString head;
    tick at = 0;
    int32_t row = g.YToRow(m_dragPos.y());
    if (m_dragPayload->GetKind() == EDragKind::Clips) {
        const auto& clips = static_cast<const CDragClips&>(*m_dragPayload);
        const auto n = static_cast<int>(clips.GetClips().size());
        head = n == 1 ? QStringLiteral("<<Desc>>Dragging (1 clip) ")
                      : QStringLiteral("<<Desc>>Dragging (%1 clips) ").arg(n);
        at = m_context.SnapFloor(g.XToTick(m_dragPos.x()) - clips.GetGrabOffsetTicks());
        row -= clips.GetGrabOffsetRows();
    } else {
        head = QStringLiteral("<<Desc>> Dragging (1 phrase)");
        at = m_context.SnapFloor(g.XToTick(m_dragPos.x()));
    }
    return head + QStringLiteral("<<Value>>%1.<<Text>>Tr <<Value>>%2")
                      .arg(QString::fromStdString(signature.FormatPosition(std::max<tick>(0, at))))
                      .arg(row + 1);
}

// The boxes the dragged clips would take, in client pixels (the preview).
static std::vector<std::pair<QRect, const CMidiData*>>
PreviewBoxes(const CViewTracks& view, const CDragPayload& payload, const QPoint& pos)
{
    const CTracksContext& context = view.Context();
    const CTracksGeometry& g = context.Geometry();
    std::vector<std::pair<QRect, const CMidiData*>> boxes;
    auto box = [&g](tick start, tick end, int32_t row) {
        const int x1 = g.TickToX(start);
        return QRect(x1, g.RowToY(row), std::max(1, g.TickToX(end) - x1), g.GetRowHeight());
    };
    if (payload.GetKind() == EDragKind::Clips) {
        const auto& clips = static_cast<const CDragClips&>(payload);
        const tick drop = context.SnapFloor(g.XToTick(pos.x()) - clips.GetGrabOffsetTicks());
        const tick dt = drop - clips.GetGrabbedStart();
        const int32_t dtrack =
            g.YToRow(pos.y()) - clips.GetGrabOffsetRows() - clips.GetGrabbedRow();
        for (const CDragClips::CEntry& entry : clips.GetClips()) {
            const CClip& clip = *entry.m_clip;
            boxes.emplace_back(
                box(clip.GetStart() + dt, clip.GetEnd() + dt, entry.m_track + dtrack), &clip);
        }
    } else if (payload.GetKind() == EDragKind::Phrase) {
        const auto& phrase = static_cast<const CDragPhrase&>(payload);
        const tick drop = context.SnapFloor(g.XToTick(pos.x()));
        boxes.emplace_back(box(drop, drop + phrase.GetPhrase().GetLength(), g.YToRow(pos.y())),
                           &phrase.GetPhrase());
    }
    return boxes;
}

QRect CViewTracks::DropPreviewRect() const
{
    if (m_dragPayload == nullptr) return {};
    QRect all;
    for (const auto& [rect, clip] : PreviewBoxes(*this, *m_dragPayload, m_dragPos))
        all = all.united(rect);
    return all.adjusted(-1, -1, 1, 1);
}

void CViewTracks::DrawDropPreview(QPainter& painter) const
{
    for (const auto& [rect, data] : PreviewBoxes(*this, *m_dragPayload, m_dragPos))
        CTracksClipPainter::DrawOutline(painter, rect, *data);
}

// ---- Qt's drag events, handed to the drop target ----

void CViewTracks::dragEnterEvent(QDragEnterEvent* event)
{
    ForwardDragEnter(*this, event);
}

void CViewTracks::dragMoveEvent(QDragMoveEvent* event)
{
    ForwardDragMove(*this, event);
}

void CViewTracks::dragLeaveEvent(QDragLeaveEvent*)
{
    ForwardDragLeave(*this);
}

void CViewTracks::dropEvent(QDropEvent* event)
{
    ForwardDrop(*this, event);
}
