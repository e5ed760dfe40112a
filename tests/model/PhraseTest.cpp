#include "model/Phrase.h"
#include "model/Errors.h"
#include "model/ObjectColours.h"
#include "model/PhraseBank.h"
#include "model/Properties.h"
#include "model/Track.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <utility>
#include <vector>

static CNote Note(tick start, tick end)
{
    return CNote(start, end, 60, 100, 64);
}

static CMidiEvent Controller(tick time)
{
    return CMidiEvent(time, 0xB0, 7, 64);
}

using PropertyValues = std::vector<std::pair<int32_t, int64_t>>;

// Every playing property at its default, as packed numbered values.
static const PropertyValues kDefaults = {
    {101, 0}, {102, 127 << 8}, {103, 1}, {104, 0},        {105, 0},        {106, 0},
    {107, 0}, {108, 1},        {109, 0}, {110, 0},        {111, 0},        {112, 0},
    {113, 0}, {114, 0},        {115, 0}, {116, 127 << 8}, {117, 127 << 8},
};

// Every playing property away from its default.
static const PropertyValues kChanged = {
    {101, PackNodeAddress(CNodeAddress(CNodeAddress::kKindInputPort, 3))},
    {102, PackBytePair({36, 48})},
    {103, 0},
    {104, 96},
    {105, 144},
    {106, PackNodeAddress(CNodeAddress(CNodeAddress::kKindTrack, 7))},
    {107, 15},
    {108, 3},
    {109, 1},
    {110, 1},
    {111, 1},
    {112, -127},
    {113, 24},
    {114, 18},
    {115, -3840},
    {116, PackBytePair({20, 90})},
    {117, PackBytePair({1, 126})},
};

static void ExpectProperties(const CPhrase& phrase, const PropertyValues& values)
{
    for (const auto& [number, value] : values)
        EXPECT_EQ(ReadPhraseProperty(phrase, number), value) << "property " << number;
}

static void ChangeEveryProperty(CPhrase& phrase)
{
    for (const auto& [number, value] : kChanged)
        ASSERT_TRUE(ApplyPhraseProperty(phrase, number, value)) << "property " << number;
    phrase.SetPlayerSlot(5);
    phrase.SetReserved1(11);
    phrase.SetReserved2(22);
    phrase.SetReserved3(33);
}

TEST(Phrase, NewAndResetPhrasesHaveDefaultProperties)
{
    const CPhrase fresh("Riff", 0x123456, 768);
    ExpectProperties(fresh, kDefaults);
    EXPECT_EQ(fresh.GetPlayerSlot(), -1);
    EXPECT_EQ(fresh.GetName(), "Riff");
    EXPECT_EQ(fresh.GetColour(), 0x123456u);
    EXPECT_EQ(fresh.GetLength(), 768);

    CPhrase phrase("Riff", 0x123456, 768);
    phrase.SetId(7);
    phrase.GetNotes().Insert(Note(0, 96));
    ChangeEveryProperty(phrase);
    phrase.ResetProperties();
    ExpectProperties(phrase, kDefaults);
    EXPECT_EQ(phrase.GetPlayerSlot(), -1);
    EXPECT_EQ(phrase.GetReserved1() | phrase.GetReserved2() | phrase.GetReserved3(), 0);
    EXPECT_EQ(phrase.GetName(), "New Phrase");
    EXPECT_EQ(phrase.GetColour(), 0x0000FFu);
    // Identity, extent and content are not properties.
    EXPECT_EQ(phrase.GetId(), 7);
    EXPECT_EQ(phrase.GetLength(), 768);
    EXPECT_EQ(phrase.GetNotes().GetCount(), 1);
}

TEST(Phrase, CopiesTakePropertiesExceptFirstTwoReservedWords)
{
    CPhrase source("Lead", 0x00FF00, 384);
    source.SetId(42);
    source.GetNotes().Insert(Note(0, 96));
    source.GetEvents().Insert(Controller(10));
    ChangeEveryProperty(source);

    CPhrase target;
    target.SetName("Target");
    target.SetReserved1(99);
    target.CopyProperties(source);
    ExpectProperties(target, kChanged);
    EXPECT_EQ(target.GetReserved1(), 0);
    EXPECT_EQ(target.GetReserved2(), 0);
    EXPECT_EQ(target.GetReserved3(), 33);
    EXPECT_EQ(target.GetPlayerSlot(), -1);
    EXPECT_EQ(target.GetName(), "Target");

    // The copy constructor copies content and properties but gets no identity of its own.
    const CPhrase copy(source);
    ExpectProperties(copy, kChanged);
    EXPECT_EQ(copy.GetReserved2(), 0);
    EXPECT_EQ(copy.GetId(), 0);
    EXPECT_EQ(copy.GetPlayerSlot(), -1);
    EXPECT_EQ(copy.GetName(), "Lead");
    EXPECT_EQ(copy.GetLength(), 384);
    EXPECT_TRUE(copy.GetNotes().SameAs(source.GetNotes()));
    EXPECT_TRUE(copy.GetEvents().SameAs(source.GetEvents()));

    CPhrase all;
    all.SetId(5);
    all.CopyAll(source);
    EXPECT_EQ(all.GetId(), 5);
    EXPECT_EQ(all.GetNotes().GetCount(), 1);
    ExpectProperties(all, kChanged);
}

