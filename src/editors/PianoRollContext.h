#pragma once
// What the panes of one piano-roll window share: the project and the phrase or clip shown, the
// geometry, the cursor, the snap and grid values, the edit type and focus side, the default note
// and event values, and the song position shown. The note canvas, the ruler, the keyboard strip
// and the event lane read it and listen to its signals. User-interface thread only.

#include <QObject>

#include <functional>
#include <memory>

#include "document/AppOptions.h"
#include "editing/ModifierCommands.h"
#include "editors/PianoRollGeometry.h"
#include "editors/PianoRollRules.h"
#include "model/Profile.h"
#include "model/TimeBase.h"

class CHarmonicScale;
class CMidiData;
class CProjectDoc;

// The cursor cell: a tick relative to the container's start, a pitch, and the cell's length.
struct CPianoRollCursor {
    tick m_tick = 0;
    int32_t m_pitch = 60;
    tick m_length = 24;
    bool operator==(const CPianoRollCursor&) const = default;
};

class CPianoRollContext : public QObject {
    Q_OBJECT
public:
    // Which pane the keys act on.
    static constexpr int32_t kFocusNotes = 1;
    static constexpr int32_t kFocusEvents = 2;

    CPianoRollContext(CProjectDoc& doc, CMidiData& data, QObject* parent = nullptr);

    CProjectDoc& GetDoc() const { return m_doc; }
    CMidiData& GetData() const { return *m_data; }
    // Another object (a replaced clip) is shown from now on.
    void SetData(CMidiData& data);
    bool IsClip() const;
    // Song position of the container's tick 0 (a clip's start, 0 for a phrase).
    tick GetOffset() const;
    tick GetLength() const;
    // The project's scale, or the neutral one for drum material.
    const CHarmonicScale& Scale() const;

    CPianoRollGeometry& Geometry() { return m_geometry; }
    const CPianoRollGeometry& Geometry() const { return m_geometry; }
    // The content extent again from the container's length; the cursor is kept inside.
    void UpdateContent();
    void SetOriginTick(tick origin);
    void SetOriginPitch(int32_t pitch);
    void MakeVisible(tick at, int32_t pitch);
    void ZoomHorizontal(int direction);
    void ZoomVertical(int direction);
    // Horizontal zoom keeping the tick under client x in place.
    void ZoomHorizontalAt(int direction, int32_t x);

    // ---- cursor ----
    const CPianoRollCursor& GetCursor() const { return m_cursor; }
    // Moves the cursor cell, kept inside the phrase and 0..127, and brings it into view.
    void SetCursor(tick at, int32_t pitch);
    void SetCursorLength(tick length);
    // The highest tick the cursor may take now.
    tick CursorLastTick() const;

    // ---- values of the bar ----
    const CNoteValue& GetSnap() const { return m_snap; }
    void SetSnap(CNoteValue snap);
    const CNoteValue& GetGrid() const { return m_grid; }
    void SetGrid(CNoteValue grid);
    tick GridUnit() const { return ::GridUnit(m_grid); }
    // The larger step of Control and the large nudges: a grid unit or a beat, whichever is more.
    tick LargeStep() const;
    tick TicksPerBeat() const;
    tick TicksPerBar() const;
    ENoteEditType GetEditType() const { return m_editType; }
    void SetEditType(ENoteEditType type);
    int32_t GetFocusSide() const { return m_focusSide; }
    void SetFocusSide(int32_t side)
    {
        m_focusSide = side == kFocusEvents ? kFocusEvents : kFocusNotes;
    }

    // ---- defaults ----
    const CDefaultNote& GetDefaultNote() const { return m_defaultNote; }
    void SetDefaultNote(const CDefaultNote& note);
    // The event lane's default values and its kind (kept for the lane and the window record).
    uint8_t GetDefaultEventValue() const { return m_eventValue; }
    uint8_t GetSecondEventValue() const { return m_secondEventValue; }
    void SetDefaultEventValues(uint8_t value, uint8_t second);
    int16_t GetLaneKind() const { return m_laneKind; }
    void SetLaneKind(int16_t kind) { m_laneKind = kind; }
    uint8_t GetEventEditType() const { return m_eventEditType; }
    void SetEventEditType(uint8_t type) { m_eventEditType = type == 2 ? 2 : 1; }

    // ---- song position ----
    bool IsFollowing() const { return m_follow; }
    void SetFollowing(bool follow) { m_follow = follow; }
    // The song position (absolute) the panes show.
    tick GetShownPosition() const { return m_shown; }
    // The project's song position moved: the panes move their markers, the view follows.
    void ProjectPositionChanged();
    void SetSongPosition(tick at);

    // Asks a question whose answer the user may have us remember; without an asker the answer
    // is no.
    void SetAsker(std::function<bool(ERememberedQuestion)> asker) { m_asker = std::move(asker); }
    bool Ask(ERememberedQuestion question) const { return m_asker && m_asker(question); }

    // The "Editor" settings of the quantize commands (borrowed; the application's). Without
    // them the window keeps its own, which start at the defaults and are not stored.
    void SetSettings(CModifierSettings* settings) { m_settings = settings; }
    CModifierSettings& Settings() { return m_settings != nullptr ? *m_settings : m_ownSettings; }

    // Redraws of the panes pause between these; batches nest.
    void BeginBatch();
    void EndBatch();

signals:
    // Scroll, zoom or content extent changed: every pane lays out and redraws.
    void ViewChanged();
    // The cursor moved from the old cell.
    void CursorMoved(const CPianoRollCursor& from);
    void SnapChanged();
    void GridChanged();
    void EditTypeChanged();
    void DefaultNoteChanged();
    // The shown song position moved (absolute ticks).
    void ShownPositionChanged(tick from, tick to);
    // The container's name, colour or the project's scale changed: the panes redraw.
    void ContentChanged();
    void BatchBegun();
    void BatchEnded();

private:
    CProjectDoc& m_doc;
    CMidiData* m_data;
    CPianoRollGeometry m_geometry;
    CPianoRollCursor m_cursor;
    CNoteValue m_snap;
    CNoteValue m_grid;
    ENoteEditType m_editType = ENoteEditType::Start;
    int32_t m_focusSide = kFocusNotes;
    CDefaultNote m_defaultNote;
    uint8_t m_eventValue = 64;
    uint8_t m_secondEventValue = 0;
    int16_t m_laneKind = 0;
    uint8_t m_eventEditType = 1;
    bool m_follow = true;
    tick m_shown = 0;
    int m_batch = 0;
    std::function<bool(ERememberedQuestion)> m_asker;
    CAppOptions m_ownOptions;
    CMemoryProfile m_ownProfile;
    CModifierSettings m_ownSettings{m_ownOptions, m_ownProfile};
    CModifierSettings* m_settings = nullptr;
};
