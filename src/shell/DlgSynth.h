#pragma once
// "Synth settings": the built-in synthesizer's SoundFont (a file of the user's, or the automatic
// choice among the system's General MIDI fonts) and its volume. OK keeps them in the "Synth"
// section of the profile and hands them to the running synthesizer, whose new font loads in the
// background while the old one plays on. User-interface thread only.

#include "devices/SynthOptions.h"

#include <QDialog>

class CEditNumber;
class CMidiBackend;
class CProfile;
class CUserServices;
class QLabel;
class QLineEdit;
class QPushButton;

class CDlgSynth : public QDialog {
    Q_OBJECT
public:
    // All borrowed; backend null (no engine) only keeps the settings for the next start.
    CDlgSynth(CProfile& profile, CUserServices& user, CMidiBackend* backend,
              QWidget* owner = nullptr);

    QLineEdit& GetFontField() const { return *m_font; }
    CEditNumber& GetVolumeField() const { return *m_volume; }
    // "Browse...": a SoundFont chosen in the file chooser goes into the field.
    void Browse();
    // "Automatic": the field empties, so the system's font is used.
    void ChooseAutomatic();
    // What the fields say now.
    SSynthOptions GetOptions() const;
    // The synthesizer's state as the dialog shows it (hidden without a running synthesizer).
    QLabel& GetStateLabel() const { return *m_state; }
    static QString StateText(const SSynthState& state);

    // OK: refuses (with a message) a font file that cannot be read; else writes and applies.
    void accept() override;

private:
    void ShowAutomaticChoice();

    CProfile& m_profile;
    CUserServices& m_user;
    CMidiBackend* m_backend;
    QLineEdit* m_font;
    CEditNumber* m_volume;
    QLabel* m_inUse;
    QLabel* m_state;
    QPushButton* m_automatic = nullptr;
};
