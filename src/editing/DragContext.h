#pragma once
// In-application drag and drop: the payload of one drag gesture, held by one process-wide drag
// context for the time of the gesture, and the drop targets the context hands the gesture to.
// Objects named by a payload are borrowed from their project, which the payload names too.
// User-interface thread only.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "model/EditArea.h"
#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/TimeBase.h"

class CClip;
class CMidiData;
class CPhrase;
class CPhraseBank;
class CProjectDoc;

// What is dragged; the numbers are the payloads' kinds.
enum class EDragKind : int32_t {
    Notes = 2,      // from a piano roll's note area
    Events = 3,     // from an event lane
    Clips = 4,      // from the tracks view
    PhraseBank = 5, // from the project tree
    Phrase = 6,     // from a phrase bank view
    Track = 7,      // from the track list
};

// What a drop would do; Control held copies, otherwise the drop moves.
enum class EDropEffect { None, Copy, Move };
constexpr EDropEffect DropEffectFor(bool controlHeld)
{
    return controlHeld ? EDropEffect::Copy : EDropEffect::Move;
}

class CDragPayload {
public:
    explicit CDragPayload(CProjectDoc& source) : m_source(&source) {}
    virtual ~CDragPayload() = default;
    virtual EDragKind GetKind() const = 0;
    // The project the dragged objects belong to (borrowed).
    CProjectDoc& GetSource() const { return *m_source; }

private:
    CProjectDoc* m_source;
};

// Notes of one phrase or clip, with the selection area they were grabbed in and the grab point
// (tick and pitch under the pointer when the drag began).
class CDragNotes : public CDragPayload {
public:
    CDragNotes(CProjectDoc& source, CMidiData& container, const CNoteList& notes,
               const CNoteArea& area, tick grabTick, int32_t grabPitch)
        : CDragPayload(source), m_container(&container), m_notes(notes), m_area(area),
          m_grabTick(grabTick), m_grabPitch(grabPitch)
    {}
    EDragKind GetKind() const override { return EDragKind::Notes; }
    CMidiData& GetContainer() const { return *m_container; }
    const CNoteList& GetNotes() const { return m_notes; }
    const CNoteArea& GetArea() const { return m_area; }
    tick GetGrabTick() const { return m_grabTick; }
    int32_t GetGrabPitch() const { return m_grabPitch; }

private:
    CMidiData* m_container;
    CNoteList m_notes;
    CNoteArea m_area;
    tick m_grabTick;
    int32_t m_grabPitch;
};

// Events of one phrase or clip, with their time range and the grab tick.
class CDragEvents : public CDragPayload {
public:
    CDragEvents(CProjectDoc& source, CMidiData& container, const CEventList& events,
                const CTimeRange& range, tick grabTick)
        : CDragPayload(source), m_container(&container), m_events(events), m_range(range),
          m_grabTick(grabTick)
    {}
    EDragKind GetKind() const override { return EDragKind::Events; }
    CMidiData& GetContainer() const { return *m_container; }
    const CEventList& GetEvents() const { return m_events; }
    const CTimeRange& GetRange() const { return m_range; }
    tick GetGrabTick() const { return m_grabTick; }

private:
    CMidiData* m_container;
    CEventList m_events;
    CTimeRange m_range;
    tick m_grabTick;
};

// Clips of the tracks view: the selection with the grabbed clip first, where the grabbed clip
// lies, and where the pointer was relative to it.
class CDragClips : public CDragPayload {
public:
    struct CEntry {
        CClip* m_clip = nullptr; // borrowed
        int32_t m_track = 0;     // index of its track
    };

