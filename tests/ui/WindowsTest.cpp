// Child frames: titles, the registry, saved layouts, closing and re-opening.

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTest>

#include <random>

#include "document/OperationProject.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Track.h"
#include "ui/UiFixture.h"

namespace {

// A real edit of the project: a new tempo, undoable.
class COpTempoSet : public COperationProject {
public:
    explicit COpTempoSet(int32_t tempo) : m_tempo(tempo) {}
    int GetTypeId() const override { return 9001; }
    std::string GetName() const override { return "Set Tempo"; }
    bool Do(CProjectDoc& doc) override
    {
        m_old = doc.GetTempo();
        doc.SetTempo(m_tempo);
        return true;
    }
    void UndoApply(CProjectDoc& doc) override { doc.SetTempo(m_old); }

private:
    int32_t m_tempo;
    int32_t m_old = 0;
};

QStringList Titles(CShellProjectWindows& windows)
{
    QStringList titles;
    for (EWindowKind kind : {EWindowKind::Project, EWindowKind::Tracks, EWindowKind::Mixer})
        if (CChildFrame* frame = windows.GetFrame(kind)) titles << frame->windowTitle();
    return titles;
}

std::vector<std::pair<EWindowKind, int32_t>> StackOf(QMdiArea& area, CProjectDoc& doc)
{
    std::vector<std::pair<EWindowKind, int32_t>> stack;
    for (QMdiSubWindow* window : area.subWindowList(QMdiArea::StackingOrder)) {
        auto* frame = dynamic_cast<CChildFrame*>(window);
        if (frame != nullptr && &frame->GetProject() == &doc)
            stack.emplace_back(frame->GetKind(), frame->GetTarget());
    }
    return stack;
}

} // namespace

TEST_F(CUiFixture, TitlesFollowEditsSaveAndActivation)
{
    Start();
    CProjectDoc& first = *Projects().GetActiveProject();
    CShellProjectWindows& windows = WindowsOf(first);
    windows.OpenTracksWindow(false);
    windows.OpenMixerWindow(false);
    EXPECT_EQ(Titles(windows), (QStringList{"Project - <New Project>", "Tracks - <New Project>",
                                            "Mixer - <New Project>"}));

    // Only the project frame marks unsaved changes.
    ASSERT_TRUE(first.Execute(std::make_unique<COpTempoSet>(9000)));
    EXPECT_EQ(Titles(windows), (QStringList{"Project - <New Project> *", "Tracks - <New Project>",
                                            "Mixer - <New Project>"}));
    const QString undo = Frame().QueryCommand(ECommand::Undo).text;
    EXPECT_TRUE(undo.startsWith(QStringLiteral("&Undo Set Tempo"))) << undo.toStdString();
    EXPECT_TRUE(undo.endsWith(QStringLiteral("\tCtrl+Z"))) << undo.toStdString();
    EXPECT_TRUE(Frame().QueryCommand(ECommand::Undo).enabled);

    m_user.m_chosenPath = PathOf("first");
    ASSERT_TRUE(Frame().RunCommand(ECommand::Save));
    EXPECT_EQ(first.GetPath(), PathOf("first.tnw"));
    EXPECT_EQ(Titles(windows),
              (QStringList{"Project - first.tnw", "Tracks - first.tnw", "Mixer - first.tnw"}));

    // A second project becomes the active one; the first says so in every title.
    ASSERT_TRUE(Frame().RunCommand(ECommand::New));
    CProjectDoc& second = *Projects().GetActiveProject();
    ASSERT_NE(&second, &first);
    EXPECT_EQ(Titles(windows),
              (QStringList{"Project - first.tnw [inactive]", "Tracks - first.tnw [inactive]",
                           "Mixer - first.tnw [inactive]"}));
    EXPECT_EQ(Titles(WindowsOf(second)), QStringList{"Project - <New Project>"});

    // Picking a frame of the first project makes it active again; that frame stays in front.
    CChildFrame* tracks = windows.GetFrame(EWindowKind::Tracks);
    Frame().GetMdiArea().setActiveSubWindow(tracks);
    Settle();
    EXPECT_EQ(Projects().GetActiveProject(), &first);
    EXPECT_EQ(Frame().GetMdiArea().activeSubWindow(), tracks);
    EXPECT_EQ(Titles(WindowsOf(second)), QStringList{"Project - <New Project> [inactive]"});
    EXPECT_EQ(Titles(windows).front(), QStringLiteral("Project - first.tnw"));
}

