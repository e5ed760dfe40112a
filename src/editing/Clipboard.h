#pragma once
// The program's own clipboard (the system clipboard is not used): one process-wide holder of at
// most one payload. A paste target asks the payload's kind to decide whether it can use it.
// User-interface thread only.

#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model/Clip.h"
#include "model/EditArea.h"
#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"

// What the clipboard can hold; the numbers are the payloads' kinds.
enum class EClipKind : int32_t {
    None = -1,
    PhraseBank = 1,
    Phrase = 2,
    Clips = 3,
    Notes = 4,
    Events = 5,
};

class CClipboardPayload {
public:
    virtual ~CClipboardPayload() = default;
    virtual EClipKind GetKind() const { return EClipKind::None; }
};

// A copy of one phrase bank (its phrases have id 0).
class CClipboardBank : public CClipboardPayload {
public:
    // Deep copy of bank.
    explicit CClipboardBank(const CPhraseBank& bank);
    EClipKind GetKind() const override { return EClipKind::PhraseBank; }
    const CPhraseBank& GetBank() const { return m_bank; }

private:
    CPhraseBank m_bank;
};

// A copy of one phrase (id 0).
class CClipboardPhrase : public CClipboardPayload {
public:
    explicit CClipboardPhrase(const CPhrase& phrase) : m_phrase(phrase) {}
    EClipKind GetKind() const override { return EClipKind::Phrase; }
    const CPhrase& GetPhrase() const { return m_phrase; }

private:
    CPhrase m_phrase;
};

// Copies of clips, each with the index of the track it came from, in the order they were added.
class CClipboardClips : public CClipboardPayload {
public:
    struct CEntry {
        std::unique_ptr<CClip> m_clip; // owned copy (id 0)
        int32_t m_track = 0;           // index of the source track
    };

    EClipKind GetKind() const override { return EClipKind::Clips; }
    // Adds a copy of clip, which lies on track index trackIndex.
    void Add(const CClip& clip, int32_t trackIndex);
    int32_t GetCount() const { return static_cast<int32_t>(m_entries.size()); }
    // Throws CInvalidArgument for a bad index.
    const CEntry& GetAt(int32_t index) const;
    // Earliest clip start in song ticks; 3840000 when empty.
    tick GetEarliestStart() const;
    // Smallest source track index; the largest int when empty.
    int32_t GetSmallestTrack() const;

private:
    std::vector<CEntry> m_entries;
};

// Notes cut or copied from a piano roll, with the name of the phrase or clip they came from and
// the selection area (times relative to that owner).
class CClipboardNotes : public CClipboardPayload {
public:
    CClipboardNotes(const std::string& containerName, const CNoteList& notes, const CNoteArea& area)
        : m_containerName(containerName), m_notes(notes), m_area(area)
    {}
    EClipKind GetKind() const override { return EClipKind::Notes; }
    const std::string& GetContainerName() const { return m_containerName; }
    const CNoteList& GetNotes() const { return m_notes; }
    const CNoteArea& GetArea() const { return m_area; }

private:
    std::string m_containerName;
    CNoteList m_notes;
    CNoteArea m_area;
};

// Events cut or copied from an event lane, with the time range they were taken from.
class CClipboardEvents : public CClipboardPayload {
public:
    CClipboardEvents(const CEventList& events, const CTimeRange& range)
        : m_events(events), m_range(range)
    {}
    EClipKind GetKind() const override { return EClipKind::Events; }
    const CEventList& GetEvents() const { return m_events; }
    const CTimeRange& GetRange() const { return m_range; }

private:
    CEventList m_events;
    CTimeRange m_range;
};

class CClipboard {
public:
    // The process-wide clipboard.
    static CClipboard& Instance();

    // Holds payload from now on; the payload held before is deleted. Null empties the clipboard.
    void Put(std::unique_ptr<CClipboardPayload> payload) { m_payload = std::move(payload); }
    void Clear() { m_payload.reset(); }
    // Kind of the payload held; None when empty.
    EClipKind GetKind() const { return m_payload ? m_payload->GetKind() : EClipKind::None; }
    // The payload (borrowed, valid until the next Put or Clear), or null when empty.
    const CClipboardPayload* Get() const { return m_payload.get(); }
    // The payload as its class when it is of that kind, else null.
    template <class TPayload> const TPayload* GetAs() const
    {
        return dynamic_cast<const TPayload*>(m_payload.get());
    }

private:
    std::unique_ptr<CClipboardPayload> m_payload;
};
