#pragma once
// Operations on selections of clips, each one history entry made of single-clip operations, and
// the splits and merges that are groups too. User-interface thread only.

#include "editing/ClipOperations.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class CClip;
class CClipboardClips;
class CPhrase;
class CPhraseBank;
class CTrack;
class CTrackList;

// Type ids of the clip groups.
enum EClipGroupType : int {
    kOpClipsRecord = 201,
    kOpClipsCopy = 202,
    kOpClipsToPhrases = 203,
    kOpClipsCut = 204,
    kOpClipsDelete = 205,
    kOpClipsMove = 206,
    kOpClipsSetTrack = 207,
    kOpClipsSetStart = 208,
    kOpClipsMoveToPhrases = 209,
    kOpClipsPaste = 210,
    kOpClipsSetProperty = 211,
    kOpClipsDuplicate = 212,
};

// One entry of the Tracks view's clip selection (or of a clip payload): the clip (borrowed) and
// the index of its track.
struct CClipRef {
    CClip* clip = nullptr;
    int32_t track = -1;
};

// Answers whether tracks may be created for clips dropped below the last track; asked at most
// once per group.
using FCreateTracks = std::function<bool()>;

// A group whose members change clips and whose change is seen in the Tracks window: brought up
// once, its selection emptied, the members' show steps bracketed in one update so that the view
// ends with exactly the group's clips selected. Placement members are applied as one batch,
// after the other members (new tracks) are done, and undone before those.
class COpClipGroup : public COperationGroup {
public:
    bool CanDo(COperationHistory& history) override;
    bool CanUndo(COperationHistory& history) override;
    bool CanRedo(COperationHistory& history) override;
    bool Do(CProjectDoc& doc) override;
    void ShowDo(CProjectDoc& doc) override;
    void UndoPrepare(CProjectDoc& doc) override;
    void UndoApply(CProjectDoc& doc) override;
    void UndoShow(CProjectDoc& doc) override;
    void RedoPrepare(CProjectDoc& doc) override;
    void RedoApply(CProjectDoc& doc) override;
    void RedoShow(CProjectDoc& doc) override;

protected:
    // The placement members in order, and the rest in order (borrowed).
    std::vector<COpClipPlacement*> Placements() const;
    std::vector<COperationProject*> Others() const;

private:
    void Bracket(CProjectDoc& doc, const std::function<void()>& show);
};

// "Recording Clip(s)" (201): one Record Clip per recorded clip.
class COpClipsRecord : public COpClipGroup {
public:
    explicit COpClipsRecord(std::vector<std::pair<int32_t, std::unique_ptr<CClip>>> takes);
    std::string GetName() const override { return "Recording Clip(s)"; }
    int GetTypeId() const override { return kOpClipsRecord; }
};

// "Delete Clip(s)" (205): one Delete Clip per selected clip.
class COpClipsDelete : public COpClipGroup {
public:
    explicit COpClipsDelete(const std::vector<CClipRef>& selection);
    std::string GetName() const override { return "Delete Clip(s)"; }
    int GetTypeId() const override { return kOpClipsDelete; }
};

// "Cut Clip(s)" (204): puts copies of the selected clips into the clipboard when built, then
// deletes them as Delete Clip(s) does.
class COpClipsCut : public COpClipsDelete {
public:
    explicit COpClipsCut(const std::vector<CClipRef>& selection);
    std::string GetName() const override { return "Cut Clip(s)"; }
    int GetTypeId() const override { return kOpClipsCut; }
};

// How a group of the copy and move family places the clips it builds.
enum class EClipsPlacing {
    Copy,  // Copy Clip members; clips that do not fit are skipped
    Paste, // Create Clip members; clips that do not fit are skipped
    Move,  // Replace Clip members; clips that do not fit are deleted
};

// Copy Clip(s), Duplicate Clip(s), Paste Clip(s), Move Clip(s), Set Clip(s) Track and Set Clip(s)
// Start: every clip moved by a time and a track offset. Clips that would end at or before 0 or
// land above the first track do not fit; below the last track, tracks are created when
// createTracks agrees (asked once). Parts before 0 are cut off.
class COpClipsPlace : public COpClipGroup {
protected:
    COpClipsPlace(EClipsPlacing placing, int32_t trackCount, const std::vector<CClipRef>& entries,
                  tick timeOffset, int32_t trackOffset, const FCreateTracks& createTracks);
};

// "Copy Clip(s)" (202).
class COpClipsCopy : public COpClipsPlace {
public:
    COpClipsCopy(int32_t trackCount, const std::vector<CClipRef>& selection, tick timeOffset,
                 int32_t trackOffset, const FCreateTracks& createTracks);
    std::string GetName() const override { return "Copy Clip(s)"; }
    int GetTypeId() const override { return kOpClipsCopy; }
};

// "Duplicate Clip(s)" (212): Copy Clip(s) on the same tracks.
class COpClipsDuplicate : public COpClipsPlace {
public:
    COpClipsDuplicate(int32_t trackCount, const std::vector<CClipRef>& selection, tick timeOffset);
    std::string GetName() const override { return "Duplicate Clip(s)"; }
    int GetTypeId() const override { return kOpClipsDuplicate; }
};

