// The "&Options" dialogs: they change the engine at once, and what they set is kept in the
// profile across a restart.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include <fstream>

#include "controls/EditValue.h"
#include "devices/InputPort.h"
#include "devices/MidiDevices.h"
#include "devices/MidiOutDriver.h"
#include "devices/OutputPort.h"
#include "devices/synth/SynthBackend.h"
#include "devices/virtual/VirtualBackend.h"
#include "engine/DeviceSettings.h"
#include "engine/MidiEngine.h"
#include "engine/PlayControl.h"
#include "model/HarmonicScale.h"
#include "shell/DlgDevices.h"
#include "shell/DlgRecording.h"
#include "shell/DlgSync.h"
#include "shell/DlgSynth.h"
#include "shell/MainFrame.h"
#include "shell/WndTransport.h"
#include "ui/UiFixture.h"

namespace {

CMidiEngineProxy& Engine()
{
    return CMidiEngineProxy::Instance();
}

CMidiDevices& Devices()
{
    return Engine().GetEngine()->GetDevices();
}

} // namespace

TEST_F(CUiFixture, OptionsEntriesRunWithAnEngine)
{
    Start();
    Frame().UpdateActions();
    for (ECommand id : {ECommand::Devices, ECommand::Ports, ECommand::Sync, ECommand::Recording,
                        ECommand::HarmonicScale})
        EXPECT_TRUE(Frame().GetAction(id)->isEnabled()) << CommandInfo(id).name;
}

TEST_F(CUiFixture, DeviceDialogTogglesDriversInTheEngine)
{
    Start();
    CDlgMidiDevices dialog(Engine());
    QTreeWidget& outputs = dialog.GetList(true);
    QTreeWidget& inputs = dialog.GetList(false);
    ASSERT_EQ(outputs.topLevelItemCount(), 1);
    // A fresh profile enables and opens every device.
    EXPECT_EQ(outputs.topLevelItem(0)->text(0), "Out A (OK)");
    EXPECT_EQ(inputs.topLevelItem(0)->text(0), "In A (OK)");
    EXPECT_EQ(outputs.headerItem()->text(0), "MIDI-OUT Drivers");
    EXPECT_TRUE(dialog.GetProblems().isHidden()) << "nothing failed";

    // Return on the row (as a double-click) closes the output; another toggle opens it again.
    outputs.setCurrentItem(outputs.topLevelItem(0));
    QTest::keyClick(&outputs, Qt::Key_Return);
    EXPECT_FALSE(Devices().GetOutDriver(0)->IsOpen());
    EXPECT_EQ(outputs.topLevelItem(0)->text(0), "Out A (disabled)");
    dialog.Toggle(true, 0);
    EXPECT_TRUE(Devices().GetOutDriver(0)->IsOpen());
    EXPECT_EQ(outputs.topLevelItem(0)->text(0), "Out A (OK)");

    // A device that fails to open keeps its enabled flag and says so.
    auto& backend = dynamic_cast<CVirtualBackend&>(Engine().GetEngine()->GetBackend());
    dialog.Toggle(false, 0);
    backend.SetInputOpenFailure(0, "busy");
    dialog.Toggle(false, 0);
    EXPECT_EQ(inputs.topLevelItem(0)->text(0), "In A (failed to open)");
    // Why it failed: under the lists and on the row.
    EXPECT_FALSE(dialog.GetProblems().isHidden());
    EXPECT_EQ(dialog.GetProblems().text(), "In A: busy");
    EXPECT_EQ(inputs.topLevelItem(0)->toolTip(0), "busy");
    EXPECT_EQ(Devices().GetInDriver(0)->GetProblem(), "busy");
    // A new dialog says so as well; once it opens, nothing is left of it.
    CDlgMidiDevices again(Engine());
    EXPECT_EQ(again.GetProblems().text(), "In A: busy");
    backend.SetInputOpenFailure(0, "");
    dialog.Toggle(false, 0);
    dialog.Toggle(false, 0);
    EXPECT_EQ(inputs.topLevelItem(0)->text(0), "In A (OK)");
    EXPECT_TRUE(dialog.GetProblems().isHidden());
    EXPECT_EQ(inputs.topLevelItem(0)->toolTip(0), "");

    EXPECT_EQ(CDlgMidiDevices::RowText("X", false, true), "X (disabled)");
}

