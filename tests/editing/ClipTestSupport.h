#pragma once
// A project with recording windows on an engine with the virtual backend (commands inline), and
// helpers to build clips and to compare project content.

#include "document/EnginePlayerLink.h"
#include "document/ProjectDoc.h"
#include "engine/EngineFixture.h"
#include "engine/PlayerFixture.h"
#include "fakes/RecordingWindows.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Track.h"

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

// Every phrase and clip has a distinct id and, while the project is active, its own player;
// every track has its player; the engine has no other players.
inline void ExpectPlayersMatch(const CProjectDoc& doc, const CMidiEngine& engine)
{
    const CTrackList& tracks = doc.GetTracks();
    std::vector<int32_t> ids;
    int32_t phrases = 0;
    for (int32_t b = 0; b < doc.GetBankCount(); ++b)
        for (int32_t p = 0; p < doc.GetBankAt(b).GetCount(); ++p) {
            const int32_t id = doc.GetBankAt(b).GetPhraseAt(p).GetId();
            ids.push_back(id);
            EXPECT_NE(id, 0);
            if (doc.IsActive()) {
                EXPECT_NE(engine.FindPhrasePlayer(id), nullptr);
            }
            ++phrases;
        }
    int32_t clips = 0;
    for (int32_t t = 0; t < tracks.GetCount(); ++t) {
        const CTrack& track = *tracks.GetAt(t);
        if (doc.IsActive()) {
            EXPECT_NE(engine.FindTrackPlayer(track.GetId()), nullptr);
        }
        for (int32_t c = 0; c < track.GetClipCount(); ++c) {
            const CClip& clip = track.GetClipAt(c);
            ids.push_back(clip.GetId());
            EXPECT_NE(clip.GetId(), 0);
            if (doc.IsActive()) {
                EXPECT_NE(engine.FindClipPlayer(&clip), nullptr);
            }
            ++clips;
        }
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
    if (doc.IsActive()) {
        EXPECT_EQ(engine.GetClipPlayerCount(), clips);
        EXPECT_EQ(engine.GetTrackPlayerCount(), tracks.GetCount());
        EXPECT_EQ(engine.GetPhrasePlayerCount(), phrases);
    }
}

class ClipProjectFixture : public EngineFixture {
protected:
    ClipProjectFixture()
    {
        InitialiseWithOutput();
        doc = std::make_unique<CProjectDoc>(std::make_unique<CRecordingWindows>(log));
        doc->SetEngineProxy(proxy);
    }
    ~ClipProjectFixture() override
    {
        if (doc->IsActive()) Deactivate();
    }

    void Activate()
    {
        link.LoadProject(*doc);
        doc->AttachPlayer(&link);
    }
    void Deactivate()
    {
        proxy.Stop();
        link.ClearProject(*doc);
        doc->AttachPlayer(nullptr);
    }

    // A clip of [start, start + length) with a note every 48 ticks and a controller every 96.
    static std::unique_ptr<CClip> MakeClip(tick start, tick length, const std::string& name)
    {
        auto clip = std::make_unique<CClip>(start, start + length, name, 0x123456);
        for (tick t = 0; t < length; t += 48)
            clip->GetNotes().Append(CNote(t, t + 60, static_cast<uint8_t>(60 + t % 12), 100, 64));
        for (tick t = 0; t < length; t += 96)
            clip->GetEvents().Append(CMidiEvent(t, 0xB0, 7, static_cast<uint8_t>(t % 128)));
        return clip;
    }

    // Appends a track named name with clips at the given starts (each 384 long, named after the
    // track and its number), giving every clip a new id as a loaded project would have.
    CTrack& AddTrack(const std::string& name, const std::vector<tick>& starts)
    {
        auto track = std::make_unique<CTrack>();
        track->SetName(name);
        track->SetId(doc->NewTrackId());
        for (std::size_t i = 0; i < starts.size(); ++i) {
            auto clip = MakeClip(starts[i], 384, name + "." + std::to_string(i));
            clip->SetId(doc->NewObjectId());
            track->AddClip(std::move(clip));
        }
        CTrack& kept = *track;
        doc->InsertTrack(-1, std::move(track));
        return kept;
    }

    CTrack& Track(int32_t index) { return *doc->GetTracks().GetAt(index); }
    CClip& Clip(int32_t track, int32_t index) { return Track(track).GetClipAt(index); }

    // The project's arrangement as text, without object and track ids (undo and redo may draw
    // some anew): tracks in order with their clips in order, each with span, name, colour and
    // material.
    std::string Content() const
    {
        std::ostringstream out;
        for (int32_t b = 0; b < doc->GetBankCount(); ++b) {
            const CPhraseBank& bank = doc->GetBankAt(b);
            out << "B " << bank.GetName() << "\n";
            for (int32_t p = 0; p < bank.GetCount(); ++p) {
                const CPhrase& phrase = bank.GetPhraseAt(p);
                out << "  P " << phrase.GetName() << " " << phrase.GetLength() << " "
                    << phrase.GetNotes().GetCount() << " out " << phrase.GetOutput().m_kind << "\n";
            }
        }
        const CTrackList& tracks = doc->GetTracks();
        for (int32_t t = 0; t < tracks.GetCount(); ++t) {
            const CTrack& track = *tracks.GetAt(t);
            out << "T " << track.GetName() << " end " << track.GetEnd() << "\n";
            for (int32_t c = 0; c < track.GetClipCount(); ++c) {
                const CClip& clip = track.GetClipAt(c);
                out << "  C " << clip.GetStart() << "+" << clip.GetLength() << " " << clip.GetName()
                    << " " << clip.GetColour() << " :";
                for (const CNote& note : clip.GetNotes())
                    out << " n" << note.m_start << "-" << note.m_end << "/" << int(note.m_pitch);
                for (const CMidiEvent& event : clip.GetEvents())
                    out << " e" << event.m_time << "/" << int(event.m_data2);
                out << "\n";
            }
        }
        return out.str();
    }

    // Runs ticks and keeps what the output devices received.
    void Listen(int64_t ticks)
    {
        RunTicks(ticks);
        CollectSent(backend, engine.GetPosition(), heard);
    }

    void ExpectPlayersMatchTheProject() const { ExpectPlayersMatch(*doc, engine); }

    std::vector<std::string> log;
    std::vector<SHeard> heard; // what the output devices received, through Listen
    CEnginePlayerLink link{proxy};
    std::unique_ptr<CProjectDoc> doc;
};
