#include "editors/ViewPianoKeys.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

#include "controls/Theme.h"
#include "devices/MidiNames.h"
#include "editors/PianoRollContext.h"
#include "model/HarmonicScale.h"

namespace {

constexpr int kWidth = 46;
constexpr int kMarkWidth = 6;
const QColor kWhiteKey(226, 226, 220);
const QColor kBlackKey(36, 36, 40);
const QColor kKeyLine(120, 120, 120);
const QColor kScaleMark(38, 216, 157);
const QColor kCursorKey(255, 200, 40);

bool IsBlack(int32_t pitch)
{
    switch (pitch % 12) {
    case 1:
    case 3:
    case 6:
    case 8:
    case 10:
        return true;
    default:
        return false;
    }
}

} // namespace

CViewPianoKeys::CViewPianoKeys(CPianoRollContext& context, QWidget* parent)
    : QWidget(parent), m_context(context)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setToolTip(tr("Keyboard: the marked keys belong to the project's harmonic scale; click a key "
                  "to put the cursor on it"));
    connect(&context, &CPianoRollContext::ViewChanged, this, qOverload<>(&QWidget::update));
    connect(&context, &CPianoRollContext::ContentChanged, this, qOverload<>(&QWidget::update));
    connect(&context, &CPianoRollContext::CursorMoved, this, &CViewPianoKeys::OnCursorMoved);
}

QSize CViewPianoKeys::sizeHint() const
{
    return {kWidth, 200};
}

QRect CViewPianoKeys::RowRect(int32_t pitch) const
{
    const CPianoRollGeometry& g = m_context.Geometry();
    return QRect(0, g.PitchToY(pitch), width(), g.GetPitchHeight());
}

void CViewPianoKeys::OnCursorMoved(const CPianoRollCursor& from)
{
    if (from.m_pitch == m_context.GetCursor().m_pitch) return;
    update(RowRect(from.m_pitch));
    update(RowRect(m_context.GetCursor().m_pitch));
}

void CViewPianoKeys::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect exposed = event->rect();
    painter.fillRect(exposed, CTheme::PanelBackground());
    const CPianoRollGeometry& g = m_context.Geometry();
    const CHarmonicScale& scale = m_context.Scale();
    const int32_t height = g.GetPitchHeight();
    const int32_t low =
        std::clamp(g.YToPitch(std::min(exposed.bottom(), g.GetClientHeight() - 1)), 0, 127);
    // One row more above: a C's name reaches down into the exposed B row.
    const int32_t high = std::clamp(g.YToPitch(exposed.top()) + 1, 0, 127);
    const int32_t cursor = m_context.GetCursor().m_pitch;
    QFont font = CTheme::SmallFont();
    font.setPixelSize(std::clamp(height * 2 - 2, 7, 11));
    painter.setFont(font);
    const int keyWidth = width() - kMarkWidth - 1;
    for (int32_t pitch = low; pitch <= high; ++pitch) {
        const QRect row = RowRect(pitch);
        const QRect key(kMarkWidth + 1, row.top(), keyWidth, row.height());
        const bool black = IsBlack(pitch);
        painter.fillRect(key, pitch == cursor ? kCursorKey : black ? kBlackKey : kWhiteKey);
        if (black && pitch != cursor)
            painter.fillRect(
                QRect(key.right() - keyWidth / 3, key.top(), keyWidth / 3, key.height()),
                kWhiteKey);
        painter.fillRect(QRect(key.left(), row.bottom(), keyWidth, 1), kKeyLine);
        // The scale's tones carry a mark on the left edge.
        if (scale.IsInScale(pitch))
            painter.fillRect(QRect(1, row.top() + (height > 4 ? 1 : 0), kMarkWidth - 2,
                                   std::max(1, height - (height > 4 ? 2 : 0))),
                             kScaleMark);
        // The octaves named at their C, over the C key and the B below it (both white), where
        // the two rows give room for the text.
        if (pitch % 12 == 0 && height * 2 >= 7) {
            painter.setPen(Qt::black);
            painter.drawText(QRect(key.left() + 2, row.top(), keyWidth - 4, 2 * height),
                             Qt::AlignLeft | Qt::AlignVCenter,
                             QString::fromStdString(KeyName(static_cast<uint8_t>(pitch))));
        }
    }
    // Below the lowest row (a canvas taller than 128 rows) stays the panel's colour.
}

void CViewPianoKeys::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int32_t pitch = m_context.Geometry().YToPitch(event->position().toPoint().y());
    if (pitch < 0 || pitch > 127) return;
    emit PitchClicked(pitch);
}