// A server that stops takes every device: the window says so in one line, however many drivers
// went; "Setup MIDI devices" shows each one's state as it changes; the devices come back by
// themselves and the window says that too. A device that appears is listed when the dialog opens.
TEST_F(CUiFixture, ALostServerIsSaidOnceAndTheDeviceDialogFollowsTheDevices)
{
    Start();
    CMidiEngine& engine = *Engine().GetEngine();
    auto& backend = dynamic_cast<CVirtualBackend&>(engine.GetBackend());
    QStatusBar& status = *Frame().statusBar();
    QSignalSpy said(&status, &QStatusBar::messageChanged);
    CDlgMidiDevices dialog(Engine());
    QTreeWidget& outputs = dialog.GetList(true);
    QTreeWidget& inputs = dialog.GetList(false);

    for (const bool output : {true, false}) {
        backend.InjectFault(output, 0, "The JACK server has stopped.", true);
        backend.SetPresent(output, 0, false);
    }
    engine.TimeoutPass();
    Frame().OnDrainTimer();
    ASSERT_EQ(said.count(), 1) << "one line, not one per driver";
    EXPECT_EQ(status.currentMessage(), "The JACK server has stopped. Playback has stopped; the MIDI "
                                       "devices reconnect when the server is back.");
    dialog.FollowEngine();
    EXPECT_EQ(outputs.topLevelItem(0)->text(0), "Out A (failed to open)");
    EXPECT_EQ(dialog.GetProblems().text(),
              "In A: The JACK server has stopped.\nOut A: The JACK server has stopped.");

    for (const bool output : {true, false})
        backend.SetPresent(output, 0, true);
    engine.TimeoutPass();
    Frame().OnDrainTimer();
    EXPECT_EQ(said.count(), 2);
    EXPECT_EQ(status.currentMessage(), "The MIDI devices are connected again.");
    dialog.FollowEngine();
    EXPECT_EQ(outputs.topLevelItem(0)->text(0), "Out A (OK)");
    EXPECT_EQ(inputs.topLevelItem(0)->text(0), "In A (OK)");
    EXPECT_TRUE(dialog.GetProblems().isHidden());

    // Announced but not yet looked at by the engine: the dialog asks when it opens, and an
    // open dialog adds rows once the engine has listed what came.
    backend.AddDevice(false, "In B");
    CDlgMidiDevices opened(Engine());
    ASSERT_EQ(opened.GetList(false).topLevelItemCount(), 2);
    EXPECT_EQ(opened.GetList(false).topLevelItem(1)->text(0), "In B (OK)");
    dialog.FollowEngine();
    ASSERT_EQ(inputs.topLevelItemCount(), 2);
    EXPECT_EQ(inputs.topLevelItem(1)->text(0), "In B (OK)");
}

TEST_F(CUiFixture, PortRoutingSurvivesARestart)
{
    Start();
    {
        CDlgPortSettings dialog(Engine());
        EXPECT_EQ(dialog.GetOutputDriver(2).currentText(), "<none>");
        Choose(dialog.GetOutputDriver(2), "Out A");
        Choose(dialog.GetInputDriver(1), "In A");
        Choose(dialog.GetInputChannel(1), "ch 5");
        // The engine has them at once.
        EXPECT_EQ(Devices().GetOutputPort(2)->GetFirstOutput(), Devices().GetOutDriver(0));
        EXPECT_EQ(Devices().GetInputPort(1)->GetChannelFilter(), 4);
        EXPECT_EQ(dialog.GetInputChannel(0).currentText(), "any");
    }
    m_app.reset();
    Settle();
    EXPECT_EQ(m_profile.GetString(DeviceSettings::kPortDrivers, "Out3", ""), "Out A");

    Start();
    CDlgPortSettings dialog(Engine());
    EXPECT_EQ(Devices().GetOutputPort(2)->GetFirstOutput(), Devices().GetOutDriver(0));
    EXPECT_EQ(dialog.GetOutputDriver(2).currentText(), "Out A");
    EXPECT_EQ(dialog.GetOutputDriver(0).currentText(), "<none>");
    EXPECT_EQ(dialog.GetInputDriver(1).currentText(), "In A");
    EXPECT_EQ(dialog.GetInputChannel(1).currentText(), "ch 5");
}