// "Paste Clip(s)" (210): the entries are the clipboard's clips with the tracks they came from.
class COpClipsPaste : public COpClipsPlace {
public:
    COpClipsPaste(int32_t trackCount, const CClipboardClips& payload, tick timeOffset,
                  int32_t trackOffset, const FCreateTracks& createTracks);
    std::string GetName() const override { return "Paste Clip(s)"; }
    int GetTypeId() const override { return kOpClipsPaste; }
};

// "Move Clip(s)" (206). Never folds.
class COpClipsMove : public COpClipsPlace {
public:
    COpClipsMove(int32_t trackCount, const std::vector<CClipRef>& selection, tick timeOffset,
                 int32_t trackOffset, const FCreateTracks& createTracks);
    std::string GetName() const override { return "Move Clip(s)"; }
    int GetTypeId() const override { return kOpClipsMove; }
};

// The nudges: a series of them on the same selection folds into one history entry.
class COpClipsNudge : public COpClipsPlace {
public:
    bool IsAppendableKind(COperationHistory& history, COperation& newOp) override;
    bool AppendNext(COperationHistory& history, COperation& newOp) override;

protected:
    using COpClipsPlace::COpClipsPlace;
};

// "Set Clip(s) Track" (207).
class COpClipsSetTrack : public COpClipsNudge {
public:
    COpClipsSetTrack(int32_t trackCount, const std::vector<CClipRef>& selection,
                     int32_t trackOffset, const FCreateTracks& createTracks);
    std::string GetName() const override { return "Set Clip(s) Track"; }
    int GetTypeId() const override { return kOpClipsSetTrack; }
};

// "Set Clip(s) Start" (208).
class COpClipsSetStart : public COpClipsNudge {
public:
    COpClipsSetStart(int32_t trackCount, const std::vector<CClipRef>& selection, tick timeOffset);
    std::string GetName() const override { return "Set Clip(s) Start"; }
    int GetTypeId() const override { return kOpClipsSetStart; }
};

// "Set Clip(s) property values" (211): one Set Clip Property per selected clip. Not recorded.
class COpClipsSetProperty : public COpClipGroup {
public:
    COpClipsSetProperty(const std::vector<CClipRef>& selection, int32_t property, int64_t value);
    std::string GetName() const override { return "Set Clip(s) property values"; }
    int GetTypeId() const override { return kOpClipsSetProperty; }
    bool IsUndoable() const override { return false; }
};

// "Split Clip" (114): the part from the split position on becomes a new clip, the clip keeps the
// part before it. Refused unless the position lies strictly inside the clip.
class COpClipSplit : public COpClipGroup {
public:
    COpClipSplit(int32_t trackIndex, CClip& clip, tick position);
    std::string GetName() const override { return "Split Clip"; }
    int GetTypeId() const override { return kOpClipSplit; }
};

// "Merge two Clips" (115): the first clip takes in the second one's material; the second goes.
class COpClipMerge : public COpClipGroup {
public:
    COpClipMerge(int32_t firstTrack, CClip& first, int32_t secondTrack, CClip& second);
    std::string GetName() const override { return "Merge two Clips"; }
    int GetTypeId() const override { return kOpClipMerge; }
};

// A new phrase filled from the clip's material (notes, events, name, colour, length), playing to
// outputTrack when one is given.
std::unique_ptr<CPhrase> PhraseFromClip(const CClip& clip, const CTrack* outputTrack);

// "Create Phrase From Clip" (105): the clip is deleted and the new phrase created at index of the
// bank. A plain group: each member brings up its own window.
class COpClipToPhrase : public COperationGroup {
public:
    COpClipToPhrase(int32_t trackIndex, CClip& clip, CPhraseBank& bank, int32_t index,
                    std::unique_ptr<CPhrase> phrase);
    std::string GetName() const override { return "Create Phrase From Clip"; }
    int GetTypeId() const override { return kOpClipToPhrase; }
};

// "Copy Clip(s) to Phrase(s)" (203) and "Move Clip(s) to Phrase(s)" (209): one new phrase per
// selected clip at consecutive indices of the bank from firstIndex (-1: at the end); with tracks
// given, each phrase plays to its clip's track. Move also deletes the clips. Plain groups.
class COpClipsToPhrases : public COperationGroup {
public:
    COpClipsToPhrases(const CTrackList* tracks, const std::vector<CClipRef>& selection,
                      CPhraseBank& bank, int32_t firstIndex);
    std::string GetName() const override { return "Copy Clip(s) to Phrase(s)"; }
    int GetTypeId() const override { return kOpClipsToPhrases; }
};

class COpClipsMoveToPhrases : public COperationGroup {
public:
    COpClipsMoveToPhrases(const CTrackList* tracks, const std::vector<CClipRef>& selection,
                          CPhraseBank& bank, int32_t firstIndex);
    std::string GetName() const override { return "Move Clip(s) to Phrase(s)"; }
    int GetTypeId() const override { return kOpClipsMoveToPhrases; }
};
