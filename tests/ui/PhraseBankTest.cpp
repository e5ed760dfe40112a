// The phrase bank window: the small keyboards and their hit testing, the list driven by keys and
// mouse on a project made here, drops of phrases and clips, live play from a row and from the
// input with key follow, and the window record.

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include <random>
#include <set>

#include "editing/BankOperations.h"
#include "editing/ClipOperations.h"
#include "editing/DragContext.h"
#include "editing/PhraseOperations.h"
#include "editing/TrackOperations.h"
#include "editors/BankEditor.h"
#include "editors/PhraseListGeometry.h"
#include "editors/PhraseLiveState.h"
#include "editors/ViewPhraseList.h"
#include "engine/MidiEngine.h"
#include "engine/PhrasePlayer.h"
#include "fakes/NumberedName.h"
#include "model/Clip.h"
#include "model/NodeAddress.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Properties.h"
#include "model/Track.h"
#include "ui/UiFixture.h"

namespace {

// The name of the operation Undo would undo, empty when none.
std::string UndoName(CProjectDoc& doc)
{
    const std::string text = doc.UpdateUndo().text;
    const std::string label = "&Undo ";
    if (text.rfind(label, 0) != 0) return {};
    const size_t end = text.find("  \t");
    return end == std::string::npos ? std::string() : text.substr(label.size(), end - label.size());
}

class CPhraseBankTest : public CUiFixture {
protected:
    // The active project with a bank of phrases "P1".."Pn", its window open and shown.
    CViewPhraseList& OpenBank(int phrases)
    {
        Start();
        m_doc = Projects().GetActiveProject();
        auto bank = std::make_unique<CPhraseBank>("Bank");
        for (int i = 0; i < phrases; ++i) {
            auto phrase = std::make_unique<CPhrase>(NumberedName("P", i + 1), 0x3366CC, 384);
            phrase->SetId(m_doc->NewObjectId());
            bank->InsertAt(i, std::move(phrase));
        }
        EXPECT_TRUE(m_doc->Execute(std::make_unique<COpBankCreate>(-1, std::move(bank))));
        m_bank = &m_doc->GetBankAt(m_doc->GetBankCount() - 1);
        WindowsOf(*m_doc).OpenBankWindow(*m_bank, true);
        CFramePhraseBank* frame = WindowsOf(*m_doc).GetBankFrame(*m_bank);
        EXPECT_NE(frame, nullptr);
        frame->resize(760, 360);
        Settle();
        CViewPhraseList& list = frame->GetEditor().List();
        list.setFocus();
        return list;
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < m_bank->GetCount(); ++i)
            names.push_back(m_bank->GetPhraseAt(i).GetName());
        return names;
    }
    static QPoint ZoneCentre(const CViewPhraseList& list, int row, EPhraseZone zone)
    {
        const CPixelBox box = list.Geometry().ZoneBox(row, zone);
        return {box.x + box.width / 2, box.y + box.height / 2};
    }
    // The point of a key in a row's keyboard: a white key low down, a black key high up.
    static QPoint KeyPoint(const CViewPhraseList& list, int row, int key)
    {
        const CPixelBox zone = list.Geometry().ZoneBox(row, EPhraseZone::Keys);
        const CPixelBox box = CKeyboardGeometry(zone.width, zone.height).KeyBox(key);
        const int y = CKeyboardGeometry::IsBlack(key) ? box.y + 1 : box.height - 2;
        return {zone.x + box.x + box.width / 2, zone.y + y};
    }
    CDragPoint RowBoundary(const CViewPhraseList& list, int row, bool copy = false) const
    {
        return {10, list.Geometry().RowTop(row) + 2, copy};
    }

    CProjectDoc* m_doc = nullptr;
    CPhraseBank* m_bank = nullptr;
};

} // namespace

