#include "shell/WndMixerStrip.h"

#include <QGridLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "controls/ButtonBitmap.h"
#include "controls/EditValue.h"
#include "controls/Fader.h"
#include "controls/Knob.h"
#include "controls/SelectList.h"
#include "controls/Theme.h"
#include "devices/MidiNode.h"
#include "document/ProjectDoc.h"
#include "editing/TrackOperations.h"
#include "editors/PhraseLiveState.h"
#include "engine/MidiEngineProxy.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Properties.h"
#include "model/Track.h"
#include "shell/Dialogs.h"
#include "shell/EditText.h"

namespace {

constexpr uint8_t kControlChange = 0xB0;
constexpr int kStripWidth = 100;
// Room for a fader that can be set by the pixel-step.
constexpr int kFaderHeight = 110;
// The level falls by this share of full scale per decay step (about a third of a second from
// full to nothing at the mixer's decay period).
constexpr int kDecayStep = 9;
constexpr uint16_t kTrackPlayerKind = static_cast<uint16_t>(ENodeKind::TrackPlayer);
constexpr uint16_t kOutputPortKind = static_cast<uint16_t>(ENodeKind::OutputPort);

// 255 or anything above 127 stored on the track shows as undefined.
int32_t Shown(uint8_t value)
{
    return value > 127 ? CEditNumber::kUndefined : value;
}

uint8_t Stored(const CEditNumber& box)
{
    return box.IsUndefined() ? CTrack::kNotSet : static_cast<uint8_t>(box.GetValue());
}

QLabel* SmallLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(CTheme::SmallFont());
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QString OnOff(bool on)
{
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

} // namespace

// ---- level indicator ----

CMixerLevel::CMixerLevel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(8, 60);
    setToolTip(QStringLiteral("PlayLevel: 0"));
}

void CMixerLevel::Raise(int level)
{
    if (level > m_level) Show(level);
}

bool CMixerLevel::Decay()
{
    if (m_level > 0) Show(std::max(0, m_level - kDecayStep));
    return m_level > 0;
}

void CMixerLevel::Show(int level)
{
    level = std::clamp(level, 0, 127);
    if (level == m_level) return;
    m_level = level;
    setToolTip(QStringLiteral("PlayLevel: %1").arg(level));
    update();
}

void CMixerLevel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, CTheme::DisplayBackground());
    const int lit = (r.height() - 2) * m_level / 127;
    if (lit > 0) {
        QLinearGradient gradient(0, r.bottom(), 0, r.top());
        gradient.setColorAt(0.0, CTheme::ValueColour());
        gradient.setColorAt(0.75, QColor(0xe8, 0xd8, 0x4a));
        gradient.setColorAt(1.0, QColor(0xf0, 0x5a, 0x3c));
        p.fillRect(QRect(r.left() + 1, r.bottom() - lit, r.width() - 2, lit), gradient);
    }
    p.setPen(CTheme::Frame());
    p.drawRect(r.adjusted(0, 0, -1, -1));
}

// ---- strip ----

