#include "CliRunner.h"
#include "files/ByteBuilder.h"
#include "files/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(CliPlay, PlaysOnTheVirtualBackendAndRefusesBadArguments)
{
    CTempFolder folder;
    folder.Write("song.tnw", HandSmallProject());
    const std::string song = folder / "song.tnw";
    // An empty settings store of our own: the user's settings change nothing here.
    setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);

    // From near the end (the song ends at tick 1152), so the run is short.
    const CliResult played =
        RunCli({"play", song, "--midi", "virtual", "--out", "0", "--from", "1100"});
    EXPECT_EQ(played.status, 0) << played.err;
    EXPECT_EQ(played.err, "");
    EXPECT_EQ(RunCli({"play", song, "--midi", "virtual", "--out", "0", "--from", "99999"}).status,
              0)
        << "a start past the end has nothing to play";

    const struct {
        std::vector<std::string> args;
        int status;
        const char* error;
    } refused[] = {
        {{"play", song, "--midi", "virtual", "--from", "-1"}, 2, "--from takes a tick count"},
        {{"play", song, "--midi", "virtual", "--from", "12x"}, 2, "--from takes a tick count"},
        {{"play", song, "--midi", "virtual", "--out", "Virtual Out", "--out", "2"},
         1,
         "There is no MIDI output '2'."},
        {{"play",  song, "--midi", "virtual", "--out", "0", "--out", "0",
          "--out", "0",  "--out",  "0",       "--out", "0", "--out", "0",
          "--out", "0",  "--out",  "0",       "--out", "0"},
         2,
         "at most 8 --out options"},
        {{"play", folder / "missing.tnw", "--midi", "virtual"}, 1, "missing.tnw"},
        {{"play", song, "--midi", "virtual", "--metronome", ""}, 2, "--metronome needs a device"},
        {{"play", song, "--midi", "virtual", "--follow-clock", ""},
         2,
         "--follow-clock needs a device"},
        {{"play", song, "--midi", "virtual", "--out", "0", "--metronome", "nosuch"},
         1,
         "There is no MIDI output 'nosuch'."},
        {{"play", song, "--midi", "virtual", "--out", "0", "--follow-clock", "nosuch"},
         1,
         "There is no MIDI input 'nosuch'."},
        {{"play", song, "--midi", "virtual", "--jack-transport", "sideways"},
         2,
         "--jack-transport takes follow or lead"},
        {{"play", song, "--midi", "virtual", "--jack-transport", "lead", "--follow-clock", "0"},
         2,
         "cannot be used together"},
        {{"play", song, "--midi", "virtual", "--out", "0", "--jack-transport", "follow"},
         1,
         "JACK transport needs the JACK MIDI system"},
        {{"play", song, "--clock-out", "--midi", "virtual", "extra"},
         2,
         "wrong number of arguments"},
        {{"play", song, "--clock-out=1", "--midi", "virtual"}, 2, "unknown option '--clock-out=1'"},
        // The switch takes no value: what follows it is the next argument.
        {{"play", "--clock-out", song, "--midi", "virtual", "--out", "0", "--from", "1100",
          "--metronome", "0"},
         0,
         ""},
    };
    for (const auto& r : refused) {
        const CliResult result = RunCli(r.args);
        EXPECT_EQ(result.status, r.status) << r.error;
        EXPECT_NE(result.err.find(r.error), std::string::npos) << result.err;
    }
}
