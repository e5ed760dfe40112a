#include "shell/WndTransport.h"

#include "controls/ButtonBitmap.h"
#include "controls/EditValue.h"
#include "devices/MidiNode.h"
#include "document/ProjectManager.h"
#include "engine/MidiEngineProxy.h"
#include "engine/PlayControl.h"
#include "engine/SequencerClock.h"
#include "model/Profile.h"
#include "shell/DlgMetronome.h"

#include <QCloseEvent>
#include <QLinearGradient>
#include <QPainter>

namespace {

constexpr int kMetronomeActive = 1; // the metronome's "active" parameter

const char* const kSection = "Transport-Window";
constexpr int kDefaultX = 50;
constexpr int kDefaultY = 250;
constexpr QSize kClientSize(411, 58);

// Value box identifiers (the buttons use their EButton value).
enum EBox : int { kBoxTempo = 100, kBoxPosition, kBoxLoopStart, kBoxLoopEnd };

// Room between a label and its box, and between a button or box and the next label.
constexpr int kLabelGap = 4;
constexpr int kGroupGap = 6;
constexpr int kTempoWidth = 50;
// The two rows of labels and boxes: top and height.
constexpr int kTopRow = 6, kTopRowHeight = 19;
constexpr int kBottomRow = 34, kBottomRowHeight = 16;

} // namespace

CWndTransport::CWndTransport(CProjectManager& projects, CMidiEngineProxy& engine, CProfile& profile,
                             QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_projects(projects), m_engine(engine), m_profile(profile)
{
    setWindowTitle(QStringLiteral("Transport Tonalweaver "));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(CTheme::SmallFont());
    setFixedSize(kClientSize);
    CreateControls();
    move(m_profile.GetInt(kSection, "x", kDefaultX), m_profile.GetInt(kSection, "y", kDefaultY));
    m_windTimer.setInterval(kWindIntervalMs);
    connect(&m_windTimer, &QTimer::timeout, this, &CWndTransport::WindStep);
    RefreshFromModel();
    RefreshEngineToggles();
}

CWndTransport::~CWndTransport()
{
    m_profile.SetInt(kSection, "x", pos().x());
    m_profile.SetInt(kSection, "y", pos().y());
}

CButtonBitmap* CWndTransport::AddButton(EButton id, EArtwork art, const QRect& place)
{
    auto* button = new CButtonBitmap(this);
    button->SetId(static_cast<int>(id));
    button->SetArtwork(art);
    button->setGeometry(place);
    connect(button, &CButtonBitmap::ButtonPressed, this, &CWndTransport::OnPressed);
    connect(button, &CButtonBitmap::ButtonReleased, this, &CWndTransport::OnReleased);
    connect(button, &CButtonBitmap::RightButton, this, &CWndTransport::OnRightButton);
    m_buttons[static_cast<size_t>(id)] = button;
    return button;
}

void CWndTransport::CreateControls()
{
    struct Place {
        EButton id;
        EArtwork art;
        QRect place;
        const char* tip;
    };
    const Place places[] = {
        {EButton::Rec, EArtwork::Record, {8, 6, 16, 19}, "Record"},
        {EButton::Rw, EArtwork::Rewind, {32, 6, 16, 19}, "Rewind"},
        {EButton::Stop, EArtwork::Stop, {56, 6, 16, 19}, "Stop"},
        {EButton::Play, EArtwork::Play, {80, 6, 16, 19}, "Play"},
        {EButton::Fwd, EArtwork::Forward, {104, 6, 16, 19}, "Forward"},
        {EButton::Solo, EArtwork::Solo, {374, 8, 14, 14}, "Solo mode"},
        {EButton::Mute, EArtwork::Mute, {389, 8, 14, 14}, "Mute mode"},
        {EButton::Loop, EArtwork::Loop, {44, 34, 19, 16}, "Loop Mode"},
        {EButton::Sync,
         EArtwork::Sync,
         {296, 36, 23, 14},
         "Follow MIDI clock (right button: settings)"},
        {EButton::Click, EArtwork::Click, {335, 35, 25, 16}, "Metronome (right button: settings)"},
        {EButton::Step, EArtwork::Step, {377, 36, 23, 14}, "Step recording"},
    };
    for (const Place& p : places) {
        CButtonBitmap* button = AddButton(p.id, p.art, p.place);
        button->setToolTip(QString::fromUtf8(p.tip));
        button->setAccessibleName(QString::fromUtf8(p.tip));
    }

    auto connectBox = [this](CEditNumber* box, int id, const char* name) {
        box->SetId(id);
        box->SetName(QString::fromUtf8(name));
        box->SetFocusOwner(nullptr); // keep the focus here after typing
        connect(box, &CEditValue::ValueChanged, this, &CWndTransport::OnBoxChanged);
    };
    m_tempo = new CEditTempo(this);
    connectBox(m_tempo, kBoxTempo, "Tempo");
    m_position = new CEditTime(CEditTime::EForm::Position, this);
    connectBox(m_position, kBoxPosition, "Song position");
    m_loopStart = new CEditTime(CEditTime::EForm::Position, this);
    connectBox(m_loopStart, kBoxLoopStart, "Loop start");
    m_loopEnd = new CEditTime(CEditTime::EForm::Position, this);
    connectBox(m_loopEnd, kBoxLoopEnd, "Loop end");
    LayOutLabelsAndBoxes();
}

void CWndTransport::LayOutLabelsAndBoxes()
{
    // The buttons keep their places; each label is as wide as its text in the window's font and
    // its box takes what is left up to the next button.
    const QFontMetrics metrics(font());
    m_labels.clear();
    auto label = [&](const char* text, int left, int top, int height) {
        const QString shown = QString::fromUtf8(text);
        const QRect place(left, top, metrics.horizontalAdvance(shown) + 1, height);
        m_labels.emplace_back(shown, place);
        return place.right() + 1 + kLabelGap; // where its box starts
    };
    auto rightOf = [](const QWidget& control) {
        return control.geometry().right() + 1 + kGroupGap;
    };

    int x = label("tempo", rightOf(GetButton(EButton::Fwd)), kTopRow, kTopRowHeight);
    m_tempo->setGeometry(x, kTopRow, kTempoWidth, kTopRowHeight);
    x = label("position", rightOf(*m_tempo), kTopRow, kTopRowHeight);
    const int topEnd = GetButton(EButton::Solo).geometry().left() - kGroupGap;
    m_position->setGeometry(x, kTopRow, topEnd - x, kTopRowHeight);

    // "loop" ends just before its button.
    const QRect loop = GetButton(EButton::Loop).geometry();
    const int loopWidth = metrics.horizontalAdvance(QStringLiteral("loop")) + 1;
    label("loop", loop.left() - kLabelGap - loopWidth, kBottomRow, kBottomRowHeight);
    x = label("from:", rightOf(GetButton(EButton::Loop)), kBottomRow, kBottomRowHeight);
    const int bottomEnd = GetButton(EButton::Sync).geometry().left() - kGroupGap;
    const int toWidth = metrics.horizontalAdvance(QStringLiteral("to:")) + 1;
    const int boxWidth = (bottomEnd - x - kGroupGap - toWidth - kLabelGap) / 2;
    m_loopStart->setGeometry(x, kBottomRow, boxWidth, kBottomRowHeight);
    x = label("to:", rightOf(*m_loopStart), kBottomRow, kBottomRowHeight);
    m_loopEnd->setGeometry(x, kBottomRow, bottomEnd - x, kBottomRowHeight);
}

void CWndTransport::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange && m_loopEnd != nullptr) {
        LayOutLabelsAndBoxes();
        update();
    }
    QWidget::changeEvent(event);
}

