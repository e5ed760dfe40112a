// The note canvas's commands from the keyboard: cursor moves, nudges, insert and delete, the
// clipboard, duplicate, Tab, the editing algorithms and step entry.
#include <QKeyEvent>

#include <algorithm>
#include <functional>
#include <vector>

#include "document/ProjectDoc.h"
#include "editing/Clipboard.h"
#include "editing/ModifierCommands.h"
#include "editing/NoteOperations.h"
#include "editing/RandomGenerator.h"
#include "editors/PianoRollContext.h"
#include "editors/ViewPianoRoll.h"
#include "model/HarmonicScale.h"
#include "model/MidiData.h"

namespace {

// Up to this many notes of a nudged selection sound.
constexpr int kMaxAuditioned = 16;

CNoteList FirstNotes(const CNoteList& notes, int count)
{
    CNoteList first;
    for (int i = 0; i < std::min(count, notes.GetCount()); ++i)
        first.Append(notes[i]);
    return first;
}

CNoteList OneNote(const CNote& note)
{
    CNoteList one;
    one.Append(note);
    return one;
}

} // namespace

// ---- cursor keys ----

int32_t CViewPianoRoll::PitchStepped(int key) const
{
    const CHarmonicScale& scale = m_context.Scale();
    const int32_t pitch = m_context.GetCursor().m_pitch;
    switch (key) {
    case Qt::Key_Up:
        return scale.StepUp(pitch);
    case Qt::Key_Down:
        return scale.StepDown(pitch);
    case Qt::Key_PageUp:
        return scale.OctaveUp(pitch);
    case Qt::Key_PageDown:
        return scale.OctaveDown(pitch);
    default:
        return pitch;
    }
}

bool CViewPianoRoll::MoveKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool shift = (modifiers & Qt::ShiftModifier) != 0;
    const bool control = (modifiers & Qt::ControlModifier) != 0;
    const CPianoRollCursor cursor = m_context.GetCursor();
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        const tick step = (control ? m_context.LargeStep() : m_context.GridUnit()) *
                          (key == Qt::Key_Right ? 1 : -1);
        const tick target = shift || control
                                ? TickSum(cursor.m_tick, step)
                                : StepStoppingAtNotes(m_context.GetData().GetNotes(), cursor.m_tick,
                                                      cursor.m_pitch, step);
        MoveCursor(target, cursor.m_pitch, shift);
        return true;
    }
    const int32_t pitch = PitchStepped(key);
    MoveCursor(cursor.m_tick, pitch, shift);
    if (!shift && m_context.GetCursor().m_pitch != cursor.m_pitch) {
        const CDefaultNote& def = m_context.GetDefaultNote();
        const std::optional<CNote> current = CurrentNote();
        const tick at = m_context.GetCursor().m_tick;
        Audition(OneNote(current ? *current
                                 : CNote(at, TickSum(at, def.m_length),
                                         static_cast<uint8_t>(m_context.GetCursor().m_pitch),
                                         def.m_velocity, def.m_offVelocity)));
    }
    return true;
}

bool CViewPianoRoll::EditTypeKey(int key)
{
    switch (key) {
    case Qt::Key_S:
        m_context.SetEditType(ENoteEditType::Start);
        return true;
    case Qt::Key_P:
        m_context.SetEditType(ENoteEditType::Pitch);
        return true;
    case Qt::Key_L:
        m_context.SetEditType(ENoteEditType::Length);
        return true;
    case Qt::Key_V:
        m_context.SetEditType(ENoteEditType::VelOn);
        return true;
    case Qt::Key_F:
        m_context.SetEditType(ENoteEditType::VelOff);
        return true;
    default:
        return false;
    }
}