TEST(PhraseListGeometry, EveryKeyIsHitWhereItIsDrawnBlackKeysFirst)
{
    for (const int width : {75, 150, 600}) {
        const CKeyboardGeometry keys(width, 16);
        std::vector<int> hits(CKeyboardGeometry::kKeys, 0);
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < width; ++x) {
                const int key = keys.KeyAt(x, y);
                ASSERT_GE(key, 0) << width << " " << x << "," << y;
                ++hits[static_cast<size_t>(key)];
                EXPECT_TRUE(keys.KeyBox(key).Contains(x, y)) << width << ": key " << key;
                // Black keys lie on top: no white key answers inside one.
                for (int black = 1; black < CKeyboardGeometry::kKeys; ++black) {
                    if (CKeyboardGeometry::IsBlack(black) && keys.KeyBox(black).Contains(x, y)) {
                        ASSERT_EQ(key, black) << width << " " << x << "," << y;
                    }
                }
            }
        }
        for (int key = 0; key < CKeyboardGeometry::kKeys; ++key)
            EXPECT_GT(hits[static_cast<size_t>(key)], 0) << width << ": key " << key;
        EXPECT_EQ(keys.KeyAt(width, 8), -1);
        EXPECT_EQ(keys.KeyAtClamped(-30), 0);
        EXPECT_EQ(keys.KeyAtClamped(width + 30), 127);
    }
}

TEST(PhraseListGeometry, InsertionRowIsTheNearestBoundary)
{
    CPhraseListGeometry g;
    g.SetClientSize(500, 10 * CPhraseListGeometry::kRowHeight);
    g.SetRowCount(30);
    g.SetFirstRow(5);
    const int h = CPhraseListGeometry::kRowHeight;
    struct {
        int y;
        int row;
    } cases[] = {{0, 5}, {h / 2 - 1, 5}, {h / 2, 6}, {h + 1, 6}, {3 * h - 1, 8}, {-4, 5}};
    for (const auto& c : cases)
        EXPECT_EQ(g.InsertionRowAtY(c.y), c.row) << c.y;
    g.SetFirstRow(100);
    EXPECT_EQ(g.GetFirstRow(), 20);
    EXPECT_EQ(g.InsertionRowAtY(9 * h + h - 1), 30);
    // Zones lie side by side in their order, the keyboard a whole number of 75 keys wide.
    for (int zone = 1; zone < 9; ++zone) {
        const CPixelBox a = g.ZoneBox(0, static_cast<EPhraseZone>(zone));
        const CPixelBox b = g.ZoneBox(0, static_cast<EPhraseZone>(zone + 1));
        EXPECT_LE(a.x + a.width, b.x) << zone;
        EXPECT_EQ(g.ZoneAtX(a.x), static_cast<EPhraseZone>(zone));
    }
    EXPECT_EQ(g.ZoneBox(0, EPhraseZone::Keys).width % 75, 0);
}

TEST(PhraseLive, VoiceRecordsGiveStoppedWaitingAndPlaying)
{
    // Kinds: 0 created, 1 removed, 2 started, 3 stopped. Each run ends in the state shown.
    struct SCase {
        std::vector<std::pair<int, int>> records; // kind, serial
        bool playing;
        bool waiting;
    } cases[] = {
        {{{0, 1}}, false, true},                          // a start waits for its beat
        {{{0, 1}, {2, 1}}, true, false},                  // started
        {{{0, 1}, {2, 1}, {3, 1}, {1, 1}}, false, false}, // stopped and gone
        {{{0, 1}, {1, 1}}, false, false},                 // removed before it started
        {{{0, 1}, {2, 1}, {0, 2}}, true, true},           // a second key waits
        {{{0, 1}, {2, 1}, {3, 1}}, false, false},         // kept for continue, not waiting
        {{{3, 9}, {1, 9}}, false, false},                 // stray records change nothing
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        CPhraseLive live;
        for (const auto& [kind, serial] : cases[i].records)
            live.OnVoice(kind, serial);
        EXPECT_EQ(live.IsPlaying(), cases[i].playing) << i;
        EXPECT_EQ(live.IsWaiting(), cases[i].waiting) << i;
        EXPECT_GE(live.playingVoices, 0) << i;
    }
}

