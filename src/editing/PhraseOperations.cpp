#include "editing/PhraseOperations.h"

#include <utility>

#include "document/PlayerLink.h"
#include "document/ProjectDoc.h"
#include "editing/ClipOperations.h"
#include "editing/Clipboard.h"
#include "engine/MidiEngineProxy.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Properties.h"
#include "model/TrackList.h"

namespace {

// Places the phrase at index (checked by the caller) with a new id; an active player is told.
void PlacePhrase(CProjectDoc& doc, CPhraseBank& bank, int32_t index,
                 std::unique_ptr<CPhrase> phrase)
{
    CPhrase& placed = *phrase;
    bank.InsertAt(index, std::move(phrase));
    placed.SetId(doc.NewObjectId());
    if (CPlayerLink* player = doc.GetPlayer()) player->AddPhrase(placed);
}

std::unique_ptr<CPhrase> TakePhrase(CProjectDoc& doc, CPhraseBank& bank, int32_t index)
{
    std::unique_ptr<CPhrase> phrase = bank.RemoveAt(index);
    if (CPlayerLink* player = doc.GetPlayer()) player->RemovePhrase(*phrase);
    return phrase;
}

void ShowPhraseInserted(CProjectDoc& doc, const CPhraseBank& bank, int32_t index)
{
    doc.GetWindows().BankPhraseInserted(bank, index);
    doc.GetWindows().RedrawTracksAndMixer();
}

void ShowPhraseRemoved(CProjectDoc& doc, const CPhraseBank& bank, int32_t index,
                       const CPhrase& phrase)
{
    doc.GetWindows().BankPhraseRemoved(bank, index);
    doc.GetWindows().ClosePianoRoll(phrase);
    doc.GetWindows().RedrawTracksAndMixer();
}

// Moves a phrase between banks without the player noticing: it keys phrases by id.
void MovePhrase(CPhraseBank& from, int32_t fromIndex, CPhraseBank& to, int32_t toIndex)
{
    to.InsertAt(toIndex, from.RemoveAt(fromIndex));
}

} // namespace

std::unique_ptr<CPhrase> MakePhraseFromClip(const CClip& clip)
{
    auto phrase = std::make_unique<CPhrase>();
    phrase->ResetProperties();
    phrase->CopyData(clip);
    return phrase;
}

std::unique_ptr<CClip> MakeClipFromPhrase(const CPhrase& phrase, tick start)
{
    auto clip = std::make_unique<CClip>(start, start, "", 0); // CopyData brings name and colour
    clip->CopyData(phrase);
    if (clip->GetStart() < 0) clip->TrimStartTo(0);
    return clip;
}

bool IsDrumPhrase(const CPhrase& phrase)
{
    return phrase.GetReserved3() != 0;
}

void COpPhraseOfBank::UndoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenBankWindow(m_bank, true);
}

void COpPhraseOfBank::RedoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenBankWindow(m_bank, true);
}

// ---- Insert: Create, Copy, Paste ----

COpPhraseInsert::COpPhraseInsert(CPhraseBank& bank, int32_t index, std::unique_ptr<CPhrase> phrase)
    : COpPhraseOfBank(bank), m_index(index), m_phrase(std::move(phrase)),
      m_phraseRef(m_phrase.get())
{
    if (!m_phrase) throw CInvalidArgument();
}

COpPhraseInsert::~COpPhraseInsert() = default;

bool COpPhraseInsert::Do(CProjectDoc& doc)
{
    if (m_index == -1) m_index = m_bank.GetCount();
    if (m_index < 0 || m_index > m_bank.GetCount()) return false;
    PlacePhrase(doc, m_bank, m_index, std::move(m_phrase));
    return true;
}

void COpPhraseInsert::ShowDo(CProjectDoc& doc)
{
    ShowPhraseInserted(doc, m_bank, m_index);
}

void COpPhraseInsert::UndoApply(CProjectDoc& doc)
{
    m_phrase = TakePhrase(doc, m_bank, m_index);
}

void COpPhraseInsert::UndoShow(CProjectDoc& doc)
{
    ShowPhraseRemoved(doc, m_bank, m_index, *m_phraseRef);
}

// ---- Delete, Cut ----

COpPhraseDelete::~COpPhraseDelete() = default;

