#include "editors/TracksTools.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>

#include "editing/ClipGroups.h"
#include "editing/ClipOperations.h"
#include "editors/TracksClipPainter.h"
#include "editors/TracksContext.h"
#include "editors/TracksCursors.h"
#include "editors/ViewTracks.h"
#include "model/Clip.h"

namespace {

// A point of the content: song tick and track row.
struct CContentPoint {
    tick at = 0;
    int32_t row = 0;
};

// What every tool shares: the view, the rubber band and the tick under the pointer.
class CTracksTool : public CCanvasTool {
public:
    explicit CTracksTool(CViewTracks& view) : m_view(view) {}

    bool SetCursor(const QPoint&) override { return false; }
    bool DoubleClick(const CToolInput&) override { return false; }
    bool DrawsNormally(const CClip&) const override { return true; }

    void DrawOverlay(QPainter& painter, const QRect&) const override
    {
        if (!m_banding) return;
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(BandRect().adjusted(0, 0, -1, -1));
    }

    QRect OverlayRect() const override { return m_banding ? BandRect() : QRect(); }

    bool IsInBand(const CClip& clip, int32_t row) const override
    {
        if (!m_banding) return false;
        const tick left = std::min(m_anchor.at, m_corner.at);
        const tick right = std::max(m_anchor.at, m_corner.at);
        return clip.GetEnd() > left && clip.GetStart() < right && row >= BandTop() &&
               row < BandBottom();
    }

protected:
    CTracksContext& Context() const { return m_view.Context(); }
    const CTracksGeometry& Geometry() const { return m_view.Context().Geometry(); }

    CContentPoint ContentAt(const QPoint& pos) const
    {
        return {Geometry().XToTick(pos.x()), Geometry().YToRow(pos.y())};
    }
    // The band covers the rows of both its corners.
    int32_t BandTop() const { return std::min(m_anchor.row, m_corner.row); }
    int32_t BandBottom() const { return std::max(m_anchor.row, m_corner.row) + 1; }
    // Selects what the band covers and ends it.
    void SelectBand()
    {
        const tick left = std::min(m_anchor.at, m_corner.at);
        const tick right = std::max(m_anchor.at, m_corner.at);
        const int32_t top = BandTop();
        const int32_t bottom = BandBottom();
        EndBand();
        m_view.SelectInBand(left, top, right, bottom);
    }

    void StartBand(const QPoint& pos)
    {
        m_banding = true;
        m_anchor = ContentAt(pos);
        m_corner = m_anchor;
        m_view.viewport()->setCursor(Qt::CrossCursor);
    }
    void MoveBand(const QPoint& pos)
    {
        const QRect before = BandRect();
        // Keep the band's far corner in sight when the pointer leaves the canvas.
        const CContentPoint point = ContentAt(pos);
        if (!m_view.viewport()->rect().contains(pos)) Context().MakeVisible(point.at, point.row);
        m_corner = point;
        m_view.OverlayMoved(before, BandRect());
        m_view.BandChanged();
    }
    void EndBand()
    {
        const QRect before = BandRect();
        m_banding = false;
        m_view.OverlayMoved(before, QRect());
        m_view.BandChanged();
        m_view.viewport()->unsetCursor();
    }
    // The band in client pixels, from its normalised corners.
    QRect BandRect() const
    {
        const CTracksGeometry& g = Geometry();
        const int x1 = g.TickToX(std::min(m_anchor.at, m_corner.at));
        const int x2 = g.TickToX(std::max(m_anchor.at, m_corner.at));
        const int y1 = g.RowToY(BandTop());
        const int y2 = g.RowToY(BandBottom());
        return QRect(QPoint(x1, y1), QPoint(std::max(x1, x2), std::max(y1, y2)));
    }
    tick SnappedNearest(const QPoint& pos) const
    {
        return std::max<tick>(0, Context().SnapNearest(Geometry().XToTick(pos.x())));
    }

