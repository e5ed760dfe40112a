#pragma once
// What a child frame needs of the view inside it: command routing (views are offered a command
// first), refreshing from the model, the editor's own "&Edit" popup, and the view state the
// project file keeps. The shell's views and the editors derive from it. User-interface thread only.

#include <QWidget>

#include <cstdint>
#include <vector>

#include "controls/Commands.h"

class QMenu;

class CShellView : public QWidget, public CCommandTarget {
public:
    using QWidget::QWidget;
    // The help topic of this view; 0 when it has none.
    virtual int GetHelpContext() const { return 0; }
    // Model changed: draw again from the model.
    virtual void RefreshView() { update(); }
    // The editor's own "&Edit" popup, shown in the main menu while the view is active; null keeps
    // the main frame's.
    virtual QMenu* GetEditMenu() const { return nullptr; }
    // The view state kept after the placement block (the bytes the file stores).
    virtual std::vector<uint8_t> SaveViewState() const { return m_viewState; }
    virtual void RestoreViewState(const std::vector<uint8_t>& bytes) { m_viewState = bytes; }

    bool OnCommand(ECommand) override { return false; }
    bool OnUpdateCommand(ECommand, CCommandUi&) override { return false; }

protected:
    // Until a view keeps state of its own, the stored bytes are carried unchanged.
    std::vector<uint8_t> m_viewState;
};
