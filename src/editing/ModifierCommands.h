#pragma once
// The piano roll's and event editor's editing commands, each one call that computes the new notes
// or events with a modifier and runs them through the project's history as one step named after
// the command. A run that changes nothing is refused and leaves no history entry. Every call
// takes the container shown (phrase or clip, borrowed), its selected notes or events in container
// order, and the selection's area or time range (ticks relative to the container's start); each
// returns true when it made a history entry. User-interface thread only.

#include <cstdint>
#include <memory>
#include <string>

#include "document/OperationHistory.h"
#include "model/EditArea.h"
#include "model/EventList.h"
#include "model/NoteList.h"

class CAppOptions;
class CHarmonicScale;
class CMidiData;
class CModifier;
class CProfile;
class CProjectDoc;
class CRandomGenerator;
class CValueCurve;

// The velocity lanes of the event editor, by the status byte they show.
enum class EVelocityLane : uint8_t { NoteOn = 0x90, NoteOff = 0x80 };

// ---- Running a modifier ----

// The notes as modifier makes them, as "Modify Notes" named by the modifier.
bool RunNoteModifier(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                     const CNoteArea& area, CModifier& modifier);
// The notes as modifier makes them on a velocity lane, as "Edit Note-On Velocities" or "Edit
// Note-Off Velocities".
bool RunVelocityModifier(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                         const CNoteArea& area, EVelocityLane lane, CModifier& modifier);
// The events as modifier makes them, as "Modify Events" with the given name.
bool RunEventModifier(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                      const CTimeRange& range, CModifier& modifier, const std::string& name);

// ---- Piano roll and event editor commands ----

// "Quantize Notes": starts down to startGrid, ends up to endGrid, on the song timeline.
bool QuantizeNotes(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                   const CNoteArea& area, CNoteValue startGrid, CNoteValue endGrid);
// "Split Notes To Length": length is the piano roll's default note length; 0 changes nothing.
bool SplitNotesToLength(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                        const CNoteArea& area, tick length);
// "Remove Overlaping Notes".
bool RemoveOverlappingNotes(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                            const CNoteArea& area);
// "Quantize Events": times down to grid, on the song timeline.
bool QuantizeEvents(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                    const CTimeRange& range, CNoteValue grid);
// "Supress Redundant Events": selected must be the events of one lane.
bool SuppressRedundantEvents(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                             const CTimeRange& range);
// "Increase Event Values" (percent > 0) or "Decrease Event Values" (percent < 0).
bool ScaleEventValues(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                      const CTimeRange& range, int32_t percent);
// "Increase by" / "Reduce by" on a velocity lane (percent > 0 increases, < 0 reduces).
bool ScaleVelocities(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                     const CNoteArea& area, EVelocityLane lane, int32_t percent);

// A value curve (owned from here on) applied to a velocity lane or, as name, to events.
bool ApplyCurveToVelocities(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                            const CNoteArea& area, EVelocityLane lane,
                            std::unique_ptr<CValueCurve> curve);
bool ApplyCurveToEvents(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                        const CTimeRange& range, std::unique_ptr<CValueCurve> curve,
                        const std::string& name);
// "Draw Events" on a controller lane: the line drawn from (t1, y1) to (t2, y2).
bool DrawEventValues(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                     const CTimeRange& range, tick t1, int32_t y1, tick t2, int32_t y2);
// The draw tool on a velocity lane.
bool DrawVelocities(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                    const CNoteArea& area, EVelocityLane lane, tick t1, int32_t y1, tick t2,
                    int32_t y2);

// "Transpose To Harmonic Scale" with the scale that applies to the container.
bool TransposeToScale(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                      const CNoteArea& area, const CHarmonicScale& scale);
// "Transpose Randomize", drawing from random (normally CRandomGenerator::Program()).
bool TransposeRandomize(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                        const CNoteArea& area, const CHarmonicScale& scale,
                        CRandomGenerator& random);

// ---- The event editor's "Modifier" menu ----

// The value-curve commands (kCmdModifier... in editing/ValueModifiers.h) with the command last
// applied, for "&Repeat Last Modifier". One per event editor.
class CModifierMenu {
public:
    // The command's curve over the selection's time range, applied to a velocity lane's selected
    // notes or to a controller lane's selected events ("Edit Event Values"). With something
    // selected the command is remembered, whether or not it changed anything. An unknown id
    // does nothing.
    bool Apply(CProjectDoc& doc, int commandId, CMidiData& container, const CNoteList& selected,
               const CNoteArea& area, EVelocityLane lane);
    bool Apply(CProjectDoc& doc, int commandId, CMidiData& container, const CEventList& selected,
               const CTimeRange& range);
    // The remembered command on the current selection; nothing while none is remembered.
    bool Repeat(CProjectDoc& doc, CMidiData& container, const CNoteList& selected,
                const CNoteArea& area, EVelocityLane lane);
    bool Repeat(CProjectDoc& doc, CMidiData& container, const CEventList& selected,
                const CTimeRange& range);

    // The command last applied; 0 before any.
    int GetLastCommand() const { return m_last; }
    // "&Repeat Last Modifier\tCtrl+R", enabled while a command is remembered.
    CCommandState UpdateRepeat() const;

private:
    int m_last = 0;
};

// ---- The "Editor" settings the commands use ----

// Reads from and changes the application's options; a change is written to the profile's
// "Editor" section at once. Both borrowed.
class CModifierSettings {
public:
    CModifierSettings(CAppOptions& options, CProfile& profile)
        : m_options(options), m_profile(profile)
    {}

    // "QStart" and "QEnd": the grids of the quantize commands (events use the start grid).
    CNoteValue GetQuantizeStart() const;
    CNoteValue GetQuantizeEnd() const;
    // What the "Quantize..." dialog returns on OK.
    void SetQuantize(CNoteValue start, CNoteValue end);

    // "IncValue" and "DecValue" in percent, 1..50.
    int32_t GetIncValue() const;
    int32_t GetDecValue() const;
    // What the "Increase %" and "Reduce %" dialogs return on OK, brought into 1..50.
    void SetIncValue(int32_t percent);
    void SetDecValue(int32_t percent);
    // The signed percentages the scaling commands take: +IncValue and -DecValue.
    int32_t IncreasePercent() const { return GetIncValue(); }
    int32_t ReducePercent() const { return -GetDecValue(); }
    // Menu texts "Increase by 10%..." and "Reduce by 10%...".
    std::string IncreaseText() const;
    std::string ReduceText() const;

private:
    CAppOptions& m_options;
    CProfile& m_profile;
};
