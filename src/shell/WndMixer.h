#pragma once
// The mixer window's view: one channel strip per track, side by side in track order, scrolled
// horizontally when they do not fit. Strips follow the track count; the engine's activity and
// controller reports reach them through the main frame. User-interface thread only.

#include <QTimer>

#include <vector>

#include "shell/ChildFrames.h"

class CProjectDoc;
class CWndMixerStrip;
class QHBoxLayout;
class QScrollArea;

class CWndMixer : public CShellView {
    Q_OBJECT
public:
    explicit CWndMixer(CProjectDoc& doc, QWidget* parent = nullptr);

    // The mixer of the project when its window is open, else null.
    static CWndMixer* Of(CProjectDoc& doc);

    // Grows or shrinks the strips to the track count and shows the model again.
    void RefreshView() override;
    int GetStripCount() const { return static_cast<int>(m_strips.size()); }
    CWndMixerStrip& GetStrip(int index) const { return *m_strips.at(static_cast<size_t>(index)); }
    QScrollArea& GetScrollArea() const { return *m_scroll; }

    // Engine reports, by track identifier.
    void ShowActivity(int32_t trackId);
    void ShowFeedback(int32_t trackId, int kind, int value);

private:
    CWndMixerStrip* StripOf(int32_t trackId) const;
    void OnDecay();

    CProjectDoc& m_doc;
    QScrollArea* m_scroll;
    QWidget* m_row;
    QHBoxLayout* m_layout;
    std::vector<CWndMixerStrip*> m_strips;
    // Runs only while a level indicator shows something.
    QTimer m_decay;
};
