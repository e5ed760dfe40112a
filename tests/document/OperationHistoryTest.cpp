#include "document/OperationHistory.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using CLog = std::vector<std::string>;

// Records every step it is asked to run; its answers are set per test.
class CTestOp : public COperation {
public:
    CTestOp(std::string name, CLog& log, int& alive)
        : m_name(std::move(name)), m_log(log), m_alive(alive)
    {
        ++m_alive;
    }
    ~CTestOp() override { --m_alive; }

    std::string GetName() const override { return m_name; }
    bool CanDo(COperationHistory&) override
    {
        Note("CanDo");
        return m_canDo;
    }
    bool Do(COperationHistory&) override
    {
        Note("Do");
        if (m_throws) throw std::runtime_error("model error");
        return m_doResult;
    }
    void ShowDo(COperationHistory&) override { Note("ShowDo"); }
    bool CanUndo(COperationHistory&) override { return m_canUndo; }
    void UndoPrepare(COperationHistory&) override { Note("UndoPrepare"); }
    void UndoApply(COperationHistory&) override { Note("UndoApply"); }
    void UndoShow(COperationHistory&) override { Note("UndoShow"); }
    void RedoPrepare(COperationHistory&) override { Note("RedoPrepare"); }
    void RedoShow(COperationHistory&) override { Note("RedoShow"); }
    bool IsAbsorbableKind(COperationHistory&, COperation& newOp) override
    {
        Note("IsAbsorbableKind");
        return m_gesture != 0 && Other(newOp).m_gesture == m_gesture;
    }
    bool Absorb(COperationHistory&, COperation& newOp) override
    {
        Note("Absorb " + newOp.GetName());
        return m_absorbs;
    }
    void ShowAbsorbed(COperationHistory&) override { Note("ShowAbsorbed"); }
    bool IsUndoable() const override { return m_undoable; }
    bool IsAppendableKind(COperationHistory&, COperation& newOp) override
    {
        return m_appendGesture != 0 && Other(newOp).m_appendGesture == m_appendGesture;
    }
    bool AppendNext(COperationHistory&, COperation& newOp) override
    {
        Note("AppendNext " + newOp.GetName());
        return true;
    }

    bool m_canDo = true;
    bool m_doResult = true;
    bool m_throws = false;
    bool m_canUndo = true;
    bool m_undoable = true;
    int m_gesture = 0; // same non-zero value: fold before doing
    bool m_absorbs = true;
    int m_appendGesture = 0; // same non-zero value: fold after doing

private:
    static CTestOp& Other(COperation& op) { return dynamic_cast<CTestOp&>(op); }
    void Note(const std::string& step) { m_log.push_back(m_name + ": " + step); }

    std::string m_name;
    CLog& m_log;
    int& m_alive;
};

class OperationHistoryTest : public ::testing::Test {
protected:
    std::unique_ptr<CTestOp> Make(const std::string& name)
    {
        return std::make_unique<CTestOp>(name, m_log, m_alive);
    }
    bool Run(const std::string& name) { return m_history.Execute(Make(name)); }

    CLog m_log;
    int m_alive = 0;
    COperationHistory m_history;
};

constexpr const char* kUndoNothing = "&Undo\tCtrl+Z";
constexpr const char* kRedoNothing = "&Redo\tCtrl+Y";

} // namespace

TEST_F(OperationHistoryTest, MenuTextsNameTheNextUndoAndRedo)
{
    EXPECT_FALSE(m_history.UpdateUndo().enabled);
    EXPECT_EQ(m_history.UpdateUndo().text, kUndoNothing);
    EXPECT_FALSE(m_history.UpdateRedo().enabled);
    EXPECT_EQ(m_history.UpdateRedo().text, kRedoNothing);

    Run("Create Clip");
    Run("Move Clip(s)");
    EXPECT_TRUE(m_history.UpdateUndo().enabled);
    EXPECT_EQ(m_history.UpdateUndo().text, "&Undo Move Clip(s)  \tCtrl+Z");

    m_history.Undo();
    EXPECT_EQ(m_history.UpdateUndo().text, "&Undo Create Clip  \tCtrl+Z");
    EXPECT_TRUE(m_history.UpdateRedo().enabled);
    EXPECT_EQ(m_history.UpdateRedo().text, "&Redo Move Clip(s)  \tCtrl+Y");

    // Undone to the start: nothing to undo, the oldest operation is offered for redo.
    m_history.Undo();
    EXPECT_FALSE(m_history.UpdateUndo().enabled);
    EXPECT_EQ(m_history.UpdateUndo().text, kUndoNothing);
    EXPECT_EQ(m_history.UpdateRedo().text, "&Redo Create Clip  \tCtrl+Y");

    // An operation that declines to be undone is named but not enabled, and cannot run.
    m_history.Clear();
    auto locked = Make("Locked");
    locked->m_canUndo = false;
    m_history.Execute(std::move(locked));
    EXPECT_EQ(m_history.UpdateUndo().text, "&Undo Locked  \tCtrl+Z");
    EXPECT_FALSE(m_history.UpdateUndo().enabled);
    EXPECT_FALSE(m_history.CanUndo());
    EXPECT_FALSE(m_history.Undo());
    EXPECT_EQ(m_history.GetDoneCount(), 1u);

    struct CUnnamed : COperation {
        bool Do(COperationHistory&) override { return true; }
    };
    m_history.Execute(std::make_unique<CUnnamed>());
    EXPECT_EQ(m_history.UpdateUndo().text, "&Undo TODO: Define Operation Name  \tCtrl+Z");
}