bool COpPhraseDelete::Do(CProjectDoc& doc)
{
    if (m_index < 0 || m_index >= m_bank.GetCount()) return false;
    m_phrase = TakePhrase(doc, m_bank, m_index);
    return true;
}

void COpPhraseDelete::ShowDo(CProjectDoc& doc)
{
    ShowPhraseRemoved(doc, m_bank, m_index, *m_phrase);
}

void COpPhraseDelete::UndoApply(CProjectDoc& doc)
{
    PlacePhrase(doc, m_bank, m_index, std::move(m_phrase));
}

void COpPhraseDelete::UndoShow(CProjectDoc& doc)
{
    ShowPhraseInserted(doc, m_bank, m_index);
}

bool COpPhraseCut::Do(CProjectDoc& doc)
{
    if (!COpPhraseDelete::Do(doc)) return false;
    CClipboard::Instance().Put(std::make_unique<CClipboardPhrase>(*GetRemoved()));
    return true;
}

// ---- Move ----

COpPhraseMove::COpPhraseMove(CPhraseBank& source, int32_t sourceIndex, CPhraseBank& target,
                             int32_t targetIndex)
    : COpPhraseOfBank(source), m_sourceIndex(sourceIndex), m_target(target),
      m_targetIndex(&source == &target && sourceIndex < targetIndex ? targetIndex - 1 : targetIndex)
{}

bool COpPhraseMove::Do(CProjectDoc&)
{
    const bool sameBank = &m_bank == &m_target;
    if (sameBank && m_sourceIndex == m_targetIndex) return false;
    if (m_sourceIndex < 0 || m_sourceIndex >= m_bank.GetCount()) return false;
    const int32_t room = m_target.GetCount() - (sameBank ? 1 : 0);
    if (m_targetIndex < 0 || m_targetIndex > room) return false;
    MovePhrase(m_bank, m_sourceIndex, m_target, m_targetIndex);
    return true;
}

void COpPhraseMove::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().BankPhraseRemoved(m_bank, m_sourceIndex);
    doc.GetWindows().BankPhraseInserted(m_target, m_targetIndex);
}

void COpPhraseMove::UndoApply(CProjectDoc&)
{
    MovePhrase(m_target, m_targetIndex, m_bank, m_sourceIndex);
}

void COpPhraseMove::UndoShow(CProjectDoc& doc)
{
    doc.GetWindows().BankPhraseRemoved(m_target, m_targetIndex);
    doc.GetWindows().BankPhraseInserted(m_bank, m_sourceIndex);
}

void COpPhraseMove::RedoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenBankWindow(m_target, true);
}

// ---- Rename ----

bool COpPhraseRename::Do(CProjectDoc&)
{
    m_phrase.SetName(m_name);
    return true;
}

void COpPhraseRename::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().PianoRollDataChanged(m_phrase);
    if (CPhraseBank* bank = doc.FindBankOf(&m_phrase))
        doc.GetWindows().BankPhraseChanged(*bank, bank->IndexOf(&m_phrase));
}

// ---- Length ----

void COpPhraseSetLength::SaveMaterial()
{
    if (m_saved) return;
    m_savedNotes = m_phrase.GetNotes();
    m_savedEvents = m_phrase.GetEvents();
    m_saved = true;
}

bool COpPhraseSetLength::Do(CProjectDoc& doc)
{
    if (m_length <= 0) return false;
    if (m_length < m_phrase.GetLength()) SaveMaterial();
    const tick before = m_phrase.GetLength();
    if (doc.GetEngineProxy().SetPhraseLength(m_phrase, m_length) == 0) return false;
    m_length = before;
    return true;
}

void COpPhraseSetLength::SwapLength(CProjectDoc& doc)
{
    const tick current = m_phrase.GetLength();
    doc.GetEngineProxy().SetPhraseLength(m_phrase, m_length);
    m_length = current;
}

void COpPhraseSetLength::UndoApply(CProjectDoc& doc)
{
    SwapLength(doc);
    if (!m_saved) return;
    doc.GetEngineProxy().ReplaceNotes(m_phrase, m_savedNotes);
    doc.GetEngineProxy().ReplaceEvents(m_phrase, m_savedEvents);
}

void COpPhraseSetLength::RedoApply(CProjectDoc& doc)
{
    SwapLength(doc);
}