CButtonBitmap& CWndTransport::GetButton(EButton button) const
{
    return *m_buttons[static_cast<size_t>(button)];
}

// ---- Showing the model and the engine ----

void CWndTransport::RefreshFromModel()
{
    CProjectDoc* doc = m_projects.GetActiveProject();
    for (CButtonBitmap* button : m_buttons)
        button->setEnabled(doc != nullptr);
    const std::array<CEditNumber*, 4> boxes{m_tempo, m_position, m_loopStart, m_loopEnd};
    for (CEditNumber* box : boxes)
        box->setEnabled(doc != nullptr);
    if (doc == nullptr) return;
    for (CEditTime* box : {m_position, m_loopStart, m_loopEnd})
        box->SetTimeSignature(doc->GetTimeSignature());
    m_tempo->SetValue(doc->GetTempo());
    if (m_wind == 0) m_position->SetValue(doc->GetSongPosition());
    GetButton(EButton::Solo).SetLatched(doc->IsSoloActive());
    GetButton(EButton::Mute).SetLatched(doc->IsMuteActive());
    ShowLoop(doc->IsLoopOn());
    m_loopStart->SetValue(doc->GetLoopStart());
    m_loopEnd->SetValue(doc->GetLoopEnd());
}

void CWndTransport::Refresh(const CTransportEngineState& state)
{
    ShowPosition(state);
    GetButton(EButton::Play).SetLatched(state.playing);
    // While playing "Rec" shows the switch; stopped, the blink takes over while it is on.
    const bool recording = IsRecordingSwitchOn();
    if (!recording || state.playing) GetButton(EButton::Rec).SetLatched(recording);
    RefreshEngineToggles();
}

