#pragma once
// Operations on the phrases of a bank: create, copy, paste, delete, cut, move, rename, set the
// length or a property, and the groups that make phrases from clips or a MIDI file. A phrase
// placed into a bank gets a new id from the project each time it is placed.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/OperationProject.h"
#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/TimeBase.h"

class CClip;
class CClipboardClips;
class CPhrase;
class CPhraseBank;

// A new phrase with default properties holding a copy of the clip's material, name, colour and
// length.
std::unique_ptr<CPhrase> MakePhraseFromClip(const CClip& clip);

// A new clip at song tick start holding a copy of the phrase's material, name, colour and length;
// what would lie before tick 0 is cut off.
std::unique_ptr<CClip> MakeClipFromPhrase(const CPhrase& phrase, tick start);

// Phrase operations bring up the bank window of their bank to undo and redo.
class COpPhraseOfBank : public COperationProject {
public:
    // bank: borrowed from the project.
    explicit COpPhraseOfBank(CPhraseBank& bank) : m_bank(bank) {}
    void UndoPrepare(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;

protected:
    CPhraseBank& m_bank;
};

// Puts a phrase into a bank at an index (-1: the end), with a new id; undo takes it out again.
// "Create Phrase", "Copy Phrase" and "Paste Phrase".
class COpPhraseInsert : public COpPhraseOfBank {
public:
    COpPhraseInsert(CPhraseBank& bank, int32_t index, std::unique_ptr<CPhrase> phrase);
    ~COpPhraseInsert() override;
    // The phrase placed (borrowed: from the bank while placed, else from the operation).
    CPhrase& GetPhrase() const { return *m_phraseRef; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;

private:
    int32_t m_index;
    std::unique_ptr<CPhrase> m_phrase; // while not placed
    CPhrase* m_phraseRef;
};

class COpPhraseCreate : public COpPhraseInsert {
public:
    static constexpr int kTypeId = 702;
    using COpPhraseInsert::COpPhraseInsert;
    std::string GetName() const override { return "Create Phrase"; }
    int GetTypeId() const override { return kTypeId; }
};

class COpPhraseCopy : public COpPhraseInsert {
public:
    static constexpr int kTypeId = 701;
    using COpPhraseInsert::COpPhraseInsert;
    std::string GetName() const override { return "Copy Phrase"; }
    int GetTypeId() const override { return kTypeId; }
};

class COpPhrasePaste : public COpPhraseInsert {
public:
    static constexpr int kTypeId = 707;
    using COpPhraseInsert::COpPhraseInsert;
    std::string GetName() const override { return "Paste Phrase"; }
    int GetTypeId() const override { return kTypeId; }
};

// "Delete Phrase": takes the phrase at an index out of the bank; undo puts it back with a new id.
class COpPhraseDelete : public COpPhraseOfBank {
public:
    static constexpr int kTypeId = 704;
    COpPhraseDelete(CPhraseBank& bank, int32_t index) : COpPhraseOfBank(bank), m_index(index) {}
    ~COpPhraseDelete() override;
    std::string GetName() const override { return "Delete Phrase"; }
    int GetTypeId() const override { return kTypeId; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;

protected:
    // The phrase while it is out of the bank.
    const CPhrase* GetRemoved() const { return m_phrase.get(); }

private:
    int32_t m_index;
    std::unique_ptr<CPhrase> m_phrase;
};

// "Cut Phrase": a delete that puts a copy of the phrase into the clipboard.
class COpPhraseCut : public COpPhraseDelete {
public:
    static constexpr int kTypeId = 703;
    using COpPhraseDelete::COpPhraseDelete;
    std::string GetName() const override { return "Cut Phrase"; }
    int GetTypeId() const override { return kTypeId; }
    bool Do(CProjectDoc& doc) override;
};

// "Move Phrase": within a bank or to another one. A target after the source in the same bank
// names the place before the removal, so it is taken one lower.
class COpPhraseMove : public COpPhraseOfBank {
public:
    static constexpr int kTypeId = 705;
    COpPhraseMove(CPhraseBank& source, int32_t sourceIndex, CPhraseBank& target,
                  int32_t targetIndex);
    std::string GetName() const override { return "Move Phrase"; }
    int GetTypeId() const override { return kTypeId; }
    // The index the phrase has in the target bank after the move.
    int32_t GetTargetIndex() const { return m_targetIndex; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;

private:
    int32_t m_sourceIndex;
    CPhraseBank& m_target;
    int32_t m_targetIndex;
};

// "Phrase Rename"; not recorded.
class COpPhraseRename : public COperationProject {
public:
    static constexpr int kTypeId = 710;
    COpPhraseRename(CPhrase& phrase, const std::string& name) : m_phrase(phrase), m_name(name) {}
    std::string GetName() const override { return "Phrase Rename"; }
    int GetTypeId() const override { return kTypeId; }
    bool IsUndoable() const override { return false; }
    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;

private:
    CPhrase& m_phrase;
    std::string m_name;
};

// "Set Phrase Length": material beyond a shorter length is kept by the operation and given back
// on undo. The steps of one drag of the length fold into the first.
class COpPhraseSetLength : public COperationProject {
public:
    static constexpr int kTypeId = 711;
    COpPhraseSetLength(CPhrase& phrase, tick length) : m_phrase(phrase), m_length(length) {}
    std::string GetName() const override { return "Set Phrase Length"; }
    int GetTypeId() const override { return kTypeId; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoPrepare(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;
    void RedoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override { ShowDo(doc); }
    bool IsAbsorbableKind(COperationHistory& history, COperation& newOp) override;
    bool Absorb(CProjectDoc& doc, COperation& newOp) override;
    void ShowAbsorbed(CProjectDoc& doc) override { ShowDo(doc); }

private:
    // Sets the stored length and stores the one it replaces.
    void SwapLength(CProjectDoc& doc);
    void SaveMaterial();

    CPhrase& m_phrase;
    tick m_length; // the length to set next (after Do: the one before)
    bool m_saved = false;
    CNoteList m_savedNotes;
    CEventList m_savedEvents;
};

// "Phrase Set Property Value": numbers from 101 are playing properties and go through the
// engine; 1 is the colour, 2 the drum flag ("Drum Phrase"). Not recorded; other numbers fail.
class COpPhraseSetProperty : public COperationProject {
public:
    static constexpr int kTypeId = 712;
    // Drum flag property; the flag lives in the phrase's third reserved word, stored with it.
    static constexpr int32_t kDrumFlag = 2;
    static constexpr int32_t kColour = 1;

    COpPhraseSetProperty(CPhraseBank& bank, CPhrase& phrase, int32_t number, int64_t value)
        : m_bank(bank), m_phrase(phrase), m_number(number), m_value(value)
    {}
    std::string GetName() const override { return "Phrase Set Property Value"; }
    int GetTypeId() const override { return kTypeId; }
    bool IsUndoable() const override { return false; }
    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;

private:
    CPhraseBank& m_bank;
    CPhrase& m_phrase;
    int32_t m_number;
    int64_t m_value;
};

// Whether a phrase is marked as a drum phrase (exempt from the harmonic scale).
bool IsDrumPhrase(const CPhrase& phrase);

// "Paste Phrase(s) from Clip(s)": a phrase made from each clip of a clip payload, the last clip
// first, at firstIndex, firstIndex + 1, ... (so the bank shows them in reverse order).
class COpPhrasesFromClips : public COperationGroup {
public:
    static constexpr int kTypeId = 708;
    COpPhrasesFromClips(CPhraseBank& bank, int32_t firstIndex, const CClipboardClips& clips);
    std::string GetName() const override { return "Paste Phrase(s) from Clip(s)"; }
    int GetTypeId() const override { return kTypeId; }
};

// "Import Phrase(s) from MIDI file": "Create Phrase" of each phrase at firstIndex + i (-1: the
// end of the bank).
class COpPhrasesImport : public COperationGroup {
public:
    static constexpr int kTypeId = 709;
    COpPhrasesImport(CPhraseBank& bank, int32_t firstIndex,
                     std::vector<std::unique_ptr<CPhrase>> phrases);
    std::string GetName() const override { return "Import Phrase(s) from MIDI file"; }
    int GetTypeId() const override { return kTypeId; }
};

// "Move Phrase" (706): the phrase at index of the bank is deleted and the new clip (filled from
// the phrase by the caller, see MakeClipFromPhrase) is created on the track, as one history
// entry. Refused when either member is: no phrase at the index, or no such track.
class COpPhraseToClip : public COperationGroup {
public:
    static constexpr int kTypeId = 706;
    COpPhraseToClip(CPhraseBank& bank, int32_t index, int32_t trackIndex,
                    std::unique_ptr<CClip> clip);
    std::string GetName() const override { return "Move Phrase"; }
    int GetTypeId() const override { return kTypeId; }
    // Checked before anything is done: a delete rolled back would put the phrase back with a new
    // id.
    bool CanDo(COperationHistory& history) override;

private:
    const CPhraseBank& m_bank;
    int32_t m_index;
    int32_t m_trackIndex;
};