void COpPhraseSetLength::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().PianoRollLengthChanged(m_phrase);
    if (CPhraseBank* bank = doc.FindBankOf(&m_phrase))
        doc.GetWindows().BankPhraseChanged(*bank, bank->IndexOf(&m_phrase));
}

void COpPhraseSetLength::UndoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenPianoRoll(m_phrase, true);
}

void COpPhraseSetLength::RedoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenPianoRoll(m_phrase, true);
}

bool COpPhraseSetLength::IsAbsorbableKind(COperationHistory&, COperation& newOp)
{
    return IsSameType(newOp);
}

bool COpPhraseSetLength::Absorb(CProjectDoc& doc, COperation& newOp)
{
    const auto* next = dynamic_cast<const COpPhraseSetLength*>(&newOp);
    if (next == nullptr || &next->m_phrase != &m_phrase || next->m_length <= 0) return false;
    const tick target = next->m_length;
    CMidiEngineProxy& proxy = doc.GetEngineProxy();
    if (target < m_phrase.GetLength()) {
        SaveMaterial();
        proxy.SetPhraseLength(m_phrase, target);
        return true;
    }
    proxy.SetPhraseLength(m_phrase, target);
    if (m_saved) {
        // Give back what the drag had cut off and the new end takes in again.
        CNoteList notes;
        notes.CopyClipped(m_savedNotes, 0, target);
        CEventList events;
        events.CopyInTime(m_savedEvents, 0, target);
        proxy.ReplaceNotes(m_phrase, notes);
        proxy.ReplaceEvents(m_phrase, events);
    }
    return true;
}

// ---- Property ----

bool COpPhraseSetProperty::Do(CProjectDoc& doc)
{
    if (m_number > 100)
        return doc.GetEngineProxy().SetPhraseProperty(m_phrase, m_number, m_value) != 0;
    if (m_number == kColour) {
        m_phrase.SetColour(static_cast<uint32_t>(m_value));
        return true;
    }
    if (m_number == kDrumFlag) {
        m_phrase.SetReserved3(m_value != 0 ? 1 : 0);
        return true;
    }
    return false;
}

void COpPhraseSetProperty::ShowDo(CProjectDoc& doc)
{
    const int32_t index = m_bank.IndexOf(&m_phrase);
    if (index >= 0) doc.GetWindows().BankPhraseChanged(m_bank, index);
    doc.GetWindows().PianoRollDataChanged(m_phrase);
    if (m_number == static_cast<int32_t>(EPhraseProperty::Output))
        doc.GetWindows().RedrawTracksAndMixer();
}

// ---- Groups ----

COpPhrasesFromClips::COpPhrasesFromClips(CPhraseBank& bank, int32_t firstIndex,
                                         const CClipboardClips& clips)
{
    for (int32_t k = 0; k < clips.GetCount(); ++k) {
        const CClip& clip = *clips.GetAt(clips.GetCount() - 1 - k).m_clip;
        const int32_t index = firstIndex < 0 ? -1 : firstIndex + k;
        Add(std::make_unique<COpPhraseCreate>(bank, index, MakePhraseFromClip(clip)));
    }
}

COpPhrasesImport::COpPhrasesImport(CPhraseBank& bank, int32_t firstIndex,
                                   std::vector<std::unique_ptr<CPhrase>> phrases)
{
    for (size_t i = 0; i < phrases.size(); ++i) {
        const int32_t index = firstIndex < 0 ? -1 : firstIndex + static_cast<int32_t>(i);
        Add(std::make_unique<COpPhraseCreate>(bank, index, std::move(phrases[i])));
    }
}

COpPhraseToClip::COpPhraseToClip(CPhraseBank& bank, int32_t index, int32_t trackIndex,
                                 std::unique_ptr<CClip> clip)
    : m_bank(bank), m_index(index), m_trackIndex(trackIndex)
{
    Add(std::make_unique<COpPhraseDelete>(bank, index));
    Add(std::make_unique<COpClipCreate>(trackIndex, std::move(clip)));
}

bool COpPhraseToClip::CanDo(COperationHistory& history)
{
    return m_index >= 0 && m_index < m_bank.GetCount() &&
           ProjectOf(history).GetTracks().GetAt(m_trackIndex) != nullptr;
}
