#pragma once
// Operations on the project's phrase banks, addressed by their index: create, copy, paste
// (and the import of a bank read from a MIDI file, which is a create), delete, cut, move and
// rename. Undo and redo bring up the project window, whose tree shows the banks.

#include <cstdint>
#include <memory>
#include <string>

#include "document/OperationProject.h"

class CPhraseBank;

class COpBankOfProject : public COperationProject {
public:
    void UndoPrepare(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;
};

// Puts a bank into the project at an index (-1: the end); its phrases without an id get one.
// Undo takes it out with all its phrases, redo puts it back as it was.
class COpBankInsert : public COpBankOfProject {
public:
    COpBankInsert(int32_t index, std::unique_ptr<CPhraseBank> bank);
    ~COpBankInsert() override;
    // The bank placed (borrowed: from the project while placed, else from the operation).
    CPhraseBank& GetBank() const { return *m_bankRef; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;

private:
    int32_t m_index;
    std::unique_ptr<CPhraseBank> m_bank; // while not placed
    CPhraseBank* m_bankRef;
};

// "Create PhraseBank"; also adds a bank imported from a MIDI file (ImportSmfAsBank) at the end.
class COpBankCreate : public COpBankInsert {
public:
    static constexpr int kTypeId = 802;
    using COpBankInsert::COpBankInsert;
    std::string GetName() const override { return "Create PhraseBank"; }
    int GetTypeId() const override { return kTypeId; }
};

class COpBankCopy : public COpBankInsert {
public:
    static constexpr int kTypeId = 801;
    using COpBankInsert::COpBankInsert;
    std::string GetName() const override { return "Copy PhraseBank"; }
    int GetTypeId() const override { return kTypeId; }
};

class COpBankPaste : public COpBankInsert {
public:
    static constexpr int kTypeId = 806;
    using COpBankInsert::COpBankInsert;
    std::string GetName() const override { return "Paste PhraseBank"; }
    int GetTypeId() const override { return kTypeId; }
};

// "Delete PhraseBank": takes the bank at an index out; undo puts it back there.
class COpBankDelete : public COpBankOfProject {
public:
    static constexpr int kTypeId = 804;
    explicit COpBankDelete(int32_t index) : m_index(index) {}
    ~COpBankDelete() override;
    std::string GetName() const override { return "Delete PhraseBank"; }
    int GetTypeId() const override { return kTypeId; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;

protected:
    // The bank while it is out of the project.
    const CPhraseBank* GetRemoved() const { return m_bank.get(); }

private:
    int32_t m_index;
    std::unique_ptr<CPhraseBank> m_bank;
};

// "Cut PhraseBank": a delete that puts a copy of the bank into the clipboard.
class COpBankCut : public COpBankDelete {
public:
    static constexpr int kTypeId = 803;
    using COpBankDelete::COpBankDelete;
    std::string GetName() const override { return "Cut PhraseBank"; }
    int GetTypeId() const override { return kTypeId; }
    bool Do(CProjectDoc& doc) override;
};

// "Move PhraseBank": a target after the source names the place before the removal, so it is
// taken one lower.
class COpBankMove : public COpBankOfProject {
public:
    static constexpr int kTypeId = 805;
    COpBankMove(int32_t source, int32_t target)
        : m_source(source), m_target(source < target ? target - 1 : target)
    {}
    std::string GetName() const override { return "Move PhraseBank"; }
    int GetTypeId() const override { return kTypeId; }
    int32_t GetTarget() const { return m_target; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;

private:
    int32_t m_source;
    int32_t m_target;
};

// "Rename PhraseBank"; not recorded.
class COpBankRename : public COperationProject {
public:
    static constexpr int kTypeId = 807;
    COpBankRename(CPhraseBank& bank, const std::string& name) : m_bank(bank), m_name(name) {}
    std::string GetName() const override { return "Rename PhraseBank"; }
    int GetTypeId() const override { return kTypeId; }
    bool IsUndoable() const override { return false; }
    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;

private:
    CPhraseBank& m_bank;
    std::string m_name;
};
