#include "devices/MidiMsg.h"
#include "devices/MidiNode.h"
#include "devices/RecordingNode.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
std::vector<CMidiMsg> Items(const CMidiMsgList& list)
{
    return {list.begin(), list.end()};
}

CMidiMsg On(uint8_t key)
{
    return CMidiMsg::Make(0x90, key, 100);
}
} // namespace

TEST(MidiMsgList, AppendSpliceMoveAndRemoveKeepOrder)
{
    CMidiMsgList a = MakeList({On(1), On(2)});
    CMidiMsgList b = MakeList({On(3)});
    a.SpliceAll(b);
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(a.Count(), 3);
    EXPECT_EQ(Items(a), (std::vector<CMidiMsg>{On(1), On(2), On(3)}));

    // Splicing into an emptied list and appending afterwards must keep the tail right.
    b.SpliceAll(a);
    b.Append(On(4));
    EXPECT_EQ(Items(b), (std::vector<CMidiMsg>{On(1), On(2), On(3), On(4)}));

    CMidiMsgList even;
    b.MoveIf(even, [](CMidiMsg& m) { return m.data1 % 2 == 0; });
    EXPECT_EQ(Items(even), (std::vector<CMidiMsg>{On(2), On(4)}));
    EXPECT_EQ(Items(b), (std::vector<CMidiMsg>{On(1), On(3)}));
    b.Append(On(5)); // the tail moved when its node left
    EXPECT_EQ(Items(b), (std::vector<CMidiMsg>{On(1), On(3), On(5)}));

    EXPECT_TRUE(b.RemoveFirst([](const CMidiMsg& m) { return m.data1 == 5; }));
    EXPECT_FALSE(b.RemoveFirst([](const CMidiMsg& m) { return m.data1 == 9; }));
    b.Append(On(6));
    EXPECT_EQ(Items(b), (std::vector<CMidiMsg>{On(1), On(3), On(6)}));
    EXPECT_EQ(b.Count(), 3);

    b.AppendCopy(b); // a copy of itself doubles it once, not forever
    EXPECT_EQ(b.Count(), 6);

    CMidiMsgList moved(std::move(b));
    EXPECT_TRUE(b.IsEmpty());
    EXPECT_EQ(moved.Count(), 6);
}

TEST(MidiMsgList, SteadyStateReusesPoolNodes)
{
    CMidiMsgPool& pool = CMidiMsgPool::Instance();
    ASSERT_TRUE(pool.Reserve(1000));
    const int64_t total = pool.GetTotalCount();
    const int64_t free = pool.GetFreeCount();
    for (int round = 0; round < 50; ++round) {
        CMidiMsgList ons;
        CMidiMsgList queue;
        for (uint8_t k = 0; k < 100; ++k)
            ons.Append(On(k));
        queue.AppendCopy(ons);
        CMidiMsgList due;
        queue.MoveIf(due, [](CMidiMsg& m) { return --m.time <= 0; });
        EXPECT_EQ(due.Count(), 100);
    }
    EXPECT_EQ(pool.GetTotalCount(), total);
    EXPECT_EQ(pool.GetFreeCount(), free);
}

TEST(MidiGraph, ConnectIsUniqueAndCallsHooksInOrder)
{
    CRecordingNode a("A");
    CRecordingNode b("B");
    EXPECT_TRUE(Connect(&a, &b));
    EXPECT_FALSE(Connect(&a, &b));
    EXPECT_FALSE(Connect(&a, nullptr));
    EXPECT_EQ(a.GetOutputs(), (std::vector<CMidiNode*>{&b}));
    EXPECT_EQ(b.GetInputs(), (std::vector<CMidiNode*>{&a}));
    EXPECT_EQ(a.hooks, (std::vector<std::string>{"out+ B"}));
    EXPECT_EQ(b.hooks, (std::vector<std::string>{"in+ A"}));

    EXPECT_TRUE(Disconnect(&a, &b));
    EXPECT_FALSE(Disconnect(&a, &b));
    EXPECT_TRUE(a.GetOutputs().empty());
    EXPECT_TRUE(b.GetInputs().empty());
    EXPECT_EQ(a.hooks, (std::vector<std::string>{"out+ B", "out- B"}));
    EXPECT_EQ(b.hooks, (std::vector<std::string>{"in+ A", "in- A"}));
}

TEST(MidiGraph, DisconnectHelpersEmptyTheListsAndDeletionUnhooks)
{
    CRecordingNode hub("Hub");
    CRecordingNode in1("I1"), in2("I2"), out1("O1"), out2("O2");
    Connect(&in1, &hub);
    Connect(&in2, &hub);
    Connect(&hub, &out1);
    Connect(&hub, &out2);

    DisconnectOutputs(&hub);
    EXPECT_TRUE(hub.GetOutputs().empty());
    EXPECT_TRUE(out1.GetInputs().empty());
    EXPECT_EQ(hub.GetInputs().size(), 2u);
    DisconnectInputs(&hub);
    EXPECT_TRUE(hub.GetInputs().empty());
    EXPECT_TRUE(in2.GetOutputs().empty());

    {
        CRecordingNode temp("Temp");
        Connect(&in1, &temp);
        Connect(&temp, &out1);
    }
    EXPECT_TRUE(in1.GetOutputs().empty());
    EXPECT_TRUE(out1.GetInputs().empty());
    EXPECT_EQ(out1.hooks.back(), "in- Temp");
}

TEST(MidiGraph, DeliverSendsNonEmptyListsInOrderToTargetOrAllOutputs)
{
    CMidiNode source;
    CRecordingNode first("First"), second("Second"), target("Target");
    Connect(&source, &first);
    Connect(&source, &second);
    CMidiMsgList ons = MakeList({On(60)});
    CMidiMsgList offs;
    CMidiMsgList events = MakeList({CMidiMsg::Make(0xB0, 7, 100)});

    source.Deliver(nullptr, ons, offs, events);
    for (CRecordingNode* node : {&first, &second}) {
        ASSERT_EQ(node->received.size(), 2u);
        EXPECT_EQ(node->received[0].list, CRecordingNode::EList::NoteOns);
        EXPECT_EQ(node->received[1].list, CRecordingNode::EList::Events);
        EXPECT_EQ(node->received[0].sender, &source);
    }
    source.Deliver(&target, ons, ons, offs);
    ASSERT_EQ(target.received.size(), 2u);
    EXPECT_EQ(target.received[1].list, CRecordingNode::EList::NoteOffs);
    EXPECT_EQ(first.received.size(), 2u); // a target bypasses the outputs

    // The base node passes what it receives on unchanged.
    CMidiNode relay;
    CRecordingNode end("End");
    Connect(&relay, &end);
    relay.ReceiveEvents(events, &source);
    ASSERT_EQ(end.received.size(), 1u);
    EXPECT_EQ(end.received[0].msgs, std::vector<CMidiMsg>(events.begin(), events.end()));
    EXPECT_EQ(relay.GetName(), "DefaultDevice");
    EXPECT_EQ(relay.GetParameter(1), -1);
}
