// The transport window on the real engine (virtual backend, run inline without the music thread):
// its buttons and boxes reach the engine and the active project, the record button blinks, winds
// locate when they end, and the window keeps and restores its place.

#include "shell/WndTransport.h"
#include "controls/ButtonBitmap.h"
#include "controls/ControlsTestSupport.h"
#include "controls/EditValue.h"
#include "controls/SelectList.h"
#include "devices/MidiNode.h"
#include "devices/virtual/VirtualBackend.h"
#include "document/EnginePlayerLink.h"
#include "document/ProjectManager.h"
#include "engine/EngineMailbox.h"
#include "engine/MidiEngine.h"
#include "engine/MidiEngineProxy.h"
#include "engine/PlayControl.h"
#include "engine/SequencerClock.h"
#include "fakes/ScriptedUserServices.h"
#include "model/Profile.h"
#include "model/Track.h"
#include "shell/DlgMetronome.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

#include <memory>
#include <utility>
#include <vector>

namespace {

using EButton = CWndTransport::EButton;
constexpr CNodeAddress kClock{static_cast<uint16_t>(ENodeKind::SequencerClock), 0};
constexpr CNodeAddress kPlayControl{static_cast<uint16_t>(ENodeKind::PlayControl), 0};
constexpr CNodeAddress kMetronome{static_cast<uint16_t>(ENodeKind::Metronome), 0};

class CTransportSink : public CEngineNotificationSink {
public:
    void OnTransportRequest(int32_t code, int32_t value) override
    {
        requests.emplace_back(code, value);
    }
    std::vector<std::pair<int32_t, int32_t>> requests;
};

class WndTransportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(proxy.AttachEngine(&engine));
        ASSERT_EQ(proxy.Initialise(false), 1) << proxy.GetLastError();
        doc = &manager.NewProject();
        transport = std::make_unique<CWndTransport>(manager, proxy, profile);
    }
    void TearDown() override
    {
        transport.reset();
        proxy.ShutDown();
    }

    CButtonBitmap& Button(EButton b) { return transport->GetButton(b); }
    void Click(EButton b)
    {
        SendMouse(Button(b), QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton, Qt::LeftButton);
        SendMouse(Button(b), QEvent::MouseButtonRelease, {4, 4}, Qt::LeftButton, Qt::NoButton);
    }
    // Types text into a box and presses Return, as a user would.
    static void Type(CEditValue& box, const QString& text)
    {
        QTest::keyClick(&box, Qt::Key_F2);
        ASSERT_TRUE(box.IsEditing());
        box.GetEditor()->clear();
        QTest::keyClicks(box.GetEditor(), text);
        QTest::keyClick(box.GetEditor(), Qt::Key_Return);
    }
    intptr_t Param(const CNodeAddress& node, int32_t code) const
    {
        return proxy.GetNodeParameter(node, code);
    }
    bool RecordingSwitch() const { return Param(kPlayControl, CPlayControl::kRecording) == 1; }
    CTransportEngineState EngineState() const { return {proxy.IsPlaying(), proxy.GetPosition()}; }

    CVirtualBackend backend{{"Synth A", "Synth B"}, {"Keys"}};
    CMidiEngineProxy proxy;
    CMidiEngine engine{backend, proxy.GetMailbox()};
    CEnginePlayerLink link{proxy};
    CScriptedUserServices user;
    CMemoryProfile profile;
    CProjectManager manager{
        user, profile, &link, {}, [](CProjectDoc&, const std::string&) { return false; }};
    CProjectDoc* doc = nullptr;
    std::unique_ptr<CWndTransport> transport;
};

} // namespace

