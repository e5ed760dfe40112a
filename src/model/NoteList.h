#pragma once
// The notes of a phrase or clip, sorted by start.

#include <cstdint>

#include "model/Note.h"
#include "model/SortedList.h"

// The union of the note rectangles (start, pitch)..(end, pitch + 1); all 0 for no notes.
struct CNoteBounds {
    tick m_start = 0;        // earliest start
    tick m_end = 0;          // latest end
    int32_t m_lowPitch = 0;  // lowest pitch
    int32_t m_highPitch = 0; // highest pitch + 1
};

class CNoteList : public CSortedList<CNote, &CNote::m_start> {
public:
    // Adds dt to every start and end (saturating), keeping the order.
    void Shift(tick dt);
    // Keeps what lies in [t, kOpenEnd): notes are cut at t, emptied notes dropped.
    void ClipBefore(tick t);
    // Keeps what lies in [0, t): notes are cut at t, emptied notes dropped.
    void ClipAfter(tick t);
    // Largest end; -1 for no notes.
    tick MaxEnd() const;
    CNoteBounds Bounds() const;

    // The copies below replace this list's content with a filtered copy of src in src order;
    // src may be this list.
    // Notes with a <= start < b.
    void CopyStartingIn(const CNoteList& src, tick a, tick b);
    // Notes with start >= a and end <= b.
    void CopyInside(const CNoteList& src, tick a, tick b);
    // As CopyInside, and lo <= pitch < hi.
    void CopyInsideRange(const CNoteList& src, tick a, tick b, int lo, int hi);
    // Every note cut to [a, b); notes with nothing left are dropped.
    void CopyClipped(const CNoteList& src, tick a, tick b);
    // Every note with start and end + dt.
    void CopyShifted(const CNoteList& src, tick dt);
    // Start and end + dt, pitch + dp; notes leaving 0..127 or starting before 0 are dropped.
    void CopyMoved(const CNoteList& src, tick dt, int dp);
};
