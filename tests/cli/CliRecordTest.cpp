#include "CliRunner.h"
#include "document/ProjectDoc.h"
#include "files/ByteBuilder.h"
#include "files/ProjectFile.h"
#include "files/TempFolder.h"
#include "model/Track.h"
#include "model/TrackList.h"

#include <gtest/gtest.h>

TEST(CliRecord, ANewFileGetsAnArmedTrackAndBadArgumentsLoseNothing)
{
    CTempFolder folder;
    folder.Write("song.tnw", HandSmallProject());
    const std::string song = folder / "song.tnw";
    const std::string fresh = folder / "fresh.tnw";

    const CliResult made = RunCli({"record", fresh, "--midi", "virtual", "--in", "0", "--seconds",
                                   "0.1", "--quantize", "24", "--snap", "96"});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_EQ(made.out, "Nothing was recorded.\n");
    CProjectDoc doc;
    LoadProjectFile(doc, fresh);
    ASSERT_EQ(doc.GetTracks().GetCount(), 1);
    EXPECT_TRUE(doc.GetTracks().GetAt(0)->GetRecord());
    EXPECT_TRUE(doc.GetTracks().GetAt(0)->GetInput());

    const std::vector<std::string> entries = folder.Entries();
    const struct {
        std::vector<std::string> args;
        int status;
        const char* error;
    } refused[] = {
        {{"record", song, "--midi", "virtual"}, 2, "--in names the MIDI input"},
        {{"record", song, "--midi", "virtual", "--in", "0", "--quantize", "-1"}, 2, "--quantize"},
        {{"record", song, "--midi", "virtual", "--in", "0", "--track", "0"}, 2, "--track"},
        {{"record", song, "--midi", "virtual", "--in", "0", "--seconds", "x"}, 2, "--seconds"},
        {{"record", song, "--midi", "virtual", "--in", "0", "--track", "99"}, 1, "no track 99"},
        {{"record", song, "--midi", "virtual", "--in", "nosuch"}, 1, "no MIDI input 'nosuch'"},
    };
    for (const auto& r : refused) {
        const CliResult result = RunCli(r.args);
        EXPECT_EQ(result.status, r.status) << r.error;
        EXPECT_NE(result.err.find(r.error), std::string::npos) << result.err;
    }
    EXPECT_EQ(folder.Entries(), entries) << "a refused record leaves no file behind";
    CProjectDoc kept;
    LoadProjectFile(kept, song);
    EXPECT_EQ(kept.GetTracks().GetCount(), 1) << "nor does it add a track to the file";
}