TEST_F(OperationHistoryTest, UndoAndRedoRunTheirThreeStepsAndSetModified)
{
    EXPECT_FALSE(m_history.IsModified());
    EXPECT_TRUE(Run("A"));
    EXPECT_EQ(m_log, (CLog{"A: CanDo", "A: Do", "A: ShowDo"}));
    EXPECT_TRUE(m_history.IsModified());

    m_log.clear();
    m_history.SetModified(false);
    EXPECT_TRUE(m_history.Undo());
    EXPECT_EQ(m_log, (CLog{"A: UndoPrepare", "A: UndoApply", "A: UndoShow"}));
    EXPECT_TRUE(m_history.IsModified());
    EXPECT_FALSE(m_history.Undo());

    // RedoApply runs Do again unless an operation says otherwise.
    m_log.clear();
    m_history.SetModified(false);
    EXPECT_TRUE(m_history.Redo());
    EXPECT_EQ(m_log, (CLog{"A: RedoPrepare", "A: Do", "A: RedoShow"}));
    EXPECT_TRUE(m_history.IsModified());
    EXPECT_FALSE(m_history.Redo());

    m_history.Clear();
    EXPECT_FALSE(m_history.IsModified());
    EXPECT_EQ(m_history.GetCount(), 0u);
    EXPECT_EQ(m_alive, 0);
    EXPECT_FALSE(m_history.CanUndo());
    EXPECT_FALSE(m_history.CanRedo());
}

TEST_F(OperationHistoryTest, HistoryKeepsTheLastTwentyOperations)
{
    for (int i = 0; i < 21; ++i)
        Run("op" + std::to_string(i));
    EXPECT_EQ(m_history.GetCount(), 20u);
    EXPECT_EQ(m_alive, 20);

    m_log.clear();
    int undone = 0;
    while (m_history.Undo())
        ++undone;
    EXPECT_EQ(undone, 20);
    EXPECT_EQ(m_log.back(), "op1: UndoShow");
    EXPECT_EQ(m_history.UpdateRedo().text, "&Redo op1  \tCtrl+Y");
}

TEST_F(OperationHistoryTest, NewOperationDiscardsWhatCouldBeRedone)
{
    Run("A");
    Run("B");
    Run("C");
    m_history.Undo();
    m_history.Undo();

    Run("D");
    EXPECT_EQ(m_history.GetCount(), 2u);
    EXPECT_EQ(m_alive, 2);
    EXPECT_FALSE(m_history.UpdateRedo().enabled);
    EXPECT_EQ(m_history.UpdateRedo().text, kRedoNothing);
    m_history.Undo();
    EXPECT_EQ(m_history.UpdateUndo().text, "&Undo A  \tCtrl+Z");
}

TEST_F(OperationHistoryTest, NotUndoableOperationRunsButKeepsRedo)
{
    Run("A");
    m_history.Undo();
    m_history.SetModified(false);
    m_log.clear();

    auto rename = Make("Clip Rename");
    rename->m_undoable = false;
    EXPECT_TRUE(m_history.Execute(std::move(rename)));
    EXPECT_EQ(m_log, (CLog{"Clip Rename: CanDo", "Clip Rename: Do", "Clip Rename: ShowDo"}));
    EXPECT_TRUE(m_history.IsModified());
    EXPECT_EQ(m_alive, 1);
    EXPECT_EQ(m_history.UpdateUndo().text, kUndoNothing);
    EXPECT_EQ(m_history.UpdateRedo().text, "&Redo A  \tCtrl+Y");
    EXPECT_TRUE(m_history.Redo());
}

