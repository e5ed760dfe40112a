#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "model/Errors.h"
#include "model/NoteList.h"

namespace {

CNote N(tick start, tick end, uint8_t pitch = 60, uint8_t velocity = 100)
{
    return CNote(start, end, pitch, velocity, 64);
}

CNoteList ListOf(std::initializer_list<CNote> notes)
{
    CNoteList list;
    for (const CNote& note : notes)
        list.Insert(note);
    return list;
}

std::vector<CNote> Items(const CNoteList& list)
{
    return {list.begin(), list.end()};
}

} // namespace

TEST(NoteList, InsertPlacesAfterEqualStarts)
{
    CNoteList list = ListOf({N(96, 100, 1), N(96, 100, 2), N(96, 100, 3), N(0, 10)});
    EXPECT_EQ(list.Insert(N(96, 120, 4)), 4);
    EXPECT_EQ(list.Insert(N(0, 5, 9)), 1);
    EXPECT_EQ(list.Insert(N(-5, 5)), 0);
    EXPECT_EQ(list.Insert(N(500, 510)), 7);
    EXPECT_EQ(list[6].m_pitch, 4);

    // A scrambled sequence with many equal starts ends up as a stable sort by start.
    CNoteList scrambled;
    std::vector<CNote> expected;
    uint32_t seed = 12345;
    for (int i = 0; i < 2000; ++i) {
        seed = seed * 1103515245u + 12345u;
        const CNote note =
            N(static_cast<tick>((seed >> 16) % 50), 1000, i % 128, static_cast<uint8_t>(i / 128));
        scrambled.Insert(note);
        expected.push_back(note);
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [](const CNote& a, const CNote& b) { return a.m_start < b.m_start; });
    EXPECT_EQ(Items(scrambled), expected);
}

TEST(NoteList, FindFirstAtOrAfterStartsFromTheGivenIndex)
{
    const CNoteList list = ListOf({N(0, 1), N(96, 97), N(96, 98), N(192, 193)});
    EXPECT_EQ(list.FindFirstAtOrAfter(0, 96), 1);
    EXPECT_EQ(list.FindFirstAtOrAfter(0, 95), 1);
    EXPECT_EQ(list.FindFirstAtOrAfter(2, 96), 2);
    EXPECT_EQ(list.FindFirstAtOrAfter(3, 0), 3);
    EXPECT_EQ(list.FindFirstAtOrAfter(0, 193), 4);
    EXPECT_EQ(list.FindFirstAtOrAfter(4, 0), 4);
    EXPECT_THROW(list.FindFirstAtOrAfter(5, 0), CInvalidArgument);
    EXPECT_THROW(list.FindFirstAtOrAfter(-1, 0), CInvalidArgument);
    EXPECT_EQ(CNoteList().FindFirstAtOrAfter(0, 0), 0);
}

TEST(NoteList, BadIndicesThrowInvalidArgument)
{
    CNoteList list = ListOf({N(0, 1)});
    EXPECT_THROW(list.At(1), CInvalidArgument);
    EXPECT_THROW(list[-1], CInvalidArgument);
    EXPECT_THROW(list.RemoveAt(1), CInvalidArgument);
    EXPECT_THROW(list.ReplaceAt(1, N(0, 1)), CInvalidArgument);
    EXPECT_EQ(list.RemoveAt(0), N(0, 1));
    EXPECT_TRUE(list.IsEmpty());
}

TEST(NoteList, ReplaceAtMovesOnlyWhenTheStartChanges)
{
    CNoteList list = ListOf({N(0, 10, 1), N(96, 100, 2), N(96, 100, 3), N(192, 200, 4)});
    EXPECT_EQ(list.ReplaceAt(2, N(96, 150, 9)), 2);
    EXPECT_EQ(list[2], N(96, 150, 9));
    // Moved to after the notes already at its new start.
    EXPECT_EQ(list.ReplaceAt(0, N(96, 97, 7)), 2);
    EXPECT_EQ(Items(list),
              (std::vector<CNote>{N(96, 100, 2), N(96, 150, 9), N(96, 97, 7), N(192, 200, 4)}));
    EXPECT_EQ(list.ReplaceAt(1, list[1]), 1);
}

