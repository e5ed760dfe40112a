#pragma once
// The piano roll's dialogs: the note properties ("Edit Note Properties", titled for the
// selection, the current note or the default note) and "Quantize..." with its two grids.
// User-interface thread only.

#include <QDialog>

#include <optional>

#include "model/TimeBase.h"

class CEditByte;
class CEditNumber;
class CEditTime;
class CSelectList;

// Values of the note-properties dialog; an empty field is left as it is.
struct CNoteProperties {
    std::optional<tick> m_length;
    std::optional<int32_t> m_velocity;
    std::optional<int32_t> m_offVelocity;
};

class CDlgNoteProperties : public QDialog {
    Q_OBJECT
public:
    // undefinable: the fields may be left "-" (a selection of several notes).
    CDlgNoteProperties(const QString& title, const CNoteProperties& start,
                       const CTimeSignature& signature, bool undefinable,
                       QWidget* parent = nullptr);
    CNoteProperties GetValues() const;

    CEditTime& LengthBox() const { return *m_length; }
    CEditByte& VelocityBox() const { return *m_velocity; }
    CEditByte& OffVelocityBox() const { return *m_offVelocity; }

private:
    CEditTime* m_length;
    CEditByte* m_velocity;
    CEditByte* m_offVelocity;
};

class CDlgQuantize : public QDialog {
    Q_OBJECT
public:
    // Without an end grid (the event lane's) the dialog has the one field "Start Q".
    CDlgQuantize(CNoteValue start, CNoteValue end, QWidget* parent = nullptr, bool withEnd = true);
    CNoteValue GetStart() const;
    CNoteValue GetEnd() const;

    CSelectList& StartBox() const { return *m_start; }
    CSelectList& EndBox() const { return *m_end; }

private:
    CSelectList* m_start;
    CSelectList* m_end;
};

// "Change Default Value": the percentage of the event lane's "Increase by" or "Reduce by"
// (1..50), under the label "Increase %" or "Reduce %".
class CDlgChangeDefaultValue : public QDialog {
    Q_OBJECT
public:
    CDlgChangeDefaultValue(const QString& label, int32_t percent, QWidget* parent = nullptr);
    int32_t GetValue() const;
    CEditNumber& ValueBox() const { return *m_value; }

private:
    CEditNumber* m_value;
};
