#include "shell/DlgSynth.h"

#include "controls/EditValue.h"
#include "controls/Theme.h"
#include "devices/BackendChoice.h"
#include "document/UserServices.h"
#include "engine/DeviceSettings.h"
#include "shell/Dialogs.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>

namespace {

const char* const kFilter = "SoundFonts (*.sf2 *.sf3)|*.sf2;*.sf3|All files (*)|*||";

bool IsFile(const std::string& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

} // namespace

CDlgSynth::CDlgSynth(CProfile& profile, CUserServices& user, CMidiBackend* backend, QWidget* owner)
    : QDialog(owner), m_profile(profile), m_user(user), m_backend(backend),
      m_font(new QLineEdit(this)), m_volume(new CEditNumber(this)), m_inUse(new QLabel(this)),
      m_state(new QLabel(this))
{
    SetDialogTitle(*this, QStringLiteral("Synth settings"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    palette.setColor(QPalette::WindowText, CTheme::PanelLabel());
    setPalette(palette);
    setAutoFillBackground(true);

    m_font->setMinimumWidth(340);
    m_font->setClearButtonEnabled(true);
    m_font->setPlaceholderText(QStringLiteral("Automatic"));
    m_font->setToolTip(
        QStringLiteral("The General MIDI SoundFont (.sf2, .sf3) the synthesizer plays; empty for "
                       "the one the system has"));
    auto* browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setToolTip(QStringLiteral("Choose a SoundFont file"));
    m_automatic = new QPushButton(QStringLiteral("&Automatic"), this);
    QPushButton* automatic = m_automatic;
    automatic->setToolTip(QStringLiteral("Use the system's General MIDI SoundFont"));
    m_volume->SetLimits(0, SSynthOptions::kMaxVolume);
    m_volume->SetSteps(1, 10);
    m_volume->SetName(QStringLiteral("Volume (%)"));
    m_volume->SetFocusOwner(nullptr);
    m_volume->setMinimumWidth(52);
    m_volume->setFocusPolicy(Qt::StrongFocus);
    m_inUse->setFont(CTheme::SmallFont());
    m_inUse->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_state->setWordWrap(true);
    m_state->setTextFormat(Qt::PlainText);
    m_state->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_state->setMaximumWidth(480);

    auto* fontLabel = new QLabel(QStringLiteral("&SoundFont"), this);
    fontLabel->setBuddy(m_font);
    auto* volumeLabel = new QLabel(QStringLiteral("&Volume"), this);
    volumeLabel->setBuddy(m_volume);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDlgSynth::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &CDlgSynth::Browse);
    connect(automatic, &QPushButton::clicked, this, &CDlgSynth::ChooseAutomatic);
    connect(m_font, &QLineEdit::textChanged, this, &CDlgSynth::ShowAutomaticChoice);

    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->addWidget(fontLabel, 0, 0);
    grid->addWidget(m_font, 0, 1, 1, 3);
    grid->addWidget(m_inUse, 1, 1, 1, 3);
    grid->addWidget(browse, 2, 2);
    grid->addWidget(automatic, 2, 3);
    grid->addWidget(volumeLabel, 3, 0);
    auto* volume = new QHBoxLayout;
    volume->addWidget(m_volume);
    volume->addWidget(new QLabel(QStringLiteral("%"), this));
    volume->addStretch(1);
    grid->addLayout(volume, 3, 1);
    auto* stateLabel = new QLabel(QStringLiteral("State"), this);
    grid->addWidget(stateLabel, 4, 0, Qt::AlignTop);
    grid->addWidget(m_state, 4, 1, 1, 3);
    grid->addWidget(buttons, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);

    const SSynthOptions options = ReadSynthOptions(m_profile);
    m_font->setText(QString::fromStdString(options.soundFont));
    m_volume->SetValue(options.volume);
    ShowAutomaticChoice();
    SSynthState state;
    const bool running = m_backend != nullptr && GetSynthState(*m_backend, state);
    m_state->setText(running ? StateText(state) : QString());
    stateLabel->setVisible(running);
    m_state->setVisible(running);
}

QString CDlgSynth::StateText(const SSynthState& state)
{
    const QString problem = QString::fromStdString(state.problem);
    if (state.open) {
        if (!problem.isEmpty())
            return QStringLiteral("Playing with the previous SoundFont; the one asked for did not "
                                  "load: %1")
                .arg(problem);
        return state.loading ? QStringLiteral("Open; the SoundFont is loading.")
                             : QStringLiteral("Playing.");
    }
    if (!problem.isEmpty()) return QStringLiteral("Cannot play: %1").arg(problem);
    return QStringLiteral("Not playing: it is disabled in Options > Devices.");
}

void CDlgSynth::Browse()
{
    const std::string path = m_user.ChooseFileToOpen("*.sf2", kFilter);
    if (!path.empty()) m_font->setText(QString::fromStdString(path));
}

void CDlgSynth::ChooseAutomatic()
{
    m_font->clear();
}

SSynthOptions CDlgSynth::GetOptions() const
{
    SSynthOptions options;
    options.soundFont = m_font->text().trimmed().toStdString();
    options.volume = m_volume->GetValue();
    return options;
}

void CDlgSynth::ShowAutomaticChoice()
{
    m_automatic->setEnabled(!m_font->text().isEmpty());
    if (!m_font->text().trimmed().isEmpty()) {
        m_inUse->setText(QString());
        m_inUse->hide();
        return;
    }
    const std::string chosen = ChooseSoundFont({}, IsFile);
    m_inUse->setText(chosen.empty()
                         ? QStringLiteral("Automatic: no General MIDI SoundFont is installed.")
                         : QStringLiteral("Automatic: %1").arg(QString::fromStdString(chosen)));
    m_inUse->show();
}

void CDlgSynth::accept()
{
    const SSynthOptions options = GetOptions();
    if (!options.soundFont.empty() && !QFileInfo(m_font->text().trimmed()).isReadable()) {
        m_user.ShowMessage("The SoundFont " + options.soundFont + " cannot be read.");
        m_font->setFocus();
        return;
    }
    if (!options.soundFont.empty() && !IsSoundFontFile(options.soundFont)) {
        m_user.ShowMessage("The file " + options.soundFont + " is not a SoundFont.");
        m_font->setFocus();
        return;
    }
    WriteSynthOptions(m_profile, options);
    if (m_backend != nullptr) SetSynthOptions(*m_backend, options);
    QDialog::accept();
}