TEST_F(CPhraseBankTest, KeyRangeDragSetsTheTriggerRangeWithoutAnUndoEntry)
{
    CViewPhraseList& list = OpenBank(3);
    const std::string before = UndoName(*m_doc);
    QWidget* view = list.viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, KeyPoint(list, 1, 48));
    EXPECT_EQ(list.GetCurrentRow(), 1);
    for (int key : {50, 55, 60})
        QTest::mouseMove(view, KeyPoint(list, 1, key));
    QTest::mouseRelease(view, Qt::LeftButton, {}, KeyPoint(list, 1, 60));
    const CPhrase& phrase = m_bank->GetPhraseAt(1);
    EXPECT_EQ(phrase.GetTriggerFrom(), 48);
    EXPECT_EQ(phrase.GetTriggerTo(), 60);
    // Dragging below the anchor puts the lower key first; a black key counts as itself.
    QTest::mousePress(view, Qt::LeftButton, {}, KeyPoint(list, 1, 61));
    QTest::mouseMove(view, KeyPoint(list, 1, 40));
    QTest::mouseRelease(view, Qt::LeftButton, {}, KeyPoint(list, 1, 40));
    EXPECT_EQ(phrase.GetTriggerFrom(), 40);
    EXPECT_EQ(phrase.GetTriggerTo(), 61);
    EXPECT_EQ(UndoName(*m_doc), before);
}

TEST_F(CPhraseBankTest, KeyboardCommandsEditTheBankWithTheirHistoryNames)
{
    CViewPhraseList& list = OpenBank(3);
    ASSERT_EQ(list.GetCurrentRow(), -1);
    struct SStep {
        int key;
        Qt::KeyboardModifiers mods;
        const char* undo;               // the entry it leaves, null: none new
        std::vector<std::string> names; // the bank afterwards
        int current;
    } steps[] = {
        // Insert with no current row appends like Add, and the new phrase becomes current.
        {Qt::Key_Insert, {}, "Create Phrase", {"P1", "P2", "P3", "New Phrase"}, 3},
        {Qt::Key_Home, {}, nullptr, {"P1", "P2", "P3", "New Phrase"}, 0},
        {Qt::Key_Down, {}, nullptr, {"P1", "P2", "P3", "New Phrase"}, 1},
        {Qt::Key_Delete, {}, "Delete Phrase", {"P1", "P3", "New Phrase"}, 1},
        {Qt::Key_C, Qt::ControlModifier, nullptr, {"P1", "P3", "New Phrase"}, 1},
        {Qt::Key_End, {}, nullptr, {"P1", "P3", "New Phrase"}, 2},
        {Qt::Key_V, Qt::ControlModifier, "Paste Phrase", {"P1", "P3", "P3", "New Phrase"}, 3},
        {Qt::Key_Up, {}, nullptr, {"P1", "P3", "P3", "New Phrase"}, 2},
        {Qt::Key_X, Qt::ControlModifier, "Cut Phrase", {"P1", "P3", "New Phrase"}, 2},
        {Qt::Key_Insert, {}, "Create Phrase", {"P1", "P3", "New Phrase", "New Phrase"}, 2},
        {Qt::Key_PageUp, {}, nullptr, {"P1", "P3", "New Phrase", "New Phrase"}, 0},
    };
    for (const SStep& step : steps) {
        const std::string before = UndoName(*m_doc);
        QTest::keyClick(&list, static_cast<Qt::Key>(step.key), step.mods);
        EXPECT_EQ(UndoName(*m_doc), step.undo != nullptr ? step.undo : before) << step.key;
        EXPECT_EQ(Names(), step.names) << step.key;
        EXPECT_EQ(list.GetCurrentRow(), step.current) << step.key;
    }
    // Renaming in place; the rename is no history entry.
    const std::string before = UndoName(*m_doc);
    QTest::keyClick(&list, Qt::Key_F2);
    auto* editor = list.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());
    editor->selectAll();
    QTest::keyClicks(editor, "Lead");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(m_bank->GetPhraseAt(0).GetName(), "Lead");
    EXPECT_EQ(UndoName(*m_doc), before);
    // Return opens the piano roll of the current phrase.
    QTest::keyClick(&list, Qt::Key_Return);
    EXPECT_NE(WindowsOf(*m_doc).GetPianoRoll(m_bank->GetPhraseAt(0)), nullptr);
    // Undo brings the cut phrase back; the list follows the bank.
    ASSERT_TRUE(m_doc->Undo());
    ASSERT_TRUE(m_doc->Undo());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Lead", "P3", "P3", "New Phrase"}));
}

