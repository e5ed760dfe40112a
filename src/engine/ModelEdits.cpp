#include "engine/ModelEdits.h"

#include "model/Clip.h"
#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/Phrase.h"
#include "model/Properties.h"
#include "model/Track.h"

namespace {

constexpr const char* kBadArguments = "Invalid command arguments.";

// Notes and events share the list algorithms; these pick the list of an owner.
CNoteList& ListOf(CMidiData& owner, const CNote*) { return owner.GetNotes(); }
CEventList& ListOf(CMidiData& owner, const CMidiEvent*) { return owner.GetEvents(); }

template <class TItem>
int EditList(const CEngineCommand& command, int operation, CListChange& change, std::string& error)
{
    CMidiData* owner = command.GetObject<CMidiData>(0);
    const TItem* const* first = command.Get<const TItem*>(1);
    if (owner == nullptr || first == nullptr || *first == nullptr) {
        error = kBadArguments;
        return 0;
    }
    auto& list = ListOf(*owner, *first);
    const TItem& item = **first;
    switch (operation) {
    case 0: // insert
        change.insertedAt = list.Insert(item);
        return 1;
    case 1: // remove
        change.removedAt = list.RemoveEqual(item);
        if (change.removedAt >= 0) return 1;
        error = "The element to remove was not found.";
        return 0;
    default: { // change
        const TItem* const* replacement = command.Get<const TItem*>(2);
        if (replacement == nullptr || *replacement == nullptr) {
            error = kBadArguments;
            return 0;
        }
        const int index = list.FindEqual(item);
        if (index < 0) {
            error = "The element to change was not found.";
            return 0;
        }
        const int newIndex = list.ReplaceAt(index, **replacement);
        if (newIndex != index) {
            change.removedAt = index;
            change.insertedAt = newIndex;
        }
        return 1;
    }
    }
}

template <class TList>
int ReplaceList(const CEngineCommand& command, TList& (CMidiData::*listOf)(), CListChange& change,
                std::string& error)
{
    CMidiData* owner = command.GetObject<CMidiData>(0);
    const TList* const* source = command.Get<const TList*>(1);
    if (owner == nullptr || source == nullptr || *source == nullptr) {
        error = kBadArguments;
        return 0;
    }
    TList& target = (owner->*listOf)();
    if (&target != *source) target = **source;
    change.replaced = true;
    return 1;
}

const int64_t* ValueArg(const CEngineCommand& command, int index)
{
    return command.Get<int64_t>(index);
}

int SetPhraseProperty(const CEngineCommand& command, std::string& error)
{
    CPhrase* phrase = command.GetObject<CPhrase>(0);
    const int64_t* code = ValueArg(command, 1);
    const int64_t* value = ValueArg(command, 2);
    if (phrase == nullptr || code == nullptr || value == nullptr) {
        error = kBadArguments;
        return 0;
    }
    if (*code == kPhrasePlayCurrent || *code == kPhraseStopCurrent) return 1;
    if (*code < 101 || *code > 117) {
        error = "Invalid phrase property.";
        return 0;
    }
    if (ApplyPhraseProperty(*phrase, static_cast<int32_t>(*code), *value)) return 1;
    error = "Invalid phrase property value.";
    return 0;
}

int SetTrackProperty(const CEngineCommand& command, std::string& error)
{
    CTrack* track = command.GetObject<CTrack>(0);
    const int64_t* code = ValueArg(command, 1);
    const int64_t* value = ValueArg(command, 2);
    if (track == nullptr || code == nullptr || value == nullptr) {
        error = kBadArguments;
        return 0;
    }
    if (*code < 101 || *code > 113) {
        error = "Invalid track property.";
        return 0;
    }
    if (ApplyTrackProperty(*track, static_cast<int32_t>(*code), *value)) return 1;
    error = "Invalid track property value.";
    return 0;
}

// A tick argument that fits the 32-bit tick type.
const int64_t* TickArg(const CEngineCommand& command, int index)
{
    const int64_t* value = ValueArg(command, index);
    if (value == nullptr || *value < INT32_MIN || *value > INT32_MAX) return nullptr;
    return value;
}

int SetExtent(const CEngineCommand& command, std::string& error)
{
    const int64_t* t = TickArg(command, 1);
    if (t == nullptr) {
        error = kBadArguments;
        return 0;
    }
    const tick value = static_cast<tick>(*t);
    if (command.code == EEngineCommand::SetPhraseLength) {
        CPhrase* phrase = command.GetObject<CPhrase>(0);
        if (phrase == nullptr || value < 0) {
            error = kBadArguments;
            return 0;
        }
        phrase->SetLength(value);
        return 1;
    }
    CClip* clip = command.GetObject<CClip>(0);
    if (clip == nullptr) {
        error = kBadArguments;
        return 0;
    }
    if (command.code == EEngineCommand::MoveClipStart) {
        clip->SetStart(value);
        return 1;
    }
    if (value < 0) {
        error = kBadArguments;
        return 0;
    }
    clip->SetLength(value);
    return 1;
}

} // namespace

bool IsModelEdit(EEngineCommand code)
{
    return code >= EEngineCommand::InsertNote && code <= EEngineCommand::SetPhraseLength;
}

int ApplyModelEdit(const CEngineCommand& command, CListChange& change, std::string& error)
{
    change = CListChange{};
    switch (command.code) {
    case EEngineCommand::InsertNote:
        return EditList<CNote>(command, 0, change, error);
    case EEngineCommand::RemoveNote:
        return EditList<CNote>(command, 1, change, error);
    case EEngineCommand::ChangeNote:
        return EditList<CNote>(command, 2, change, error);
    case EEngineCommand::ReplaceNotes:
        return ReplaceList<CNoteList>(command, &CMidiData::GetNotes, change, error);
    case EEngineCommand::InsertEvent:
        change.list = EDataList::Events;
        return EditList<CMidiEvent>(command, 0, change, error);
    case EEngineCommand::RemoveEvent:
        change.list = EDataList::Events;
        return EditList<CMidiEvent>(command, 1, change, error);
    case EEngineCommand::ChangeEvent:
        change.list = EDataList::Events;
        return EditList<CMidiEvent>(command, 2, change, error);
    case EEngineCommand::ReplaceEvents:
        change.list = EDataList::Events;
        return ReplaceList<CEventList>(command, &CMidiData::GetEvents, change, error);
    case EEngineCommand::SetPhraseProperty:
        return SetPhraseProperty(command, error);
    case EEngineCommand::SetTrackProperty:
        return SetTrackProperty(command, error);
    case EEngineCommand::MoveClipStart:
    case EEngineCommand::SetClipLength:
    case EEngineCommand::SetPhraseLength:
        return SetExtent(command, error);
    default:
        error = "Not an edit command.";
        return 0;
    }
}
