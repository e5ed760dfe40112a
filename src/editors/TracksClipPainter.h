#pragma once
// Draws the clip boxes of the tracks canvas: an unselected clip in its own colour with a raised
// grey border, a selected one (or one inside the rubber band) on black with a dotted outline and
// a frame in its colour, the current one with a white border while the canvas has the focus, and
// a miniature of the notes when the row is tall enough. User-interface thread only.

#include <cstdint>

class CClip;
class CMidiData;
class CViewTracks;
class QPainter;
class QRect;

class CTracksClipPainter {
public:
    // Rows at least this tall show a miniature of the notes.
    static constexpr int kMiniatureRowHeight = 28;

    CTracksClipPainter(const CViewTracks& view, QPainter& painter);
    void Draw(const CClip& clip, int32_t row);
    // The outline and name of a clip stretched over rect (resize and drop previews).
    static void DrawOutline(QPainter& painter, const QRect& rect, const CMidiData& data);

private:
    void DrawNotes(const CClip& clip, const QRect& box);

    const CViewTracks& m_view;
    QPainter& m_painter;
    bool m_focused;
};