TEST_F(WndTransportTest, PlayStopTempoPositionAndLoopReachTheEngine)
{
    Click(EButton::Play);
    EXPECT_TRUE(proxy.IsPlaying());
    EXPECT_TRUE(Button(EButton::Play).IsLatched());
    Click(EButton::Play); // playing: Play stops
    EXPECT_FALSE(proxy.IsPlaying());
    Click(EButton::Play);
    Click(EButton::Stop);
    EXPECT_FALSE(proxy.IsPlaying());
    EXPECT_FALSE(Button(EButton::Play).IsLatched());

    CTransportSink sink;
    proxy.GetMailbox().Drain(sink);
    sink.requests.clear();
    Type(transport->GetTempoBox(), "140.5");
    EXPECT_EQ(doc->GetTempo(), 14050);
    proxy.GetMailbox().Drain(sink);
    EXPECT_EQ(sink.requests, (std::vector<std::pair<int32_t, int32_t>>{{1, 14050}}));
    Type(transport->GetTempoBox(), "400"); // beyond the range: the highest tempo
    EXPECT_EQ(doc->GetTempo(), 25000);

    Type(transport->GetPositionBox(), "3.1.01");
    EXPECT_EQ(doc->GetSongPosition(), 768);
    EXPECT_EQ(proxy.GetPosition(), 768);

    Click(EButton::Loop);
    EXPECT_TRUE(doc->IsLoopOn());
    EXPECT_TRUE(engine.GetClock().IsLoopActive());
    EXPECT_EQ(Button(EButton::Loop).GetShownFace(), (CArtFace{EArtwork::Loop, EArtState::Pressed}));
    Type(transport->GetLoopStartBox(), "2");
    Type(transport->GetLoopEndBox(), "5.1.01");
    EXPECT_EQ(doc->GetLoopStart(), 384);
    EXPECT_EQ(doc->GetLoopEnd(), 1536);
    EXPECT_EQ(engine.GetClock().GetLoopStart(), 384);
    EXPECT_EQ(engine.GetClock().GetLoopEnd(), 1536);
    Click(EButton::Loop);
    EXPECT_FALSE(engine.GetClock().IsLoopActive());
    EXPECT_EQ(Button(EButton::Loop).GetShownFace(), (CArtFace{EArtwork::Loop, EArtState::Normal}));

    // "sync" follows MIDI clock; Play then switches back to the internal clock and starts.
    Click(EButton::Sync);
    EXPECT_EQ(Param(kClock, CSequencerClock::kInternalClock), 0);
    EXPECT_TRUE(Button(EButton::Sync).IsLatched());
    Click(EButton::Play);
    EXPECT_TRUE(proxy.IsPlaying());
    EXPECT_EQ(Param(kClock, CSequencerClock::kInternalClock), 1);
    EXPECT_FALSE(Button(EButton::Sync).IsLatched());

    // While playing the position box follows the engine; the model refresh shows the project.
    transport->Refresh({true, 2000});
    EXPECT_EQ(transport->GetPositionBox().GetValue(), 2000);
    doc->SetTempo(9000);
    transport->RefreshFromModel();
    EXPECT_EQ(transport->GetTempoBox().GetText(), "90.00");
    // The main frame's keys act through ClickButton as a click would.
    transport->ClickButton(EButton::Play);
    EXPECT_FALSE(proxy.IsPlaying());
    transport->ClickButton(EButton::Loop);
    EXPECT_TRUE(engine.GetClock().IsLoopActive());
}

