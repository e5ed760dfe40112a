// The clipboard and the drag context: one payload at a time, the old one deleted on replace.

#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "document/ProjectDoc.h"
#include "editing/Clipboard.h"
#include "editing/DragContext.h"

namespace {

// A payload that counts its own destruction.
class CCountedPayload : public CClipboardPayload {
public:
    explicit CCountedPayload(int& deleted) : m_deleted(deleted) {}
    ~CCountedPayload() override { ++m_deleted; }
    EClipKind GetKind() const override { return EClipKind::Phrase; }

private:
    int& m_deleted;
};

class CCountedDrag : public CDragPayload {
public:
    CCountedDrag(CProjectDoc& doc, int& deleted) : CDragPayload(doc), m_deleted(deleted) {}
    ~CCountedDrag() override { ++m_deleted; }
    EDragKind GetKind() const override { return EDragKind::Track; }

private:
    int& m_deleted;
};

class CRecordingTarget : public CDropTarget {
public:
    int calls = 0;
    EDropEffect DragEnter(const CDragPayload&, const CDragPoint& p) override
    {
        ++calls;
        return DropEffectFor(p.m_control);
    }
    EDropEffect DragOver(const CDragPayload&, const CDragPoint& p) override
    {
        ++calls;
        return DropEffectFor(p.m_control);
    }
    void DragLeave(const CDragPayload&) override { ++calls; }
    bool Drop(const CDragPayload&, const CDragPoint&) override { return ++calls > 0; }
};

} // namespace

TEST(ClipboardTest, HoldsOnePayloadAndDeletesTheOneItReplaces)
{
    CClipboard& clipboard = CClipboard::Instance();
    int deleted = 0;
    clipboard.Put(std::make_unique<CCountedPayload>(deleted));
    EXPECT_EQ(clipboard.GetKind(), EClipKind::Phrase);
    EXPECT_EQ(clipboard.GetAs<CClipboardNotes>(), nullptr);

    CNoteList notes;
    notes.Insert(CNote(0, 96, 60, 100, 64));
    clipboard.Put(std::make_unique<CClipboardNotes>("Bass", notes, CNoteArea{0, 60, 96, 61}));
    EXPECT_EQ(deleted, 1);
    ASSERT_NE(clipboard.GetAs<CClipboardNotes>(), nullptr);
    EXPECT_EQ(clipboard.GetAs<CClipboardNotes>()->GetContainerName(), "Bass");
    EXPECT_TRUE(clipboard.GetAs<CClipboardNotes>()->GetNotes().SameAs(notes));

    clipboard.Clear();
    EXPECT_EQ(clipboard.GetKind(), EClipKind::None);
    EXPECT_EQ(clipboard.Get(), nullptr);
}

TEST(ClipboardTest, ClipPayloadAnswersEarliestStartAndSmallestTrack)
{
    CClipboardClips clips;
    EXPECT_EQ(clips.GetEarliestStart(), kOpenEnd);
    EXPECT_EQ(clips.GetSmallestTrack(), INT_MAX);
    clips.Add(CClip(768, 1152, "A", 0), 3);
    clips.Add(CClip(384, 768, "B", 0), 5);
    clips.Add(CClip(1536, 1920, "C", 0), 1);
    EXPECT_EQ(clips.GetEarliestStart(), 384);
    EXPECT_EQ(clips.GetSmallestTrack(), 1);
    EXPECT_EQ(clips.GetAt(1).m_clip->GetName(), "B");
    EXPECT_THROW(clips.GetAt(3), CInvalidArgument);

    // Bank payloads are deep copies whose phrases have no identity.
    CPhraseBank bank("Drums");
    auto phrase = std::make_unique<CPhrase>("Kick", 0, 384);
    phrase->SetId(7);
    bank.InsertAt(0, std::move(phrase));
    CClipboardBank copy(bank);
    EXPECT_EQ(copy.GetBank().GetName(), "Drums");
    EXPECT_EQ(copy.GetBank().GetPhraseAt(0).GetId(), 0);
    EXPECT_NE(&copy.GetBank().GetPhraseAt(0), &bank.GetPhraseAt(0));
}

TEST(ClipboardTest, DragContextPassesTheGestureOnOnlyWhileItHoldsAPayload)
{
    CProjectDoc doc;
    CDragContext& context = CDragContext::Instance();
    CRecordingTarget target;
    EXPECT_EQ(context.Enter(target, {}), EDropEffect::None);
    EXPECT_FALSE(context.Drop(target, {}));
    EXPECT_EQ(target.calls, 0);

    int deleted = 0;
    context.Begin(std::make_unique<CCountedDrag>(doc, deleted));
    EXPECT_EQ(context.Enter(target, {1, 2, true}), EDropEffect::Copy);
    EXPECT_EQ(context.Over(target, {1, 2, false}), EDropEffect::Move);
    context.Leave(target);
    EXPECT_TRUE(context.Drop(target, {}));
    EXPECT_EQ(target.calls, 4);
    EXPECT_EQ(context.GetPayload()->GetKind(), EDragKind::Track);
    context.End();
    EXPECT_EQ(deleted, 1);
    EXPECT_FALSE(context.IsDragging());
}
