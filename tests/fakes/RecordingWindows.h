#pragma once
// Project windows that write down every call, as "Name" or "Name(argument,...)", in order.
// Phrases, clips, banks and tracks are named by their names.

#include <algorithm>
#include <string>
#include <vector>

#include "document/ProjectWindows.h"
#include "model/Clip.h"
#include "model/EventList.h"
#include "model/MidiData.h"
#include "model/NoteList.h"
#include "model/PhraseBank.h"
#include "model/Track.h"

class CRecordingWindows : public CHeadlessWindows {
public:
    // Calls made so far (shared with the test, which may outlive the project).
    explicit CRecordingWindows(std::vector<std::string>& log) : m_log(log) {}

    void OpenProjectWindow(bool forward) override { Note("OpenProjectWindow", forward); }
    void OpenTracksWindow(bool forward) override { Note("OpenTracksWindow", forward); }
    void OpenMixerWindow(bool forward) override { Note("OpenMixerWindow", forward); }
    void OpenBankWindow(CPhraseBank& bank, bool forward) override
    {
        Say("OpenBankWindow", bank.GetName(), std::to_string(forward));
    }
    void OpenPianoRoll(CMidiData& data, bool forward) override
    {
        Say("OpenPianoRoll", data.GetName(), std::to_string(forward));
    }
    void ClosePianoRoll(const CMidiData& data) override { Say("ClosePianoRoll", data.GetName()); }
    void CloseBankWindow(const CPhraseBank& bank) override
    {
        Say("CloseBankWindow", bank.GetName());
    }
    void CloseAll() override
    {
        CHeadlessWindows::CloseAll();
        m_log.push_back("CloseAll");
    }
    void RebuildTitles() override { m_log.push_back("RebuildTitles"); }
    void SongPositionChanged() override { m_log.push_back("SongPositionChanged"); }
    void TrackInserted(int index) override { Note("TrackInserted", index); }
    void TrackRemoved(int index) override { Note("TrackRemoved", index); }
    void TrackMoved(int from, int to) override
    {
        Say("TrackMoved", std::to_string(from), std::to_string(to));
    }
    void TrackRenamed(const CTrack& track) override { Say("TrackRenamed", track.GetName()); }
    void TrackPropertyChanged(const CTrack& track, int32_t property) override
    {
        m_log.push_back("TrackPropertyChanged(" + track.GetName() + "," + std::to_string(property) +
                        ")");
    }
    void ActiveChanged(bool active) override { Note("ActiveChanged", active); }
    void TransportChanged() override { m_log.push_back("TransportChanged"); }

    void PianoRollBeginUpdate(const CMidiData& data) override
    {
        Say("PianoRollBeginUpdate", data.GetName());
    }
    void PianoRollEndUpdate(const CMidiData& data) override
    {
        Say("PianoRollEndUpdate", data.GetName());
    }
    void PianoRollRefreshNotes(const CMidiData& data, const CNoteArea& area) override
    {
        Say("PianoRollRefreshNotes", data.GetName(), Range(area.m_from, area.m_to));
    }
    void PianoRollRefreshEvents(const CMidiData& data, const CTimeRange& range) override
    {
        Say("PianoRollRefreshEvents", data.GetName(), Range(range.m_from, range.m_to));
    }
    void PianoRollRefreshVelocities(const CMidiData& data, uint8_t status,
                                    const CTimeRange& range) override
    {
        Say("PianoRollRefreshVelocities", data.GetName(),
            std::to_string(status) + "," + Range(range.m_from, range.m_to));
    }
    void PianoRollLengthChanged(const CMidiData& data) override
    {
        Say("PianoRollLengthChanged", data.GetName());
    }
    void PianoRollSelectNotes(const CMidiData& data, const CNoteList& notes,
                              const CNoteArea&) override
    {
        Say("PianoRollSelectNotes", data.GetName(), std::to_string(notes.GetCount()));
    }
    void PianoRollSelectEvents(const CMidiData& data, const CEventList& events,
                               const CTimeRange&) override
    {
        Say("PianoRollSelectEvents", data.GetName(), std::to_string(events.GetCount()));
    }
    void PianoRollDataChanged(const CMidiData& data) override
    {
        Say("PianoRollDataChanged", data.GetName());
    }
    void BankPhraseInserted(const CPhraseBank& bank, int index) override
    {
        Say("BankPhraseInserted", bank.GetName(), std::to_string(index));
    }
    void BankPhraseRemoved(const CPhraseBank& bank, int index) override
    {
        Say("BankPhraseRemoved", bank.GetName(), std::to_string(index));
    }
    void BankPhraseChanged(const CPhraseBank& bank, int index) override
    {
        Say("BankPhraseChanged", bank.GetName(), std::to_string(index));
    }
    void BankRenamed(const CPhraseBank& bank) override { Say("BankRenamed", bank.GetName()); }
    void TreeBankInserted(int index) override { Note("TreeBankInserted", index); }
    void TreeBankRemoved(int index) override { Note("TreeBankRemoved", index); }
    void TreeBankMoved(int from, int to) override
    {
        Say("TreeBankMoved", std::to_string(from), std::to_string(to));
    }
    void RedrawTracksAndMixer() override { m_log.push_back("RedrawTracksAndMixer"); }
    void TracksBeginUpdate() override { m_log.push_back("TracksBeginUpdate"); }
    void TracksEndUpdate() override { m_log.push_back("TracksEndUpdate"); }
    void TracksClearSelection() override { m_log.push_back("TracksClearSelection"); }
    void TracksSelectClip(const CClip& clip) override { Say("TracksSelectClip", clip.GetName()); }
    void TracksClipInserted(int32_t track, const CClip& clip) override
    {
        Say("TracksClipInserted", std::to_string(track), clip.GetName());
    }
    void TracksClipRemoved(const CClip& clip) override { Say("TracksClipRemoved", clip.GetName()); }
    void TracksClipReplaced(const CClip& removed, int32_t track, const CClip& placed) override
    {
        Say("TracksClipReplaced", removed.GetName(),
            std::to_string(track) + "," + placed.GetName());
    }
    void TracksClipChanged(const CClip& clip) override { Say("TracksClipChanged", clip.GetName()); }
    void MovePianoRoll(const CMidiData& from, CMidiData& to) override
    {
        Say("MovePianoRoll", from.GetName(), to.GetName());
    }

private:
    static std::string Range(tick from, tick to)
    {
        return std::to_string(from) + ".." + std::to_string(to);
    }
    void Note(const char* name, int argument) { Say(name, std::to_string(argument)); }
    void Say(const char* name, const std::string& a, const std::string& b = {})
    {
        m_log.push_back(std::string(name) + "(" + a + (b.empty() ? "" : "," + b) + ")");
    }

    std::vector<std::string>& m_log;
};

// Number of entries of log equal to entry.
inline long CountOf(const std::vector<std::string>& log, const std::string& entry)
{
    return std::count(log.begin(), log.end(), entry);
}
