#include "editors/EventLaneBar.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include "controls/EditValue.h"
#include "controls/Theme.h"
#include "devices/MidiNames.h"

namespace {

// The controllers the kind popup names directly.
constexpr uint8_t kNamedControllers[] = {1, 2, 4, 7, 8, 10, 11, 64};

QString ControllerText(uint8_t number)
{
    return QString::fromStdString(ControllerName(number));
}

// The selector's three pictures, drawn at the screen's ratio: an arrow, a pencil stroke, a line.
QIcon ToolIcon(EDrawTool tool, qreal ratio)
{
    constexpr int kSize = 16;
    QPixmap pixmap(QSize(kSize, kSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(CTheme::PanelLabel(), 1.5));
    switch (tool) {
    case EDrawTool::None: {
        QPainterPath arrow;
        arrow.moveTo(4, 2);
        arrow.lineTo(4, 13);
        arrow.lineTo(7, 10);
        arrow.lineTo(10, 14);
        arrow.lineTo(11.5, 13);
        arrow.lineTo(8.5, 9);
        arrow.lineTo(12, 9);
        arrow.closeSubpath();
        painter.drawPath(arrow);
        break;
    }
    case EDrawTool::Freehand: {
        QPainterPath wave;
        wave.moveTo(1, 11);
        wave.cubicTo(5, 1, 9, 15, 15, 4);
        painter.drawPath(wave);
        break;
    }
    case EDrawTool::Line:
        painter.drawLine(QPointF(2, 13), QPointF(14, 3));
        painter.drawEllipse(QPointF(2, 13), 1.2, 1.2);
        painter.drawEllipse(QPointF(14, 3), 1.2, 1.2);
        break;
    }
    return QIcon(pixmap);
}

QToolButton* Field(QWidget* parent, const QString& tip)
{
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFont(CTheme::SmallFont());
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(tip);
    QPalette palette = button->palette();
    palette.setColor(QPalette::ButtonText, CTheme::ValueColour());
    button->setPalette(palette);
    return button;
}

} // namespace

CEventLaneBar::CEventLaneBar(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(3);
    m_kind = Field(this, tr("Which events the lane shows"));
    m_kind->setMinimumWidth(52);
    connect(m_kind, &QToolButton::clicked, this, [this] { PopUp(*m_kind, BuildKindMenu()); });
    row->addWidget(m_kind);

    m_controller = Field(this, tr("The controller the lane shows"));
    connect(m_controller, &QToolButton::clicked, this,
            [this] { PopUp(*m_controller, BuildControllerMenu()); });
    row->addWidget(m_controller);

    m_key = new CEditNote(this);
    m_key->SetName(tr("Key"));
    m_key->setMinimumWidth(44);
    m_key->setToolTip(tr("The key whose poly pressure the lane shows"));
    connect(m_key, &CEditValue::ValueChanged, this, [this] {
        if (!m_key->IsUndefined())
            emit KindChosen(PolyPressureLane(static_cast<uint8_t>(m_key->GetValue())));
    });
    row->addWidget(m_key);

    m_toolButton = Field(this, tr("Drawing tool: none (select), freehand or line"));
    connect(m_toolButton, &QToolButton::clicked, this, [this] {
        SetTool(static_cast<EDrawTool>((static_cast<int>(m_tool) + 1) % 3));
        emit ToolChosen(m_tool);
    });
    row->addWidget(m_toolButton);
    row->addStretch(1);
    SetTool(EDrawTool::None);
    ShowKind(kLaneDefault);
}

void CEventLaneBar::ShowKind(LaneKind kind)
{
    m_shown = kind;
    m_kind->setText(QString::fromStdString(LaneShortName(kind)));
    const uint8_t status = LaneStatus(kind);
    m_controller->setVisible(status == kKindControlChange);
    m_controller->setText(QString::asprintf("Cc:%3d", LaneSelector(kind)));
    m_key->setVisible(status == kKindPolyPressure);
    m_key->SetValue(LaneSelector(kind));
}

void CEventLaneBar::SetTool(EDrawTool tool)
{
    m_tool = tool;
    m_toolButton->setIcon(ToolIcon(tool, devicePixelRatioF()));
}

void CEventLaneBar::PopUp(QToolButton& field, QMenu* menu)
{
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(field.mapToGlobal(QPoint(0, field.height())));
}

QMenu* CEventLaneBar::BuildKindMenu()
{
    auto* menu = new QMenu(this);
    auto add = [this](QMenu* into, const QString& text, LaneKind kind) {
        QAction* action = into->addAction(text);
        action->setCheckable(true);
        action->setChecked(kind == m_shown);
        connect(action, &QAction::triggered, this, [this, kind] { emit KindChosen(kind); });
    };
    add(menu, QStringLiteral("Velocity (On)"), kLaneVelocityOn);
    add(menu, QStringLiteral("Velocity (Off)"), kLaneVelocityOff);
    menu->addSeparator();
    // The kinds with a key or controller keep the one shown, else start at the first.
    const bool poly = LaneStatus(m_shown) == kKindPolyPressure;
    const bool control = LaneStatus(m_shown) == kKindControlChange;
    add(menu, QStringLiteral("Poly Pressure"),
        PolyPressureLane(poly ? LaneSelector(m_shown) : 60));
    add(menu, QStringLiteral("Control Change"),
        ControllerLane(control ? LaneSelector(m_shown) : 7));
    add(menu, QStringLiteral("Program Change"), kLaneProgram);
    add(menu, QStringLiteral("Channel Aftertouch"), kLaneChannelAftertouch);
    add(menu, QStringLiteral("Pitch Bender"), kLanePitchBend);
    menu->addSeparator();
    QMenu* controllers = menu->addMenu(QStringLiteral("Controller"));
    for (uint8_t number : kNamedControllers)
        add(controllers, ControllerText(number), ControllerLane(number));
    return menu;
}

QMenu* CEventLaneBar::BuildControllerMenu()
{
    auto* menu = new QMenu(this);
    for (int group = 0; group < 4; ++group) {
        QMenu* sub =
            menu->addMenu(QStringLiteral("(%1..%2)").arg(group * 32).arg(group * 32 + 31));
        for (int number = group * 32; number < group * 32 + 32; ++number) {
            const LaneKind kind = ControllerLane(static_cast<uint8_t>(number));
            QAction* action = sub->addAction(ControllerText(static_cast<uint8_t>(number)));
            action->setCheckable(true);
            action->setChecked(kind == m_shown);
            connect(action, &QAction::triggered, this, [this, kind] { emit KindChosen(kind); });
        }
    }
    return menu;
}
