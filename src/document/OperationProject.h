#pragma once
// Operations that work on a project, and groups of them that form one history entry.

#include "document/OperationHistory.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

class CProjectDoc;

// The project whose history this is. Defined beside the project document (which derives from the
// history); throws CInvalidArgument when the history is not a project's.
CProjectDoc& ProjectOf(COperationHistory& history);

// Base of every operation of the program. The generic steps hand over to the project forms below,
// so a concrete operation overrides only the project forms.
class COperationProject : public COperation {
public:
    // Identifies the concrete operation class; fold tests compare it.
    virtual int GetTypeId() const = 0;
    // True when other is a project operation with the same type id.
    bool IsSameType(const COperation& other) const;

    virtual bool Do(CProjectDoc& doc);
    virtual void ShowDo(CProjectDoc& doc);
    virtual void UndoPrepare(CProjectDoc& doc);
    virtual void UndoApply(CProjectDoc& doc);
    virtual void UndoShow(CProjectDoc& doc);
    virtual void RedoPrepare(CProjectDoc& doc);
    // Runs Do again unless overridden.
    virtual void RedoApply(CProjectDoc& doc);
    // Runs ShowDo again unless overridden.
    virtual void RedoShow(CProjectDoc& doc);
    // newOp stays owned by the history.
    virtual bool Absorb(CProjectDoc& doc, COperation& newOp);
    virtual void ShowAbsorbed(CProjectDoc& doc);

    bool Do(COperationHistory& history) final;
    void ShowDo(COperationHistory& history) final;
    void UndoPrepare(COperationHistory& history) final;
    void UndoApply(COperationHistory& history) final;
    void UndoShow(COperationHistory& history) final;
    void RedoPrepare(COperationHistory& history) final;
    void RedoApply(COperationHistory& history) final;
    void RedoShow(COperationHistory& history) final;
    bool Absorb(COperationHistory& history, COperation& newOp) final;
    void ShowAbsorbed(COperationHistory& history) final;
};

// An ordered list of owned operations done, undone and redone as one history entry with one name.
// Members are done first to last and undone last to first.
class COperationGroup : public COperationProject {
public:
    enum class EOrder { FirstToLast, LastToFirst };

    // Appends a member; the group owns it from now on.
    void Add(std::unique_ptr<COperationProject> member);
    std::size_t GetCount() const { return m_members.size(); }
    // Borrowed; owned by the group. Throws CInvalidArgument for a bad index.
    COperationProject& GetAt(std::size_t index) const;

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoPrepare(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;
    void RedoApply(CProjectDoc& doc) override;
    void RedoShow(CProjectDoc& doc) override;

protected:
    // Does every member. When one fails (or throws), it and all after it are deleted, the earlier
    // ones are undone from last to first, and false is returned (or the exception passed on).
    // An empty group fails.
    bool DoAll(CProjectDoc& doc);
    void ShowDoAll(CProjectDoc& doc);
    void UndoPrepareAll(CProjectDoc& doc);
    void UndoApplyAll(CProjectDoc& doc);
    void UndoShowAll(CProjectDoc& doc, EOrder order);
    void RedoPrepareAll(CProjectDoc& doc);
    void RedoApplyAll(CProjectDoc& doc);
    void RedoShowAll(CProjectDoc& doc);

private:
    void ForEachMember(EOrder order, const std::function<void(COperationProject&)>& step);
    void RollBackFrom(CProjectDoc& doc, std::size_t failed);

    std::vector<std::unique_ptr<COperationProject>> m_members;
};
