#pragma once
// The device dialogs of the "&Options" menu: "Setup MIDI devices" (enable or disable each driver)
// and "Port settings" (which driver each port uses, and the input channel filters). Both act on
// the engine at once; the settings reach the profile when the program exits. User-interface
// thread only.

#include <QDialog>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CMidiDevices;
class CMidiEngineProxy;
class QComboBox;
class QLabel;
class QTreeWidget;

// The window's line when devices were lost: the reason, and what happens now.
std::string DevicesLostText(const std::string& reason, bool serverLost);
// The window's line when every lost device is connected again.
inline constexpr char kDevicesBackText[] = "The MIDI devices are connected again.";

// The engine's devices, or null without an engine.
const CMidiDevices* DevicesOf(const CMidiEngineProxy& engine);
// "<none>" (-1), then the open drivers by index and name.
std::vector<std::pair<int32_t, std::string>> OpenDriverChoices(const CMidiEngineProxy& engine,
                                                               bool outputs);
// Fills a choice box with "<none>" and the open drivers; each entry's data is the driver index.
void FillDriverChoices(QComboBox& box, const CMidiEngineProxy& engine, bool outputs);

class CDlgMidiDevices : public QDialog {
    Q_OBJECT
public:
    explicit CDlgMidiDevices(CMidiEngineProxy& engine, QWidget* owner = nullptr);
    // Row text: the driver name followed by " (disabled)", " (OK)" or " (failed to open)".
    static std::string RowText(const std::string& name, bool enabled, bool open);
    QTreeWidget& GetList(bool outputs) const { return outputs ? *m_outputs : *m_inputs; }
    // Under the lists: why each enabled device that is not open failed, one "name: reason" line
    // each (hidden when none did).
    QLabel& GetProblems() const { return *m_problems; }
    // Toggles one driver as a double-click does, and shows its new state.
    void Toggle(bool outputs, int32_t driver);

    // Shows the drivers again when the engine's devices changed since the last look (a device
    // came, went or came back); the dialog's timer calls it.
    void FollowEngine();

private:
    void Fill();
    // Row text, tool tip and the problems shown under the lists, from the drivers now.
    void ShowDrivers();
    QTreeWidget* m_inputs;
    QTreeWidget* m_outputs;
    QLabel* m_problems;
    CMidiEngineProxy& m_engine;
    uint64_t m_shownSerial = 0;
};

class CDlgPortSettings : public QDialog {
    Q_OBJECT
public:
    static constexpr int kInputPorts = 4;
    static constexpr int kOutputPorts = 8;
    // Channel choice values: 0..15, 16 = any.
    static constexpr int kAnyChannel = 16;

    explicit CDlgPortSettings(CMidiEngineProxy& engine, QWidget* owner = nullptr);
    // Input ports 0..3 and "Rec" (index 4).
    QComboBox& GetInputDriver(int port) const { return *m_inDrivers.at(static_cast<size_t>(port)); }
    QComboBox& GetInputChannel(int port) const
    {
        return *m_inChannels.at(static_cast<size_t>(port));
    }
    QComboBox& GetOutputDriver(int port) const
    {
        return *m_outDrivers.at(static_cast<size_t>(port));
    }
    // Re-reads every choice from the engine.
    void ReadAll();

signals:
    // An output port now sends to another device (or to none): windows that name it update.
    void OutputRouted(int port);

private:
    void RouteInput(int port);
    void FilterInput(int port);
    void RouteOutput(int port);

    CMidiEngineProxy& m_engine;
    std::vector<QComboBox*> m_inDrivers;
    std::vector<QComboBox*> m_inChannels;
    std::vector<QComboBox*> m_outDrivers;
};
