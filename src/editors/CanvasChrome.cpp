#include "editors/CanvasChrome.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QStyle>
#include <QToolButton>

#include "controls/ButtonBitmap.h"

void AddZoomButtons(QAbstractScrollArea& canvas, const CZoomTips& tips,
                    const std::function<void(Qt::Orientation, int)>& zoom)
{
    struct SZoom {
        EArtwork art;
        Qt::Orientation axis;
        int direction;
        const char* tip;
    };
    const SZoom zooms[] = {{EArtwork::ZoomInH, Qt::Horizontal, 1, tips.timeIn},
                           {EArtwork::ZoomOutH, Qt::Horizontal, -1, tips.timeOut},
                           {EArtwork::ZoomInV, Qt::Vertical, 1, tips.rowsIn},
                           {EArtwork::ZoomOutV, Qt::Vertical, -1, tips.rowsOut}};
    // Square, or the scroll bar stretches them along itself.
    const int extent = canvas.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &canvas);
    for (const SZoom& entry : zooms) {
        auto* button = new CButtonBitmap(&canvas);
        button->setFixedSize(extent, extent);
        button->SetArtwork(entry.art);
        button->setToolTip(QCoreApplication::translate("CanvasChrome", entry.tip));
        const Qt::Orientation axis = entry.axis;
        const int direction = entry.direction;
        QObject::connect(button, &CButtonBitmap::Command, &canvas,
                         [zoom, axis, direction] { zoom(axis, direction); });
        canvas.addScrollBarWidget(button,
                                  axis == Qt::Horizontal ? Qt::AlignRight : Qt::AlignBottom);
    }
    canvas.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    canvas.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

QToolButton* MakeFollowButton(QWidget* parent, bool on, const std::function<void(bool)>& changed)
{
    auto* button = new QToolButton(parent);
    button->setText(QCoreApplication::translate("CanvasChrome", "Follow"));
    button->setCheckable(true);
    button->setAutoRaise(true);
    button->setChecked(on);
    button->setToolTip(
        QCoreApplication::translate("CanvasChrome", "Keep the playing position in view"));
    QObject::connect(button, &QToolButton::toggled, parent, changed);
    return button;
}