bool CViewPianoRoll::HandleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    const bool control = (mods & Qt::ControlModifier) != 0;
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return MoveKey(key, mods);
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        if (control) return false;
        Nudge(key == Qt::Key_Plus ? 1 : -1, false);
        return true;
    case Qt::Key_BracketRight:
    case Qt::Key_BracketLeft:
        if (control) return false;
        Nudge(key == Qt::Key_BracketRight ? 1 : -1, true);
        return true;
    case Qt::Key_Tab:
        TabStep((mods & Qt::ShiftModifier) ? -1 : 1);
        return true;
    case Qt::Key_Backtab:
        TabStep(-1);
        return true;
    case Qt::Key_Escape:
        ClearSelection();
        return true;
    case Qt::Key_Menu:
        ShowContextMenu(QPoint(), true);
        return true;
    default:
        break;
    }
    if (key == Qt::Key_F10 && mods == Qt::ShiftModifier) {
        ShowContextMenu(QPoint(), true);
        return true;
    }
    // Keys that the window's commands normally take first (their shortcuts), for when the
    // canvas is used without the main frame's actions.
    if (control && !(mods & Qt::ShiftModifier)) {
        switch (key) {
        case Qt::Key_X:
            return CutNotes() || true;
        case Qt::Key_C:
            return CopyNotes() || true;
        case Qt::Key_V:
            return PasteNotes() || true;
        case Qt::Key_A:
            SelectAll();
            return true;
        default:
            return false;
        }
    }
    if (mods != Qt::NoModifier) return false;
    switch (key) {
    case Qt::Key_Insert:
        InsertNote();
        return true;
    case Qt::Key_Delete:
        DeleteNotes();
        return true;
    case Qt::Key_D:
        DuplicateNotes();
        return true;
    case Qt::Key_T:
        CopyToDefault();
        return true;
    case Qt::Key_Q:
        Quantize();
        return true;
    default:
        return EditTypeKey(key);
    }
}

void CViewPianoRoll::keyPressEvent(QKeyEvent* event)
{
    if (HandleKey(event->key(), event->modifiers())) {
        event->accept();
        return;
    }
    CCanvasView::keyPressEvent(event);
}

bool CViewPianoRoll::focusNextPrevChild(bool)
{
    // Tab and Shift+Tab belong to the canvas: they step through the notes.
    return false;
}

// ---- nudges ----

bool CViewPianoRoll::Nudge(int direction, bool large)
{
    if (const std::optional<CNote> current = CurrentNote())
        return NudgeOne(*current, direction, large);
    if (HasSelection()) return NudgeSelection(direction, large);
    return NudgeDefault(direction, large);
}

bool CViewPianoRoll::NudgeOne(const CNote& note, int direction, bool large)
{
    CMidiData& data = m_context.GetData();
    const tick step = (large ? m_context.LargeStep() : m_context.GridUnit()) * direction;
    const CHarmonicScale& scale = m_context.Scale();
    CNote changed = note;
    std::unique_ptr<COperation> op;
    switch (m_context.GetEditType()) {
    case ENoteEditType::Start:
        changed = NoteWithStartMoved(note, step, data.GetLength());
        if (changed == note) return false;
        op = std::make_unique<COpNoteSetStart>(data, note, changed);
        break;
    case ENoteEditType::Pitch: {
        const int32_t pitch =
            large ? (direction > 0 ? scale.OctaveUp(note.m_pitch) : scale.OctaveDown(note.m_pitch))
                  : (direction > 0 ? scale.StepUp(note.m_pitch) : scale.StepDown(note.m_pitch));
        // A scale that has no tone that way leaves the note alone.
        if (direction > 0 ? pitch <= note.m_pitch : pitch >= note.m_pitch) return false;
        changed.m_pitch = static_cast<uint8_t>(pitch);
        op = std::make_unique<COpNoteSetPitch>(data, note, changed);
        break;
    }
    case ENoteEditType::Length: {
        const std::optional<tick> length = SteppedLength(note.GetLength(), step);
        if (!length) return false;
        changed.m_end =
            std::min(TickSum(note.m_start, *length), std::max(data.GetLength(), note.m_start + 1));
        if (changed == note) return false;
        op = std::make_unique<COpNoteSetLength>(data, note, changed);
        break;
    }
    case ENoteEditType::VelOn:
        changed.m_velocity = NudgedVelocity(note.m_velocity, direction * (large ? 16 : 1));
        if (changed == note) return false;
        op = std::make_unique<COpNoteSetVelocity>(data, note, changed);
        break;
    case ENoteEditType::VelOff:
        changed.m_offVelocity = NudgedVelocity(note.m_offVelocity, direction * (large ? 16 : 1));
        if (changed == note) return false;
        op = std::make_unique<COpNoteSetOffVelocity>(data, note, changed);
        break;
    }
    if (!Run(std::move(op))) return false;
    // The cursor stays on the note, so that the next key changes it again.
    m_context.SetCursor(changed.m_start, changed.m_pitch);
    if (m_context.GetEditType() == ENoteEditType::Pitch) Audition(OneNote(changed));
    UpdateStatus();
    return true;
}

