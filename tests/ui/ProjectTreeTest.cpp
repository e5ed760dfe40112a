// The project window's tree: the bank items following every bank operation, renaming in place,
// the clipboard, MIDI files and dragging banks within and between projects.

#include <QLineEdit>
#include <QTest>

#include <random>

#include "editing/BankOperations.h"
#include "editing/Clipboard.h"
#include "files/SmfWriter.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "shell/EditText.h"
#include "shell/ViewProject.h"
#include "ui/UiFixture.h"

namespace {

QStringList TreeBanks(CViewProject& view)
{
    QStringList names;
    for (int i = 0; i < view.GetFolder()->childCount(); ++i)
        names << view.GetFolder()->child(i)->text(0);
    return names;
}

QStringList DocBanks(CProjectDoc& doc)
{
    QStringList names;
    for (int i = 0; i < doc.GetBankCount(); ++i)
        names << QString::fromStdString(doc.GetBankAt(i).GetName());
    return names;
}

void AddBanks(CProjectDoc& doc, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        auto bank = std::make_unique<CPhraseBank>(name);
        auto phrase = std::make_unique<CPhrase>();
        phrase->SetName(std::string(name) + " riff");
        phrase->SetLength(384);
        bank->InsertAt(0, std::move(phrase));
        ASSERT_TRUE(doc.Execute(std::make_unique<COpBankCreate>(-1, std::move(bank))));
    }
}

class CProjectTreeTest : public CUiFixture {
protected:
    CViewProject& TreeOf(CProjectDoc& doc)
    {
        CShellProjectWindows& windows = WindowsOf(doc);
        windows.OpenProjectWindow(true);
        Settle();
        return *windows.GetProjectView();
    }
    // The middle of a bank item shifted by dy pixels, in the tree's viewport.
    static CDragPoint PointIn(CViewProject& view, QTreeWidgetItem* item, int dy, bool control)
    {
        const QRect r = view.GetTree().visualItemRect(item);
        return CDragPoint{r.center().x(), r.center().y() + dy, control};
    }
    static bool DropBank(CViewProject& target, CProjectDoc& source, int index,
                         const CDragPoint& point)
    {
        CDragContext& context = CDragContext::Instance();
        context.Begin(std::make_unique<CDragBank>(source, source.GetBankAt(index), index));
        const bool shown = context.Over(target, point) != EDropEffect::None;
        const bool dropped = context.Drop(target, point);
        context.End();
        return shown && dropped;
    }
};

} // namespace

TEST_F(CProjectTreeTest, FixedItemsAndBankItemsFollowOperationsUndoAndRedo)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CViewProject& view = TreeOf(doc);
    ASSERT_EQ(view.GetRoot()->text(0), "Project");
    EXPECT_EQ(view.GetRoot()->childCount(), 3);
    EXPECT_EQ(view.GetTracksItem()->text(0), "Tracks");
    EXPECT_EQ(view.GetMixerItem()->text(0), "Mixer");
    EXPECT_EQ(view.GetFolder()->text(0), "PhraseBanks");
    EXPECT_TRUE(view.GetFolder()->isExpanded());

    // A seeded random run of the bank commands, undo and redo: the tree always shows the banks
    // in the project's order, and a selected bank is one that exists.
    std::mt19937 random(17);
    const ECommand commands[] = {ECommand::AddItem, ECommand::InsertItem, ECommand::Delete,
                                 ECommand::Cut,     ECommand::Paste,      ECommand::Undo,
                                 ECommand::Redo};
    for (int step = 0; step < 120; ++step) {
        if (doc.GetBankCount() > 0 && random() % 2 == 0)
            view.Select(view.BankItem(static_cast<int>(random() % doc.GetBankCount())));
        else
            view.Select(view.GetFolder());
        const ECommand id = commands[random() % std::size(commands)];
        Frame().RunCommand(id);
        if (id == ECommand::AddItem && doc.GetBankCount() > 0) {
            // Give new banks distinct names, so the order is visible.
            CPhraseBank& bank = doc.GetBankAt(view.SelectedBank());
            doc.Execute(std::make_unique<COpBankRename>(
                bank, std::string("B").append(std::to_string(step))));
        }
        ASSERT_EQ(TreeBanks(view), DocBanks(doc)) << "step " << step;
    }
    // The keys reach the tree's commands: Ctrl and keypad + adds, F2 renames.
    view.Select(view.GetFolder());
    const int banks = doc.GetBankCount();
    QTest::keyClick(&view.GetTree(), Qt::Key_Plus, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(doc.GetBankCount(), banks + 1);
    QTest::keyClick(&view.GetTree(), Qt::Key_F2);
    EXPECT_NE(view.GetRenameBox(), nullptr);
    // A full rebuild shows the same.
    const QStringList before = TreeBanks(view);
    view.Rebuild();
    EXPECT_EQ(TreeBanks(view), before);
}

