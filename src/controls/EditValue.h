#pragma once
// The value boxes: flat coloured fields that show one number, time, note, pan position or tempo,
// open a one-line editor in place when the user starts typing, and step by keys, vertical mouse
// drags and the wheel. Values beyond the limits are brought to the nearest limit, never refused.
// Every change the user makes emits ValueChanged with the box's identifier; setting the value
// from the program emits nothing.
//
// User-interface thread only.

#include "model/TimeBase.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>

class QLineEdit;

class CEditValue : public QWidget {
    Q_OBJECT
public:
    // Escape and Delete make the value undefined.
    static constexpr int kFlagUndefinable = 1;
    static constexpr int kDefaultMaxLength = 255;
    // Notification codes, for owners that dispatch on one code.
    static constexpr int kNotifyValueChanged = 18600;

    explicit CEditValue(QWidget* parent = nullptr);
    ~CEditValue() override;

    // The identifier the notifications carry.
    void SetId(int id) { m_id = id; }
    int GetId() const { return m_id; }
    // What the box edits ("Tempo", "Vel"...), shown in the tooltip before the value.
    void SetName(const QString& name);
    const QString& GetName() const { return m_name; }
    // The characters that may be typed (Backspace always may).
    void SetAllowedChars(const QString& chars) { m_allowed = chars; }
    const QString& GetAllowedChars() const { return m_allowed; }
    // The editor's length limit in characters.
    void SetMaxLength(int length) { m_maxLength = length; }
    int GetMaxLength() const { return m_maxLength; }
    void SetFlags(int flags) { m_flags = flags; }
    int GetFlags() const { return m_flags; }
    void SetAlignment(Qt::Alignment alignment);
    // Where the focus goes when typing ends (default: the parent widget; null: stay here).
    void SetFocusOwner(QWidget* owner)
    {
        m_focusOwner = owner;
        m_focusOwnerSet = true;
    }

    // The text the box shows for its value.
    virtual QString GetText() const = 0;
    // Parses typed text; on success stores the value (brought into the limits) and returns true.
    // Rejected text changes nothing.
    virtual bool AcceptText(const QString& text) = 0;

    // The in-place editor while it is open, else null.
    QLineEdit* GetEditor() const { return m_editor; }
    bool IsEditing() const { return m_editor != nullptr; }
    // Opens the editor with `text`, all selected or with the cursor after it.
    void OpenEditor(const QString& text, bool selectAll = true);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void ValueChanged(int id);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // A key on the focused box before the editor is open; true when it was used.
    virtual bool HandleValueKey(QKeyEvent* event) = 0;
    // Redraws and refreshes the tooltip after the value changed.
    void ValueShown();
    void NotifyChanged() { emit ValueChanged(m_id); }

private:
    void CommitEditor();
    void CloseEditor(bool giveFocusAway);

    int m_id = 0;
    QString m_name;
    QString m_allowed;
    int m_maxLength = kDefaultMaxLength;
    int m_flags = 0;
    Qt::Alignment m_alignment = Qt::AlignRight | Qt::AlignVCenter;
    QPointer<QWidget> m_focusOwner;
    bool m_focusOwnerSet = false;
    QLineEdit* m_editor = nullptr;
};

// A signed 32-bit number with limits and two steps. The base of every value box.
class CEditNumber : public CEditValue {
    Q_OBJECT
public:
    static constexpr int32_t kUndefined = INT32_MIN;

    explicit CEditNumber(QWidget* parent = nullptr);

    // Also sets the editor's length limit to the characters the wider limit needs, plus one.
    // The current value is brought into the new limits.
    void SetLimits(int32_t lower, int32_t upper);
    int32_t GetLower() const { return m_lower; }
    int32_t GetUpper() const { return m_upper; }
    void SetSteps(int32_t small, int32_t large);
    int32_t GetSmallStep() const { return m_smallStep; }
    int32_t GetLargeStep() const { return m_largeStep; }
    // The value a step sets while the value is undefined.
    void SetStartValue(int32_t value) { m_startValue = value; }

