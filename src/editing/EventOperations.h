#pragma once
// The operations on the controller events of a phrase or clip: single ones on one event and set
// ones that replace a set of events by another in one history entry (the editing algorithms pass
// their result to COpEventsModifyNamed). Sets are event lists in time order; ranges are [from,
// to) in ticks relative to the container's start.

#include <string>
#include <utility>

#include "editing/ElementOperations.h"

// ---- One event ----

class COpEventInsert : public COpElement<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {301, "Insert Event", 0, 0};
    COpEventInsert(CMidiData& container, const CMidiEvent& event)
        : COpElement(kDescription, container, EElementStep::Insert, event, event)
    {}
};

class COpEventDelete : public COpElement<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {302, "Delete Event", 0, 0};
    COpEventDelete(CMidiData& container, const CMidiEvent& event)
        : COpElement(kDescription, container, EElementStep::Delete, event, event)
    {}
};

class COpEventModify : public COpElement<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {303, "Modify Event", 0, 0};
    COpEventModify(CMidiData& container, const CMidiEvent& oldRecord, const CMidiEvent& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpEventSetStart : public COpElement<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {304, "Modify Event Start", 304, 0};
    COpEventSetStart(CMidiData& container, const CMidiEvent& oldRecord, const CMidiEvent& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

class COpEventSetValue : public COpElement<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {305, "Modify Event Value", 305, 0};
    COpEventSetValue(CMidiData& container, const CMidiEvent& oldRecord, const CMidiEvent& newRecord)
        : COpElement(kDescription, container, EElementStep::Modify, oldRecord, newRecord)
    {}
};

// ---- Sets of events ----

class COpEventsModify : public COpElements<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {405, "Modify Events", 0, 0};
    COpEventsModify(CMidiData& container, CEventList oldSet, CEventList newSet,
                    const CTimeRange& oldRange, const CTimeRange& newRange)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldRange,
                      newRange)
    {}
};

class COpEventsModifyNamed : public COpElements<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {406, "", 0, 0};
    COpEventsModifyNamed(const std::string& name, CMidiData& container, CEventList oldSet,
                         CEventList newSet, const CTimeRange& oldRange, const CTimeRange& newRange)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldRange,
                      newRange)
    {
        SetName(name);
    }
};

class COpEventsCreate : public COpElementsAdd<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {402, "Create Events", 0, 0};
    COpEventsCreate(CMidiData& container, CEventList newSet, const CTimeRange& range,
                    const FAskOption& ask)
        : COpElementsAdd(kDescription, container, std::move(newSet), range, ask)
    {}
};

class COpEventsPaste : public COpElementsAdd<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {410, "Paste Events", 0, 0};
    COpEventsPaste(CMidiData& container, CEventList newSet, const CTimeRange& range,
                   const FAskOption& ask)
        : COpElementsAdd(kDescription, container, std::move(newSet), range, ask)
    {}
};

class COpEventsDelete : public COpElementsRemove<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {404, "Delete Events", 0, 0};
    COpEventsDelete(CMidiData& container, CEventList oldSet, const CTimeRange& range)
        : COpElementsRemove(kDescription, container, std::move(oldSet), range, false)
    {}
};

class COpEventsCut : public COpElementsRemove<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {403, "Cut Events", 0, 0};
    COpEventsCut(CMidiData& container, CEventList oldSet, const CTimeRange& range)
        : COpElementsRemove(kDescription, container, std::move(oldSet), range, true)
    {}
};

class COpEventsSetStart : public COpElements<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {407, "Modify Events Start", 407, 0};
    COpEventsSetStart(CMidiData& container, CEventList oldSet, CEventList newSet,
                      const CTimeRange& oldRange, const CTimeRange& newRange)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldRange,
                      newRange)
    {}
};

class COpEventsSetValue : public COpElements<CEventTraits> {
public:
    static constexpr COpDescription kDescription = {408, "Modify Events Value", 408, 0};
    COpEventsSetValue(CMidiData& container, CEventList oldSet, CEventList newSet,
                      const CTimeRange& oldRange, const CTimeRange& newRange)
        : COpElements(kDescription, container, std::move(oldSet), std::move(newSet), oldRange,
                      newRange)
    {}
};

// ---- Groups ----

// "Move Events": the events leave the source and arrive in the target shifted so that the
// range's start falls on targetTime.
class COpEventsMove : public COperationGroup {
public:
    static constexpr int kTypeId = 409;
    COpEventsMove(CMidiData& source, const CEventList& events, const CTimeRange& range,
                  CMidiData& target, tick targetTime, const FAskOption& ask);
    std::string GetName() const override { return "Move Events"; }
    int GetTypeId() const override { return kTypeId; }
};

// "Copy Events": as Move Events without taking them out of their container.
class COpEventsCopy : public COperationGroup {
public:
    static constexpr int kTypeId = 401;
    COpEventsCopy(const CEventList& events, const CTimeRange& range, CMidiData& target,
                  tick targetTime, const FAskOption& ask);
    std::string GetName() const override { return "Copy Events"; }
    int GetTypeId() const override { return kTypeId; }
};
