#include "shell/DlgDevices.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "devices/InputFilterNode.h"
#include "devices/InputPort.h"
#include "devices/MidiDevices.h"
#include "devices/MidiInDriver.h"
#include "devices/MidiNode.h"
#include "devices/MidiOutDriver.h"
#include "devices/OutputPort.h"
#include "devices/RecordNode.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "shell/Dialogs.h"

namespace {

constexpr uint16_t kInputPortKind = static_cast<uint16_t>(ENodeKind::InputPort);
constexpr uint16_t kRecordKind = static_cast<uint16_t>(ENodeKind::RecordNode);
// How often "Setup MIDI devices" looks whether the engine's devices changed.
constexpr int kFollowPeriodMs = 200;

QTreeWidget* DriverList(const char* title, QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setColumnCount(1);
    list->setHeaderLabels({QString::fromUtf8(title)});
    list->setRootIsDecorated(false);
    list->setMinimumSize(220, 160);
    list->setToolTip(QString::fromUtf8(title) +
                     QStringLiteral(": double-click or Return enables or disables a driver"));
    return list;
}

// The driver index a port's first connection names, -1 when none.
template <class TDriver>
int32_t DriverIndexOf(const CMidiNode* connected, int32_t count, TDriver driverAt)
{
    for (int32_t i = 0; i < count && connected != nullptr; ++i)
        if (driverAt(i) == connected) return i;
    return -1;
}

void SelectData(QComboBox& box, int value)
{
    const QSignalBlocker block(box);
    const int at = box.findData(value);
    box.setCurrentIndex(at < 0 ? 0 : at);
    box.setToolTip(box.accessibleName() + QStringLiteral(": ") + box.currentText());
}

} // namespace

const CMidiDevices* DevicesOf(const CMidiEngineProxy& engine)
{
    const CMidiEngine* running = engine.GetEngine();
    return running != nullptr ? &running->GetDevices() : nullptr;
}

std::vector<std::pair<int32_t, std::string>> OpenDriverChoices(const CMidiEngineProxy& engine,
                                                               bool outputs)
{
    std::vector<std::pair<int32_t, std::string>> choices{{-1, "<none>"}};
    const CMidiDevices* devices = DevicesOf(engine);
    if (devices == nullptr) return choices;
    const int32_t count = outputs ? devices->GetOutDriverCount() : devices->GetInDriverCount();
    for (int32_t i = 0; i < count; ++i) {
        if (outputs) {
            const CMidiOutDriver* driver = devices->GetOutDriver(i);
            if (driver->IsOpen()) choices.emplace_back(i, driver->GetName());
        } else {
            const CMidiInDriver* driver = devices->GetInDriver(i);
            if (driver->IsOpen()) choices.emplace_back(i, driver->GetName());
        }
    }
    return choices;
}

void FillDriverChoices(QComboBox& box, const CMidiEngineProxy& engine, bool outputs)
{
    const QSignalBlocker block(box);
    box.clear();
    for (const auto& [index, name] : OpenDriverChoices(engine, outputs))
        box.addItem(FromModelText(name), index);
}

// ---- "Setup MIDI devices" ----

CDlgMidiDevices::CDlgMidiDevices(CMidiEngineProxy& engine, QWidget* owner)
    : QDialog(owner), m_inputs(DriverList("MIDI-IN Drivers", this)),
      m_outputs(DriverList("MIDI-OUT Drivers", this)), m_problems(new QLabel(this)),
      m_engine(engine)
{
    m_problems->setWordWrap(true);
    m_problems->setTextFormat(Qt::PlainText);
    m_problems->setTextInteractionFlags(Qt::TextSelectableByMouse);
    SetDialogTitle(*this, QStringLiteral("Setup MIDI devices"));
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_inputs);
    lists->addWidget(m_outputs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addWidget(m_problems);
    layout->addWidget(buttons);
    for (bool outputs : {false, true}) {
        QTreeWidget* list = outputs ? m_outputs : m_inputs;
        connect(list, &QTreeWidget::itemActivated, this, [this, list, outputs] {
            Toggle(outputs, list->indexOfTopLevelItem(list->currentItem()));
        });
    }
    // Devices that came since the engine last looked are listed before the dialog shows.
    m_engine.RescanDevices();
    Fill();
    auto* follow = new QTimer(this);
    connect(follow, &QTimer::timeout, this, &CDlgMidiDevices::FollowEngine);
    follow->start(kFollowPeriodMs);
}

