#include "editing/EventOperations.h"

namespace {

// The events and range moved so that the range starts at targetTime.
std::pair<CEventList, CTimeRange> Placed(const CEventList& events, const CTimeRange& range,
                                         tick targetTime)
{
    const tick offset = TickDifference(targetTime, range.m_from);
    CEventList placed;
    placed.CopyShifted(events, offset);
    return {std::move(placed), {targetTime, TickSum(range.m_to, offset)}};
}

} // namespace

COpEventsMove::COpEventsMove(CMidiData& source, const CEventList& events, const CTimeRange& range,
                             CMidiData& target, tick targetTime, const FAskOption& ask)
{
    auto [placed, placedRange] = Placed(events, range, targetTime);
    Add(std::make_unique<COpEventsDelete>(source, events, range));
    Add(std::make_unique<COpEventsCreate>(target, std::move(placed), placedRange, ask));
}

COpEventsCopy::COpEventsCopy(const CEventList& events, const CTimeRange& range, CMidiData& target,
                             tick targetTime, const FAskOption& ask)
{
    auto [placed, placedRange] = Placed(events, range, targetTime);
    Add(std::make_unique<COpEventsCreate>(target, std::move(placed), placedRange, ask));
}
