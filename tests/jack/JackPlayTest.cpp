#include "BackgroundCli.h"
#include "JackTestServer.h"
#include "document/ProjectDoc.h"
#include "files/ByteBuilder.h"
#include "files/ProjectFile.h"
#include "files/TempFolder.h"
#include "model/Clip.h"
#include "model/Track.h"
#include "model/TrackList.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class JackPlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.IsRunning());
        ASSERT_TRUE(synth.IsOpen());
        // A settings store of our own, so the user's settings change nothing here.
        setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1);
        folder.Write("song.tnw", HandSmallProject()); // 8 s long; track 1 on channel 3
        song = folder / "song.tnw";
    }

    // The loaded project's instrument settings reach the synth once play has started.
    void ExpectInstrumentSettings()
    {
        const std::vector<SReceivedEvent> received = synth.WaitFor(3, 20s);
        ASSERT_GE(received.size(), 3u);
        EXPECT_EQ(received[0].bytes, (std::vector<uint8_t>{0xC3, 10}));
        EXPECT_EQ(received[1].bytes, (std::vector<uint8_t>{0xB3, 7, 100}));
        EXPECT_EQ(received[2].bytes, (std::vector<uint8_t>{0xB3, 10, 64}));
    }

    // Every note-on that reached the synth was ended by a note-off; returns how many notes.
    static int EndedNotes(const std::vector<SReceivedEvent>& events)
    {
        std::map<std::pair<int, int>, int> sounding; // (channel, key) -> notes on
        int notes = 0;
        for (const SReceivedEvent& event : events) {
            const int kind = event.bytes[0] & 0xF0;
            const std::pair<int, int> note{event.bytes[0] & 0x0F, event.bytes[1]};
            if (kind == 0x90 && event.bytes[2] > 0) {
                ++sounding[note];
                ++notes;
            } else if (kind == 0x80 || kind == 0x90) {
                --sounding[note];
            }
        }
        for (const auto& [note, count] : sounding)
            EXPECT_EQ(count, 0) << "key " << note.second << " left sounding";
        return notes;
    }

    // Sends a probe key until live thru brings it to the synth: the take has begun. What earlier
    // runs brought to the synth stays there and does not count.
    bool WaitForTakeToBegin(CJackPeer& keys)
    {
        const size_t heard = synth.WaitFor(0, 0ms).size();
        const auto echoed = [&] {
            keys.Send({0x90, 40, 1});
            return synth.WaitFor(heard + 1, 200ms).size() > heard;
        };
        const bool begun = WaitUntil(echoed, 3s);
        keys.Send({0x80, 40, 0});
        return begun;
    }

    // Loads what a record run saved at path; its one clip, or null (and a failure) unless the
    // project has one track with one clip.
    static const CClip* OnlyTake(CProjectDoc& doc, const std::string& path)
    {
        LoadProjectFile(doc, path);
        const CTrackList& tracks = doc.GetTracks();
        const CTrack* track = tracks.GetCount() == 1 ? tracks.GetAt(0) : nullptr;
        const bool one = track != nullptr && track->GetClipCount() == 1;
        EXPECT_TRUE(one) << tracks.GetCount() << " tracks";
        return one ? &track->GetClipAt(0) : nullptr;
    }

    CJackTestServer server;
    CJackPeer synth{"twsynth"};
    CTempFolder folder;
    std::string song;
};

} // namespace

TEST_F(JackPlayTest, ALostServerEndsPlaybackWithStatusOneAndTheReason)
{
    CBackgroundCli play({"play", song, "--midi", "jack", "--out", "twsynth:in"});
    ExpectInstrumentSettings();
    server.Kill();
    EXPECT_EQ(play.Wait(20s), 1) << "the program must end, with no thread left hanging";
    EXPECT_EQ(play.Error(), "The JACK server has stopped.\n");
}

TEST_F(JackPlayTest, AnInterruptStopsPlaybackCleanlyWithNoNoteLeftSounding)
{
    // From just before the clip's note (ticks 384 to 480), so the interrupt comes while it sounds.
    CBackgroundCli play({"play", song, "--out", "0", "--from", "380"}); // JACK by default
    ExpectInstrumentSettings();
    const std::vector<SReceivedEvent> started = synth.WaitFor(4, 20s);
    ASSERT_EQ(started.size(), 4u);
    EXPECT_EQ(started[3].bytes[0], 0x93) << "the note starts";
    play.Signal(SIGINT);
    EXPECT_EQ(play.Wait(20s), 128 + SIGINT);
    EXPECT_EQ(WithoutLoadReports(play.Error()), "");
    const std::vector<SReceivedEvent> all = synth.WaitFor(5, 5s);
    EXPECT_EQ(EndedNotes(all), 1);
}