TEST_F(CPhraseBankTest, ContextMenusCarryTheirTextsAndTheDrumMark)
{
    CViewPhraseList& list = OpenBank(2);
    auto texts = [](QMenu* menu) {
        std::vector<std::string> out;
        for (QAction* action : menu->actions())
            out.push_back(action->text().toStdString());
        delete menu;
        return out;
    };
    EXPECT_EQ(
        texts(list.BuildMenu(false)),
        (std::vector<std::string>{"&Paste\tCtrl+V", "&Add\tCtrl +", "&Import from MIDI file"}));
    list.SetCurrentRow(1);
    EXPECT_EQ(texts(list.BuildMenu(true)),
              (std::vector<std::string>{"&Open Editor\tRet", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                                        "&Paste\tCtrl+V", "&Insert\tIns", "&Delete\tDel",
                                        "&Play\tCtrl+Space", "Stop &Now", "&Mute\tM", "So&lo\t/",
                                        "Drum Phrase", "&Rename\tF2", "&Select Color",
                                        "E&xport to MIDI file"}));
    // Drum Phrase toggles the flag; the menu then shows the check mark.
    for (bool drum : {true, false}) {
        ASSERT_TRUE(list.Run(EPhraseCommand::DrumPhrase));
        EXPECT_EQ(IsDrumPhrase(m_bank->GetPhraseAt(1)), drum);
        QMenu* menu = list.BuildMenu(true);
        EXPECT_EQ(menu->actions().at(10)->isChecked(), drum);
        delete menu;
    }
    // Every zone of a row explains itself in its own words.
    std::set<std::string> tips;
    for (int zone = 1; zone <= 9; ++zone) {
        const QPoint at = ZoneCentre(list, 0, static_cast<EPhraseZone>(zone));
        QHelpEvent help(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
        QApplication::sendEvent(list.viewport(), &help);
        const std::string tip = QToolTip::text().toStdString();
        EXPECT_FALSE(tip.empty()) << zone;
        EXPECT_TRUE(tips.insert(tip).second) << zone << ": " << tip;
    }
    QToolTip::hideText();
    // Commands that need a phrase do nothing without one.
    list.SetCurrentRow(-1);
    for (EPhraseCommand c : {EPhraseCommand::Delete, EPhraseCommand::Cut, EPhraseCommand::Rename,
                             EPhraseCommand::DrumPhrase, EPhraseCommand::Play})
        EXPECT_FALSE(list.Run(c));
    EXPECT_EQ(Names(), (std::vector<std::string>{"P1", "P2"}));
}

TEST_F(CPhraseBankTest, DropsFollowTheTableOfPayloadsAndProjects)
{
    CViewPhraseList& list = OpenBank(4);
    CDragContext& context = CDragContext::Instance();
    auto phraseDrag = [&](int index) {
        return std::make_unique<CDragPhrase>(*m_doc, m_bank->GetPhraseAt(index), *m_bank, index);
    };
    // A phrase dropped on its own place: "Move Phrase" to the same index, which changes nothing.
    for (int boundary : {1, 2}) {
        context.Begin(phraseDrag(1));
        EXPECT_EQ(context.Enter(list, RowBoundary(list, boundary)), EDropEffect::Move);
        EXPECT_EQ(list.GetInsertionRow(), boundary);
        EXPECT_FALSE(context.Drop(list, RowBoundary(list, boundary)));
        context.End();
        EXPECT_EQ(Names(), (std::vector<std::string>{"P1", "P2", "P3", "P4"}));
        EXPECT_EQ(list.GetInsertionRow(), -1);
    }
    // The current phrase stays current when it moves.
    list.SetCurrentRow(0);
    context.Begin(phraseDrag(0));
    EXPECT_TRUE(context.Drop(list, RowBoundary(list, 3)));
    context.End();
    EXPECT_EQ(UndoName(*m_doc), "Move Phrase");
    EXPECT_EQ(Names(), (std::vector<std::string>{"P2", "P3", "P1", "P4"}));
    EXPECT_EQ(list.GetCurrentRow(), 2);
    ASSERT_TRUE(m_doc->Undo());
    EXPECT_EQ(list.GetCurrentRow(), 0);
    ASSERT_TRUE(m_doc->Redo());
    EXPECT_EQ(list.GetCurrentRow(), 2);
    // Control copies; a drop below the last row goes to the end.
    context.Begin(phraseDrag(0));
    EXPECT_TRUE(context.Drop(list, {10, 300, true}));
    context.End();
    EXPECT_EQ(UndoName(*m_doc), "Copy Phrase");
    EXPECT_EQ(Names(), (std::vector<std::string>{"P2", "P3", "P1", "P4", "P2"}));

    // Clips: from this project a move takes them off their track; from another project they are
    // always copied.
    auto track = std::make_unique<CTrack>();
    track->SetName("T");
    ASSERT_TRUE(m_doc->Execute(std::make_unique<COpTrackCreate>(-1, std::move(track))));
    ASSERT_TRUE(m_doc->Execute(
        std::make_unique<COpClipCreate>(0, std::make_unique<CClip>(0, 384, "Clip", 0x00FF00))));
    CClip& clip = m_doc->GetTracks().GetAt(0)->GetClipAt(0);
    CProjectDoc other;
    auto foreign = std::make_unique<CTrack>();
    CClip& far =
        foreign->GetClipAt(foreign->AddClip(std::make_unique<CClip>(0, 192, "Far", 0x0000FF)));
    other.InsertTrack(-1, std::move(foreign));
    struct SCase {
        CProjectDoc* source;
        CClip* clip;
        bool copy;
        const char* undo;
        int clipsLeft;
    } cases[] = {
        {&other, &far, false, "Copy Clip(s) to Phrase(s)", 1},
        {m_doc, &clip, true, "Copy Clip(s) to Phrase(s)", 1},
        {m_doc, &clip, false, "Move Clip(s) to Phrase(s)", 0},
    };
    for (const SCase& c : cases) {
        const int count = m_bank->GetCount();
        context.Begin(std::make_unique<CDragClips>(
            *c.source, std::vector<CDragClips::CEntry>{{c.clip, 0}}, 0, 0, 0, 0));
        EXPECT_NE(context.Enter(list, RowBoundary(list, 1, c.copy)), EDropEffect::None);
        EXPECT_TRUE(context.Drop(list, RowBoundary(list, 1, c.copy)));
        context.End();
        EXPECT_EQ(UndoName(*m_doc), c.undo);
        ASSERT_EQ(m_bank->GetCount(), count + 1);
        EXPECT_EQ(m_bank->GetPhraseAt(1).GetName(), c.source == &other ? "Far" : "Clip");
        EXPECT_EQ(c.source->GetTracks().GetAt(0)->GetClipCount(), c.clipsLeft);
    }
}

TEST_F(CPhraseBankTest, PlaysFromItsRowAndFollowsTheInputKeys)
{
    CViewPhraseList& list = OpenBank(3);
    CMidiEngineProxy& engine = CMidiEngineProxy::Instance();
    CMidiEngine* music = engine.GetEngine();
    auto& backend = dynamic_cast<CVirtualBackend&>(music->GetBackend());
    ASSERT_NE(engine.RouteOutputPort(0, 0), 0) << engine.GetLastError();
    ASSERT_NE(engine.OpenInputDriver(0), 0) << engine.GetLastError();
    ASSERT_NE(engine.RouteInputPort(0, 0), 0) << engine.GetLastError();
    CPhrase& phrase = m_bank->GetPhraseAt(1);
    auto set = [&](EPhraseProperty number, int64_t value) {
        ASSERT_TRUE(m_doc->Execute(std::make_unique<COpPhraseSetProperty>(
            *m_bank, phrase, static_cast<int32_t>(number), value)));
    };
    ASSERT_TRUE(m_doc->Execute(std::make_unique<COpPhraseSetLength>(phrase, 96)));
    ASSERT_EQ(engine.InsertNote(phrase, CNote(0, 24, 0, 100, 64)), 1);
    set(EPhraseProperty::Input, PackNodeAddress({CNodeAddress::kKindInputPort, 0}));
    set(EPhraseProperty::Output, PackNodeAddress({CNodeAddress::kKindOutputPort, 0}));
    set(EPhraseProperty::TriggerRange, PackBytePair({48, 72}));
    set(EPhraseProperty::Loop, 1);
    auto run = [&] {
        for (int i = 0; i < 20; ++i) {
            backend.AdvanceTime(20000);
            music->TimeoutPass();
        }
    };
    auto heardOn = [&](int key) {
        bool on = false;
        for (const SMidiOutRecord& sent : backend.GetSent(0))
            on = on || (sent.length == 3 && sent.bytes[0] == 0x90 && sent.bytes[1] == key &&
                        sent.bytes[2] > 0);
        backend.ClearSent();
        return on;
    };
    backend.ClearSent();

    // The play button starts the phrase at its lowest trigger key: key follow moves note 0 to 48.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, ZoneCentre(list, 1, EPhraseZone::Play));
    EXPECT_EQ(list.GetCurrentRow(), 1);
    run();
    Settle();
    EXPECT_TRUE(heardOn(48));
    // The drain shows it playing.
    Frame().OnDrainTimer();
    Settle();
    CPhraseLive* live = CPhraseLiveStates::Instance().At(phrase);
    ASSERT_NE(live, nullptr);
    EXPECT_TRUE(live->IsPlaying());
    // A change of one phrase's level draws that row again and nothing else; no change, nothing.
    // (The frame is moved so that the rows' state column is on the small test screen at ratio
    // 2: a spot off the screen is never painted.)
    WindowsOf(*m_doc).GetBankFrame(*m_bank)->move(-220, 0);
    Settle();
    for (const auto& [level, rows] : std::vector<std::pair<int, int>>{{0, 1}, {0, 0}, {127, 1}}) {
        const int64_t paints = list.GetRowPaints();
        live->level = level;
        list.PlayStatesChanged();
        Settle();
        EXPECT_EQ(list.GetRowPaints() - paints, rows) << level;
    }
    // Stop, then play it from the keyboard of a MIDI instrument: key 60 sounds note 0 at 60.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, ZoneCentre(list, 1, EPhraseZone::Stop));
    run();
    Frame().OnDrainTimer();
    EXPECT_FALSE(live->IsPlaying());
    backend.ClearSent();
    for (const auto& [key, expected] : std::vector<std::pair<int, int>>{{60, 60}, {50, 50}}) {
        ASSERT_TRUE(backend.InjectInput(0, {0x90, static_cast<uint8_t>(key), 90}, 4000000));
        music->PollInputs();
        run();
        EXPECT_TRUE(heardOn(expected)) << key;
        ASSERT_TRUE(backend.InjectInput(0, {0x80, static_cast<uint8_t>(key), 0}, 4000001));
        music->PollInputs();
        run();
    }
    // A key outside the trigger range starts nothing.
    ASSERT_TRUE(backend.InjectInput(0, {0x90, 30, 90}, 4000002));
    music->PollInputs();
    run();
    EXPECT_FALSE(heardOn(30));

    // Mute from the keyboard: the engine's player takes the flag and mute mode comes on.
    QTest::keyClick(&list, Qt::Key_M);
    Frame().OnDrainTimer();
    ASSERT_NE(music->FindPhrasePlayer(phrase.GetId()), nullptr);
    EXPECT_TRUE(music->FindPhrasePlayer(phrase.GetId())->GetMute());
    EXPECT_TRUE(m_doc->IsMuteActive());
    EXPECT_TRUE(live->mute);
    QTest::keyClick(&list, Qt::Key_M);
    Frame().OnDrainTimer();
    EXPECT_FALSE(music->FindPhrasePlayer(phrase.GetId())->GetMute());

    // Solo: the first flag switches solo mode on; with the mode on, flags add up and come off one
    // by one. The list's record of the flags stays what the players hold.
    CPhrase& first = m_bank->GetPhraseAt(0);
    struct SStep {
        int row;
        bool first, second, mode;
    } steps[] = {{1, false, true, true},
                 {0, true, true, true},
                 {0, false, true, true},
                 {1, false, false, false}};
    for (const SStep& step : steps) {
        list.SetCurrentRow(step.row);
        QTest::keyClick(&list, Qt::Key_Slash);
        Frame().OnDrainTimer();
        EXPECT_EQ(music->FindPhrasePlayer(first.GetId())->GetSolo(), step.first) << step.row;
        EXPECT_EQ(music->FindPhrasePlayer(phrase.GetId())->GetSolo(), step.second) << step.row;
        const CPhraseLive* one = CPhraseLiveStates::Instance().Find(first);
        EXPECT_EQ(one != nullptr && one->solo, step.first) << step.row;
        EXPECT_EQ(live->solo, step.second) << step.row;
        EXPECT_EQ(m_doc->IsSoloActive(), step.mode) << step.row;
    }
}

TEST_F(CPhraseBankTest, WindowRecordRoundTripsAndBadRecordsAreClamped)
{
    CViewPhraseList& list = OpenBank(40);
    CBankEditor& editor = WindowsOf(*m_doc).GetBankFrame(*m_bank)->GetEditor();
    list.SetCurrentRow(25);
    list.SetFirstRow(20);
    editor.SetPanelCollapsed(true);
    const std::vector<uint8_t> saved = editor.SaveViewState();
    ASSERT_EQ(saved.size(), 12u);
    list.SetCurrentRow(-1);
    list.SetFirstRow(0);
    editor.SetPanelCollapsed(false);
    editor.RestoreViewState(saved);
    EXPECT_EQ(list.GetCurrentRow(), 25);
    EXPECT_EQ(list.GetFirstRow(), 20);
    EXPECT_TRUE(editor.IsPanelCollapsed());

    // The project file keeps the record: the window comes back as it was left.
    const std::string path = PathOf("bank.tnw");
    m_doc->Save(path);
    const std::string copy = PathOf("bank copy.tnw");
    ASSERT_TRUE(QFile::copy(QString::fromStdString(path), QString::fromStdString(copy)));
    CProjectDoc* reopened = Projects().OpenProject(copy);
    ASSERT_NE(reopened, nullptr);
    ASSERT_NE(reopened, m_doc);
    CFramePhraseBank* frame = WindowsOf(*reopened).GetBankFrame(reopened->GetBankAt(0));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetEditor().List().GetCurrentRow(), 25);
    EXPECT_EQ(frame->GetEditor().List().GetFirstRow(), 20);
    EXPECT_TRUE(frame->GetEditor().IsPanelCollapsed());

    // Random records of random length: whatever they hold, the list stays inside the bank.
    std::mt19937 random(25);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes(random() % 16);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random());
        editor.RestoreViewState(bytes);
        const int current = list.GetCurrentRow();
        EXPECT_TRUE(current >= -1 && current < 40) << round;
        EXPECT_TRUE(list.GetFirstRow() >= 0 &&
                    list.GetFirstRow() <= list.Geometry().GetMaxFirstRow())
            << round;
        EXPECT_EQ(list.verticalScrollBar()->value(), list.GetFirstRow());
        EXPECT_EQ(editor.SaveViewState().size(), 12u);
    }
}

