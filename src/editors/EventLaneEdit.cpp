// The event lane's commands, keys, nudges and context menus.
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

#include "document/ProjectDoc.h"
#include "editing/Clipboard.h"
#include "editing/EventOperations.h"
#include "editing/NoteOperations.h"
#include "editors/PianoRollContext.h"
#include "editors/PianoRollDialogs.h"
#include "editors/ViewEvents.h"
#include "editors/ViewPianoRoll.h"
#include "model/MidiData.h"

namespace {

// The event edit types: what the nudges change.
constexpr uint8_t kEditStart = 1;
constexpr uint8_t kEditValue = 2;

// The selected events, or the current event alone with its one-tick range.
struct CTargets {
    CEventList events;
    CTimeRange range;
};

// The selected notes, or the current note alone in its spot.
struct CNoteTargets {
    CNoteList notes;
    CNoteArea area;
};

} // namespace

// ---- the clipboard ----

bool CViewEvents::Cut()
{
    if (IsVelocityLane() || m_selected.IsEmpty()) return false;
    Copy();
    return Run(std::make_unique<COpEventsCut>(m_context.GetData(), m_selected, m_range));
}

bool CViewEvents::Copy()
{
    if (IsVelocityLane() || m_selected.IsEmpty()) return false;
    CClipboard::Instance().Put(std::make_unique<CClipboardEvents>(m_selected, m_range));
    return true;
}

bool CViewEvents::CanPaste() const
{
    return !IsVelocityLane() && CClipboard::Instance().GetKind() == EClipKind::Events;
}

bool CViewEvents::Paste()
{
    const auto* clip = CClipboard::Instance().GetAs<CClipboardEvents>();
    if (IsVelocityLane() || clip == nullptr) return false;
    const CTimeRange& from = clip->GetRange();
    const tick at = m_context.GetCursor().m_tick;
    CEventList shifted;
    for (const CMidiEvent& event : clip->GetEvents()) {
        if (!LaneShows(Kind(), event)) continue;
        CMidiEvent moved = event;
        moved.m_time = TickSum(event.m_time, at - from.m_from);
        if (moved.m_time >= 0) shifted.Append(moved);
    }
    if (shifted.IsEmpty()) return false;
    const CTimeRange range{at, TickSum(at, from.m_to - from.m_from)};
    return Run(std::make_unique<COpEventsPaste>(m_context.GetData(), shifted, range,
                                                [this](ERememberedQuestion) { return AskExtend(); }));
}

// ---- single events ----

bool CViewEvents::Insert()
{
    if (IsVelocityLane()) return false;
    const CMidiEvent event =
        DefaultLaneEvent(Kind(), m_context.GetCursor().m_tick, m_context.GetDefaultEventValue(),
                         m_context.GetSecondEventValue());
    return Run(std::make_unique<COpEventInsert>(m_context.GetData(), event));
}

bool CViewEvents::Delete()
{
    if (IsVelocityLane()) return false;
    if (!m_selected.IsEmpty())
        return Run(std::make_unique<COpEventsDelete>(m_context.GetData(), m_selected, m_range));
    const std::optional<CMidiEvent> current = CurrentEvent();
    if (!current) return false;
    return Run(std::make_unique<COpEventDelete>(m_context.GetData(), *current));
}

bool CViewEvents::CopyToDefault()
{
    const std::optional<CMidiEvent> current = CurrentEvent();
    if (!current) return false;
    if (LaneStatus(Kind()) == kKindPitchBender)
        m_context.SetDefaultEventValues(current->m_data2, current->m_data1);
    else
        m_context.SetDefaultEventValues(static_cast<uint8_t>(current->GetValue7()),
                                        m_context.GetSecondEventValue());
    UpdateStatus();
    return true;
}

// ---- the value commands ----

