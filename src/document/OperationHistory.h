#pragma once
// Undo and redo of named edit steps. The history owns the operations it records and knows nothing
// of what they change; the project document derives from it and adds the model.

#include <cstddef>
#include <deque>
#include <memory>
#include <string>

class COperationHistory;

// One undoable edit. Every step receives the history that runs it. Undo and redo each run in three
// steps: Prepare brings up the window that shows the change, Apply changes the model, Show
// refreshes the views. Do and ShowDo are the Apply and Show of the first run.
class COperation {
public:
    virtual ~COperation() = default;

    // Name shown in the Undo and Redo menu entries.
    virtual std::string GetName() const;

    // Checked by Execute before anything else; false refuses the operation.
    virtual bool CanDo(COperationHistory& history);
    // Applies the change; false means it failed and left the model as it was.
    virtual bool Do(COperationHistory& history);
    virtual void ShowDo(COperationHistory& history);

    // Enables the Undo menu entry when this operation is next to be undone.
    virtual bool CanUndo(COperationHistory& history);
    virtual void UndoPrepare(COperationHistory& history);
    virtual void UndoApply(COperationHistory& history);
    virtual void UndoShow(COperationHistory& history);

    // Enables the Redo menu entry when this operation is next to be redone.
    virtual bool CanRedo(COperationHistory& history);
    virtual void RedoPrepare(COperationHistory& history);
    // Runs Do again unless overridden.
    virtual void RedoApply(COperationHistory& history);
    virtual void RedoShow(COperationHistory& history);

    // Fold before doing: the last done operation may take over a new one of the same gesture
    // instead of the new one being done. newOp is still owned by the history, which deletes it.
    virtual bool IsAbsorbableKind(COperationHistory& history, COperation& newOp);
    virtual bool Absorb(COperationHistory& history, COperation& newOp);
    virtual void ShowAbsorbed(COperationHistory& history);

    // False: the operation runs but is not recorded (and does not discard what can be redone).
    virtual bool IsUndoable() const;

    // Fold after doing: the newest recorded operation may take over a new one that has been done.
    // newOp is still owned by the history, which deletes it.
    virtual bool IsAppendableKind(COperationHistory& history, COperation& newOp);
    virtual bool AppendNext(COperationHistory& history, COperation& newOp);
};

// What a menu entry shows for a command and whether it can be chosen.
struct CCommandState {
    bool enabled = false;
    std::string text; // menu text with its "&" mnemonic and "\t" key part
};

// The list of the last recorded operations, the current position in it and the modified flag.
// User-interface thread only.
class COperationHistory {
public:
    // Most operations kept; older ones are dropped and can no longer be undone.
    static constexpr std::size_t kMaxOperations = 20;

    COperationHistory() = default;
    COperationHistory(const COperationHistory&) = delete;
    COperationHistory& operator=(const COperationHistory&) = delete;
    virtual ~COperationHistory() = default;

    // Clears the modified flag and deletes every recorded operation.
    virtual void Clear();
    // Runs op, folding it into the previous operation where both agree. Takes ownership in every
    // outcome. True when it ran or was folded, false when it was refused or failed.
    virtual bool Execute(std::unique_ptr<COperation> op);
    virtual void SetModified(bool modified);
    virtual bool IsModified() const;

    // Undoes the newest done operation; false (and nothing happens) unless CanUndo().
    bool Undo();
    // Redoes the oldest undone operation; false (and nothing happens) unless CanRedo().
    bool Redo();
    // True when there is an operation to undo and it agrees to be undone.
    bool CanUndo();
    // True when there is an operation to redo and it agrees to be redone.
    bool CanRedo();
    // Text and enabling of the Undo and Redo menu entries.
    CCommandState UpdateUndo();
    CCommandState UpdateRedo();

    // Number of recorded operations, done and undone.
    std::size_t GetCount() const { return m_operations.size(); }
    // Number of recorded operations that are done (the oldest ones); the rest can be redone.
    std::size_t GetDoneCount() const { return m_doneCount; }

private:
    void Record(std::unique_ptr<COperation> op);
    COperation* NextToUndo() const;
    COperation* NextToRedo() const;

    // Oldest first. Entries [0, m_doneCount) are done, the rest are undone; the current position
    // is m_doneCount, or none when it equals the size.
    std::deque<std::unique_ptr<COperation>> m_operations;
    std::size_t m_doneCount = 0;
    bool m_modified = false;
};
