#pragma once
// What the panes of one tracks window share: the project, the view geometry, the edit mode, the
// snap value, the tool, the current track and the song-position drag. The panes (track list,
// ruler, canvas, property panel, status) read it and listen to its signals; changing a value
// through it tells all of them. User-interface thread only.

#include <QObject>

#include <functional>

#include "document/AppOptions.h"
#include "editors/TracksGeometry.h"
#include "model/TimeBase.h"

class CProjectDoc;
class CTrack;

// The edit mode of the clip canvas: what the nudge keys change.
enum class ETracksEditMode : int32_t { Start = 1, TrackPos = 2, Length = 3 };

class CTracksContext : public QObject {
    Q_OBJECT
public:
    explicit CTracksContext(CProjectDoc& doc, QObject* parent = nullptr);

    CProjectDoc& GetDoc() const { return m_doc; }
    CTracksGeometry& Geometry() { return m_geometry; }
    const CTracksGeometry& Geometry() const { return m_geometry; }
    // The content extent again from the song (after a model change); tells the panes when the
    // view moved.
    void UpdateContent();
    // Scrolling and zooming through here tell every pane.
    void SetLeftTick(tick left);
    void SetFirstRow(int32_t row);
    void MakeVisible(tick at, int32_t row);
    void ZoomHorizontal(int direction);
    void ZoomVertical(int direction);
    // Horizontal zoom keeping the tick under client x in place.
    void ZoomHorizontalAt(int direction, int32_t x);

    ETracksEditMode GetEditMode() const { return m_editMode; }
    void SetEditMode(ETracksEditMode mode);
    const CNoteValue& GetSnap() const { return m_snap; }
    void SetSnap(CNoteValue snap);
    // The three roundings on the snap value (Off leaves ticks unchanged).
    tick SnapFloor(tick t) const { return m_snap.FloorToGrid(t); }
    tick SnapNearest(tick t) const { return m_snap.RoundToGrid(t); }
    tick TicksPerBar() const;

    // The current track's index, or -1.
    int32_t GetCurrentTrack() const { return m_currentTrack; }
    CTrack* GetCurrentTrackObject() const;
    void SetCurrentTrack(int32_t index);

    // Keeps the playing position in view while the song plays.
    bool IsFollowing() const { return m_follow; }
    void SetFollowing(bool follow) { m_follow = follow; }

    // The song position being dragged (ruler or canvas), shown instead of the project's.
    bool IsDraggingPosition() const { return m_positionDrag; }
    tick GetShownPosition() const;
    void DragPosition(tick at);
    // Ends the drag; commit sets the project's song position (snapped to the nearest grid point).
    void EndPositionDrag(bool commit);
    // Moves the song position (the engine seeks when the project plays).
    void SetSongPosition(tick at);
    // The project's song position moved (playing, transport): tells the panes.
    void ProjectPositionChanged();

    // Asks a question whose answer the user may have us remember (through the application's
    // options); without an asker the answer is no.
    void SetAsker(std::function<bool(ERememberedQuestion)> asker) { m_asker = std::move(asker); }
    bool Ask(ERememberedQuestion question) const { return m_asker && m_asker(question); }

    // Redraws of the panes pause between these; batches nest.
    void BeginBatch();
    void EndBatch();
    bool InBatch() const { return m_batch > 0; }

signals:
    // Scroll, zoom or content extent changed: every pane lays out and redraws.
    void ViewChanged();
    void CurrentTrackChanged(int32_t index);
    void EditModeChanged();
    void SnapChanged();
    // The shown song position moved from the old tick (while dragging or from the project).
    void ShownPositionChanged(tick from, tick to);
    // Project data changed (loop, names, flags): the panes redraw.
    void ContentChanged();
    void BatchBegun();
    void BatchEnded();

private:
    void ShowPosition();

    CProjectDoc& m_doc;
    CTracksGeometry m_geometry;
    ETracksEditMode m_editMode = ETracksEditMode::Start;
    CNoteValue m_snap{kTicksPerWhole / 4};
    int32_t m_currentTrack = -1;
    bool m_follow = true;
    bool m_positionDrag = false;
    tick m_draggedPosition = 0;
    // The position the panes show now.
    tick m_shown = 0;
    int m_batch = 0;
    std::function<bool(ERememberedQuestion)> m_asker;
};
