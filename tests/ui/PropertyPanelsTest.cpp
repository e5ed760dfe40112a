// The track and phrase property panels: range pairs, undefined channel values, port popups with
// the engine's names, neutral values without an object, collapsing, and the keyboard.

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <set>

#include "controls/EditValue.h"
#include "controls/SelectList.h"
#include "editing/BankOperations.h"
#include "editing/TrackOperations.h"
#include "editors/BarPhraseProperties.h"
#include "editors/BarTrackProperties.h"
#include "editors/TracksContext.h"
#include "editors/TracksEditor.h"
#include "fakes/NumberedName.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Track.h"
#include "ui/UiFixture.h"

namespace {

class CPanelTest : public CUiFixture {
protected:
    CProjectDoc& Project(int tracks)
    {
        Start();
        CProjectDoc& doc = *Projects().GetActiveProject();
        for (int i = 0; i < tracks; ++i) {
            auto track = std::make_unique<CTrack>();
            track->SetName(NumberedName("T", i + 1));
            EXPECT_TRUE(doc.Execute(std::make_unique<COpTrackCreate>(-1, std::move(track))));
        }
        return doc;
    }
    CBarTrackProperties& TrackPanel(CProjectDoc& doc)
    {
        WindowsOf(doc).OpenTracksWindow(true);
        WindowsOf(doc).GetFrame(EWindowKind::Tracks)->resize(700, 520);
        Settle();
        m_editor = WindowsOf(doc).GetTracksEditor();
        return m_editor->Panel();
    }
    static void Type(CEditValue& box, const QString& text)
    {
        box.OpenEditor(text);
        QTest::keyClick(box.GetEditor(), Qt::Key_Return);
    }
    // Opens the field's popup with a click and walks it with keys.
    static void ChooseByKeys(CSelectList& field, const std::vector<Qt::Key>& keys)
    {
        QTimer::singleShot(0, [keys] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (Qt::Key key : keys)
                QTest::keyClick(QApplication::activePopupWidget(), key);
        });
        QTest::mouseClick(&field, Qt::LeftButton, {}, QPoint(5, 5));
    }

    CTracksEditor* m_editor = nullptr;
};

} // namespace

TEST(EditedRangeTest, LowStaysAtMostHighAndHighAtLeastLow)
{
    const struct {
        CBytePair stored;
        bool low;
        int32_t typed;
        std::optional<std::pair<int, int>> result;
    } cases[] = {
        {{10, 20}, true, 30, std::pair{20, 20}}, // low above high: limited to high
        {{10, 20}, true, 5, std::pair{5, 20}},
        {{10, 20}, false, 5, std::pair{10, 10}}, // high below low: limited to low
        {{10, 20}, false, 127, std::pair{10, 127}},
        {{10, 20}, true, 10, std::nullopt}, // unchanged: no operation
        {{10, 20}, false, 20, std::nullopt},
        {{20, 20}, true, 25, std::nullopt}, // limited back to what is stored
        {{0, 127}, false, 300, std::pair{0, 255}},
    };
    for (const auto& c : cases) {
        const std::optional<CBytePair> edited = EditedRange(c.stored, c.low, c.typed);
        ASSERT_EQ(edited.has_value(), c.result.has_value()) << c.typed;
        if (edited) {
            EXPECT_EQ(edited->m_from, c.result->first) << c.typed;
            EXPECT_EQ(edited->m_to, c.result->second) << c.typed;
        }
    }
}

