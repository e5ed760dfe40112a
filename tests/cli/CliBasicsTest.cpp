#include "CliRunner.h"

#include <gtest/gtest.h>

TEST(Cli, HelpAndVersionSucceedAndUnknownCommandIsAUsageError)
{
    const CliResult help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: tonalweaver-cli"), std::string::npos);

    const CliResult version = RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("tonalweaver-cli ") + TW_VERSION + "\n");

    EXPECT_EQ(RunCli({"frobnicate"}).status, 2);
    EXPECT_EQ(RunCli({}).status, 2);
}

TEST(Cli, VerboseIsTakenBeforeOrAfterTheCommandAndNamedInTheHelp)
{
    EXPECT_NE(RunCli({"--help"}).out.find("--verbose"), std::string::npos);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--verbose", "devices", "--midi", "virtual"},
          std::vector<std::string>{"devices", "--midi", "virtual", "--verbose"},
          std::vector<std::string>{"--verbose", "--", "devices", "--midi", "virtual"}}) {
        const CliResult result = RunCli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_NE(result.out.find("Virtual Out"), std::string::npos);
    }
    EXPECT_EQ(RunCli({"--verbose"}).status, 2);
}
