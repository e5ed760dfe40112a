// A seeded random user at the piano roll: keys and mouse gestures in any order. After every step
// the selection holds only notes of the phrase that lie in the selection's rectangle, and undoing
// every recorded step gives back the phrase the user started from (redoing them gives back the
// phrase as it is).

#include <random>

#include "model/HarmonicScale.h"
#include "ui/PianoRollFixture.h"

namespace {

class CPianoRollRandomTest : public CPianoRollFixture,
                             public ::testing::WithParamInterface<uint32_t> {
protected:
    void CheckSelection()
    {
        const CNoteArea& area = Canvas().GetSelectionArea();
        for (const CNote& note : Canvas().GetSelection()) {
            ASSERT_GE(Phrase().GetNotes().FindEqual(note), 0) << "a selected note is gone";
            if (IsEmptyArea(area)) continue;
            EXPECT_GE(note.m_start, area.m_from);
            EXPECT_LE(note.m_start, area.m_to);
            EXPECT_GE(note.m_pitch, area.m_pitchA);
            EXPECT_LT(note.m_pitch, area.m_pitchB);
        }
    }

    void CheckHistory(const std::vector<CNote>& first)
    {
        const std::vector<CNote> now = Notes();
        const tick length = Phrase().GetLength();
        const size_t done = Doc().GetDoneCount();
        for (size_t i = 0; i < done; ++i)
            ASSERT_TRUE(Doc().Undo());
        ASSERT_EQ(Notes(), first) << "undoing everything";
        for (size_t i = 0; i < done; ++i)
            ASSERT_TRUE(Doc().Redo());
        ASSERT_EQ(Notes(), now) << "redoing everything";
        ASSERT_EQ(Phrase().GetLength(), length);
    }

    void RandomStep(std::mt19937& random)
    {
        static const std::vector<std::pair<int, Qt::KeyboardModifiers>> keys = {
            {Qt::Key_Left, {}},
            {Qt::Key_Right, {}},
            {Qt::Key_Up, {}},
            {Qt::Key_Down, {}},
            {Qt::Key_Right, Qt::ShiftModifier},
            {Qt::Key_Up, Qt::ShiftModifier},
            {Qt::Key_Left, Qt::ShiftModifier},
            {Qt::Key_Right, Qt::ControlModifier},
            {Qt::Key_PageDown, {}},
            {Qt::Key_Insert, {}},
            {Qt::Key_Insert, {}},
            {Qt::Key_Delete, {}},
            {Qt::Key_Plus, {}},
            {Qt::Key_Minus, {}},
            {Qt::Key_BracketRight, {}},
            {Qt::Key_BracketLeft, {}},
            {Qt::Key_S, {}},
            {Qt::Key_P, {}},
            {Qt::Key_L, {}},
            {Qt::Key_V, {}},
            {Qt::Key_F, {}},
            {Qt::Key_D, {}},
            {Qt::Key_T, {}},
            {Qt::Key_Q, {}},
            {Qt::Key_Tab, {}},
            {Qt::Key_Backtab, Qt::ShiftModifier},
            {Qt::Key_Escape, {}},
            {Qt::Key_A, Qt::ControlModifier},
            {Qt::Key_X, Qt::ControlModifier},
            {Qt::Key_C, Qt::ControlModifier},
            {Qt::Key_V, Qt::ControlModifier},
        };
        std::uniform_int_distribution<int> kind(0, 9);
        std::uniform_int_distribution<int> tickAt(0, 2 * 384);
        std::uniform_int_distribution<int> pitchAt(55, 70);
        switch (kind(random)) {
        case 0:
            Click(tickAt(random), pitchAt(random));
            break;
        case 1:
            Band(tickAt(random), pitchAt(random), tickAt(random), pitchAt(random));
            break;
        case 2:
            Doc().Undo();
            break;
        default: {
            const auto& [key, mods] =
                keys[std::uniform_int_distribution<size_t>(0, keys.size() - 1)(random)];
            Key(key, mods);
            break;
        }
        }
    }
};

TEST_P(CPianoRollRandomTest, SelectionAndHistoryHoldUnderRandomInput)
{
    Open(2 * 384,
         {CNote(0, 96, 60, 100, 64), CNote(96, 120, 62, 90, 64), CNote(200, 300, 64, 80, 64)});
    Doc().SetScale(CHarmonicScale(2, 1));
    Projects().GetOptions().m_autoExtendSequence = CAppOptions::kNever;
    Context().SetGrid(CNoteValue(48));
    const std::vector<CNote> first = Notes();
    std::mt19937 random(GetParam());
    for (int step = 0; step < 60; ++step) {
        RandomStep(random);
        CheckSelection();
        if (HasFatalFailure()) return;
        // The history keeps twenty entries; past that the first phrase cannot come back.
        if (Doc().GetCount() >= 20) break;
        CheckHistory(first);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(Doc().GetCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, CPianoRollRandomTest, ::testing::Values(1u, 7u, 23u));

} // namespace
