#include "shell/Dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringDecoder>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

#include "document/ProjectDoc.h"

namespace {

const QString kProductName = QStringLiteral("Tonalweaver");

QComboBox* NoteValueCombo(const CNoteValue& value, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    for (const CNoteValueEntry& entry : NoteValueTable()) {
        const char* name = *entry.m_longName != '\0' ? entry.m_longName : entry.m_shortName;
        combo->addItem(QString::fromLatin1(name), entry.m_ticks);
    }
    const int index = combo->findData(value.GetTicks());
    combo->setCurrentIndex(std::max(index, 0));
    return combo;
}

QSpinBox* BarsSpin(int32_t value, QWidget* parent)
{
    auto* spin = new QSpinBox(parent);
    spin->setRange(CEditDefaults::kMinBars, CEditDefaults::kMaxBars);
    spin->setValue(value); // QSpinBox clamps a stored value outside 1..16
    return spin;
}

QDialogButtonBox* OkCancel(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

} // namespace

int TitledWindowWidth(const QString& title)
{
    // The window manager draws the title in its own, often bold, font and needs room for the
    // icon and the close, minimise and maximise buttons.
    constexpr int kTitleBarDecoration = 120;
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(title) + kTitleBarDecoration;
}

void SetDialogTitle(QDialog& dialog, const QString& title)
{
    dialog.setWindowTitle(title);
    dialog.setMinimumWidth(std::max(dialog.minimumWidth(), TitledWindowWidth(title)));
}

QString FromModelText(const std::string& text)
{
    const QByteArrayView bytes(text.data(), static_cast<qsizetype>(text.size()));
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString decoded = utf8(bytes);
    if (!utf8.hasError()) return decoded;
    // Not UTF-8: a name typed in the Western code page of older files. Its bytes 0x80-0x9F are
    // the typographic marks; the five it leaves undefined stay control characters as in Latin-1.
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    decoded.clear();
    decoded.reserve(bytes.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        decoded.append(byte >= 0x80 && byte < 0xA0 ? QChar(kHigh[byte - 0x80]) : QChar(byte));
    }
    return decoded;
}

std::string ToModelText(const QString& text)
{
    return text.toUtf8().toStdString();
}

std::string ToModelText(const QString& text, const std::string& stored)
{
    return text == FromModelText(stored) ? stored : ToModelText(text);
}

CDlgQuestion::CDlgQuestion(const QString& question, QWidget* parent) : QDialog(parent)
{
    SetDialogTitle(*this, QStringLiteral("Question?"));
    auto* icon = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(size));
    auto* text = new QLabel(question, this);
    text->setWordWrap(true);
    text->setMinimumWidth(320);
    m_dontAsk = new QCheckBox(QStringLiteral("Don't ask this again."), this);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* yes = buttons->addButton(QStringLiteral("&Yes"), QDialogButtonBox::YesRole);
    QPushButton* no = buttons->addButton(QStringLiteral("&No"), QDialogButtonBox::NoRole);
    yes->setDefault(true);
    connect(yes, &QPushButton::clicked, this, &QDialog::accept);
    connect(no, &QPushButton::clicked, this, &QDialog::reject);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_dontAsk);
    layout->addWidget(buttons);
}

bool CDlgQuestion::DontAskAgain() const
{
    return m_dontAsk->isChecked();
}

CDlgProjectProperties::CDlgProjectProperties(const CProjectInfo& info, QWidget* parent)
    : QDialog(parent), m_stored(info)
{
    SetDialogTitle(*this, QStringLiteral("Project properties"));
    m_title = new QLineEdit(FromModelText(info.m_title), this);
    m_author = new QLineEdit(FromModelText(info.m_author), this);
    m_copyright = new QLineEdit(FromModelText(info.m_copyright), this);
    m_comment = new QPlainTextEdit(FromModelText(info.m_comment), this);
    m_comment->setTabChangesFocus(true);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Title"), m_title);
    form->addRow(QStringLiteral("&Author"), m_author);
    form->addRow(QStringLiteral("&Copyright"), m_copyright);
    form->addRow(QStringLiteral("C&omment"), m_comment);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
    resize(440, 300);
}

CProjectInfo CDlgProjectProperties::GetInfo() const
{
    CProjectInfo info = m_stored;
    info.m_title = ToModelText(m_title->text(), m_stored.m_title);
    info.m_author = ToModelText(m_author->text(), m_stored.m_author);
    info.m_copyright = ToModelText(m_copyright->text(), m_stored.m_copyright);
    info.m_comment = ToModelText(m_comment->toPlainText(), m_stored.m_comment);
    return info;
}