CWndMixerStrip::CWndMixerStrip(CProjectDoc& doc, int index, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_index(index)
{
    setFixedWidth(kStripWidth);
    setAutoFillBackground(false);
    m_title = SmallLabel({}, this);

    auto number = [this](EControl id, const QString& name, CEditNumber* box, int32_t lower,
                         int32_t upper, int32_t large, bool undefinable) {
        box->SetId(id);
        box->SetName(name);
        if (lower <= upper) box->SetLimits(lower, upper);
        box->SetSteps(1, large);
        if (undefinable) box->SetFlags(CEditValue::kFlagUndefinable);
        box->SetFocusOwner(nullptr);
        connect(box, &CEditValue::ValueChanged, this, &CWndMixerStrip::OnValue);
        return box;
    };
    m_name = new CEditText(this);
    m_name->SetId(kName);
    m_name->SetName(QStringLiteral("TrackName"));
    m_name->SetFocusOwner(nullptr);
    connect(m_name, &CEditValue::ValueChanged, this, &CWndMixerStrip::OnValue);
    m_output = new CSelectList(CSelectList::EMode::NotifyOnly, this);
    m_output->SetId(kOutput);
    m_output->SetName(QStringLiteral("Output"));
    connect(m_output, &CSelectList::Clicked, this, &CWndMixerStrip::OnClicked);
    m_channel = number(kChannel, QStringLiteral("OutCh"), new CEditNumber(this), 1, 16, 1, false);
    m_program = number(kProgram, QStringLiteral("Prg"), new CEditNumber(this), 0, 127, 16, true);
    m_volume = number(kVolume, QStringLiteral("Vol"), new CEditByte(this), 0, 127, 16, true);
    m_pan = number(kPan, QStringLiteral("Pan"), new CEditPan(this), 1, 0, 16, true);

    m_level = new CMixerLevel(this);
    m_fader = new CFader(this);
    m_fader->SetId(kFader);
    m_fader->setMinimumHeight(kFaderHeight);
    connect(m_fader, &CFader::ValueChanged, this, &CWndMixerStrip::OnLive);
    auto knob = [this](EControl id, CKnob::EKind kind) {
        auto* k = new CKnob(kind, this);
        k->SetId(id);
        connect(k, &CKnob::ValueChanged, this, &CWndMixerStrip::OnLive);
        return k;
    };
    m_panKnob = knob(kPanKnob, CKnob::EKind::Pan);
    m_panKnob->SetValue(64);
    m_reverb = knob(kReverb, CKnob::EKind::Value);
    m_chorus = knob(kChorus, CKnob::EKind::Value);

    auto toggle = [this](EControl id, EArtwork art) {
        auto* button = new CButtonBitmap(this);
        button->SetId(id);
        button->SetArtwork(art);
        button->setFocusPolicy(Qt::StrongFocus);
        connect(button, &CButtonBitmap::Command, this, &CWndMixerStrip::OnButton);
        return button;
    };
    m_solo = toggle(kSolo, EArtwork::Solo);
    m_mute = toggle(kMute, EArtwork::Mute);
    m_input = toggle(kInput, EArtwork::Play);
    m_record = toggle(kRecord, EArtwork::Record);
    m_inputPhr = new CSelectList(CSelectList::EMode::NotifyOnly, this);
    m_inputPhr->SetId(kInputPhr);
    m_inputPhr->SetName(QStringLiteral("InputPhr"));
    connect(m_inputPhr, &CSelectList::Clicked, this, &CWndMixerStrip::OnClicked);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(3);
    int row = 0;
    grid->addWidget(m_title, row++, 0, 1, 3);
    grid->addWidget(m_name, row++, 0, 1, 3);
    grid->addWidget(m_output, row++, 0, 1, 3);
    auto labelled = [&](const char* text, QWidget* w) {
        grid->addWidget(SmallLabel(QString::fromUtf8(text), this), row, 0);
        grid->addWidget(w, row++, 1, 1, 2);
    };
    labelled("ch", m_channel);
    labelled("Prg", m_program);
    labelled("vol", m_volume);
    labelled("pan", m_pan);
    grid->addWidget(m_level, row, 0, 1, 1, Qt::AlignHCenter);
    grid->addWidget(m_fader, row, 1, 1, 2, Qt::AlignHCenter);
    grid->setRowStretch(row++, 1);
    auto* knobs = new QGridLayout;
    knobs->setSpacing(1);
    knobs->addWidget(m_panKnob, 0, 0, Qt::AlignHCenter);
    knobs->addWidget(m_reverb, 0, 1, Qt::AlignHCenter);
    knobs->addWidget(m_chorus, 0, 2, Qt::AlignHCenter);
    knobs->addWidget(SmallLabel(QStringLiteral("pan"), this), 1, 0);
    knobs->addWidget(SmallLabel(QStringLiteral("rev"), this), 1, 1);
    knobs->addWidget(SmallLabel(QStringLiteral("cho"), this), 1, 2);
    grid->addLayout(knobs, row++, 0, 1, 3);
    auto* buttons = new QGridLayout;
    buttons->setSpacing(2);
    buttons->addWidget(m_solo, 0, 0, Qt::AlignHCenter);
    buttons->addWidget(m_mute, 0, 1, Qt::AlignHCenter);
    buttons->addWidget(SmallLabel(QStringLiteral("Solo"), this), 1, 0);
    buttons->addWidget(SmallLabel(QStringLiteral("Mute"), this), 1, 1);
    grid->addLayout(buttons, row++, 0, 1, 3);
    grid->addWidget(m_inputPhr, row++, 0, 1, 3);
    auto* io = new QGridLayout;
    io->setSpacing(2);
    io->addWidget(m_input, 0, 0, Qt::AlignHCenter);
    io->addWidget(m_record, 0, 1, Qt::AlignHCenter);
    io->addWidget(SmallLabel(QStringLiteral("Input"), this), 1, 0);
    io->addWidget(SmallLabel(QStringLiteral("Record"), this), 1, 1);
    grid->addLayout(io, row++, 0, 1, 3);

    const std::vector<QWidget*> order = TabOrder();
    for (size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    Refresh();
}

std::vector<QWidget*> CWndMixerStrip::TabOrder() const
{
    return {m_name,   m_output, m_channel, m_program, m_volume,   m_pan,   m_fader, m_panKnob,
            m_reverb, m_chorus, m_solo,    m_mute,    m_inputPhr, m_input, m_record};
}

QWidget* CWndMixerStrip::GetControl(EControl id) const
{
    switch (id) {
    case kInput:
        return m_input;
    case kRecord:
        return m_record;
    case kInputPhr:
        return m_inputPhr;
    case kChorus:
        return m_chorus;
    case kReverb:
        return m_reverb;
    case kPanKnob:
        return m_panKnob;
    case kSolo:
        return m_solo;
    case kMute:
        return m_mute;
    case kLevel:
        return m_level;
    case kFader:
        return m_fader;
    case kProgram:
        return m_program;
    case kVolume:
        return m_volume;
    case kPan:
        return m_pan;
    case kOutput:
        return m_output;
    case kChannel:
        return m_channel;
    case kName:
        return m_name;
    }
    return nullptr;
}

bool CWndMixerStrip::focusNextPrevChild(bool next)
{
    // Tab stays within the strip, wrapping at its ends.
    const std::vector<QWidget*> order = TabOrder();
    QWidget* focused = focusWidget();
    auto it = std::find(order.begin(), order.end(), focused);
    if (it == order.end()) return QWidget::focusNextPrevChild(next);
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    const std::ptrdiff_t at = it - order.begin();
    order[static_cast<size_t>((at + (next ? 1 : count - 1)) % count)]->setFocus(
        next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void CWndMixerStrip::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.fillRect(event->rect(), CTheme::PanelBackground());
    p.setPen(CTheme::PanelBackground().lighter(150));
    p.drawLine(width() - 1, 0, width() - 1, height());
}

void CWndMixerStrip::SetIndex(int index)
{
    m_index = index;
    Refresh();
}

CTrack* CWndMixerStrip::GetTrack() const
{
    return m_doc.GetTracks().GetAt(m_index);
}

QString CWndMixerStrip::PortName(int port) const
{
    const std::string name =
        m_doc.GetEngineProxy().GetNodeName(CNodeAddress{kOutputPortKind, port});
    return name.empty() ? QStringLiteral("Out%1").arg(port + 1) : FromModelText(name);
}

void CWndMixerStrip::Refresh()
{
    m_title->setText(QStringLiteral("Track %1").arg(m_index + 1));
    const CTrack* track = GetTrack();
    setEnabled(track != nullptr);
    if (track == nullptr) return;
    m_name->SetText(FromModelText(track->GetName()));
    const CNodeAddress& output = track->GetOutput();
    if (output.m_kind == kOutputPortKind)
        m_output->SetSelection(output.m_index, PortName(output.m_index));
    else
        m_output->SetSelection(-1, QStringLiteral("<none>"));
    m_channel->SetValue(track->GetOutputChannel() + 1);
    m_program->SetValue(Shown(track->GetProgram()));
    m_volume->SetValue(Shown(track->GetVolume()));
    m_pan->SetValue(Shown(track->GetPan()));
    const bool solo = track->GetSolo() && m_doc.IsSoloActive();
    const bool mute = track->GetMute() && m_doc.IsMuteActive();
    m_solo->SetLatched(solo);
    m_mute->SetLatched(mute);
    m_input->SetLatched(track->GetInput());
    m_record->SetLatched(track->GetRecord());
    m_solo->setToolTip(QStringLiteral("Solo: ") + OnOff(solo));
    m_mute->setToolTip(QStringLiteral("Mute: ") + OnOff(mute));
    m_input->setToolTip(QStringLiteral("Input: ") + OnOff(track->GetInput()));
    m_record->setToolTip(QStringLiteral("Record: ") + OnOff(track->GetRecord()));
    const int count = static_cast<int>(InputPhrases().size());
    m_inputPhr->SetSelection(count, InputPhrasesText());
    m_panKnob->setToolTip(m_panKnob->GetToolTipText());
    m_reverb->setToolTip(QStringLiteral("Reverb: %1").arg(m_reverb->GetValue()));
    m_chorus->setToolTip(QStringLiteral("Chorus: %1").arg(m_chorus->GetValue()));
}

void CWndMixerStrip::ShowActivity()
{
    m_level->Raise(127);
}

bool CWndMixerStrip::DecayLevel()
{
    return m_level->Decay();
}

void CWndMixerStrip::ShowFeedback(int kind, int value)
{
    switch (kind) {
    case kFeedbackVolume:
        m_fader->SetValue(value);
        break;
    case kFeedbackPan:
        m_panKnob->SetValue(value);
        m_panKnob->setToolTip(m_panKnob->GetToolTipText());
        break;
    case kFeedbackChorus:
        m_chorus->SetValue(value);
        m_chorus->setToolTip(QStringLiteral("Chorus: %1").arg(m_chorus->GetValue()));
        break;
    case kFeedbackReverb:
        m_reverb->SetValue(value);
        m_reverb->setToolTip(QStringLiteral("Reverb: %1").arg(m_reverb->GetValue()));
        break;
    default:
        break;
    }
}

std::vector<const CPhrase*> CWndMixerStrip::InputPhrases() const
{
    std::vector<const CPhrase*> phrases;
    const CTrack* track = GetTrack();
    if (track == nullptr) return phrases;
    for (int b = 0; b < m_doc.GetBankCount(); ++b) {
        const CPhraseBank& bank = m_doc.GetBankAt(b);
        for (int i = 0; i < bank.GetCount(); ++i) {
            const CNodeAddress& input = bank.GetPhraseAt(i).GetInput();
            if (input.m_kind == kTrackPlayerKind && input.m_index == track->GetId())
                phrases.push_back(&bank.GetPhraseAt(i));
        }
    }
    return phrases;
}

QString CWndMixerStrip::PhraseEntry(const CPhrase& phrase) const
{
    const CPhraseBank* bank = m_doc.FindBankOf(&phrase);
    return QStringLiteral("[%1].%2").arg(bank != nullptr ? FromModelText(bank->GetName())
                                                         : QString(),
                                         FromModelText(phrase.GetName()));
}

QString CWndMixerStrip::InputPhrasesText() const
{
    const std::vector<const CPhrase*> phrases = InputPhrases();
    if (phrases.empty()) return QStringLiteral("[No Phrases]");
    if (phrases.size() == 1) return PhraseEntry(*phrases.front());
    return QStringLiteral("[%1 Phrases]").arg(phrases.size());
}

void CWndMixerStrip::SetProperty(int32_t number, int64_t value)
{
    if (CTrack* track = GetTrack())
        m_doc.Execute(std::make_unique<COpTrackSetProperty>(*track, number, value));
}

void CWndMixerStrip::ChooseOutput(int port)
{
    if (port < 0 || port >= kOutputPorts) return;
    SetProperty(static_cast<int32_t>(ETrackProperty::Output),
                PackNodeAddress(CNodeAddress{kOutputPortKind, port}));
    Refresh();
}

void CWndMixerStrip::OpenInputPhrase(int index)
{
    const std::vector<const CPhrase*> phrases = InputPhrases();
    if (index < 0 || index >= static_cast<int>(phrases.size())) return;
    // The model hands out phrases as const here; the window edits it through operations.
    m_doc.GetWindows().OpenPianoRoll(const_cast<CPhrase&>(*phrases[static_cast<size_t>(index)]),
                                     true);
}

void CWndMixerStrip::OnValue(int id)
{
    CTrack* track = GetTrack();
    if (track == nullptr) return;
    switch (id) {
    case kName: {
        const std::string name = ToModelText(m_name->GetText(), track->GetName());
        if (name != track->GetName()) m_doc.Execute(std::make_unique<COpTrackRename>(*track, name));
        break;
    }
    case kChannel:
        SetProperty(static_cast<int32_t>(ETrackProperty::OutputChannel), m_channel->GetValue() - 1);
        break;
    case kProgram:
        m_doc.SetChannelProgram(*track, Stored(*m_program));
        break;
    case kVolume:
        m_doc.SetChannelVolume(*track, Stored(*m_volume));
        break;
    case kPan:
        m_doc.SetChannelPan(*track, Stored(*m_pan));
        break;
    default:
        break;
    }
    Refresh();
}

void CWndMixerStrip::OnLive(int id)
{
    const CTrack* track = GetTrack();
    if (track == nullptr) return;
    int controller = 0;
    int value = 0;
    switch (id) {
    case kFader:
        controller = 7;
        value = m_fader->GetValue();
        break;
    case kPanKnob:
        controller = 10;
        value = m_panKnob->GetValue();
        m_panKnob->setToolTip(m_panKnob->GetToolTipText());
        break;
    case kReverb:
        controller = 91;
        value = m_reverb->GetValue();
        m_reverb->setToolTip(QStringLiteral("Reverb: %1").arg(value));
        break;
    case kChorus:
        controller = 93;
        value = m_chorus->GetValue();
        m_chorus->setToolTip(QStringLiteral("Chorus: %1").arg(value));
        break;
    default:
        return;
    }
    m_doc.GetEngineProxy().PostUiEvent(*track, kControlChange, static_cast<uint8_t>(controller),
                                       static_cast<uint8_t>(std::clamp(value, 0, 127)));
}

void CWndMixerStrip::OnButton(int id)
{
    CTrack* track = GetTrack();
    if (track == nullptr) return;
    switch (id) {
    case kSolo:
        ToggleTrackFlag(m_doc, *track, true);
        break;
    case kMute:
        ToggleTrackFlag(m_doc, *track, false);
        break;
    case kInput:
        SetProperty(static_cast<int32_t>(ETrackProperty::Input), track->GetInput() ? 0 : 1);
        break;
    case kRecord:
        SetProperty(static_cast<int32_t>(ETrackProperty::Record), track->GetRecord() ? 0 : 1);
        break;
    default:
        break;
    }
    Refresh();
}

void CWndMixerStrip::OnClicked(int id)
{
    if (id == kOutput) {
        std::vector<CSelectItem> items;
        for (int port = 0; port < kOutputPorts; ++port)
            items.push_back(CSelectItem{port, PortName(port), {}, false, {}});
        if (const std::optional<int32_t> chosen = m_output->RunPopup(items)) ChooseOutput(*chosen);
        return;
    }
    if (id == kInputPhr) {
        const std::vector<const CPhrase*> phrases = InputPhrases();
        if (phrases.empty()) return;
        std::vector<CSelectItem> items;
        for (size_t i = 0; i < phrases.size(); ++i)
            items.push_back(
                CSelectItem{static_cast<int32_t>(i), PhraseEntry(*phrases[i]), {}, false, {}});
        if (const std::optional<int32_t> chosen = m_inputPhr->RunPopup(items))
            OpenInputPhrase(*chosen);
    }
}
