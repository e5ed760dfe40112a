// The editors' geometry: mapping, zoom limits, keeping the view inside the content, the ruler's
// label stride and the wheel table. Plain arithmetic, so tables of cases.

#include <gtest/gtest.h>

#include "editors/PianoRollGeometry.h"
#include "editors/TracksGeometry.h"
#include "editors/WheelTable.h"

namespace {

TEST(EditorGeometry, RulerLabelsEveryStrideBars)
{
    struct SRow {
        int32_t scale;
        tick ticksPerBar;
        int32_t stride;
    };
    const SRow rows[] = {{16, 384, 4}, {30, 384, 2}, {4, 384, 16}, {20, 384, 4},
                         {16, 288, 8}, {12, 288, 8}, {30, 768, 1}};
    for (const SRow& row : rows) {
        CTracksGeometry g;
        g.SetScale(row.scale);
        EXPECT_EQ(g.RulerStride(row.ticksPerBar), row.stride)
            << row.scale << " " << row.ticksPerBar;
    }
}

TEST(EditorGeometry, ZoomStopsAtTheLimitsAndStoredValuesAreClamped)
{
    CTracksGeometry tracks;
    tracks.SetScale(CTracksGeometry::kMaxScale);
    EXPECT_FALSE(tracks.ZoomHorizontal(1));
    tracks.SetScale(CTracksGeometry::kMinScale);
    EXPECT_FALSE(tracks.ZoomHorizontal(-1));
    int steps = 0;
    while (tracks.ZoomHorizontal(1))
        ++steps;
    EXPECT_EQ(tracks.GetScale(), CTracksGeometry::kMaxScale);
    EXPECT_GT(steps, 3);
    tracks.SetRowHeight(1000);
    EXPECT_EQ(tracks.GetRowHeight(), CTracksGeometry::kMaxRowHeight);
    EXPECT_FALSE(tracks.ZoomVertical(1));
    tracks.SetRowHeight(-3);
    EXPECT_EQ(tracks.GetRowHeight(), CTracksGeometry::kMinRowHeight);
    EXPECT_FALSE(tracks.ZoomVertical(-1));

    CPianoRollGeometry roll;
    roll.SetScale(CPianoRollGeometry::kMinScale);
    EXPECT_FALSE(roll.ZoomHorizontal(-1));
    EXPECT_TRUE(roll.ZoomHorizontal(1));
    EXPECT_EQ(roll.GetScale(), CPianoRollGeometry::kMinScale + 8);
    roll.SetPitchHeight(99);
    EXPECT_FALSE(roll.ZoomVertical(1));
    roll.SetPitchHeight(0);
    EXPECT_EQ(roll.GetPitchHeight(), CPianoRollGeometry::kMinPitchHeight);
}

TEST(EditorGeometry, TheViewStaysInsideTheContent)
{
    CTracksGeometry tracks;
    tracks.SetClientSize(800, 400); // 800 px at 16 px per bar: 50 bars, 20 rows
    tracks.SetContent(0, 3);
    EXPECT_TRUE(tracks.SetLeftTick(-500) == false && tracks.GetLeftTick() == 0);
    tracks.SetContent(100 * 384, 50);
    EXPECT_TRUE(tracks.SetLeftTick(1000000));
    EXPECT_EQ(tracks.GetRightTick(), tracks.GetContentTicks());
    EXPECT_TRUE(tracks.SetFirstRow(1000));
    EXPECT_EQ(tracks.GetLastRow(), tracks.GetContentRows());
    // The song shrinks: the view comes back inside.
    tracks.SetContent(0, 2);
    EXPECT_EQ(tracks.GetLeftTick(), 0);
    EXPECT_EQ(tracks.GetFirstRow(), 0);
    // A point right of and below the view becomes its last column and row.
    tracks.SetContent(1000 * 384, 100);
    EXPECT_TRUE(tracks.MakeVisible(60 * 384, 30));
    EXPECT_EQ(tracks.GetRightTick() - 1, 60 * 384);
    EXPECT_EQ(tracks.GetLastRow() - 1, 30);
    EXPECT_FALSE(tracks.MakeVisible(60 * 384, 30));
    // Points above and left of the canvas map to rows and ticks before the first.
    EXPECT_EQ(tracks.YToRow(-1), tracks.GetFirstRow() - 1);
    EXPECT_LT(tracks.XToTick(-20), tracks.GetLeftTick());

    // A phrase shorter than the visible width shows from tick 0 and cannot scroll.
    CPianoRollGeometry roll;
    roll.SetClientSize(600, 300);
    roll.SetLength(384);
    EXPECT_FALSE(roll.SetOriginTick(96));
    EXPECT_EQ(roll.GetOriginTick(), 0);
    EXPECT_TRUE(roll.SetOriginPitch(127));
    EXPECT_EQ(roll.GetOriginPitch() + roll.VisiblePitches(), CPianoRollGeometry::kPitchCount);
    EXPECT_EQ(roll.YToPitch(roll.PitchToY(100)), 100);
    EXPECT_EQ(roll.YToPitch(roll.PitchToY(100) + roll.GetPitchHeight() - 1), 100);
}

TEST(EditorGeometry, WheelTable)
{
    using A = CWheelScroll::EAxis;
    struct SRow {
        EWheelArea area;
        int delta;
        std::optional<CWheelScroll> want;
    };
    const SRow rows[] = {
        {EWheelArea::TracksCanvas, 120, CWheelScroll{A::Rows, -1}},
        {EWheelArea::TracksCanvas, -120, CWheelScroll{A::Rows, 1}},
        {EWheelArea::TracksCanvas, 240, CWheelScroll{A::Ticks, -960}},
        {EWheelArea::TracksCanvas, -240, CWheelScroll{A::Ticks, 960}},
        {EWheelArea::TrackList, 240, CWheelScroll{A::Rows, -1}},
        {EWheelArea::TrackList, -120, CWheelScroll{A::Rows, 1}},
        {EWheelArea::NoteCanvas, 120, CWheelScroll{A::Pitches, 12}},
        {EWheelArea::NoteCanvas, -240, CWheelScroll{A::Ticks, 96}},
        {EWheelArea::EventLane, 120, CWheelScroll{A::Pitches, -12}},
        {EWheelArea::EventLane, 240, CWheelScroll{A::Ticks, -96}},
        {EWheelArea::TracksCanvas, 60, std::nullopt},
        {EWheelArea::NoteCanvas, 360, std::nullopt},
    };
    for (const SRow& row : rows)
        EXPECT_EQ(WheelScrollFor(row.area, row.delta), row.want)
            << static_cast<int>(row.area) << " " << row.delta;
}

} // namespace
