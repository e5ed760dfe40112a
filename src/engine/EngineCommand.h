#pragma once
// The one-slot command of the engine: a command code and four argument words. Each word is a
// tagged value (a number, a node address or a pointer to a model object), so the music thread
// reads back exactly the type the proxy stored and refuses anything else.

#include "model/NodeAddress.h"

#include <array>
#include <cstdint>
#include <variant>

class CMidiData;
class CPhrase;
class CTrack;
class CClip;
class CNote;
class CMidiEvent;
class CNoteList;
class CEventList;
struct CEngineProjectView;
struct CRecordSettings;
struct SDeviceWishes;

// Command codes. Codes 2, 3 and 17..26 have no command and succeed without effect.
enum class EEngineCommand : int16_t {
    None = -1,
    Initialise = 0,
    ShutDown = 1,
    OpenOutputDriver = 4,    // driver index
    CloseOutputDriver = 5,   // driver index
    OpenInputDriver = 6,     // driver index
    CloseInputDriver = 7,    // driver index
    RouteInputPort = 8,      // port index, driver index
    RouteOutputPort = 9,     // port index, driver index
    RouteRecordNode = 10,    // driver index
    SetNodeParameter = 11,   // address, code, value, extra
    AddPhrasePlayer = 12,    // phrase
    RemovePhrasePlayer = 13, // phrase
    AddTrackPlayer = 14,     // track
    RemoveTrackPlayer = 15,  // track
    AuditionNotes = 16,      // owner, note list
    InsertNote = 27,         // owner, note
    RemoveNote = 28,         // owner, note
    ChangeNote = 29,         // owner, old note, new note
    ReplaceNotes = 30,       // owner, note list
    InsertEvent = 31,        // owner, event
    RemoveEvent = 32,        // owner, event
    ChangeEvent = 33,        // owner, old event, new event
    ReplaceEvents = 34,      // owner, event list
    SetPhraseProperty = 35,  // phrase, property number, value
    SetTrackProperty = 36,   // track, property number, value
    MoveClipStart = 37,      // clip, new start (ticks)
    SetClipLength = 38,      // clip, new length (ticks)
    SetPhraseLength = 39,    // phrase, new length (ticks)
    AddClipPlayer = 40,      // clip, track
    RemoveClipPlayer = 41,   // clip
    LoadProject = 42,        // project view
    Clear = 43,
    CommitRecordedClip = 44, // clip, track, start (ticks)
    RescanDevices = 45,      // lists new devices, reopens those that are back
    SetDeviceWishes = 46,    // wishes
};

// One argument word. Pointers are borrowed: the UI keeps the object alive while the command runs.
using CEngineArg =
    std::variant<std::monostate, int64_t, CNodeAddress, CMidiData*, CPhrase*, CTrack*, CClip*,
                 const CNote*, const CMidiEvent*, const CNoteList*, const CEventList*,
                 const CEngineProjectView*, const CRecordSettings*, const SDeviceWishes*>;

struct CEngineCommand {
    static constexpr int kArgCount = 4;

    EEngineCommand code = EEngineCommand::None;
    std::array<CEngineArg, kArgCount> args{};

    CEngineCommand() = default;
    template <class... TArgs>
    explicit CEngineCommand(EEngineCommand c, TArgs... a) : code(c), args{CEngineArg(a)...}
    {
        static_assert(sizeof...(TArgs) <= kArgCount);
    }

    // The argument at `index` when it holds a T, else null (wrong type or out of range).
    template <class T> const T* Get(int index) const
    {
        return index >= 0 && index < kArgCount ? std::get_if<T>(&args[index]) : nullptr;
    }
    // A pointer argument of type T*, or null when the word holds anything else.
    template <class T> T* GetObject(int index) const
    {
        const auto* p = Get<T*>(index);
        return p != nullptr ? *p : nullptr;
    }

    // Code -1, every argument empty.
    void Clear() { *this = CEngineCommand(); }
};
