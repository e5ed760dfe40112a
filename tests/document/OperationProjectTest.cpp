#include "document/OperationProject.h"
#include "document/ProjectDoc.h"
#include "model/Errors.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using CLog = std::vector<std::string>;

enum class EResult { Succeed, Fail, Throw };

// A project operation that records its project-form steps and the project it was given.
class CProjectStep : public COperationProject {
public:
    CProjectStep(std::string name, CLog& log, EResult result = EResult::Succeed, int typeId = 1)
        : m_name(std::move(name)), m_log(log), m_result(result), m_typeId(typeId)
    {}
    ~CProjectStep() override { Note("deleted"); }

    std::string GetName() const override { return m_name; }
    int GetTypeId() const override { return m_typeId; }

    bool Do(CProjectDoc& doc) override
    {
        Note("Do", doc);
        if (m_result == EResult::Throw) throw CInvalidArgument();
        return m_result == EResult::Succeed;
    }
    void ShowDo(CProjectDoc& doc) override { Note("ShowDo", doc); }
    void UndoPrepare(CProjectDoc& doc) override { Note("UndoPrepare", doc); }
    void UndoApply(CProjectDoc& doc) override { Note("UndoApply", doc); }
    void UndoShow(CProjectDoc& doc) override { Note("UndoShow", doc); }
    void RedoPrepare(CProjectDoc& doc) override { Note("RedoPrepare", doc); }
    bool IsAbsorbableKind(COperationHistory&, COperation& newOp) override
    {
        return IsSameType(newOp);
    }
    bool Absorb(CProjectDoc& doc, COperation& newOp) override
    {
        Note("Absorb " + newOp.GetName(), doc);
        return true;
    }
    void ShowAbsorbed(CProjectDoc& doc) override { Note("ShowAbsorbed", doc); }

    const CProjectDoc* m_expectedDoc = nullptr;

private:
    void Note(const std::string& step, CProjectDoc& doc)
    {
        // Every project form must be handed the project that runs the operation.
        if (m_expectedDoc) {
            EXPECT_EQ(&doc, m_expectedDoc) << m_name << " " << step;
        }
        Note(step);
    }
    void Note(const std::string& step) { m_log.push_back(m_name + ": " + step); }

    std::string m_name;
    CLog& m_log;
    EResult m_result;
    int m_typeId;
};

// A plain group, or one that shows its undone members first to last.
class CTestGroup : public COperationGroup {
public:
    explicit CTestGroup(EOrder undoShowOrder = EOrder::LastToFirst) : m_undoShowOrder(undoShowOrder)
    {}

    std::string GetName() const override { return "Move Clip(s)"; }
    int GetTypeId() const override { return 206; }
    void UndoShow(CProjectDoc& doc) override { UndoShowAll(doc, m_undoShowOrder); }

private:
    EOrder m_undoShowOrder;
};

class OperationGroupTest : public ::testing::Test {
protected:
    std::unique_ptr<CTestGroup>
    MakeGroup(const std::vector<EResult>& results,
              COperationGroup::EOrder order = COperationGroup::EOrder::LastToFirst)
    {
        auto group = std::make_unique<CTestGroup>(order);
        for (std::size_t i = 0; i < results.size(); ++i)
            group->Add(std::make_unique<CProjectStep>(std::string("m").append(std::to_string(i)),
                                                      m_log, results[i]));
        return group;
    }

    CLog m_log;
    CProjectDoc m_doc;
};

constexpr EResult kOk = EResult::Succeed;

} // namespace

TEST(OperationProject, StepsReachTheProjectThroughTheHistory)
{
    CLog log;
    CProjectDoc doc;
    auto op = std::make_unique<CProjectStep>("Set Clip Length", log, kOk, 109);
    op->m_expectedDoc = &doc;
    EXPECT_TRUE(doc.Execute(std::move(op)));
    doc.Undo();
    doc.Redo();
    // RedoApply and RedoShow default to Do and ShowDo.
    EXPECT_EQ(log, (CLog{"Set Clip Length: Do", "Set Clip Length: ShowDo",
                         "Set Clip Length: UndoPrepare", "Set Clip Length: UndoApply",
                         "Set Clip Length: UndoShow", "Set Clip Length: RedoPrepare",
                         "Set Clip Length: Do", "Set Clip Length: ShowDo"}));

    // Fold before doing compares type ids and hands the new operation to the project form.
    log.clear();
    EXPECT_TRUE(doc.Execute(std::make_unique<CProjectStep>("step", log, kOk, 109)));
    EXPECT_EQ(log, (CLog{"Set Clip Length: Absorb step", "Set Clip Length: ShowAbsorbed",
                         "step: deleted"}));
    log.clear();
    EXPECT_TRUE(doc.Execute(std::make_unique<CProjectStep>("other", log, kOk, 110)));
    EXPECT_EQ(log, (CLog{"other: Do", "other: ShowDo"}));
    EXPECT_EQ(doc.GetCount(), 2u);
}