namespace {

CTargets EventTargets(const CViewEvents& lane, const CTimeRange& range)
{
    if (!lane.GetSelection().IsEmpty()) return {lane.GetSelection(), range};
    CTargets one;
    if (const std::optional<CMidiEvent> current = lane.CurrentEvent()) {
        one.events.Append(*current);
        one.range = {current->m_time, TickSum(current->m_time, 1)};
    }
    return one;
}

CNoteTargets NoteTargets(const CViewEvents& lane, const CNoteArea& area)
{
    if (!lane.SelectedNotes().IsEmpty()) return {lane.SelectedNotes(), area};
    CNoteTargets one;
    if (const std::optional<CNote> current = lane.CurrentNote()) {
        one.notes.Append(*current);
        one.area = SpotOf(*current);
    }
    return one;
}

} // namespace

bool CViewEvents::ScaleValues(int direction)
{
    CModifierSettings& settings = m_context.Settings();
    const int32_t percent = direction > 0 ? settings.IncreasePercent() : settings.ReducePercent();
    CProjectDoc& doc = m_context.GetDoc();
    CMidiData& data = m_context.GetData();
    m_context.BeginBatch();
    bool done = false;
    if (IsVelocityLane()) {
        const CNoteTargets targets = NoteTargets(*this, VelocityArea());
        done = !targets.notes.IsEmpty() &&
               ScaleVelocities(doc, data, targets.notes, targets.area, VelocityLane(), percent);
    } else {
        const CTargets targets = EventTargets(*this, m_range);
        done = !targets.events.IsEmpty() &&
               ScaleEventValues(doc, data, targets.events, targets.range, percent);
    }
    m_context.EndBatch();
    Reselect();
    UpdateStatus();
    return done;
}

bool CViewEvents::ScaleValuesWithDialog(int direction)
{
    CModifierSettings& settings = m_context.Settings();
    const bool increase = direction > 0;
    CDlgChangeDefaultValue dialog(increase ? QStringLiteral("Increase %")
                                           : QStringLiteral("Reduce %"),
                                  increase ? settings.GetIncValue() : settings.GetDecValue(), this);
    if (dialog.exec() != QDialog::Accepted) return false;
    if (increase)
        settings.SetIncValue(dialog.GetValue());
    else
        settings.SetDecValue(dialog.GetValue());
    return ScaleValues(direction);
}

bool CViewEvents::ApplyModifier(int commandId)
{
    CProjectDoc& doc = m_context.GetDoc();
    CMidiData& data = m_context.GetData();
    m_context.BeginBatch();
    const bool done =
        IsVelocityLane()
            ? m_modifiers.Apply(doc, commandId, data, SelectedNotes(), VelocityArea(),
                                VelocityLane())
            : m_modifiers.Apply(doc, commandId, data, m_selected, m_range);
    m_context.EndBatch();
    Reselect();
    UpdateStatus();
    return done;
}

bool CViewEvents::RepeatModifier()
{
    return CanRepeatModifier() && ApplyModifier(m_modifiers.GetLastCommand());
}

bool CViewEvents::Quantize()
{
    if (IsVelocityLane() || m_selected.IsEmpty()) return false;
    m_context.BeginBatch();
    const bool done = QuantizeEvents(m_context.GetDoc(), m_context.GetData(), m_selected, m_range,
                                     m_context.Settings().GetQuantizeStart());
    m_context.EndBatch();
    Reselect();
    UpdateStatus();
    return done;
}

bool CViewEvents::QuantizeWithDialog()
{
    if (IsVelocityLane() || m_selected.IsEmpty()) return false;
    CModifierSettings& settings = m_context.Settings();
    CDlgQuantize dialog(settings.GetQuantizeStart(), settings.GetQuantizeEnd(), this, false);
    if (dialog.exec() != QDialog::Accepted) return false;
    settings.SetQuantize(dialog.GetStart(), settings.GetQuantizeEnd());
    return Quantize();
}