TEST_F(WndTransportTest, WindMovesTheProjectAndLocatesWhenReleased)
{
    CButtonBitmap& fwd = Button(EButton::Fwd);
    SendMouse(fwd, QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(transport->GetWindDirection(), 1);
    EXPECT_TRUE(fwd.IsLatched());
    EXPECT_FALSE(Button(EButton::Rw).IsLatched());
    for (int i = 0; i < 3; ++i)
        transport->WindStep();
    EXPECT_EQ(doc->GetSongPosition(), 288);
    EXPECT_EQ(transport->GetPositionBox().GetValue(), 288);
    EXPECT_EQ(proxy.GetPosition(), 0); // the engine is located only when the wind ends
    transport->Refresh({true, 5});     // a wind wins over the engine's position
    EXPECT_EQ(transport->GetPositionBox().GetValue(), 288);
    SendMouse(fwd, QEvent::MouseButtonRelease, {4, 4}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(transport->GetWindDirection(), 0);
    EXPECT_FALSE(fwd.IsLatched());
    EXPECT_EQ(proxy.GetPosition(), 288);

    // Rewinding stops at the start.
    CButtonBitmap& rw = Button(EButton::Rw);
    SendMouse(rw, QEvent::MouseButtonPress, {4, 4}, Qt::LeftButton, Qt::LeftButton);
    for (int i = 0; i < 5; ++i)
        transport->WindStep();
    EXPECT_EQ(doc->GetSongPosition(), 0);
    SendMouse(rw, QEvent::MouseButtonRelease, {4, 4}, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(proxy.GetPosition(), 0);
    transport->WindStep(); // no wind in progress: nothing moves
    EXPECT_EQ(doc->GetSongPosition(), 0);
}

TEST_F(WndTransportTest, RecordBlinksUntilPlaybackAndStepWaitsForRecordingOff)
{
    CButtonBitmap& rec = Button(EButton::Rec);
    Click(EButton::Rec);
    EXPECT_TRUE(RecordingSwitch());
    EXPECT_TRUE(rec.IsLatched());
    EXPECT_EQ(Param(kPlayControl, CPlayControl::kCaptureTarget), 0);
    std::vector<bool> blinks;
    for (int i = 0; i < 4; ++i) {
        transport->ToggleBlink();
        blinks.push_back(rec.IsLatched());
    }
    EXPECT_EQ(blinks, std::vector<bool>({false, true, false, true}));

    Click(EButton::Step); // refused while the recording switch is on
    EXPECT_EQ(Param(kPlayControl, CPlayControl::kCaptureTarget), 0);
    EXPECT_FALSE(Button(EButton::Step).IsLatched());

    Click(EButton::Play);
    transport->Refresh(EngineState());
    EXPECT_TRUE(rec.IsLatched());
    transport->ToggleBlink(); // playing: steady
    EXPECT_TRUE(rec.IsLatched());
    Click(EButton::Stop); // stopping switches recording off
    transport->Refresh(EngineState());
    EXPECT_FALSE(RecordingSwitch());
    EXPECT_FALSE(rec.IsLatched());
    transport->ToggleBlink();
    EXPECT_FALSE(rec.IsLatched());

    Click(EButton::Rec);
    Click(EButton::Rec);
    EXPECT_FALSE(RecordingSwitch());
    EXPECT_FALSE(rec.IsLatched());
    Click(EButton::Step);
    EXPECT_NE(Param(kPlayControl, CPlayControl::kCaptureTarget), 0);
    EXPECT_TRUE(Button(EButton::Step).IsLatched());
    Click(EButton::Rec); // recording starts normal recording: the step target is cleared
    EXPECT_EQ(Param(kPlayControl, CPlayControl::kCaptureTarget), 0);
    EXPECT_FALSE(Button(EButton::Step).IsLatched());
    Click(EButton::Rec);

    Click(EButton::Solo); // no track is soloed: solo mode stays off
    EXPECT_EQ(Param(kPlayControl, CPlayControl::kSoloMode), 0);
    EXPECT_FALSE(Button(EButton::Solo).IsLatched());
    auto track = std::make_unique<CTrack>();
    track->SetId(1);
    doc->InsertTrack(-1, std::move(track));
    ASSERT_EQ(proxy.ToggleSolo(*doc->GetTracks().GetAt(0)), 1); // soloing a track turns it on
    Click(EButton::Solo);
    EXPECT_EQ(Param(kPlayControl, CPlayControl::kSoloMode), 0);
    EXPECT_FALSE(Button(EButton::Solo).IsLatched());
    Click(EButton::Solo);
    EXPECT_EQ(Param(kPlayControl, CPlayControl::kSoloMode), 1);
    EXPECT_TRUE(Button(EButton::Solo).IsLatched());
    Click(EButton::Mute);
    Click(EButton::Mute);
    EXPECT_EQ(Param(kPlayControl, CPlayControl::kMuteMode), 0);
    EXPECT_FALSE(Button(EButton::Mute).IsLatched());
}

TEST_F(WndTransportTest, WithoutActiveProjectNothingActs)
{
    ASSERT_TRUE(manager.CloseProject(*doc));
    transport->RefreshFromModel();
    EXPECT_FALSE(Button(EButton::Play).isEnabled());
    EXPECT_FALSE(transport->GetTempoBox().isEnabled());
    Click(EButton::Play);
    Click(EButton::Rec);
    EXPECT_FALSE(proxy.IsPlaying());
    EXPECT_FALSE(RecordingSwitch());

    CProjectDoc& next = manager.NewProject();
    next.SetTempo(15000);
    transport->RefreshFromModel();
    EXPECT_TRUE(Button(EButton::Play).isEnabled());
    EXPECT_EQ(transport->GetTempoBox().GetValue(), 15000);
}

TEST_F(WndTransportTest, PlacementIsKeptAndRepositionCentresOnTheMainFrame)
{
    struct Row {
        QRect main;
        QSize transport;
        QPoint expected;
    };
    const Row rows[] = {{{0, 0, 1000, 700}, {541, 60}, {230, 640}},
                        {{100, 50, 1001, 600}, {400, 80}, {400, 570}},
                        {{-300, -20, 640, 480}, {411, 86}, {-185, 374}},
                        {{0, 0, 300, 200}, {541, 60}, {-120, 140}}};
    for (const Row& r : rows)
        EXPECT_EQ(CWndTransport::RepositionedTopLeft(r.main, r.transport), r.expected);

    // A fresh profile places the window at 50, 250; destroying it stores where it was.
    EXPECT_EQ(transport->pos(), QPoint(50, 250));
    transport->move(320, 410);
    transport.reset();
    EXPECT_EQ(profile.GetInt("Transport-Window", "x", 0), 320);
    EXPECT_EQ(profile.GetInt("Transport-Window", "y", 0), 410);
    transport = std::make_unique<CWndTransport>(manager, proxy, profile);
    EXPECT_EQ(transport->pos(), QPoint(320, 410));

    transport->show();
    const QRect main(0, 0, 1000, 700);
    transport->Reposition(main);
    EXPECT_EQ(transport->frameGeometry().topLeft(),
              CWndTransport::RepositionedTopLeft(main, transport->frameGeometry().size()));
    // Only the window manager's close request is ignored; the program closing all windows (as
    // quitting does) must not be held up by the transport.
    EXPECT_TRUE(transport->close());
    EXPECT_FALSE(transport->isVisible());
    EXPECT_EQ(transport->windowTitle(), "Transport Tonalweaver ");
}

TEST_F(WndTransportTest, LabelsKeepClearOfTheControls)
{
    // At the usual font sizes, the labels' text keeps a gap to every button and box.
    constexpr int kGap = 3;
    for (const int points : {8, 9, 10}) {
        QFont font = transport->font();
        font.setPointSize(points);
        transport->setFont(font);
        const auto labels = transport->LabelTextRects();
        ASSERT_EQ(labels.size(), 5u);
        for (const auto& [text, drawn] : labels) {
            const std::string name = text.toStdString() + " at " + std::to_string(points) + "pt";
            EXPECT_GE(drawn.width(), transport->fontMetrics().horizontalAdvance(text)) << name;
            EXPECT_TRUE(transport->rect().contains(drawn)) << name;
            for (const QWidget* control : transport->findChildren<QWidget*>())
                EXPECT_FALSE(drawn.adjusted(-kGap, 0, kGap, 0).intersects(control->geometry()))
                    << name << " touches " << control->accessibleName().toStdString();
        }
    }
}

TEST_F(WndTransportTest, RightButtonsAskForTheSettingsDialogs)
{
    int sync = 0, metronome = 0;
    QObject::connect(transport.get(), &CWndTransport::SyncSettingsRequested, [&] { ++sync; });
    QObject::connect(transport.get(), &CWndTransport::MetronomeSettingsRequested,
                     [&] { ++metronome; });
    for (EButton b : {EButton::Sync, EButton::Click, EButton::Step})
        SendMouse(Button(b), QEvent::MouseButtonPress, {4, 4}, Qt::RightButton, Qt::RightButton);
    EXPECT_EQ(sync, 1);
    EXPECT_EQ(metronome, 1);
    EXPECT_EQ(Param(kPlayControl, CPlayControl::kCaptureTarget), 0); // the right button is no click
}

TEST_F(WndTransportTest, MetronomeDialogShowsWhatTheEngineHolds)
{
    ASSERT_EQ(proxy.OpenOutputDriver(1), 1) << proxy.GetLastError();
    CDlgMetronome dialog(proxy, transport.get());
    QObject::connect(&dialog, &CDlgMetronome::ActiveChanged, transport.get(),
                     &CWndTransport::RefreshEngineToggles);
    const auto choices = dialog.DeviceChoices();
    ASSERT_EQ(choices.size(), 2u);
    EXPECT_EQ(choices[0], (std::pair<int32_t, std::string>{-1, "<none>"}));
    EXPECT_EQ(choices[1].first, 1);
    EXPECT_EQ(choices[1].second, proxy.GetNodeName({2, 1}));

    // Each field shows the engine's value after a change: what it accepted, or "-" and "Off"
    // for parameters it does not know.
    auto expectShown = [&](CDlgMetronome::EField field, int32_t code, int32_t offset) {
        const intptr_t engineValue = Param(kMetronome, code);
        CEditNumber& box = dialog.GetField(field);
        if (engineValue < 0)
            EXPECT_TRUE(box.IsUndefined()) << field;
        else
            EXPECT_EQ(box.GetValue(), engineValue + offset) << field;
    };
    Type(dialog.GetField(CDlgMetronome::kFieldHighNote), "c6");
    expectShown(CDlgMetronome::kFieldHighNote, CDlgMetronome::kBarKey, 0);
    Type(dialog.GetField(CDlgMetronome::kFieldLowCh), "10");
    expectShown(CDlgMetronome::kFieldLowCh, CDlgMetronome::kBeatChannel, 1);
    if (Param(kMetronome, CDlgMetronome::kBeatChannel) >= 0) {
        EXPECT_EQ(Param(kMetronome, CDlgMetronome::kBeatChannel), 9);
        EXPECT_EQ(Param(kMetronome, CDlgMetronome::kBarKey), 72);
    }

    QTest::keyClick(&dialog.GetActiveField(), Qt::Key_Down); // "On"
    const bool on = Param(kMetronome, CDlgMetronome::kActive) == 1;
    EXPECT_EQ(dialog.GetActiveField().GetText(), on ? "On" : "Off");
    EXPECT_EQ(transport->GetButton(EButton::Click).IsLatched(), on);

    dialog.ChooseDevice(1);
    const bool accepted = Param(kMetronome, CDlgMetronome::kOutput) > 0;
    EXPECT_EQ(dialog.GetDeviceField().GetText().toStdString(),
              accepted ? proxy.GetNodeName({2, 1}) : std::string("<none>"));
}
