#pragma once
// One channel strip of the mixer: the output routing and the channel's program, volume and pan of
// one track, its solo, mute, input and record switches, the phrases it feeds, a level indicator,
// and live volume, pan, reverb and chorus controllers sent to the track's output at once.
// User-interface thread only.

#include <QWidget>

#include <cstdint>
#include <vector>

class CButtonBitmap;
class CEditNumber;
class CEditText;
class CFader;
class CKnob;
class CPhrase;
class CPhraseBank;
class CProjectDoc;
class CSelectList;
class CTrack;
class QLabel;

// The level indicator: a bar that jumps up with activity and falls back smoothly.
class CMixerLevel : public QWidget {
    Q_OBJECT
public:
    explicit CMixerLevel(QWidget* parent = nullptr);
    // 0..127; a level below the shown one is ignored (the bar falls by Decay only).
    void Raise(int level);
    // Falls by one step; true while the bar is still above 0.
    bool Decay();
    int GetLevel() const { return m_level; }
    QSize sizeHint() const override { return QSize(8, 120); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Show(int level);
    int m_level = 0;
};

class CWndMixerStrip : public QWidget {
    Q_OBJECT
public:
    // The controls' identifiers.
    enum EControl : int {
        kInput = 4000,
        kRecord = 4001,
        kInputPhr = 4002,
        kChorus = 4005,
        kReverb = 4006,
        kPanKnob = 4007,
        kSolo = 4008,
        kMute = 4009,
        kLevel = 4010,
        kFader = 4011,
        kProgram = 4012,
        kVolume = 4013,
        kPan = 4014,
        kOutput = 4015,
        kChannel = 4016,
        kName = 4017,
    };
    // What a mixer feedback names: volume, pan, chorus, reverb.
    enum EFeedback : int {
        kFeedbackVolume = 1,
        kFeedbackPan = 2,
        kFeedbackChorus = 3,
        kFeedbackReverb = 4
    };
    static constexpr int kOutputPorts = 8;

    CWndMixerStrip(CProjectDoc& doc, int index, QWidget* parent = nullptr);

    int GetIndex() const { return m_index; }
    void SetIndex(int index);
    // The strip's track; null when the project no longer has one at the index.
    CTrack* GetTrack() const;
    // Shows the track as the model has it.
    void Refresh();
    // The engine reports what passed the track's player.
    void ShowActivity();
    void ShowFeedback(int kind, int value);
    // Falls the level indicator by one step; true while it still shows something.
    bool DecayLevel();

    // The phrases of all banks whose input is this track, in bank order.
    std::vector<const CPhrase*> InputPhrases() const;
    // "[No Phrases]", "[bank].phrase" or "[n Phrases]".
    QString InputPhrasesText() const;
    // The popup entry of one phrase: "[bank].phrase".
    QString PhraseEntry(const CPhrase& phrase) const;
    // Routes the track to output port 0..7.
    void ChooseOutput(int port);
    // Opens the piano roll of the n-th input phrase.
    void OpenInputPhrase(int index);

    QWidget* GetControl(EControl id) const;
    CEditText& GetName() const { return *m_name; }
    CSelectList& GetOutput() const { return *m_output; }
    CEditNumber& GetChannel() const { return *m_channel; }
    CEditNumber& GetProgram() const { return *m_program; }
    CEditNumber& GetVolume() const { return *m_volume; }
    CEditNumber& GetPan() const { return *m_pan; }
    CFader& GetFader() const { return *m_fader; }
    CKnob& GetPanKnob() const { return *m_panKnob; }
    CKnob& GetReverb() const { return *m_reverb; }
    CKnob& GetChorus() const { return *m_chorus; }
    CButtonBitmap& GetSolo() const { return *m_solo; }
    CButtonBitmap& GetMute() const { return *m_mute; }
    CButtonBitmap& GetInputButton() const { return *m_input; }
    CButtonBitmap& GetRecordButton() const { return *m_record; }
    CSelectList& GetInputPhr() const { return *m_inputPhr; }
    CMixerLevel& GetLevel() const { return *m_level; }

protected:
    bool focusNextPrevChild(bool next) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void OnValue(int id);
    void OnLive(int id);
    void OnButton(int id);
    // Solo or mute of the track: through the engine for the active project, else stored.
    void ToggleFlag(bool solo);
    void OnClicked(int id);
    void SetProperty(int32_t number, int64_t value);
    // The focusable controls, top to bottom.
    std::vector<QWidget*> TabOrder() const;
    QString PortName(int port) const;

    CProjectDoc& m_doc;
    int m_index;
    QLabel* m_title;
    CEditText* m_name;
    CSelectList* m_output;
    CEditNumber* m_channel;
    CEditNumber* m_program;
    CEditNumber* m_volume;
    CEditNumber* m_pan;
    CMixerLevel* m_level;
    CFader* m_fader;
    CKnob* m_panKnob;
    CKnob* m_reverb;
    CKnob* m_chorus;
    CButtonBitmap* m_solo;
    CButtonBitmap* m_mute;
    CSelectList* m_inputPhr;
    CButtonBitmap* m_input;
    CButtonBitmap* m_record;
};