TEST_F(CPhraseBankTest, ExportsThePhraseAndImportsFilesIntoThisBank)
{
    CViewPhraseList& list = OpenBank(2);
    CPhrase& source = m_bank->GetPhraseAt(1);
    for (int i = 0; i < 4; ++i)
        source.GetNotes().Insert(CNote(i * 96, i * 96 + 48, static_cast<uint8_t>(60 + i), 90, 64));
    list.SetCurrentRow(1);
    const std::string path = PathOf("phrase.mid");
    m_user.m_chosenPath = path;
    ASSERT_TRUE(list.Run(EPhraseCommand::Export));
    ASSERT_TRUE(QFileInfo::exists(QString::fromStdString(path)));

    // The file comes back as a phrase at the end of this bank, as one history entry.
    ASSERT_TRUE(list.Run(EPhraseCommand::Import));
    EXPECT_EQ(UndoName(*m_doc), "Import Phrase(s) from MIDI file");
    ASSERT_EQ(m_bank->GetCount(), 3);
    const CPhrase& imported = m_bank->GetPhraseAt(2);
    ASSERT_EQ(imported.GetNotes().GetCount(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(imported.GetNotes()[i].m_pitch, 60 + i);
    // A cancelled chooser changes nothing.
    m_user.m_chosenPath.clear();
    EXPECT_FALSE(list.Run(EPhraseCommand::Import));
    EXPECT_EQ(m_bank->GetCount(), 3);
}
