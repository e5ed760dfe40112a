// Playback through JACK on a machine whose every core is busy: a listener hears exactly what the
// offline render writes, nothing twice, nothing missing, every note ended.

#include "BackgroundCli.h"
#include "JackTestServer.h"
#include "document/ProjectDoc.h"
#include "fakes/BusyCores.h"
#include "files/ProjectFile.h"
#include "files/TempFolder.h"
#include "model/Clip.h"
#include "model/Track.h"
#include "model/TrackList.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <thread>

namespace {

using namespace std::chrono_literals;
using CMessage = std::array<uint8_t, 3>;

// Eight tracks of sixteenth notes on their own channels: about 64 notes a second at the
// default 120 BPM.
void WriteBusySong(const std::string& path, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> key(36, 96);
    std::uniform_int_distribution<int> length(6, 24);
    CProjectDoc doc;
    constexpr tick kSongTicks = 96 * 12; // 6 s
    for (uint8_t channel = 0; channel < 8; ++channel) {
        auto track = std::make_unique<CTrack>();
        track->SetId(doc.NewTrackId());
        track->SetOutput({CNodeAddress::kKindOutputPort, 0});
        track->SetOutputChannel(channel);
        auto clip = std::make_unique<CClip>(0, kSongTicks, "Busy", 0);
        for (tick at = 0; at < kSongTicks; at += 24)
            clip->GetNotes().Insert(
                CNote(at, at + length(random), static_cast<uint8_t>(key(random)), 100, 64));
        track->AddClip(std::move(clip));
        doc.InsertTrack(-1, std::move(track));
    }
    SaveProjectFile(doc, path);
}

uint32_t ReadVarLength(const std::vector<uint8_t>& data, size_t& at)
{
    uint32_t value = 0;
    while (at < data.size()) {
        const uint8_t byte = data[at++];
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) break;
    }
    return value;
}

// The note messages of a Standard MIDI File, track after track, in file order.
std::vector<CMessage> ReadNoteMessages(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(in), {}};
    std::vector<CMessage> notes;
    size_t at = 14; // the header chunk
    while (at + 8 <= data.size()) {
        const size_t length = (size_t{data[at + 4]} << 24) | (size_t{data[at + 5]} << 16) |
                              (size_t{data[at + 6]} << 8) | data[at + 7];
        const size_t end = std::min(data.size(), at + 8 + length);
        at += 8;
        uint8_t status = 0;
        while (at < end) {
            ReadVarLength(data, at);
            if (data[at] & 0x80) status = data[at++];
            if (status == 0xFF) {
                at += 1;
                at += ReadVarLength(data, at);
            } else if (status == 0xF0 || status == 0xF7) {
                at += ReadVarLength(data, at);
            } else {
                const int kind = status & 0xF0;
                const size_t size = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
                if ((kind == 0x80 || kind == 0x90) && at + 2 <= end)
                    notes.push_back({status, data[at], data[at + 1]});
                at += size;
            }
        }
        at = end;
    }
    return notes;
}

// Per channel and key, the on/off sequence in order (0x90 with velocity 0 counts as off).
using CKeyStories = std::map<std::pair<int, int>, std::vector<int>>;
CKeyStories KeyStories(const std::vector<CMessage>& messages)
{
    CKeyStories stories;
    for (const CMessage& m : messages) {
        const bool on = (m[0] & 0xF0) == 0x90 && m[2] != 0;
        stories[{m[0] & 0x0F, m[1]}].push_back(on ? 1 : 0);
    }
    return stories;
}

} // namespace

TEST(JackStressTest, AListenerOnALoadedMachineHearsWhatTheRenderWrites)
{
    // Real-time scheduling, as a sound setup has: the busy threads compete with the rest.
    CJackTestServer server(true);
    ASSERT_TRUE(server.IsRunning());
    CTempFolder folder;
    const std::string song = folder / "busy.tnw";
    const std::string rendered = folder / "busy.mid";
    WriteBusySong(song, 20261207);
    CBackgroundCli render({"render", song, rendered});
    ASSERT_EQ(render.Wait(60s), 0) << render.Error();
    const std::vector<CMessage> expected = ReadNoteMessages(rendered);
    ASSERT_GT(expected.size(), 700u);

    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        CJackPeer ears("twears" + std::to_string(run));
        ASSERT_TRUE(ears.IsOpen());
        std::string error;
        {
            const CBusyCores load;
            CBackgroundCli play({"play", song, "--midi", "jack", "--out", ears.InName()});
            ASSERT_EQ(play.Wait(60s), 0) << play.Error();
            error = play.Error();
        }
        std::vector<CMessage> heard;
        for (const SReceivedEvent& event : ears.WaitFor(100000, 500ms)) {
            const int kind = event.bytes[0] & 0xF0;
            if ((kind == 0x80 || kind == 0x90) && event.bytes.size() == 3)
                heard.push_back({event.bytes[0], event.bytes[1], event.bytes[2]});
        }
        // Late is allowed under this load (the server may miss cycles); lost is not.
        const size_t lost = error.find(" were lost");
        EXPECT_TRUE(lost == std::string::npos || error.compare(lost - 3, 3, ", 0") == 0) << error;
        EXPECT_EQ(heard.size(), expected.size());
        const CKeyStories want = KeyStories(expected);
        const CKeyStories got = KeyStories(heard);
        for (const auto& [key, story] : want) {
            const auto it = got.find(key);
            ASSERT_NE(it, got.end()) << "channel " << key.first << " key " << key.second;
            EXPECT_EQ(it->second, story) << "channel " << key.first << " key " << key.second;
        }
    }
}
