#pragma once
// The track property panel beside the track list: the current track's output, channel, program,
// volume, pan, velocity and pitch offsets, play quantize, delay and pitch and velocity limits,
// each change a property operation (program, volume and pan through the project's channel
// setters). A plus/minus button collapses and expands it. User-interface thread only.

#include "editors/PropertyPanel.h"

class CEditNumber;
class CSelectList;
class CTrack;
class CTracksContext;

class CBarTrackProperties : public CPropertyPanel {
    Q_OBJECT
public:
    explicit CBarTrackProperties(CTracksContext& context, QWidget* parent = nullptr);

    // The controls, for the tests and the keyboard.
    CSelectList& Output() const { return *m_output; }
    CEditNumber& Channel() const { return *m_channel; }
    CEditNumber& Program() const { return *m_program; }
    CEditNumber& Volume() const { return *m_volume; }
    CEditNumber& Pan() const { return *m_pan; }
    CEditNumber& Velocity() const { return *m_velocity; }
    CEditNumber& Pitch() const { return *m_pitch; }
    CSelectList& PlayQuantize() const { return *m_quantize; }
    CEditNumber& Delay() const { return *m_delay; }
    CEditNumber& PitchFrom() const { return *m_pitchFrom; }
    CEditNumber& PitchTo() const { return *m_pitchTo; }
    CEditNumber& VelocityFrom() const { return *m_velocityFrom; }
    CEditNumber& VelocityTo() const { return *m_velocityTo; }
    // The output popup's entries as the panel builds them when it opens.
    std::vector<CSelectItem> OutputItems() const;

protected:
    bool HasObject() const override;
    std::optional<int64_t> ReadProperty(int32_t number) const override;
    void WriteProperty(int32_t number, int64_t value) override;

private:
    CTrack* Track() const;

    CTracksContext& m_context;
    CSelectList* m_output;
    CEditNumber* m_channel;
    CEditNumber* m_program;
    CEditNumber* m_volume;
    CEditNumber* m_pan;
    CEditNumber* m_velocity;
    CEditNumber* m_pitch;
    CSelectList* m_quantize;
    CEditNumber* m_delay;
    CEditNumber* m_pitchFrom;
    CEditNumber* m_pitchTo;
    CEditNumber* m_velocityFrom;
    CEditNumber* m_velocityTo;
};
