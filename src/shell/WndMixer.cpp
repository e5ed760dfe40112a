#include "shell/WndMixer.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QScrollBar>

#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "model/Track.h"
#include "shell/ProjectWindowRegistry.h"
#include "shell/WndMixerStrip.h"

namespace {

// 25 frames a second: smooth without waking the program more than needed.
constexpr int kDecayPeriodMs = 40;

} // namespace

CWndMixer::CWndMixer(CProjectDoc& doc, QWidget* parent)
    : CShellView(parent), m_doc(doc), m_scroll(new QScrollArea(this)), m_row(new QWidget),
      m_layout(new QHBoxLayout(m_row))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    m_layout->addStretch(1);
    QPalette palette = m_row->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    palette.setColor(QPalette::WindowText, CTheme::PanelLabel());
    m_row->setPalette(palette);
    m_row->setAutoFillBackground(true);
    m_scroll->setPalette(palette);
    m_scroll->setWidget(m_row);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_decay.setInterval(kDecayPeriodMs);
    connect(&m_decay, &QTimer::timeout, this, &CWndMixer::OnDecay);
    RefreshView();
}

CWndMixer* CWndMixer::Of(CProjectDoc& doc)
{
    auto* windows = dynamic_cast<CShellProjectWindows*>(&doc.GetWindows());
    if (windows == nullptr) return nullptr;
    CChildFrame* frame = windows->GetFrame(EWindowKind::Mixer);
    return frame != nullptr ? dynamic_cast<CWndMixer*>(frame->GetView()) : nullptr;
}

void CWndMixer::RefreshView()
{
    const int count = m_doc.GetTracks().GetCount();
    while (GetStripCount() > count) {
        delete m_strips.back();
        m_strips.pop_back();
    }
    while (GetStripCount() < count) {
        auto* strip = new CWndMixerStrip(m_doc, GetStripCount(), m_row);
        // Before the stretch that keeps the strips at the left.
        m_layout->insertWidget(GetStripCount(), strip);
        m_strips.push_back(strip);
    }
    for (CWndMixerStrip* strip : m_strips)
        strip->Refresh();
    m_row->setMinimumWidth(count * (m_strips.empty() ? 0 : m_strips.front()->width()));
}

CWndMixerStrip* CWndMixer::StripOf(int32_t trackId) const
{
    for (CWndMixerStrip* strip : m_strips) {
        const CTrack* track = strip->GetTrack();
        if (track != nullptr && track->GetId() == trackId) return strip;
    }
    return nullptr;
}

void CWndMixer::ShowActivity(int32_t trackId)
{
    CWndMixerStrip* strip = StripOf(trackId);
    if (strip == nullptr) return;
    strip->ShowActivity();
    if (!m_decay.isActive()) m_decay.start();
}

void CWndMixer::ShowFeedback(int32_t trackId, int kind, int value)
{
    if (CWndMixerStrip* strip = StripOf(trackId)) strip->ShowFeedback(kind, value);
}

void CWndMixer::OnDecay()
{
    bool lit = false;
    for (CWndMixerStrip* strip : m_strips)
        lit = strip->DecayLevel() || lit;
    if (!lit) m_decay.stop();
}
