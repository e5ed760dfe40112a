#pragma once
// "Sync settings": internal clock or MIDI clock follow, the clock input, song position and clock
// output switches, which open outputs send MIDI clock, and the JACK transport (off, follow,
// lead; only on JACK). Every choice goes to the engine at
// once. User-interface thread only.

#include <QDialog>

#include <cstdint>

class CMidiEngineProxy;
class QCheckBox;
class QComboBox;
class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class CDlgSync : public QDialog {
    Q_OBJECT
public:
    explicit CDlgSync(CMidiEngineProxy& engine, QWidget* owner = nullptr);

    QComboBox& GetMode() const { return *m_mode; }
    QComboBox& GetClockIn() const { return *m_clockIn; }
    QComboBox& GetJackTransport() const { return *m_jackTransport; }
    QTreeWidget& GetSendList() const { return *m_send; }
    // Toggles the clock-send flag of the output in the row, as a click on its first column does.
    void ToggleSend(int row);
    void ReadAll();

private:
    intptr_t ReadClock(int32_t code) const;
    void SetClock(int32_t code, int64_t value);
    void OnItemClicked(QTreeWidgetItem* item, int column);
    void ReadJackTransport();

    CMidiEngineProxy& m_engine;
    QComboBox* m_mode;
    QComboBox* m_clockIn;
    QCheckBox* m_ignoreSpp;
    QCheckBox* m_clockOut;
    QCheckBox* m_sendSpp;
    QCheckBox* m_sendWhenStopped;
    QTreeWidget* m_send;
    QComboBox* m_jackTransport;
    QLabel* m_jackProblem;
};