TEST(NoteList, EqualSearchesFindFirstAndLastCopies)
{
    CNoteList list = ListOf({N(0, 10), N(96, 100, 2), N(96, 100, 1), N(96, 100, 2), N(96, 100)});
    EXPECT_EQ(list.FindEqual(N(96, 100, 2)), 1);
    EXPECT_EQ(list.FindEqualFromEnd(N(96, 100, 2)), 3);
    EXPECT_EQ(list.FindEqual(N(96, 101, 2)), -1);
    EXPECT_EQ(list.FindEqualFromEnd(N(50, 100, 2)), -1);
    EXPECT_EQ(list.RemoveEqual(N(96, 100, 2)), 1);
    EXPECT_EQ(list.FindEqual(N(96, 100, 2)), 2);
    EXPECT_EQ(list.RemoveEqual(N(1, 2)), -1);
    EXPECT_EQ(list.GetCount(), 4);
}

TEST(NoteList, RemoveAllOfRemovesAsManyCopiesAsGivenLastFirst)
{
    const CNote x = N(0, 10, 60);
    const CNote z = N(0, 10, 61);
    CNoteList list = ListOf({x, z, x, x, N(5, 6)});
    list.RemoveAllOf(ListOf({x, x, N(7, 8)}));
    EXPECT_EQ(Items(list), (std::vector<CNote>{x, z, N(5, 6)}));

    // An element equal to the empty note stays unless the other list holds one.
    CNoteList withEmpty = ListOf({CNote(), x});
    withEmpty.RemoveAllOf(ListOf({x}));
    EXPECT_EQ(Items(withEmpty), (std::vector<CNote>{CNote()}));
    withEmpty.RemoveAllOf(ListOf({CNote(), CNote()}));
    EXPECT_TRUE(withEmpty.IsEmpty());

    list.RemoveAllOf(list);
    EXPECT_TRUE(list.IsEmpty());
}

TEST(NoteList, RemoveAllOfMatchesTheOneByOneRuleInLongRunsOfEqualStarts)
{
    // Few starts and few distinct notes, so runs are long and copies many: the hashed path for
    // long runs must remove exactly what the element-by-element rule removes.
    std::mt19937 random(42);
    auto pick = [&](int hi) { return std::uniform_int_distribution<int>(0, hi)(random); };
    for (int round = 0; round < 40; ++round) {
        std::vector<CNote> mine, theirs;
        for (int i = pick(400); i > 0; --i)
            mine.push_back(N(pick(3) * 24, 96, static_cast<uint8_t>(60 + pick(4))));
        for (int i = pick(200); i > 0; --i)
            theirs.push_back(N(pick(4) * 24, 96, static_cast<uint8_t>(60 + pick(5))));
        CNoteList list, other;
        list.Assign(mine);
        other.Assign(theirs);

        // The rule: each of other's notes, last first, takes the last copy still present.
        std::vector<CNote> expected(list.begin(), list.end());
        std::vector<bool> gone(expected.size(), false);
        int removed = 0;
        for (auto it = other.end(); it != other.begin();) {
            --it;
            for (size_t k = expected.size(); k > 0; --k) {
                if (!gone[k - 1] && expected[k - 1] == *it) {
                    gone[k - 1] = true;
                    ++removed;
                    break;
                }
            }
        }
        std::vector<CNote> kept;
        for (size_t k = 0; k < expected.size(); ++k)
            if (!gone[k]) kept.push_back(expected[k]);

        EXPECT_EQ(list.RemoveAllOf(other), removed);
        EXPECT_EQ(Items(list), kept);
    }
}

