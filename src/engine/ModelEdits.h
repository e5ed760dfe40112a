#pragma once
// The model side of the engine's edit commands (insert, remove, change and replace notes and
// events; phrase and track properties; clip start and length; phrase length). The engine runs
// them on the music thread and then lets the players follow; the proxy runs them directly when
// there is no engine, so both paths change the model in exactly the same way.

#include "engine/EngineCommand.h"

#include <string>

// Which content list of a phrase or clip an edit touched.
enum class EDataList { Notes, Events };

// Where a list edit removed and inserted its element, for the players' iterator shift.
struct CListChange {
    EDataList list = EDataList::Notes;
    int removedAt = -1;   // index the removed element had, -1 for none
    int insertedAt = -1;  // index the inserted element got, -1 for none
    bool replaced = false; // the whole list was replaced
};

// Phrase property codes the player handles without storing anything.
inline constexpr int32_t kPhrasePlayCurrent = 118;
inline constexpr int32_t kPhraseStopCurrent = 119;

// True for the codes ApplyModelEdit handles (27..39).
bool IsModelEdit(EEngineCommand code);

// Applies one of the commands 27..39 to the model objects its arguments name. Returns 1, or 0
// with the reason in `error` and the model unchanged (wrong argument, element not found, property
// code outside its table, value that does not fit). May throw what the model throws (allocation,
// bad index); the engine turns that into a failed command.
int ApplyModelEdit(const CEngineCommand& command, CListChange& change, std::string& error);
