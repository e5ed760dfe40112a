// Rendering plays a project through the engine and reports what each output port's device got,
// at the song tick the engine emitted it; the CLI writes that as a MIDI file.

#include "cli/CliRunner.h"
#include "files/SmfTestSupport.h"
#include "files/TempFolder.h"

#include "document/ProjectDoc.h"
#include "document/ProjectRender.h"
#include "model/Clip.h"
#include "model/NodeAddress.h"
#include "model/Track.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// (port, tick, bytes) of one message.
struct SRendered {
    int32_t port;
    tick at;
    std::vector<uint8_t> bytes;
    bool operator==(const SRendered&) const = default;
};

void PrintTo(const SRendered& r, std::ostream* out)
{
    *out << "{Out" << r.port + 1 << " @" << r.at << ":";
    for (uint8_t b : r.bytes)
        *out << " " << std::hex << int(b) << std::dec;
    *out << "}";
}

class CCollect : public CRenderSink {
public:
    void OnMessages(int32_t port, tick at, std::span<const SMidiOutRecord> records) override
    {
        for (const SMidiOutRecord& r : records)
            messages.push_back({port, at, {r.bytes.begin(), r.bytes.begin() + r.length}});
    }
    void OnTickDone(tick, int64_t tickPeriod) override { musicTime += tickPeriod; }

    std::vector<SRendered> messages;
    int64_t musicTime = 0; // 100 ns
};

// Track 1 on "Out1" channel 2 with program 5; track 2 on "Out3" transposed up an octave, with a
// note that outlasts the song end.
void BuildSong(CProjectDoc& doc)
{
    auto first = std::make_unique<CTrack>();
    first->SetId(1);
    first->SetOutput({CNodeAddress::kKindOutputPort, 0});
    first->SetOutputChannel(2);
    first->SetProgram(5);
    CClip& clip = first->GetClipAt(first->AddClip(std::make_unique<CClip>(96, 480, "A", 0)));
    clip.GetNotes().Insert(CNote(0, 48, 60, 100, 64));
    clip.GetNotes().Insert(CNote(96, 100, 62, 90, 0));
    clip.GetEvents().Insert(CMidiEvent(10, 0xB0, 7, 80));
    doc.InsertTrack(-1, std::move(first));

    auto second = std::make_unique<CTrack>();
    second->SetId(2);
    second->SetOutput({CNodeAddress::kKindOutputPort, 2});
    second->SetTranspose(12);
    CClip& long_ = second->GetClipAt(second->AddClip(std::make_unique<CClip>(0, 384, "B", 0)));
    long_.GetNotes().Insert(CNote(200, 700, 50, 80, 0));
    doc.InsertTrack(-1, std::move(second));
}

TEST(RenderTest, RendersWhatTheEngineEmitsAtItsTicks)
{
    CProjectDoc doc;
    BuildSong(doc);
    EXPECT_EQ(SongEndOf(doc), 480);
    struct Case {
        SRenderOptions options;
        std::vector<SRendered> expected;
        int64_t ticks;
    };
    const std::vector<Case> cases = {
        // To the song end, then on to the last pending note-off at 700.
        {{0, -1},
         {{0, 0, {0xC2, 5}},
          {0, 96, {0x92, 60, 100}},
          {0, 106, {0xB2, 7, 80}},
          {0, 144, {0x82, 60, 64}},
          {0, 192, {0x92, 62, 90}},
          {0, 196, {0x82, 62, 0}},
          {2, 200, {0x90, 62, 80}},
          {2, 700, {0x80, 62, 0}}},
         701},
        // From a locate past the first note; the stop ends the sounding note at 194.
        {{150, 194}, {{0, 150, {0xC2, 5}}, {0, 192, {0x92, 62, 90}}, {0, 194, {0x82, 62, 0}}}, 44},
        // A range after everything.
        {{1000, 1010}, {{0, 1000, {0xC2, 5}}}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options.from);
        CCollect collect;
        std::string error;
        int64_t ticks = 0;
        ASSERT_EQ(RenderProject(doc, c.options, collect, error, &ticks), 1) << error;
        EXPECT_EQ(collect.messages, c.expected);
        EXPECT_EQ(ticks, c.ticks);
        // Every tick is one tick period at the project's tempo, the final stopped tick included.
        EXPECT_EQ(collect.musicTime, (c.ticks + 1) * 52083);
    }
}

TEST(RenderTest, TheSameProjectRendersTheSameOnEveryRun)
{
    CProjectDoc doc;
    for (int32_t t = 0; t < 8; ++t) {
        auto track = std::make_unique<CTrack>();
        track->SetId(t + 1);
        track->SetOutput({CNodeAddress::kKindOutputPort, t % 2});
        for (int c = 0; c < 8; ++c) {
            CClip& clip = track->GetClipAt(
                track->AddClip(std::make_unique<CClip>(c * 96, c * 96 + 96, "C", 0)));
            clip.GetNotes().Insert(CNote(0, 50, static_cast<uint8_t>(40 + t + c), 100, 0));
        }
        doc.InsertTrack(-1, std::move(track));
    }
    std::vector<std::vector<SRendered>> runs;
    for (int run = 0; run < 3; ++run) {
        CCollect collect;
        std::string error;
        ASSERT_EQ(RenderProject(doc, {}, collect, error), 1) << error;
        runs.push_back(collect.messages);
    }
    EXPECT_EQ(runs[0].size(), 8u * 8u * 2u);
    EXPECT_EQ(runs[1], runs[0]);
    EXPECT_EQ(runs[2], runs[0]);
}

std::vector<uint8_t> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RenderTest, CliWritesOneTrackPerPortThatSentSomething)
{
    CTempFolder folder;
    CProjectDoc doc;
    BuildSong(doc);
    const std::string project = folder.Path() + "/song.tnw";
    const std::string output = folder.Path() + "/song.mid";
    doc.Save(project);
    const CliResult result = RunCli({"render", project, output, "--from", "150", "--to", "194"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<uint8_t> expected = CFileBytes()
                                              .Header(1, 2, 96)
                                              .Track(CTrackBytes().Tempo(0, 500000).End())
                                              .Track(CTrackBytes()
                                                         .Name("Out1")
                                                         .Delta(150)
                                                         .Raw({0xC2, 5})
                                                         .On(42, 2, 62, 90)
                                                         .Off(2, 2, 62, 0)
                                                         .End())
                                              .Bytes();
    EXPECT_EQ(ReadAll(output), expected);

    const CliResult bad = RunCli({"render", project, output, "--to", "soon"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.err.find("--to"), std::string::npos);
}

} // namespace