TEST_F(CUiFixture, SavedProjectReopensItsWindowsInStackingOrder)
{
    // Random stacking orders of the five kinds, each saved and opened again.
    std::mt19937 random(20261207);
    for (int round = 0; round < 4; ++round) {
        Start();
        CProjectDoc& doc = *Projects().GetActiveProject();
        FillSampleProject(doc);
        CShellProjectWindows& windows = WindowsOf(doc);
        windows.OpenTracksWindow(false);
        windows.OpenMixerWindow(false);
        windows.OpenBankWindow(doc.GetBankAt(0), false);
        windows.OpenPianoRoll(doc.GetBankAt(0).GetPhraseAt(0), false);
        windows.OpenPianoRoll(doc.GetTracks().GetAt(0)->GetClipAt(0), false);
        std::vector<CChildFrame*> frames = windows.Frames();
        std::shuffle(frames.begin(), frames.end(), random);
        for (size_t i = 0; i < frames.size(); ++i) {
            frames[i]->setGeometry(QRect(10 + 17 * int(i), 5 + 11 * int(i), 420 + 3 * int(i), 300));
            Frame().GetMdiArea().setActiveSubWindow(frames[i]);
        }
        Settle();
        const auto saved = StackOf(Frame().GetMdiArea(), doc);
        ASSERT_EQ(saved.size(), 6u);
        std::map<std::pair<EWindowKind, int32_t>, QRect> rects;
        for (CChildFrame* frame : windows.Frames())
            rects[{frame->GetKind(), frame->GetTarget()}] = frame->geometry();

        const std::string path = PathOf("layout" + std::to_string(round) + ".tnw");
        m_user.m_chosenPath = path;
        ASSERT_TRUE(Frame().RunCommand(ECommand::SaveAs));
        ASSERT_TRUE(Frame().RunCommand(ECommand::Close));
        Settle();
        EXPECT_EQ(Projects().GetProjectCount(), 0);
        EXPECT_TRUE(Frame().GetMdiArea().subWindowList().isEmpty());

        CProjectDoc* reopened = App().OpenDocumentFile(path);
        ASSERT_NE(reopened, nullptr);
        Settle();
        EXPECT_EQ(StackOf(Frame().GetMdiArea(), *reopened), saved) << "round " << round;
        for (CChildFrame* frame : WindowsOf(*reopened).Frames()) {
            // The project frame always opens at the default place.
            if (frame->GetKind() == EWindowKind::Project) continue;
            EXPECT_EQ(frame->geometry(), (rects[{frame->GetKind(), frame->GetTarget()}]))
                << "round " << round << " kind " << int(frame->GetKind());
        }
        m_app.reset();
        Settle();
    }
}

TEST_F(CUiFixture, ClosedFramesComeBackWhereTheyWereAndFollowTheirObjects)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    FillSampleProject(doc);
    CShellProjectWindows& windows = WindowsOf(doc);
    CPhraseBank& bank = doc.GetBankAt(0);
    CPhrase& phrase = bank.GetPhraseAt(0);

    ASSERT_TRUE(Frame().RunCommand(ECommand::OpenTracksWindow));
    CChildFrame* tracks = windows.GetFrame(EWindowKind::Tracks);
    ASSERT_NE(tracks, nullptr);
    EXPECT_EQ(Frame().GetMdiArea().activeSubWindow(), tracks);
    EXPECT_GE(tracks->minimumWidth(), 400);
    tracks->setGeometry(QRect(33, 44, 520, 260));
    tracks->close();
    Settle();
    EXPECT_EQ(windows.GetFrame(EWindowKind::Tracks), nullptr);
    windows.OpenTracksWindow(true);
    EXPECT_EQ(windows.GetFrame(EWindowKind::Tracks)->geometry(), QRect(33, 44, 520, 260));

    windows.OpenPianoRoll(phrase, true);
    CFramePianoRoll* roll = windows.GetPianoRoll(phrase);
    ASSERT_NE(roll, nullptr);
    EXPECT_EQ(roll->windowTitle(), QStringLiteral("PianoRoll - Riff"));
    roll->setGeometry(QRect(70, 20, 360, 280));
    roll->close();
    Settle();
    windows.OpenPianoRoll(phrase, true);
    EXPECT_EQ(windows.GetPianoRoll(phrase)->geometry(), QRect(70, 20, 360, 280));

    // A rename retitles; removing the bank closes its frame and the piano rolls of its phrases.
    phrase.SetName("Hook");
    windows.OpenBankWindow(bank, false);
    doc.GetWindows().RebuildTitles();
    EXPECT_EQ(windows.GetPianoRoll(phrase)->windowTitle(), QStringLiteral("PianoRoll - Hook"));
    EXPECT_EQ(windows.GetBankFrame(bank)->windowTitle(), QStringLiteral("PhraseBank - Bank A"));
    windows.CloseBankWindow(bank);
    Settle();
    EXPECT_EQ(windows.GetBankFrame(bank), nullptr);
    EXPECT_EQ(windows.GetPianoRoll(phrase), nullptr);
    EXPECT_EQ(Frame().GetMdiArea().subWindowList().size(), 2);
}

