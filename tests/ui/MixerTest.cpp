// The mixer: strips that follow the tracks, the channel settings they store, the input phrases
// they list, and live controllers that reach the output without touching the history.

#include <QApplication>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "controls/ButtonBitmap.h"
#include "controls/EditValue.h"
#include "controls/Fader.h"
#include "controls/SelectList.h"
#include "devices/MidiNode.h"
#include "editing/PhraseOperations.h"
#include "editing/TrackOperations.h"
#include "engine/MidiEngine.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Track.h"
#include "shell/DlgDevices.h"
#include "shell/EditText.h"
#include "shell/WndMixer.h"
#include "shell/WndMixerStrip.h"
#include "ui/UiFixture.h"

namespace {

class CMixerTest : public CUiFixture {
protected:
    CWndMixer& MixerOf(CProjectDoc& doc, int tracks)
    {
        for (int i = 0; i < tracks; ++i) {
            auto track = std::make_unique<CTrack>();
            track->SetName(std::string("T").append(std::to_string(i + 1)));
            EXPECT_TRUE(doc.Execute(std::make_unique<COpTrackCreate>(-1, std::move(track))));
        }
        WindowsOf(doc).OpenMixerWindow(true);
        Settle();
        CWndMixer* mixer = CWndMixer::Of(doc);
        EXPECT_NE(mixer, nullptr);
        return *mixer;
    }
    static void Type(CEditValue& box, const QString& text) { TypeInto(box, text); }
    CVirtualBackend& Backend()
    {
        return dynamic_cast<CVirtualBackend&>(
            CMidiEngineProxy::Instance().GetEngine()->GetBackend());
    }
    // Lets the engine run a few passes, 2 ms apart.
    void RunEngine()
    {
        CMidiEngine* engine = CMidiEngineProxy::Instance().GetEngine();
        for (int i = 0; i < 20; ++i) {
            Backend().AdvanceTime(20000);
            engine->TimeoutPass();
        }
    }
};

} // namespace

TEST_F(CMixerTest, StripsFollowTheTracksAndScrollSideways)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CWndMixer& mixer = MixerOf(doc, 12);
    ASSERT_EQ(mixer.GetStripCount(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(mixer.GetStrip(i).GetName().GetText(), QStringLiteral("T%1").arg(i + 1));
        EXPECT_EQ(mixer.GetStrip(i).GetChannel().GetValue(), 1);
    }
    WindowsOf(doc).GetFrame(EWindowKind::Mixer)->resize(400, 460);
    Settle();
    EXPECT_GT(mixer.GetScrollArea().horizontalScrollBar()->maximum(), 0);

    ASSERT_TRUE(doc.Execute(std::make_unique<COpTrackDelete>(3)));
    ASSERT_EQ(mixer.GetStripCount(), 11);
    EXPECT_EQ(mixer.GetStrip(3).GetName().GetText(), "T5");
    ASSERT_TRUE(doc.Undo());
    ASSERT_EQ(mixer.GetStripCount(), 12);
    EXPECT_EQ(mixer.GetStrip(3).GetName().GetText(), "T4");

    // Renaming in the strip is an operation.
    Type(mixer.GetStrip(0).GetName(), "Lead");
    EXPECT_EQ(doc.GetTracks().GetAt(0)->GetName(), "Lead");
    EXPECT_TRUE(doc.UpdateUndo().enabled);
}