void CDlgMidiDevices::FollowEngine()
{
    const CMidiDevices* devices = DevicesOf(m_engine);
    if (devices == nullptr || devices->GetStateSerial() == m_shownSerial) return;
    const bool grew = devices->GetInDriverCount() != m_inputs->topLevelItemCount() ||
                      devices->GetOutDriverCount() != m_outputs->topLevelItemCount();
    if (!grew) {
        ShowDrivers();
        return;
    }
    // New rows go at the end: the current rows and their selection stay where they are.
    for (int32_t i = m_inputs->topLevelItemCount(); i < devices->GetInDriverCount(); ++i)
        new QTreeWidgetItem(m_inputs);
    for (int32_t i = m_outputs->topLevelItemCount(); i < devices->GetOutDriverCount(); ++i)
        new QTreeWidgetItem(m_outputs);
    ShowDrivers();
}

std::string CDlgMidiDevices::RowText(const std::string& name, bool enabled, bool open)
{
    if (!enabled) return name + " (disabled)";
    return name + (open ? " (OK)" : " (failed to open)");
}

void CDlgMidiDevices::Fill()
{
    for (QTreeWidget* list : {m_inputs, m_outputs})
        list->clear();
    const CMidiDevices* devices = DevicesOf(m_engine);
    const int32_t inputs = devices != nullptr ? devices->GetInDriverCount() : 0;
    const int32_t outputs = devices != nullptr ? devices->GetOutDriverCount() : 0;
    for (int32_t i = 0; i < inputs; ++i)
        new QTreeWidgetItem(m_inputs);
    for (int32_t i = 0; i < outputs; ++i)
        new QTreeWidgetItem(m_outputs);
    ShowDrivers();
    for (QTreeWidget* list : {m_inputs, m_outputs})
        if (list->topLevelItemCount() > 0) list->setCurrentItem(list->topLevelItem(0));
}

void CDlgMidiDevices::ShowDrivers()
{
    QStringList problems;
    const CMidiDevices* devices = DevicesOf(m_engine);
    m_shownSerial = devices != nullptr ? devices->GetStateSerial() : 0;
    auto show = [&problems](QTreeWidgetItem* item, const auto& driver) {
        if (item == nullptr) return;
        const bool failed = driver.IsEnabled() && !driver.IsOpen();
        const std::string problem = failed ? driver.GetProblem() : std::string();
        item->setText(
            0, FromModelText(RowText(driver.GetName(), driver.IsEnabled(), driver.IsOpen())));
        item->setToolTip(0, FromModelText(problem));
        if (!problem.empty()) problems << FromModelText(driver.GetName() + ": " + problem);
    };
    for (int32_t i = 0; devices != nullptr && i < devices->GetInDriverCount(); ++i)
        show(m_inputs->topLevelItem(i), *devices->GetInDriver(i));
    for (int32_t i = 0; devices != nullptr && i < devices->GetOutDriverCount(); ++i)
        show(m_outputs->topLevelItem(i), *devices->GetOutDriver(i));
    m_problems->setText(problems.join(QLatin1Char('\n')));
    m_problems->setVisible(!problems.isEmpty());
}

void CDlgMidiDevices::Toggle(bool outputs, int32_t driver)
{
    QTreeWidget* list = outputs ? m_outputs : m_inputs;
    QTreeWidgetItem* item = list->topLevelItem(driver);
    const CMidiDevices* devices = DevicesOf(m_engine);
    if (item == nullptr || devices == nullptr) return;
    // A driver that fails to open keeps its enabled flag; the row says so, and why.
    if (outputs) {
        m_engine.ToggleOutputDriverEnabled(driver);
    } else {
        m_engine.ToggleInputDriverEnabled(driver);
    }
    ShowDrivers();
}

std::string DevicesLostText(const std::string& reason, bool serverLost)
{
    if (serverLost)
        return reason + " Playback has stopped; the MIDI devices reconnect when the server is back.";
    return reason + " It reconnects when it is back.";
}

// ---- "Port settings" ----

