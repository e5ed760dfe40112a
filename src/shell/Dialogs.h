#pragma once
// The shell's small dialogs and the user services of the program: questions, messages and file
// choosers as dialogs.

#include <QDialog>

#include <string>

#include "document/ProjectDoc.h"
#include "document/UserServices.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class CProjectDoc;
struct CEditDefaults;

// Gives a dialog its title and keeps it wide enough for the window manager to show the whole
// title beside the window's icon and buttons.
void SetDialogTitle(QDialog& dialog, const QString& title);
// The width that leaves room for the title in a bold title bar.
int TitledWindowWidth(const QString& title);

// "Question?": the message, "&Yes", "&No" and "Don't ask this again.".
class CDlgQuestion : public QDialog {
    Q_OBJECT
public:
    CDlgQuestion(const QString& question, QWidget* parent);
    bool DontAskAgain() const;

private:
    QCheckBox* m_dontAsk;
};

// "Project properties": title, author, copyright and comment.
class CDlgProjectProperties : public QDialog {
    Q_OBJECT
public:
    CDlgProjectProperties(const CProjectInfo& info, QWidget* parent);
    CProjectInfo GetInfo() const;

private:
    CProjectInfo m_stored; // what the fields started from
    QLineEdit* m_title;
    QLineEdit* m_author;
    QLineEdit* m_copyright;
    QPlainTextEdit* m_comment;
};

// "Project Editing Options": the lengths of new phrases and clips, the piano roll's snap and grid.
class CDlgEditingOptions : public QDialog {
    Q_OBJECT
public:
    CDlgEditingOptions(const CEditDefaults& defaults, QWidget* parent);
    CEditDefaults GetDefaults() const;

private:
    QSpinBox* m_phraseBars;
    QSpinBox* m_clipBars;
    QComboBox* m_snap;
    QComboBox* m_grid;
};

// Shows the dialogs and applies them to the project; false when cancelled or nothing changed.
bool EditProjectProperties(CProjectDoc& doc, QWidget* parent);
bool EditProjectEditingOptions(CProjectDoc& doc, QWidget* parent);

// A project's answer to "save the changes first?".
enum class ESaveAnswer { Save, Discard, Cancel };

// Asked before a modified project closes; the program's dialogs implement it. Scripted users
// without it close projects without asking.
class CSaveQuestion {
public:
    virtual ~CSaveQuestion() = default;
    virtual ESaveAnswer AskSaveChanges(const std::string& projectName) = 0;
};

// The user of the program: answers come from dialogs parented to the main window.
class CQtUserServices : public CUserServices, public CSaveQuestion {
public:
    explicit CQtUserServices(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }

    bool AskYesNo(const std::string& question) override;
    bool AskRemembered(const std::string& question, bool& dontAskAgain) override;
    void ShowMessage(const std::string& message) override;
    std::string ChooseFileToOpen(const std::string& defaultExt, const std::string& filter) override;
    std::string ChooseFileToSave(const std::string& defaultExt, const std::string& filter,
                                 const std::string& suggestedPath) override;
    ESaveAnswer AskSaveChanges(const std::string& projectName) override;

private:
    QWidget* m_parent;
};

// "Name (*.a)|*.a|Other (*.b)|*.b||" as a Qt file-dialog filter "Name (*.a);;Other (*.b)".
QString QtFileFilter(const std::string& filter);
// Text of the model and back. The model keeps names as bytes: UTF-8 as written here, or the
// Western code page of older files, which is shown as such.
QString FromModelText(const std::string& text);
std::string ToModelText(const QString& text);
// As above, but an unchanged text keeps the bytes it came from, so that merely confirming a
// dialog changes nothing.
std::string ToModelText(const QString& text, const std::string& stored);
