#pragma once
// Operations on single clips: placing (create, paste, record, copy), deleting, replacing,
// resizing, moving the start edge, colouring and renaming. The groups that work on selections of
// clips are in ClipGroups.h. User-interface thread only.

#include "document/OperationProject.h"
#include "model/EventList.h"
#include "model/NoteList.h"
#include "model/TimeBase.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CClip;
class CPlayerLink;
class CTrack;

// Type ids of the clip operations; fold tests compare them.
enum EClipOpType : int {
    kOpClipCreate = 101,
    kOpClipRecord = 102,
    kOpClipCopy = 103,
    kOpClipDelete = 104,
    kOpClipToPhrase = 105,
    kOpClipPaste = 106,
    kOpClipRename = 107,
    kOpClipReplace = 108,
    kOpClipSetLengthDrag = 109,
    kOpClipSetLengthPianoRoll = 110,
    kOpClipSetLengthKeys = 111,
    kOpClipSetStart = 112,
    kOpClipSetProperty = 113,
    kOpClipSplit = 114,
    kOpClipMerge = 115,
};

// An operation that takes at most one clip out of a track and puts at most one clip into a track
// (Replace does both). The clip taken out belongs to the operation while it is out; the clip to
// put in belongs to the operation until it is placed. Many of them can be applied as one batch,
// which touches each track once: removals in one pass, insertions in one merge.
class COpClipPlacement : public COperationProject {
public:
    ~COpClipPlacement() override;

