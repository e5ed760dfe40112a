#pragma once
// A push button drawn from painted faces (normal, pressed, disabled) with a latched flag for
// toggles. It shows the pressed face while held or latched. Toggling is the owner's business: it
// reacts to the signals and sets the latched flag. User-interface thread only.

#include "controls/Theme.h"

#include <QWidget>

#include <optional>

class CButtonBitmap : public QWidget {
    Q_OBJECT
public:
    // Notification codes, for owners that dispatch on one code.
    static constexpr int kNotifyReleased = 18602;
    static constexpr int kNotifyPressed = 18604;
    static constexpr int kNotifyRightButton = 18605;

    explicit CButtonBitmap(QWidget* parent = nullptr);

    void SetId(int id) { m_id = id; }
    int GetId() const { return m_id; }
    // The three faces; without a disabled face the normal glyph is shown greyed.
    void SetFaces(const CArtFace& normal, const CArtFace& pressed,
                  std::optional<CArtFace> disabled = std::nullopt);
    // Normal, pressed and disabled faces of one glyph.
    void SetArtwork(EArtwork art);
    // No faces: the button is drawn black.
    void ClearFaces();
    bool HasFaces() const { return m_normal.has_value(); }
    // The face the button shows now.
    std::optional<CArtFace> GetShownFace() const;

    // Redraws only when the flag changes.
    void SetLatched(bool latched);
    bool IsLatched() const { return m_latched; }
    // The mouse button (or Space) is held on it.
    bool IsHeld() const { return m_held; }

    QSize sizeHint() const override { return QSize(16, 19); }

signals:
    // In this order on a press: the command, then ButtonPressed.
    void Command(int id);
    void ButtonPressed(int id);
    void ButtonReleased(int id);
    void RightButton(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void Press();
    void Release();

    int m_id = 0;
    std::optional<CArtFace> m_normal;
    std::optional<CArtFace> m_pressed;
    std::optional<CArtFace> m_disabled;
    bool m_latched = false;
    bool m_held = false;
};
