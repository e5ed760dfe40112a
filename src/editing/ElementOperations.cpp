#include "editing/ElementOperations.h"

#include <algorithm>
#include <utility>

#include "document/ProjectDoc.h"
#include "editing/Clipboard.h"
#include "engine/MidiEngineProxy.h"
#include "model/Clip.h"
#include "model/Phrase.h"

namespace {

// Clips and phrases take their length through different commands.
bool SendLength(CMidiEngineProxy& proxy, CMidiData& data, tick length)
{
    if (data.IsClip()) return proxy.SetClipLength(static_cast<CClip&>(data), length) != 0;
    if (data.IsPhrase()) return proxy.SetPhraseLength(static_cast<CPhrase&>(data), length) != 0;
    return false;
}

template <class TList> TList OneOf(const typename TList::value_type& item)
{
    TList list;
    list.Insert(item);
    return list;
}

} // namespace

// ---- Notes ----

CNoteList& CNoteTraits::ListOf(CMidiData& data)
{
    return data.GetNotes();
}
tick CNoteTraits::EndOf(const List& list)
{
    return list.MaxEnd();
}
tick CNoteTraits::AreaEnd(const Area& area)
{
    return std::max(area.m_from, area.m_to);
}
void CNoteTraits::CutAt(List& list, tick t)
{
    list.ClipAfter(t);
}
void CNoteTraits::LimitArea(Area& area, tick t)
{
    area.m_from = std::min(area.m_from, t);
    area.m_to = std::min(area.m_to, t);
}
CTimeRange CNoteTraits::TimeOf(const Area& area)
{
    return {std::min(area.m_from, area.m_to), std::max(area.m_from, area.m_to)};
}
CNoteArea CNoteTraits::SpotOf(const Item& note)
{
    return {note.m_start, note.m_pitch, note.m_end, note.m_pitch + 1};
}
int CNoteTraits::Insert(CMidiEngineProxy& proxy, CMidiData& data, const Item& note)
{
    return proxy.InsertNote(data, note);
}
int CNoteTraits::Remove(CMidiEngineProxy& proxy, CMidiData& data, const Item& note)
{
    return proxy.RemoveNote(data, note);
}
int CNoteTraits::Change(CMidiEngineProxy& proxy, CMidiData& data, const Item& from, const Item& to)
{
    return proxy.ChangeNote(data, from, to);
}
int CNoteTraits::Replace(CMidiEngineProxy& proxy, CMidiData& data, const List& notes)
{
    return proxy.ReplaceNotes(data, notes);
}
void CNoteTraits::Refresh(CProjectWindows& windows, const CMidiData& data, const Area& area)
{
    windows.PianoRollRefreshNotes(data, area);
}
void CNoteTraits::Select(CProjectWindows& windows, const CMidiData& data, const List& notes,
                         const Area& area)
{
    windows.PianoRollSelectNotes(data, notes, area);
}
std::unique_ptr<CClipboardPayload> CNoteTraits::Payload(const CMidiData& data, const List& notes,
                                                        const Area& area)
{
    return std::make_unique<CClipboardNotes>(data.GetName(), notes, area);
}

// ---- Events ----