bool CViewEvents::SuppressRedundant()
{
    if (IsVelocityLane() || m_selected.IsEmpty()) return false;
    m_context.BeginBatch();
    const bool done =
        SuppressRedundantEvents(m_context.GetDoc(), m_context.GetData(), m_selected, m_range);
    m_context.EndBatch();
    Reselect();
    UpdateStatus();
    return done;
}

// ---- nudges ----

bool CViewEvents::Nudge(int direction, bool large)
{
    if (IsVelocityLane() || m_context.GetEventEditType() == kEditValue)
        return NudgeValue(direction, large);
    return NudgeStart(direction, large);
}

bool CViewEvents::NudgeValue(int direction, bool large)
{
    CMidiData& data = m_context.GetData();
    const int32_t delta = direction * ValueStep(Kind(), large);
    if (IsVelocityLane()) {
        const bool on = Kind() == kLaneVelocityOn;
        auto nudged = [&](CNote note) {
            uint8_t& velocity = on ? note.m_velocity : note.m_offVelocity;
            velocity = NudgedVelocity(velocity, delta);
            return note;
        };
        if (const std::optional<CNote> current = CurrentNote(); current && SelectedNotes().IsEmpty()) {
            const CNote after = nudged(*current);
            if (after == *current) return false;
            if (on) return Run(std::make_unique<COpNoteSetVelocityLane>(data, *current, after));
            return Run(std::make_unique<COpNoteSetOffVelocityLane>(data, *current, after));
        }
        if (SelectedNotes().IsEmpty()) return false;
        CNoteList after;
        for (const CNote& note : SelectedNotes()) after.Append(nudged(note));
        const CNoteArea area = VelocityArea();
        if (on)
            return Run(std::make_unique<COpNotesSetVelocityLane>(data, SelectedNotes(), after,
                                                                  area, area));
        return Run(std::make_unique<COpNotesSetOffVelocityLane>(data, SelectedNotes(), after, area,
                                                                 area));
    }
    if (const std::optional<CMidiEvent> current = CurrentEvent(); current && m_selected.IsEmpty()) {
        const CMidiEvent after = NudgedValue(*current, delta);
        if (after == *current) return false;
        return Run(std::make_unique<COpEventSetValue>(data, *current, after));
    }
    if (m_selected.IsEmpty()) return false;
    CEventList after;
    for (const CMidiEvent& event : m_selected) after.Append(NudgedValue(event, delta));
    if (std::equal(after.begin(), after.end(), m_selected.begin(), m_selected.end())) return false;
    return Run(std::make_unique<COpEventsSetValue>(data, m_selected, after, m_range, m_range));
}

bool CViewEvents::NudgeStart(int direction, bool large)
{
    CMidiData& data = m_context.GetData();
    const tick length = m_context.GetLength();
    tick dt = direction * (large ? m_context.LargeStep() : m_context.GridUnit());
    if (const std::optional<CMidiEvent> current = CurrentEvent(); current && m_selected.IsEmpty()) {
        CMidiEvent after = *current;
        after.m_time = std::clamp<tick>(TickSum(current->m_time, dt), 0, length);
        if (after.m_time == current->m_time) return false;
        const bool done = Run(std::make_unique<COpEventSetStart>(data, *current, after));
        MoveCursor(after.m_time, false);
        return done;
    }
    if (m_selected.IsEmpty()) return false;
    const tick first = m_selected[0].m_time;
    const tick last = m_selected[m_selected.GetCount() - 1].m_time;
    dt = std::clamp<tick>(dt, -first, kOpenEnd - last);
    if (last + dt > length && !AskExtend()) dt = std::max<tick>(-first, length - last);
    if (dt == 0) return false;
    CEventList after;
    after.CopyShifted(m_selected, dt);
    const CTimeRange moved{std::max<tick>(0, m_range.m_from + dt), m_range.m_to + dt};
    const bool done = Run(std::make_unique<COpEventsSetStart>(data, m_selected, after, m_range, moved));
    SelectRange(moved);
    return done;
}

