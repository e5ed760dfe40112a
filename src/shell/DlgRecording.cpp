#include "shell/DlgRecording.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QVBoxLayout>

#include "document/ProjectDoc.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/PlayControl.h"
#include "model/HarmonicScale.h"
#include "model/TimeBase.h"
#include "shell/ChildFrames.h"
#include "shell/Dialogs.h"
#include "shell/ProjectWindowRegistry.h"

namespace {

// The grids offered, in ticks; 0 is none.
struct SGrid {
    int32_t ticks;
    const char* name;
};
constexpr SGrid kGrids[] = {
    {0, "none"},
    {kTicksPerQuarter / 8, "1/32"},
    {kTicksPerQuarter / 4, "1/16"},
    {kTicksPerQuarter / 3, "1/8 triplet"},
    {kTicksPerQuarter / 2, "1/8"},
    {kTicksPerQuarter, "1/4"},
    {kTicksPerQuarter * 2, "1/2"},
    {kTicksPerQuarter * 4, "1/1"},
};

void FillGrid(QComboBox& box, int32_t current)
{
    for (const SGrid& grid : kGrids)
        box.addItem(QString::fromUtf8(grid.name), grid.ticks);
    // A stored grid the list does not know stays as it was.
    if (box.findData(current) < 0) box.addItem(QStringLiteral("%1 ticks").arg(current), current);
    box.setCurrentIndex(box.findData(current));
}

} // namespace

CDlgRecording::CDlgRecording(CMidiEngineProxy& engine, QWidget* owner)
    : QDialog(owner), m_engine(engine), m_quantize(new QComboBox(this)), m_snap(new QComboBox(this))
{
    SetDialogTitle(*this, QStringLiteral("Recording...."));
    if (CMidiEngine* running = engine.GetEngine())
        m_settings = running->GetPlayControl().GetRecordSettings();
    const char* const names[] = {"Poly pressure",  "Control change",
                                 "Program change", "Channel aftertouch",
                                 "Pitch bender",   "Suppress redundant events"};
    const bool values[] = {m_settings.recordPolyPressure,  m_settings.recordControlChange,
                           m_settings.recordProgramChange, m_settings.recordChannelAftertouch,
                           m_settings.recordPitchBend,     m_settings.suppressRedundant};
    auto* events = new QGroupBox(QStringLiteral("Record events"), this);
    auto* eventsLayout = new QVBoxLayout(events);
    for (int i = 0; i < 6; ++i) {
        m_switches[i] = new QCheckBox(QString::fromUtf8(names[i]), this);
        m_switches[i]->setChecked(values[i]);
        if (i < 5) eventsLayout->addWidget(m_switches[i]);
    }
    FillGrid(*m_quantize, m_settings.quantizeGrid);
    FillGrid(*m_snap, m_settings.clipSnapGrid);
    m_quantize->setToolTip(QStringLiteral("Quantize recorded notes and events to this grid"));
    m_snap->setToolTip(QStringLiteral("Recorded clips start and end on this grid"));
    auto* form = new QFormLayout;
    form->addRow(QString(), m_switches[5]);
    form->addRow(QStringLiteral("&Quantize data"), m_quantize);
    form->addRow(QStringLiteral("&Snap clips"), m_snap);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgRecording::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(events);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QCheckBox& CDlgRecording::GetSwitch(int index) const
{
    return *m_switches[std::clamp(index, 0, 5)];
}

CRecordSettings CDlgRecording::GetSettings() const
{
    CRecordSettings settings = m_settings;
    settings.recordPolyPressure = m_switches[0]->isChecked();
    settings.recordControlChange = m_switches[1]->isChecked();
    settings.recordProgramChange = m_switches[2]->isChecked();
    settings.recordChannelAftertouch = m_switches[3]->isChecked();
    settings.recordPitchBend = m_switches[4]->isChecked();
    settings.suppressRedundant = m_switches[5]->isChecked();
    settings.quantizeGrid = m_quantize->currentData().toInt();
    settings.clipSnapGrid = m_snap->currentData().toInt();
    return settings;
}

void CDlgRecording::accept()
{
    m_engine.SetRecordSettings(GetSettings());
    QDialog::accept();
}

// ---- "Select Project Harmonic Scale" ----

CDlgHarmonicScale::CDlgHarmonicScale(const CHarmonicScale& scale, QWidget* owner)
    : QDialog(owner), m_key(new QComboBox(this)), m_mode(new QComboBox(this)),
      m_keyValue(scale.GetKey())
{
    SetDialogTitle(*this, QStringLiteral("Select Project Harmonic Scale"));
    for (int mode = 0; mode < CHarmonicScale::GetModeCount(); ++mode)
        m_mode->addItem(QString::fromStdString(CHarmonicScale::GetModeName(mode)), mode);
    m_mode->setCurrentIndex(m_mode->findData(static_cast<int>(scale.GetMode())));
    m_key->setToolTip(QStringLiteral("Key"));
    m_mode->setToolTip(QStringLiteral("Mode"));
    ShowKeys();
    connect(m_mode, &QComboBox::currentIndexChanged, this, &CDlgHarmonicScale::ShowKeys);
    connect(m_key, &QComboBox::activated, this, [this] {
        if (GetModeValue() != 0) m_keyValue = m_key->currentData().toInt();
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Key"), m_key);
    form->addRow(QStringLiteral("&Mode"), m_mode);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CDlgHarmonicScale::ShowKeys()
{
    const QSignalBlocker block(m_key);
    m_key->clear();
    // Without a mode the key means nothing: "-" stands in for the names.
    if (GetModeValue() == 0) {
        m_key->addItem(QStringLiteral("-"), m_keyValue);
        m_key->setEnabled(false);
        return;
    }
    m_key->setEnabled(true);
    for (int key = 0; key < CHarmonicScale::kKeyCount; ++key)
        m_key->addItem(
            QString::fromUtf8(CHarmonicScale::GetKeyName(key).data(),
                              static_cast<qsizetype>(CHarmonicScale::GetKeyName(key).size())),
            key);
    m_key->setCurrentIndex(m_keyValue);
}

int CDlgHarmonicScale::GetKeyValue() const
{
    return m_keyValue;
}

int CDlgHarmonicScale::GetModeValue() const
{
    return m_mode->currentData().toInt();
}

void ApplyHarmonicScale(CProjectDoc& doc, const CDlgHarmonicScale& dialog)
{
    CHarmonicScale scale = doc.GetScale();
    scale.SetMode(static_cast<uint16_t>(dialog.GetModeValue()));
    scale.SetKey(static_cast<uint8_t>(dialog.GetKeyValue()));
    doc.SetScale(scale);
    if (auto* windows = dynamic_cast<CShellProjectWindows*>(&doc.GetWindows()))
        for (CChildFrame* frame : windows->Frames())
            if (frame->GetKind() == EWindowKind::PianoRoll) frame->GetView()->RefreshView();
}

bool SelectHarmonicScale(CProjectDoc& doc, QWidget* parent)
{
    CDlgHarmonicScale dialog(doc.GetScale(), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    ApplyHarmonicScale(doc, dialog);
    return true;
}