TEST(NoteList, AssignEditedMatchesRemovingAndMergingTheWholeList)
{
    // Sets taken from and put into random places of a list with runs of equal starts: rebuilding
    // only the span they reach must give what the whole-list removal and merge give, indices too.
    std::mt19937 random(20261207);
    auto pick = [&](int hi) { return std::uniform_int_distribution<int>(0, hi)(random); };
    for (int round = 0; round < 200; ++round) {
        std::vector<CNote> mine;
        for (int i = pick(300); i > 0; --i)
            mine.push_back(N(pick(40) * 12, 96, static_cast<uint8_t>(60 + pick(3))));
        CNoteList current;
        current.Assign(mine);
        CNoteList remove;
        for (const CNote& note : current)
            if (pick(5) == 0) remove.Append(note);
        if (round % 7 == 0) remove.Append(N(pick(40) * 12, 96, 90)); // not in the list
        CNoteList add;
        for (int i = pick(20); i > 0; --i)
            add.Append(N(pick(50) * 12, 48, static_cast<uint8_t>(60 + pick(3))));

        CNoteList expected = current;
        std::vector<int> expectedAt;
        const bool held = expected.RemoveAllOf(remove, &expectedAt) == remove.GetCount();
        expected.MergeFrom(add);

        CNoteList built = ListOf({N(1, 2)});
        std::vector<int> at;
        ASSERT_EQ(built.AssignEdited(current, remove, add, &at), held);
        if (!held) {
            EXPECT_EQ(Items(built), (std::vector<CNote>{N(1, 2)}));
            continue;
        }
        EXPECT_EQ(Items(built), Items(expected));
        EXPECT_EQ(at, expectedAt);
    }
}

TEST(NoteList, MergeFromPutsReceiverFirstOnEqualStarts)
{
    CNoteList list = ListOf({N(0, 1, 1), N(96, 97, 1)});
    list.MergeFrom(ListOf({N(0, 1, 2), N(50, 51, 2), N(96, 97, 2), N(192, 193, 2)}));
    EXPECT_EQ(Items(list), (std::vector<CNote>{N(0, 1, 1), N(0, 1, 2), N(50, 51, 2), N(96, 97, 1),
                                               N(96, 97, 2), N(192, 193, 2)}));
    CNoteList self = ListOf({N(0, 1, 1), N(5, 6, 2)});
    self.MergeFrom(self);
    EXPECT_EQ(Items(self), (std::vector<CNote>{N(0, 1, 1), N(0, 1, 1), N(5, 6, 2), N(5, 6, 2)}));
}

TEST(NoteList, ClippingCutsNotesAtTheBorderAndDropsEmptiedOnes)
{
    CNoteList list = ListOf({N(90, 110)});
    list.ClipBefore(96);
    EXPECT_EQ(Items(list), (std::vector<CNote>{N(96, 110)}));

    list = ListOf({N(90, 110), N(96, 97), N(200, 300)});
    list.ClipAfter(96);
    EXPECT_EQ(Items(list), (std::vector<CNote>{N(90, 96)}));

    list = ListOf({N(0, 10), N(50, 5000000)});
    list.CopyClipped(list, 5, 60);
    EXPECT_EQ(Items(list), (std::vector<CNote>{N(5, 10), N(50, 60)}));

    list = ListOf({N(0, 10), N(50, 5000000)});
    list.ClipBefore(kOpenEnd);
    EXPECT_TRUE(list.IsEmpty());
    list = ListOf({N(0, 10), N(50, 5000000)});
    list.ClipAfter(0);
    EXPECT_TRUE(list.IsEmpty());
}

TEST(NoteList, CopyFiltersSelectByStartEndAndPitch)
{
    const CNoteList src =
        ListOf({N(0, 200, 10), N(96, 192, 20), N(96, 193, 30), N(150, 160, 40), N(192, 200, 50)});
    CNoteList out = ListOf({N(1, 2)});
    out.CopyStartingIn(src, 96, 192);
    EXPECT_EQ(Items(out), (std::vector<CNote>{N(96, 192, 20), N(96, 193, 30), N(150, 160, 40)}));
    out.CopyInside(src, 96, 192);
    EXPECT_EQ(Items(out), (std::vector<CNote>{N(96, 192, 20), N(150, 160, 40)}));
    out.CopyInsideRange(src, 0, 200, 20, 40);
    EXPECT_EQ(Items(out), (std::vector<CNote>{N(96, 192, 20), N(96, 193, 30)}));
    out.CopyStartingIn(src, 192, 96);
    EXPECT_TRUE(out.IsEmpty());
    // Copying from the receiver itself works on the old content.
    out = src;
    out.CopyInside(out, 0, 192);
    EXPECT_EQ(Items(out), (std::vector<CNote>{N(96, 192, 20), N(150, 160, 40)}));
    EXPECT_TRUE(out.SameAs(ListOf({N(96, 192, 20), N(150, 160, 40)})));
    EXPECT_FALSE(out.SameAs(ListOf({N(96, 192, 20)})));
}