    CDragClips(CProjectDoc& source, std::vector<CEntry> clips, tick grabbedStart,
               int32_t grabbedRow, tick grabOffsetTicks, int32_t grabOffsetRows)
        : CDragPayload(source), m_clips(std::move(clips)), m_grabbedStart(grabbedStart),
          m_grabbedRow(grabbedRow), m_grabOffsetTicks(grabOffsetTicks),
          m_grabOffsetRows(grabOffsetRows)
    {}
    EDragKind GetKind() const override { return EDragKind::Clips; }
    const std::vector<CEntry>& GetClips() const { return m_clips; }
    // Song tick and track row of the grabbed clip.
    tick GetGrabbedStart() const { return m_grabbedStart; }
    int32_t GetGrabbedRow() const { return m_grabbedRow; }
    // Pointer tick minus the grabbed clip's start; pointer row minus its row.
    tick GetGrabOffsetTicks() const { return m_grabOffsetTicks; }
    int32_t GetGrabOffsetRows() const { return m_grabOffsetRows; }

private:
    std::vector<CEntry> m_clips;
    tick m_grabbedStart;
    int32_t m_grabbedRow;
    tick m_grabOffsetTicks;
    int32_t m_grabOffsetRows;
};

// One phrase bank of the project tree.
class CDragBank : public CDragPayload {
public:
    CDragBank(CProjectDoc& source, CPhraseBank& bank, int32_t index)
        : CDragPayload(source), m_bank(&bank), m_index(index)
    {}
    EDragKind GetKind() const override { return EDragKind::PhraseBank; }
    CPhraseBank& GetBank() const { return *m_bank; }
    int32_t GetIndex() const { return m_index; }

private:
    CPhraseBank* m_bank;
    int32_t m_index;
};

// One phrase of a bank view, with its bank and its index there.
class CDragPhrase : public CDragPayload {
public:
    CDragPhrase(CProjectDoc& source, CPhrase& phrase, CPhraseBank& bank, int32_t index)
        : CDragPayload(source), m_phrase(&phrase), m_bank(&bank), m_index(index)
    {}
    EDragKind GetKind() const override { return EDragKind::Phrase; }
    CPhrase& GetPhrase() const { return *m_phrase; }
    CPhraseBank& GetBank() const { return *m_bank; }
    int32_t GetIndex() const { return m_index; }

private:
    CPhrase* m_phrase;
    CPhraseBank* m_bank;
    int32_t m_index;
};

// One track header of the track list.
class CDragTrack : public CDragPayload {
public:
    CDragTrack(CProjectDoc& source, int32_t index) : CDragPayload(source), m_index(index) {}
    EDragKind GetKind() const override { return EDragKind::Track; }
    int32_t GetIndex() const { return m_index; }

private:
    int32_t m_index;
};

// Where the pointer is over a target (the target's client pixels) and whether Control is held.
struct CDragPoint {
    int32_t m_x = 0;
    int32_t m_y = 0;
    bool m_control = false;
};

// A window that accepts drops. Each answers None for payload kinds it does not take.
class CDropTarget {
public:
    virtual ~CDropTarget() = default;
    virtual EDropEffect DragEnter(const CDragPayload& payload, const CDragPoint& point) = 0;
    virtual EDropEffect DragOver(const CDragPayload& payload, const CDragPoint& point) = 0;
    virtual void DragLeave(const CDragPayload& payload) = 0;
    // True when the drop was carried out.
    virtual bool Drop(const CDragPayload& payload, const CDragPoint& point) = 0;
};

class CDragContext {
public:
    // The process-wide drag context.
    static CDragContext& Instance();

    // Starts a gesture with payload (owned until End); a payload still held is deleted.
    void Begin(std::unique_ptr<CDragPayload> payload) { m_payload = std::move(payload); }
    // Ends the gesture, dropped or not; the payload is deleted.
    void End() { m_payload.reset(); }
    bool IsDragging() const { return m_payload != nullptr; }
    // The payload of the gesture (borrowed), or null.
    const CDragPayload* GetPayload() const { return m_payload.get(); }

    // Pass the notifications of the window under the pointer to its drop target while a gesture
    // runs; without one nothing can be dropped.
    EDropEffect Enter(CDropTarget& target, const CDragPoint& point);
    EDropEffect Over(CDropTarget& target, const CDragPoint& point);
    void Leave(CDropTarget& target);
    bool Drop(CDropTarget& target, const CDragPoint& point);

private:
    std::unique_ptr<CDragPayload> m_payload;
};