// A followed master's tempo (a JACK timebase master, MIDI clock) reaches the engine, which
// reports it: the transport window shows it at the next drain, not only when the project changes.
TEST_F(CUiFixture, TransportShowsTheTempoTheEngineFollows)
{
    Start();
    ASSERT_NE(Frame().GetTransport(), nullptr);
    ASSERT_EQ(Engine().SetTempo(13350), 1);
    Frame().OnDrainTimer();
    EXPECT_EQ(Frame().GetTransport()->GetTempoBox().GetValue(), 13350);
    EXPECT_EQ(Projects().GetActiveProject()->GetTempo(), 13350);
}

TEST_F(CUiFixture, SyncAndRecordingDialogsSetTheEngine)
{
    Start();
    CDlgSync sync(Engine());
    Choose(sync.GetMode(), "Slave (MIDI Clock)");
    EXPECT_EQ(Engine().GetNodeParameter({static_cast<uint16_t>(ENodeKind::SequencerClock), 0}, 7),
              0);
    ASSERT_EQ(sync.GetSendList().topLevelItemCount(), 1);
    EXPECT_EQ(sync.GetSendList().topLevelItem(0)->text(0), "-");
    sync.ToggleSend(0);
    EXPECT_TRUE(Devices().GetOutDriver(0)->IsClockSend());
    EXPECT_EQ(sync.GetSendList().topLevelItem(0)->text(0), "Send");
    // The test's backend is no JACK: the transport choice is off, greyed and says why.
    EXPECT_FALSE(sync.GetJackTransport().isEnabled());
    EXPECT_EQ(sync.GetJackTransport().currentText(), "Off");
    EXPECT_TRUE(sync.GetJackTransport().toolTip().contains("needs the JACK MIDI system"));

    CDlgRecording recording(Engine());
    recording.GetSwitch(2).setChecked(true);
    recording.GetQuantize().setCurrentIndex(recording.GetQuantize().findText("1/16"));
    recording.accept();
    const CRecordSettings& settings = Engine().GetEngine()->GetPlayControl().GetRecordSettings();
    EXPECT_TRUE(settings.recordProgramChange);
    EXPECT_TRUE(settings.recordControlChange);
    EXPECT_EQ(settings.quantizeGrid, 24);
}

TEST_F(CUiFixture, HarmonicScaleDialogShowsADashWithoutMode)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CDlgHarmonicScale dialog(doc.GetScale());
    EXPECT_EQ(dialog.GetKey().currentText(), "-");
    dialog.GetMode().setCurrentIndex(2);
    EXPECT_EQ(dialog.GetKey().count(), CHarmonicScale::kKeyCount);
    Choose(dialog.GetKey(), QString::fromUtf8(CHarmonicScale::GetKeyName(7).data(), 1));
    ApplyHarmonicScale(doc, dialog);
    EXPECT_EQ(doc.GetScale().GetKey(), 7);
    EXPECT_EQ(doc.GetScale().GetMode(), 2);
    EXPECT_FALSE(doc.UpdateUndo().enabled);
}

TEST_F(CUiFixture, DialogsShowTheirWholeTitles)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CDlgRecording recording(Engine());
    CDlgHarmonicScale scale(doc.GetScale());
    CDlgSync sync(Engine());
    CDlgPortSettings ports(Engine());
    CDlgMidiDevices devices(Engine());
    const std::pair<QDialog*, const char*> dialogs[] = {{&recording, "Recording...."},
                                                        {&scale, "Select Project Harmonic Scale"},
                                                        {&sync, "Sync settings"},
                                                        {&ports, "Port settings"},
                                                        {&devices, "Setup MIDI devices"}};
    // A title bar needs the title in a bold font, and room for the icon and three buttons.
    QFont bold = QApplication::font();
    bold.setBold(true);
    for (const auto& [dialog, title] : dialogs) {
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(title));
        dialog->show();
        Settle();
        const int needed = QFontMetrics(bold).horizontalAdvance(QString::fromUtf8(title)) + 100;
        EXPECT_GE(dialog->width(), needed) << title;
        dialog->hide();
    }
}

