#include "editors/TimeGrid.h"

#include <QPainter>
#include <QPixmap>

#include "editors/PianoRollContext.h"

namespace {

const QColor kGrey(128, 128, 128);
const QColor kDimGrey(105, 105, 105);
// Lines closer than this are left out: they would only paint the pane grey.
constexpr int kMinGridSpacing = 4;

void PaintLines(QPainter& painter, const QRect& strip, const CPianoRollContext& context)
{
    const CPianoRollGeometry& g = context.Geometry();
    const tick left = std::max<tick>(0, g.XToTick(strip.left()));
    const tick right = TickSum(g.XToTick(strip.right() + 1), 1);
    const tick grid = context.GetGrid().GetTicks();
    if (grid > 0 && int64_t{grid} * g.GetScale() / kTicksPerQuarter >= kMinGridSpacing) {
        const tick offset = context.GetOffset();
        const tick bar = context.TicksPerBar();
        const tick beat = context.TicksPerBeat();
        for (int64_t t = left / grid * grid; t <= right; t += grid) {
            const int x = g.TickToX(static_cast<tick>(t));
            const int64_t song = t + offset;
            if (song % bar == 0)
                painter.fillRect(QRect(x, strip.top(), 2, strip.height()), kGrey);
            else if (song % beat == 0)
                painter.fillRect(QRect(x, strip.top(), 1, strip.height()), kDimGrey);
            else // dotted: the upper of the strip's two rows
                painter.fillRect(QRect(x, strip.top(), 1, 1), kDimGrey);
        }
    }
    for (const tick edge : {tick{0}, context.GetLength()})
        painter.fillRect(QRect(g.TickToX(edge), strip.top(), 2, strip.height()), kGrey);
}

} // namespace

void PaintTimeGrid(QPainter& painter, const QRect& exposed, const CPianoRollContext& context,
                   const QColor& background)
{
    if (exposed.isEmpty()) return;
    const qreal ratio = painter.device()->devicePixelRatioF();
    QPixmap strip(QSize(exposed.width(), 2) * ratio);
    strip.setDevicePixelRatio(ratio);
    strip.fill(background);
    {
        QPainter lines(&strip);
        lines.translate(-exposed.left(), 0);
        PaintLines(lines, QRect(exposed.left(), 0, exposed.width(), 2), context);
    }
    // The strip's rows keep their parity with the lane's rows, so the dots line up in any paint.
    painter.drawTiledPixmap(exposed, strip, QPoint(0, exposed.top() & 1));
}