void CWndTransport::ShowPosition(const CTransportEngineState& state)
{
    // A wind in progress and the user's typing win over both.
    if (m_wind != 0 || m_position->IsEditing()) return;
    // Stopped, the project's position is the truth: a stop or locate moves it without playing.
    const CProjectDoc* doc = m_projects.GetActiveProject();
    if (state.playing)
        m_position->SetValue(state.position);
    else if (doc != nullptr)
        m_position->SetValue(doc->GetSongPosition());
}

void CWndTransport::ToggleBlink()
{
    if (!IsRecordingSwitchOn() || m_engine.IsPlaying()) return;
    CButtonBitmap& rec = GetButton(EButton::Rec);
    rec.SetLatched(!rec.IsLatched());
}

void CWndTransport::RefreshEngineToggles()
{
    GetButton(EButton::Sync)
        .SetLatched(m_engine.GetNodeParameter(kClockNode, CSequencerClock::kInternalClock) == 0);
    GetButton(EButton::Click)
        .SetLatched(m_engine.GetNodeParameter(kMetronomeNode, kMetronomeActive) == 1);
    const intptr_t target =
        m_engine.GetNodeParameter(kPlayControlNode, CPlayControl::kCaptureTarget);
    GetButton(EButton::Step).SetLatched(target != 0 && target != -1);
}

bool CWndTransport::IsRecordingSwitchOn() const
{
    return m_engine.GetNodeParameter(kPlayControlNode, CPlayControl::kRecording) == 1;
}

void CWndTransport::ShowLoop(bool on)
{
    // The loop button swaps its pair of faces to show the switch.
    const EArtState rest = on ? EArtState::Pressed : EArtState::Normal;
    GetButton(EButton::Loop).SetFaces({EArtwork::Loop, rest}, {EArtwork::Loop, EArtState::Pressed});
}

// ---- Actions ----

void CWndTransport::OnPressed(int id)
{
    CProjectDoc* doc = m_projects.GetActiveProject();
    if (doc == nullptr) return;
    switch (static_cast<EButton>(id)) {
    case EButton::Play:
        PlayOrStop();
        break;
    case EButton::Stop:
        m_engine.Stop();
        GetButton(EButton::Play).SetLatched(false);
        break;
    case EButton::Rec:
        ToggleRecording();
        break;
    case EButton::Rw:
        StartWind(-1);
        break;
    case EButton::Fwd:
        StartWind(1);
        break;
    case EButton::Solo:
        m_engine.ToggleSoloMode();
        GetButton(EButton::Solo)
            .SetLatched(m_engine.GetNodeParameter(kPlayControlNode, CPlayControl::kSoloMode) == 1);
        break;
    case EButton::Mute:
        m_engine.ToggleMuteMode();
        GetButton(EButton::Mute)
            .SetLatched(m_engine.GetNodeParameter(kPlayControlNode, CPlayControl::kMuteMode) == 1);
        break;
    case EButton::Sync: {
        const bool internal =
            m_engine.GetNodeParameter(kClockNode, CSequencerClock::kInternalClock) != 0;
        m_engine.SetNodeParameter(kClockNode, CSequencerClock::kInternalClock, internal ? 0 : 1);
        RefreshEngineToggles();
        break;
    }
    case EButton::Click: {
        const bool active = m_engine.GetNodeParameter(kMetronomeNode, kMetronomeActive) == 1;
        m_engine.SetNodeParameter(kMetronomeNode, kMetronomeActive, active ? 0 : 1);
        RefreshEngineToggles();
        break;
    }
    case EButton::Step: {
        if (IsRecordingSwitchOn()) break;
        const intptr_t target =
            m_engine.GetNodeParameter(kPlayControlNode, CPlayControl::kCaptureTarget);
        const bool stepping = target != 0 && target != -1;
        m_engine.SetNodeParameter(kPlayControlNode, CPlayControl::kCaptureTarget,
                                  stepping ? 0 : kStepRecordTarget);
        RefreshEngineToggles();
        break;
    }
    case EButton::Loop:
        break; // acts on release
    }
}

void CWndTransport::OnReleased(int id)
{
    CProjectDoc* doc = m_projects.GetActiveProject();
    if (doc == nullptr) return;
    switch (static_cast<EButton>(id)) {
    case EButton::Loop:
        doc->ToggleLoop();
        ShowLoop(doc->IsLoopOn());
        break;
    case EButton::Rw:
    case EButton::Fwd:
        GetButton(static_cast<EButton>(id)).SetLatched(false);
        EndWind(*doc);
        break;
    default:
        break;
    }
}

void CWndTransport::ClickButton(EButton button)
{
    if (!GetButton(button).isEnabled()) return;
    OnPressed(static_cast<int>(button));
    OnReleased(static_cast<int>(button));
}

