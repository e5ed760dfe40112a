// The main menu, its keys and the commands of the main frame and the application.

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "shell/Dialogs.h"
#include "shell/HelpViewer.h"
#include "shell/WndTransport.h"
#include "ui/UiFixture.h"

namespace {

// Every entry of a popup as it reads, separators as "-".
QStringList Entries(QMenu& menu)
{
    QStringList entries;
    for (QAction* action : menu.actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return entries;
}

QMenu* Popup(CMainFrame& frame, const QString& title)
{
    for (QAction* action : frame.menuBar()->actions())
        if (action->text() == title) return action->menu();
    return nullptr;
}

} // namespace

TEST_F(CUiFixture, MainMenuHasItsEntriesAndTheyRun)
{
    Start();
    QStringList titles;
    for (QAction* action : Frame().menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles,
              (QStringList{"&Project", "&Edit", "&Control", "&Options", "&Window", "&Help"}));
    EXPECT_EQ(Entries(*Popup(Frame(), "&Edit")),
              (QStringList{"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                           "&Paste\tCtrl+V", "&Delete\tDel"}));
    EXPECT_EQ(Entries(*Popup(Frame(), "&Help")),
              (QStringList{"&Help\tF1", "-", "&Contents", "&Index", "&Search", "-",
                           "Su&pport and contact", "-", "&About Tonalweaver..."}));
    QStringList window = Entries(*Popup(Frame(), "&Window")).mid(0, 9);
    EXPECT_EQ(window, (QStringList{"&Cascade", "&Tile Horizontaly", "Tile &Vertically",
                                   "&Arrange Icons", "-", "&Reposition Transport Window", "-",
                                   "Open Project Window\tAlt+1", "Open Tracks Window\tAlt+2"}));

    Frame().UpdateActions();
    for (ECommand id :
         {ECommand::New, ECommand::Open, ECommand::Close, ECommand::Save, ECommand::Properties,
          ECommand::EditingOptions, ECommand::ResetOutputs, ECommand::SendInstrumentSettings,
          ECommand::OpenMixerWindow, ECommand::Metronome, ECommand::RepositionTransport})
        EXPECT_TRUE(Frame().GetAction(id)->isEnabled()) << CommandInfo(id).name;
    // Nothing to undo: the entry reads plainly and its key runs nothing.
    EXPECT_FALSE(Frame().GetAction(ECommand::Undo)->isEnabled());
    EXPECT_EQ(Frame().GetAction(ECommand::Undo)->text(), QStringLiteral("&Undo\tCtrl+Z"));
}

TEST_F(CUiFixture, KeysRunCommandsOnlyWhenEnabledAndUndoNamesTheOperation)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    Frame().activateWindow();
    // Alt+3 opens the active project's mixer through the main frame.
    QTest::keyClick(&Frame(), Qt::Key_3, Qt::AltModifier);
    ASSERT_NE(WindowsOf(doc).GetFrame(EWindowKind::Mixer), nullptr);

    // Ctrl+N makes a project; the key works from inside a child frame too.
    QTest::keyClick(WindowsOf(doc).GetFrame(EWindowKind::Mixer)->widget(), Qt::Key_N,
                    Qt::ControlModifier);
    EXPECT_EQ(Projects().GetProjectCount(), 2);
}

TEST_F(CUiFixture, RepositionTransportCentresOnTheBottomEdge)
{
    Start();
    CWndTransport* transport = Frame().GetTransport();
    ASSERT_NE(transport, nullptr);
    EXPECT_TRUE(transport->isVisible());
    transport->move(700, 20);
    // The outer edges of the main window: 1000 pixels wide at the screen's left edge.
    const QMargins frame(Frame().geometry().left() - Frame().frameGeometry().left(),
                         Frame().geometry().top() - Frame().frameGeometry().top(),
                         Frame().frameGeometry().right() - Frame().geometry().right(),
                         Frame().frameGeometry().bottom() - Frame().geometry().bottom());
    Frame().setGeometry(QRect(0, 0, 1000, 700).marginsRemoved(frame));
    Settle();
    ASSERT_EQ(Frame().frameGeometry(), QRect(0, 0, 1000, 700));
    const QSize size = transport->frameGeometry().size();
    ASSERT_TRUE(Frame().RunCommand(ECommand::RepositionTransport));
    // Centred: a transport 541 pixels wide lands at 230.
    EXPECT_EQ(transport->frameGeometry().left(), 500 - size.width() / 2);
    EXPECT_EQ(transport->frameGeometry().bottom(), 699);
    EXPECT_EQ(transport->frameGeometry().size(), size);
}

TEST_F(CUiFixture, HelpKeyOpensTheTopicOfTheActiveView)
{
    Start();
    // Without any child window the main window's own topic opens.
    CProjectDoc& doc = *Projects().GetActiveProject();
    doc.GetWindows().CloseAll();
    Settle();
    ASSERT_EQ(Frame().GetActiveView(), nullptr);
    Frame().activateWindow();
    QTest::keyClick(&Frame(), Qt::Key_F1);
    ASSERT_TRUE(App().HasHelp());
    EXPECT_EQ(App().GetHelp().GetCurrentTopic(), kHelpTopicMainWindow);
    EXPECT_TRUE(App().GetHelp().isVisible());

    // A view without a topic of its own opens the general one; support has its number.
    doc.GetWindows().OpenTracksWindow(true);
    ASSERT_NE(Frame().GetActiveView(), nullptr);
    ASSERT_TRUE(Frame().RunCommand(ECommand::Help));
    EXPECT_EQ(App().GetHelp().GetCurrentTopic(), kHelpTopicView);
    ASSERT_TRUE(Frame().RunCommand(ECommand::HelpSupport));
    EXPECT_EQ(App().GetHelp().GetCurrentTopic(), kHelpTopicSupport);
}

TEST(HelpContentTest, EveryTopicLoadsAndSearchAndKeysAgree)
{
    CHelpViewer viewer;
    for (const CHelpTopic& topic : HelpTopics()) {
        viewer.ShowTopic(topic.context);
        EXPECT_EQ(viewer.GetCurrentTopic(), topic.context) << topic.page;
        // Each page names itself in its heading.
        EXPECT_FALSE(CHelpViewer::Search(QString::fromLatin1(topic.title)).empty()) << topic.page;
    }
    viewer.close();
    // Search wants every word; a word no page has finds nothing.
    const auto found = CHelpViewer::Search(QStringLiteral("clock slave"));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->context, 1007);
    EXPECT_TRUE(CHelpViewer::Search(QStringLiteral("clock xylophone")).empty());
    // Words match where a word starts: "port" is not found inside the sync page's "transport".
    for (const CHelpTopic* topic : CHelpViewer::Search(QStringLiteral("port")))
        EXPECT_NE(topic->context, 1007) << topic->page;
    // The keyboard reference lists every key of the command table.
    const QString keys = KeyboardReferenceHtml();
    for (const CCommandInfo& info : CommandTable())
        for (const QKeySequence& key : info.keys)
            EXPECT_TRUE(keys.contains(key.toString(QKeySequence::NativeText).toHtmlEscaped()))
                << info.name;
}

TEST(HelpContentTest, PageFollowsTheHighlightedEntryOnArrowKeys)
{
    CHelpViewer viewer;
    viewer.ShowContents();
    auto* contents = viewer.findChild<QTreeWidget*>(QStringLiteral("contents"));
    auto* index = viewer.findChild<QListWidget*>(QStringLiteral("index"));
    auto* results = viewer.findChild<QListWidget*>(QStringLiteral("results"));
    ASSERT_TRUE(contents != nullptr && index != nullptr && results != nullptr);
    const auto& topics = HelpTopics();

    // Down through the contents and back up: every step shows the highlighted topic.
    contents->setCurrentItem(contents->topLevelItem(0));
    for (size_t i = 1; i < topics.size(); ++i) {
        QTest::keyClick(contents, Qt::Key_Down);
        EXPECT_EQ(viewer.GetCurrentTopic(), topics[i].context) << topics[i].page;
    }
    QTest::keyClick(contents, Qt::Key_Home);
    EXPECT_EQ(viewer.GetCurrentTopic(), topics.front().context);

    // The index and the search results follow the highlight as well.
    const auto topicOf = [&topics](QListWidgetItem* item) {
        const QString page = item->data(Qt::UserRole).toString();
        for (const CHelpTopic& topic : topics)
            if (page == QLatin1String(topic.page)) return topic.context;
        return 0;
    };
    viewer.ShowIndex();
    index->setCurrentRow(0);
    for (int row = 1; row < std::min(index->count(), 6); ++row) {
        QTest::keyClick(index, Qt::Key_Down);
        EXPECT_EQ(viewer.GetCurrentTopic(), topicOf(index->item(row)))
            << index->item(row)->text().toStdString();
    }
    viewer.ShowSearch();
    auto* words = viewer.findChild<QLineEdit*>(QStringLiteral("words"));
    ASSERT_NE(words, nullptr);
    QTest::keyClicks(words, QStringLiteral("port"));
    QTest::keyClick(words, Qt::Key_Return);
    ASSERT_GE(results->count(), 2);
    results->setCurrentRow(0);
    QTest::keyClick(results, Qt::Key_Down);
    EXPECT_EQ(viewer.GetCurrentTopic(), topicOf(results->item(1)));
}

TEST_F(CUiFixture, RecentEntryThatFailsIsRemovedAndDroppedFilesOpen)
{
    const std::string kept = SaveSampleProject("kept.tnw");
    const std::string gone = SaveSampleProject("gone.tnw");
    m_profile.SetString("Recent File List", "File1", gone);
    m_profile.SetString("Recent File List", "File2", kept);
    QFile::remove(QString::fromStdString(gone));
    Start({QString::fromStdString(kept)});
    // The list now reads kept, gone (kept moved to the front when it opened).
    ASSERT_EQ(Projects().GetRecentFiles().GetCount(), 2);
    Frame().UpdateActions();
    EXPECT_EQ(Frame().GetAction(ECommand::RecentFile2)->text(),
              QStringLiteral("&2 ") + QString::fromStdString(gone));
    EXPECT_FALSE(Frame().GetAction(ECommand::RecentFile3)->isVisible());

    m_user.m_messages.clear();
    ASSERT_TRUE(Frame().RunCommand(ECommand::RecentFile2));
    EXPECT_EQ(m_user.m_messages.size(), 1u);
    ASSERT_EQ(Projects().GetRecentFiles().GetCount(), 1);
    EXPECT_EQ(Projects().GetRecentFiles().GetAt(0), kept);
    Frame().UpdateActions();
    EXPECT_FALSE(Frame().GetAction(ECommand::RecentFile2)->isVisible());

    // A file dropped on the main window opens as a project.
    const std::string dropped = SaveSampleProject("dropped.tnw");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Frame(), &drop);
    ASSERT_EQ(Projects().GetProjectCount(), 2);
    EXPECT_EQ(Projects().GetActiveProject()->GetPath(), dropped);
}

TEST_F(CUiFixture, QuestionDialogRemembersTheAnswer)
{
    Start();
    CQtUserServices dialogs(&Frame());
    CAppOptions options;
    // Tick "Don't ask this again." and answer No: the option becomes "never".
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CDlgQuestion*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Question?"));
        dialog->findChild<QCheckBox*>()->setChecked(true);
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("&No")) button->click();
    });
    EXPECT_FALSE(options.Ask(ERememberedQuestion::AutoExtendSequence, dialogs));
    EXPECT_EQ(options.m_autoExtendSequence, CAppOptions::kNever);
    // Asked again, nobody answers: the option decides.
    EXPECT_FALSE(options.Ask(ERememberedQuestion::AutoExtendSequence, dialogs));

    // Yes without the tick keeps asking.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CDlgQuestion*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("&Yes")) button->click();
    });
    EXPECT_TRUE(options.Ask(ERememberedQuestion::AutoCreateNewTrack, dialogs));
    EXPECT_EQ(options.m_autoCreateNewTrack, CAppOptions::kAsk);
    EXPECT_EQ(QtFileFilter("Song Project (*.tnw)|*.tnw|Standard MIDI Files (*.mid)|*.mid||"),
              QStringLiteral("Song Project (*.tnw);;Standard MIDI Files (*.mid)"));
}

