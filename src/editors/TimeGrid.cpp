#include "editors/TimeGrid.h"

#include <QPainter>

#include "editors/PianoRollContext.h"

namespace {

const QColor kGrey(128, 128, 128);
const QColor kDimGrey(105, 105, 105);
// Lines closer than this are left out: they would only paint the pane grey.
constexpr int kMinGridSpacing = 4;

} // namespace

void PaintTimeGrid(QPainter& painter, const QRect& exposed, const CPianoRollContext& context)
{
    const CPianoRollGeometry& g = context.Geometry();
    const tick left = std::max<tick>(0, g.XToTick(exposed.left()));
    const tick right = TickSum(g.XToTick(exposed.right() + 1), 1);
    const tick grid = context.GetGrid().GetTicks();
    if (grid > 0 && int64_t{grid} * g.GetScale() / kTicksPerQuarter >= kMinGridSpacing) {
        const tick offset = context.GetOffset();
        const tick bar = context.TicksPerBar();
        const tick beat = context.TicksPerBeat();
        // Width 0: a cosmetic pen, drawn by the fast line rasteriser at any pixel ratio.
        painter.setPen(QPen(kDimGrey, 0, Qt::DotLine));
        for (int64_t t = left / grid * grid; t <= right; t += grid) {
            const int x = g.TickToX(static_cast<tick>(t));
            const int64_t song = t + offset;
            if (song % bar == 0)
                painter.fillRect(QRect(x, exposed.top(), 2, exposed.height()), kGrey);
            else if (song % beat == 0)
                painter.fillRect(QRect(x, exposed.top(), 1, exposed.height()), kDimGrey);
            else
                painter.drawLine(x, exposed.top(), x, exposed.bottom());
        }
    }
    for (const tick edge : {tick{0}, context.GetLength()})
        painter.fillRect(QRect(g.TickToX(edge), exposed.top(), 2, exposed.height()), kGrey);
}