void CWndTransport::OnRightButton(int id)
{
    if (static_cast<EButton>(id) == EButton::Sync) emit SyncSettingsRequested();
    if (static_cast<EButton>(id) == EButton::Click) emit MetronomeSettingsRequested();
}

void CWndTransport::OnBoxChanged(int id)
{
    CProjectDoc* doc = m_projects.GetActiveProject();
    if (doc == nullptr) return;
    switch (id) {
    case kBoxTempo:
        doc->SetTempo(m_tempo->GetValue());
        m_engine.SetTempo(m_tempo->GetValue());
        break;
    case kBoxPosition:
        doc->SetSongPosition(m_position->GetValue()); // the player locates there
        break;
    case kBoxLoopStart:
        doc->SetLoopStart(m_loopStart->GetValue());
        break;
    case kBoxLoopEnd:
        doc->SetLoopEnd(m_loopEnd->GetValue());
        break;
    default:
        break;
    }
}

void CWndTransport::PlayOrStop()
{
    if (m_engine.IsPlaying()) {
        m_engine.Stop();
        GetButton(EButton::Play).SetLatched(false);
        return;
    }
    // Play means play now: a clock that waits for MIDI clock is switched to internal first.
    if (m_engine.GetNodeParameter(kClockNode, CSequencerClock::kInternalClock) == 0) {
        m_engine.SetNodeParameter(kClockNode, CSequencerClock::kInternalClock, 1);
        RefreshEngineToggles();
    }
    m_engine.Play();
    GetButton(EButton::Play).SetLatched(m_engine.IsPlaying());
}

void CWndTransport::ToggleRecording()
{
    CButtonBitmap& rec = GetButton(EButton::Rec);
    if (IsRecordingSwitchOn()) {
        m_engine.SetRecording(false);
        rec.SetLatched(false);
        return;
    }
    m_engine.SetRecording(true);
    rec.SetLatched(true);
    m_engine.SetNodeParameter(kPlayControlNode, CPlayControl::kCaptureTarget, 0);
    RefreshEngineToggles();
}

void CWndTransport::StartWind(int direction)
{
    m_wind = direction;
    GetButton(direction < 0 ? EButton::Rw : EButton::Fwd).SetLatched(true);
    GetButton(direction < 0 ? EButton::Fwd : EButton::Rw).SetLatched(false);
    m_windTimer.start();
}

void CWndTransport::WindStep()
{
    CProjectDoc* doc = m_projects.GetActiveProject();
    if (m_wind == 0 || doc == nullptr) return;
    doc->StepSongPosition(m_wind); // the tracks window follows; the player is located at the end
    m_position->SetValue(doc->GetSongPosition());
}

void CWndTransport::EndWind(CProjectDoc& doc)
{
    m_windTimer.stop();
    if (m_wind == 0) return;
    m_wind = 0;
    doc.SetSongPosition(doc.GetSongPosition());
}

// ---- Window ----

QPoint CWndTransport::RepositionedTopLeft(const QRect& mainFrame, const QSize& transportFrame)
{
    const int x = mainFrame.left() + mainFrame.width() / 2 - transportFrame.width() / 2;
    const int y = mainFrame.top() + mainFrame.height() - transportFrame.height();
    return {x, y};
}

void CWndTransport::Reposition(const QRect& mainFrame)
{
    move(RepositionedTopLeft(mainFrame, frameGeometry().size()));
    // Brought back into view means in front and ready for keys, wherever it was.
    show();
    raise();
    activateWindow();
}

void CWndTransport::ShowMetronomeDialog()
{
    CDlgMetronome dialog(m_engine, this);
    connect(&dialog, &CDlgMetronome::ActiveChanged, this, &CWndTransport::RefreshEngineToggles);
    dialog.exec();
    RefreshEngineToggles();
}

void CWndTransport::closeEvent(QCloseEvent* event)
{
    // The user's close request (from the window manager) is ignored: the main frame owns the
    // transport. Closes by the program, such as the application quitting, go ahead.
    if (event->spontaneous())
        event->ignore();
    else
        event->accept();
}

void CWndTransport::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0, CTheme::PanelBackground().lighter(135));
    fill.setColorAt(1, CTheme::PanelBackground());
    p.fillRect(rect(), fill);
    // A groove between the two rows.
    p.setPen(QColor(0, 0, 0, 90));
    p.drawLine(6, 29, width() - 7, 29);
    p.setPen(QColor(255, 255, 255, 30));
    p.drawLine(6, 30, width() - 7, 30);
    p.setPen(CTheme::PanelLabel());
    for (const auto& [text, place] : m_labels)
        p.drawText(place, Qt::AlignLeft | Qt::AlignVCenter, text);
}
