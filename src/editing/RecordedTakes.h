#pragma once
// The user-interface side of recording: the takes the engine reports as finished are collected
// while its mailbox drains and then committed to the project as one "Recording Clip(s)", whose
// members hand each Clip's player over from the recording (command 44). User-interface thread.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class CClip;
class CProjectDoc;

class CRecordedTakes {
public:
    CRecordedTakes();
    ~CRecordedTakes();

    // A finished take of the Track with this identifier (clip owned from now on; null for an
    // empty take, which leaves nothing).
    void Add(int32_t trackId, std::unique_ptr<CClip> clip);
    bool IsEmpty() const { return m_takes.empty(); }

    // Commits every collected take to doc, the project the engine recorded into: one history
    // entry for all of them. A take whose Track doc no longer holds (or with no doc) is released
    // from the player and dropped. Returns how many clips were committed.
    int32_t Commit(CProjectDoc* doc);

private:
    std::vector<std::pair<int32_t, std::unique_ptr<CClip>>> m_takes; // by Track identifier
};