bool CViewEvents::TabStep(int direction)
{
    const CTimeRange range = Range();
    if (range.m_to > range.m_from) {
        const tick width = (range.m_to - range.m_from) * direction;
        if (range.m_from + width < 0 || range.m_to + width > kOpenEnd) return false;
        m_anchored = false;
        SelectRange({range.m_from + width, range.m_to + width});
        return true;
    }
    const tick at = m_context.GetCursor().m_tick;
    const tick next = direction > 0 ? StepToEvent(m_context.GetData().GetEvents(), Kind(), at, kOpenEnd)
                                    : StepToEvent(m_context.GetData().GetEvents(), Kind(), at, -at - 1);
    if (next < 0 || next >= kOpenEnd) return false;
    MoveCursor(next, false);
    return true;
}

// ---- keys ----

bool CViewEvents::MoveKey(int key, Qt::KeyboardModifiers modifiers)
{
    const int direction = key == Qt::Key_Left ? -1 : 1;
    const bool extend = modifiers & Qt::ShiftModifier;
    const tick at = m_context.GetCursor().m_tick;
    if (modifiers & Qt::ControlModifier) {
        MoveCursor(std::max<tick>(0, TickSum(at, direction * m_context.LargeStep())), extend);
        return true;
    }
    const tick unit = m_context.GridUnit();
    const tick to = extend ? TickSum(at, direction * unit)
                           : StepToEvent(m_context.GetData().GetEvents(), Kind(), at,
                                         direction * unit);
    MoveCursor(std::max<tick>(0, to), extend);
    return true;
}

bool CViewEvents::HandleKey(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    if (key == Qt::Key_Left || key == Qt::Key_Right) return MoveKey(key, mods);
    if (mods == Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_X: Cut(); return true;
        case Qt::Key_C: Copy(); return true;
        case Qt::Key_V: Paste(); return true;
        case Qt::Key_A: SelectAll(); return true;
        case Qt::Key_R: RepeatModifier(); return true;
        default: return false;
        }
    }
    switch (key) {
    case Qt::Key_Plus: Nudge(1, false); return true;
    case Qt::Key_Minus: Nudge(-1, false); return true;
    case Qt::Key_BracketRight: Nudge(1, true); return true;
    case Qt::Key_BracketLeft: Nudge(-1, true); return true;
    case Qt::Key_Backtab: TabStep(-1); return true;
    case Qt::Key_Tab: TabStep(mods & Qt::ShiftModifier ? -1 : 1); return true;
    case Qt::Key_Menu: ShowContextMenu(QPoint(), true); return true;
    default: break;
    }
    if (mods != Qt::NoModifier) return false;
    switch (key) {
    case Qt::Key_Insert: Insert(); return true;
    case Qt::Key_Delete: Delete(); return true;
    case Qt::Key_T: CopyToDefault(); return true;
    case Qt::Key_Q: Quantize(); return true;
    case Qt::Key_S:
    case Qt::Key_V:
        m_context.SetEventEditType(key == Qt::Key_S ? kEditStart : kEditValue);
        emit EditTypeChanged();
        return true;
    case Qt::Key_Escape: ClearSelection(); return true;
    default: return false;
    }
}

bool CViewEvents::event(QEvent* event)
{
    // Control+R repeats the last modifier here, before the window's recording switch takes it.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_R &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            event->accept();
            return true;
        }
    }
    return CCanvasView::event(event);
}

void CViewEvents::keyPressEvent(QKeyEvent* event)
{
    if (HandleKey(event->key(), event->modifiers())) {
        event->accept();
        return;
    }
    CCanvasView::keyPressEvent(event);
}

bool CViewEvents::focusNextPrevChild(bool)
{
    // Tab belongs to the lane's keys.
    return false;
}

// ---- context menus ----

