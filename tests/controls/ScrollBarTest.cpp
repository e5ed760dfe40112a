// The scroll bar with kept groove and slider pictures must look exactly like a plain scroll bar
// in every state, and draw its pictures again only when their look changes.

#include <gtest/gtest.h>

#include <QHoverEvent>
#include <QImage>
#include <QPalette>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <array>
#include <functional>

#include "ControlsTestSupport.h"
#include "controls/ScrollBar.h"

namespace {

QImage Picture(QScrollBar& bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A plain scroll bar that shows the style options it paints with.
class CPlainBar : public QScrollBar {
public:
    using QScrollBar::initStyleOption;
    using QScrollBar::QScrollBar;
};

// A point inside one part of the bar, as the style lays it out.
QPoint PartCentre(const CPlainBar& bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    bar.initStyleOption(&option);
    return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, part, &bar).center();
}

void Hover(QScrollBar& bar, QPoint at)
{
    bar.setAttribute(Qt::WA_UnderMouse); // as the enter event of a real pointer leaves it
    QHoverEvent enter(QEvent::HoverEnter, at, at, QPointF(-1, -1));
    QApplication::sendEvent(&bar, &enter);
    QHoverEvent move(QEvent::HoverMove, at, at, at);
    QApplication::sendEvent(&bar, &move);
}

void Press(QScrollBar& bar, QPoint at)
{
    SendMouse(bar, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
}

struct SState {
    const char* name;
    // Applied to each bar; the plain one says where the bar's parts are (both bars lay them out
    // alike).
    std::function<void(QScrollBar& bar, const CPlainBar& plain)> apply;
};

TEST(CScrollBarTest, LooksLikeAPlainBarInEveryStateAndDrawsItsGrooveOncePerLook)
{
    const SState states[] = {
        {"at the top", [](QScrollBar& bar, const CPlainBar&) { bar.setValue(0); }},
        {"at the bottom", [](QScrollBar& bar, const CPlainBar&) { bar.setValue(bar.maximum()); }},
        {"slider hovered",
         [](QScrollBar& bar, const CPlainBar& plain) {
             Hover(bar, PartCentre(plain, QStyle::SC_ScrollBarSlider));
         }},
        {"slider pressed",
         [](QScrollBar& bar, const CPlainBar& plain) {
             Press(bar, PartCentre(plain, QStyle::SC_ScrollBarSlider));
         }},
        {"arrow pressed",
         [](QScrollBar& bar, const CPlainBar& plain) {
             Press(bar, PartCentre(plain, QStyle::SC_ScrollBarAddLine));
         }},
        {"page pressed",
         [](QScrollBar& bar, const CPlainBar& plain) {
             Press(bar, PartCentre(plain, QStyle::SC_ScrollBarAddPage));
         }},
        {"disabled", [](QScrollBar& bar, const CPlainBar&) { bar.setEnabled(false); }},
        {"other palette",
         [](QScrollBar& bar, const CPlainBar&) {
             QPalette palette = bar.palette();
             palette.setColor(QPalette::Button, QColor(40, 90, 160));
             palette.setColor(QPalette::Window, QColor(200, 180, 60));
             bar.setPalette(palette);
         }},
        {"resized",
         [](QScrollBar& bar, const CPlainBar&) { bar.resize(bar.size() + QSize(3, 57)); }},
    };
    for (const Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        for (const SState& state : states) {
            SCOPED_TRACE(std::string(state.name) +
                         (orientation == Qt::Vertical ? ", vertical" : ", horizontal"));
            CPlainBar plain(orientation);
            CScrollBar kept(orientation);
            // The plain bar last, so that both are changed where the parts were.
            const std::array<QScrollBar*, 2> bars{&kept, &plain};
            const QSize size = orientation == Qt::Vertical ? QSize(16, 600) : QSize(600, 16);
            for (QScrollBar* bar : bars) {
                bar->setRange(0, 470);
                bar->setPageStep(30);
                bar->setValue(100);
                bar->resize(size);
            }
            const QImage before = Picture(plain);
            ASSERT_EQ(Picture(kept), before);

            for (QScrollBar* bar : bars)
                state.apply(*bar, plain);
            const QImage changed = Picture(plain);
            EXPECT_NE(changed, before) << "the state does not show";
            EXPECT_EQ(Picture(kept), changed);

            // Moving the slider along the middle draws neither the groove nor the slider again.
            for (const int position : {200, 250}) {
                const int grooves = kept.GetGrooveDraws();
                const int sliders = kept.GetSliderDraws();
                for (QScrollBar* bar : bars)
                    bar->setSliderPosition(position);
                EXPECT_EQ(Picture(kept), Picture(plain));
                if (position == 250) {
                    EXPECT_EQ(kept.GetGrooveDraws(), grooves);
                    EXPECT_EQ(kept.GetSliderDraws(), sliders);
                }
            }
        }
    }
}

} // namespace
