#include "editors/PianoRollDialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "controls/EditValue.h"
#include "controls/SelectList.h"
#include "document/ProjectDoc.h"
#include "editing/ModifierCommands.h"
#include "editing/NoteOperations.h"
#include "editors/PianoRollContext.h"
#include "editors/ViewPianoRoll.h"
#include "model/MidiData.h"

namespace {

QDialogButtonBox* AddButtons(QDialog& dialog, QVBoxLayout& layout)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout.addWidget(buttons);
    return buttons;
}

void SetOrUndefine(CEditNumber& box, const std::optional<int32_t>& value)
{
    if (value)
        box.SetValue(*value);
    else
        box.SetUndefined();
}

std::optional<int32_t> ValueOf(const CEditNumber& box)
{
    if (box.IsUndefined()) return std::nullopt;
    return box.GetValue();
}

} // namespace

// ---- "Edit Note Properties" ----

CDlgNoteProperties::CDlgNoteProperties(const QString& title, const CNoteProperties& start,
                                       const CTimeSignature& signature, bool undefinable,
                                       QWidget* parent)
    : QDialog(parent), m_length(new CEditTime(CEditTime::EForm::Length, this)),
      m_velocity(new CEditByte(this)), m_offVelocity(new CEditByte(this))
{
    setWindowTitle(title);
    setObjectName(QStringLiteral("Edit Note Properties"));
    m_length->SetTimeSignature(signature);
    m_length->SetLimits(1, kOpenEnd);
    m_length->SetName(tr("Length"));
    m_velocity->SetLimits(1, 127);
    m_velocity->SetName(tr("Vel-On"));
    m_offVelocity->SetLimits(1, 127);
    m_offVelocity->SetName(tr("Vel-Off"));
    for (CEditNumber* box :
         {static_cast<CEditNumber*>(m_length), static_cast<CEditNumber*>(m_velocity),
          static_cast<CEditNumber*>(m_offVelocity)}) {
        box->SetFocusOwner(nullptr);
        box->setMinimumWidth(90);
        if (undefinable) box->SetFlags(CEditValue::kFlagUndefinable);
    }
    m_length->setToolTip(tr("Length of the notes (Escape or Delete leaves it as it is: \"-\")"));
    m_velocity->setToolTip(tr("Note-on velocity 1..127"));
    m_offVelocity->setToolTip(tr("Note-off velocity 1..127"));
    SetOrUndefine(*m_length, start.m_length);
    SetOrUndefine(*m_velocity, start.m_velocity);
    SetOrUndefine(*m_offVelocity, start.m_offVelocity);

    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(tr("Length"), m_length);
    form->addRow(tr("Vel-On"), m_velocity);
    form->addRow(tr("Vel-Off"), m_offVelocity);
    layout->addLayout(form);
    AddButtons(*this, *layout);
    m_length->setFocus();
}

CNoteProperties CDlgNoteProperties::GetValues() const
{
    CNoteProperties values;
    if (const std::optional<int32_t> length = ValueOf(*m_length)) values.m_length = *length;
    values.m_velocity = ValueOf(*m_velocity);
    values.m_offVelocity = ValueOf(*m_offVelocity);
    return values;
}

// ---- "Quantize..." ----

CDlgQuantize::CDlgQuantize(CNoteValue start, CNoteValue end, QWidget* parent, bool withEnd)
    : QDialog(parent), m_start(new CSelectList(CSelectList::EMode::OwnList, this)),
      m_end(new CSelectList(CSelectList::EMode::OwnList, this))
{
    setWindowTitle(QStringLiteral("Quantize..."));
    for (CSelectList* box : {m_start, m_end}) {
        box->SetItems(NoteValueItems());
        box->setMinimumWidth(90);
    }
    m_start->SetName(QStringLiteral("Start Q"));
    m_end->SetName(QStringLiteral("End Q"));
    m_start->setToolTip(tr("Note starts move down to this grid"));
    m_end->setToolTip(tr("Note ends move up to this grid"));
    m_start->SetValue(start.GetTicks());
    m_end->SetValue(end.GetTicks());
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Start Q"), m_start);
    if (withEnd)
        form->addRow(QStringLiteral("End Q"), m_end);
    else
        m_end->hide();
    layout->addLayout(form);
    AddButtons(*this, *layout);
}

