#include "shell/HelpViewer.h"

#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

#include "controls/Commands.h"
#include "shell/ShellArt.h"

namespace {

constexpr const char* kResourceRoot = "qrc:/help/";
constexpr const char* kKeysPage = "keys.html";

enum ETab { kContentsTab, kIndexTab, kSearchTab };

QString PageText(const char* page)
{
    if (QString::fromLatin1(page) == QLatin1String(kKeysPage)) return KeyboardReferenceHtml();
    QFile file(QStringLiteral(":/help/") + QString::fromLatin1(page));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

QString PlainText(const QString& html)
{
    QString text = html;
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return text;
}

QString KeyText(const QKeySequence& key)
{
    return key.toString(QKeySequence::NativeText).toHtmlEscaped();
}

} // namespace

const std::vector<CHelpTopic>& HelpTopics()
{
    static const std::vector<CHelpTopic> topics = {
        {kHelpTopicMainWindow, "main.html", "The main window",
         "main window;menus;active project;inactive;windows"},
        {kHelpTopicView, "view.html", "Working in a window", "undo;redo;selection;commands"},
        {1002, "projects.html", "Projects and files",
         "project;open;save;revert;recent files;MIDI file;properties;editing options"},
        {1003, "phrases.html", "Phrases and phrase banks",
         "phrase;phrase bank;trigger;key follow;loop;hold;quantize"},
        {1004, "tracks.html", "Tracks and clips", "track;clip;arrangement;program;volume;pan"},
        {1005, "ports.html", "Routing ports and devices",
         "port;device;output;input;JACK;ALSA;reset outputs;instrument settings"},
        {1006, "recording.html", "Recording", "recording;record;live thru;take"},
        {1007, "sync.html", "Synchronisation by MIDI clock",
         "sync;MIDI clock;master;slave;song position"},
        {1012, "transport.html", "Playing with a DAW through the JACK transport",
         "JACK transport;transport;timebase master;DAW;follow;lead;tempo"},
        {1011, "session.html", "Working in a session manager's session",
         "session;session manager;NSM;save;JACK client name"},
        {1008, kKeysPage, "Keyboard reference", "keyboard;keys;shortcuts;accelerators"},
        {kHelpTopicSupport, "support.html", "Support and contact",
         "support;contact;bug report;settings folder"},
    };
    return topics;
}

QString KeyboardReferenceHtml()
{
    QString html =
        QStringLiteral("<html><head><title>Keyboard reference</title><link rel=\"stylesheet\" "
                       "href=\"style.css\"></head><body><h1>Keyboard reference</h1>"
                       "<p>Keys that act on an item or a selection act in the window in front.</p>"
                       "<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\">"
                       "<tr><th>Keys</th><th>Command</th></tr>");
    for (const CCommandInfo& info : CommandTable()) {
        if (info.keys.isEmpty()) continue;
        QStringList keys;
        for (const QKeySequence& key : info.keys)
            keys << QStringLiteral("<kbd>%1</kbd>").arg(KeyText(key));
        html += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
                    .arg(keys.join(QStringLiteral(", ")),
                         QString::fromLatin1(info.name).toHtmlEscaped());
    }
    html += QStringLiteral("</table></body></html>");
    return html;
}

QVariant CHelpBrowser::loadResource(int type, const QUrl& name)
{
    if (type == QTextDocument::HtmlResource && name.fileName() == QLatin1String(kKeysPage))
        return KeyboardReferenceHtml();
    return QTextBrowser::loadResource(type, name);
}

CHelpViewer::CHelpViewer(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Tonalweaver Help"));
    setWindowIcon(ApplicationIcon());

    m_contents = new QTreeWidget;
    m_contents->setObjectName(QStringLiteral("contents"));
    m_contents->setHeaderHidden(true);
    for (const CHelpTopic& topic : HelpTopics()) {
        auto* item = new QTreeWidgetItem(m_contents, {QString::fromLatin1(topic.title)});
        item->setData(0, Qt::UserRole, QString::fromLatin1(topic.page));
    }
    auto openTreeItem = [this](QTreeWidgetItem* item) {
        if (item != nullptr) ShowPage(item->data(0, Qt::UserRole).toString());
    };
    connect(m_contents, &QTreeWidget::itemActivated, this, openTreeItem);
    connect(m_contents, &QTreeWidget::itemClicked, this, openTreeItem);
    // The page follows the highlighted entry, also when the arrow keys move it.
    connect(m_contents, &QTreeWidget::currentItemChanged, this, openTreeItem);

    m_indexFilter = new QLineEdit;
    m_indexFilter->setPlaceholderText(QStringLiteral("Type a keyword"));
    m_index = new QListWidget;
    m_index->setObjectName(QStringLiteral("index"));
    std::multimap<QString, QString> entries;
    for (const CHelpTopic& topic : HelpTopics())
        for (const QString& word :
             QString::fromLatin1(topic.keywords).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            entries.emplace(word, QString::fromLatin1(topic.page));
    for (const auto& [word, page] : entries) {
        auto* item = new QListWidgetItem(word, m_index);
        item->setData(Qt::UserRole, page);
    }
    connect(m_indexFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        for (int i = 0; i < m_index->count(); ++i)
            m_index->item(i)->setHidden(
                !m_index->item(i)->text().startsWith(text, Qt::CaseInsensitive));
    });
    auto openListItem = [this](QListWidgetItem* item) {
        if (item != nullptr) ShowPage(item->data(Qt::UserRole).toString());
    };
    connect(m_index, &QListWidget::itemActivated, this, openListItem);
    connect(m_index, &QListWidget::itemClicked, this, openListItem);
    // The page follows the highlighted entry, also when the arrow keys move it.
    connect(m_index, &QListWidget::currentItemChanged, this, openListItem);
    auto* indexPage = new QWidget;
    auto* indexLayout = new QVBoxLayout(indexPage);
    indexLayout->addWidget(m_indexFilter);
    indexLayout->addWidget(m_index);

    m_searchText = new QLineEdit;
    m_searchText->setObjectName(QStringLiteral("words"));
    m_searchText->setPlaceholderText(QStringLiteral("Words to find"));
    auto* searchButton = new QPushButton(QStringLiteral("&List Topics"));
    m_results = new QListWidget;
    m_results->setObjectName(QStringLiteral("results"));
    connect(m_searchText, &QLineEdit::returnPressed, this, &CHelpViewer::RunSearch);
    connect(searchButton, &QPushButton::clicked, this, &CHelpViewer::RunSearch);
    connect(m_results, &QListWidget::itemActivated, this, openListItem);
    connect(m_results, &QListWidget::itemClicked, this, openListItem);
    connect(m_results, &QListWidget::currentItemChanged, this, openListItem);
    auto* searchPage = new QWidget;
    auto* searchLayout = new QVBoxLayout(searchPage);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(m_searchText);
    searchRow->addWidget(searchButton);
    searchLayout->addLayout(searchRow);
    searchLayout->addWidget(m_results);

    m_tabs = new QTabWidget;
    m_tabs->addTab(m_contents, QStringLiteral("&Contents"));
    m_tabs->addTab(indexPage, QStringLiteral("&Index"));
    m_tabs->addTab(searchPage, QStringLiteral("&Search"));

    m_browser = new CHelpBrowser;
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({QStringLiteral(":/help")});
    // The contents follow the page on show, also when a link was followed.
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) {
        for (int i = 0; i < m_contents->topLevelItemCount(); ++i) {
            QTreeWidgetItem* item = m_contents->topLevelItem(i);
            if (item->data(0, Qt::UserRole).toString() == url.fileName())
                m_contents->setCurrentItem(item);
        }
    });
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    auto* splitter = new QSplitter;
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 3);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
    resize(860, 560);
    splitter->setSizes({220, 640});
}

