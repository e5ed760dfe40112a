#include "editors/WheelTable.h"

std::optional<CWheelScroll> WheelScrollFor(EWheelArea area, int delta)
{
    using A = CWheelScroll::EAxis;
    const int sign = delta > 0 ? 1 : -1;
    const bool notch = delta == 120 || delta == -120;
    if (!notch && delta != 240 && delta != -240) return std::nullopt;
    switch (area) {
    case EWheelArea::TracksCanvas:
        return notch ? CWheelScroll{A::Rows, -sign} : CWheelScroll{A::Ticks, -sign * 960};
    case EWheelArea::TrackList:
        return CWheelScroll{A::Rows, -sign};
    case EWheelArea::NoteCanvas:
        return notch ? CWheelScroll{A::Pitches, sign * 12} : CWheelScroll{A::Ticks, -sign * 96};
    case EWheelArea::EventLane:
        return notch ? CWheelScroll{A::Pitches, -sign * 12} : CWheelScroll{A::Ticks, -sign * 96};
    }
    return std::nullopt;
}
