#pragma once
// The track property panel beside the track list: the current track's output, channel, program,
// volume, pan, velocity and pitch offsets, play quantize, delay and pitch and velocity limits,
// each change a property operation (program, volume and pan through the project's channel
// setters). A plus/minus button collapses and expands it. User-interface thread only.

#include <QWidget>

class CTracksContext;

class CBarTrackProperties : public QWidget {
    Q_OBJECT
public:
    explicit CBarTrackProperties(CTracksContext& context, QWidget* parent = nullptr);

    // Every control set again from the model (the track or one of its properties changed).
    void Refresh();
    bool IsCollapsed() const { return m_collapsed; }
    void SetCollapsed(bool collapsed);

signals:
    void CollapsedChanged(bool collapsed);

private:
    CTracksContext& m_context;
    bool m_collapsed = false;
};
