// Mouse gestures of the phrase list: the row zones, the key-range drag, phrase drags out of the
// list, context menus, and phrases and clips dropped in.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "editing/ClipGroups.h"
#include "editing/PhraseOperations.h"
#include "editors/DragGlue.h"
#include "editors/PhraseLiveState.h"
#include "editors/ViewPhraseList.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "model/Properties.h"
#include "model/TrackList.h"

void CViewPhraseList::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() != Qt::LeftButton) {
        CCanvasView::mousePressEvent(event);
        return;
    }
    setFocus();
    const int32_t row = m_geometry.RowAtY(pos.y());
    if (row < 0 || row >= m_bank.GetCount()) return;
    PressRow(row, m_geometry.ZoneAtX(pos.x()), pos);
}

void CViewPhraseList::PressRow(int32_t row, EPhraseZone zone, const QPoint& pos)
{
    switch (zone) {
    case EPhraseZone::Solo:
    case EPhraseZone::Mute:
        SetCurrentRow(row);
        ToggleFlag(zone == EPhraseZone::Solo);
        return;
    case EPhraseZone::Play:
        SetCurrentRow(row);
        m_playHeld = row;
        RefreshChangedRows();
        PlayOrStop(true);
        return;
    case EPhraseZone::Stop:
        SetCurrentRow(row);
        PlayOrStop(false);
        return;
    case EPhraseZone::Keys:
        StartKeyRangeDrag(row, pos);
        return;
    case EPhraseZone::Handle:
        m_handleRow = row;
        m_pressPos = pos;
        SetCurrentRow(row);
        return;
    default:
        SetCurrentRow(row);
        return;
    }
}

void CViewPhraseList::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton)) return;
    if (m_rangeRow >= 0) {
        FollowKeyRangeDrag(pos);
        return;
    }
    if (m_handleRow >= 0 &&
        (pos - m_pressPos).manhattanLength() >= QApplication::startDragDistance())
        StartPhraseDrag();
}

void CViewPhraseList::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    m_rangeRow = m_rangeAnchor = -1;
    m_handleRow = -1;
    if (m_playHeld >= 0) {
        m_playHeld = -1;
        RefreshChangedRows();
    }
}

void CViewPhraseList::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    const QPoint pos = event->position().toPoint();
    const int32_t row = m_geometry.RowAtY(pos.y());
    if (row < 0 || row >= m_bank.GetCount()) {
        Run(EPhraseCommand::Add);
        return;
    }
    const EPhraseZone zone = m_geometry.ZoneAtX(pos.x());
    if (zone == EPhraseZone::Name || zone == EPhraseZone::Handle) {
        SetCurrentRow(row);
        Run(EPhraseCommand::OpenEditor);
        return;
    }
    PressRow(row, zone, pos);
}

// ---- tooltips ----

bool CViewPhraseList::viewportEvent(QEvent* event)
{
    if (event->type() != QEvent::ToolTip) return CCanvasView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QString tip = ZoneTip(help->pos());
    if (tip.isEmpty())
        QToolTip::showText(help->globalPos(), toolTip(), viewport());
    else
        QToolTip::showText(help->globalPos(), tip, viewport());
    return true;
}

QString CViewPhraseList::ZoneTip(const QPoint& pos) const
{
    const int32_t row = m_geometry.RowAtY(pos.y());
    if (row < 0 || row >= m_bank.GetCount()) return {};
    const CPhrase& phrase = m_bank.GetPhraseAt(row);
    const bool active = m_doc.IsActive();
    const QString idle = tr(" (only while the project is the active one)");
    switch (m_geometry.ZoneAtX(pos.x())) {
    case EPhraseZone::Number:
        return tr("Phrase %1 of the bank").arg(row + 1);
    case EPhraseZone::Solo:
        return tr("Solo (/): play only the soloed phrases and tracks") + (active ? "" : idle);
    case EPhraseZone::Mute:
        return tr("Mute (M): silence this phrase") + (active ? "" : idle);
    case EPhraseZone::Play:
        return tr("Play (Ctrl+Space): start the phrase at its lowest trigger key") +
               (active ? "" : idle);
    case EPhraseZone::Stop:
        return tr("Stop now: end every voice of the phrase") + (active ? "" : idle);
    case EPhraseZone::Name:
        return tr("%1: double-click or Return opens the piano roll, F2 renames")
            .arg(QString::fromStdString(phrase.GetName()));
    case EPhraseZone::Handle:
        return tr("Drag the phrase onto a track, or to another place in a bank (Ctrl copies)");
    case EPhraseZone::State: {
        const CPhraseLive* live = active ? CPhraseLiveStates::Instance().Find(phrase) : nullptr;
        const QString state = live == nullptr       ? tr("stopped")
                              : live->IsPlaying()   ? tr("playing")
                              : live->IsWaiting()   ? tr("waiting for its beat")
                                                    : tr("stopped");
        return tr("Play state: %1; level %2").arg(state).arg(live != nullptr ? live->level : 0);
    }
    case EPhraseZone::Keys:
        return tr("Trigger keys %1 to %2: drag across the keyboard to set them")
            .arg(phrase.GetTriggerFrom())
            .arg(phrase.GetTriggerTo());
    case EPhraseZone::Row:
        break;
    }
    return {};
}

