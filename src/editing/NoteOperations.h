#pragma once
// The operations on the notes of a phrase or clip. The single ones change one note; the set ones
// replace a set of notes by another in one history entry (every multi-note edit, and the editing
// algorithms, which pass their result to COpNotesModifyNamed or, on a velocity lane, to
// COpNotesEditVelocities and COpNotesEditOffVelocities). Sets are note lists (in time order; see
// CNoteList::Assign for an unordered result) and areas are the piano roll's selection
// rectangles, times relative to the container's start.

#include <string>
#include <utility>

#include "editing/ElementOperations.h"

// ---- One note ----

class COpNoteInsert : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {502, "Insert Note", 0, 0};
    COpNoteInsert(CMidiData& container, const CNote& note)
        : COpElement(kDescription, container, EElementStep::Insert, note, note)
    {}
};

class COpNoteStepRecord : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {503, "Step Record Note", 0, 0};
    COpNoteStepRecord(CMidiData& container, const CNote& note)
        : COpElement(kDescription, container, EElementStep::Insert, note, note)
    {}
};

class COpNoteDelete : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {501, "Delete Note", 0, 0};
    COpNoteDelete(CMidiData& container, const CNote& note)
        : COpElement(kDescription, container, EElementStep::Delete, note, note)
    {}
};

class COpNoteModify : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {504, "Modify Note", 0, 0};
    COpNoteModify(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpNoteEdit : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {505, "Edit Note", 0, 0};
    COpNoteEdit(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpNoteSetStart : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {506, "Modify Note Start", 506, 0};
    COpNoteSetStart(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpNoteSetPitch : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {507, "Modify Note Pitch", 507, 0};
    COpNoteSetPitch(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpNoteSetLength : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {508, "Modify Note Length", 508, 0};
    COpNoteSetLength(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpNoteSetVelocity : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {509, "Modify Note Velocity", 509, 0};
    COpNoteSetVelocity(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpNoteSetVelocityLane : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {510, "Modify Note Velocity", 510, 0x90};
    COpNoteSetVelocityLane(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpNoteSetOffVelocity : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {511, "Modify Note Off Velocity", 511, 0};
    COpNoteSetOffVelocity(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpNoteSetOffVelocityLane : public COpElement<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {512, "Modify Note Off Velocity", 512, 0x80};
    COpNoteSetOffVelocityLane(CMidiData& container, const CNote& oldRecord, const CNote& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

// ---- Sets of notes ----
// Modifying: the old set (held by the container) becomes the new set. Adding (Create, Step
// Record, Paste): the new set is fitted to the container when the operation is built (see
// COpElements::FitNewSet). Removing (Delete, Cut): Cut also puts the notes into the clipboard.

class COpNotesModify : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {606, "Modify Notes", 0, 0};
    COpNotesModify(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                   const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesModifyNamed : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {607, "", 0, 0};
    COpNotesModifyNamed(const std::string& name, CMidiData& container, CNoteList oldSet,
                        CNoteList newSet, const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {
        SetName(name);
    }
};

class COpNotesCreate : public COpElementsAdd<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {602, "Create Notes", 0, 0};
    COpNotesCreate(CMidiData& container, CNoteList newSet, const CNoteArea& area,
                   const FAskOption& ask)
        : COpElementsAdd(kDescription, container, std::move(newSet), area, ask)
    {}
};

class COpNotesStepRecord : public COpElementsAdd<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {603, "Step Record Notes", 0, 0};
    COpNotesStepRecord(CMidiData& container, CNoteList newSet, const CNoteArea& area,
                       const FAskOption& ask)
        : COpElementsAdd(kDescription, container, std::move(newSet), area, ask)
    {}
};

class COpNotesPaste : public COpElementsAdd<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {616, "Paste Notes", 0, 0};
    COpNotesPaste(CMidiData& container, CNoteList newSet, const CNoteArea& area,
                  const FAskOption& ask)
        : COpElementsAdd(kDescription, container, std::move(newSet), area, ask)
    {}
};

class COpNotesDelete : public COpElementsRemove<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {605, "Delete Notes", 0, 0};
    COpNotesDelete(CMidiData& container, CNoteList oldSet, const CNoteArea& area)
        : COpElementsRemove(kDescription, container, std::move(oldSet), area, false)
    {}
};

class COpNotesCut : public COpElementsRemove<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {604, "Cut Notes", 0, 0};
    COpNotesCut(CMidiData& container, CNoteList oldSet, const CNoteArea& area)
        : COpElementsRemove(kDescription, container, std::move(oldSet), area, true)
    {}
};

class COpNotesSetStart : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {608, "Modify Note Selection Start", 608, 0};
    COpNotesSetStart(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                     const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesSetLength : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {609, "Modify Note Selection Length", 609, 0};
    COpNotesSetLength(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                      const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesSetPitch : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {610, "Modify Note Selection Pitch", 610, 0};
    COpNotesSetPitch(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                     const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesSetVelocity : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {611, "Modify Note Selection Velocity", 611,
                                                    0x90};
    COpNotesSetVelocity(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                        const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesSetVelocityLane : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {612, "Modify Note Selection Velocity", 612,
                                                    0x90};
    COpNotesSetVelocityLane(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                            const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesEditVelocities : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {617, "Edit Note-On Velocities", 612, 0x90};
    COpNotesEditVelocities(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                           const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesSetOffVelocity : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {613, "Modify Note Selection Off-Velocity", 613,
                                                    0x80};
    COpNotesSetOffVelocity(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                           const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesSetOffVelocityLane : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {614, "Modify Note Selection Off-Velocity", 614,
                                                    0x80};
    COpNotesSetOffVelocityLane(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                               const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

class COpNotesEditOffVelocities : public COpElements<CNoteTraits> {
public:
    static constexpr COpDescription kDescription = {618, "Edit Note-Off Velocities", 614, 0x80};
    COpNotesEditOffVelocities(CMidiData& container, CNoteList oldSet, CNoteList newSet,
                              const CNoteArea& oldArea, const CNoteArea& newArea)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldArea,
                      newArea)
    {}
};

// ---- Groups ----

// "Move Notes": the notes leave the source container and arrive, as the piano roll has moved
// them, in the target container (which may be the source).
class COpNotesMove : public COperationGroup {
public:
    static constexpr int kTypeId = 615;
    COpNotesMove(CMidiData& source, CNoteList notes, const CNoteArea& area, CMidiData& target,
                 CNoteList targetNotes, const CNoteArea& targetArea, const FAskOption& ask);
    std::string GetName() const override { return "Move Notes"; }
    int GetTypeId() const override { return kTypeId; }
};

// "Copy Notes": the notes, as the piano roll has placed them, are created in the target.
class COpNotesCopy : public COperationGroup {
public:
    static constexpr int kTypeId = 601;
    COpNotesCopy(CMidiData& target, CNoteList targetNotes, const CNoteArea& targetArea,
                 const FAskOption& ask);
    std::string GetName() const override { return "Copy Notes"; }
    int GetTypeId() const override { return kTypeId; }
};