    CViewTracks& m_view;
    bool m_banding = false;
    CContentPoint m_anchor;
    CContentPoint m_corner;
};

class CToolSelect : public CTracksTool {
public:
    using CTracksTool::CTracksTool;
    int32_t GetId() const override { return static_cast<int32_t>(ETracksTool::Select); }

    bool SetCursor(const QPoint& pos) override
    {
        const CClipHit hit = m_view.HitTest(pos);
        QWidget* viewport = m_view.viewport();
        if (hit.zone == EClipZone::LeftEdge || hit.zone == EClipZone::RightEdge)
            viewport->setCursor(Qt::SizeHorCursor);
        else if (hit.ref.clip == nullptr && m_view.IsOnPositionLine(pos))
            viewport->setCursor(PositionCursor());
        else
            viewport->unsetCursor();
        return true;
    }

    bool DoubleClick(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton) return false;
        const CClipHit hit = m_view.HitTest(input.pos);
        if (hit.ref.clip != nullptr) {
            m_view.SetCurrent(hit.ref);
            m_view.OpenCurrentInEditor();
        } else {
            m_view.CreateClipAt(input.pos);
        }
        m_state = EState::None;
        return true;
    }

    bool ButtonDown(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton) return false;
        m_pressAt = input.pos;
        const CClipHit hit = m_view.HitTest(input.pos);
        if (hit.ref.clip != nullptr) {
            if (input.Extends() || m_view.IsSelected(hit.ref.clip))
                m_view.Select(hit.ref);
            else
                m_view.SelectOnly(hit.ref);
            m_view.SetCurrent(hit.ref);
            m_grabbed = hit.ref;
            m_state = hit.zone == EClipZone::RightEdge  ? EState::ResizeEnd
                      : hit.zone == EClipZone::LeftEdge ? EState::ResizeStart
                                                        : EState::Pressed;
            if (m_state != EState::Pressed) {
                m_preview = hit.zone == EClipZone::RightEdge ? hit.ref.clip->GetEnd()
                                                             : hit.ref.clip->GetStart();
                // The overlay draws the clip while it is resized.
                m_view.InvalidateContent(
                    m_view.ClipRect(*hit.ref.clip, hit.ref.track).adjusted(-1, -1, 1, 1));
                m_view.OverlayMoved(QRect(), OverlayRect());
            }
        } else if (m_view.IsOnPositionLine(input.pos)) {
            m_state = EState::Position;
            Context().DragPosition(Geometry().XToTick(input.pos.x()));
        } else {
            if (!input.Extends()) m_view.ClearSelection();
            m_state = EState::PressedEmpty;
        }
        return true;
    }

    bool MouseMove(const CToolInput& input) override
    {
        if (!(input.buttons & Qt::LeftButton)) return false;
        const bool moved =
            (input.pos - m_pressAt).manhattanLength() >= QApplication::startDragDistance();
        switch (m_state) {
        case EState::Pressed:
            if (moved) {
                m_state = EState::None;
                m_view.StartClipDrag(m_grabbed, m_pressAt);
            }
            return true;
        case EState::PressedEmpty:
            if (moved) {
                m_state = EState::Band;
                StartBand(m_pressAt);
                MoveBand(input.pos);
            }
            return true;
        case EState::Band:
            MoveBand(input.pos);
            return true;
        case EState::ResizeStart:
        case EState::ResizeEnd: {
            const QRect before = OverlayRect();
            m_preview = SnappedNearest(input.pos);
            m_view.OverlayMoved(before, OverlayRect());
            return true;
        }
        case EState::Position:
            Context().DragPosition(Geometry().XToTick(input.pos.x()));
            return true;
        case EState::None:
            return false;
        }
        return false;
    }

    bool ButtonUp(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton) return false;
        const EState state = m_state;
        m_state = EState::None;
        switch (state) {
        case EState::Band:
            SelectBand();
            break;
        case EState::ResizeStart:
        case EState::ResizeEnd:
            EndResize(state, SnappedNearest(input.pos));
            break;
        case EState::Position:
            Context().EndPositionDrag(true);
            break;
        default:
            break;
        }
        return true;
    }

    bool DrawsNormally(const CClip& clip) const override
    {
        return !IsResizing() || m_grabbed.clip != &clip;
    }

    void DrawOverlay(QPainter& painter, const QRect& client) const override
    {
        CTracksTool::DrawOverlay(painter, client);
        if (!IsResizing() || m_grabbed.clip == nullptr) return;
        const QRect rect = ResizeRect();
        CTracksClipPainter::DrawOutline(painter, rect, *m_grabbed.clip);
        const int x = Geometry().TickToX(m_preview);
        painter.fillRect(QRect(x, 0, 1, client.height()), Qt::white);
    }

    QRect OverlayRect() const override
    {
        if (!IsResizing()) return CTracksTool::OverlayRect();
        const int x = Geometry().TickToX(m_preview);
        return ResizeRect().united(QRect(x, 0, 1, m_view.viewport()->height()));
    }

