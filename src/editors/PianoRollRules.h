#pragma once
// The arithmetic behind the piano roll's keys, nudges and drops: plain functions on notes, areas
// and ticks, kept apart from the widgets so that each rule can be checked on its own.
// User-interface thread (no state).

#include <cstdint>
#include <optional>

#include "model/EditArea.h"
#include "model/NoteList.h"
#include "model/TimeBase.h"

class CHarmonicScale;

// The edit types of the note canvas: what the nudge keys change.
enum class ENoteEditType : int32_t { Start = 1, Pitch = 2, Length = 3, VelOn = 4, VelOff = 5 };

// The note that Insert and step entry start from.
struct CDefaultNote {
    tick m_length = 24;
    uint8_t m_velocity = 127;
    uint8_t m_offVelocity = 127;
    bool operator==(const CDefaultNote&) const = default;
};

// The highest tick the cursor may take in a phrase of the given length: the cursor cell stays
// inside it (never below 0).
tick CursorLastTick(tick phraseLength, tick cursorLength);

// Left / Right from tick t by step (negative: left): the nearest note of the pitch that starts
// strictly between t and t + step stops the move at its start.
tick StepStoppingAtNotes(const CNoteList& notes, tick t, int32_t pitch, tick step);

// A length moved to a multiple of the signed step s: s x ((length + s) / s), truncating; nothing
// when the result is not positive (the note keeps its length).
std::optional<tick> SteppedLength(tick length, tick step);

// A velocity moved by delta and kept inside 1..127.
uint8_t NudgedVelocity(int32_t velocity, int32_t delta);

// One note's start moved by dt: moving left the start stops at 0, moving right the end stops at
// the phrase length; the length stays.
CNote NoteWithStartMoved(const CNote& note, tick dt, tick phraseLength);

// The notes whose start lies in the area's time span and whose pitch lies in its pitch span
// (time [from, to), pitches [pitchA, pitchB)); found by binary search.
CNoteList NotesStartingIn(const CNoteList& notes, const CNoteArea& area);
// Whether the area covers nothing.
bool IsEmptyArea(const CNoteArea& area);
// The note's cell: start to end in its pitch row.
CNoteArea SpotOf(const CNote& note);
// area widened to take in every note of notes (time and pitch).
CNoteArea AreaWithNotes(const CNoteArea& area, const CNoteList& notes);

// The selection spanned by the anchor cell and the cursor cell: the start floor-snapped to the
// grid, the end one grid unit past the later cell, the pitches of both rows.
CNoteArea SpannedArea(tick anchorTick, int32_t anchorPitch, tick cursorTick, int32_t cursorPitch,
                      const CNoteValue& grid);
// One grid unit in ticks: the grid value, or one tick for "Off".
tick GridUnit(const CNoteValue& grid);

// The tick offset of a drop: the dragged area's start moved by the pointer's way since the grab,
// floor-snapped to snap (in the container's ticks), less the area's start.
tick DropTickOffset(const CNoteArea& area, tick pointerTick, tick grabTick, const CNoteValue& snap);
// Notes moved by dt and dp, pitches raised onto the scale; notes that leave 0..127 or start
// before 0 are dropped. The area is moved the same way, cut to 0..3840000 and 0..128, with its
// pitch edges raised like the notes.
struct CMovedNotes {
    CNoteList m_notes;
    CNoteArea m_area;
};
CMovedNotes MoveNotesOntoScale(const CNoteList& notes, const CNoteArea& area, tick dt, int32_t dp,
                               const CHarmonicScale& scale);
