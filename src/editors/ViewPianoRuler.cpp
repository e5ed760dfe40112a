#include "editors/ViewPianoRuler.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>

#include "controls/Theme.h"
#include "editors/PianoRollContext.h"

namespace {

const QColor kGrey(128, 128, 128);
const QColor kDimGrey(105, 105, 105);
constexpr int kMarker = 6;
constexpr int kBeatBox = 30;
// Beat numbers need this much room between beat lines.
constexpr int kMinBeatLabelSpacing = 16;

} // namespace

CViewPianoRuler::CViewPianoRuler(CPianoRollContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(tr("Bars and beats; click to move the song position"));
    connect(&context, &CPianoRollContext::ViewChanged, this, qOverload<>(&QWidget::update));
    connect(&context, &CPianoRollContext::ContentChanged, this, qOverload<>(&QWidget::update));
    connect(&context, &CPianoRollContext::ShownPositionChanged, this,
            &CViewPianoRuler::OnShownPositionChanged);
}

QSize CViewPianoRuler::sizeHint() const
{
    return {200, 24};
}

QRect CViewPianoRuler::MarkerStrip(tick absolute) const
{
    const int x = m_context.Geometry().TickToX(absolute - m_context.GetOffset());
    return QRect(x - kMarker - 1, 0, 2 * kMarker + 3, height());
}

void CViewPianoRuler::OnShownPositionChanged(tick from, tick to)
{
    update(MarkerStrip(from));
    update(MarkerStrip(to));
}

void CViewPianoRuler::paintEvent(QPaintEvent* event)
{
    const QRect exposed = event->rect();
    for (const QRect& rect : event->region())
        m_paintedPixels += int64_t{rect.width()} * rect.height();
    QPainter painter(this);
    painter.fillRect(exposed, CTheme::PanelBackground());
    const CPianoRollGeometry& g = m_context.Geometry();
    const tick offset = m_context.GetOffset();
    const tick bar = m_context.TicksPerBar();
    const tick beat = m_context.TicksPerBeat();
    const bool beatLabels = int64_t{beat} * g.GetScale() / kTicksPerQuarter >= kMinBeatLabelSpacing;
    QFont barFont = CTheme::SmallFont();
    barFont.setFamily(QStringLiteral("Arial"));
    barFont.setPointSizeF(8);
    QFont beatFont = barFont;
    beatFont.setPointSizeF(5.5);
    const int middle = height() / 2;
    // Song positions of the ticks at the exposed edges, widened by a label's width.
    const int64_t left = int64_t{g.XToTick(exposed.left() - kBeatBox)} + offset;
    const int64_t right = int64_t{g.XToTick(exposed.right() + kBeatBox)} + offset;
    for (int64_t t = std::max<int64_t>(0, left) / beat * beat; t <= right; t += beat) {
        const int x = g.TickToX(static_cast<tick>(t - offset));
        if (t % bar == 0) {
            painter.fillRect(QRect(x, 0, 2, height()), kGrey);
            painter.setFont(barFont);
            painter.setPen(Qt::white);
            painter.drawText(QRect(x + 4, 0, 40, middle + 2), Qt::AlignLeft | Qt::AlignVCenter,
                             QString::number(t / bar + 1));
        } else {
            painter.fillRect(QRect(x, middle + 2, 1, height() - middle - 2), kDimGrey);
            if (!beatLabels) continue;
            painter.setFont(beatFont);
            painter.setPen(Qt::white);
            painter.drawText(QRect(x - kBeatBox / 2, 0, kBeatBox, middle + 2), Qt::AlignCenter,
                             QString::number(t % bar / beat + 1));
        }
    }
    painter.fillRect(QRect(0, height() - 1, width(), 1), kDimGrey);
    const tick position = m_context.GetShownPosition();
    if (position - offset >= 0 && position - offset <= m_context.GetLength()) {
        const int px = g.TickToX(position - offset);
        painter.setPen(Qt::white);
        painter.setBrush(Qt::white);
        painter.drawPolygon(QPolygon{{px - kMarker / 2 - 1, height() - kMarker - 1},
                                     {px + kMarker / 2 + 1, height() - kMarker - 1},
                                     {px, height() - 1}});
    }
}

void CViewPianoRuler::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const tick at = m_context.Geometry().XToTick(event->position().toPoint().x());
    const tick snapped = m_context.GetSnap().RoundToGrid(std::max<tick>(0, at));
    m_context.SetSongPosition(TickSum(snapped, m_context.GetOffset()));
}