TEST(Phrase, IdentityIsCopiedOnlyByCopyIdentity)
{
    CPhrase source("Named", 0x010203, 96);
    source.SetId(17);
    CPhrase data;
    data.SetId(3);
    data.CopyData(source);
    EXPECT_EQ(data.GetId(), 3);
    EXPECT_EQ(data.GetName(), "Named");
    EXPECT_EQ(data.GetLength(), 96);

    CPhrase identity("Other", 0, 384);
    identity.CopyIdentity(source);
    EXPECT_EQ(identity.GetId(), 17);
    EXPECT_EQ(identity.GetColour(), 0x010203u);
    EXPECT_EQ(identity.GetLength(), 384);

    identity.MakeInvalid();
    EXPECT_EQ(identity.GetName(), "Invalid");
    EXPECT_EQ(identity.GetColour(), 0xFFFFFFu);
    EXPECT_EQ(identity.GetId(), 0);
}

TEST(Phrase, SetLengthCutsContentOnlyWhenShrinking)
{
    CPhrase phrase("P", 0, 384);
    phrase.GetNotes().Insert(Note(0, 96));
    phrase.GetNotes().Insert(Note(90, 200));
    phrase.GetNotes().Insert(Note(300, 380));
    phrase.GetEvents().Insert(Controller(95));
    phrase.GetEvents().Insert(Controller(96));
    phrase.GetEvents().Insert(Controller(300));

    phrase.SetLength(768);
    EXPECT_EQ(phrase.GetLength(), 768);
    EXPECT_EQ(phrase.GetNotes().GetCount(), 3);
    EXPECT_EQ(phrase.GetEvents().GetCount(), 3);

    phrase.SetLength(96);
    EXPECT_EQ(phrase.GetEnd(), 96);
    EXPECT_EQ(phrase.GetMiddle(), 48);
    ASSERT_EQ(phrase.GetNotes().GetCount(), 2);
    EXPECT_EQ(phrase.GetNotes()[1], Note(90, 96)); // straddling note shortened
    ASSERT_EQ(phrase.GetEvents().GetCount(), 1);   // an event at the new end is dropped
    EXPECT_EQ(phrase.GetEvents()[0].m_time, 95);
}

TEST(PhraseBank, InsertAndRemoveCheckIndexesAndKeepOwnership)
{
    CPhraseBank bank("Bank");
    auto first = std::make_unique<CPhrase>("A", 0, 96);
    CPhrase* a = first.get();
    bank.InsertAt(0, std::move(first));
    bank.InsertAt(1, std::make_unique<CPhrase>("C", 0, 96)); // index == count appends
    bank.InsertAt(1, std::make_unique<CPhrase>("B", 0, 96));
    ASSERT_EQ(bank.GetCount(), 3);
    EXPECT_EQ(bank.GetPhraseAt(1).GetName(), "B");
    EXPECT_EQ(bank.GetPhraseAt(2).GetName(), "C");

    EXPECT_THROW(bank.InsertAt(4, std::make_unique<CPhrase>()), CInvalidArgument);
    EXPECT_THROW(bank.InsertAt(-1, std::make_unique<CPhrase>()), CInvalidArgument);
    EXPECT_THROW(bank.InsertAt(0, nullptr), CInvalidArgument);
    EXPECT_THROW(bank.GetPhraseAt(3), CInvalidArgument);
    EXPECT_THROW(bank.RemoveAt(-1), CInvalidArgument);
    EXPECT_EQ(bank.GetCount(), 3);

    std::unique_ptr<CPhrase> removed = bank.RemoveAt(0);
    EXPECT_EQ(removed.get(), a);
    EXPECT_EQ(bank.IndexOf(a), -1);
    EXPECT_EQ(bank.GetPhraseAt(0).GetName(), "B");
}

