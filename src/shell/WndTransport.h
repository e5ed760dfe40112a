#pragma once
// The transport window: a small tool window that starts and stops playback and recording of the
// active project, shows and edits its tempo, song position and loop, and switches the metronome,
// the clock source and step recording. It keeps no model state of its own: it acts on the active
// project and, through the proxy, on the engine.
//
// The main frame drives it: RefreshFromModel when the active project changes or reports a change,
// Refresh every 50 ms with the engine state it drained from the mailbox, ToggleBlink every 500 ms.
//
// User-interface thread only.

#include "controls/Theme.h"
#include "model/TimeBase.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <utility>
#include <vector>

class CButtonBitmap;
class CEditTempo;
class CEditTime;
class CMidiEngineProxy;
class CProfile;
class CProjectDoc;
class CProjectManager;

// What the engine reported, as the main frame last drained it.
struct CTransportEngineState {
    bool playing = false;
    tick position = 0; // the engine's song position
};

class CWndTransport : public QWidget {
    Q_OBJECT
public:
    enum class EButton {
        Rec,
        Rw,
        Stop,
        Play,
        Fwd,
        Solo,
        Mute,
        Loop,
        Sync,
        Click,
        Step,
    };
    static constexpr int kButtonCount = static_cast<int>(EButton::Step) + 1;
    static constexpr int kWindIntervalMs = 50;
    // The step record target set by "step" (any non-zero target captures notes).
    static constexpr int kStepRecordTarget = 1;

    // All borrowed; they must outlive the window. The window moves to the position stored in the
    // profile ("Transport-Window", defaults 50, 250) and stores it again when destroyed.
    CWndTransport(CProjectManager& projects, CMidiEngineProxy& engine, CProfile& profile,
                  QWidget* owner = nullptr);
    ~CWndTransport() override;

    // Shows the active project: tempo, song position, solo and mute modes, loop switch and points.
    void RefreshFromModel();
    // Follows the engine: while playing the position box shows the engine's position (except
    // during a wind); the play, record and engine toggles show what the engine says.
    // Stopped, the position box shows the active project's song position, so a stop, a locate or
    // an edit shows at the next refresh.
    void Refresh(const CTransportEngineState& state);
    // Every 500 ms: while the recording switch is on and nothing plays, "Rec" blinks.
    void ToggleBlink();
    // Re-reads the clock source, metronome and step-record switches from the engine.
    void RefreshEngineToggles();

    // "&Reposition Transport Window": keeping its size, centred horizontally on the main frame
    // with its bottom edge on the main frame's bottom edge. Both in frame (outer) geometry.
    // Reposition also raises the window and makes it the active one.
    static QPoint RepositionedTopLeft(const QRect& mainFrame, const QSize& transportFrame);
    void Reposition(const QRect& mainFrame);

    // The main frame's accelerators (space for play, and so on) also work while this window is
    // active: their actions are added here, and shortcuts are matched before any control sees
    // the key.
    void AddAcceleratorActions(const QList<QAction*>& actions) { addActions(actions); }

    // The "Metronome" dialog, modal, centred on this window; the click toggle follows it.
    void ShowMetronomeDialog();

    // Acts as a click on the button would (press, then release): for the main frame's keys.
    void ClickButton(EButton button);

    // One 50 ms step of a wind in progress (the wind timer calls it).
    void WindStep();
    // -1 rewinding, 1 winding forward, 0 none.
    int GetWindDirection() const { return m_wind; }

    CButtonBitmap& GetButton(EButton button) const;
    CEditTempo& GetTempoBox() const { return *m_tempo; }
    CEditTime& GetPositionBox() const { return *m_position; }
    CEditTime& GetLoopStartBox() const { return *m_loopStart; }
    CEditTime& GetLoopEndBox() const { return *m_loopEnd; }
    // The static labels and where their text is painted.
    const std::vector<std::pair<QString, QRect>>& LabelTextRects() const { return m_labels; }

signals:
    // The right button on "sync" and "click": the main frame runs "&Sync..." and "&Metronome...".
    void SyncSettingsRequested();
    void MetronomeSettingsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateControls();
    // Places the labels and the value boxes between the buttons, by the width of the labels.
    void LayOutLabelsAndBoxes();
    CButtonBitmap* AddButton(EButton id, EArtwork art, const QRect& place);
    void OnPressed(int id);
    void OnReleased(int id);
    void OnRightButton(int id);
    void OnBoxChanged(int id);

    void PlayOrStop();
    void ToggleRecording();
    void StartWind(int direction);
    void EndWind(CProjectDoc& doc);
    void ShowLoop(bool on);
    void ShowPosition(const CTransportEngineState& state);
    bool IsRecordingSwitchOn() const;

    CProjectManager& m_projects;
    CMidiEngineProxy& m_engine;
    CProfile& m_profile;
    std::array<CButtonBitmap*, kButtonCount> m_buttons{};
    CEditTempo* m_tempo = nullptr;
    CEditTime* m_position = nullptr;
    CEditTime* m_loopStart = nullptr;
    CEditTime* m_loopEnd = nullptr;
    std::vector<std::pair<QString, QRect>> m_labels;
    QTimer m_windTimer;
    int m_wind = 0;
};
