#pragma once
// The child frames of the multi-document area: one per project window, tracks window and mixer,
// one per phrase bank and one per phrase or clip. A frame holds one view, keeps its project and
// object, builds its title and gives its placement and view state for saving.

#include <QMdiSubWindow>
#include <QString>

class QMenu;

#include <cstdint>
#include <vector>

#include "controls/ShellView.h"
#include "document/WindowState.h"
#include "shell/ShellArt.h"

class CBankEditor;
class CMidiData;
class CPhraseBank;
class CProjectDoc;
class CShellProjectWindows;
class CPianoRollEditor;
class CTracksEditor;

// The themed, empty view of windows whose editors come later.
class CViewEmpty : public CShellView {
public:
    explicit CViewEmpty(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

class CChildFrame : public QMdiSubWindow, public CCommandTarget {
    Q_OBJECT
public:
    // view: the frame's view (owned by the frame); null gives the empty view.
    CChildFrame(CShellProjectWindows& registry, CProjectDoc& doc, EWindowKind kind,
                EShellImage icon, QSize minimum, CShellView* view = nullptr);

    EWindowKind GetKind() const { return m_kind; }
    CProjectDoc& GetProject() const { return m_doc; }
    CShellView* GetView() const { return m_view; }
    // PianoRoll: the object's id; PhraseBank: the bank's index; otherwise 0.
    virtual int32_t GetTarget() const { return 0; }

    void RefreshTitle();
    // Placement (in the multi-document area's coordinates) and view state.
    CWindowState GetState() const;
    void ApplyState(const CWindowState& state);
    // Placement only; a placement marked "none" leaves the frame where it is.
    void ApplyPlacement(const CWindowPlacement& placement);
    CWindowPlacement GetPlacement() const;

    // Closing without telling the registry (the registry itself closes all at once).
    void CloseQuietly();

    bool OnCommand(ECommand id) override;
    bool OnUpdateCommand(ECommand id, CCommandUi& ui) override;

protected:
    // "Project - " + project name, and so on.
    virtual QString TitleBody() const = 0;
    QString ProjectName() const;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    CShellProjectWindows& m_registry;
    CProjectDoc& m_doc;

private:
    EWindowKind m_kind;
    CShellView* m_view;
    // The rectangle the frame has when neither minimised nor maximised.
    QRect m_normal;
    bool m_quiet = false;
};

class CFrameProject : public CChildFrame {
    Q_OBJECT
public:
    CFrameProject(CShellProjectWindows& registry, CProjectDoc& doc);

protected:
    QString TitleBody() const override;
};

class CFrameTracks : public CChildFrame {
    Q_OBJECT
public:
    CFrameTracks(CShellProjectWindows& registry, CProjectDoc& doc);
    // The tracks window's content.
    CTracksEditor& GetEditor() const;

protected:
    QString TitleBody() const override;
};

class CFrameMixer : public CChildFrame {
    Q_OBJECT
public:
    CFrameMixer(CShellProjectWindows& registry, CProjectDoc& doc);

protected:
    QString TitleBody() const override;
};

class CFramePhraseBank : public CChildFrame {
    Q_OBJECT
public:
    CFramePhraseBank(CShellProjectWindows& registry, CProjectDoc& doc, CPhraseBank& bank);
    CPhraseBank& GetBank() const { return m_bank; }
    // The bank window's content.
    CBankEditor& GetEditor() const;
    int32_t GetTarget() const override;

protected:
    QString TitleBody() const override;

private:
    CPhraseBank& m_bank;
};

class CFramePianoRoll : public CChildFrame {
    Q_OBJECT
public:
    CFramePianoRoll(CShellProjectWindows& registry, CProjectDoc& doc, CMidiData& data);
    CMidiData& GetData() const { return *m_data; }
    // The piano roll's content.
    CPianoRollEditor& GetEditor() const;
    // The frame now shows another object (a replaced clip).
    void SetData(CMidiData& data);
    int32_t GetTarget() const override;

protected:
    QString TitleBody() const override;

private:
    CMidiData* m_data;
};
