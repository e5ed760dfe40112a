// A musician on a JACK server plays in time with what the program plays, and the take holds each
// note at the tick it was played against.

#include "BackgroundCli.h"
#include "JackTestServer.h"
#include "document/ProjectDoc.h"
#include "files/ProjectFile.h"
#include "files/TempFolder.h"
#include "model/Clip.h"
#include "model/Track.h"
#include "model/TrackList.h"

#include <gtest/gtest.h>

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace {

using namespace std::chrono_literals;

constexpr uint8_t kSongChannel = 2; // the song's notes; the take echoes on channel 0
constexpr uint8_t kFirstKey = 40;   // the song's note k is key 40 + k, at tick 96 k
constexpr int kSongNotes = 14;      // 7 s at 120 BPM
constexpr int64_t kBeatFrames = CJackTestServer::kRate / 2; // 120 BPM

// Plays in time with what it hears. A listener client hears the song's notes; a player client,
// which feeds the program and so runs before it in every cycle, plays the next note of the song
// on the very frame it is due, foreseen from the spacing of the last two heard. Two clients, not
// one: a client that both feeds and listens to the program closes a loop in the graph, and the
// server then hands the program what it plays a cycle late.
class CTapper {
public:
    static constexpr int kMaxNotes = 64;

    CTapper()
    {
        for (size_t key = 0; key < 128; ++key) {
            m_heard[key] = -1;
            m_played[key] = -1;
        }
        jack_status_t status{};
        m_listener = jack_client_open("twlisten", JackNoStartServer, &status);
        m_player = jack_client_open("twplay", JackNoStartServer, &status);
        if (m_listener == nullptr || m_player == nullptr) return;
        m_in = jack_port_register(m_listener, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        m_out = jack_port_register(m_player, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(m_listener, Listen, this);
        jack_set_process_callback(m_player, Play, this);
        m_open = m_in != nullptr && m_out != nullptr && jack_activate(m_listener) == 0 &&
                 jack_activate(m_player) == 0;
    }
    ~CTapper()
    {
        for (jack_client_t* client : {m_player, m_listener})
            if (client != nullptr) jack_client_close(client);
    }

    bool IsOpen() const { return m_open; }
    // The frames the song's notes were heard at and the notes were played at, by key (-1: none).
    int64_t HeardFrame(uint8_t key) const { return m_heard[key].load(); }
    int64_t PlayedFrame(uint8_t key) const { return m_played[key].load(); }

private:
    static int Listen(jack_nframes_t frames, void* arg)
    {
        auto& self = *static_cast<CTapper*>(arg);
        void* buffer = jack_port_get_buffer(self.m_in, frames);
        const int64_t start = jack_last_frame_time(self.m_listener);
        for (uint32_t i = 0; i < jack_midi_get_event_count(buffer); ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.size != 3) continue;
            if (event.buffer[0] != (0x90 | kSongChannel) || event.buffer[2] == 0) continue;
            const uint8_t key = event.buffer[1] & 0x7F;
            const int64_t frame = start + event.time;
            self.m_heard[key] = frame;
            const int64_t before = key > 0 ? self.m_heard[key - 1].load() : -1;
            if (before < 0 || key + 1 >= 128) continue;
            self.m_nextKey = static_cast<uint8_t>(key + 1);
            self.m_next = frame + (frame - before);
        }
        return 0;
    }

    static int Play(jack_nframes_t frames, void* arg)
    {
        auto& self = *static_cast<CTapper*>(arg);
        void* buffer = jack_port_get_buffer(self.m_out, frames);
        jack_midi_clear_buffer(buffer);
        const int64_t start = jack_last_frame_time(self.m_player);
        // Notes are half a second apart and held for 50 ms: a note and a release never share a
        // cycle.
        if (self.m_off >= start && self.m_off < start + frames) {
            const uint8_t off[3] = {0x80, self.m_offKey, 0};
            jack_midi_event_write(buffer, static_cast<uint32_t>(self.m_off - start), off, 3);
        }
        const int64_t next = self.m_next.load();
        if (next < start || next >= start + frames) return 0;
        const uint8_t key = self.m_nextKey.load();
        const uint8_t on[3] = {0x90, key, 100};
        if (jack_midi_event_write(buffer, static_cast<uint32_t>(next - start), on, 3) == 0)
            self.m_played[key] = next;
        self.m_next = -1;
        self.m_off = next + CJackTestServer::kRate / 20;
        self.m_offKey = key;
        return 0;
    }

    jack_client_t* m_listener = nullptr;
    jack_client_t* m_player = nullptr;
    jack_port_t* m_in = nullptr;
    jack_port_t* m_out = nullptr;
    bool m_open = false;
    std::array<std::atomic<int64_t>, 128> m_heard;
    std::array<std::atomic<int64_t>, 128> m_played;
    std::atomic<int64_t> m_next{-1}; // listener -> player: the frame of the next note
    std::atomic<uint8_t> m_nextKey{0};
    int64_t m_off = -1; // player only: the pending release
    uint8_t m_offKey = 0;
};

// A project at 120 BPM whose one track plays key 40 + k at tick 96 k on the song channel.
void WriteSong(const std::string& path)
{
    CProjectDoc doc;
    doc.SetTempo(12000);
    auto track = std::make_unique<CTrack>();
    track->SetId(doc.NewTrackId());
    track->SetName("Song");
    track->SetOutput({CNodeAddress::kKindOutputPort, 0});
    track->SetOutputChannel(kSongChannel);
    auto clip = std::make_unique<CClip>(0, kSongNotes * 96, "Beats", 0);
    for (int k = 0; k < kSongNotes; ++k)
        clip->GetNotes().Insert(
            CNote(k * 96, k * 96 + 48, static_cast<uint8_t>(kFirstKey + k), 100, 64));
    track->AddClip(std::move(clip));
    doc.InsertTrack(-1, std::move(track));
    SaveProjectFile(doc, path);
}

} // namespace

TEST(JackRecordLatencyTest, NotesPlayedInTimeWithTheSongLandOnTheTicksTheyWerePlayedAgainst)
{
    CJackTestServer server;
    ASSERT_TRUE(server.IsRunning());
    CTempFolder folder;
    setenv("XDG_CONFIG_HOME", folder.Path().c_str(), 1); // the user's settings change nothing
    const std::string take = folder / "take.tnw";
    WriteSong(take);
    CTapper tapper;
    ASSERT_TRUE(tapper.IsOpen());
    CBackgroundCli record({"record", take, "--midi", "jack", "--in", "twplay:out", "--out",
                           "twlisten:in", "--seconds", "7.5", "--quantize", "0", "--snap", "0"});
    ASSERT_EQ(record.Wait(30s), 0) << record.Error();

    CProjectDoc doc;
    LoadProjectFile(doc, take);
    const CTrackList& tracks = doc.GetTracks();
    ASSERT_EQ(tracks.GetCount(), 2);
    const CTrack& recorded = *tracks.GetAt(1);
    ASSERT_EQ(recorded.GetClipCount(), 1);
    const CClip& clip = recorded.GetClipAt(0);
    // Offsets in ticks from the tick each note was played against, where the tapper played on
    // the frame its note sounded; a cycle the server missed throws that out, on a loaded machine.
    std::vector<int> offsets;
    int played = 0;
    for (const CNote& note : clip.GetNotes()) {
        const int k = note.m_pitch - kFirstKey;
        if (k < 2 || k >= kSongNotes) continue;
        ++played;
        const int64_t heard = tapper.HeardFrame(note.m_pitch);
        const int64_t before = tapper.HeardFrame(static_cast<uint8_t>(note.m_pitch - 1));
        const bool onTime = heard >= 0 && before >= 0 &&
                            std::llabs(tapper.PlayedFrame(note.m_pitch) - heard) <= 1 &&
                            std::llabs(heard - before - kBeatFrames) <= 1;
        if (!onTime) continue;
        offsets.push_back(clip.GetStart() + note.m_start - k * 96);
    }
    EXPECT_GE(played, kSongNotes - 4) << "the tapper played too few notes";
    ASSERT_GE(offsets.size(), static_cast<size_t>(kSongNotes / 2)) << record.Error();
    const auto [least, most] = std::minmax_element(offsets.begin(), offsets.end());
    double sum = 0;
    for (const int offset : offsets)
        sum += offset;
    std::cout << "recording offsets in ticks over " << offsets.size() << " notes: min " << *least
              << ", mean " << sum / static_cast<double>(offsets.size()) << ", max " << *most
              << "\n";
    // Within half a tick of it: on whole ticks, on it.
    for (size_t i = 0; i < offsets.size(); ++i)
        EXPECT_EQ(offsets[i], 0) << "note " << i << " lands " << offsets[i]
                                 << " ticks off the tick it was played against";
}
