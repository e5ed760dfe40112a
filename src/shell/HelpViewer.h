#pragma once
// The program's help: pages shipped in the program's resources, shown in a window with a table of
// contents, a keyword index and a full-text search. Topics are found by their context number.

#include <QTextBrowser>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTreeWidget;

// Context numbers of the topics the program asks for.
constexpr int kHelpTopicView = 1000;
constexpr int kHelpTopicMainWindow = 1001;
constexpr int kHelpTopicSupport = 1020;

struct CHelpTopic {
    int context;
    const char* page; // file name under the help resources
    const char* title;
    const char* keywords; // index entries, separated by ';'
};

const std::vector<CHelpTopic>& HelpTopics();
// The keyboard reference, built from the command table so it always matches the keys.
QString KeyboardReferenceHtml();

class CHelpBrowser : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl& name) override;
};

class CHelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit CHelpViewer(QWidget* parent = nullptr);

    // Shows the topic with this context number (the main window's topic for unknown numbers).
    void ShowTopic(int context);
    void ShowContents();
    void ShowIndex();
    void ShowSearch();

    // Context number of the topic on show, 0 for a page without one.
    int GetCurrentTopic() const;
    // Pages whose text contains every word of the query, in contents order.
    static std::vector<const CHelpTopic*> Search(const QString& query);

private:
    void ShowPage(const QString& page);
    void RunSearch();
    void Present(int tab);

    QTabWidget* m_tabs;
    QTreeWidget* m_contents;
    QLineEdit* m_indexFilter;
    QListWidget* m_index;
    QLineEdit* m_searchText;
    QListWidget* m_results;
    CHelpBrowser* m_browser;
};
