#include "editors/BarTrackProperties.h"

#include "editors/TracksContext.h"

CBarTrackProperties::CBarTrackProperties(CTracksContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{}

void CBarTrackProperties::Refresh()
{}

void CBarTrackProperties::SetCollapsed(bool collapsed)
{
    if (collapsed == m_collapsed) return;
    m_collapsed = collapsed;
    emit CollapsedChanged(collapsed);
}