CDlgChangeDefaultValue::CDlgChangeDefaultValue(const QString& label, int32_t percent,
                                               QWidget* parent)
    : QDialog(parent), m_value(new CEditNumber(this))
{
    setWindowTitle(QStringLiteral("Change Default Value"));
    m_value->SetName(label);
    m_value->SetLimits(1, 50);
    m_value->SetSteps(1, 10);
    m_value->SetValue(percent);
    m_value->setMinimumWidth(60);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(label, m_value);
    layout->addLayout(form);
    AddButtons(*this, *layout);
}

int32_t CDlgChangeDefaultValue::GetValue() const
{
    return m_value->GetValue();
}

CNoteValue CDlgQuantize::GetStart() const
{
    return CNoteValue(m_start->GetValue());
}

CNoteValue CDlgQuantize::GetEnd() const
{
    return CNoteValue(m_end->GetValue());
}

// ---- the canvas's dialog commands ----

bool CViewPianoRoll::QuantizeWithDialog()
{
    if (!HasSelection()) return false;
    CModifierSettings& settings = m_context.Settings();
    CDlgQuantize dialog(settings.GetQuantizeStart(), settings.GetQuantizeEnd(), this);
    if (dialog.exec() != QDialog::Accepted) return false;
    settings.SetQuantize(dialog.GetStart(), dialog.GetEnd());
    return Quantize();
}

bool CViewPianoRoll::EditProperties()
{
    CMidiData& data = m_context.GetData();
    const CTimeSignature& signature = m_context.GetDoc().GetTimeSignature();
    const std::optional<CNote> current = CurrentNote();
    const bool selection = !IsEmptyArea(m_area) && HasSelection();
    if (selection || current) {
        const CNote first = selection ? m_selected[0] : *current;
        CDlgNoteProperties dialog(
            selection ? QStringLiteral("Selected Notes...") : QStringLiteral("Current Note..."),
            {first.GetLength(), first.m_velocity, first.m_offVelocity}, signature, selection, this);
        if (dialog.exec() != QDialog::Accepted) return false;
        const CNoteProperties values = dialog.GetValues();
        CNoteList changed;
        const CNoteList& source = selection ? m_selected : CNoteList();
        auto apply = [&values](CNote note) {
            if (values.m_length) note.m_end = TickSum(note.m_start, *values.m_length);
            if (values.m_velocity) note.m_velocity = static_cast<uint8_t>(*values.m_velocity);
            if (values.m_offVelocity)
                note.m_offVelocity = static_cast<uint8_t>(*values.m_offVelocity);
            return note;
        };
        if (!selection) return Run(std::make_unique<COpNoteEdit>(data, *current, apply(*current)));
        for (const CNote& note : source)
            changed.Append(apply(note));
        const CNoteList before = m_selected;
        const CNoteArea area = m_area;
        return Run(std::make_unique<COpNotesModifyNamed>("Edit Notes", data, before, changed, area,
                                                         AreaWithNotes(area, changed)));
    }
    const CDefaultNote& def = m_context.GetDefaultNote();
    CDlgNoteProperties dialog(QStringLiteral("Default Note..."),
                              {def.m_length, def.m_velocity, def.m_offVelocity}, signature, false,
                              this);
    if (dialog.exec() != QDialog::Accepted) return false;
    const CNoteProperties values = dialog.GetValues();
    m_context.SetDefaultNote(
        {values.m_length.value_or(def.m_length),
         static_cast<uint8_t>(values.m_velocity.value_or(def.m_velocity)),
         static_cast<uint8_t>(values.m_offVelocity.value_or(def.m_offVelocity))});
    return true;
}
