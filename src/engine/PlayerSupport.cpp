#include "engine/PlayerSupport.h"

#include "devices/MidiOutDriver.h"
#include "engine/TrackPlayer.h"
#include "model/Track.h"

namespace {

// Deep enough for port → track → port → driver chains, and a guard against routing cycles.
constexpr int kMaxAuditionDepth = 8;

void AuditionDown(CMidiNode& from, std::span<const SAuditionNote> notes, uint8_t channel,
                  int64_t tickPeriod, int depth)
{
    if (depth > kMaxAuditionDepth) return;
    for (CMidiNode* output : from.GetOutputs()) {
        switch (output->GetKind()) {
        case ENodeKind::MidiOutDriver:
            static_cast<CMidiOutDriver*>(output)->Audition(notes, channel, tickPeriod);
            break;
        case ENodeKind::OutputPort:
            AuditionDown(*output, notes, channel, tickPeriod, depth + 1);
            break;
        case ENodeKind::TrackPlayer: {
            const uint8_t trackChannel =
                OutputChannelOf(static_cast<CTrackPlayer*>(output)->GetTrack());
            AuditionDown(*output, notes, trackChannel, tickPeriod, depth + 1);
            break;
        }
        default:
            break; // players and other nodes do not sound auditions
        }
    }
}

} // namespace

void AuditionThrough(CMidiNode& from, const SAuditionNote* notes, size_t count, uint8_t channel,
                     int64_t tickPeriod)
{
    AuditionDown(from, std::span<const SAuditionNote>(notes, count), channel & 0x0F, tickPeriod, 0);
}