TEST_F(CProjectTreeTest, RenamingInPlaceMakesAnOperationOnlyForANewName)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    AddBanks(doc, {"Drums"});
    CViewProject& view = TreeOf(doc);
    view.Select(view.BankItem(0));
    const auto undoBefore = doc.UpdateUndo().text;

    ASSERT_TRUE(Frame().RunCommand(ECommand::Rename));
    ASSERT_NE(view.GetRenameBox(), nullptr);
    QLineEdit* editor = view.GetRenameBox()->GetEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "Drums");
    EXPECT_EQ(editor->maxLength(), CViewProject::kNameLength);
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
    EXPECT_EQ(doc.UpdateUndo().text, undoBefore);
    // Return in the editor commits; it does not open the bank's window.
    EXPECT_EQ(WindowsOf(doc).GetBankFrame(doc.GetBankAt(0)), nullptr);

    ASSERT_TRUE(Frame().RunCommand(ECommand::Rename));
    editor = view.GetRenameBox()->GetEditor();
    editor->setText(QString(60, 'x'));
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
    EXPECT_EQ(doc.GetBankAt(0).GetName(), std::string(CViewProject::kNameLength, 'x'));
    EXPECT_EQ(view.BankItem(0)->text(0), QString(CViewProject::kNameLength, 'x'));
    EXPECT_EQ(view.GetRenameBox(), nullptr);
}

TEST_F(CProjectTreeTest, CommandsEnableByTheSelectionAndTheClipboard)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    AddBanks(doc, {"A"});
    CViewProject& view = TreeOf(doc);
    auto enabled = [&view](ECommand id) {
        CCommandUi ui;
        return view.OnUpdateCommand(id, ui) && ui.enabled;
    };
    CClipboard::Instance().Put(std::make_unique<CClipboardPhrase>(doc.GetBankAt(0).GetPhraseAt(0)));
    view.Select(view.GetFolder());
    EXPECT_FALSE(enabled(ECommand::Paste));
    EXPECT_TRUE(enabled(ECommand::ImportBank));
    EXPECT_FALSE(enabled(ECommand::Delete));
    EXPECT_TRUE(enabled(ECommand::AddItem));
    view.Select(view.BankItem(0));
    EXPECT_FALSE(enabled(ECommand::ImportBank));
    for (ECommand id : {ECommand::OpenItem, ECommand::InsertItem, ECommand::Delete, ECommand::Cut,
                        ECommand::Copy, ECommand::Rename, ECommand::ExportBank})
        EXPECT_TRUE(enabled(id)) << CommandInfo(id).name;
    view.Select(view.GetRoot());
    EXPECT_FALSE(enabled(ECommand::OpenItem));
    EXPECT_EQ(view.CreateContextMenu(), nullptr);

    // Copy puts the bank there; paste goes right after the selected bank.
    view.Select(view.BankItem(0));
    ASSERT_TRUE(Frame().RunCommand(ECommand::Copy));
    EXPECT_TRUE(enabled(ECommand::Paste));
    ASSERT_TRUE(Frame().RunCommand(ECommand::Paste));
    EXPECT_EQ(DocBanks(doc), (QStringList{"A", "A"}));
    EXPECT_NE(doc.GetBankAt(1).GetPhraseAt(0).GetId(), doc.GetBankAt(0).GetPhraseAt(0).GetId());
    EXPECT_EQ(view.SelectedBank(), 1);
    CClipboard::Instance().Clear();
}

