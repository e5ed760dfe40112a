#pragma once
// Common base of phrases and clips: the musical content (notes and events, times relative to the
// object's start) and the identity shown to the user. Owned by its container (bank or track);
// user-interface thread, except where the engine's property setters say otherwise.

#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <string>

class CMidiData {
public:
    // Colour given by MakeInvalid.
    static constexpr uint32_t kInvalidColour = 0xFFFFFF;

    virtual ~CMidiData() = default;

    CMidiData& operator=(const CMidiData&) = delete;

    virtual bool IsPhrase() const { return false; }
    virtual bool IsClip() const { return false; }

    // Copies notes, events, colour, name and length; the id stays.
    virtual void CopyData(const CMidiData& other);
    // Copies colour, name and id.
    virtual void CopyIdentity(const CMidiData& other);
    // Turns this object into a placeholder that must not be used: white, "Invalid", id 0.
    virtual void MakeInvalid();
    // Sets the extent in ticks; shrinking cuts notes at the new end, drops events from it on.
    virtual void SetLength(tick length);

    // Song position of the object's tick 0 (0 for a phrase).
    virtual tick GetStart() const { return 0; }
    // Exclusive end: start + length.
    virtual tick GetEnd() const { return TickSum(GetStart(), m_length); }
    virtual tick GetMiddle() const { return TickSum(GetStart(), m_length / 2); }

    tick GetLength() const { return m_length; }

    // Content, times relative to the object's start. Editing it does not change the length.
    CNoteList& GetNotes() { return m_notes; }
    const CNoteList& GetNotes() const { return m_notes; }
    CEventList& GetEvents() { return m_events; }
    const CEventList& GetEvents() const { return m_events; }

    // Display colour as 0x00BBGGRR.
    uint32_t GetColour() const { return m_colour; }
    void SetColour(uint32_t colour) { m_colour = colour; }

    const std::string& GetName() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }

    // Project-wide identity shared by phrases and clips; 0 = not given one yet.
    int32_t GetId() const { return m_id; }
    void SetId(int32_t id) { m_id = id; }

protected:
    CMidiData() = default;
    // Copies the data (not the id), for the copy constructors of the derived classes.
    CMidiData(const CMidiData& other);

    // Moves the content later by dt ticks and grows the length to match, so that the object can
    // start dt ticks earlier without its content moving on the song timeline.
    void ExtendStartBy(tick dt);
    // Drops the first dt ticks of content (notes straddling dt are shortened), moves the rest dt
    // ticks earlier and shortens the length to match; a length that would go negative becomes 0
    // and leaves the object empty.
    void TrimStartBy(tick dt);

private:
    CNoteList m_notes;
    CEventList m_events;
    uint32_t m_colour = 0;
    std::string m_name;
    tick m_length = 0;
    int32_t m_id = 0;
};
