#include "CliRunner.h"
#include "files/ByteBuilder.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const char* const kHandProjectJson =
    R"({"title":"Caf\u00e9 \"x\"","copyright":"","author":"","comment":"","tempo":9000,)"
    R"("signature":[3,4],"scale":{"key":2,"mode":1},"songPosition":0,)"
    R"("loop":{"on":0,"start":0,"end":1536},"soloActive":0,"muteActive":0,)"
    R"("defaults":{"phraseBars":4,"clipBars":4,"snap":24,"grid":24},)"
    R"("banks":[{"name":"B\\","phrases":[{"id":1,"name":"P","colour":255,"length":384,)"
    R"("notes":[[0,48,60,100,64],[96,144,62,90,0]],"events":[[24,176,7,100]],)"
    R"("input":[4,0],"trigger":[36,60],"keyFollow":1,"startQuantize":24,"stopQuantize":48,)"
    R"("output":[3,1],"channel":9,"playMode":2,"loop":1,"hold":0,"continue":1,"velocity":-5,)"
    R"("transpose":7,"outputQuantize":12,"delay":-96,"pitchLimit":[10,100],)"
    R"("velocityLimit":[20,110]}]}],)"
    R"("tracks":[{"id":2,"name":"T","colour":65280,"output":[3,0],"channel":3,"velocity":4,)"
    R"("transpose":-12,"playQuantize":0,"delay":5,"pitchLimit":[0,127],)"
    R"("velocityLimit":[0,127],"program":10,"volume":100,"pan":64,"solo":1,"mute":0,)"
    R"("record":0,"input":1,"property2":7,"clips":[{"id":3,"name":"C","colour":16,)"
    R"("length":768,"notes":[[0,96,48,100,0]],"events":[],"start":384}]}]})"
    "\n";

Bytes FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The path as seen from the current directory, to check that relative paths keep working.
std::string Relative(const std::string& path)
{
    return std::filesystem::relative(path, std::filesystem::current_path()).string();
}

} // namespace

TEST(CliProject, DumpPrintsAHandMadeProjectAsJson)
{
    CTempFolder folder;
    folder.Write("hand.tnw", HandSmallProject());
    const CliResult result = RunCli({"dump", folder / "hand.tnw"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, kHandProjectJson);
}

TEST(CliProject, ConvertWritesTheSameBytesWithRelativePaths)
{
    CTempFolder folder;
    folder.Write("hand.tnw", HandSmallProject());
    const CliResult result =
        RunCli({"convert", Relative(folder / "hand.tnw"), Relative(folder / "copy.TNW")});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(FileBytes(folder / "copy.TNW"), HandSmallProject());
    EXPECT_EQ(RunCli({"dump", folder / "copy.TNW"}).out, kHandProjectJson);
}

TEST(CliProject, FailuresPrintTheMessageAndExitWithOne)
{
    CTempFolder folder;
    Bytes version3 = HandSmallProject();
    version3[24] = 3;
    folder.Write("v3.tnw", version3);
    Bytes cut = HandSmallProject();
    cut.resize(cut.size() - 2);
    folder.Write("cut.tnw", cut);
    folder.Write("hand.tnw", HandSmallProject());
    folder.Write("keep.tnw", {9, 9, 9});

    const CliResult schema = RunCli({"dump", folder / "v3.tnw"});
    EXPECT_EQ(schema.status, 1);
    EXPECT_EQ(schema.out, "");
    EXPECT_EQ(schema.err, folder / "v3.tnw contains an incorrect schema.\n");

    const CliResult pastEnd = RunCli({"convert", folder / "cut.tnw", folder / "keep.tnw"});
    EXPECT_EQ(pastEnd.status, 1);
    EXPECT_EQ(pastEnd.err,
              "An attempt was made to access " + (folder / "cut.tnw") + " past its end.\n");
    EXPECT_EQ(FileBytes(folder / "keep.tnw"), (Bytes{9, 9, 9}));

    EXPECT_EQ(RunCli({"dump", folder / "missing.tnw"}).status, 1);
    const CliResult unknownIn = RunCli({"dump", folder / "hand.txt"});
    EXPECT_EQ(unknownIn.status, 1);
    EXPECT_EQ(unknownIn.err, folder / "hand.txt cannot be opened: the file type is not known.\n");
    const CliResult unknownOut = RunCli({"convert", folder / "hand.tnw", folder / "out.txt"});
    EXPECT_EQ(unknownOut.status, 1);
    EXPECT_EQ(unknownOut.err, folder / "out.txt cannot be saved: the file type is not known.\n");
    EXPECT_EQ(folder.Entries(),
              (std::vector<std::string>{"cut.tnw", "hand.tnw", "keep.tnw", "v3.tnw"}));
}

TEST(CliProject, PipesAndFullOutputsFailAtOnceWithTheirReason)
{
    CTempFolder folder;
    ASSERT_EQ(mkfifo((folder / "pipe.tnw").c_str(), 0600), 0);
    const CliResult pipe = RunCli({"dump", folder / "pipe.tnw"});
    EXPECT_EQ(pipe.status, 1);
    EXPECT_EQ(pipe.err, folder / "pipe.tnw could not be opened: it is not a regular file.\n");

    folder.Write("hand.tnw", HandSmallProject());
    const CliResult full = RunCli({"dump", folder / "hand.tnw"}, "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, "Standard output could not be written: No space left on device.\n");
}

TEST(CliProject, DoubleDashEndsTheOptions)
{
    CTempFolder folder;
    folder.Write("--hand.tnw", HandSmallProject());
    std::filesystem::current_path(folder.Path());
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"dump", "--", "--hand.tnw"}, {"--", "dump", "--", "--hand.tnw"}}) {
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, kHandProjectJson);
    }
    EXPECT_EQ(RunCli({"dump", "--hand.tnw"}).status, 2);
    EXPECT_EQ(RunCli({"--"}).status, 2);
    EXPECT_EQ(RunCli({"--", "--help"}).status, 2); // a command named "--help" does not exist
}

TEST(CliProject, WrongArgumentsExitWithTwo)
{
    EXPECT_EQ(RunCli({"dump"}).status, 2);
    EXPECT_EQ(RunCli({"dump", "a.tnw", "b.tnw"}).status, 2);
    const CliResult oneArg = RunCli({"convert", "a.tnw"});
    EXPECT_EQ(oneArg.status, 2);
    EXPECT_NE(oneArg.err.find("Usage: tonalweaver-cli convert IN OUT"), std::string::npos);
    EXPECT_EQ(RunCli({"convert", "--colour", "red", "a.tnw", "b.tnw"}).status, 2);
    EXPECT_NE(RunCli({"--help"}).out.find("convert IN OUT"), std::string::npos);
}
