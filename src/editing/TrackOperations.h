#pragma once
// Operations on the project's tracks: create, delete, move, rename, set a property, and the
// import of tracks read from a MIDI file. Tracks are addressed by their index in the project.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "document/OperationProject.h"

class CTrack;

// Track operations that add, remove or reorder tracks: refused, and not undone or redone, while
// the project is the active one and the player runs. They bring up the tracks window to undo
// and redo.
class COpTrackList : public COperationProject {
public:
    bool CanDo(COperationHistory& history) override;
    bool CanUndo(COperationHistory& history) override;
    bool CanRedo(COperationHistory& history) override;
    void UndoPrepare(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;
};

// "Create Track": inserts a new track at an index. The first Do gives it the next track id, the
// name "Track <id>" when it has none and the next palette colour when its colour is 0; redoing
// keeps them.
class COpTrackCreate : public COpTrackList {
public:
    static constexpr int kTypeId = 905;

    // index: 0..track count at the time of Do, or -1 for the end. track: owned until placed.
    COpTrackCreate(int32_t index, std::unique_ptr<CTrack> track);
    ~COpTrackCreate() override;

    std::string GetName() const override { return "Create Track"; }
    int GetTypeId() const override { return kTypeId; }
    // The track the operation places (borrowed; owned by the project while placed, else by the
    // operation).
    CTrack& GetTrack() const { return *m_trackRef; }
    // Where the track is placed (-1 until the first Do resolves an index of -1).
    int32_t GetIndex() const { return m_index; }

    bool Do(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;
    void RedoApply(CProjectDoc& doc) override;

private:
    bool Place(CProjectDoc& doc);

    int32_t m_index;
    std::unique_ptr<CTrack> m_track;
    CTrack* m_trackRef;
    bool m_identified = false;
};

// "Delete Track": takes the track at an index out of the project; undo puts it back there.
class COpTrackDelete : public COpTrackList {
public:
    static constexpr int kTypeId = 902;

    explicit COpTrackDelete(int32_t index) : m_index(index) {}
    ~COpTrackDelete() override;

    std::string GetName() const override { return "Delete Track"; }
    int GetTypeId() const override { return kTypeId; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;

private:
    int32_t m_index;
    std::unique_ptr<CTrack> m_track; // while taken out
};

// "Move Track": moves the track at source so that it ends up at target. A target after the
// source names the place before the removal, so it is taken one lower.
class COpTrackMove : public COpTrackList {
public:
    static constexpr int kTypeId = 903;

    COpTrackMove(int32_t source, int32_t target);

    std::string GetName() const override { return "Move Track"; }
    int GetTypeId() const override { return kTypeId; }
    int32_t GetSource() const { return m_source; }
    // The index the track has after the move.
    int32_t GetTarget() const { return m_target; }

    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;

private:
    int32_t m_source;
    int32_t m_target;
};

// "Track Rename"; not recorded.
class COpTrackRename : public COperationProject {
public:
    static constexpr int kTypeId = 904;

    // track: borrowed from the project.
    COpTrackRename(CTrack& track, const std::string& name) : m_track(track), m_name(name) {}

    std::string GetName() const override { return "Track Rename"; }
    int GetTypeId() const override { return kTypeId; }
    bool IsUndoable() const override { return false; }
    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;

private:
    CTrack& m_track;
    std::string m_name;
};

// "Track Set Property Value": a numbered track property through the project's setter, which
// also tells the views; not recorded. Fails when the setter refuses the number or value.
class COpTrackSetProperty : public COperationProject {
public:
    static constexpr int kTypeId = 905;

    // track: borrowed from the project. value packed as model/Properties.h says.
    COpTrackSetProperty(CTrack& track, int32_t number, int64_t value)
        : m_track(track), m_number(number), m_value(value)
    {}

    std::string GetName() const override { return "Track Set Property Value"; }
    int GetTypeId() const override { return kTypeId; }
    bool IsUndoable() const override { return false; }
    bool Do(CProjectDoc& doc) override;

private:
    CTrack& m_track;
    int32_t m_number;
    int64_t m_value;
};

// Solo and mute are switched, not operated (no undo): the engine keeps the flags of the playing
// project, any other project keeps its own on the track.
void ToggleTrackSolo(CProjectDoc& doc, CTrack& track);
void ToggleTrackMute(CProjectDoc& doc, CTrack& track);

// "Import Track(s) from MIDI file": one "Create Track" per new track, at firstIndex + i.
class COpTracksImport : public COperationGroup {
public:
    static constexpr int kTypeId = 906;

    // firstIndex: 0..track count, or -1 for the end.
    COpTracksImport(int32_t firstIndex, std::vector<std::unique_ptr<CTrack>> tracks);

    std::string GetName() const override { return "Import Track(s) from MIDI file"; }
    int GetTypeId() const override { return kTypeId; }
    bool CanDo(COperationHistory& history) override;
    bool CanUndo(COperationHistory& history) override;
    bool CanRedo(COperationHistory& history) override;
};