TEST_F(CUiFixture, CloseIsRefusedWhileRecordingAndSaveIsOff)
{
    Start();
    ASSERT_TRUE(Frame().RunCommand(ECommand::New));
    ASSERT_EQ(Projects().GetProjectCount(), 2);
    CMidiEngineProxy& proxy = CMidiEngineProxy::Instance();
    // Ctrl+R switches recording on and Space starts the transport, as its buttons would.
    Frame().activateWindow();
    QTest::keyClick(&Frame(), Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(&Frame(), Qt::Key_Space);
    ASSERT_TRUE(proxy.IsRecording());
    Frame().OnEngineTimer();
    // Takes the engine could not start are told of once recording is over, not while it runs.
    const auto droppedBox = [this] { return Frame().findChild<QMessageBox*>(); };
    Frame().OnTakeDropped(1, 0, 0);
    Frame().OnTakeDropped(1, 0, 96);
    Frame().OnDrainTimer();
    EXPECT_EQ(droppedBox(), nullptr);

    // Exit and Close do nothing, not even to the inactive project; Save is disabled and its key
    // does not run it.
    EXPECT_FALSE(Frame().close());
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_EQ(Projects().GetProjectCount(), 2);
    Frame().RunCommand(ECommand::Close);
    EXPECT_EQ(Projects().GetProjectCount(), 2);
    EXPECT_FALSE(Frame().QueryCommand(ECommand::Save).enabled);
    EXPECT_FALSE(Frame().QueryCommand(ECommand::SaveAll).enabled);
    EXPECT_FALSE(Frame().GetAction(ECommand::Save)->isEnabled());
    m_user.m_chosenPath = PathOf("while-recording.tnw");
    Frame().activateWindow();
    QTest::keyClick(&Frame(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(m_user.m_chosenPath)));

    QTest::keyClick(&Frame(), Qt::Key_Space);
    ASSERT_FALSE(proxy.IsPlaying());
    ASSERT_EQ(proxy.SetRecording(false), 1);
    Frame().OnEngineTimer();
    Frame().OnDrainTimer();
    ASSERT_NE(droppedBox(), nullptr);
    EXPECT_TRUE(droppedBox()->text().contains(QStringLiteral("2 times")));
    droppedBox()->close();
    Settle();
    EXPECT_EQ(droppedBox(), nullptr);
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    EXPECT_TRUE(Frame().GetAction(ECommand::Save)->isEnabled());
    // The same key saves once recording is over.
    QTest::keyClick(&Frame(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(QFile::exists(QString::fromStdString(m_user.m_chosenPath)));
    EXPECT_TRUE(Frame().close());
    EXPECT_EQ(Projects().GetProjectCount(), 0);
}

TEST_F(CUiFixture, CascadeKeepsFramesUsefullyLargeWithTheirTitlesInView)
{
    Start();
    Frame().resize(1200, 900);
    Frame().show();
    QMdiArea& area = Frame().GetMdiArea();
    // One project's three windows, then a second project's too: six frames.
    for (int projects = 1; projects <= 2; ++projects) {
        if (projects == 2) {
            ASSERT_TRUE(Frame().RunCommand(ECommand::New));
        }
        for (ECommand open :
             {ECommand::OpenProjectWindow, ECommand::OpenTracksWindow, ECommand::OpenMixerWindow})
            ASSERT_TRUE(Frame().RunCommand(open));
        Settle();
        area.subWindowList().front()->showMaximized();
        QMdiSubWindow* active = area.activeSubWindow();
        ASSERT_TRUE(Frame().RunCommand(ECommand::Cascade));
        Settle();

        const QSize room = area.viewport()->size();
        const QList<QMdiSubWindow*> stack = area.subWindowList(QMdiArea::StackingOrder);
        ASSERT_EQ(stack.size(), 3 * projects);
        QList<QPoint> corners;
        for (QMdiSubWindow* frame : stack) {
            const QRect place = frame->geometry();
            EXPECT_FALSE(frame->isMaximized());
            EXPECT_GE(place.width(), room.width() * 2 / 3) << frame->windowTitle().toStdString();
            EXPECT_GE(place.height(), room.height() * 2 / 3) << frame->windowTitle().toStdString();
            EXPECT_TRUE(QRect(QPoint(0, 0), room).contains(place))
                << frame->windowTitle().toStdString();
            EXPECT_FALSE(corners.contains(place.topLeft())) << "two frames share one corner";
            corners << place.topLeft();
        }
        // The active frame stays in front.
        EXPECT_EQ(area.activeSubWindow(), active);
        EXPECT_EQ(stack.back(), active);
    }
}