bool CViewPianoRoll::NudgeSelection(int direction, bool large)
{
    const tick step = (large ? m_context.LargeStep() : m_context.GridUnit()) * direction;
    CMidiData& data = m_context.GetData();
    const CNoteArea area = IsEmptyArea(m_area) ? AreaWithNotes({}, m_selected) : m_area;
    CNoteList changed;
    changed.Reserve(m_selected.GetCount());
    switch (m_context.GetEditType()) {
    case ENoteEditType::Start:
        return NudgeSelectionStart(step);
    case ENoteEditType::Length:
        return NudgeSelectionLength(step);
    case ENoteEditType::Pitch: {
        std::vector<uint8_t> pitches;
        pitches.reserve(static_cast<size_t>(m_selected.GetCount()));
        for (const CNote& note : m_selected)
            pitches.push_back(note.m_pitch);
        const CHarmonicScale& scale = m_context.Scale();
        const bool moved =
            large ? (direction > 0 ? scale.OctaveUpAll(pitches) : scale.OctaveDownAll(pitches))
                  : (direction > 0 ? scale.StepUpAll(pitches) : scale.StepDownAll(pitches));
        if (!moved) return false;
        size_t i = 0;
        for (CNote note : m_selected) {
            note.m_pitch = pitches[i++];
            changed.Append(note);
        }
        // The rectangle's pitch edges move as its notes do, and it keeps them all.
        auto move = [&](int32_t pitch) {
            const int32_t p = std::clamp(pitch, 0, 127);
            return large ? (direction > 0 ? scale.OctaveUp(p) : scale.OctaveDown(p))
                         : (direction > 0 ? scale.StepUp(p) : scale.StepDown(p));
        };
        const CNoteArea followed = AreaWithNotes(
            {area.m_from, move(area.m_pitchA), area.m_to, move(area.m_pitchB - 1) + 1}, changed);
        const CNoteList before = m_selected;
        if (!Run(std::make_unique<COpNotesSetPitch>(data, before, changed, area, followed)))
            return false;
        Audition(FirstNotes(changed, kMaxAuditioned));
        return true;
    }
    case ENoteEditType::VelOn:
    case ENoteEditType::VelOff: {
        const bool on = m_context.GetEditType() == ENoteEditType::VelOn;
        const int32_t delta = direction * (large ? 16 : 1);
        for (CNote note : m_selected) {
            if (on)
                note.m_velocity = NudgedVelocity(note.m_velocity, delta);
            else
                note.m_offVelocity = NudgedVelocity(note.m_offVelocity, delta);
            changed.Append(note);
        }
        const CNoteList before = m_selected;
        if (on)
            return Run(std::make_unique<COpNotesSetVelocity>(data, before, changed, area, area));
        return Run(std::make_unique<COpNotesSetOffVelocity>(data, before, changed, area, area));
    }
    }
    return false;
}

bool CViewPianoRoll::NudgeSelectionStart(tick step)
{
    CMidiData& data = m_context.GetData();
    const CNoteArea area = IsEmptyArea(m_area) ? AreaWithNotes({}, m_selected) : m_area;
    tick dt = std::clamp<tick>(step, -area.m_from, kOpenEnd - area.m_to);
    // The notes may reach past the rectangle; what must fit is whichever ends later.
    const tick end = std::max(area.m_to, m_selected.MaxEnd());
    if (dt > 0 && TickSum(end, dt) > data.GetLength() && !AskExtend())
        dt = std::max<tick>(0, data.GetLength() - end);
    if (dt == 0) return false;
    CNoteList moved;
    moved.CopyShifted(m_selected, dt);
    const CNoteArea newArea{area.m_from + dt, area.m_pitchA, area.m_to + dt, area.m_pitchB};
    const CNoteList before = m_selected;
    return Run(std::make_unique<COpNotesSetStart>(data, before, moved, area, newArea));
}

