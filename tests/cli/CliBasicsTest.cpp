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
