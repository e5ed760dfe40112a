#pragma once
// Draws the clip boxes of the tracks canvas: an unselected clip in its own colour with a raised
// grey border, a selected one (or one inside the rubber band) on black with a dotted outline and
// a frame in its colour, the current one with a white border while the canvas has the focus, and
// a miniature of the notes when the row is tall enough. User-interface thread only.

#include <QColor>
#include <QRect>

#include <cstdint>
#include <vector>

class CClip;
class CMidiData;
class CViewTracks;
class CScanlineRaster;
class QImage;
class QPainter;

class CTracksClipPainter {
public:
    // Rows at least this tall show a miniature of the notes.
    static constexpr int kMiniatureRowHeight = 28;

    CTracksClipPainter(const CViewTracks& view, QPainter& painter);
    ~CTracksClipPainter();
    CTracksClipPainter(const CTracksClipPainter&) = delete;
    CTracksClipPainter& operator=(const CTracksClipPainter&) = delete;
    void Draw(const CClip& clip, int32_t row);
    // Drawing in two passes, for a row whose boxes do not overlap: after BeginRow, Compose puts
    // the clips' parts of one of the row's scanlines (their top edges, middles or bottom edges)
    // into the scanline; DrawOver draws what differs from them (outlines, notes, the name) once
    // the row's scanlines are out.
    enum class EScan { Top, Middle, Bottom };
    void BeginRow(const std::vector<const CClip*>& clips, int32_t row);
    void Compose(CScanlineRaster& raster, EScan part) const;
    void DrawOver(const CScanlineRaster& raster, const CClip& clip, int32_t row);
    // The outline and name of a clip stretched over rect (resize and drop previews).
    static void DrawOutline(QPainter& painter, const QRect& rect, const CMidiData& data);

private:
    struct SLook {
        QRect box;
        QColor own;
        bool current = false;
        bool selected = false;
        bool Plain() const { return !current && !selected; }
    };
    SLook Look(const CClip& clip, int32_t row) const;
    void Compose(CScanlineRaster& raster, const CClip& clip, const SLook& look, EScan part) const;
    void DrawMarked(const CClip& clip, const SLook& look);
    void DrawInside(const CClip& clip, const QRect& box);
    bool LabelFits(const QRect& box) const;
    const QImage* Label(const CClip& clip, const SLook& look) const;
    void DrawNotes(const CClip& clip, const QRect& box);

    const CViewTracks& m_view;
    QPainter& m_painter;
    bool m_focused;
    int m_fontHeight = 0;
    qreal m_ratio = 1;
    // The row being composed: its clips and how each looks.
    const std::vector<const CClip*>* m_rowClips = nullptr;
    std::vector<SLook> m_rowLooks;
};
