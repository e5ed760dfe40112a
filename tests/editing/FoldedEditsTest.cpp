// Edits that fold into the previous history entry, on a project the engine plays.

#include "editing/ClipOperations.h"
#include "editing/OpsFixture.h"
#include "editing/PhraseOperations.h"
#include "editing/TrackOperations.h"
#include "files/TempFolder.h"
#include "model/Clip.h"
#include "model/Track.h"

#include <functional>

namespace {

class FoldedEditsTest : public COpsFixture {};

// A save between two steps of one gesture: the second step folds into the saved entry, and the
// project must read as changed, or closing would lose it without asking.
TEST_F(FoldedEditsTest, AStepFoldedAfterASaveLeavesTheProjectModified)
{
    CTempFolder folder;
    ASSERT_TRUE(Execute(std::make_unique<COpTrackCreate>(-1, std::make_unique<CTrack>())));
    ASSERT_TRUE(
        Execute(std::make_unique<COpClipCreate>(0, std::make_unique<CClip>(0, 384, "C", 0))));
    CClip& clip = doc->GetTracks().GetAt(0)->GetClipAt(0);
    CPhrase& phrase = AddBank("Bank", {"P"}, 384).GetPhraseAt(0);
    StartPlaying();

    using E = EClipLengthOrigin;
    const auto length = [&](E origin) {
        return [&clip, origin](tick value) -> std::unique_ptr<COperation> {
            return std::make_unique<COpClipSetLength>(clip, value, origin);
        };
    };
    const struct {
        int typeId;
        std::function<std::unique_ptr<COperation>(tick)> make;
        std::function<tick()> value;
        tick first, second;
    } cases[] = {
        {kOpClipSetLengthDrag, length(E::TracksDrag), [&] { return clip.GetLength(); }, 480, 576},
        {kOpClipSetLengthPianoRoll, length(E::PianoRoll), [&] { return clip.GetLength(); }, 384,
         288},
        {kOpClipSetLengthKeys, length(E::TracksKeys), [&] { return clip.GetLength(); }, 480, 576},
        {kOpClipSetStart,
         [&](tick value) { return std::make_unique<COpClipSetStart>(clip, value); },
         [&] { return clip.GetStart(); }, 96, 192},
        {COpPhraseSetLength::kTypeId,
         [&](tick value) { return std::make_unique<COpPhraseSetLength>(phrase, value); },
         [&] { return phrase.GetLength(); }, 480, 576},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typeId);
        ASSERT_TRUE(Execute(c.make(c.first)));
        const size_t entries = doc->GetCount();
        doc->Save(folder / "song.tnw");
        ASSERT_FALSE(doc->IsModified());
        RunTicks(3);
        ASSERT_TRUE(Execute(c.make(c.second)));
        EXPECT_EQ(doc->GetCount(), entries); // folded, not recorded on its own
        EXPECT_EQ(c.value(), c.second);
        EXPECT_TRUE(doc->IsModified());
    }
}

} // namespace