TEST_F(JackPlayTest, AnOutputThatIsNotThereIsRefusedWithItsName)
{
    CBackgroundCli play(
        {"play", song, "--midi", "jack", "--out", "twsynth:in", "--out", "nosuch:port"});
    EXPECT_EQ(play.Wait(20s), 1);
    EXPECT_EQ(play.Error(), "There is no MIDI output 'nosuch:port'.\n");
}

TEST_F(JackPlayTest, PlaysTheSongToItsEndAndEndsEveryNote)
{
    CBackgroundCli play({"play", song, "--midi", "jack", "--out", "twsynth:in", "--from", "300"});
    EXPECT_EQ(play.Wait(30s), 0) << play.Error();
    ExpectInstrumentSettings();
    const std::vector<SReceivedEvent> all = synth.WaitFor(5, 5s);
    ASSERT_EQ(all.size(), 5u);
    // The clip's note, transposed and louder as its track says, a quarter note long at 90 BPM.
    EXPECT_EQ(all[3].bytes, (std::vector<uint8_t>{0x93, 36, 104}));
    EXPECT_EQ(all[4].bytes[0] & 0xF0, 0x80);
    EXPECT_NEAR(static_cast<double>(all[4].frame - all[3].frame), 48000 * 60.0 / 90, 2);
    EXPECT_EQ(EndedNotes(all), 1);
}