CDlgPortSettings::CDlgPortSettings(CMidiEngineProxy& engine, QWidget* owner)
    : QDialog(owner), m_engine(engine)
{
    SetDialogTitle(*this, QStringLiteral("Port settings"));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    auto combo = [this](const QString& name) {
        auto* box = new QComboBox(this);
        box->setAccessibleName(name);
        box->setMinimumWidth(80);
        return box;
    };
    grid->addWidget(new QLabel(QStringLiteral("Input"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Driver"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Channel"), this), 0, 2);
    for (int port = 0; port <= kInputPorts; ++port) {
        const QString name =
            port < kInputPorts ? QStringLiteral("Inp%1").arg(port + 1) : QStringLiteral("Rec");
        auto* label = new QLabel(name, this);
        QComboBox* driver = combo(name + QStringLiteral(" driver"));
        driver->setMinimumWidth(180);
        QComboBox* channel = combo(name + QStringLiteral(" channel"));
        channel->addItem(QStringLiteral("any"), kAnyChannel);
        for (int ch = 0; ch < 16; ++ch)
            channel->addItem(QStringLiteral("ch %1").arg(ch + 1), ch);
        label->setBuddy(driver);
        grid->addWidget(label, port + 1, 0);
        grid->addWidget(driver, port + 1, 1);
        grid->addWidget(channel, port + 1, 2);
        m_inDrivers.push_back(driver);
        m_inChannels.push_back(channel);
        connect(driver, &QComboBox::activated, this, [this, port] { RouteInput(port); });
        connect(channel, &QComboBox::activated, this, [this, port] { FilterInput(port); });
    }
    // The inputs keep to the top beside the longer list of outputs.
    grid->setRowStretch(kInputPorts + 2, 1);
    auto* outputs = new QGridLayout;
    outputs->setHorizontalSpacing(8);
    outputs->addWidget(new QLabel(QStringLiteral("Output"), this), 0, 0);
    outputs->addWidget(new QLabel(QStringLiteral("Driver"), this), 0, 1);
    for (int port = 0; port < kOutputPorts; ++port) {
        const QString name = QStringLiteral("Out%1").arg(port + 1);
        QComboBox* driver = combo(name + QStringLiteral(" driver"));
        driver->setMinimumWidth(180);
        outputs->addWidget(new QLabel(name, this), port + 1, 0);
        outputs->addWidget(driver, port + 1, 1);
        m_outDrivers.push_back(driver);
        connect(driver, &QComboBox::activated, this, [this, port] { RouteOutput(port); });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    auto* columns = new QHBoxLayout;
    columns->addLayout(grid);
    columns->addSpacing(16);
    columns->addLayout(outputs);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addStretch(1);
    layout->addWidget(buttons);
    ReadAll();
}

void CDlgPortSettings::ReadAll()
{
    CMidiEngine* engine = m_engine.GetEngine();
    for (QComboBox* box : m_inDrivers)
        FillDriverChoices(*box, m_engine, false);
    for (QComboBox* box : m_outDrivers)
        FillDriverChoices(*box, m_engine, true);
    if (engine == nullptr) return;
    CMidiDevices& devices = engine->GetDevices();
    auto inAt = [&devices](int32_t i) -> const CMidiNode* { return devices.GetInDriver(i); };
    auto outAt = [&devices](int32_t i) -> const CMidiNode* { return devices.GetOutDriver(i); };
    for (int port = 0; port <= kInputPorts; ++port) {
        const CInputFilterNode& node =
            port < kInputPorts ? static_cast<const CInputFilterNode&>(*devices.GetInputPort(port))
                               : devices.GetRecordNode();
        SelectData(*m_inDrivers[static_cast<size_t>(port)],
                   DriverIndexOf(node.GetFirstInput(), devices.GetInDriverCount(), inAt));
        const int filter = node.GetChannelFilter();
        SelectData(*m_inChannels[static_cast<size_t>(port)],
                   filter >= kAnyChannel ? kAnyChannel : filter);
    }
    for (int port = 0; port < kOutputPorts; ++port)
        SelectData(*m_outDrivers[static_cast<size_t>(port)],
                   DriverIndexOf(devices.GetOutputPort(port)->GetFirstOutput(),
                                 devices.GetOutDriverCount(), outAt));
}

void CDlgPortSettings::RouteInput(int port)
{
    const int driver = m_inDrivers[static_cast<size_t>(port)]->currentData().toInt();
    if (port < kInputPorts)
        m_engine.RouteInputPort(port, driver);
    else
        m_engine.RouteRecordNode(driver);
    ReadAll();
}

void CDlgPortSettings::FilterInput(int port)
{
    const int channel = m_inChannels[static_cast<size_t>(port)]->currentData().toInt();
    const CNodeAddress address =
        port < kInputPorts ? CNodeAddress{kInputPortKind, port} : CNodeAddress{kRecordKind, 0};
    m_engine.SetNodeParameter(address, CInputFilterNode::kParamChannelFilter,
                              channel >= kAnyChannel ? 255 : channel);
    ReadAll();
}

void CDlgPortSettings::RouteOutput(int port)
{
    m_engine.RouteOutputPort(port, m_outDrivers[static_cast<size_t>(port)]->currentData().toInt());
    ReadAll();
    emit OutputRouted(port);
}
