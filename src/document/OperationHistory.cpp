#include "document/OperationHistory.h"

#include <utility>

namespace {

constexpr const char* kUndoLabel = "&Undo";
constexpr const char* kUndoKey = "Ctrl+Z";
constexpr const char* kRedoLabel = "&Redo";
constexpr const char* kRedoKey = "Ctrl+Y";

// "label\tkey" when there is nothing to name, else "label name  \tkey".
std::string MenuText(const char* label, const char* key, const COperation* op)
{
    std::string text = label;
    if (op) {
        text += ' ';
        text += op->GetName();
        text += "  ";
    }
    text += '\t';
    text += key;
    return text;
}

} // namespace

std::string COperation::GetName() const
{
    return "TODO: Define Operation Name";
}

bool COperation::CanDo(COperationHistory&)
{
    return true;
}

bool COperation::Do(COperationHistory&)
{
    return false;
}

void COperation::ShowDo(COperationHistory&)
{}

bool COperation::CanUndo(COperationHistory&)
{
    return true;
}

void COperation::UndoPrepare(COperationHistory&)
{}
void COperation::UndoApply(COperationHistory&)
{}
void COperation::UndoShow(COperationHistory&)
{}

bool COperation::CanRedo(COperationHistory&)
{
    return true;
}

void COperation::RedoPrepare(COperationHistory&)
{}

void COperation::RedoApply(COperationHistory& history)
{
    Do(history);
}

void COperation::RedoShow(COperationHistory&)
{}

bool COperation::IsAbsorbableKind(COperationHistory&, COperation&)
{
    return false;
}

bool COperation::Absorb(COperationHistory&, COperation&)
{
    return false;
}

void COperation::ShowAbsorbed(COperationHistory&)
{}

bool COperation::IsUndoable() const
{
    return true;
}

bool COperation::IsAppendableKind(COperationHistory&, COperation&)
{
    return false;
}

bool COperation::AppendNext(COperationHistory&, COperation&)
{
    return false;
}

void COperationHistory::Clear()
{
    m_modified = false;
    // Detach first so that an operation's destructor never sees a half-emptied history.
    auto dropped = std::move(m_operations);
    m_operations.clear();
    m_doneCount = 0;
}

bool COperationHistory::Execute(std::unique_ptr<COperation> op)
{
    if (!op || !op->CanDo(*this)) return false;

    if (COperation* last = NextToUndo()) {
        if (last->IsAbsorbableKind(*this, *op) && last->Absorb(*this, *op)) {
            last->ShowAbsorbed(*this);
            // The entry may have been saved already; the step it took in is not.
            SetModified(true);
            return true;
        }
    }

    if (!op->Do(*this)) return false;
    op->ShowDo(*this);
    if (op->IsUndoable()) Record(std::move(op));
    SetModified(true);
    return true;
}

void COperationHistory::Record(std::unique_ptr<COperation> op)
{
    // A new operation discards everything that could have been redone.
    m_operations.erase(m_operations.begin() + static_cast<std::ptrdiff_t>(m_doneCount),
                       m_operations.end());

    if (!m_operations.empty()) {
        COperation& tail = *m_operations.back();
        if (tail.IsAppendableKind(*this, *op) && tail.AppendNext(*this, *op)) return;
    }

    m_operations.push_back(std::move(op));
    while (m_operations.size() > kMaxOperations)
        m_operations.pop_front();
    m_doneCount = m_operations.size();
}

void COperationHistory::SetModified(bool modified)
{
    m_modified = modified;
}

bool COperationHistory::IsModified() const
{
    return m_modified;
}

COperation* COperationHistory::NextToUndo() const
{
    return m_doneCount > 0 ? m_operations[m_doneCount - 1].get() : nullptr;
}

COperation* COperationHistory::NextToRedo() const
{
    return m_doneCount < m_operations.size() ? m_operations[m_doneCount].get() : nullptr;
}

bool COperationHistory::CanUndo()
{
    COperation* op = NextToUndo();
    return op && op->CanUndo(*this);
}

bool COperationHistory::CanRedo()
{
    COperation* op = NextToRedo();
    return op && op->CanRedo(*this);
}

bool COperationHistory::Undo()
{
    if (!CanUndo()) return false;
    --m_doneCount;
    COperation& op = *m_operations[m_doneCount];
    op.UndoPrepare(*this);
    op.UndoApply(*this);
    op.UndoShow(*this);
    SetModified(true);
    return true;
}

bool COperationHistory::Redo()
{
    if (!CanRedo()) return false;
    COperation& op = *m_operations[m_doneCount];
    ++m_doneCount;
    op.RedoPrepare(*this);
    op.RedoApply(*this);
    op.RedoShow(*this);
    SetModified(true);
    return true;
}

CCommandState COperationHistory::UpdateUndo()
{
    return {CanUndo(), MenuText(kUndoLabel, kUndoKey, NextToUndo())};
}

CCommandState COperationHistory::UpdateRedo()
{
    return {CanRedo(), MenuText(kRedoLabel, kRedoKey, NextToRedo())};
}
