#include "controls/EditValue.h"

#include "controls/PointerWarp.h"
#include "controls/Theme.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <cmath>

namespace {

// The character a key stands for when deciding whether it opens the editor: the upper-case
// letter of a letter key, the digit of a digit key (keypad digits included), else none.
QChar KeyCharacter(const QKeyEvent& event)
{
    const int key = event.key();
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return QChar(u'A' + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return QChar(u'0' + (key - Qt::Key_0));
    return {};
}

bool IsPlainKey(const QKeyEvent& event)
{
    return (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
}

constexpr int kDragThreshold = 3; // pixels a drag must move before the value steps
constexpr int kWheelNotch = 120;

} // namespace

// ---- CEditValue ----

CEditValue::CEditValue(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(CTheme::SmallFont());
}

CEditValue::~CEditValue() = default;

void CEditValue::SetName(const QString& name)
{
    m_name = name;
    setAccessibleName(name);
    ValueShown();
}

void CEditValue::SetAlignment(Qt::Alignment alignment)
{
    m_alignment = alignment;
    update();
}

QSize CEditValue::sizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(std::max(48, metrics.horizontalAdvance(GetText()) + 12), metrics.height() + 6);
}

QSize CEditValue::minimumSizeHint() const
{
    return QSize(24, QFontMetrics(font()).height() + 4);
}

void CEditValue::ValueShown()
{
    const QString text = GetText();
    setToolTip(m_name.isEmpty() ? text : m_name + QStringLiteral(": ") + text);
    update();
}

void CEditValue::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool active = hasFocus() || IsEditing();
    p.fillRect(rect(), active ? CTheme::FocusBackground() : CTheme::DisplayBackground());
    p.setPen(active ? CTheme::FocusFrame() : CTheme::Frame());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (IsEditing()) return;
    p.setPen(!isEnabled() ? CTheme::DisabledText()
             : active     ? QColor(Qt::white)
                          : CTheme::ValueColour());
    p.drawText(rect().adjusted(3, 1, -3, -1), static_cast<int>(m_alignment), GetText());
}

void CEditValue::OpenEditor(const QString& text, bool selectAll)
{
    if (!isEnabled()) return;
    if (m_editor == nullptr) {
        m_editor = new QLineEdit(this);
        m_editor->setFrame(false);
        m_editor->setFont(font());
        m_editor->setAlignment(m_alignment);
        QPalette palette = m_editor->palette();
        palette.setColor(QPalette::Base, CTheme::FocusBackground());
        palette.setColor(QPalette::Text, Qt::white);
        palette.setColor(QPalette::Highlight, CTheme::ValueColour());
        palette.setColor(QPalette::HighlightedText, CTheme::DisplayBackground());
        m_editor->setPalette(palette);
        const QString pattern = QStringLiteral("[%1]*").arg(QRegularExpression::escape(m_allowed));
        m_editor->setValidator(
            new QRegularExpressionValidator(QRegularExpression(pattern), m_editor));
        m_editor->installEventFilter(this);
    }
    m_editor->setMaxLength(m_maxLength);
    m_editor->setGeometry(rect().adjusted(3, 1, -3, -1));
    m_editor->setText(text.left(m_maxLength));
    if (selectAll)
        m_editor->selectAll();
    else
        m_editor->end(false);
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
    update();
}

void CEditValue::CommitEditor()
{
    if (m_editor == nullptr) return;
    const QString text = m_editor->text();
    if (AcceptText(text)) NotifyChanged();
    CloseEditor(true);
}

void CEditValue::CloseEditor(bool giveFocusAway)
{
    if (m_editor == nullptr) return;
    QLineEdit* editor = m_editor;
    m_editor = nullptr;
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    if (giveFocusAway) {
        QWidget* owner = m_focusOwnerSet ? m_focusOwner.data() : parentWidget();
        if (owner != nullptr)
            owner->setFocus(Qt::OtherFocusReason);
        else
            setFocus(Qt::OtherFocusReason);
    }
    update();
}

bool CEditValue::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_editor) return QWidget::eventFilter(watched, event);
    if (event->type() == QEvent::ShortcutOverride) {
        // What is typed into an open editor is text, not the window's shortcuts (Return, Delete,
        // single letters): plain and shifted keys stay here.
        if (IsPlainKey(*static_cast<QKeyEvent*>(event))) {
            event->accept();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            CommitEditor();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            CloseEditor(true);
            return true;
        }
    } else if (event->type() == QEvent::FocusOut) {
        // Leaving the editor drops what was typed.
        CloseEditor(false);
    }
    return false;
}

void CEditValue::keyPressEvent(QKeyEvent* event)
{
    if (!IsPlainKey(*event)) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_F2) {
        OpenEditor(GetText());
        return;
    }
    if (HandleValueKey(event)) return;
    const QChar c = KeyCharacter(*event);
    if (!c.isNull() && m_allowed.contains(c)) {
        OpenEditor(QString(c), false);
        return;
    }
    QWidget::keyPressEvent(event);
}

void CEditValue::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OpenEditor(GetText());
    else
        QWidget::mouseDoubleClickEvent(event);
}

void CEditValue::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void CEditValue::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

void CEditValue::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) CloseEditor(false);
        update();
    }
    QWidget::changeEvent(event);
}

// ---- CEditNumber ----

