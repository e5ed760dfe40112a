#pragma once
// A vertical fader for a 7-bit value (0..127) with an 18-pixel thumb: 127 at the top, 0 at the
// bottom. Dragging, keys and the wheel change it and emit ValueChanged with the fader's
// identifier; setting the value from the program only redraws. Its tooltip is the value alone,
// shown beside the pointer while dragging and on hover. User-interface thread only.

#include <QWidget>

class CFader : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThumbHeight = 18;

    explicit CFader(QWidget* parent = nullptr);

    void SetId(int id) { m_id = id; }
    int GetId() const { return m_id; }
    // Stores the value limited to 0..127 and redraws; true when it changed. No notification.
    bool SetValue(int value);
    int GetValue() const { return m_value; }

    // The thumb's top edge for a value, and the value for a thumb top, in a fader of `height`
    // pixels (integer arithmetic, limited to 0..127).
    static int ThumbTop(int value, int height);
    static int ValueAt(int thumbTop, int height);

    QSize sizeHint() const override { return QSize(22, 120); }

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

    int m_id = 0;
    int m_value = 0;
    bool m_dragging = false;
    int m_grabOffset = 0;
    int m_wheelRest = 0;
};