TEST_F(CMixerTest, ChannelSettingsShowAndStoreUndefinedAsNone)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CWndMixer& mixer = MixerOf(doc, 2);
    CWndMixerStrip& strip = mixer.GetStrip(0);
    CTrack& track = *doc.GetTracks().GetAt(0);
    // A track without settings shows "-" in all three boxes.
    EXPECT_EQ(strip.GetVolume().GetText(), "-");
    EXPECT_EQ(strip.GetProgram().GetText(), "-");
    EXPECT_EQ(strip.GetPan().GetText(), "-");

    // Table of typed values: box, text, what the track then stores.
    struct SCase {
        CEditNumber* box;
        const char* text;
        uint8_t (CTrack::*read)() const;
        uint8_t stored;
    } cases[] = {
        {&strip.GetVolume(), "100", &CTrack::GetVolume, 100},
        {&strip.GetProgram(), "5", &CTrack::GetProgram, 5},
        {&strip.GetPan(), "10L", &CTrack::GetPan, 54},
        {&strip.GetVolume(), "300", &CTrack::GetVolume, 127},
    };
    for (const SCase& c : cases) {
        Type(*c.box, QString::fromUtf8(c.text));
        EXPECT_EQ((track.*c.read)(), c.stored) << c.text;
    }
    // Delete clears pan: 255 is stored.
    strip.GetPan().setFocus();
    QTest::keyClick(&strip.GetPan(), Qt::Key_Delete);
    EXPECT_EQ(track.GetPan(), CTrack::kNotSet);
    EXPECT_EQ(strip.GetPan().GetText(), "-");

    // "OutCh" 16 is channel 15; the other track on the same port and channel is unaffected.
    Type(strip.GetChannel(), "16");
    EXPECT_EQ(track.GetOutputChannel(), 15);
    strip.ChooseOutput(2);
    EXPECT_EQ(track.GetOutput(), (CNodeAddress{static_cast<uint16_t>(ENodeKind::OutputPort), 2}));
    // Input and record toggle through the track's properties; solo shows only in solo mode.
    QTest::mouseClick(&strip.GetInputButton(), Qt::LeftButton);
    EXPECT_TRUE(track.GetInput());
    EXPECT_TRUE(strip.GetInputButton().IsLatched());
    track.SetSolo(true);
    doc.SetSoloActive(false);
    mixer.RefreshView();
    EXPECT_FALSE(strip.GetSolo().IsLatched());
    doc.SetSoloActive(true);
    mixer.RefreshView();
    EXPECT_TRUE(strip.GetSolo().IsLatched());
}

TEST_F(CMixerTest, InputPhrasesNameOneOrCountSeveral)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CWndMixer& mixer = MixerOf(doc, 1);
    const int32_t trackId = doc.GetTracks().GetAt(0)->GetId();
    auto bank = std::make_unique<CPhraseBank>("Keys");
    for (int i = 0; i < 3; ++i) {
        auto phrase = std::make_unique<CPhrase>();
        phrase->SetName(std::string("P").append(std::to_string(i)));
        phrase->SetLength(384);
        bank->InsertAt(i, std::move(phrase));
    }
    doc.InsertBank(-1, std::move(bank));
    CPhraseBank& keys = doc.GetBankAt(0);
    CWndMixerStrip& strip = mixer.GetStrip(0);
    const CNodeAddress fromTrack{static_cast<uint16_t>(ENodeKind::TrackPlayer), trackId};
    const char* expected[] = {"[No Phrases]", "[Keys].P0", "[2 Phrases]", "[3 Phrases]"};
    for (int fed = 0; fed <= 3; ++fed) {
        if (fed > 0) keys.GetPhraseAt(fed - 1).SetInput(fromTrack);
        mixer.RefreshView();
        EXPECT_EQ(strip.GetInputPhr().GetText(), expected[fed]);
    }
    strip.OpenInputPhrase(1);
    EXPECT_NE(WindowsOf(doc).GetPianoRoll(keys.GetPhraseAt(1)), nullptr);
}

TEST_F(CMixerTest, FaderDragSendsVolumeControllersWithoutAnOperation)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CMidiEngineProxy& engine = CMidiEngineProxy::Instance();
    ASSERT_NE(engine.RouteOutputPort(0, 0), 0) << engine.GetLastError();
    CWndMixer& mixer = MixerOf(doc, 1);
    const auto undo = doc.UpdateUndo().text;
    WindowsOf(doc).GetFrame(EWindowKind::Mixer)->resize(300, 520);
    Settle();
    Backend().ClearSent();

    CFader& fader = mixer.GetStrip(0).GetFader();
    const QPoint top(fader.width() / 2, CFader::ThumbTop(fader.GetValue(), fader.height()) + 4);
    QTest::mousePress(&fader, Qt::LeftButton, {}, top);
    for (int dy = 5; dy <= 60; dy += 5)
        QTest::mouseMove(&fader, top - QPoint(0, dy));
    QTest::mouseRelease(&fader, Qt::LeftButton, {}, top - QPoint(0, 60));
    ASSERT_GT(fader.GetValue(), 0);
    RunEngine();

    std::vector<int> volumes;
    for (const SMidiOutRecord& sent : Backend().GetSent(0))
        if (sent.length == 3 && sent.bytes[0] == 0xB0 && sent.bytes[1] == 7)
            volumes.push_back(sent.bytes[2]);
    ASSERT_FALSE(volumes.empty());
    EXPECT_TRUE(std::is_sorted(volumes.begin(), volumes.end()));
    EXPECT_EQ(volumes.back(), fader.GetValue());
    EXPECT_EQ(doc.UpdateUndo().text, undo);
    EXPECT_EQ(doc.GetTracks().GetAt(0)->GetVolume(), CTrack::kNotSet);
}