// ---- the key range ----

void CViewPhraseList::StartKeyRangeDrag(int32_t row, const QPoint& pos)
{
    SetCurrentRow(row);
    const CPixelBox zone = m_geometry.ZoneBox(row, EPhraseZone::Keys);
    const CKeyboardGeometry keys(zone.width, zone.height);
    const int32_t key = keys.KeyAt(pos.x() - zone.x, pos.y() - zone.y);
    m_rangeAnchor = key >= 0 ? key : keys.KeyAtClamped(pos.x() - zone.x);
    m_rangeRow = row;
}

void CViewPhraseList::FollowKeyRangeDrag(const QPoint& pos)
{
    if (m_rangeRow >= m_bank.GetCount()) return;
    const CPixelBox zone = m_geometry.ZoneBox(m_rangeRow, EPhraseZone::Keys);
    const CKeyboardGeometry keys(zone.width, zone.height);
    // Inside the zone the key under the pointer counts; above or below it, the white key.
    int32_t key = keys.KeyAt(pos.x() - zone.x, pos.y() - zone.y);
    if (key < 0) key = keys.KeyAtClamped(pos.x() - zone.x);
    const CBytePair range{static_cast<uint8_t>(std::min(key, m_rangeAnchor)),
                          static_cast<uint8_t>(std::max(key, m_rangeAnchor))};
    const CPhrase& phrase = m_bank.GetPhraseAt(m_rangeRow);
    if (range.m_from == phrase.GetTriggerFrom() && range.m_to == phrase.GetTriggerTo()) return;
    SetProperty(static_cast<int32_t>(EPhraseProperty::TriggerRange), PackBytePair(range));
}

// ---- dragging a phrase out ----

void CViewPhraseList::StartPhraseDrag()
{
    const int32_t row = m_handleRow;
    m_handleRow = -1;
    if (row < 0 || row >= m_bank.GetCount()) return;
    CPhrase& phrase = m_bank.GetPhraseAt(row);
    const qreal ratio = devicePixelRatioF();
    const QRect box(0, 0, 120, CPhraseListGeometry::kRowHeight);
    QPixmap picture(box.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(CTheme::FromColourRef(phrase.GetColour()));
    {
        QPainter p(&picture);
        p.setFont(CTheme::SmallFont());
        p.setPen(Qt::black);
        p.drawText(box.adjusted(4, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft,
                   QString::fromStdString(phrase.GetName()));
    }
    RunDrag(this, std::make_unique<CDragPhrase>(m_doc, phrase, m_bank, row), &picture);
}

// ---- context menus ----

void CViewPhraseList::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        ShowContextMenu(QPoint(), true);
        return;
    }
    ShowContextMenu(viewport()->mapFrom(this, event->pos()), false);
}

void CViewPhraseList::ShowContextMenu(const QPoint& pos, bool fromKeyboard)
{
    QPoint at = pos;
    bool onPhrase = false;
    if (fromKeyboard) {
        if (GetCurrentPhrase() == nullptr) return;
        m_geometry.MakeVisible(m_current);
        SetFirstRow(m_geometry.GetFirstRow());
        const CPixelBox name = m_geometry.ZoneBox(m_current, EPhraseZone::Name);
        at = QPoint(name.x + 8, name.y + name.height);
        onPhrase = true;
    } else {
        const int32_t row = m_geometry.RowAtY(pos.y());
        onPhrase = row >= 0 && row < m_bank.GetCount();
        SetCurrentRow(onPhrase ? row : -1);
    }
    QMenu* menu = BuildMenu(onPhrase);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(at));
}