TEST(OperationProject, ProjectOperationOnAHistoryWithoutProjectIsRejected)
{
    CLog log;
    COperationHistory bare;
    EXPECT_THROW(bare.Execute(std::make_unique<CProjectStep>("A", log)), CInvalidArgument);
    EXPECT_EQ(bare.GetCount(), 0u);
    EXPECT_EQ(log, (CLog{"A: deleted"}));
}

TEST_F(OperationGroupTest, GroupDoesMembersFirstToLastAndUndoesLastToFirst)
{
    EXPECT_TRUE(m_doc.Execute(MakeGroup({kOk, kOk, kOk})));
    EXPECT_EQ(m_doc.UpdateUndo().text, "&Undo Move Clip(s)  \tCtrl+Z");
    m_doc.Undo();
    m_doc.Redo();
    EXPECT_EQ(m_log,
              (CLog{"m0: Do",          "m1: Do",          "m2: Do",          "m0: ShowDo",
                    "m1: ShowDo",      "m2: ShowDo",      "m2: UndoPrepare", "m1: UndoPrepare",
                    "m0: UndoPrepare", "m2: UndoApply",   "m1: UndoApply",   "m0: UndoApply",
                    "m2: UndoShow",    "m1: UndoShow",    "m0: UndoShow",    "m0: RedoPrepare",
                    "m1: RedoPrepare", "m2: RedoPrepare", "m0: Do",          "m1: Do",
                    "m2: Do",          "m0: ShowDo",      "m1: ShowDo",      "m2: ShowDo"}));

    m_log.clear();
    m_doc.Clear();
    EXPECT_EQ(m_log, (CLog{"m0: deleted", "m1: deleted", "m2: deleted"}));
}

TEST_F(OperationGroupTest, GroupChoosesTheOrderOfItsUndoShow)
{
    m_doc.Execute(MakeGroup({kOk, kOk}, COperationGroup::EOrder::FirstToLast));
    m_log.clear();
    m_doc.Undo();
    EXPECT_EQ(m_log, (CLog{"m1: UndoPrepare", "m0: UndoPrepare", "m1: UndoApply", "m0: UndoApply",
                           "m0: UndoShow", "m1: UndoShow"}));

    CTestGroup group;
    group.Add(std::make_unique<CProjectStep>("only", m_log));
    EXPECT_EQ(group.GetCount(), 1u);
    EXPECT_EQ(group.GetAt(0).GetName(), "only");
    EXPECT_THROW(group.GetAt(1), CInvalidArgument);
    EXPECT_THROW(group.Add(nullptr), CInvalidArgument);
}

TEST_F(OperationGroupTest, FailingMemberRollsBackTheEarlierOnesAndNothingIsRecorded)
{
    m_doc.Execute(std::make_unique<CProjectStep>("before", m_log));
    m_doc.SetModified(false);
    m_log.clear();

    EXPECT_FALSE(m_doc.Execute(MakeGroup({kOk, kOk, EResult::Fail, kOk})));
    // The failing member and those after it go first, then the done ones are undone in reverse;
    // Prepare and Show steps are not part of a rollback.
    EXPECT_EQ(m_log, (CLog{"m0: Do", "m1: Do", "m2: Do", "m2: deleted", "m3: deleted",
                           "m1: UndoApply", "m0: UndoApply", "m0: deleted", "m1: deleted"}));
    EXPECT_EQ(m_doc.GetCount(), 1u);
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_EQ(m_doc.UpdateUndo().text, "&Undo before  \tCtrl+Z");

    // A member that fails at once leaves nothing to undo; an empty group fails.
    m_log.clear();
    EXPECT_FALSE(m_doc.Execute(MakeGroup({EResult::Fail, kOk})));
    EXPECT_EQ(m_log, (CLog{"m0: Do", "m0: deleted", "m1: deleted"}));
    EXPECT_FALSE(m_doc.Execute(MakeGroup({})));
    EXPECT_EQ(m_doc.GetCount(), 1u);
}

TEST_F(OperationGroupTest, ThrowingMemberRollsBackTheEarlierOnesBeforePassingTheErrorOn)
{
    EXPECT_THROW(m_doc.Execute(MakeGroup({kOk, kOk, EResult::Throw, kOk})), CInvalidArgument);
    EXPECT_EQ(m_log, (CLog{"m0: Do", "m1: Do", "m2: Do", "m2: deleted", "m3: deleted",
                           "m1: UndoApply", "m0: UndoApply", "m0: deleted", "m1: deleted"}));
    EXPECT_EQ(m_doc.GetCount(), 0u);
    EXPECT_FALSE(m_doc.IsModified());
}
