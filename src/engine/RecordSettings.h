#pragma once
// What and how recording records; held by the play control, persisted as the "Recording" section.

#include <cstdint>

struct CRecordSettings {
    bool recordPolyPressure = false;
    bool recordControlChange = true;
    bool recordProgramChange = false;
    bool recordChannelAftertouch = false;
    bool recordPitchBend = true;
    bool suppressRedundant = true;
    int32_t quantizeGrid = 0; // ticks, 0 = none ("QuantizeData")
    int32_t clipSnapGrid = 0; // ticks, 0 = none ("SnapClips")
    int32_t furtherWord = 0;  // set alone by play-control parameter 15

    bool operator==(const CRecordSettings&) const = default;
};
