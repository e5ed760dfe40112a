#pragma once
// What the engine needs of a project to mirror it (command "load project"). The project document
// fills one on the UI thread and keeps it, and everything it points to, alive and unchanged until
// the command returns; the engine only reads it.

#include "model/TimeBase.h"

#include <cstdint>
#include <vector>

class CTrack;
class CPhrase;

struct CEngineProjectView {
    int32_t tempo = kDefaultTempo; // hundredths of BPM
    tick position = 0;             // song position
    CTimeSignature signature;      // the bars a leading transport publishes
    bool loopActive = false;
    tick loopStart = 0;
    tick loopEnd = 0;
    bool soloMode = false;
    bool muteMode = false;
    std::vector<CTrack*> tracks;   // in the project's order (borrowed)
    std::vector<CPhrase*> phrases; // every phrase of every bank, in bank order (borrowed)
};
