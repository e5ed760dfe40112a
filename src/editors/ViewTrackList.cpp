#include "editors/ViewTrackList.h"

#include <QPaintEvent>
#include <QPainter>

#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "editors/TracksContext.h"
#include "model/Track.h"
#include "model/TrackList.h"

CViewTrackList::CViewTrackList(CTracksContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&context, &CTracksContext::ViewChanged, this, qOverload<>(&QWidget::update));
}

bool CViewTrackList::OnCommand(ECommand)
{
    return false;
}

bool CViewTrackList::OnUpdateCommand(ECommand, CCommandUi&)
{
    return false;
}

void CViewTrackList::TracksChanged()
{
    update();
}

EDropEffect CViewTrackList::DragEnter(const CDragPayload&, const CDragPoint&)
{
    return EDropEffect::None;
}

EDropEffect CViewTrackList::DragOver(const CDragPayload&, const CDragPoint&)
{
    return EDropEffect::None;
}

void CViewTrackList::DragLeave(const CDragPayload&)
{}

bool CViewTrackList::Drop(const CDragPayload&, const CDragPoint&)
{
    return false;
}

QSize CViewTrackList::sizeHint() const
{
    return {150, 200};
}

void CViewTrackList::paintEvent(QPaintEvent* event)
{
    // Track number and name per row; the switches and gestures come with the full list.
    QPainter painter(this);
    painter.fillRect(event->rect(), CTheme::PanelBackground());
    const CTracksGeometry& g = m_context.Geometry();
    const CTrackList& tracks = m_context.GetDoc().GetTracks();
    painter.setFont(CTheme::SmallFont());
    for (int32_t row = g.GetFirstRow(); row < tracks.GetCount() && row <= g.GetLastRow(); ++row) {
        const QRect line(0, g.RowToY(row), width(), g.GetRowHeight());
        painter.setPen(QColor(211, 211, 211));
        painter.drawText(line.adjusted(4, 0, 0, 0), Qt::AlignVCenter,
                         QStringLiteral("%1  %2").arg(row + 1).arg(
                             QString::fromStdString(tracks.GetAt(row)->GetName())));
    }
}
