// The transport window in the running program: a tool window of the main frame that comes forward
// when repositioned, and shows the song position and the solo and mute modes however they change.
// (Its stacking under a real window manager is checked by transport_stacking.sh.)

#include <QApplication>
#include <QTest>
#include <QWindow>

#include <functional>

#include "controls/ButtonBitmap.h"
#include "controls/EditValue.h"
#include "editing/TrackOperations.h"
#include "model/Track.h"
#include "shell/WndMixer.h"
#include "shell/WndMixerStrip.h"
#include "shell/WndTransport.h"
#include "ui/UiFixture.h"

namespace {

using EButton = CWndTransport::EButton;

class CTransportWindowTest : public CUiFixture {
protected:
    CWndTransport& Transport() { return *Frame().GetTransport(); }
    // One round of the main frame's timers: the engine's news, then the transport's display.
    void Tick()
    {
        Frame().OnDrainTimer();
        Frame().OnTransportTimer();
    }
    tick Shown() { return Transport().GetPositionBox().GetValue(); }
};

} // namespace

TEST_F(CTransportWindowTest, IsAToolOfTheMainWindowAndComesForwardWhenRepositioned)
{
    Start();
    Frame().show();
    CWndTransport& transport = Transport();
    ASSERT_TRUE(transport.isVisible());
    // The window manager keeps a transient tool window above its main window.
    ASSERT_NE(transport.windowHandle(), nullptr);
    EXPECT_EQ(transport.windowHandle()->transientParent(), Frame().windowHandle());
    EXPECT_TRUE(transport.windowFlags().testFlag(Qt::Tool));

    QApplication::setActiveWindow(&Frame());
    Settle();
    ASSERT_TRUE(Frame().RunCommand(ECommand::RepositionTransport));
    Settle();
    EXPECT_EQ(QApplication::activeWindow(), &transport);
}

TEST_F(CTransportWindowTest, PositionBoxShowsTheProjectAfterEveryStopLocateAndEdit)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CWndTransport& transport = Transport();
    TypeInto(transport.GetLoopStartBox(), "2.1.01");
    TypeInto(transport.GetLoopEndBox(), "3.1.01");
    transport.ClickButton(EButton::Loop);
    ASSERT_TRUE(doc.IsLoopOn());

    // Each step, then the position the project and the box show after one round of the timers.
    struct SStep {
        const char* what;
        std::function<void()> act;
        tick expected;
    };
    const SStep steps[] = {
        {"typed 10.1.01", [&] { TypeInto(transport.GetPositionBox(), "10.1.01"); }, 3456},
        // Stopped, Stop goes back to the loop start, and from there to the start.
        {"stop while stopped", [&] { transport.ClickButton(EButton::Stop); }, 384},
        {"stop at the loop start", [&] { transport.ClickButton(EButton::Stop); }, 0},
        {"located by another window", [&] { doc.SetSongPosition(1000); }, 1000},
        {"play", [&] { transport.ClickButton(EButton::Play); }, 1000},
        {"located while playing", [&] { doc.SetSongPosition(1500); }, 1500},
        {"stop while playing", [&] { transport.ClickButton(EButton::Stop); }, 1500},
        {"stop again", [&] { transport.ClickButton(EButton::Stop); }, 384},
    };
    for (const SStep& step : steps) {
        step.act();
        Tick();
        EXPECT_EQ(doc.GetSongPosition(), step.expected) << step.what;
        EXPECT_EQ(Shown(), step.expected) << step.what;
    }

    // What the user is typing is left alone.
    transport.GetPositionBox().OpenEditor(QStringLiteral("7"));
    transport.ClickButton(EButton::Stop);
    Tick();
    EXPECT_TRUE(transport.GetPositionBox().IsEditing());
}

TEST_F(CTransportWindowTest, SoloAndMuteButtonsFollowTheModesSetFromTheMixer)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    ASSERT_TRUE(doc.Execute(std::make_unique<COpTrackCreate>(-1, std::make_unique<CTrack>())));
    WindowsOf(doc).OpenMixerWindow(true);
    Settle();
    CWndMixer* mixer = CWndMixer::Of(doc);
    ASSERT_NE(mixer, nullptr);
    CWndMixerStrip& strip = mixer->GetStrip(0);

    struct SCase {
        const char* what;
        CButtonBitmap& stripButton;
        EButton transportButton;
        bool (CProjectDoc::*mode)() const;
    };
    const SCase cases[] = {{"solo", strip.GetSolo(), EButton::Solo, &CProjectDoc::IsSoloActive},
                           {"mute", strip.GetMute(), EButton::Mute, &CProjectDoc::IsMuteActive}};
    for (const SCase& c : cases) {
        // A track's flag switched on in the mixer switches its mode on, and off again.
        for (const bool on : {true, false}) {
            QTest::mouseClick(&c.stripButton, Qt::LeftButton);
            Tick();
            EXPECT_EQ((doc.*c.mode)(), on) << c.what;
            EXPECT_EQ(Transport().GetButton(c.transportButton).IsLatched(), on) << c.what;
        }
    }
}
