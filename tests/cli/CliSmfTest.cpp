#include "CliRunner.h"
#include "files/SmfTestSupport.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

namespace {

// One MIDI track named Duo on channels 1 and 2, after a tempo track.
std::vector<uint8_t> DuoFile()
{
    return CFileBytes()
        .Header(1, 2, 480)
        .Track(CTrackBytes().Meta(0, 0x02, "(c) Duo").Tempo(0, 600000).End())
        .Track(CTrackBytes()
                   .Name("Duo")
                   .On(0, 0, 60, 90)
                   .On(240, 1, 67, 80)
                   .Off(240, 0, 60, 10)
                   .Delta(0)
                   .Raw({0xB1, 7, 99})
                   .Off(960, 1, 67, 20)
                   .End())
        .Bytes();
}

// Colours start at a random palette entry in every run, so they are left out of comparisons.
std::string WithoutColours(const std::string& json)
{
    return std::regex_replace(json, std::regex(R"x("colour":[0-9]+)x"), "");
}

} // namespace

TEST(CliSmf, DumpOpensAMidiFileAsAProjectAnsweringTheChannelQuestion)
{
    CTempFolder folder;
    folder.Write("duo.mid", DuoFile());
    const CliResult split = RunCli({"dump", folder / "duo.mid"});
    ASSERT_EQ(split.status, 0) << split.err;
    EXPECT_NE(split.out.find(R"x("title":"duo [MidiFile]")x"), std::string::npos);
    EXPECT_NE(split.out.find(R"x("copyright":"(c) Duo")x"), std::string::npos);
    EXPECT_NE(split.out.find(R"x("tempo":10000)x"), std::string::npos);
    EXPECT_NE(split.out.find(R"x("name":"Duo (Ch 1)")x"), std::string::npos);
    EXPECT_NE(split.out.find(R"x("name":"Duo (Ch 2)")x"), std::string::npos);

    const CliResult merged = RunCli({"dump", folder / "duo.mid", "--split-channels", "no"});
    ASSERT_EQ(merged.status, 0) << merged.err;
    EXPECT_NE(merged.out.find(R"x("name":"Duo (Merged Channels)")x"), std::string::npos);
    EXPECT_EQ(merged.out.find("(Ch 1)"), std::string::npos);

    EXPECT_EQ(RunCli({"dump", folder / "duo.mid", "--split-channels", "maybe"}).status, 2);
}

TEST(CliSmf, ConvertGoesFromMidiToProjectAndBackWithoutLosingNotes)
{
    CTempFolder folder;
    std::filesystem::create_directory(folder / "again");
    folder.Write("duo.mid", DuoFile());
    ASSERT_EQ(RunCli({"convert", folder / "duo.mid", folder / "duo.tnw"}).status, 0);
    const CliResult exported = RunCli({"convert", folder / "duo.tnw", folder / "again/duo.mid"});
    ASSERT_EQ(exported.status, 0) << exported.err;
    // Same file title, so the two MIDI files open as the same project.
    const CliResult first = RunCli({"dump", folder / "duo.mid"});
    const CliResult second = RunCli({"dump", folder / "again/duo.mid"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(WithoutColours(second.out), WithoutColours(first.out));
}

TEST(CliSmf, ABadMidiFileFailsWithItsMessage)
{
    CTempFolder folder;
    folder.Write("smpte.mid", CFileBytes().Header(1, 1, 0xE728).Track(CTrackBytes().End()).Bytes());
    const CliResult result = RunCli({"convert", folder / "smpte.mid", folder / "out.tnw"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Import of SMPTE timecode MIDI-files is not supported!\n");
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"smpte.mid"});
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// (The sanitizers reserve far more address space than any limit here would allow.)
TEST(CliSmf, RunningOutOfMemoryIsAFailedLoadWithTheOneMessage)
{
    // 65,535 small tracks with all sixteen channels used make a million tracks when the channels
    // are split; in 256 MB of address space that cannot be built.
    CTrackBytes sixteen;
    for (uint8_t channel = 0; channel < 16; ++channel)
        sixteen.Delta(0).Raw({uint8_t(0xC0 | channel), channel});
    sixteen.End();
    CFileBytes file;
    file.Header(1, 0xFFFF, 96);
    for (int i = 0; i < 0xFFFF; ++i)
        file.Track(sixteen);
    CTempFolder folder;
    folder.Write("many.mid", file.Bytes());
    const CliResult result =
        RunCli({"dump", folder / "many.mid", "--split-channels", "yes"}, "/dev/null", 256u << 20);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, "Insufficient memory to perform operation.\n");
}
#endif