TEST(PhraseBank, CopyFromMakesIndependentCopiesWithoutIds)
{
    CPhraseBank source("Drums");
    auto kick = std::make_unique<CPhrase>("Kick", 0, 96);
    kick->SetId(10);
    kick->GetNotes().Insert(Note(0, 24));
    source.InsertAt(0, std::move(kick));
    auto snare = std::make_unique<CPhrase>("Snare", 0, 96);
    snare->SetId(11);
    source.InsertAt(1, std::move(snare));

    CPhraseBank copy("Old");
    copy.InsertAt(0, std::make_unique<CPhrase>("Stale", 0, 1));
    copy.CopyFrom(source);
    EXPECT_EQ(copy.GetName(), "Drums");
    ASSERT_EQ(copy.GetCount(), 2);
    EXPECT_EQ(copy.GetPhraseAt(0).GetName(), "Kick");
    EXPECT_EQ(copy.GetPhraseAt(0).GetId(), 0);
    EXPECT_EQ(copy.GetPhraseAt(1).GetId(), 0);
    copy.GetPhraseAt(0).GetNotes().Clear();
    EXPECT_EQ(source.GetPhraseAt(0).GetNotes().GetCount(), 1);

    // Copying a bank onto itself keeps its phrases.
    source.CopyFrom(source);
    ASSERT_EQ(source.GetCount(), 2);
    EXPECT_EQ(source.GetPhraseAt(0).GetNotes().GetCount(), 1);
}

TEST(ObjectColours, PaletteCyclesFromTheFirstIndex)
{
    CObjectColours colours(0);
    const uint32_t first = colours.Next();
    EXPECT_EQ(first, 0x8B8B00u);
    for (int i = 1; i < CObjectColours::kCount; ++i)
        colours.Next();
    EXPECT_EQ(colours.Next(), first); // the 41st object repeats the 1st colour

    CObjectColours fromLast(CObjectColours::kCount - 1);
    EXPECT_EQ(fromLast.Next(), 0x8F8FBCu);
    EXPECT_EQ(fromLast.Next(), 0x8B8B00u);
    EXPECT_THROW(CObjectColours(CObjectColours::kCount), CInvalidArgument);

    // Whatever the random start, forty calls visit every palette entry.
    CObjectColours random;
    std::set<uint32_t> seen;
    for (int i = 0; i < CObjectColours::kCount; ++i)
        seen.insert(random.Next());
    EXPECT_EQ(seen,
              std::set<uint32_t>(CObjectColours::kPalette.begin(), CObjectColours::kPalette.end()));
}

TEST(PhraseProperties, NumbersReachTheirFieldsAndBadInputIsRejected)
{
    CPhrase phrase;
    ChangeEveryProperty(phrase);
    ExpectProperties(phrase, kChanged);
    EXPECT_EQ(phrase.GetInput(), CNodeAddress(CNodeAddress::kKindInputPort, 3));
    EXPECT_EQ(phrase.GetTriggerFrom(), 36);
    EXPECT_EQ(phrase.GetTriggerTo(), 48);
    EXPECT_EQ(phrase.GetStopQuantize().GetTicks(), 144);
    EXPECT_EQ(phrase.GetPlayMode(), EPlayMode::MonoLastKey);
    EXPECT_EQ(phrase.GetVelocityLimitTo(), 126);

    CPhrase fresh;
    for (int32_t number : {0, 1, 2, 100, 118, 119}) {
        EXPECT_FALSE(ApplyPhraseProperty(fresh, number, 1)) << number;
        EXPECT_FALSE(ReadPhraseProperty(fresh, number).has_value()) << number;
    }
    EXPECT_FALSE(ApplyPhraseProperty(fresh, 107, 16)); // channel 0..15
    EXPECT_FALSE(ApplyPhraseProperty(fresh, 102, 0x10000));
    EXPECT_FALSE(ApplyPhraseProperty(fresh, 101, -1)); // bits above the kind
    EXPECT_FALSE(ApplyPhraseProperty(fresh, 106, 1LL << 48));
    EXPECT_FALSE(ApplyPhraseProperty(fresh, 112, 32768));
    EXPECT_FALSE(ApplyPhraseProperty(fresh, 115, 1LL << 31));
    EXPECT_FALSE(ApplyPhraseProperty(fresh, 108, 4));
    ExpectProperties(fresh, kDefaults);

    // Any nonzero flag is on and reads back as 1; a negative key survives the packing.
    EXPECT_TRUE(ApplyPhraseProperty(fresh, 109, 2));
    EXPECT_EQ(ReadPhraseProperty(fresh, 109), 1);
    const CNodeAddress noTrack(CNodeAddress::kKindTrack, -1);
    EXPECT_TRUE(ApplyPhraseProperty(fresh, 106, PackNodeAddress(noTrack)));
    EXPECT_EQ(fresh.GetOutput(), noTrack);

    CTrack track;
    track.SetId(12);
    fresh.SetOutputTrack(track);
    EXPECT_EQ(fresh.GetOutput(), CNodeAddress(CNodeAddress::kKindTrack, 12));
}
