#pragma once
// The content of a phrase bank's window: the phrase property panel beside the phrase list. It
// routes the window's commands to the list, keeps the window record (first visible row, current
// row, the panel's collapsed state) and passes the project's calls about the bank on.
// User-interface thread only.

#include "controls/ShellView.h"

class CBarPhraseProperties;
class CPhrase;
class CPhraseBank;
class CProjectDoc;
class CUserServices;
class CViewPhraseList;

class CBankEditor : public CShellView {
    Q_OBJECT
public:
    // user: borrowed, may be null (no file choosers then).
    CBankEditor(CProjectDoc& doc, CPhraseBank& bank, CUserServices* user,
                QWidget* parent = nullptr);
    ~CBankEditor() override;

    CViewPhraseList& List() const { return *m_list; }
    CPhraseBank& GetBank() const { return m_bank; }
    CBarPhraseProperties& Panel() const { return *m_panel; }
    bool IsPanelCollapsed() const { return m_panelCollapsed; }
    void SetPanelCollapsed(bool collapsed);

    // ---- CShellView ----
    void RefreshView() override;
    std::vector<uint8_t> SaveViewState() const override;
    void RestoreViewState(const std::vector<uint8_t>& bytes) override;
    bool OnCommand(ECommand id) override;
    bool OnUpdateCommand(ECommand id, CCommandUi& ui) override;

    // ---- the project's calls ----
    void PhraseInserted(int index);
    void PhraseRemoved(int index);
    void PhraseChanged(int index);
    // The engine reported on the players (play states, levels).
    void PlayStatesChanged();

private:
    CProjectDoc& m_doc;
    CPhraseBank& m_bank;
    CViewPhraseList* m_list = nullptr;
    CBarPhraseProperties* m_panel = nullptr;
    bool m_panelCollapsed = false;
};
