#include "editors/BankEditor.h"

#include <QHBoxLayout>

#include <algorithm>

#include "controls/Theme.h"
#include "editors/ViewPhraseList.h"
#include "editors/ViewStateBytes.h"
#include "model/PhraseBank.h"

namespace {

// Width of the phrase property panel's place.
constexpr int kPanelWidth = 168;

} // namespace

CBankEditor::CBankEditor(CProjectDoc& doc, CPhraseBank& bank, CUserServices* user,
                         QWidget* parent)
    : CShellView(parent), m_doc(doc), m_bank(bank)
{
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, CTheme::PanelBackground());
    setPalette(palette);

    m_list = new CViewPhraseList(doc, bank, user, this);
    m_panelSlot = new QWidget(this);
    m_panelSlot->setFixedWidth(kPanelWidth);
    m_panelSlot->setObjectName(QStringLiteral("PhrasePanelSlot"));
    m_panelSlot->setToolTip(tr("Properties of the current phrase"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(m_panelSlot);
    row->addWidget(m_list, 1);
    setFocusProxy(m_list);
}

CBankEditor::~CBankEditor() = default;

void CBankEditor::SetPanelCollapsed(bool collapsed)
{
    m_panelCollapsed = collapsed;
}

// ---- CShellView ----

void CBankEditor::RefreshView()
{
    m_list->RowsChanged();
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
}

void CBankEditor::PlayStatesChanged()
{
    m_list->PlayStatesChanged();
}
