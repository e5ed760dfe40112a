#pragma once
// A value box that holds a line of text (names): typing any printable character, Space or F2
// opens the editor in place; Return commits, Escape and leaving the editor drop what was typed.
// User-interface thread only.

#include "controls/EditValue.h"

class CEditText : public CEditValue {
    Q_OBJECT
public:
    explicit CEditText(QWidget* parent = nullptr);
    // Shows text (cut to the length limit) without a notification.
    void SetText(const QString& text);
    QString GetText() const override { return m_text; }
    bool AcceptText(const QString& text) override;

protected:
    bool HandleValueKey(QKeyEvent*) override { return false; }

private:
    QString m_text;
};
