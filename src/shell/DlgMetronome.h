#pragma once
// The "Metronome" dialog: edits the metronome's settings on the engine directly. Every change
// is sent at once and read back, so each field always shows what the engine holds; there is
// nothing to confirm. User-interface thread only.

#include "model/NodeAddress.h"

#include <QDialog>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CEditNote;
class CEditNumber;
class CMidiEngineProxy;
class CSelectList;

class CDlgMetronome : public QDialog {
    Q_OBJECT
public:
    // The metronome's parameters.
    enum EParam : int32_t {
        kActive = 1,
        kOutput = 2, // a pointer to a CNodeAddress
        kBarKey = 3,
        kBarVelocity = 4,
        kBarChannel = 5, // 0..15
        kBeatKey = 6,
        kBeatVelocity = 7,
        kBeatChannel = 8,
    };
    // Field identifiers.
    enum EField : int {
        kFieldActive = 1,
        kFieldDevice,
        kFieldHighNote,
        kFieldHighVel,
        kFieldHighCh,
        kFieldLowNote,
        kFieldLowVel,
        kFieldLowCh
    };

    // engine: borrowed. Reads every field from the engine.
    explicit CDlgMetronome(CMidiEngineProxy& engine, QWidget* owner = nullptr);

    // Re-reads every field from the engine.
    void ReadAll();
    // The "Device" popup's entries: "<none>" (-1), then every open output driver by index.
    std::vector<std::pair<int32_t, std::string>> DeviceChoices() const;
    // Sends a device choice (-1: none) and shows what the engine then plays on.
    void ChooseDevice(int32_t driverIndex);

    CSelectList& GetActiveField() const { return *m_active; }
    CSelectList& GetDeviceField() const { return *m_device; }
    CEditNumber& GetField(EField field) const;

signals:
    // "Active" changed: the transport's "click" toggle follows.
    void ActiveChanged();

private:
    void OnChanged(int id);
    void OnDeviceClicked();
    // Sends one parameter, then shows what the engine reads back for it.
    void Send(int32_t code, int64_t value);
    void ReadDevice();
    intptr_t Read(int32_t code) const;

    CMidiEngineProxy& m_engine;
    CSelectList* m_active = nullptr;
    CSelectList* m_device = nullptr;
    CEditNote* m_highNote = nullptr;
    CEditNumber* m_highVel = nullptr;
    CEditNumber* m_highCh = nullptr;
    CEditNote* m_lowNote = nullptr;
    CEditNumber* m_lowVel = nullptr;
    CEditNumber* m_lowCh = nullptr;
};
