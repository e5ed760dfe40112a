// The scroll bar with a kept groove picture must look exactly like a plain scroll bar in every
// state, and draw its groove again only when the look of the groove changes.

#include <gtest/gtest.h>

#include <QHoverEvent>
#include <QImage>
#include <QPalette>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <functional>
#include <memory>

#include "ControlsTestSupport.h"
#include "controls/ScrollBar.h"

namespace {

QImage Picture(QScrollBar& bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// A point inside one part of the bar, as the style lays it out.
QPoint PartCentre(QScrollBar& bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.orientation = bar.orientation();
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = bar.sliderPosition();
    option.sliderValue = bar.value();
    option.pageStep = bar.pageStep();
    option.singleStep = bar.singleStep();
    option.upsideDown = bar.invertedAppearance();
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

struct SState {
    const char* name;
    std::function<void(QScrollBar&)> apply;
};

TEST(CScrollBarTest, LooksLikeAPlainBarInEveryStateAndDrawsItsGrooveOncePerLook)
{
    const SState states[] = {
        {"at the top", [](QScrollBar& bar) { bar.setValue(0); }},
        {"at the bottom", [](QScrollBar& bar) { bar.setValue(bar.maximum()); }},
        {"slider hovered",
         [](QScrollBar& bar) { Hover(bar, PartCentre(bar, QStyle::SC_ScrollBarSlider)); }},
        {"slider pressed",
         [](QScrollBar& bar) {
             SendMouse(bar, QEvent::MouseButtonPress, PartCentre(bar, QStyle::SC_ScrollBarSlider),
                       Qt::LeftButton, Qt::LeftButton);
         }},
        {"arrow pressed",
         [](QScrollBar& bar) {
             SendMouse(bar, QEvent::MouseButtonPress, PartCentre(bar, QStyle::SC_ScrollBarAddLine),
                       Qt::LeftButton, Qt::LeftButton);
         }},
        {"page pressed",
         [](QScrollBar& bar) {
             SendMouse(bar, QEvent::MouseButtonPress, PartCentre(bar, QStyle::SC_ScrollBarAddPage),
                       Qt::LeftButton, Qt::LeftButton);
         }},
        {"disabled", [](QScrollBar& bar) { bar.setEnabled(false); }},
        {"other palette",
         [](QScrollBar& bar) {
             QPalette palette = bar.palette();
             palette.setColor(QPalette::Button, QColor(40, 90, 160));
             palette.setColor(QPalette::Window, QColor(200, 180, 60));
             bar.setPalette(palette);
         }},
        {"resized", [](QScrollBar& bar) { bar.resize(bar.size() + QSize(3, 57)); }},
    };
    for (const Qt::Orientation orientation : {Qt::Vertical, Qt::Horizontal}) {
        for (const SState& state : states) {
            SCOPED_TRACE(std::string(state.name) +
                         (orientation == Qt::Vertical ? ", vertical" : ", horizontal"));
            QScrollBar plain(orientation);
            CScrollBar kept(orientation);
            const QSize size = orientation == Qt::Vertical ? QSize(16, 600) : QSize(600, 16);
            for (QScrollBar* bar :
                 {static_cast<QScrollBar*>(&plain), static_cast<QScrollBar*>(&kept)}) {
                bar->setRange(0, 470);
                bar->setPageStep(30);
                bar->setValue(100);
                bar->resize(size);
            }
            const QImage before = Picture(plain);
            ASSERT_EQ(Picture(kept), before);

            state.apply(plain);
            state.apply(kept);
            const QImage changed = Picture(plain);
            EXPECT_NE(changed, before) << "the state does not show";
            EXPECT_EQ(Picture(kept), changed);

            // Moving the slider along the middle draws neither the groove nor the slider again.
            for (const int position : {200, 250}) {
                const int grooves = kept.GetGrooveDraws();
                const int sliders = kept.GetSliderDraws();
                plain.setSliderPosition(position);
                kept.setSliderPosition(position);
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