TEST_F(OperationHistoryTest, RefusedOrFailedOperationLeavesNoTrace)
{
    Run("A");
    Run("B");
    m_history.Undo();
    m_history.SetModified(false);
    const CCommandState undoBefore = m_history.UpdateUndo();
    const CCommandState redoBefore = m_history.UpdateRedo();
    auto expectUnchanged = [&] {
        EXPECT_EQ(m_history.UpdateUndo().text, undoBefore.text);
        EXPECT_EQ(m_history.UpdateRedo().text, redoBefore.text);
        EXPECT_TRUE(m_history.UpdateRedo().enabled);
        EXPECT_FALSE(m_history.IsModified());
        EXPECT_EQ(m_history.GetCount(), 2u);
        EXPECT_EQ(m_alive, 2);
    };

    m_log.clear();
    auto refused = Make("Refused");
    refused->m_canDo = false;
    EXPECT_FALSE(m_history.Execute(std::move(refused)));
    EXPECT_EQ(m_log, (CLog{"Refused: CanDo"}));
    expectUnchanged();

    m_log.clear();
    auto failed = Make("Failed");
    failed->m_doResult = false;
    EXPECT_FALSE(m_history.Execute(std::move(failed)));
    EXPECT_EQ(m_log, (CLog{"Failed: CanDo", "A: IsAbsorbableKind", "Failed: Do"}));
    expectUnchanged();

    auto throwing = Make("Throwing");
    throwing->m_throws = true;
    EXPECT_THROW(m_history.Execute(std::move(throwing)), std::runtime_error);
    expectUnchanged();

    EXPECT_FALSE(m_history.Execute(nullptr));
    expectUnchanged();
}

TEST_F(OperationHistoryTest, FoldBeforeLetsTheLastDoneOperationAbsorbAGesture)
{
    auto step = [&](const std::string& name) {
        auto op = Make(name);
        op->m_gesture = 7;
        CTestOp* borrowed = op.get();
        m_history.Execute(std::move(op));
        return borrowed;
    };

    CTestOp* first = step("drag1");
    m_history.SetModified(false);
    m_log.clear();
    step("drag2");
    step("drag3");
    EXPECT_EQ(m_log, (CLog{"drag2: CanDo", "drag1: IsAbsorbableKind", "drag1: Absorb drag2",
                           "drag1: ShowAbsorbed", "drag3: CanDo", "drag1: IsAbsorbableKind",
                           "drag1: Absorb drag3", "drag1: ShowAbsorbed"}));
    EXPECT_EQ(m_history.GetCount(), 1u);
    EXPECT_EQ(m_alive, 1);
    // A step folded after a save is a change the saved file lacks.
    EXPECT_TRUE(m_history.IsModified());

    // The same kind is done and recorded on its own when Absorb declines.
    first->m_absorbs = false;
    step("drag4");
    EXPECT_EQ(m_history.GetCount(), 2u);
    first->m_absorbs = true;

    // Only the last done operation is asked; a fold records nothing, so redo stays as it was.
    m_history.Undo();
    m_log.clear();
    step("drag5");
    EXPECT_EQ(m_log.at(1), "drag1: IsAbsorbableKind");
    EXPECT_EQ(m_history.GetCount(), 2u);
    EXPECT_EQ(m_history.UpdateRedo().text, "&Redo drag4  \tCtrl+Y");

    // Nothing is asked when everything is undone.
    m_history.Undo();
    m_log.clear();
    step("drag6");
    EXPECT_EQ(m_log, (CLog{"drag6: CanDo", "drag6: Do", "drag6: ShowDo"}));
    EXPECT_EQ(m_history.GetCount(), 1u);
    EXPECT_EQ(m_history.UpdateUndo().text, "&Undo drag6  \tCtrl+Z");
}

TEST_F(OperationHistoryTest, FoldAfterLetsTheTailTakeOverADoneOperation)
{
    auto nudge = [&](const std::string& name) {
        auto op = Make(name);
        op->m_appendGesture = 3;
        return m_history.Execute(std::move(op));
    };

    Run("A");
    nudge("nudge1");
    m_history.SetModified(false);
    m_log.clear();
    EXPECT_TRUE(nudge("nudge2"));
    EXPECT_EQ(m_log, (CLog{"nudge2: CanDo", "nudge1: IsAbsorbableKind", "nudge2: Do",
                           "nudge2: ShowDo", "nudge1: AppendNext nudge2"}));
    EXPECT_EQ(m_history.GetCount(), 2u);
    EXPECT_EQ(m_alive, 2);
    EXPECT_TRUE(m_history.IsModified());
    EXPECT_EQ(m_history.UpdateUndo().text, "&Undo nudge1  \tCtrl+Z");

    // Undone operations are discarded first, so a nudge never folds into something undone.
    m_history.Undo();
    nudge("nudge3");
    EXPECT_EQ(m_history.GetCount(), 2u);
    EXPECT_EQ(m_history.UpdateUndo().text, "&Undo nudge3  \tCtrl+Z");
    EXPECT_FALSE(m_history.CanRedo());
}
