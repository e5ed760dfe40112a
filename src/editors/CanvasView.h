#pragma once
// The base of the timeline canvases (tracks canvas, note canvas, event lane): a scroll area whose
// viewport paints opaquely. Changed content is drawn straight onto the screen; a picture of the
// content cached at the device-pixel ratio is filled only where overlays (song-position line,
// rubber band, cut line, previews) move, so an overlay repaints only the strips it covers and
// draws no content once the cache holds them. A batch counter holds repaints back until the
// outermost batch ends.
// User-interface thread only.

#include <QAbstractScrollArea>
#include <QPixmap>
#include <QRegion>

class QPainter;

class CCanvasView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CCanvasView(QWidget* parent = nullptr);

    // The content under rect (client pixels; null: everything) is drawn again at the next paint.
    void InvalidateContent(const QRect& rect = QRect());
    // The content moved by dy pixels (a scroll by whole rows): the picture on screen is shifted
    // and only the uncovered band is drawn again. The overlays shown must not depend on the
    // vertical scroll (a full-height line), since they move with the picture.
    void ScrollContent(int dy);
    // Repaints a strip from the cache and the overlays only (an overlay moved).
    void RepaintStrip(const QRect& rect);
    // Batches nest; repaints wait for the end of the outermost one.
    void BeginBatch() { ++m_batch; }
    void EndBatch();
    bool InBatch() const { return m_batch > 0; }

    // How many rectangles of content were drawn, and how many client pixels they covered (for
    // tests and benchmarks that check that overlays leave the content alone).
    int64_t GetContentPaints() const { return m_contentPaints; }
    int64_t GetContentPixels() const { return m_contentPixels; }

protected:
    // Draws the content under exposed (client pixels) into painter; the painter is clipped to it.
    virtual void PaintContent(QPainter& painter, const QRect& exposed) = 0;
    // Draws the overlays that touch exposed, over the content.
    virtual void PaintOverlays(QPainter& painter, const QRect& exposed)
    {
        (void)painter, (void)exposed;
    }

    // Auto-scroll while dragging: -1, 0 or +1 per axis for a pointer left of / right of (above /
    // below) the client area.
    static QPoint EdgeDirection(const QPoint& pos, const QSize& client);

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Schedule(const QRect& rect);
    bool CacheFits() const;
    void EnsureCache();
    void PaintContentRects(QPainter& painter, const QRegion& region);
    void CopyFromCache(QPainter& painter, const QRegion& region) const;

    QPixmap m_cache;
    QRegion m_dirty;     // client pixels whose cached picture is stale
    QRegion m_pending;   // client pixels to repaint when the batch ends
    QRegion m_unpainted; // client pixels asked for and not painted yet
    bool m_overlayMoved = false;
    int m_batch = 0;
    int64_t m_contentPaints = 0;
    int64_t m_contentPixels = 0;
};