TEST_F(JackPlayTest, RecordKeepsAPlayedPhraseAtItsTicks)
{
    CJackPeer keys("twkeys");
    ASSERT_TRUE(keys.IsOpen());
    const std::string take = folder / "take.tnw"; // not there yet: a new project
    CBackgroundCli record({"record", take, "--midi", "jack", "--in", "twkeys:out", "--out",
                           "twsynth:in", "--seconds", "4"});
    // The phrase is played once the take has begun.
    ASSERT_TRUE(WaitForTakeToBegin(keys));
    // The phrase: keys 60..63, each held 150 ms, 250 ms apart; the moments they were sent are
    // measured, since a loaded machine may sleep longer than asked.
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> sent;
    for (uint8_t key = 60; key < 64; ++key) {
        const Clock::time_point on = Clock::now();
        keys.Send({0x90, key, 100});
        std::this_thread::sleep_for(150ms);
        sent.push_back(on);
        sent.push_back(Clock::now());
        keys.Send({0x80, key, 0});
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_EQ(record.Wait(20s), 0) << record.Error();

    CProjectDoc doc;
    const CClip* clip = OnlyTake(doc, take);
    ASSERT_NE(clip, nullptr);
    std::vector<CNote> notes; // the phrase, without the probes
    for (const CNote& note : clip->GetNotes())
        if (note.m_pitch >= 60) notes.push_back(note);
    ASSERT_EQ(notes.size(), 4u);
    // 120 BPM at 96 ticks per beat: 192 ticks a second. Times are compared from the first note
    // of the phrase, where the wall clock and the take agree.
    const auto ticksSince = [&](Clock::time_point t) {
        return std::chrono::duration<double>(t - sent[0]).count() * 192.0;
    };
    for (int i = 0; i < 4; ++i) {
        const CNote& note = notes[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(note.m_pitch, 60 + i);
        EXPECT_NEAR(note.m_start - notes[0].m_start, ticksSince(sent[2 * i]), 1.5);
        EXPECT_NEAR(note.m_end - notes[0].m_start, ticksSince(sent[2 * i + 1]), 1.5);
    }
}

TEST_F(JackPlayTest, RecordFollowsTheStoredGridsAndItsOptionsOverrideThem)
{
    // Stored: notes quantized to 24 ticks, clips snapped to 384.
    std::filesystem::create_directories(folder / "Tonalweaver");
    std::ofstream(folder / "Tonalweaver/Tonalweaver.conf")
        << "[Recording]\nQuantizeData=24\nSnapClips=384\n";
    CJackPeer keys("twkeys");
    ASSERT_TRUE(keys.IsOpen());
    const struct {
        const char* name;
        std::vector<std::string> options;
        tick clipStart;
        bool onGrid;
    } cases[] = {
        {"stored", {}, 384, true},
        {"overridden", {"--snap", "0", "--quantize", "0"}, 500, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string take = folder / (std::string(c.name) + ".tnw");
        std::vector<std::string> args = {"record",    take,         "--midi", "jack",
                                         "--in",      "twkeys:out", "--out",  "twsynth:in",
                                         "--seconds", "3",          "--from", "500"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CBackgroundCli record(args);
        ASSERT_TRUE(WaitForTakeToBegin(keys));
        for (uint8_t key = 60; key < 64; ++key) {
            keys.Send({0x90, key, 100});
            std::this_thread::sleep_for(110ms);
            keys.Send({0x80, key, 0});
            std::this_thread::sleep_for(70ms);
        }
        ASSERT_EQ(record.Wait(20s), 0) << record.Error();

        CProjectDoc doc;
        const CClip* clip = OnlyTake(doc, take);
        ASSERT_NE(clip, nullptr);
        EXPECT_EQ(clip->GetStart(), c.clipStart);
        if (!c.onGrid) continue;
        EXPECT_EQ(clip->GetLength() % 384, 0);
        EXPECT_GE(clip->GetNotes().GetCount(), 4);
        for (const CNote& note : clip->GetNotes()) {
            EXPECT_EQ((clip->GetStart() + note.m_start) % 24, 0) << note.m_start;
            EXPECT_EQ((clip->GetStart() + note.m_end) % 24, 0) << note.m_end;
        }
    }
}

// However a device fails during a take (the server goes, the keyboard's client quits, the
// instrument's client quits), the take ends there and is saved before the tool reports it.
TEST_F(JackPlayTest, ADeviceThatFailsWhileRecordingEndsTheTakeAndSavesIt)
{
    enum class EFailure { ServerStops, InputQuits, OutputQuits };
    struct SCase {
        const char* name;
        EFailure failure;
        const char* reason;
    };
    // The server goes last: the fixture's client must not outlive it into a new one.
    const SCase cases[] = {
        {"keyboard quits", EFailure::InputQuits, "The MIDI port twkeys:out has disappeared.\n"},
        {"instrument quits", EFailure::OutputQuits, "The MIDI port twsynth:in has disappeared.\n"},
        {"server stops", EFailure::ServerStops, "The JACK server has stopped.\n"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto instrument = std::make_unique<CJackPeer>("twsynth2");
        CJackPeer keys("twkeys");
        ASSERT_TRUE(keys.IsOpen());
        ASSERT_TRUE(instrument->IsOpen());
        const std::string take = folder / (std::string("take-") + c.name + ".tnw");
        std::string reason = c.reason;
        if (c.failure == EFailure::OutputQuits)
            reason.replace(reason.find("twsynth"), 7, "twsynth2");
        CBackgroundCli record({"record", take, "--midi", "jack", "--in", "twkeys:out", "--out",
                               "twsynth2:in", "--seconds", "60"});
        const auto echoed = [&] {
            keys.Send({0x90, 40, 1});
            return !instrument->WaitFor(1, 200ms).empty();
        };
        ASSERT_TRUE(WaitUntil(echoed, 10s)) << record.Error();
        keys.Send({0x80, 40, 0});
        for (uint8_t key = 60; key < 63; ++key) {
            keys.Send({0x90, key, 100});
            std::this_thread::sleep_for(60ms);
            keys.Send({0x80, key, 0});
        }
        keys.Send({0x90, 70, 100}); // held when the device fails: ended there
        ASSERT_TRUE(
            WaitUntil([&] { return instrument->WaitFor(100, 0ms).back().bytes[1] == 70; }, 10s));
        if (c.failure == EFailure::ServerStops) server.Kill();
        if (c.failure == EFailure::InputQuits) keys.Close();
        if (c.failure == EFailure::OutputQuits) instrument->Close();
        EXPECT_EQ(record.Wait(30s), 1);
        EXPECT_NE(record.Error().find(reason), std::string::npos) << record.Error();

        CProjectDoc doc;
        ASSERT_NO_THROW(LoadProjectFile(doc, take)) << "the take was not saved";
        ASSERT_EQ(doc.GetTracks().GetCount(), 1);
        const CTrack& track = *doc.GetTracks().GetAt(0);
        ASSERT_EQ(track.GetClipCount(), 1);
        std::vector<int> keysHeard;
        for (const CNote& note : track.GetClipAt(0).GetNotes())
            if (note.m_pitch >= 60) keysHeard.push_back(note.m_pitch);
        EXPECT_EQ(keysHeard, (std::vector<int>{60, 61, 62, 70}));
    }
}

// A client that quits politely while it is played to is noticed as one that is killed is.
TEST_F(JackPlayTest, AnInstrumentThatQuitsEndsPlaybackWithStatusOneAndTheReason)
{
    CBackgroundCli play({"play", song, "--midi", "jack", "--out", "twsynth:in"});
    ExpectInstrumentSettings();
    synth.Close();
    EXPECT_EQ(play.Wait(20s), 1);
    EXPECT_EQ(play.Error(), "The MIDI port twsynth:in has disappeared.\n");
}