    // Stores a value brought into the limits (kUndefined makes the box undefined); true when it
    // changed. No notification: this is the owner showing the model.
    bool SetValue(int32_t value);
    int32_t GetValue() const { return m_value; }
    bool IsUndefined() const { return m_value == kUndefined; }
    void SetUndefined() { SetValue(kUndefined); }

    // Steps by `units` (negative: down) the way keys and drags do: one unit at a time, stopping
    // early at a multiple of the large step. Notifies when the value changed.
    void StepBy(int64_t units);
    // The stepping rule on its own: value moved by units, stopping at the first multiple of
    // `large` counted from `origin` (no stop when large < 2).
    static int64_t SteppedValue(int64_t value, int64_t units, int64_t large, int64_t origin);

    // Box-specific reading and writing of the value's text.
    virtual bool Parse(const QString& text, int32_t& value) const;
    virtual QString Format(int32_t value) const;

    QString GetText() const override;
    bool AcceptText(const QString& text) override;

protected:
    bool HandleValueKey(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

    // Units per pixel of drag and per wheel notch.
    virtual int DragFactor() const { return 1; }
    // Where the multiples of the large step are counted from.
    virtual int32_t StepOrigin() const { return 0; }
    // A change by the user: stored, and notified when it changed.
    void ChangeByUser(int64_t value);

private:
    int32_t Clamp(int64_t value) const;

    int32_t m_lower = -2147483647;
    int32_t m_upper = 2147483647;
    int32_t m_value = 0;
    int32_t m_smallStep = 1;
    int32_t m_largeStep = 100;
    int32_t m_startValue = 0;
    bool m_dragging = false;
    QPoint m_dragOrigin;
    QPoint m_lastPos;
    int m_wheelRest = 0;
};

// 0..127, "%d".
class CEditByte : public CEditNumber {
    Q_OBJECT
public:
    explicit CEditByte(QWidget* parent = nullptr);
};

// A time in ticks, shown as a position ("1.1.01") or as a signed length ("+0.1.00"), with the
// box's own copy of the project's time signature.
class CEditTime : public CEditNumber {
    Q_OBJECT
public:
    enum class EForm { Position, Length };

    explicit CEditTime(EForm form = EForm::Position, QWidget* parent = nullptr);

    EForm GetForm() const { return m_form; }
    // Also makes the large step one beat.
    void SetTimeSignature(const CTimeSignature& signature);
    const CTimeSignature& GetTimeSignature() const { return m_signature; }

    bool Parse(const QString& text, int32_t& value) const override;
    QString Format(int32_t value) const override;

private:
    EForm m_form;
    CTimeSignature m_signature;
};

// A pitch 0..127 by name: "C0".."G10", with H for B.
class CEditNote : public CEditNumber {
    Q_OBJECT
public:
    explicit CEditNote(QWidget* parent = nullptr);
    bool Parse(const QString& text, int32_t& value) const override;
    QString Format(int32_t value) const override;
};

// A pan position: "64L".."1L", "0", "1R".."63R". The value seen from outside is pan + 64
// (0..127), as the MIDI controller carries it.
class CEditPan : public CEditNumber {
    Q_OBJECT
public:
    explicit CEditPan(QWidget* parent = nullptr);
    bool Parse(const QString& text, int32_t& value) const override;
    QString Format(int32_t value) const override;

protected:
    int32_t StepOrigin() const override { return 64; }
};

// A tempo in hundredths of a beat per minute, 20.00 .. 250.00 BPM, shown "%d.%02d".
class CEditTempo : public CEditNumber {
    Q_OBJECT
public:
    explicit CEditTempo(QWidget* parent = nullptr);
    bool Parse(const QString& text, int32_t& value) const override;
    QString Format(int32_t value) const override;

protected:
    // A pixel or a wheel notch is one beat per minute.
    int DragFactor() const override { return 100; }
};
