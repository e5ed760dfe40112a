#pragma once
// "Recording....": which kinds of events recording keeps, whether it drops repeated values, and
// the grids for recorded notes and for the start and length of recorded clips. Sent to the engine
// on OK. User-interface thread only.

#include <QDialog>

#include "engine/RecordSettings.h"

class CMidiEngineProxy;
class QCheckBox;
class QComboBox;

class CDlgRecording : public QDialog {
    Q_OBJECT
public:
    explicit CDlgRecording(CMidiEngineProxy& engine, QWidget* owner = nullptr);
    // The settings as the dialog shows them.
    CRecordSettings GetSettings() const;
    QComboBox& GetQuantize() const { return *m_quantize; }
    QComboBox& GetSnap() const { return *m_snap; }
    QCheckBox& GetSwitch(int index) const;
    // OK: sends the settings.
    void accept() override;

private:
    CMidiEngineProxy& m_engine;
    CRecordSettings m_settings;
    QCheckBox* m_switches[6];
    QComboBox* m_quantize;
    QComboBox* m_snap;
};

// "Select Project Harmonic Scale": key and mode of a copy of the project's scale.
class CHarmonicScale;
class CDlgHarmonicScale : public QDialog {
    Q_OBJECT
public:
    CDlgHarmonicScale(const CHarmonicScale& scale, QWidget* owner = nullptr);
    QComboBox& GetKey() const { return *m_key; }
    QComboBox& GetMode() const { return *m_mode; }
    int GetKeyValue() const;
    int GetModeValue() const;

private:
    void ShowKeys();
    QComboBox* m_key;
    QComboBox* m_mode;
    int m_keyValue;
};

// Shows "Select Project Harmonic Scale" for the project; on OK the project takes the key and mode
// and its piano rolls are drawn again. Not an operation. False when cancelled.
class CProjectDoc;
bool SelectHarmonicScale(CProjectDoc& doc, QWidget* parent);
// Takes over the dialog's key and mode.
void ApplyHarmonicScale(CProjectDoc& doc, const CDlgHarmonicScale& dialog);
