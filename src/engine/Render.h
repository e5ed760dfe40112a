#pragma once
// Rendering: plays a project through a private engine on the virtual backend, tick by tick on a
// virtual clock as fast as the machine allows, and hands every message the eight output ports'
// devices receive, with the song tick at which the engine emitted it, to a sink. The same project
// renders to the same messages on every run: nothing depends on wall-clock time.
//
// Threads: the caller's thread (the engine runs inline); the project must not change meanwhile.

#include "devices/MidiBackend.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <span>
#include <string>

struct CEngineProjectView;

struct SRenderOptions {
    tick from = 0; // where playback starts (a locate)
    // Where it stops; below 0: at the song end, then on until every pending note-off has gone.
    tick to = -1;
};

// Receives what a render produces. Called on the rendering thread.
class CRenderSink {
public:
    virtual ~CRenderSink() = default;
    // Messages the device of output port `port` (0 for "Out1" .. 7 for "Out8") received at song
    // tick `at`, in emission order.
    virtual void OnMessages(int32_t port, tick at, std::span<const SMidiOutRecord> records) = 0;
    // Tick `at` is about to play; its messages are stamped from `time` (100 ns master clock) on.
    virtual void OnTickStart(tick at, int64_t time) { (void)at, (void)time; }
    // Tick `at` is complete; it lasted tickPeriod (100 ns units) of music time.
    virtual void OnTickDone(tick at, int64_t tickPeriod) { (void)at, (void)tickPeriod; }
};

// The song end: where the last clip ends, its track's delay included (0 for an empty song).
tick SongEndOf(const CEngineProjectView& view);

// Loads the project seen through view (which must stay unchanged meanwhile) into an engine whose
// output devices "Out1".."Out8" are routed one to one from the ports of those names, starts at
// options.from and plays until options.to (see there), ignoring the loop, then stops. Returns 1, or
// 0 with the reason in error. The ticks played are added to ticksPlayed when it is not null.
int RenderProject(const CEngineProjectView& view, const SRenderOptions& options, CRenderSink& sink,
                  std::string& error, int64_t* ticksPlayed = nullptr);

// Output port names of a render, index 0..7.
std::string RenderPortName(int32_t port);
