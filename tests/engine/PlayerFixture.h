#pragma once
// An engine with output "Synth A" routed from "Out1" and input "Keys" routed to "Inp1" and "Rec",
// played one tick at a time; what the output device received is kept with the song tick (or, while
// stopped, the tick count) at which the engine emitted it.

#include "EngineFixture.h"

#include "model/Clip.h"
#include "model/NodeAddress.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <array>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// One message the output device received.
struct SHeard {
    tick at = 0;
    uint8_t status = 0;
    uint8_t data1 = 0;
    uint8_t data2 = 0;
    int device = 0; // output device index
    bool operator==(const SHeard&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SHeard& h)
{
    return out << "{" << h.at << ", 0x" << std::hex << int(h.status) << std::dec << ", "
               << int(h.data1) << ", " << int(h.data2) << ", device " << h.device << "}";
}

// The notes a synth would be sounding: per (device × 16 + channel, key), note-ons minus note-offs
// (a note-on of velocity 0 is a note-off; a note-off for a silent key does nothing).
class CSoundingNotes {
public:
    void Hear(const SHeard& h)
    {
        const int kind = h.status & 0xF0;
        const std::pair<int, int> note{h.device * 16 + (h.status & 0x0F), h.data1};
        if (kind == 0x90 && h.data2 > 0) {
            ++m_sounding[note];
            ++m_total;
        } else if (kind == 0x80 || kind == 0x90) {
            auto it = m_sounding.find(note);
            if (it == m_sounding.end()) return;
            --m_total;
            if (--it->second == 0) m_sounding.erase(it);
        }
    }
    const std::map<std::pair<int, int>, int>& Notes() const { return m_sounding; }
    int Total() const { return m_total; }

private:
    std::map<std::pair<int, int>, int> m_sounding;
    int m_total = 0;
};

// Notes still sounding after messages; empty when nothing hangs.
inline std::map<std::pair<int, int>, int> Hanging(const std::vector<SHeard>& heard)
{
    CSoundingNotes sounding;
    for (const SHeard& h : heard)
        sounding.Hear(h);
    return sounding.Notes();
}

// Moves what the backend's output devices received so far into heard, each message tagged with
// at and its device index.
inline void CollectSent(CVirtualBackend& backend, tick at, std::vector<SHeard>& heard)
{
    const int devices = static_cast<int>(backend.GetOutputNames().size());
    for (int device = 0; device < devices; ++device)
        for (const SMidiOutRecord& r : backend.GetSent(device))
            heard.push_back({at, r.bytes[0], r.bytes[1], r.bytes[2], device});
    backend.ClearSent();
}

class PlayerFixture : public EngineFixture {
protected:
    PlayerFixture()
    {
        InitialiseWithOutput();
        EXPECT_EQ(proxy.OpenInputDriver(0), 1);
        EXPECT_EQ(proxy.RouteInputPort(0, 0), 1);
        EXPECT_EQ(proxy.RouteRecordNode(0), 1);
    }

    // Runs ticks one by one and returns what the device received during them.
    std::vector<SHeard> Play(int ticks)
    {
        std::vector<SHeard> heard;
        for (int i = 0; i < ticks; ++i) {
            const tick at = engine.IsPlaying() ? engine.GetPosition() : m_stoppedTicks++;
            RunTicks(1);
            Collect(at, heard);
        }
        return heard;
    }

    // The tag the next stopped tick gets.
    tick NextStoppedTick() const { return m_stoppedTicks; }

    // What the device received outside the ticks (auditions), tagged with tick -1.
    std::vector<SHeard> TakeSent()
    {
        std::vector<SHeard> heard;
        Collect(-1, heard);
        return heard;
    }

    // Plays the bytes on the "Keys" device and lets the engine poll them.
    void Keys(const std::vector<uint8_t>& bytes, int32_t msStamp = 4000000)
    {
        ASSERT_TRUE(backend.InjectInput(0, bytes, msStamp));
        engine.PollInputs();
    }

    CTrack& AddTrack(int32_t id, uint8_t channel = 0)
    {
        CTrack& track = Keep(std::make_unique<CTrack>());
        track.SetId(id);
        track.SetOutputChannel(channel);
        track.SetOutput({CNodeAddress::kKindOutputPort, 0});
        return track;
    }

    // A clip on track with the notes given; add it before the track's player.
    CClip& AddClip(CTrack& track, tick start, tick length, const std::vector<CNote>& notes)
    {
        CClip& clip =
            track.GetClipAt(track.AddClip(std::make_unique<CClip>(start, start + length, "C", 0)));
        for (const CNote& note : notes)
            clip.GetNotes().Insert(note);
        return clip;
    }

    // A phrase listening to "Inp1" and playing to "Out1".
    CPhrase& AddPhrase(int32_t id, tick length, const std::vector<CNote>& notes)
    {
        CPhrase& phrase = Keep(std::make_unique<CPhrase>("P", 0, length));
        phrase.SetId(id);
        phrase.SetInput({CNodeAddress::kKindInputPort, 0});
        phrase.SetOutput({CNodeAddress::kKindOutputPort, 0});
        for (const CNote& note : notes)
            phrase.GetNotes().Insert(note);
        return phrase;
    }

private:
    void Collect(tick at, std::vector<SHeard>& heard) { CollectSent(backend, at, heard); }

    tick m_stoppedTicks = 0;
};
