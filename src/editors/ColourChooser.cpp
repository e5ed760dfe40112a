#include "editors/ColourChooser.h"

#include <QColorDialog>
#include <QGridLayout>
#include <QMenu>
#include <QPainter>
#include <QToolButton>
#include <QWidgetAction>

#include "controls/Theme.h"

namespace {

constexpr int kColumns = 8;
constexpr int kSwatch = 18;

QIcon SwatchIcon(const QColor& colour, bool current)
{
    QPixmap pixmap(kSwatch * 2, kSwatch * 2);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(colour);
    QPainter p(&pixmap);
    p.setPen(current ? Qt::white : QColor(60, 60, 60));
    p.drawRect(0, 0, kSwatch - 1, kSwatch - 1);
    return QIcon(pixmap);
}

} // namespace

std::optional<uint32_t> ChooseObjectColour(QWidget* parent, const QPoint& globalPos,
                                           uint32_t current, uint32_t defaultColour)
{
    QMenu menu(parent);
    std::optional<uint32_t> chosen;
    QAction* byDefault = menu.addAction(QObject::tr("Default"));
    auto* grid = new QWidget(&menu);
    auto* layout = new QGridLayout(grid);
    layout->setSpacing(2);
    layout->setContentsMargins(4, 4, 4, 4);
    for (int i = 0; i < CTheme::ObjectColourCount(); ++i) {
        const QColor colour = CTheme::ObjectColour(i);
        const uint32_t ref = CTheme::ToColourRef(colour);
        auto* button = new QToolButton(grid);
        button->setAutoRaise(true);
        button->setIcon(SwatchIcon(colour, ref == current));
        button->setIconSize(QSize(kSwatch, kSwatch));
        button->setToolTip(colour.name());
        button->setAccessibleName(QObject::tr("Colour %1").arg(i + 1));
        QObject::connect(button, &QToolButton::clicked, &menu, [&menu, &chosen, ref] {
            chosen = ref;
            menu.close();
        });
        layout->addWidget(button, i / kColumns, i % kColumns);
    }
    auto* gridAction = new QWidgetAction(&menu);
    gridAction->setDefaultWidget(grid);
    menu.addAction(gridAction);
    QAction* custom = menu.addAction(QObject::tr("Custom"));
    QAction* picked = menu.exec(globalPos);
    if (picked == byDefault) return defaultColour;
    if (picked == custom) {
        const QColor colour = QColorDialog::getColor(CTheme::FromColourRef(current), parent);
        if (!colour.isValid()) return std::nullopt;
        return CTheme::ToColourRef(colour);
    }
    return chosen;
}