bool CViewPianoRoll::NudgeSelectionLength(tick step)
{
    CMidiData& data = m_context.GetData();
    const CNoteArea area = IsEmptyArea(m_area) ? AreaWithNotes({}, m_selected) : m_area;
    CNoteList changed;
    changed.Reserve(m_selected.GetCount());
    tick latest = 0;
    for (CNote note : m_selected) {
        if (const std::optional<tick> length = SteppedLength(note.GetLength(), step))
            note.m_end = TickSum(note.m_start, *length);
        latest = std::max(latest, note.m_end);
        changed.Append(note);
    }
    if (latest > data.GetLength() && !AskExtend()) {
        CNoteList cut;
        for (CNote note : changed) {
            const tick end = std::min(note.m_end, data.GetLength());
            if (end > note.m_start) note.m_end = end;
            cut.Append(note);
        }
        changed = std::move(cut);
    }
    const CNoteList before = m_selected;
    return Run(std::make_unique<COpNotesSetLength>(data, before, changed, area, area));
}

bool CViewPianoRoll::NudgeDefault(int direction, bool large)
{
    CDefaultNote def = m_context.GetDefaultNote();
    const int32_t delta = direction * (large ? 16 : 1);
    switch (m_context.GetEditType()) {
    case ENoteEditType::Length: {
        const tick step = (large ? m_context.LargeStep() : m_context.GridUnit()) * direction;
        def.m_length = std::max(std::abs(step), SteppedLength(def.m_length, step).value_or(0));
        break;
    }
    case ENoteEditType::VelOn:
        def.m_velocity = NudgedVelocity(def.m_velocity, delta);
        break;
    case ENoteEditType::VelOff:
        def.m_offVelocity = NudgedVelocity(def.m_offVelocity, delta);
        break;
    default:
        return false;
    }
    if (def == m_context.GetDefaultNote()) return false;
    m_context.SetDefaultNote(def);
    return true;
}

// ---- insert, delete, clipboard, duplicate ----

bool CViewPianoRoll::InsertNote()
{
    CMidiData& data = m_context.GetData();
    const CPianoRollCursor& cursor = m_context.GetCursor();
    if (cursor.m_pitch < 0 || cursor.m_pitch > 127) return false;
    if (cursor.m_tick < 0 || cursor.m_tick >= data.GetLength()) return false;
    const CDefaultNote& def = m_context.GetDefaultNote();
    const CNote note(cursor.m_tick,
                     std::min(TickSum(cursor.m_tick, def.m_length), data.GetLength()),
                     static_cast<uint8_t>(cursor.m_pitch), def.m_velocity, def.m_offVelocity);
    if (note.m_end <= note.m_start) return false;
    if (!Run(std::make_unique<COpNoteInsert>(data, note))) return false;
    Audition(OneNote(note));
    return true;
}

bool CViewPianoRoll::CanDelete() const
{
    return HasSelection() || CurrentNote().has_value();
}

bool CViewPianoRoll::DeleteNotes()
{
    CMidiData& data = m_context.GetData();
    const std::optional<CNote> current = CurrentNote();
    if (HasSelection() && (!IsEmptyArea(m_area) || !current)) {
        const CNoteArea area = IsEmptyArea(m_area) ? AreaWithNotes({}, m_selected) : m_area;
        const CNoteList notes = m_selected;
        return Run(std::make_unique<COpNotesDelete>(data, notes, area));
    }
    if (!current) return false;
    return Run(std::make_unique<COpNoteDelete>(data, *current));
}

