#pragma once
// The machinery shared by the note and the event operations: single operations on one note or
// event, and set operations that replace a set of them by another in one step. The concrete
// operations (editing/NoteOperations.h, editing/EventOperations.h) only name themselves.
//
// Every change reaches the phrase or clip (the container) through the engine's command proxy,
// whether or not the project is active, so material that is playing changes in step with
// playback: whole lists are replaced in one command, never element by element.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/AppOptions.h"
#include "document/OperationProject.h"
#include "model/EditArea.h"
#include "model/EventList.h"
#include "model/NoteList.h"

class CClipboardPayload;
class CMidiData;
class CMidiEngineProxy;
class CProjectWindows;

// Answers one of the options that decide between never, always and asking the user (normally
// CProjectManager::Ask). An empty function answers yes.
using FAskOption = std::function<bool(ERememberedQuestion)>;

// What names a concrete operation: its type id, its name, the type id of the operations it takes
// in when they follow it (0: none) and the velocity lane its steps refresh (0x90 note-on, 0x80
// note-off, 0: none).
struct COpDescription {
    int m_typeId = 0;
    const char* m_name = "";
    int m_foldsWith = 0;
    uint8_t m_lane = 0;
};

// How the operations handle notes.
struct CNoteTraits {
    using Item = CNote;
    using List = CNoteList;
    using Area = CNoteArea;

    static List& ListOf(CMidiData& data);
    // Largest end of the set; -1 for none.
    static tick EndOf(const List& list);
    // The time the area reaches to.
    static tick AreaEnd(const Area& area);
    // Notes cut at t, those left without length dropped.
    static void CutAt(List& list, tick t);
    static void LimitArea(Area& area, tick t);
    static CTimeRange TimeOf(const Area& area);
    static Area SpotOf(const Item& note);
    static int Insert(CMidiEngineProxy& proxy, CMidiData& data, const Item& note);
    static int Remove(CMidiEngineProxy& proxy, CMidiData& data, const Item& note);
    static int Change(CMidiEngineProxy& proxy, CMidiData& data, const Item& from, const Item& to);
    static int Replace(CMidiEngineProxy& proxy, CMidiData& data, const List& notes);
    static void Refresh(CProjectWindows& windows, const CMidiData& data, const Area& area);
    static void Select(CProjectWindows& windows, const CMidiData& data, const List& notes,
                       const Area& area);
    // The clipboard payload of a cut.
    static std::unique_ptr<CClipboardPayload> Payload(const CMidiData& data, const List& notes,
                                                      const Area& area);
};

// How the operations handle events. An event at tick t needs a length of at least t + 1.
struct CEventTraits {
    using Item = CMidiEvent;
    using List = CEventList;
    using Area = CTimeRange;

    static List& ListOf(CMidiData& data);
    // Last event's time + 1; -1 for none.
    static tick EndOf(const List& list);
    static tick AreaEnd(const Area& area);
    // Events at or after t dropped.
    static void CutAt(List& list, tick t);
    static void LimitArea(Area& area, tick t);
    static CTimeRange TimeOf(const Area& area) { return area; }
    static Area SpotOf(const Item& event);
    static int Insert(CMidiEngineProxy& proxy, CMidiData& data, const Item& event);
    static int Remove(CMidiEngineProxy& proxy, CMidiData& data, const Item& event);
    static int Change(CMidiEngineProxy& proxy, CMidiData& data, const Item& from, const Item& to);
    static int Replace(CMidiEngineProxy& proxy, CMidiData& data, const List& events);
    static void Refresh(CProjectWindows& windows, const CMidiData& data, const Area& range);
    static void Select(CProjectWindows& windows, const CMidiData& data, const List& events,
                       const Area& range);
    static std::unique_ptr<CClipboardPayload> Payload(const CMidiData& data, const List& events,
                                                      const Area& range);
};

// What a single operation does to its one record.
enum class EElementStep { Insert, Delete, Modify };