TEST_F(CMixerTest, OutputFollowsPortSettingsAtOnceAndLongTextsAreElided)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CWndMixer& mixer = MixerOf(doc, 2);
    CSelectList& first = mixer.GetStrip(0).GetOutput();
    ASSERT_EQ(first.GetText(), "Out1: <no driver>");

    // Routed in "Port settings", the field shows the device while the dialog is still open.
    QString shownWhileOpen;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CDlgPortSettings*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        Choose(dialog->GetOutputDriver(0), "Out A");
        shownWhileOpen = first.GetText();
        dialog->accept();
    });
    ASSERT_TRUE(Frame().RunCommand(ECommand::Ports));
    EXPECT_EQ(shownWhileOpen, "Out1: Out A");
    EXPECT_EQ(mixer.GetStrip(1).GetOutput().GetText(), "Out1: Out A");

    // A name wider than the field ends in an ellipsis; the tooltip has all of it.
    mixer.GetStrip(1).ChooseOutput(5);
    CSelectList& narrow = mixer.GetStrip(1).GetOutput();
    const QString whole = narrow.GetText();
    ASSERT_EQ(whole, "Out6: <no driver>");
    for (const int width : {40, 60, 80, 400}) {
        narrow.setFixedWidth(width);
        const QString shown = narrow.GetShownText();
        const bool fits =
            narrow.fontMetrics().horizontalAdvance(whole) <= narrow.TextRect().width();
        EXPECT_EQ(shown == whole, fits) << width;
        if (!fits) {
            EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
            EXPECT_TRUE(whole.startsWith(shown.chopped(1))) << shown.toStdString();
        }
        EXPECT_LE(narrow.fontMetrics().horizontalAdvance(shown), narrow.TextRect().width());
        EXPECT_TRUE(narrow.toolTip().contains(whole)) << narrow.toolTip().toStdString();
    }
}

TEST_F(CMixerTest, FaderTooltipIsTheValueAloneWhileDraggedAndOnHover)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CWndMixer& mixer = MixerOf(doc, 1);
    WindowsOf(doc).GetFrame(EWindowKind::Mixer)->resize(300, 520);
    Settle();
    CWndMixerStrip& strip = mixer.GetStrip(0);
    CFader& fader = strip.GetFader();
    EXPECT_EQ(fader.toolTip(), QString::number(fader.GetValue()));

    // Dragged: the tip that follows the thumb, and the one a later hover shows.
    const QPoint top(fader.width() / 2, CFader::ThumbTop(fader.GetValue(), fader.height()) + 4);
    QTest::mousePress(&fader, Qt::LeftButton, {}, top);
    QTest::mouseMove(&fader, top - QPoint(0, 40));
    ASSERT_GT(fader.GetValue(), 0);
    EXPECT_EQ(QToolTip::text(), QString::number(fader.GetValue()));
    QTest::mouseRelease(&fader, Qt::LeftButton, {}, top - QPoint(0, 40));
    EXPECT_EQ(fader.toolTip(), QString::number(fader.GetValue()));

    // The engine's report and a refresh of the mixer keep it so.
    strip.ShowFeedback(CWndMixerStrip::kFeedbackVolume, 90);
    EXPECT_EQ(fader.toolTip(), "90");
    mixer.RefreshView();
    EXPECT_EQ(fader.toolTip(), "90");
}