bool CViewPianoRoll::CutNotes()
{
    if (!HasSelection()) return false;
    const CNoteArea area = IsEmptyArea(m_area) ? AreaWithNotes({}, m_selected) : m_area;
    const CNoteList notes = m_selected;
    return Run(std::make_unique<COpNotesCut>(m_context.GetData(), notes, area));
}

bool CViewPianoRoll::CopyNotes()
{
    if (!HasSelection()) return false;
    const CNoteArea area = IsEmptyArea(m_area) ? AreaWithNotes({}, m_selected) : m_area;
    CClipboard::Instance().Put(
        std::make_unique<CClipboardNotes>(m_context.GetData().GetName(), m_selected, area));
    return true;
}

bool CViewPianoRoll::CanPaste() const
{
    return CClipboard::Instance().GetKind() == EClipKind::Notes;
}

bool CViewPianoRoll::PasteNotes()
{
    const auto* notes = CClipboard::Instance().GetAs<CClipboardNotes>();
    const CPianoRollCursor& cursor = m_context.GetCursor();
    if (notes == nullptr || cursor.m_pitch < 0 || cursor.m_pitch > 127) return false;
    const CNoteArea& area = notes->GetArea();
    const CMovedNotes moved =
        MoveNotesOntoScale(notes->GetNotes(), area, cursor.m_tick - area.m_from,
                           cursor.m_pitch - area.m_pitchA, m_context.Scale());
    if (moved.m_notes.IsEmpty()) return false;
    return Run(
        std::make_unique<COpNotesPaste>(m_context.GetData(), moved.m_notes, moved.m_area,
                                        [this](ERememberedQuestion) { return AskExtend(); }));
}

bool CViewPianoRoll::DuplicateNotes()
{
    CMidiData& data = m_context.GetData();
    if (!IsEmptyArea(m_area)) {
        const tick width = m_area.m_to - m_area.m_from;
        const CNoteArea shifted{TickSum(m_area.m_from, width), m_area.m_pitchA,
                                TickSum(m_area.m_to, width), m_area.m_pitchB};
        if (m_selected.IsEmpty()) {
            SetSelection(CNoteList(), shifted);
            return true;
        }
        CNoteList copies;
        copies.CopyShifted(m_selected, width);
        return Run(std::make_unique<COpNotesCreate>(
            data, copies, shifted, [this](ERememberedQuestion) { return AskExtend(); }));
    }
    const std::optional<CNote> current = CurrentNote();
    if (!current) return false;
    CNote copy = *current;
    copy.m_start = current->m_end;
    copy.m_end = std::min(TickSum(current->m_end, current->GetLength()), data.GetLength());
    if (copy.m_end <= copy.m_start) return false;
    if (!Run(std::make_unique<COpNoteInsert>(data, copy))) return false;
    m_context.SetCursor(copy.m_start, copy.m_pitch);
    UpdateStatus();
    return true;
}

bool CViewPianoRoll::CopyToDefault()
{
    const std::optional<CNote> current = CurrentNote();
    if (!current) return false;
    m_context.SetDefaultNote({current->GetLength(), current->m_velocity, current->m_offVelocity});
    return true;
}

bool CViewPianoRoll::TabStep(int direction)
{
    if (!IsEmptyArea(m_area)) {
        const tick width = (m_area.m_to - m_area.m_from) * direction;
        if (m_area.m_from + width < 0 || m_area.m_to + width > kOpenEnd) return false;
        m_anchored = false;
        SelectArea({m_area.m_from + width, m_area.m_pitchA, m_area.m_to + width, m_area.m_pitchB});
        return true;
    }
    const CNoteList& notes = m_context.GetData().GetNotes();
    if (notes.IsEmpty()) return false;
    const CPianoRollCursor& cursor = m_context.GetCursor();
    int index = -1;
    if (const std::optional<CNote> current = CurrentNote()) {
        index = notes.FindEqual(*current) + direction;
    } else if (direction > 0) {
        index = notes.FindFirstAtOrAfter(0, TickSum(cursor.m_tick, 1));
    } else {
        index = notes.FindFirstAtOrAfter(0, cursor.m_tick) - 1;
    }
    if (index < 0 || index >= notes.GetCount()) return false;
    const CNote note = notes[index];
    MoveCursor(note.m_start, note.m_pitch, false);
    // Notes that share start and pitch: the stepped-to one is the one selected.
    SetSelection(OneNote(note), CNoteArea{});
    return true;
}