private:
    enum class EState { None, Pressed, PressedEmpty, Band, ResizeStart, ResizeEnd, Position };

    bool IsResizing() const
    {
        return m_state == EState::ResizeStart || m_state == EState::ResizeEnd;
    }

    QRect ResizeRect() const
    {
        const CClip& clip = *m_grabbed.clip;
        const tick from = m_state == EState::ResizeStart ? m_preview : clip.GetStart();
        const tick to = m_state == EState::ResizeEnd ? m_preview : clip.GetEnd();
        const CTracksGeometry& g = Geometry();
        const int x1 = g.TickToX(std::min(from, to));
        const int x2 = g.TickToX(std::max(from, to));
        return QRect(x1, g.RowToY(m_grabbed.track), std::max(1, x2 - x1), g.GetRowHeight());
    }

    void EndResize(EState state, tick at)
    {
        CClip* clip = m_grabbed.clip;
        const QRect overlay = ResizeRect().united(
            QRect(Geometry().TickToX(m_preview), 0, 1, m_view.viewport()->height()));
        m_view.OverlayMoved(overlay, QRect());
        m_view.InvalidateContent(m_view.ClipRect(*clip, m_grabbed.track).adjusted(-1, -1, 1, 1));
        if (state == EState::ResizeStart) {
            if (at != clip->GetStart()) m_view.Run(std::make_unique<COpClipSetStart>(*clip, at));
            return;
        }
        const tick length = at - clip->GetStart();
        if (length >= 1 && length != clip->GetLength())
            m_view.Run(
                std::make_unique<COpClipSetLength>(*clip, length, EClipLengthOrigin::TracksDrag));
    }

    EState m_state = EState::None;
    QPoint m_pressAt;
    CClipRef m_grabbed;
    tick m_preview = 0;
};

class CToolEraser : public CTracksTool {
public:
    using CTracksTool::CTracksTool;
    int32_t GetId() const override { return static_cast<int32_t>(ETracksTool::Eraser); }

    bool SetCursor(const QPoint&) override
    {
        m_view.viewport()->setCursor(EraserCursor());
        return true;
    }

    bool ButtonDown(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton) return false;
        const CClipHit hit = m_view.HitTest(input.pos);
        if (hit.ref.clip != nullptr) {
            m_view.SelectOnly(hit.ref);
            m_pressed = hit.ref;
        } else {
            m_view.ClearSelection();
            StartBand(input.pos);
            MoveBand(input.pos);
        }
        return true;
    }

    bool MouseMove(const CToolInput& input) override
    {
        if (!(input.buttons & Qt::LeftButton) || !m_banding) return false;
        MoveBand(input.pos);
        return true;
    }

    bool ButtonUp(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton) return false;
        if (m_banding) {
            SelectBand();
            m_view.DeleteSelection();
        } else if (m_pressed.clip != nullptr &&
                   m_view.HitTest(input.pos).ref.clip == m_pressed.clip) {
            m_view.DeleteSelection();
        }
        m_pressed = {};
        m_view.ClearSelection();
        return true;
    }

private:
    CClipRef m_pressed;
};