TEST_F(CPanelTest, TrackPanelIsNeutralWithoutTrackAndEditsTheCurrentOne)
{
    CProjectDoc& doc = Project(3);
    CBarTrackProperties& panel = TrackPanel(doc);
    // No current track: disabled, neutral values.
    EXPECT_FALSE(panel.Channel().isEnabled());
    EXPECT_EQ(panel.Output().GetText(), "-");
    const std::pair<CEditNumber*, int32_t> neutral[] = {
        {&panel.Channel(), 1},      {&panel.Program(), 0},     {&panel.Volume(), 127},
        {&panel.Pan(), 64},         {&panel.Velocity(), 0},    {&panel.Pitch(), 0},
        {&panel.Delay(), 0},        {&panel.PitchFrom(), 0},   {&panel.PitchTo(), 127},
        {&panel.VelocityFrom(), 0}, {&panel.VelocityTo(), 127}};
    for (const auto& [box, value] : neutral) {
        EXPECT_EQ(box->GetValue(), value) << box->GetName().toStdString();
        EXPECT_FALSE(box->isEnabled());
    }
    EXPECT_TRUE(panel.PlayQuantize().GetText().isEmpty());

    m_editor->Context().SetCurrentTrack(1);
    CTrack& track = *doc.GetTracks().GetAt(1);
    EXPECT_TRUE(panel.Channel().isEnabled());
    EXPECT_EQ(panel.Program().IsUndefined(), true);
    const std::string undo = doc.UpdateUndo().text;
    const size_t count = doc.GetCount();

    // Plain numbered properties, one table: box, typed text, how the track reads it.
    const struct {
        CEditNumber* box;
        QString text;
        std::function<int()> stored;
        int expected;
    } edits[] = {
        {&panel.Channel(), "10", [&] { return track.GetOutputChannel(); }, 9},
        {&panel.Velocity(), "-20", [&] { return track.GetVelocityOffset(); }, -20},
        {&panel.Pitch(), "12", [&] { return track.GetTranspose(); }, 12},
        {&panel.Program(), "5", [&] { return track.GetProgram(); }, 5},
        {&panel.VelocityTo(), "90", [&] { return track.GetVelocityLimitTo(); }, 90},
        // Low above high: the low value is limited to the high one and shown as stored.
        {&panel.VelocityFrom(), "100", [&] { return track.GetVelocityLimitFrom(); }, 90},
        {&panel.VelocityTo(), "10", [&] { return track.GetVelocityLimitTo(); }, 90},
    };
    for (const auto& e : edits) {
        Type(*e.box, e.text);
        EXPECT_EQ(e.stored(), e.expected) << e.box->GetName().toStdString();
    }
    EXPECT_EQ(panel.VelocityFrom().GetValue(), 90);
    EXPECT_EQ(panel.VelocityTo().GetValue(), 90);
    // Property changes are not undo steps.
    EXPECT_EQ(doc.UpdateUndo().text, undo);
    EXPECT_EQ(doc.GetCount(), count);

    // Another track made current shows its own values.
    m_editor->Context().SetCurrentTrack(0);
    EXPECT_EQ(panel.Channel().GetValue(), 1);
    EXPECT_EQ(panel.VelocityTo().GetValue(), 127);
}

TEST_F(CPanelTest, ClearedVolumePassesNoneToEveryTrackOnThePortAndChannel)
{
    CProjectDoc& doc = Project(3);
    CBarTrackProperties& panel = TrackPanel(doc);
    m_editor->Context().SetCurrentTrack(0);
    // Tracks 1 and 2 share Out1 channel 1; track 3 is on channel 2.
    doc.GetTracks().GetAt(2)->SetOutputChannel(1);
    Type(panel.Volume(), "100");
    EXPECT_EQ(doc.GetTracks().GetAt(0)->GetVolume(), 100);
    EXPECT_EQ(doc.GetTracks().GetAt(1)->GetVolume(), 100);
    EXPECT_EQ(doc.GetTracks().GetAt(2)->GetVolume(), CTrack::kNotSet);
    panel.Volume().setFocus();
    QTest::keyClick(&panel.Volume(), Qt::Key_Delete);
    EXPECT_TRUE(panel.Volume().IsUndefined());
    EXPECT_EQ(doc.GetTracks().GetAt(0)->GetVolume(), CTrack::kNotSet);
    EXPECT_EQ(doc.GetTracks().GetAt(1)->GetVolume(), CTrack::kNotSet);
    // Pan likewise: typed, then cleared.
    Type(panel.Pan(), "10L");
    EXPECT_EQ(doc.GetTracks().GetAt(1)->GetPan(), 54);
    panel.Pan().setFocus();
    QTest::keyClick(&panel.Pan(), Qt::Key_Delete);
    EXPECT_EQ(doc.GetTracks().GetAt(1)->GetPan(), CTrack::kNotSet);
}

