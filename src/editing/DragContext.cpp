#include "editing/DragContext.h"

CDragContext& CDragContext::Instance()
{
    static CDragContext context;
    return context;
}

EDropEffect CDragContext::Enter(CDropTarget& target, const CDragPoint& point)
{
    return m_payload ? target.DragEnter(*m_payload, point) : EDropEffect::None;
}

EDropEffect CDragContext::Over(CDropTarget& target, const CDragPoint& point)
{
    return m_payload ? target.DragOver(*m_payload, point) : EDropEffect::None;
}

void CDragContext::Leave(CDropTarget& target)
{
    if (m_payload) target.DragLeave(*m_payload);
}

bool CDragContext::Drop(CDropTarget& target, const CDragPoint& point)
{
    return m_payload && target.Drop(*m_payload, point);
}
