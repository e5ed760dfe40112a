#include "shell/DlgSync.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "devices/MidiDevices.h"
#include "devices/MidiNode.h"
#include "devices/MidiOutDriver.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/SequencerClock.h"
#include "shell/Dialogs.h"
#include "shell/DlgDevices.h"

namespace {

constexpr uint16_t kOutDriverKind = static_cast<uint16_t>(ENodeKind::MidiOutDriver);
constexpr int kDriverRole = Qt::UserRole;

} // namespace

CDlgSync::CDlgSync(CMidiEngineProxy& engine, QWidget* owner)
    : QDialog(owner), m_engine(engine), m_mode(new QComboBox(this)), m_clockIn(new QComboBox(this)),
      m_ignoreSpp(new QCheckBox(QStringLiteral("Ignore song position"), this)),
      m_clockOut(new QCheckBox(QStringLiteral("Send MIDI clock"), this)),
      m_sendSpp(new QCheckBox(QStringLiteral("Send song position"), this)),
      m_sendWhenStopped(new QCheckBox(QStringLiteral("Send clock when stopped"), this)),
      m_send(new QTreeWidget(this)), m_jackTransport(new QComboBox(this)),
      m_jackProblem(new QLabel(this))
{
    SetDialogTitle(*this, QStringLiteral("Sync settings"));
    m_mode->addItem(QStringLiteral("Master"), 1);
    m_mode->addItem(QStringLiteral("Slave (MIDI Clock)"), 0);
    m_mode->setToolTip(QStringLiteral("Sync mode"));
    m_clockIn->setToolTip(QStringLiteral("MIDI clock input"));
    m_jackTransport->addItem(QStringLiteral("Off"), CTransportSync::kOff);
    m_jackTransport->addItem(QStringLiteral("Follow"), CTransportSync::kFollow);
    m_jackTransport->addItem(QStringLiteral("Lead"), CTransportSync::kLead);
    m_jackProblem->setWordWrap(true);
    m_send->setColumnCount(2);
    m_send->setHeaderLabels({QStringLiteral("Send"), QStringLiteral("MIDI-OUT Drivers")});
    m_send->setRootIsDecorated(false);
    m_send->setMinimumSize(260, 120);
    m_send->setToolTip(
        QStringLiteral("Outputs that send MIDI clock: click \"Send\" or press Return to switch"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Mode"), m_mode);
    form->addRow(QStringLiteral("Clock &input"), m_clockIn);
    form->addRow(QString(), m_ignoreSpp);
    form->addRow(QString(), m_clockOut);
    form->addRow(QString(), m_sendSpp);
    form->addRow(QString(), m_sendWhenStopped);
    form->addRow(QStringLiteral("&JACK transport"), m_jackTransport);
    form->addRow(QString(), m_jackProblem);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_send);
    layout->addWidget(buttons);

    using C = CSequencerClock;
    connect(m_mode, &QComboBox::activated, this,
            [this] { SetClock(C::kInternalClock, m_mode->currentData().toInt()); });
    connect(m_jackTransport, &QComboBox::activated, this,
            [this] { SetClock(C::kJackTransport, m_jackTransport->currentData().toInt()); });
    connect(m_clockIn, &QComboBox::activated, this, [this] {
        const int driver = m_clockIn->currentData().toInt();
        SetClock(C::kClockInDriver, driver < 0 ? C::kNoClockInDriver : driver);
    });
    const std::pair<QCheckBox*, int32_t> switches[] = {
        {m_ignoreSpp, C::kIgnoreSongPosition},
        {m_clockOut, C::kClockOut},
        {m_sendSpp, C::kSendSongPosition},
        {m_sendWhenStopped, C::kSendClockWhenStopped}};
    for (const auto& [box, code] : switches)
        connect(box, &QCheckBox::clicked, this,
                [this, box = box, code = code] { SetClock(code, box->isChecked() ? 1 : 0); });
    connect(m_send, &QTreeWidget::itemClicked, this, &CDlgSync::OnItemClicked);
    connect(m_send, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item) { ToggleSend(m_send->indexOfTopLevelItem(item)); });
    ReadAll();
}

