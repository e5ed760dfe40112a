#pragma once
// The phrase property panel beside a bank's phrase list: the current phrase's input port,
// trigger range, key follow and start and stop quantize; its output (a port or a track), channel,
// play mode, loop, hold and continue switches, velocity and pitch offsets, output quantize, delay
// and pitch and velocity limits. Each change is a property operation, except the input port,
// which goes straight to the engine. A plus/minus button collapses and expands it.
// User-interface thread only.

#include "editors/PropertyPanel.h"

class CEditNumber;
class CPhrase;
class CPhraseBank;
class CSelectList;

class CBarPhraseProperties : public CPropertyPanel {
    Q_OBJECT
public:
    explicit CBarPhraseProperties(CProjectDoc& doc, QWidget* parent = nullptr);

    // The phrase shown and the bank that holds it (both borrowed from the project; null for
    // none). Refreshes.
    void SetPhrase(CPhraseBank* bank, CPhrase* phrase);
    CPhrase* GetPhrase() const { return m_phrase; }
    CPhraseBank* GetBank() const { return m_bank; }

    // The controls, for the tests and the keyboard.
    CSelectList& Input() const { return *m_input; }
    CEditNumber& TriggerFrom() const { return *m_triggerFrom; }
    CEditNumber& TriggerTo() const { return *m_triggerTo; }
    CSelectList& Output() const { return *m_output; }
    CEditNumber& Channel() const { return *m_channel; }
    CSelectList& PlayMode() const { return *m_playMode; }
    CEditNumber& Velocity() const { return *m_velocity; }
    CEditNumber& Delay() const { return *m_delay; }
    CEditNumber& VelocityFrom() const { return *m_velocityFrom; }
    CEditNumber& VelocityTo() const { return *m_velocityTo; }
    // The popups' entries as the panel builds them when they open.
    std::vector<CSelectItem> InputItems() const;
    std::vector<CSelectItem> OutputItems() const;

protected:
    bool HasObject() const override;
    std::optional<int64_t> ReadProperty(int32_t number) const override;
    void WriteProperty(int32_t number, int64_t value) override;
    void Refreshed() override;

private:
    CPhraseBank* m_bank = nullptr;
    CPhrase* m_phrase = nullptr;
    CSelectList* m_input;
    CEditNumber* m_triggerFrom;
    CEditNumber* m_triggerTo;
    CSelectList* m_output;
    CEditNumber* m_channel;
    CSelectList* m_playMode;
    CEditNumber* m_velocity;
    CEditNumber* m_delay;
    CEditNumber* m_velocityFrom;
    CEditNumber* m_velocityTo;
};