// ---- the editing algorithms ----

namespace {

// Runs one of the algorithm commands on the canvas's selection.
bool RunOnSelection(CViewPianoRoll& view,
                    const std::function<bool(CProjectDoc&, CMidiData&, const CNoteList&,
                                             const CNoteArea&)>& command)
{
    if (!view.HasSelection()) return false;
    CPianoRollContext& context = view.Context();
    const CNoteArea area = IsEmptyArea(view.GetSelectionArea())
                               ? AreaWithNotes({}, view.GetSelection())
                               : view.GetSelectionArea();
    const CNoteList selected = view.GetSelection();
    context.BeginBatch();
    const bool done = command(context.GetDoc(), context.GetData(), selected, area);
    context.UpdateContent();
    context.EndBatch();
    return done;
}

} // namespace

bool CViewPianoRoll::Quantize()
{
    CModifierSettings& settings = m_context.Settings();
    const CNoteValue start = settings.GetQuantizeStart();
    const CNoteValue end = settings.GetQuantizeEnd();
    return RunOnSelection(*this, [&](CProjectDoc& doc, CMidiData& data, const CNoteList& notes,
                                     const CNoteArea& area) {
        return QuantizeNotes(doc, data, notes, area, start, end);
    });
}

bool CViewPianoRoll::SplitToLength()
{
    const tick length = m_context.GetDefaultNote().m_length;
    return RunOnSelection(*this, [&](CProjectDoc& doc, CMidiData& data, const CNoteList& notes,
                                     const CNoteArea& area) {
        return SplitNotesToLength(doc, data, notes, area, length);
    });
}

bool CViewPianoRoll::RemoveOverlaps()
{
    return RunOnSelection(*this, [](CProjectDoc& doc, CMidiData& data, const CNoteList& notes,
                                    const CNoteArea& area) {
        return RemoveOverlappingNotes(doc, data, notes, area);
    });
}

bool CViewPianoRoll::TransposeToScale()
{
    const CHarmonicScale& scale = m_context.Scale();
    return RunOnSelection(*this, [&](CProjectDoc& doc, CMidiData& data, const CNoteList& notes,
                                     const CNoteArea& area) {
        return ::TransposeToScale(doc, data, notes, area, scale);
    });
}

bool CViewPianoRoll::TransposeRandomize()
{
    const CHarmonicScale& scale = m_context.Scale();
    return RunOnSelection(*this, [&](CProjectDoc& doc, CMidiData& data, const CNoteList& notes,
                                     const CNoteArea& area) {
        return ::TransposeRandomize(doc, data, notes, area, scale, CRandomGenerator::Program());
    });
}

// ---- step entry ----

bool CViewPianoRoll::StepRecord(const std::vector<uint8_t>& pitches)
{
    CMidiData& data = m_context.GetData();
    const CDefaultNote& def = m_context.GetDefaultNote();
    const tick at = m_context.GetCursor().m_tick;
    ClearSelection();
    CNoteList notes;
    for (const uint8_t pitch : pitches) {
        const CNote note(at, std::min(TickSum(at, def.m_length), data.GetLength()),
                         static_cast<uint8_t>(std::min<uint8_t>(pitch, 127)), def.m_velocity,
                         def.m_offVelocity);
        if (note.m_end > note.m_start) notes.Append(note);
    }
    if (notes.IsEmpty()) return false;
    const bool done = notes.GetCount() == 1
                          ? Run(std::make_unique<COpNoteStepRecord>(data, notes[0]))
                          : Run(std::make_unique<COpNotesStepRecord>(
                                data, notes, AreaWithNotes({}, notes),
                                [this](ERememberedQuestion) { return AskExtend(); }));
    if (!done) return false;
    m_context.SetCursor(TickSum(at, m_context.GridUnit()), m_context.GetCursor().m_pitch);
    UpdateStatus();
    return true;
}