void CViewEvents::ShowContextMenu(const QPoint& pos, bool fromKeyboard)
{
    QPoint at = pos;
    const CTimeRange range = Range();
    if (fromKeyboard) {
        at = QPoint(m_context.Geometry().TickToX(m_context.GetCursor().m_tick), height() / 2);
    } else {
        const tick t = m_context.Geometry().XToTick(pos.x());
        if (t < range.m_from || t >= range.m_to) MoveCursor(TickAt(pos.x()), false);
    }
    QMenu* menu = BuildContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(at));
}

QMenu* CViewEvents::BuildContextMenu()
{
    auto* menu = new QMenu(this);
    auto add = [menu](QMenu* into, const QString& text, bool enabled, auto slot) {
        QAction* action = into->addAction(text);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, slot);
    };
    const bool velocity = IsVelocityLane();
    const bool selection = velocity ? !SelectedNotes().IsEmpty() : HasRange();
    const bool current = velocity ? CurrentNote().has_value() : CurrentEvent().has_value();
    CModifierSettings& settings = m_context.Settings();
    const QString increase = QStringLiteral("Increase by %1%").arg(settings.GetIncValue());
    const QString reduce = QStringLiteral("Reduce by %1%").arg(settings.GetDecValue());
    auto addScaling = [&] {
        add(menu, increase, true, [this] { ScaleValues(1); });
        add(menu, reduce, true, [this] { ScaleValues(-1); });
        add(menu, QStringLiteral("Increase by %1%...").arg(settings.GetIncValue()), true,
            [this] { ScaleValuesWithDialog(1); });
        add(menu, QStringLiteral("Reduce by %1%...").arg(settings.GetDecValue()), true,
            [this] { ScaleValuesWithDialog(-1); });
    };
    auto addModifiers = [&] {
        add(menu, QStringLiteral("&Repeat Last Modifier\tCtrl+R"), CanRepeatModifier(),
            [this] { RepeatModifier(); });
        QMenu* modifiers = menu->addMenu(QStringLiteral("Modifier"));
        for (int id = kCmdModifierConst0; id <= kCmdModifierNegativeCos; ++id)
            add(modifiers, QString::fromLatin1(ModifierCommandText(id)), true,
                [this, id] { ApplyModifier(id); });
    };
    add(menu, m_context.IsClip() ? QStringLiteral("&Go To Tracks")
                                 : QStringLiteral("&Go To PhraseBank"),
        true, [this] { m_notes.GoTo(); });
    if (velocity) {
        if (selection) {
            addModifiers();
            addScaling();
        } else if (current) {
            addScaling();
        } else {
            add(menu, QStringLiteral("<none>"), false, [] {});
        }
        return menu;
    }
    if (selection) {
        add(menu, QStringLiteral("Cu&t\tCtrl+X"), !m_selected.IsEmpty(), [this] { Cut(); });
        add(menu, QStringLiteral("&Copy\tCtrl+C"), !m_selected.IsEmpty(), [this] { Copy(); });
    }
    add(menu, QStringLiteral("&Paste\tCtrl+V"), CanPaste(), [this] { Paste(); });
    if (!selection && !current) {
        add(menu, QStringLiteral("&Insert\tIns"), true, [this] { Insert(); });
        return menu;
    }
    add(menu, QStringLiteral("&Delete\tDel"), true, [this] { Delete(); });
    if (!selection) {
        add(menu, QStringLiteral("Copy To Default\tT"), true, [this] { CopyToDefault(); });
        addScaling();
        return menu;
    }
    addModifiers();
    addScaling();
    add(menu, QStringLiteral("Quantize\tQ"), true, [this] { Quantize(); });
    add(menu, QStringLiteral("Quantize..."), true, [this] { QuantizeWithDialog(); });
    add(menu, QStringLiteral("Supress Redundant Events"), true, [this] { SuppressRedundant(); });
    return menu;
}