QMenu* CViewPhraseList::BuildMenu(bool onPhrase)
{
    struct SEntry {
        EPhraseCommand command;
        const char* text;
    };
    static const SEntry kNone[] = {{EPhraseCommand::Paste, "&Paste\tCtrl+V"},
                                   {EPhraseCommand::Add, "&Add\tCtrl +"},
                                   {EPhraseCommand::Import, "&Import from MIDI file"}};
    static const SEntry kPhrase[] = {{EPhraseCommand::OpenEditor, "&Open Editor\tRet"},
                                     {EPhraseCommand::Cut, "Cu&t\tCtrl+X"},
                                     {EPhraseCommand::Copy, "&Copy\tCtrl+C"},
                                     {EPhraseCommand::Paste, "&Paste\tCtrl+V"},
                                     {EPhraseCommand::Insert, "&Insert\tIns"},
                                     {EPhraseCommand::Delete, "&Delete\tDel"},
                                     {EPhraseCommand::Play, "&Play\tCtrl+Space"},
                                     {EPhraseCommand::StopNow, "Stop &Now"},
                                     {EPhraseCommand::Mute, "&Mute\tM"},
                                     {EPhraseCommand::Solo, "So&lo\t/"},
                                     {EPhraseCommand::DrumPhrase, "Drum Phrase"},
                                     {EPhraseCommand::Rename, "&Rename\tF2"},
                                     {EPhraseCommand::SelectColour, "&Select Color"},
                                     {EPhraseCommand::Export, "E&xport to MIDI file"}};
    auto* menu = new QMenu(this);
    auto add = [&](const SEntry& entry) {
        QAction* action = menu->addAction(QString::fromUtf8(entry.text));
        action->setEnabled(CanRun(entry.command));
        if (entry.command == EPhraseCommand::DrumPhrase) {
            action->setCheckable(true);
            action->setChecked(IsCurrentDrum());
        }
        if (entry.command == EPhraseCommand::Export)
            action->setStatusTip(QStringLiteral("Export selected item(s) to MIDI file"));
        connect(action, &QAction::triggered, this,
                [this, command = entry.command] { Run(command); });
    };
    if (onPhrase)
        std::for_each(std::begin(kPhrase), std::end(kPhrase), add);
    else
        std::for_each(std::begin(kNone), std::end(kNone), add);
    return menu;
}

// ---- dropping phrases and clips ----

void CViewPhraseList::dragEnterEvent(QDragEnterEvent* event)
{
    ForwardDragEnter(*this, event);
}

void CViewPhraseList::dragMoveEvent(QDragMoveEvent* event)
{
    ForwardDragMove(*this, event);
}

void CViewPhraseList::dragLeaveEvent(QDragLeaveEvent*)
{
    ForwardDragLeave(*this);
}

void CViewPhraseList::dropEvent(QDropEvent* event)
{
    ForwardDrop(*this, event);
}

EDropEffect CViewPhraseList::DragAt(const CDragPayload& payload, const CDragPoint& point)
{
    const EDragKind kind = payload.GetKind();
    if (kind != EDragKind::Phrase && kind != EDragKind::Clips) {
        SetInsertionRow(-1);
        return EDropEffect::None;
    }
    // Near the top or bottom edge the list scrolls on, so the marker can reach every row.
    const int32_t edge = CPhraseListGeometry::kRowHeight / 2;
    if (point.m_y < edge)
        SetFirstRow(m_geometry.GetFirstRow() - 1);
    else if (point.m_y >= viewport()->height() - edge)
        SetFirstRow(m_geometry.GetFirstRow() + 1);
    SetInsertionRow(m_geometry.InsertionRowAtY(point.m_y));
    return DropEffectFor(point.m_control);
}

EDropEffect CViewPhraseList::DragEnter(const CDragPayload& payload, const CDragPoint& point)
{
    return DragAt(payload, point);
}

EDropEffect CViewPhraseList::DragOver(const CDragPayload& payload, const CDragPoint& point)
{
    return DragAt(payload, point);
}

void CViewPhraseList::DragLeave(const CDragPayload&)
{
    SetInsertionRow(-1);
}

bool CViewPhraseList::Drop(const CDragPayload& payload, const CDragPoint& point)
{
    SetInsertionRow(-1);
    const int32_t count = m_bank.GetCount();
    const int32_t at = std::clamp(m_geometry.InsertionRowAtY(point.m_y), 0, count);
    const bool copy = point.m_control;
    const bool ownProject = &payload.GetSource() == &m_doc;
    if (payload.GetKind() == EDragKind::Phrase) {
        const auto& dragged = static_cast<const CDragPhrase&>(payload);
        if (!copy && ownProject)
            return Execute(std::make_unique<COpPhraseMove>(dragged.GetBank(), dragged.GetIndex(),
                                                           m_bank, at));
        return Execute(std::make_unique<COpPhraseCopy>(
            m_bank, at, std::make_unique<CPhrase>(dragged.GetPhrase())));
    }
    if (payload.GetKind() != EDragKind::Clips) return false;
    const auto& clips = static_cast<const CDragClips&>(payload);
    std::vector<CClipRef> refs;
    for (const CDragClips::CEntry& entry : clips.GetClips())
        refs.push_back({entry.m_clip, entry.m_track});
    if (refs.empty()) return false;
    if (!copy && ownProject)
        return Execute(
            std::make_unique<COpClipsMoveToPhrases>(&m_doc.GetTracks(), refs, m_bank, at));
    // Clips of this project keep their tracks as outputs; another project's tracks mean nothing
    // here.
    const CTrackList* tracks = ownProject ? &m_doc.GetTracks() : nullptr;
    return Execute(std::make_unique<COpClipsToPhrases>(tracks, refs, m_bank, at));
}