intptr_t CDlgSync::ReadClock(int32_t code) const
{
    return m_engine.GetNodeParameter(kClockNode, code);
}

void CDlgSync::SetClock(int32_t code, int64_t value)
{
    m_engine.SetNodeParameter(kClockNode, code, value);
    ReadAll();
}

void CDlgSync::ReadAll()
{
    using C = CSequencerClock;
    {
        const QSignalBlocker block(m_mode);
        m_mode->setCurrentIndex(ReadClock(C::kInternalClock) == 0 ? 1 : 0);
    }
    FillDriverChoices(*m_clockIn, m_engine, false);
    {
        const QSignalBlocker block(m_clockIn);
        const int at = m_clockIn->findData(static_cast<int>(ReadClock(C::kClockInDriver)));
        m_clockIn->setCurrentIndex(at < 0 ? 0 : at);
    }
    m_ignoreSpp->setChecked(ReadClock(C::kIgnoreSongPosition) == 1);
    m_clockOut->setChecked(ReadClock(C::kClockOut) == 1);
    m_sendSpp->setChecked(ReadClock(C::kSendSongPosition) == 1);
    m_sendWhenStopped->setChecked(ReadClock(C::kSendClockWhenStopped) == 1);
    ReadJackTransport();

    const int current = m_send->indexOfTopLevelItem(m_send->currentItem());
    m_send->clear();
    const CMidiDevices* devices = DevicesOf(m_engine);
    if (devices == nullptr) return;
    for (int32_t i = 0; i < devices->GetOutDriverCount(); ++i) {
        const CMidiOutDriver* driver = devices->GetOutDriver(i);
        if (!driver->IsOpen()) continue;
        auto* item = new QTreeWidgetItem(
            m_send, {driver->IsClockSend() ? QStringLiteral("Send") : QStringLiteral("-"),
                     FromModelText(driver->GetName())});
        item->setData(0, kDriverRole, i);
    }
    if (QTreeWidgetItem* item = m_send->topLevelItem(std::max(current, 0)))
        m_send->setCurrentItem(item);
}

void CDlgSync::ToggleSend(int row)
{
    QTreeWidgetItem* item = m_send->topLevelItem(row);
    const CMidiDevices* devices = DevicesOf(m_engine);
    if (item == nullptr || devices == nullptr) return;
    const int32_t driver = item->data(0, kDriverRole).toInt();
    const bool on = devices->GetOutDriver(driver)->IsClockSend();
    m_engine.SetNodeParameter(CNodeAddress{kOutDriverKind, driver}, CMidiOutDriver::kParamClockSend,
                              on ? 0 : 1);
    m_send->setCurrentItem(item);
    ReadAll();
}

void CDlgSync::OnItemClicked(QTreeWidgetItem* item, int column)
{
    if (column == 0) ToggleSend(m_send->indexOfTopLevelItem(item));
}

void CDlgSync::ReadJackTransport()
{
    CMidiEngine* engine = m_engine.GetEngine();
    const bool onJack = engine != nullptr && engine->GetBackend().GetTransport() != nullptr;
    const QString system = engine != nullptr
                               ? QString::fromStdString(engine->GetBackend().GetName())
                               : QStringLiteral("none");
    m_jackTransport->setEnabled(onJack);
    m_jackTransport->setToolTip(
        onJack ? QStringLiteral("Follow or lead the transport that JACK programs share")
               : QStringLiteral("%1 (%2)").arg(QString::fromLatin1(kNoTransportText), system));
    {
        const QSignalBlocker block(m_jackTransport);
        const int at = m_jackTransport->findData(
            static_cast<int>(ReadClock(CSequencerClock::kJackTransport)));
        m_jackTransport->setCurrentIndex(at < 0 ? 0 : at);
    }
    const std::string problem =
        engine != nullptr ? engine->GetClock().GetTransportSync().GetProblem() : std::string();
    m_jackProblem->setText(QString::fromStdString(problem));
    m_jackProblem->setVisible(!problem.empty());
}