CEventList& CEventTraits::ListOf(CMidiData& data)
{
    return data.GetEvents();
}
tick CEventTraits::EndOf(const List& list)
{
    return list.EndTime();
}
tick CEventTraits::AreaEnd(const Area& range)
{
    return std::max(range.m_from, range.m_to);
}
void CEventTraits::CutAt(List& list, tick t)
{
    list.RemoveFrom(t);
}
void CEventTraits::LimitArea(Area& range, tick t)
{
    range.m_from = std::min(range.m_from, t);
    range.m_to = std::min(range.m_to, t);
}
CTimeRange CEventTraits::SpotOf(const Item& event)
{
    return {event.m_time, TickSum(event.m_time, 1)};
}
int CEventTraits::Insert(CMidiEngineProxy& proxy, CMidiData& data, const Item& event)
{
    return proxy.InsertEvent(data, event);
}
int CEventTraits::Remove(CMidiEngineProxy& proxy, CMidiData& data, const Item& event)
{
    return proxy.RemoveEvent(data, event);
}
int CEventTraits::Change(CMidiEngineProxy& proxy, CMidiData& data, const Item& from, const Item& to)
{
    return proxy.ChangeEvent(data, from, to);
}
int CEventTraits::Replace(CMidiEngineProxy& proxy, CMidiData& data, const List& events)
{
    return proxy.ReplaceEvents(data, events);
}
void CEventTraits::Refresh(CProjectWindows& windows, const CMidiData& data, const Area& range)
{
    windows.PianoRollRefreshEvents(data, range);
}
void CEventTraits::Select(CProjectWindows& windows, const CMidiData& data, const List& events,
                          const Area& range)
{
    windows.PianoRollSelectEvents(data, events, range);
}
std::unique_ptr<CClipboardPayload> CEventTraits::Payload(const CMidiData&, const List& events,
                                                         const Area& range)
{
    return std::make_unique<CClipboardEvents>(events, range);
}

// ---- Single operations ----

template <class TTraits>
COpElement<TTraits>::COpElement(const COpDescription& description, CMidiData& container,
                                EElementStep step, const Item& oldItem, const Item& newItem)
    : m_description(description), m_container(container), m_step(step), m_old(oldItem),
      m_new(newItem)
{}

template <class TTraits> bool COpElement<TTraits>::Do(CProjectDoc& doc)
{
    CMidiEngineProxy& proxy = doc.GetEngineProxy();
    switch (m_step) {
    case EElementStep::Insert:
        return TTraits::Insert(proxy, m_container, m_new) != 0;
    case EElementStep::Delete:
        return TTraits::Remove(proxy, m_container, m_old) != 0;
    case EElementStep::Modify:
        if (m_old == m_new) return false;
        return TTraits::Change(proxy, m_container, m_old, m_new) != 0;
    }
    return false;
}

template <class TTraits> void COpElement<TTraits>::UndoApply(CProjectDoc& doc)
{
    CMidiEngineProxy& proxy = doc.GetEngineProxy();
    switch (m_step) {
    case EElementStep::Insert:
        TTraits::Remove(proxy, m_container, m_new);
        break;
    case EElementStep::Delete:
        TTraits::Insert(proxy, m_container, m_old);
        break;
    case EElementStep::Modify:
        TTraits::Change(proxy, m_container, m_new, m_old);
        break;
    }
}

template <class TTraits> void COpElement<TTraits>::Show(CProjectDoc& doc, bool done)
{
    CProjectWindows& windows = doc.GetWindows();
    windows.PianoRollBeginUpdate(m_container);
    if (m_step != EElementStep::Insert)
        TTraits::Refresh(windows, m_container, TTraits::SpotOf(m_old));
    if (m_step != EElementStep::Delete)
        TTraits::Refresh(windows, m_container, TTraits::SpotOf(m_new));
    if (m_description.m_lane != 0) {
        const CTimeRange oldTime = TTraits::TimeOf(TTraits::SpotOf(m_old));
        const CTimeRange newTime = TTraits::TimeOf(TTraits::SpotOf(m_new));
        windows.PianoRollRefreshVelocities(
            m_container, m_description.m_lane,
            {std::min(oldTime.m_from, newTime.m_from), std::max(oldTime.m_to, newTime.m_to)});
    }
    // The record the step leaves in place is selected; a step that leaves none empties the
    // selection.
    const bool leavesOld = !done && m_step != EElementStep::Insert;
    const bool leavesNew = done && m_step != EElementStep::Delete;
    using List = typename TTraits::List;
    if (leavesOld || leavesNew) {
        const Item& left = leavesNew ? m_new : m_old;
        TTraits::Select(windows, m_container, OneOf<List>(left), TTraits::SpotOf(left));
    } else {
        TTraits::Select(windows, m_container, List(), typename TTraits::Area{});
    }
    windows.PianoRollEndUpdate(m_container);
}