// "Synth...": the stored settings show; the file chooser and "Automatic" fill the SoundFont field
// (a cancelled chooser changes nothing); a font that cannot be read is refused with a message and
// nothing is kept; OK keeps both settings and hands them to the running synthesizer; Cancel
// keeps nothing.
TEST_F(CUiFixture, SynthDialogKeepsAndAppliesTheSoundFontAndVolume)
{
    Start();
    Frame().UpdateActions();
    EXPECT_TRUE(Frame().GetAction(ECommand::Synth)->isEnabled());
    const std::string font = PathOf("mine.sf2");
    std::ofstream(font, std::ios::binary) << std::string("RIFF\4\0\0\0sfbk", 12);
    const std::string notFont = PathOf("song.sf2");
    std::ofstream(notFont) << "RIFF";
    WriteSynthOptions(m_profile, {"/nowhere/old.sf2", 80});
    CSynthBackend synth(TestBackend(), {});

    CDlgSynth dialog(m_profile, m_user, &synth);
    // The synthesizer's state shows under the settings (here it was never started).
    EXPECT_FALSE(dialog.GetStateLabel().isHidden());
    EXPECT_EQ(dialog.GetStateLabel().text(), CDlgSynth::StateText({}));
    QLineEdit& field = dialog.GetFontField();
    EXPECT_EQ(field.text().toStdString(), "/nowhere/old.sf2");
    EXPECT_EQ(dialog.GetVolumeField().GetValue(), 80);
    m_user.m_chosenPath = font;
    dialog.Browse();
    EXPECT_EQ(field.text().toStdString(), font);
    dialog.ChooseAutomatic();
    EXPECT_TRUE(field.text().isEmpty());
    dialog.Browse();
    m_user.m_chosenPath.clear();
    dialog.Browse();
    EXPECT_EQ(field.text().toStdString(), font);
    dialog.GetVolumeField().OpenEditor(QStringLiteral("150"));
    QTest::keyClick(dialog.GetVolumeField().GetEditor(), Qt::Key_Return);
    EXPECT_EQ(dialog.GetVolumeField().GetValue(), 150);

    field.setText(QString::fromStdString(PathOf("missing.sf2")));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(m_user.m_messages.size(), 1u);
    EXPECT_NE(m_user.m_messages[0].find("cannot be read"), std::string::npos);
    EXPECT_EQ(ReadSynthOptions(m_profile).soundFont, "/nowhere/old.sf2");
    field.setText(QString::fromStdString(notFont));
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(m_user.m_messages.size(), 2u);
    EXPECT_NE(m_user.m_messages[1].find("is not a SoundFont"), std::string::npos);
    EXPECT_EQ(ReadSynthOptions(m_profile).soundFont, "/nowhere/old.sf2");

    field.setText(QString::fromStdString(font));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    for (const SSynthOptions& kept : {ReadSynthOptions(m_profile), synth.GetOptions()}) {
        EXPECT_EQ(kept.soundFont, font);
        EXPECT_EQ(kept.volume, 150);
    }

    CDlgSynth withoutEngine(m_profile, m_user, nullptr);
    EXPECT_TRUE(withoutEngine.GetStateLabel().isHidden());

    CDlgSynth cancelled(m_profile, m_user, &synth);
    cancelled.ChooseAutomatic();
    cancelled.reject();
    EXPECT_EQ(ReadSynthOptions(m_profile).soundFont, font);
    EXPECT_EQ(synth.GetOptions().soundFont, font);
}

TEST(SynthDialogState, SaysWhetherTheSynthPlaysAndWhyNot)
{
    SSynthState state;
    EXPECT_EQ(CDlgSynth::StateText(state).toStdString(),
              "Not playing: it is disabled in Options > Devices.");
    state.problem = "No audio output could be opened. ALSA: Unknown PCM default.";
    EXPECT_EQ(CDlgSynth::StateText(state).toStdString(),
              "Cannot play: No audio output could be opened. ALSA: Unknown PCM default.");
    state.open = true;
    EXPECT_EQ(CDlgSynth::StateText(state).toStdString(),
              "Playing with the previous SoundFont; the one asked for did not load: No audio "
              "output could be opened. ALSA: Unknown PCM default.");
    state.problem.clear();
    EXPECT_EQ(CDlgSynth::StateText(state).toStdString(), "Playing.");
    state.loading = true;
    EXPECT_EQ(CDlgSynth::StateText(state).toStdString(), "Open; the SoundFont is loading.");
}
