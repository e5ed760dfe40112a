#pragma once
// The small bar above the event lane: the lane-kind field with its popup, the controller field
// (control-change lanes), the key box (poly-pressure lanes) and the drawing-tool selector.
// User-interface thread only.

#include <QWidget>

#include "editors/EventLaneRules.h"

class CEditNote;
class QMenu;
class QToolButton;

// The lane's drawing tools, in the selector's order.
enum class EDrawTool : int { None = 0, Freehand = 1, Line = 2 };

class CEventLaneBar : public QWidget {
    Q_OBJECT
public:
    explicit CEventLaneBar(QWidget* parent = nullptr);

    // Shows the kind: the field's text, and the controller or key field where the kind has one.
    void ShowKind(LaneKind kind);
    void SetTool(EDrawTool tool);
    EDrawTool GetTool() const { return m_tool; }

    QToolButton& KindField() const { return *m_kind; }
    QToolButton& ControllerField() const { return *m_controller; }
    CEditNote& KeyField() const { return *m_key; }
    QToolButton& ToolSelector() const { return *m_toolButton; }
    // The popups of the two fields (built anew for each showing; for the tests).
    QMenu* BuildKindMenu();
    QMenu* BuildControllerMenu();

signals:
    void KindChosen(LaneKind kind);
    void ToolChosen(EDrawTool tool);

private:
    void PopUp(QToolButton& field, QMenu* menu);

    QToolButton* m_kind = nullptr;
    QToolButton* m_controller = nullptr;
    CEditNote* m_key = nullptr;
    QToolButton* m_toolButton = nullptr;
    LaneKind m_shown = kLaneDefault;
    EDrawTool m_tool = EDrawTool::None;
};