TEST_F(CPanelTest, TrackOutputPopupListsTheEnginePortsAndSetsThePort)
{
    CProjectDoc& doc = Project(1);
    CBarTrackProperties& panel = TrackPanel(doc);
    m_editor->Context().SetCurrentTrack(0);
    const std::vector<CSelectItem> items = panel.OutputItems();
    ASSERT_EQ(items.size(), 8U);
    for (int port = 0; port < 8; ++port) {
        EXPECT_EQ(items[static_cast<size_t>(port)].value, port);
        EXPECT_EQ(items[static_cast<size_t>(port)].shortText,
                  CPropertyPanel::PortName(doc.GetEngineProxy(),
                                           CNodeAddress(CNodeAddress::kKindOutputPort, port)));
    }
    // The popup opens on the port in use (Out1); two down is the third port.
    ChooseByKeys(panel.Output(), {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    const CNodeAddress output = doc.GetTracks().GetAt(0)->GetOutput();
    EXPECT_EQ(output, CNodeAddress(CNodeAddress::kKindOutputPort, 2));
    EXPECT_EQ(panel.Output().GetText(), items[2].shortText);
}

TEST_F(CPanelTest, PhrasePanelSendsOutputToATrackAndDisablesTheChannel)
{
    CProjectDoc& doc = Project(3);
    auto bank = std::make_unique<CPhraseBank>("Bank A");
    auto phrase = std::make_unique<CPhrase>();
    phrase->ResetProperties();
    bank->InsertAt(0, std::move(phrase));
    ASSERT_TRUE(doc.Execute(std::make_unique<COpBankCreate>(-1, std::move(bank))));
    CPhraseBank& placed = doc.GetBankAt(0);
    CPhrase& riff = placed.GetPhraseAt(0);

    CBarPhraseProperties panel(doc);
    panel.show();
    // Without a phrase: neutral and disabled, the channel box undefined.
    EXPECT_TRUE(panel.Channel().IsUndefined());
    EXPECT_FALSE(panel.Output().isEnabled());
    EXPECT_EQ(panel.Output().GetText(), "-");
    panel.SetPhrase(&placed, &riff);
    EXPECT_TRUE(panel.Channel().isEnabled());
    EXPECT_EQ(panel.PlayMode().GetText(), "Poly");
    const size_t count = doc.GetCount();

    // "To tracks" comes first; its second entry is the second track.
    const std::vector<CSelectItem> items = panel.OutputItems();
    ASSERT_EQ(items.size(), 9U);
    ASSERT_EQ(items[0].submenu.size(), 3U);
    EXPECT_EQ(items[0].shortText, "To tracks");
    EXPECT_EQ(items[0].submenu[1].shortText, "Tr2: T2");
    ChooseByKeys(panel.Output(), {Qt::Key_Down, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return});
    const int32_t trackId = doc.GetTracks().GetAt(1)->GetId();
    EXPECT_EQ(riff.GetOutput(), CNodeAddress(CNodeAddress::kKindTrack, trackId));
    EXPECT_EQ(panel.Output().GetText(), "Tr2: T2");
    EXPECT_FALSE(panel.Channel().isEnabled());
    // Moving the track renumbers the text; a track that goes away leaves it empty.
    ASSERT_TRUE(doc.Execute(std::make_unique<COpTrackMove>(1, 0)));
    panel.Refresh();
    EXPECT_EQ(panel.Output().GetText(), "Tr1: T2");
    ASSERT_TRUE(doc.Execute(std::make_unique<COpTrackDelete>(0)));
    panel.Refresh();
    EXPECT_EQ(panel.Output().GetText(), "");
    const size_t afterTracks = doc.GetCount();

    // Trigger range: a "from" key above "to" stores "from" = "to".
    Type(panel.TriggerTo(), panel.TriggerTo().Format(60));
    Type(panel.TriggerFrom(), panel.TriggerFrom().Format(72));
    EXPECT_EQ(riff.GetTriggerFrom(), 60);
    EXPECT_EQ(riff.GetTriggerTo(), 60);
    EXPECT_EQ(panel.TriggerFrom().GetValue(), 60);

    // The input port goes straight to the engine.
    ChooseByKeys(panel.Input(), {Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    EXPECT_EQ(riff.GetInput().m_kind, CNodeAddress::kKindInputPort);
    EXPECT_EQ(doc.GetCount(), afterTracks);
    EXPECT_EQ(afterTracks, count + 2); // only the two track operations were recorded

    panel.SetPhrase(nullptr, nullptr);
    EXPECT_EQ(panel.TriggerTo().GetValue(), 127);
    EXPECT_FALSE(panel.TriggerTo().isEnabled());
}

TEST_F(CPanelTest, CollapseButtonAndTabReachEveryControl)
{
    CProjectDoc& doc = Project(1);
    CBarTrackProperties& panel = TrackPanel(doc);
    m_editor->Context().SetCurrentTrack(0);
    QSignalSpy changes(&panel, &CPropertyPanel::CollapsedChanged);
    const int open = panel.width();
    QTest::mouseClick(&panel.CollapseButton(), Qt::LeftButton);
    EXPECT_TRUE(panel.IsCollapsed());
    EXPECT_LT(panel.width(), open / 3);
    EXPECT_FALSE(panel.Channel().isVisible());
    EXPECT_FALSE(panel.CollapseButton().toolTip().isEmpty());
    QWidget* window = panel.window();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    panel.CollapseButton().setFocus();
    QTest::keyClick(&panel.CollapseButton(), Qt::Key_Return);
    EXPECT_FALSE(panel.IsCollapsed());
    EXPECT_EQ(panel.width(), open);
    EXPECT_EQ(changes.count(), 2);

    // Tab walks from the button through every control of the panel.
    std::set<QWidget*> reached;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.insert(QApplication::focusWidget());
    }
    for (QWidget* control :
         {static_cast<QWidget*>(&panel.Output()), static_cast<QWidget*>(&panel.Channel()),
          static_cast<QWidget*>(&panel.Volume()), static_cast<QWidget*>(&panel.PlayQuantize()),
          static_cast<QWidget*>(&panel.VelocityTo())}) {
        EXPECT_TRUE(reached.count(control)) << control->toolTip().toStdString();
        EXPECT_FALSE(control->toolTip().isEmpty());
    }
}