TEST(NoteList, CopyMovedDropsNotesLeavingTheKeyboardOrTime)
{
    const CNoteList src = ListOf({N(5, 20, 126), N(10, 20, 60), N(30, 40, 0)});
    CNoteList out;
    out.CopyMoved(src, 0, 2);
    EXPECT_EQ(Items(out), (std::vector<CNote>{N(10, 20, 62), N(30, 40, 2)}));
    out.CopyMoved(src, -10, -1);
    EXPECT_EQ(Items(out), (std::vector<CNote>{N(0, 10, 59)}));
    out.CopyShifted(src, 100);
    EXPECT_EQ(out[2], N(130, 140, 0));
    out.Shift(-130);
    EXPECT_EQ(out[0], N(-25, -10, 126));
    out.Shift(INT32_MAX);
    EXPECT_EQ(out[2].m_end, INT32_MAX);
}

TEST(NoteList, ExtentsOfEmptyAndFilledLists)
{
    EXPECT_EQ(CNoteList().MaxEnd(), -1);
    const CNoteBounds none = CNoteList().Bounds();
    EXPECT_EQ(none.m_start + none.m_end + none.m_lowPitch + none.m_highPitch, 0);

    const CNoteList list = ListOf({N(10, 500, 64), N(20, 30, 40), N(400, 410, 90)});
    EXPECT_EQ(list.MaxEnd(), 500);
    const CNoteBounds b = list.Bounds();
    EXPECT_EQ(b.m_start, 10);
    EXPECT_EQ(b.m_end, 500);
    EXPECT_EQ(b.m_lowPitch, 40);
    EXPECT_EQ(b.m_highPitch, 91);
}

// Large chords (long runs of one start) take the sorted path; it must give what removing each
// copy from the end one by one gives.
TEST(NoteList, RemoveAllOfOnLongRunsMatchesRemovingOneByOne)
{
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        std::vector<CNote> items;
        const int count = 20 + static_cast<int>(random() % 200);
        for (int i = 0; i < count; ++i) {
            const tick start = static_cast<tick>(random() % 3) * 96;
            items.push_back(N(start, start + 10, static_cast<int>(random() % 6)));
        }
        std::stable_sort(items.begin(), items.end(),
                         [](const CNote& a, const CNote& b) { return a.m_start < b.m_start; });
        std::vector<CNote> removals;
        for (int i = 0; i < count / 2; ++i) {
            const tick start = static_cast<tick>(random() % 4) * 96;
            removals.push_back(N(start, start + 10, static_cast<int>(random() % 7)));
        }
        std::stable_sort(removals.begin(), removals.end(),
                         [](const CNote& a, const CNote& b) { return a.m_start < b.m_start; });
        std::vector<bool> gone(items.size(), false);
        for (auto r = removals.rbegin(); r != removals.rend(); ++r) {
            for (std::size_t k = items.size(); k-- > 0;) {
                if (!gone[k] && items[k] == *r) {
                    gone[k] = true;
                    break;
                }
            }
        }
        std::vector<CNote> expected;
        for (std::size_t k = 0; k < items.size(); ++k)
            if (!gone[k]) expected.push_back(items[k]);
        CNoteList list;
        for (const CNote& note : items)
            list.Append(note);
        CNoteList other;
        for (const CNote& note : removals)
            other.Append(note);
        list.RemoveAllOf(other);
        EXPECT_EQ(Items(list), expected);
    }
}