TEST_F(CProjectTreeTest, MidiFilesMakeABankOnlyWithPhrasesAndExportReadsBack)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    CViewProject& view = TreeOf(doc);
    view.Select(view.GetFolder());

    // A file with a tempo track only yields no phrase: no bank, no history entry.
    const std::string empty = PathOf("empty.mid");
    CSmfWriter(12000, "", "").WriteFile(empty);
    m_user.m_chosenPath = empty;
    ASSERT_TRUE(Frame().RunCommand(ECommand::ImportBank));
    EXPECT_EQ(doc.GetBankCount(), 0);
    EXPECT_FALSE(doc.UpdateUndo().enabled);

    // Export a bank of two phrases, import it back.
    AddBanks(doc, {"Keys"});
    auto second = std::make_unique<CPhrase>();
    second->SetName("Keys lead");
    second->SetLength(384);
    second->SetOutputChannel(3);
    second->GetNotes().Insert(CNote(0, 96, 60, 100, 64));
    doc.GetBankAt(0).GetPhraseAt(0).GetNotes().Insert(CNote(0, 96, 64, 90, 64));
    doc.GetBankAt(0).InsertAt(1, std::move(second));
    view.Select(view.BankItem(0));
    const std::string path = PathOf("keys.mid");
    ASSERT_TRUE(view.ExportBank(path));
    view.Select(view.GetFolder());
    ASSERT_TRUE(view.ImportBank(path));
    ASSERT_EQ(doc.GetBankCount(), 2);
    EXPECT_EQ(doc.GetBankAt(1).GetName(), "Imported [keys]");
    EXPECT_EQ(doc.GetBankAt(1).GetCount(), 2);
    EXPECT_EQ(view.BankItem(1)->text(0), "Imported [keys]");
    EXPECT_EQ(view.SelectedBank(), 1);
}

TEST_F(CProjectTreeTest, DroppingBanksMovesWithinAndCopiesBetweenProjects)
{
    Start();
    CProjectDoc& doc = *Projects().GetActiveProject();
    AddBanks(doc, {"A", "B", "C"});
    CViewProject& view = TreeOf(doc);
    const auto undo = doc.UpdateUndo().text;

    // B onto the lower half of A, the bank right above it: no change, no history entry.
    EXPECT_FALSE(DropBank(view, doc, 1, PointIn(view, view.BankItem(0), 4, false)));
    EXPECT_EQ(DocBanks(doc), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(doc.UpdateUndo().text, undo);

    // A onto the lower half of C: moved to the end; onto the folder: first again.
    EXPECT_TRUE(DropBank(view, doc, 0, PointIn(view, view.BankItem(2), 4, false)));
    EXPECT_EQ(DocBanks(doc), (QStringList{"B", "C", "A"}));
    EXPECT_TRUE(DropBank(view, doc, 2, PointIn(view, view.GetFolder(), 0, false)));
    EXPECT_EQ(DocBanks(doc), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(TreeBanks(view), DocBanks(doc));
    // With Control, the upper half of B: a copy before it.
    EXPECT_TRUE(DropBank(view, doc, 2, PointIn(view, view.BankItem(1), -4, true)));
    EXPECT_EQ(DocBanks(doc), (QStringList{"A", "C", "B", "C"}));
    // Over the tracks item nothing can be dropped.
    EXPECT_FALSE(DropBank(view, doc, 0, PointIn(view, view.GetTracksItem(), 0, false)));

    // Between projects a move is a copy: the source keeps its bank.
    Projects().NewProject();
    CProjectDoc& other = *Projects().GetActiveProject();
    ASSERT_NE(&other, &doc);
    CViewProject& otherView = TreeOf(other);
    EXPECT_TRUE(DropBank(otherView, doc, 0, PointIn(otherView, otherView.GetFolder(), 0, false)));
    EXPECT_EQ(DocBanks(other), (QStringList{"A"}));
    EXPECT_EQ(TreeBanks(otherView), (QStringList{"A"}));
    EXPECT_EQ(DocBanks(doc), (QStringList{"A", "C", "B", "C"}));
    EXPECT_NE(&other.GetBankAt(0), &doc.GetBankAt(0));
}