TEST(ModelText, UnicodeAndOlderWesternNamesShowAsTypedAndUnchangedTextKeepsItsBytes)
{
    const struct {
        std::string bytes;
        QString shown;
    } cases[] = {
        {"Bass 1", QStringLiteral("Bass 1")},
        {"Caf\xC3\xA9 \xE2\x82\xAC", QString::fromUtf8("Caf\u00E9 \u20AC")},
        {"Caf\xE9", QString::fromUtf8("Caf\u00E9")},
        {"\x93Lead\x94 \x80\x85\x81", QString::fromUtf8("\u201CLead\u201D \u20AC\u2026\u0081")},
        {std::string("a\0b", 3), QString::fromUtf8("a\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(FromModelText(c.bytes), c.shown);
        EXPECT_EQ(ToModelText(c.shown, c.bytes), c.bytes);
        // Typed anew, a name is stored as UTF-8.
        EXPECT_EQ(ToModelText(c.shown + QLatin1Char('!'), c.bytes),
                  (c.shown + QLatin1Char('!')).toUtf8().toStdString());
    }
}

TEST_F(CUiFixture, ProjectDialogsChangeTheProject)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CDlgProjectProperties*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QLineEdit* title = dialog->findChildren<QLineEdit*>().front();
        title->setText(QStringLiteral("Night Drive"));
        dialog->accept();
    });
    ASSERT_TRUE(Frame().RunCommand(ECommand::Properties));
    EXPECT_EQ(doc.GetInfo().m_title, "Night Drive");
    EXPECT_EQ(WindowsOf(doc).GetFrame(EWindowKind::Project)->windowTitle(),
              QStringLiteral("Project - Night Drive *"));

    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<CDlgEditingOptions*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        // Typed beyond the range, the bar count is clamped to 16.
        QSpinBox* bars = dialog->findChildren<QSpinBox*>().front();
        bars->setValue(99);
        dialog->accept();
    });
    ASSERT_TRUE(Frame().RunCommand(ECommand::EditingOptions));
    EXPECT_EQ(doc.GetEditDefaults().m_newPhraseBars, CEditDefaults::kMaxBars);
}
