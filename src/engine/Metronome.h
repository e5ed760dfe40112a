#pragma once
// The click generator (node kind 8). The engine creates it and the clock calls it on every playing
// tick and flushes it on stop; the clicks and their settings are the metronome work that follows,
// so for now it knows no parameter and plays nothing.
//
// Threads: music thread (or the caller's thread when the engine runs inline).

#include "devices/MidiNode.h"
#include "model/TimeBase.h"

class CMetronome : public CMidiNode {
public:
    CMetronome() { SetNodeName("Metronome"); }
    ~CMetronome() override { DisconnectAll(this); }

    ENodeKind GetKind() const override { return ENodeKind::Metronome; }
    // Emits the click for song tick `position`. Real-time safe.
    void Tick(tick position) { (void)position; }
};