    bool Do(CProjectDoc& doc) override;
    // Bring up the Tracks window with an empty clip selection.
    void UndoPrepare(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void RedoApply(CProjectDoc& doc) override;

    // The clip Do takes out of the model and its track index; null / -1 when none. Borrowed.
    CClip* GetRemovedClip() const { return m_out.clip; }
    int32_t GetRemovedTrack() const { return m_out.track; }
    // The clip Do puts into the model and its track index; null / -1 when none. Borrowed.
    CClip* GetPlacedClip() const { return m_in.clip; }
    int32_t GetPlacedTrack() const { return m_in.track; }
    // Index the removed clip had in its track while it is out, else -1.
    int32_t GetRemovedIndex() const { return m_out.index; }
    // Index the placed clip got in its track while it is placed, else -1.
    int32_t GetPlacedIndex() const { return m_in.index; }

    // Does (first run or redo) every operation of ops as one change. False, with the model as it
    // was, when a track is missing or a clip to remove is not on its track.
    static bool ApplyForward(CProjectDoc& doc, const std::vector<COpClipPlacement*>& ops,
                             bool firstRun);
    // Undoes every operation of ops (all done by one ApplyForward) as one change.
    static void ApplyBackward(CProjectDoc& doc, const std::vector<COpClipPlacement*>& ops);

    // Takes over the placed clip of a later operation that replaced this one's placed clip, so
    // that both stand as one (a nudge folded into the previous nudge).
    void TakeOverPlacement(COpClipPlacement& later);

protected:
    struct CSide {
        int32_t track = -1;
        CClip* clip = nullptr;
        std::unique_ptr<CClip> owned; // the clip while the operation holds it
        int32_t index = -1;           // index in the track while placed (in) or out (out)
    };

    // Takes clip out of the track at trackIndex (the track keeps it until Do).
    void SetRemoved(int32_t trackIndex, CClip& clip);
    // Puts clip (owned from now on) into the track at trackIndex in start order.
    void SetPlaced(int32_t trackIndex, std::unique_ptr<CClip> clip);

    // Before the first placement: ids, names and colours. False refuses the operation.
    virtual bool PrepareFirstDo(CProjectDoc& doc);
    // Tells the player that the placed clip is on track.
    virtual void TellPlaced(CPlayerLink& player, CTrack& track, bool firstRun);

    // Show steps shared by the concrete operations.
    void ShowPlaced(CProjectDoc& doc) const;
    void ShowRemoved(CProjectDoc& doc, const CClip& clip) const;

    CSide m_out;
    CSide m_in;
};

// "Create Clip" (101): places a new clip (filled by the caller) on a track; it gets a new id.
class COpClipCreate : public COpClipPlacement {
public:
    COpClipCreate(int32_t trackIndex, std::unique_ptr<CClip> clip);
    std::string GetName() const override { return "Create Clip"; }
    int GetTypeId() const override { return kOpClipCreate; }
    void ShowDo(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;

protected:
    bool PrepareFirstDo(CProjectDoc& doc) override;
};

// "Paste Clip" (106): Create Clip from the clipboard.
class COpClipPaste : public COpClipCreate {
public:
    using COpClipCreate::COpClipCreate;
    std::string GetName() const override { return "Paste Clip"; }
    int GetTypeId() const override { return kOpClipPaste; }
};

// "Record Clip" (102): places a recorded clip, named after and coloured like its track; an active
// player takes it over from the recording that made it.
class COpClipRecord : public COpClipCreate {
public:
    COpClipRecord(std::unique_ptr<CClip> clip, int32_t trackIndex);
    std::string GetName() const override { return "Record Clip"; }
    int GetTypeId() const override { return kOpClipRecord; }

protected:
    bool PrepareFirstDo(CProjectDoc& doc) override;
    void TellPlaced(CPlayerLink& player, CTrack& track, bool firstRun) override;
};

// "Copy Clip" (103): places a copy of a source clip; undo selects the source again.
class COpClipCopy : public COpClipCreate {
public:
    COpClipCopy(const CClip& source, int32_t sourceTrack, int32_t targetTrack,
                std::unique_ptr<CClip> copy);
    std::string GetName() const override { return "Copy Clip"; }
    int GetTypeId() const override { return kOpClipCopy; }
    void UndoShow(CProjectDoc& doc) override;
    const CClip& GetSource() const { return *m_source; }
    int32_t GetSourceTrack() const { return m_sourceTrack; }

private:
    const CClip* m_source;
    int32_t m_sourceTrack;
};

// "Delete Clip" (104): takes a clip out; undo puts it back at the index it had.
class COpClipDelete : public COpClipPlacement {
public:
    COpClipDelete(int32_t trackIndex, CClip& clip);
    std::string GetName() const override { return "Delete Clip"; }
    int GetTypeId() const override { return kOpClipDelete; }
    void ShowDo(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;
};

// "Replace Clip" (108): takes the old clip out of its track and puts the new clip into the new
// track; the new clip carries the old one's name, colour and id, the one out of the model is
// marked invalid.
class COpClipReplace : public COpClipPlacement {
public:
    COpClipReplace(int32_t oldTrack, CClip& oldClip, int32_t newTrack,
                   std::unique_ptr<CClip> newClip);
    std::string GetName() const override { return "Replace Clip"; }
    int GetTypeId() const override { return kOpClipReplace; }
    void ShowDo(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;

private:
    void ShowSwap(CProjectDoc& doc, const CSide& from, const CSide& to) const;
};

// Where a length change comes from: the Tracks view's drag (109), the piano roll (110) or the
// Tracks view's keys (111). Steps from different places never fold together.
enum class EClipLengthOrigin { TracksDrag, PianoRoll, TracksKeys };

// Saved copies of a clip's material, for the edge moves that cut some of it away.
struct CSavedMaterial {
    bool saved = false;
    CNoteList notes;
    CEventList events;
};

// Shared by the length and start changes: one edge of one clip, moved through the engine, folding
// the steps of one drag.
class COpClipEdge : public COperationProject {
public:
    void ShowDo(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override { ShowDo(doc); }
    void RedoShow(CProjectDoc& doc) override { ShowDo(doc); }
    void ShowAbsorbed(CProjectDoc& doc) override { ShowDo(doc); }
    bool IsAbsorbableKind(COperationHistory& history, COperation& newOp) override;
    const CClip& GetClip() const { return m_clip; }

protected:
    COpClipEdge(CClip& clip, tick value) : m_clip(clip), m_value(value) {}

    CClip& m_clip;
    tick m_value; // the target before Do, afterwards the value to go back to
    CSavedMaterial m_saved;
};

// "Set Clip Length" (109, 110, 111).
class COpClipSetLength : public COpClipEdge {
public:
    COpClipSetLength(CClip& clip, tick length,
                     EClipLengthOrigin origin = EClipLengthOrigin::TracksKeys);
    std::string GetName() const override { return "Set Clip Length"; }
    int GetTypeId() const override;
    bool Do(CProjectDoc& doc) override;
    void UndoPrepare(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override { UndoPrepare(doc); }
    void UndoApply(CProjectDoc& doc) override;
    void RedoApply(CProjectDoc& doc) override;
    bool Absorb(CProjectDoc& doc, COperation& newOp) override;

private:
    EClipLengthOrigin m_origin;
};

// "Set Clip Start" (112): moves the start edge, keeping the end and the material's song
// positions.
class COpClipSetStart : public COpClipEdge {
public:
    COpClipSetStart(CClip& clip, tick start);
    std::string GetName() const override { return "Set Clip Start"; }
    int GetTypeId() const override { return kOpClipSetStart; }
    bool Do(CProjectDoc& doc) override;
    void UndoPrepare(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override { UndoPrepare(doc); }
    void UndoApply(CProjectDoc& doc) override;
    void RedoApply(CProjectDoc& doc) override;
    bool Absorb(CProjectDoc& doc, COperation& newOp) override;

private:
    // Moves the start through the engine and keeps the track in start order.
    bool MoveStart(CProjectDoc& doc, tick start);
    // Moves the clip to index in its track.
    void PlaceAt(CProjectDoc& doc, int32_t index);
    int32_t IndexNow(CProjectDoc& doc) const;

    int32_t m_indexBefore = -1; // the clip's index in its track before the first Do
    int32_t m_indexAfter = -1;  // and after the last step of the gesture
};

// "Set Clip Property" (113): property 1 is the clip's colour. Not recorded.
class COpClipSetProperty : public COperationProject {
public:
    static constexpr int32_t kColour = 1;

    COpClipSetProperty(CClip& clip, int32_t property, int64_t value);
    std::string GetName() const override { return "Set Clip Property"; }
    int GetTypeId() const override { return kOpClipSetProperty; }
    bool IsUndoable() const override { return false; }
    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;

private:
    CClip& m_clip;
    int32_t m_property;
    int64_t m_value;
};

// "Clip Rename" (107). Not recorded.
class COpClipRename : public COperationProject {
public:
    COpClipRename(CClip& clip, std::string name);
    std::string GetName() const override { return "Clip Rename"; }
    int GetTypeId() const override { return kOpClipRename; }
    bool IsUndoable() const override { return false; }
    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;

private:
    CClip& m_clip;
    std::string m_name;
};