void CHelpViewer::ShowPage(const QString& page)
{
    // The contents highlight the page on show, which would load it a second time.
    if (page.isEmpty() || m_browser->source().fileName() == page) return;
    m_browser->setSource(QUrl(QString::fromLatin1(kResourceRoot) + page));
}

void CHelpViewer::Present(int tab)
{
    m_tabs->setCurrentIndex(tab);
    if (!isVisible() && parentWidget() != nullptr) {
        // Opened over the middle of the main window.
        const QRect main = parentWidget()->frameGeometry();
        move(main.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
}

void CHelpViewer::ShowTopic(int context)
{
    const auto& topics = HelpTopics();
    auto it = std::find_if(topics.begin(), topics.end(),
                           [context](const CHelpTopic& t) { return t.context == context; });
    if (it == topics.end())
        it = std::find_if(topics.begin(), topics.end(),
                          [](const CHelpTopic& t) { return t.context == kHelpTopicMainWindow; });
    ShowPage(QString::fromLatin1(it->page));
    Present(kContentsTab);
}

void CHelpViewer::ShowContents()
{
    if (m_browser->source().isEmpty()) ShowTopic(kHelpTopicMainWindow);
    Present(kContentsTab);
    m_contents->setFocus();
}

void CHelpViewer::ShowIndex()
{
    if (m_browser->source().isEmpty()) ShowTopic(kHelpTopicMainWindow);
    Present(kIndexTab);
    m_indexFilter->setFocus();
}

void CHelpViewer::ShowSearch()
{
    if (m_browser->source().isEmpty()) ShowTopic(kHelpTopicMainWindow);
    Present(kSearchTab);
    m_searchText->setFocus();
}

int CHelpViewer::GetCurrentTopic() const
{
    const QString page = m_browser->source().fileName();
    for (const CHelpTopic& topic : HelpTopics())
        if (page == QLatin1String(topic.page)) return topic.context;
    return 0;
}

std::vector<const CHelpTopic*> CHelpViewer::Search(const QString& query)
{
    const QStringList words = query.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    std::vector<const CHelpTopic*> found;
    if (words.isEmpty()) return found;
    for (const CHelpTopic& topic : HelpTopics()) {
        const QString text = PlainText(PageText(topic.page));
        // Words match at the start of a word: "port" finds "ports", not "transport".
        const bool all = std::all_of(words.begin(), words.end(), [&text](const QString& w) {
            const QRegularExpression start(QStringLiteral("\\b") + QRegularExpression::escape(w),
                                           QRegularExpression::CaseInsensitiveOption);
            return text.contains(start);
        });
        if (all) found.push_back(&topic);
    }
    return found;
}

void CHelpViewer::RunSearch()
{
    m_results->clear();
    for (const CHelpTopic* topic : Search(m_searchText->text())) {
        auto* item = new QListWidgetItem(QString::fromLatin1(topic->title), m_results);
        item->setData(Qt::UserRole, QString::fromLatin1(topic->page));
    }
    if (m_results->count() == 0) {
        auto* none = new QListWidgetItem(QStringLiteral("No topic contains these words."));
        none->setFlags(Qt::NoItemFlags);
        m_results->addItem(none);
    }
}
