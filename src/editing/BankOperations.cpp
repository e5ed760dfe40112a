#include "editing/BankOperations.h"

#include <utility>

#include "document/PlayerLink.h"
#include "document/ProjectDoc.h"
#include "editing/Clipboard.h"
#include "model/PhraseBank.h"

namespace {

void PlaceBank(CProjectDoc& doc, int32_t index, std::unique_ptr<CPhraseBank> bank)
{
    CPhraseBank& placed = *bank;
    doc.InsertBank(index, std::move(bank));
    for (int32_t i = 0; i < placed.GetCount(); ++i) {
        CPhrase& phrase = placed.GetPhraseAt(i);
        if (phrase.GetId() == 0) phrase.SetId(doc.NewObjectId());
        if (CPlayerLink* player = doc.GetPlayer()) player->AddPhrase(phrase);
    }
}

std::unique_ptr<CPhraseBank> TakeBank(CProjectDoc& doc, int32_t index)
{
    std::unique_ptr<CPhraseBank> bank = doc.RemoveBank(index);
    if (CPlayerLink* player = doc.GetPlayer()) {
        for (int32_t i = 0; i < bank->GetCount(); ++i)
            player->RemovePhrase(bank->GetPhraseAt(i));
    }
    return bank;
}

void ShowBankInserted(CProjectDoc& doc, int32_t index)
{
    doc.GetWindows().TreeBankInserted(index);
    doc.GetWindows().RedrawTracksAndMixer();
}

void ShowBankRemoved(CProjectDoc& doc, int32_t index, const CPhraseBank& bank)
{
    CProjectWindows& windows = doc.GetWindows();
    windows.TreeBankRemoved(index);
    windows.CloseBankWindow(bank);
    for (int32_t i = 0; i < bank.GetCount(); ++i)
        windows.ClosePianoRoll(bank.GetPhraseAt(i));
    windows.RedrawTracksAndMixer();
}

void MoveBank(CProjectDoc& doc, int32_t from, int32_t to)
{
    doc.InsertBank(to, doc.RemoveBank(from));
}

} // namespace

void COpBankOfProject::UndoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenProjectWindow(true);
}

void COpBankOfProject::RedoPrepare(CProjectDoc& doc)
{
    doc.GetWindows().OpenProjectWindow(true);
}

// ---- Insert: Create, Copy, Paste ----

COpBankInsert::COpBankInsert(int32_t index, std::unique_ptr<CPhraseBank> bank)
    : m_index(index), m_bank(std::move(bank)), m_bankRef(m_bank.get())
{
    if (!m_bank) throw CInvalidArgument();
}

COpBankInsert::~COpBankInsert() = default;

bool COpBankInsert::Do(CProjectDoc& doc)
{
    if (m_index == -1) m_index = doc.GetBankCount();
    if (m_index < 0 || m_index > doc.GetBankCount()) return false;
    PlaceBank(doc, m_index, std::move(m_bank));
    return true;
}

void COpBankInsert::ShowDo(CProjectDoc& doc)
{
    ShowBankInserted(doc, m_index);
}

void COpBankInsert::UndoApply(CProjectDoc& doc)
{
    m_bank = TakeBank(doc, m_index);
}

void COpBankInsert::UndoShow(CProjectDoc& doc)
{
    ShowBankRemoved(doc, m_index, *m_bankRef);
}

// ---- Delete, Cut ----

COpBankDelete::~COpBankDelete() = default;

bool COpBankDelete::Do(CProjectDoc& doc)
{
    if (m_index < 0 || m_index >= doc.GetBankCount()) return false;
    m_bank = TakeBank(doc, m_index);
    return true;
}

void COpBankDelete::ShowDo(CProjectDoc& doc)
{
    ShowBankRemoved(doc, m_index, *m_bank);
}

void COpBankDelete::UndoApply(CProjectDoc& doc)
{
    PlaceBank(doc, m_index, std::move(m_bank));
}

void COpBankDelete::UndoShow(CProjectDoc& doc)
{
    ShowBankInserted(doc, m_index);
}

bool COpBankCut::Do(CProjectDoc& doc)
{
    if (!COpBankDelete::Do(doc)) return false;
    CClipboard::Instance().Put(std::make_unique<CClipboardBank>(*GetRemoved()));
    return true;
}

// ---- Move, rename ----

bool COpBankMove::Do(CProjectDoc& doc)
{
    const int32_t count = doc.GetBankCount();
    if (m_source == m_target || m_source < 0 || m_source >= count || m_target < 0 ||
        m_target >= count)
        return false;
    MoveBank(doc, m_source, m_target);
    return true;
}

void COpBankMove::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().TreeBankMoved(m_source, m_target);
}

void COpBankMove::UndoApply(CProjectDoc& doc)
{
    MoveBank(doc, m_target, m_source);
}

void COpBankMove::UndoShow(CProjectDoc& doc)
{
    doc.GetWindows().TreeBankMoved(m_target, m_source);
}

bool COpBankRename::Do(CProjectDoc&)
{
    m_bank.SetName(m_name);
    return true;
}

void COpBankRename::ShowDo(CProjectDoc& doc)
{
    doc.GetWindows().BankRenamed(m_bank);
}