class CToolScissors : public CTracksTool {
public:
    using CTracksTool::CTracksTool;
    int32_t GetId() const override { return static_cast<int32_t>(ETracksTool::Scissors); }

    bool SetCursor(const QPoint&) override
    {
        m_view.viewport()->setCursor(ScissorsCursor());
        return true;
    }

    bool ButtonDown(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton) return false;
        const CClipHit hit = m_view.HitTest(input.pos);
        if (hit.ref.clip == nullptr) return true;
        m_view.SelectOnly(hit.ref);
        m_view.SetCurrent(hit.ref);
        m_cutting = true;
        MoveCut(input.pos);
        return true;
    }

    bool MouseMove(const CToolInput& input) override
    {
        if (!m_cutting) return false;
        MoveCut(input.pos);
        return true;
    }

    bool ButtonUp(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton || !m_cutting) return false;
        m_cutting = false;
        m_view.OverlayMoved(CutRect(), QRect());
        const CClipRef ref = m_view.GetCurrent();
        const tick at = SnappedNearest(input.pos);
        if (ref.clip != nullptr && ref.clip->GetStart() < at && at < ref.clip->GetEnd())
            m_view.Run(std::make_unique<COpClipSplit>(ref.track, *ref.clip, at));
        return true;
    }

    void DrawOverlay(QPainter& painter, const QRect&) const override
    {
        if (m_cutting) painter.fillRect(CutRect(), Qt::white);
    }
    QRect OverlayRect() const override { return m_cutting ? CutRect() : QRect(); }

private:
    void MoveCut(const QPoint& pos)
    {
        const QRect before = CutRect();
        m_cutAt = SnappedNearest(pos);
        // The clip under the snapped point becomes the one to cut.
        const QPoint snapped(Geometry().TickToX(m_cutAt), pos.y());
        const CClipHit hit = m_view.HitTest(snapped);
        if (hit.ref.clip != nullptr && hit.ref.clip != m_view.GetCurrent().clip) {
            m_view.SelectOnly(hit.ref);
            m_view.SetCurrent(hit.ref);
        }
        m_view.OverlayMoved(before, CutRect());
    }
    QRect CutRect() const
    {
        const CClipRef ref = m_view.GetCurrent();
        if (ref.clip == nullptr) return QRect();
        const QRect row = m_view.ClipRect(*ref.clip, ref.track);
        return QRect(Geometry().TickToX(m_cutAt), row.top(), 1, row.height());
    }

    bool m_cutting = false;
    tick m_cutAt = 0;
};

class CToolGlue : public CTracksTool {
public:
    using CTracksTool::CTracksTool;
    int32_t GetId() const override { return static_cast<int32_t>(ETracksTool::Glue); }

    bool SetCursor(const QPoint&) override
    {
        m_view.viewport()->setCursor(GlueCursor());
        return true;
    }

    bool ButtonDown(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton) return false;
        const CClipHit hit = m_view.HitTest(input.pos);
        if (hit.ref.clip == nullptr) return true;
        // With Shift or Control the previously current clip stays selected: two clips to glue.
        const CClipRef previous = m_view.GetCurrent();
        m_view.SelectOnly(hit.ref);
        if (input.Extends() && previous.clip != nullptr && previous.clip != hit.ref.clip)
            m_view.Select(previous);
        m_view.SetCurrent(hit.ref);
        return true;
    }

    bool MouseMove(const CToolInput&) override { return false; }

    bool ButtonUp(const CToolInput& input) override
    {
        if (input.button != Qt::LeftButton) return false;
        m_view.MergeSelection();
        return true;
    }
};

} // namespace

std::unique_ptr<CCanvasTool> MakeTracksTool(ETracksTool tool, CViewTracks& view)
{
    switch (tool) {
    case ETracksTool::Eraser:
        return std::make_unique<CToolEraser>(view);
    case ETracksTool::Scissors:
        return std::make_unique<CToolScissors>(view);
    case ETracksTool::Glue:
        return std::make_unique<CToolGlue>(view);
    case ETracksTool::Select:
        break;
    }
    return std::make_unique<CToolSelect>(view);
}
