#include "editors/BankEditor.h"

#include <QHBoxLayout>

#include <algorithm>

#include "controls/Theme.h"
#include "editors/BarPhraseProperties.h"
#include "editors/ViewPhraseList.h"
#include "editors/ViewStateBytes.h"
#include "model/PhraseBank.h"

CBankEditor::CBankEditor(CProjectDoc& doc, CPhraseBank& bank, CUserServices* user, QWidget* parent)
    : CShellView(parent), m_doc(doc), m_bank(bank)
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    setPalette(palette);

    m_list = new CViewPhraseList(doc, bank, user, this);
    m_panel = new CBarPhraseProperties(doc, this);
    connect(m_list, &CViewPhraseList::CurrentChanged, this, [this] {
        CPhrase* phrase = m_list->GetCurrentPhrase();
        m_panel->SetPhrase(phrase != nullptr ? &m_bank : nullptr, phrase);
    });
    connect(m_panel, &CBarPhraseProperties::CollapsedChanged, this,
            [this](bool collapsed) { m_panelCollapsed = collapsed; });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(m_panel);
    row->addWidget(m_list, 1);
    setFocusProxy(m_list);
}

CBankEditor::~CBankEditor() = default;

void CBankEditor::SetPanelCollapsed(bool collapsed)
{
    m_panelCollapsed = collapsed;
    m_panel->SetCollapsed(collapsed);
}

// ---- CShellView ----

void CBankEditor::RefreshView()
{
    m_list->RowsChanged();
    m_panel->Refresh();
}

std::vector<uint8_t> CBankEditor::SaveViewState() const
{
    CViewStateWriter out;
    out.Int32(m_list->GetFirstRow());
    out.Int32(m_list->GetCurrentRow());
    out.Int32(m_panelCollapsed ? 1 : 0);
    return out.Take();
}

void CBankEditor::RestoreViewState(const std::vector<uint8_t>& bytes)
{
    if (bytes.empty()) return; // no record: the defaults of a new window
    CViewStateReader in(bytes);
    const int32_t first = in.Int32();
    const int32_t current = in.Int32();
    const int32_t collapsed = in.Int32();
    // A stored record is outside input: rows are kept inside the bank, the flag is 0 or 1.
    const int32_t count = m_bank.GetCount();
    m_list->SetCurrentRow(current >= 0 && current < count ? current : -1);
    m_list->SetFirstRow(std::clamp(first, 0, std::max(0, count - 1)));
    SetPanelCollapsed(collapsed == 1);
}

bool CBankEditor::OnCommand(ECommand id)
{
    return m_list->OnCommand(id);
}

bool CBankEditor::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    return m_list->OnUpdateCommand(id, ui);
}

// ---- the project's calls ----

void CBankEditor::PhraseInserted(int index)
{
    m_list->PhraseInserted(index);
}

void CBankEditor::PhraseRemoved(int index)
{
    m_list->PhraseRemoved(index);
}

void CBankEditor::PhraseChanged(int)
{
    m_list->RowsChanged();
    m_panel->Refresh();
}

void CBankEditor::PlayStatesChanged()
{
    m_list->PlayStatesChanged();
}