CDlgEditingOptions::CDlgEditingOptions(const CEditDefaults& defaults, QWidget* parent)
    : QDialog(parent)
{
    SetDialogTitle(*this, QStringLiteral("Project Editing Options"));
    m_phraseBars = BarsSpin(defaults.m_newPhraseBars, this);
    m_clipBars = BarsSpin(defaults.m_newClipBars, this);
    m_snap = NoteValueCombo(defaults.m_pianoRollSnap, this);
    m_grid = NoteValueCombo(defaults.m_pianoRollGrid, this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("New Phrase Length (bars)"), m_phraseBars);
    form->addRow(QStringLiteral("New Clip Length (bars)"), m_clipBars);
    form->addRow(QStringLiteral("Default Pianoroll Snap"), m_snap);
    form->addRow(QStringLiteral("Default Pianoroll Grid"), m_grid);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

CEditDefaults CDlgEditingOptions::GetDefaults() const
{
    CEditDefaults defaults;
    defaults.m_newPhraseBars = m_phraseBars->value();
    defaults.m_newClipBars = m_clipBars->value();
    defaults.m_pianoRollSnap = CNoteValue(m_snap->currentData().toInt());
    defaults.m_pianoRollGrid = CNoteValue(m_grid->currentData().toInt());
    return defaults;
}

bool EditProjectProperties(CProjectDoc& doc, QWidget* parent)
{
    CDlgProjectProperties dialog(doc.GetInfo(), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    const CProjectInfo info = dialog.GetInfo();
    CProjectInfo& current = doc.GetInfo();
    const bool changed = info.m_title != current.m_title || info.m_author != current.m_author ||
                         info.m_copyright != current.m_copyright ||
                         info.m_comment != current.m_comment;
    current = info;
    // Marking the project modified also rebuilds its titles; an unchanged one only retitles.
    if (changed)
        doc.SetModified(true);
    else
        doc.GetWindows().RebuildTitles();
    return changed;
}

bool EditProjectEditingOptions(CProjectDoc& doc, QWidget* parent)
{
    CDlgEditingOptions dialog(doc.GetEditDefaults(), parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    const CEditDefaults defaults = dialog.GetDefaults();
    CEditDefaults& current = doc.GetEditDefaults();
    const bool changed = defaults.m_newPhraseBars != current.m_newPhraseBars ||
                         defaults.m_newClipBars != current.m_newClipBars ||
                         defaults.m_pianoRollSnap != current.m_pianoRollSnap ||
                         defaults.m_pianoRollGrid != current.m_pianoRollGrid;
    current = defaults;
    if (changed) doc.SetModified(true);
    return changed;
}

// ---------------------------------------------------------------------------------------------

QString QtFileFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    // Pairs of description and pattern; the description already names the pattern.
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        if (!parts[i].isEmpty()) filters << parts[i];
    return filters.join(QStringLiteral(";;"));
}

bool CQtUserServices::AskYesNo(const std::string& question)
{
    return QMessageBox::question(m_parent, kProductName, FromModelText(question),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

bool CQtUserServices::AskRemembered(const std::string& question, bool& dontAskAgain)
{
    CDlgQuestion dialog(FromModelText(question), m_parent);
    const bool yes = dialog.exec() == QDialog::Accepted;
    dontAskAgain = dialog.DontAskAgain();
    return yes;
}

void CQtUserServices::ShowMessage(const std::string& message)
{
    QMessageBox::warning(m_parent, kProductName, FromModelText(message));
}

std::string CQtUserServices::ChooseFileToOpen(const std::string&, const std::string& filter)
{
    const QString path = QFileDialog::getOpenFileName(m_parent, QStringLiteral("Open"),
                                                      QDir::currentPath(), QtFileFilter(filter));
    return path.toStdString();
}

std::string CQtUserServices::ChooseFileToSave(const std::string& defaultExt,
                                              const std::string& filter,
                                              const std::string& suggestedPath)
{
    QFileDialog dialog(m_parent, QStringLiteral("Save As"), QDir::currentPath(),
                       QtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(defaultExt).remove(QStringLiteral("*.")));
    dialog.selectFile(QString::fromStdString(suggestedPath));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

ESaveAnswer CQtUserServices::AskSaveChanges(const std::string& projectName)
{
    const auto answer = QMessageBox::question(
        m_parent, kProductName,
        QStringLiteral("Save changes to %1?").arg(FromModelText(projectName)),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Save) return ESaveAnswer::Save;
    return answer == QMessageBox::Discard ? ESaveAnswer::Discard : ESaveAnswer::Cancel;
}