template <class TTraits> void COpElement<TTraits>::ShowDo(CProjectDoc& doc)
{
    Show(doc, true);
}

template <class TTraits> void COpElement<TTraits>::UndoShow(CProjectDoc& doc)
{
    Show(doc, false);
}

template <class TTraits> void COpElement<TTraits>::UndoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenPianoRoll(m_container, true);
}

template <class TTraits> void COpElement<TTraits>::RedoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenPianoRoll(m_container, true);
}

template <class TTraits>
bool COpElement<TTraits>::IsAppendableKind(COperationHistory&, COperation& newOp)
{
    const auto* next = dynamic_cast<const COpElement*>(&newOp);
    return m_description.m_foldsWith != 0 && next != nullptr &&
           next->GetTypeId() == m_description.m_foldsWith;
}

template <class TTraits> bool COpElement<TTraits>::AppendNext(COperationHistory&, COperation& newOp)
{
    const auto* next = dynamic_cast<const COpElement*>(&newOp);
    if (next == nullptr || &next->m_container != &m_container || !(next->m_old == m_new))
        return false;
    m_new = next->m_new;
    return true;
}

// ---- Set operations ----

template <class TTraits>
COpElements<TTraits>::COpElements(const COpDescription& description, CMidiData& container,
                                  List oldSet, List newSet, const Area& oldArea,
                                  const Area& newArea)
    : m_description(description), m_name(description.m_name), m_container(container),
      m_old(std::move(oldSet)), m_new(std::move(newSet)), m_oldArea(oldArea), m_newArea(newArea)
{}

template <class TTraits> void COpElements<TTraits>::FitNewSet(const FAskOption& ask)
{
    const tick length = m_container.GetLength();
    tick wanted = std::max(length, TTraits::EndOf(m_new));
    if (wanted > kOpenEnd) {
        TTraits::CutAt(m_new, kOpenEnd);
        wanted = kOpenEnd;
    }
    if (wanted > length && ask && !ask(ERememberedQuestion::AutoExtendSequence)) {
        TTraits::CutAt(m_new, length);
        wanted = length;
    }
    // The area must not lengthen the container beyond what was settled here.
    TTraits::LimitArea(m_newArea, wanted);
    TTraits::LimitArea(m_oldArea, wanted);
}

template <class TTraits>
bool COpElements<TTraits>::Build(const List& current, const List& remove, const List& add,
                                 List& out, std::vector<int>* removedAt)
{
    return out.AssignEdited(current, remove, add, removedAt);
}

template <class TTraits> bool COpElements<TTraits>::Do(CProjectDoc& doc)
{
    if (m_old.SameAs(m_new)) return false;
    const List& current = TTraits::ListOf(m_container);
    List built;
    if (!Build(current, m_old, m_new, built, &m_oldAt)) return false;
    // The old set in the container's own order, to go back where it stood.
    List inPlace;
    inPlace.Reserve(static_cast<int>(m_oldAt.size()));
    for (int index : m_oldAt)
        inPlace.Append(current[index]);
    m_old = std::move(inPlace);
    CMidiEngineProxy& proxy = doc.GetEngineProxy();
    m_keptLength = m_container.GetLength();
    const tick needed = std::max(TTraits::AreaEnd(m_newArea), TTraits::EndOf(m_new));
    m_lengthChanged = needed > m_keptLength;
    if (m_lengthChanged && !SendLength(proxy, m_container, needed)) return false;
    if (TTraits::Replace(proxy, m_container, built) != 0) return true;
    if (m_lengthChanged) SendLength(proxy, m_container, m_keptLength);
    return false;
}

template <class TTraits> void COpElements<TTraits>::SwapLength(CMidiEngineProxy& proxy)
{
    const tick current = m_container.GetLength();
    m_lengthChanged = current != m_keptLength;
    if (!m_lengthChanged) return;
    SendLength(proxy, m_container, m_keptLength);
    m_keptLength = current;
}

