#pragma once
// The track headers left of the clip canvas: one row per track, as tall as the canvas rows and
// scrolled with them, with the track's number, name and its solo, mute, input and record
// switches; the current track; header drags that move tracks; and the list's commands (add,
// insert, delete, rename, colour, drum track, MIDI file import and export).
// User-interface thread only.

#include <QWidget>

#include "controls/Commands.h"
#include "editing/DragContext.h"

class CTrack;
class CTracksContext;

class CViewTrackList : public QWidget, public CDropTarget {
    Q_OBJECT
public:
    explicit CViewTrackList(CTracksContext& context, QWidget* parent = nullptr);

    // The list's commands, offered by the tracks window while the list has the focus.
    bool OnCommand(ECommand id);
    bool OnUpdateCommand(ECommand id, CCommandUi& ui);

    // The project's calls: tracks came, went or changed.
    void TracksChanged();

    EDropEffect DragEnter(const CDragPayload& payload, const CDragPoint& point) override;
    EDropEffect DragOver(const CDragPayload& payload, const CDragPoint& point) override;
    void DragLeave(const CDragPayload& payload) override;
    bool Drop(const CDragPayload& payload, const CDragPoint& point) override;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CTracksContext& m_context;
};
