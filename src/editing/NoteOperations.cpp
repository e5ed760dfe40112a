#include "editing/NoteOperations.h"

COpNotesMove::COpNotesMove(CMidiData& source, CNoteList notes, const CNoteArea& area,
                           CMidiData& target, CNoteList targetNotes, const CNoteArea& targetArea,
                           const FAskOption& ask)
{
    Add(std::make_unique<COpNotesDelete>(source, std::move(notes), area));
    Add(std::make_unique<COpNotesCreate>(target, std::move(targetNotes), targetArea, ask));
}

COpNotesCopy::COpNotesCopy(CMidiData& target, CNoteList targetNotes, const CNoteArea& targetArea,
                           const FAskOption& ask)
{
    Add(std::make_unique<COpNotesCreate>(target, std::move(targetNotes), targetArea, ask));
}
