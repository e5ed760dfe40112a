#include "controls/SelectList.h"

#include "model/TimeBase.h"

#include "controls/Theme.h"

#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {

const CSelectItem* FindIn(const std::vector<CSelectItem>& items, int32_t value)
{
    for (const CSelectItem& item : items) {
        if (item.separator) continue;
        if (!item.submenu.empty()) {
            if (const CSelectItem* found = FindIn(item.submenu, value)) return found;
        } else if (item.value == value) {
            return &item;
        }
    }
    return nullptr;
}

void AddEntries(QMenu& menu, const std::vector<CSelectItem>& items)
{
    for (const CSelectItem& item : items) {
        if (item.separator) {
            menu.addSeparator();
        } else if (!item.submenu.empty()) {
            AddEntries(*menu.addMenu(item.MenuText()), item.submenu);
        } else {
            QAction* action = menu.addAction(item.MenuText());
            action->setData(item.value);
        }
    }
}

} // namespace

CSelectList::CSelectList(EMode mode, QWidget* parent) : QWidget(parent), m_mode(mode)
{
    setFocusPolicy(Qt::StrongFocus);
    setFont(CTheme::SmallFont());
}

void CSelectList::SetName(const QString& name)
{
    m_name = name;
    setAccessibleName(name);
    setToolTip(m_text.isEmpty() ? name
               : name.isEmpty() ? m_text
                                : name + QStringLiteral(": ") + m_text);
}

void CSelectList::SetItems(std::vector<CSelectItem> items)
{
    m_items = std::move(items);
    if (const CSelectItem* item = FindItem(m_value)) SetSelection(m_value, item->shortText);
}

void CSelectList::AddItem(int32_t value, const QString& shortText, const QString& longText)
{
    m_items.push_back(CSelectItem{value, shortText, longText, false, {}});
}

void CSelectList::AddSeparator()
{
    m_items.push_back(CSelectItem::Separator());
}

const CSelectItem* CSelectList::FindItem(int32_t value) const
{
    return FindIn(m_items, value);
}

bool CSelectList::SetValue(int32_t value)
{
    const CSelectItem* item = FindItem(value);
    const bool changed = value != m_value;
    SetSelection(value, item != nullptr ? item->shortText : QString::number(value));
    return changed;
}

void CSelectList::SetSelection(int32_t value, const QString& text)
{
    m_value = value;
    m_text = text;
    SetName(m_name);
    update();
}

QMenu* CSelectList::BuildMenu(const std::vector<CSelectItem>& items, QWidget* parent)
{
    auto* menu = new QMenu(parent);
    AddEntries(*menu, items);
    return menu;
}

std::optional<int32_t> CSelectList::RunPopup(const std::vector<CSelectItem>& items)
{
    QMenu* menu = BuildMenu(items, this);
    const auto actions = menu->actions();
    const auto current = std::find_if(actions.begin(), actions.end(), [&](QAction* a) {
        return !a->isSeparator() && a->menu() == nullptr && a->data().toInt() == m_value;
    });
    if (current != actions.end()) menu->setActiveAction(*current);
    QAction* chosen = menu->exec(mapToGlobal(rect().bottomLeft()));
    std::optional<int32_t> result;
    if (chosen != nullptr && chosen->data().isValid()) result = chosen->data().toInt();
    menu->deleteLater();
    return result;
}

void CSelectList::ChooseByUser(int32_t value)
{
    const bool changed = SetValue(value);
    if (changed) emit ValueChanged(m_id);
}

void CSelectList::Activate()
{
    setFocus(Qt::MouseFocusReason);
    if (m_mode == EMode::NotifyOnly) {
        emit Clicked(m_id);
        return;
    }
    if (const std::optional<int32_t> chosen = RunPopup(m_items)) ChooseByUser(*chosen);
}

void CSelectList::ChooseNeighbour(int direction)
{
    std::vector<int32_t> values;
    for (const CSelectItem& item : m_items)
        if (!item.separator && item.submenu.empty()) values.push_back(item.value);
    if (values.empty()) return;
    const auto it = std::find(values.begin(), values.end(), m_value);
    int index = it == values.end() ? 0 : static_cast<int>(it - values.begin()) + direction;
    index = std::clamp(index, 0, static_cast<int>(values.size()) - 1);
    ChooseByUser(values[static_cast<size_t>(index)]);
}

QSize CSelectList::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(std::max(48, metrics.horizontalAdvance(m_text) + 22), metrics.height() + 6);
}

QRect CSelectList::TextRect() const
{
    return rect().adjusted(4, 1, -14, -1); // the arrow takes the right end
}

QString CSelectList::GetShownText() const
{
    return fontMetrics().elidedText(m_text, Qt::ElideRight, TextRect().width());
}

void CSelectList::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), CTheme::DisplayBackground());
    p.setPen(hasFocus() ? CTheme::FocusFrame() : CTheme::Frame());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    const QColor text = isEnabled() ? CTheme::ValueColour() : CTheme::DisabledText();
    p.setPen(text);
    p.drawText(TextRect(), Qt::AlignLeft | Qt::AlignVCenter, GetShownText());
    // A small down arrow says the field opens a list.
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF c(width() - 8.0, height() / 2.0 + 1.0);
    QPainterPath arrow;
    arrow.moveTo(c + QPointF(-3.5, -2));
    arrow.lineTo(c + QPointF(3.5, -2));
    arrow.lineTo(c + QPointF(0, 2));
    arrow.closeSubpath();
    p.fillPath(arrow, text);
}

void CSelectList::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Activate();
    else
        QWidget::mousePressEvent(event);
}

void CSelectList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_F4:
        Activate();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (m_mode == EMode::OwnList) {
            ChooseNeighbour(event->key() == Qt::Key_Down ? 1 : -1);
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

void CSelectList::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void CSelectList::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

std::vector<CSelectItem> NoteValueItems()
{
    std::vector<CSelectItem> items;
    for (const CNoteValueEntry& entry : NoteValueTable())
        items.push_back({entry.m_ticks,
                         QString::fromLatin1(entry.m_shortName),
                         QString::fromLatin1(entry.m_longName),
                         false,
                         {}});
    return items;
}
