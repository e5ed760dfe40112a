#pragma once
// The program's one top-level window: a multi-document area with the child frames of every open
// project, the main menu and the global keys, the transport window, and the timers that carry the
// engine's news to the windows.

#include <QMainWindow>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <map>
#include <memory>
#include <string>

#include "controls/Commands.h"
#include "editing/RecordedTakes.h"
#include "engine/EngineMailbox.h"
#include "shell/EngineHost.h"

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class CChildFrame;
class CProjectDoc;
class CSequencerApp;
class CShellView;
class CTracksEditor;
class CWndTransport;

class CMainFrame : public QMainWindow, public CCommandTarget, public CEngineNotificationSink {
    Q_OBJECT
public:
    // backend null: the MIDI backend named by backendName, or this machine's default.
    CMainFrame(CSequencerApp& app, CEngineHost::BackendFactory backend, std::string backendName,
               bool startMusicThread);
    ~CMainFrame() override;

    // Starts the engine and the timers; false (after telling the user why) when the engine fails.
    bool Create();

    QMdiArea& GetMdiArea() const { return *m_area; }
    CChildFrame* GetActiveFrame() const;
    // The view of the active frame, or null.
    CShellView* GetActiveView() const;
    // The project of the active frame, else the active project, or null.
    CProjectDoc* GetCommandProject() const;

    // Runs a command through the routing chain, as its menu entry or key would.
    bool RunCommand(ECommand id);
    // The state the command's menu entry would have now.
    CCommandUi QueryCommand(ECommand id) const;
    QAction* GetAction(ECommand id) const;
    // Brings every action's enabling and text up to date.
    void UpdateActions();

    // The transport window (a tool window of the frame), made when the engine has started.
    CWndTransport* GetTransport() const { return m_transport; }
    // Shows the active project's transport values.
    void RefreshTransport();
    // Shows every open mixer again, for changes of the engine's ports and devices.
    void RefreshMixers();
    // Starts the engine afresh on a new backend (a JACK client under the name set since), with
    // the device settings written and read back; the caller loads the project again. False with
    // the reason when it does not start.
    bool RestartEngine(std::string& error);
    bool GetBlink() const { return m_blink; }

    // Placement under "Main-Window".
    void SavePlacement();
    void RestorePlacement();

    // One pass of each timer, also for tests that drive the frame without waiting.
    void OnDrainTimer();
    void OnBlinkTimer();
    void OnTransportTimer();
    void OnEngineTimer();

    bool OnCommand(ECommand id) override;
    bool OnUpdateCommand(ECommand id, CCommandUi& ui) override;

    void OnTransportRequest(int32_t code, int32_t value) override;
    void OnSoloMuteModes(bool soloMode, bool muteMode) override;
    void OnTrackActivity(int32_t trackId, int32_t slot) override;
    void OnPhraseActivity(int32_t phraseId, int32_t slot) override;
    void OnPhraseVoice(int32_t phraseId, int32_t slot, int32_t kind, int32_t serial) override;
    void OnMixerFeedback(int32_t trackId, int32_t slot, int32_t kind, int32_t value) override;
    void OnRecordingStarted(int32_t trackId, int32_t slot, int32_t position) override;
    void OnNoteRecorded(int32_t trackId, int32_t slot, const CNote& note) override;
    void OnEventRecorded(int32_t trackId, int32_t slot, const CMidiEvent& event) override;
    void OnRecordingFinished(int32_t trackId, int32_t slot, std::unique_ptr<CClip> clip) override;
    void OnTakeDropped(int32_t trackId, int32_t slot, int32_t position) override;
    void OnCapturedNotes(const std::vector<std::array<uint8_t, 3>>& noteOns) override;
    // One status line for a loss however many drivers went with it, and one when all are back.
    void OnDevicesLost(bool serverLost) override;
    void OnDevicesBack() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    QMenu* AddPopup(const QString& title, std::initializer_list<ECommand> commands);
    void ApplyUpdate(ECommand id, QAction& action) const;
    void UpdateMenu(QMenu& menu);
    void FillWindowList(QMenu& menu);
    void OnSubWindowActivated(QMdiSubWindow* window);
    // The tracks window of the active project, when it is open.
    CTracksEditor* ActiveTracksEditor() const;
    // Puts the active editor's edit popup (or the main frame's) in the menu bar.
    void ExchangeEditMenu();
    void StopTimers();
    void CreateTransport();
    // Refreshes the transport when the active project is no longer the one it shows.
    void FollowActiveProject();
    // Play/stop and the recording switch go to the transport's buttons.
    void PressTransportButton(int button);
    // Once recording is over, says that part of it is missing (takes the engine dropped).
    void ReportDroppedTakes();

    CSequencerApp& m_app;
    CEngineHost m_engine;
    QMdiArea* m_area;
    CCommandRouter m_router;
    std::map<ECommand, QAction*> m_actions;
    QMenu* m_windowMenu = nullptr;
    // The main frame's "&Edit" popup and the one the menu bar shows now (an editor's, or it).
    QMenu* m_editMenu = nullptr;
    QPointer<QMenu> m_shownEditMenu;
    QList<QAction*> m_windowListActions;
    CWndTransport* m_transport = nullptr;
    // The project the transport showed last; a change of active project refreshes it.
    const CProjectDoc* m_transportProject = nullptr;
    bool m_transportShown = false;
    bool m_blink = false;
    bool m_wasRecording = false;
    // Takes finished during one drain, committed to the active project right after it.
    CRecordedTakes m_takes;
    // Takes the engine could not start in time since the user was last told.
    int m_droppedTakes = 0;
    // Phrase players reported during the current drain: the bank windows show them after it.
    bool m_phrasesReported = false;
    bool m_activating = false;
    QTimer m_drainTimer;     // 1000: engine news and view refresh, every 50 ms
    QTimer m_blinkTimer;     // 1001: transport blink, every 500 ms
    QTimer m_transportTimer; // 1002: transport display, every 50 ms
    QTimer m_engineTimer;    // 1003: periodic look at the engine, every 100 ms
};
