#include "shell/DlgMetronome.h"

#include "controls/EditValue.h"
#include "controls/SelectList.h"
#include "controls/Theme.h"
#include "devices/MidiDevices.h"
#include "devices/MidiNode.h"
#include "devices/MidiOutDriver.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr uint16_t kOutputDriverKind = static_cast<uint16_t>(ENodeKind::MidiOutDriver);
const char* const kNone = "<none>";
constexpr int kOff = 1;
constexpr int kOn = 2;

QLabel* Label(const char* text, QWidget* parent)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setFont(CTheme::SmallFont());
    return label;
}

} // namespace

CDlgMetronome::CDlgMetronome(CMidiEngineProxy& engine, QWidget* owner)
    : QDialog(owner), m_engine(engine)
{
    setWindowTitle(QStringLiteral("Metronome"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    palette.setColor(QPalette::WindowText, CTheme::PanelLabel());
    setPalette(palette);
    setAutoFillBackground(true);

    m_active = new CSelectList(CSelectList::EMode::OwnList, this);
    m_active->SetId(kFieldActive);
    m_active->SetName(QStringLiteral("Active"));
    m_active->AddItem(kOff, QStringLiteral("Off"));
    m_active->AddItem(kOn, QStringLiteral("On"));
    m_device = new CSelectList(CSelectList::EMode::NotifyOnly, this);
    m_device->SetId(kFieldDevice);
    m_device->SetName(QStringLiteral("Device"));
    m_device->setMinimumWidth(150);
    connect(m_active, &CSelectList::ValueChanged, this, &CDlgMetronome::OnChanged);
    connect(m_device, &CSelectList::Clicked, this, &CDlgMetronome::OnDeviceClicked);

    auto number = [this](EField id, const char* name, int32_t lower, int32_t upper, int32_t large) {
        auto* box = new CEditNumber(this);
        box->SetLimits(lower, upper);
        box->SetSteps(1, large);
        box->SetId(id);
        box->SetName(QString::fromUtf8(name));
        box->SetFocusOwner(nullptr);
        connect(box, &CEditValue::ValueChanged, this, &CDlgMetronome::OnChanged);
        return box;
    };
    auto note = [this](EField id, const char* name) {
        auto* box = new CEditNote(this);
        box->SetId(id);
        box->SetName(QString::fromUtf8(name));
        box->SetFocusOwner(nullptr);
        connect(box, &CEditValue::ValueChanged, this, &CDlgMetronome::OnChanged);
        return box;
    };
    m_highNote = note(kFieldHighNote, "High Note");
    m_highVel = number(kFieldHighVel, "High velocity", 0, 127, 16);
    m_highCh = number(kFieldHighCh, "High channel", 1, 16, 1);
    m_lowNote = note(kFieldLowNote, "Low Note");
    m_lowVel = number(kFieldLowVel, "Low velocity", 0, 127, 16);
    m_lowCh = number(kFieldLowCh, "Low channel", 1, 16, 1);

    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->addWidget(Label("Active", this), 0, 0);
    grid->addWidget(m_active, 0, 1);
    grid->addWidget(Label("Device", this), 0, 2);
    grid->addWidget(m_device, 0, 3, 1, 3);
    grid->addWidget(Label("High Note", this), 1, 0);
    grid->addWidget(m_highNote, 1, 1);
    grid->addWidget(Label("Vel", this), 1, 2);
    grid->addWidget(m_highVel, 1, 3);
    grid->addWidget(Label("Ch", this), 1, 4);
    grid->addWidget(m_highCh, 1, 5);
    grid->addWidget(Label("Low Note", this), 2, 0);
    grid->addWidget(m_lowNote, 2, 1);
    grid->addWidget(Label("Vel", this), 2, 2);
    grid->addWidget(m_lowVel, 2, 3);
    grid->addWidget(Label("Ch", this), 2, 4);
    grid->addWidget(m_lowCh, 2, 5);
    grid->addWidget(close, 3, 4, 1, 2, Qt::AlignRight);
    for (QWidget* w : {static_cast<QWidget*>(m_highNote), static_cast<QWidget*>(m_lowNote),
                       static_cast<QWidget*>(m_highVel), static_cast<QWidget*>(m_lowVel),
                       static_cast<QWidget*>(m_highCh), static_cast<QWidget*>(m_lowCh)})
        w->setMinimumWidth(44);
    ReadAll();
}

CEditNumber& CDlgMetronome::GetField(EField field) const
{
    switch (field) {
    case kFieldHighNote:
        return *m_highNote;
    case kFieldHighVel:
        return *m_highVel;
    case kFieldHighCh:
        return *m_highCh;
    case kFieldLowNote:
        return *m_lowNote;
    case kFieldLowVel:
        return *m_lowVel;
    default:
        return *m_lowCh;
    }
}

intptr_t CDlgMetronome::Read(int32_t code) const
{
    return m_engine.GetNodeParameter(kMetronomeNode, code);
}

void CDlgMetronome::ReadAll()
{
    m_active->SetValue(Read(kActive) == 1 ? kOn : kOff);
    // A parameter the engine does not answer (-1) shows as "-".
    auto show = [this](CEditNumber& box, int32_t code, int32_t offset) {
        const intptr_t value = Read(code);
        box.SetValue(value < 0 ? CEditNumber::kUndefined : static_cast<int32_t>(value) + offset);
    };
    show(*m_highNote, kBarKey, 0);
    show(*m_highVel, kBarVelocity, 0);
    show(*m_highCh, kBarChannel, 1);
    show(*m_lowNote, kBeatKey, 0);
    show(*m_lowVel, kBeatVelocity, 0);
    show(*m_lowCh, kBeatChannel, 1);
    ReadDevice();
}

void CDlgMetronome::Send(int32_t code, int64_t value)
{
    m_engine.SetNodeParameter(kMetronomeNode, code, value);
    ReadAll();
}

void CDlgMetronome::OnChanged(int id)
{
    switch (static_cast<EField>(id)) {
    case kFieldActive:
        Send(kActive, m_active->GetValue() == kOn ? 1 : 0);
        emit ActiveChanged();
        break;
    case kFieldHighNote:
        Send(kBarKey, m_highNote->GetValue());
        break;
    case kFieldHighVel:
        Send(kBarVelocity, m_highVel->GetValue());
        break;
    case kFieldHighCh:
        Send(kBarChannel, m_highCh->GetValue() - 1);
        break;
    case kFieldLowNote:
        Send(kBeatKey, m_lowNote->GetValue());
        break;
    case kFieldLowVel:
        Send(kBeatVelocity, m_lowVel->GetValue());
        break;
    case kFieldLowCh:
        Send(kBeatChannel, m_lowCh->GetValue() - 1);
        break;
    case kFieldDevice:
        break;
    }
}

std::vector<std::pair<int32_t, std::string>> CDlgMetronome::DeviceChoices() const
{
    std::vector<std::pair<int32_t, std::string>> choices{{-1, kNone}};
    const CMidiEngine* engine = m_engine.GetEngine();
    if (engine == nullptr) return choices;
    const CMidiDevices& devices = engine->GetDevices();
    for (int32_t i = 0; i < devices.GetOutDriverCount(); ++i) {
        const CMidiOutDriver* driver = devices.GetOutDriver(i);
        if (driver != nullptr && driver->IsOpen()) choices.emplace_back(i, driver->GetName());
    }
    return choices;
}

void CDlgMetronome::OnDeviceClicked()
{
    std::vector<CSelectItem> items;
    for (const auto& [index, name] : DeviceChoices())
        items.push_back(CSelectItem{index, QString::fromStdString(name), {}, false, {}});
    if (const std::optional<int32_t> chosen = m_device->RunPopup(items)) ChooseDevice(*chosen);
}

void CDlgMetronome::ChooseDevice(int32_t driverIndex)
{
    // The metronome takes the address by pointer; the proxy returns only after the engine has
    // copied it.
    const CNodeAddress address =
        driverIndex < 0 ? CNodeAddress{} : CNodeAddress{kOutputDriverKind, driverIndex};
    Send(kOutput, static_cast<int64_t>(reinterpret_cast<intptr_t>(&address)));
}

void CDlgMetronome::ReadDevice()
{
    // The metronome answers its output as a pointer to the address it keeps; -1 or null: none.
    const intptr_t answer = Read(kOutput);
    const auto* address =
        answer == -1 || answer == 0 ? nullptr : reinterpret_cast<const CNodeAddress*>(answer);
    const std::string name =
        address != nullptr && !address->IsNone() ? m_engine.GetNodeName(*address) : std::string();
    m_device->SetSelection(address != nullptr ? address->m_index : -1,
                           QString::fromUtf8(name.empty() ? kNone : name.c_str()));
}