CEditNumber::CEditNumber(QWidget* parent) : CEditValue(parent)
{
    SetAllowedChars(QStringLiteral("-0123456789"));
    SetLimits(m_lower, m_upper);
}

int32_t CEditNumber::Clamp(int64_t value) const
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, m_lower, m_upper));
}

void CEditNumber::SetLimits(int32_t lower, int32_t upper)
{
    if (lower > upper) std::swap(lower, upper);
    m_lower = lower;
    m_upper = upper;
    const int64_t widest = std::max(std::abs(int64_t{lower}), std::abs(int64_t{upper}));
    SetMaxLength(widest < 1 ? 2 : static_cast<int>(std::floor(std::log10(double(widest)))) + 2);
    if (!IsUndefined()) SetValue(m_value);
}

void CEditNumber::SetSteps(int32_t small, int32_t large)
{
    m_smallStep = small;
    m_largeStep = large;
}

bool CEditNumber::SetValue(int32_t value)
{
    const int32_t stored = value == kUndefined ? kUndefined : Clamp(value);
    if (stored == m_value && stored != kUndefined) return false;
    const bool changed = stored != m_value;
    m_value = stored;
    ValueShown();
    return changed;
}

void CEditNumber::ChangeByUser(int64_t value)
{
    if (SetValue(Clamp(value))) NotifyChanged();
}

int64_t CEditNumber::SteppedValue(int64_t value, int64_t units, int64_t large, int64_t origin)
{
    if (units == 0) return value;
    const int64_t target = value + units;
    if (large < 2) return target;
    // The first multiple of `large` (counted from origin) strictly beyond value.
    const int64_t offset = value - origin;
    int64_t rest = offset % large;
    if (rest < 0) rest += large;
    const int64_t next =
        units > 0 ? value - rest + large : (rest == 0 ? value - large : value - rest);
    return units > 0 ? std::min(target, next) : std::max(target, next);
}

void CEditNumber::StepBy(int64_t units)
{
    if (IsUndefined()) {
        ChangeByUser(m_startValue);
        return;
    }
    ChangeByUser(SteppedValue(m_value, units, m_largeStep, StepOrigin()));
}

bool CEditNumber::Parse(const QString& text, int32_t& value) const
{
    // Optional sign, then the leading digits; what follows is ignored and no digits read as 0.
    const QString t = text.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+')) negative = t[i++] == u'-';
    int64_t magnitude = 0;
    for (; i < t.size() && t[i].isDigit(); ++i)
        magnitude = std::min<int64_t>(magnitude * 10 + t[i].digitValue(), int64_t{1} << 32);
    value = Clamp(negative ? -magnitude : magnitude);
    return true;
}

QString CEditNumber::Format(int32_t value) const
{
    return QString::number(value);
}

QString CEditNumber::GetText() const
{
    return IsUndefined() ? QStringLiteral("-") : Format(m_value);
}

bool CEditNumber::AcceptText(const QString& text)
{
    int32_t value = 0;
    if (!Parse(text, value)) return false;
    SetValue(Clamp(value)); // a parsed value is a number, never the undefined one
    return true;
}

bool CEditNumber::HandleValueKey(QKeyEvent* event)
{
    const QString text = event->text();
    const int key = event->key();
    const bool keypad = (event->modifiers() & Qt::KeypadModifier) != 0;
    if (text == QStringLiteral("+") || (keypad && key == Qt::Key_Plus)) {
        StepBy(m_smallStep);
    } else if (text == QStringLiteral("-") || (keypad && key == Qt::Key_Minus)) {
        StepBy(-int64_t{m_smallStep});
    } else if (text == QStringLiteral("]")) {
        StepBy(m_largeStep);
    } else if (text == QStringLiteral("[")) {
        StepBy(-int64_t{m_largeStep});
    } else if (key == Qt::Key_0) {
        ChangeByUser(0);
    } else if (key == Qt::Key_Escape || key == Qt::Key_Delete) {
        if ((GetFlags() & kFlagUndefinable) == 0) return false;
        if (SetValue(kUndefined)) NotifyChanged();
    } else {
        return false;
    }
    return true;
}

void CEditNumber::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CEditValue::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    m_dragOrigin = event->position().toPoint();
    m_lastPos = m_dragOrigin;
    setCursor(Qt::BlankCursor);
}

void CEditNumber::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging) return;
    const QPoint pos = event->position().toPoint();
    const int distance = m_lastPos.y() - pos.y(); // upward is positive
    if (std::abs(distance) <= kDragThreshold) return;
    StepBy(int64_t{distance} * DragFactor());
    // The pointer goes back where the drag started.
    m_lastPos = WarpPointerHome(*this, m_dragOrigin, pos);
}

void CEditNumber::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragging) return;
    m_dragging = false;
    unsetCursor();
}

void CEditNumber::wheelEvent(QWheelEvent* event)
{
    m_wheelRest += event->angleDelta().y();
    const int notches = m_wheelRest / kWheelNotch;
    if (notches == 0) return;
    m_wheelRest -= notches * kWheelNotch;
    // Each notch is one step, so a fast turn does not stop at the first multiple.
    const bool large = (event->modifiers() & Qt::ControlModifier) != 0;
    const int64_t step = large ? m_largeStep : DragFactor();
    for (int i = 0; i < std::abs(notches); ++i)
        StepBy(notches > 0 ? step : -step);
    event->accept();
}