// One note or event inserted, deleted, or replaced by another. Modifying a record into an equal
// one is refused. Undo and redo bring up the container's piano roll.
template <class TTraits> class COpElement : public COperationProject {
public:
    using Item = typename TTraits::Item;

    // container: borrowed from the project. Insert uses newItem, Delete oldItem.
    COpElement(const COpDescription& description, CMidiData& container, EElementStep step,
               const Item& oldItem, const Item& newItem);

    std::string GetName() const override { return m_description.m_name; }
    int GetTypeId() const override { return m_description.m_typeId; }
    CMidiData& GetContainer() const { return m_container; }
    const Item& GetOld() const { return m_old; }
    const Item& GetNew() const { return m_new; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoPrepare(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;
    // A drag of one record: the next step, starting where this one ended, becomes part of it.
    bool IsAppendableKind(COperationHistory& history, COperation& newOp) override;
    bool AppendNext(COperationHistory& history, COperation& newOp) override;

private:
    void Show(CProjectDoc& doc, bool done);

    COpDescription m_description;
    CMidiData& m_container;
    EElementStep m_step;
    Item m_old;
    Item m_new;
};

// A set of notes or events replaced by another set (either may be empty) in one step, with the
// areas they cover. The container grows to take the new set and the new area and shrinks back
// on undo. Equal sets are refused, and so is an old set that the container does not hold.
template <class TTraits> class COpElements : public COperationProject {
public:
    using List = typename TTraits::List;
    using Area = typename TTraits::Area;

    // container: borrowed from the project. oldSet and newSet in time order; oldSet must be held
    // by the container.
    COpElements(const COpDescription& description, CMidiData& container, List oldSet, List newSet,
                const Area& oldArea, const Area& newArea);

    std::string GetName() const override { return m_name; }
    int GetTypeId() const override { return m_description.m_typeId; }
    CMidiData& GetContainer() const { return m_container; }
    const List& GetOld() const { return m_old; }
    const List& GetNew() const { return m_new; }
    const Area& GetOldArea() const { return m_oldArea; }
    const Area& GetNewArea() const { return m_newArea; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoPrepare(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;
    void RedoApply(CProjectDoc& doc) override;
    // A drag of a selection: the next step, starting from this one's result, becomes part of it.
    bool IsAppendableKind(COperationHistory& history, COperation& newOp) override;
    bool AppendNext(COperationHistory& history, COperation& newOp) override;

protected:
    // For operations named by their caller.
    void SetName(const std::string& name) { m_name = name; }
    // For operations that add a set: fixes the new set and area against the container's length
    // now. The container may grow to take them (up to 3840000 ticks), as ask answers for
    // AutoExtendSequence; what does not fit is cut off.
    void FitNewSet(const FAskOption& ask);
    // Puts the removed set into the clipboard (a cut).
    void PutOldSetIntoClipboard() const;

private:
    // out = current less `remove`, merged with `add`; false when current lacks some of remove.
    // removedAt receives the indices the removed elements had in current.
    static bool Build(const List& current, const List& remove, const List& add, List& out,
                      std::vector<int>* removedAt = nullptr);
    // Sets the length kept for undo or redo and keeps the one it replaces.
    void SwapLength(CMidiEngineProxy& proxy);
    void Show(CProjectDoc& doc, bool done);

    COpDescription m_description;
    std::string m_name;
    CMidiData& m_container;
    List m_old;
    List m_new;
    Area m_oldArea;
    Area m_newArea;
    // Where the old set stood in the container, so that undo puts it back in its former order
    // among equal times.
    std::vector<int> m_oldAt;
    tick m_keptLength = 0;
    bool m_lengthChanged = false; // by the last Apply step
};

// Sets that add to a container: created, step-recorded or pasted notes and events.
template <class TTraits> class COpElementsAdd : public COpElements<TTraits> {
public:
    using List = typename TTraits::List;
    using Area = typename TTraits::Area;

    COpElementsAdd(const COpDescription& description, CMidiData& container, List newSet,
                   const Area& area, const FAskOption& ask)
        : COpElements<TTraits>(description, container, List(), std::move(newSet), area, area)
    {
        this->FitNewSet(ask);
    }
};

// Sets taken out of a container: deleted or (with cut) cut to the clipboard.
template <class TTraits> class COpElementsRemove : public COpElements<TTraits> {
public:
    using List = typename TTraits::List;
    using Area = typename TTraits::Area;

    COpElementsRemove(const COpDescription& description, CMidiData& container, List oldSet,
                      const Area& area, bool cut)
        : COpElements<TTraits>(description, container, std::move(oldSet), List(), area, area),
          m_cut(cut)
    {}
    bool Do(CProjectDoc& doc) override;

private:
    bool m_cut;
};

extern template class COpElement<CNoteTraits>;
extern template class COpElement<CEventTraits>;
extern template class COpElements<CNoteTraits>;
extern template class COpElements<CEventTraits>;
extern template class COpElementsRemove<CNoteTraits>;
extern template class COpElementsRemove<CEventTraits>;