template <class TTraits> void COpElements<TTraits>::UndoApply(CProjectDoc& doc)
{
    CMidiEngineProxy& proxy = doc.GetEngineProxy();
    const List& current = TTraits::ListOf(m_container);
    List built = current;
    // Normally the old set goes back exactly where it stood; should the list have changed
    // behind the history's back, it is merged in by time instead.
    const bool restored =
        built.RemoveAllOf(m_new) == m_new.GetCount() && built.RestoreAt(m_oldAt, m_old);
    if (restored || Build(current, m_new, m_old, built))
        TTraits::Replace(proxy, m_container, built);
    SwapLength(proxy);
}

template <class TTraits> void COpElements<TTraits>::RedoApply(CProjectDoc& doc)
{
    CMidiEngineProxy& proxy = doc.GetEngineProxy();
    SwapLength(proxy);
    List built;
    if (Build(TTraits::ListOf(m_container), m_old, m_new, built, &m_oldAt))
        TTraits::Replace(proxy, m_container, built);
}

template <class TTraits> void COpElements<TTraits>::Show(CProjectDoc& doc, bool done)
{
    CProjectWindows& windows = doc.GetWindows();
    windows.PianoRollBeginUpdate(m_container);
    if (m_lengthChanged) {
        windows.PianoRollLengthChanged(m_container);
    } else if (m_description.m_lane != 0) {
        windows.PianoRollRefreshVelocities(m_container, m_description.m_lane,
                                           TTraits::TimeOf(m_oldArea));
        if (!(m_newArea == m_oldArea))
            windows.PianoRollRefreshVelocities(m_container, m_description.m_lane,
                                               TTraits::TimeOf(m_newArea));
    } else {
        TTraits::Refresh(windows, m_container, m_oldArea);
        if (!(m_newArea == m_oldArea)) TTraits::Refresh(windows, m_container, m_newArea);
    }
    TTraits::Select(windows, m_container, done ? m_new : m_old, done ? m_newArea : m_oldArea);
    windows.PianoRollEndUpdate(m_container);
}

template <class TTraits> void COpElements<TTraits>::ShowDo(CProjectDoc& doc)
{
    Show(doc, true);
}

template <class TTraits> void COpElements<TTraits>::UndoShow(CProjectDoc& doc)
{
    Show(doc, false);
}

template <class TTraits> void COpElements<TTraits>::UndoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenPianoRoll(m_container, true);
}

template <class TTraits> void COpElements<TTraits>::RedoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenPianoRoll(m_container, true);
}

template <class TTraits>
bool COpElements<TTraits>::IsAppendableKind(COperationHistory&, COperation& newOp)
{
    const auto* next = dynamic_cast<const COpElements*>(&newOp);
    return m_description.m_foldsWith != 0 && next != nullptr &&
           next->GetTypeId() == m_description.m_foldsWith;
}

template <class TTraits>
bool COpElements<TTraits>::AppendNext(COperationHistory&, COperation& newOp)
{
    auto* next = dynamic_cast<COpElements*>(&newOp);
    if (next == nullptr || &next->m_container != &m_container || !(next->m_oldArea == m_newArea) ||
        !next->m_old.SameAs(m_new))
        return false;
    // The history deletes the new operation next; its sets are no longer needed there.
    m_new = std::move(next->m_new);
    m_newArea = next->m_newArea;
    return true;
}

template <class TTraits> void COpElements<TTraits>::PutOldSetIntoClipboard() const
{
    CClipboard::Instance().Put(TTraits::Payload(m_container, m_old, m_oldArea));
}

template <class TTraits> bool COpElementsRemove<TTraits>::Do(CProjectDoc& doc)
{
    if (!COpElements<TTraits>::Do(doc)) return false;
    if (m_cut) this->PutOldSetIntoClipboard();
    return true;
}

template class COpElement<CNoteTraits>;
template class COpElement<CEventTraits>;
template class COpElements<CNoteTraits>;
template class COpElements<CEventTraits>;
template class COpElementsRemove<CNoteTraits>;
template class COpElementsRemove<CEventTraits>;
