#pragma once
// A rotary knob for a 7-bit value (0..127): the value knob and the pan knob of the mixer. Vertical
// drags, keys and the wheel change it; every change by the user emits ValueChanged with the
// knob's identifier. User-interface thread only.

#include <QPoint>
#include <QWidget>

class CKnob : public QWidget {
    Q_OBJECT
public:
    enum class EKind { Value, Pan };

    explicit CKnob(EKind kind = EKind::Value, QWidget* parent = nullptr);

    void SetId(int id) { m_id = id; }
    int GetId() const { return m_id; }
    EKind GetKind() const { return m_kind; }
    // Stores the value limited to 0..127 and redraws; true when it changed. No notification.
    bool SetValue(int value);
    int GetValue() const { return m_value; }
    // What the "0" key sets: 0 for a value knob, 64 (centre) for a pan knob.
    int GetResetValue() const { return m_kind == EKind::Pan ? 64 : 0; }
    // "Value: %d" or "Pan: %s" with the pan text.
    QString GetToolTipText() const;

    QSize sizeHint() const override { return QSize(28, 28); }

signals:
    void ValueChanged(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void ChangeByUser(int value);
    QPoint Centre() const { return rect().center(); }

    int m_id = 0;
    EKind m_kind;
    int m_value = 0;
    bool m_dragging = false;
    QPoint m_lastPos;
    int m_wheelRest = 0;
};
