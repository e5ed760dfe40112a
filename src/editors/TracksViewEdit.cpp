// The tracks canvas's commands: clipboard, duplicate, split and merge, colours, the keyboard
// with its nudges, and the context menus.
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>
#include <cmath>

#include "document/ProjectDoc.h"
#include "editing/ClipGroups.h"
#include "editing/ClipOperations.h"
#include "editing/Clipboard.h"
#include "editing/PhraseOperations.h"
#include "editors/ColourChooser.h"
#include "editors/TracksContext.h"
#include "editors/ViewTracks.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Track.h"
#include "model/TrackList.h"

namespace {

// The context menus.
enum EMenu { kMenuNone, kMenuClip, kMenuClips };

} // namespace

// ---- clipboard and selection commands ----

bool CViewTracks::DeleteSelection()
{
    if (m_selection.empty()) return false;
    return Run(std::make_unique<COpClipsDelete>(m_selection));
}

bool CViewTracks::CutSelection()
{
    if (m_selection.empty()) return false;
    return Run(std::make_unique<COpClipsCut>(m_selection));
}

bool CViewTracks::CopySelection()
{
    if (m_selection.empty()) return false;
    auto payload = std::make_unique<CClipboardClips>();
    for (const CClipRef& ref : m_selection)
        payload->Add(*ref.clip, ref.track);
    CClipboard::Instance().Put(std::move(payload));
    return true;
}

bool CViewTracks::CanPaste() const
{
    const EClipKind kind = CClipboard::Instance().GetKind();
    return kind == EClipKind::Clips || kind == EClipKind::Phrase;
}

QPoint CViewTracks::PastePoint() const
{
    // The pointer's last place over the canvas; from the keyboard alone, the song position on
    // the current track.
    if (!m_lastPointer.isNull()) return m_lastPointer;
    const CTracksGeometry& g = m_context.Geometry();
    const int32_t row = std::max(0, m_context.GetCurrentTrack());
    return {g.TickToX(m_context.GetDoc().GetSongPosition()), g.RowToY(row)};
}

bool CViewTracks::Paste()
{
    const QPoint at = PastePoint();
    const CTracksGeometry& g = m_context.Geometry();
    const tick when = m_context.SnapFloor(std::max<tick>(0, g.XToTick(at.x())));
    const int32_t row = std::max(0, g.YToRow(at.y()));
    CProjectDoc& doc = m_context.GetDoc();
    const CClipboard& clipboard = CClipboard::Instance();
    auto create = [this] { return AskCreateTracks(); };
    if (const auto* clips = clipboard.GetAs<CClipboardClips>()) {
        if (clips->GetCount() == 0) return false;
        return Run(std::make_unique<COpClipsPaste>(doc.GetTracks().GetCount(), *clips,
                                                   when - clips->GetEarliestStart(),
                                                   row - clips->GetSmallestTrack(), create));
    }
    if (const auto* phrase = clipboard.GetAs<CClipboardPhrase>()) {
        if (row >= doc.GetTracks().GetCount()) return false;
        auto clip = MakeClipFromPhrase(phrase->GetPhrase(), when);
        return Run(std::make_unique<COpClipPaste>(row, std::move(clip)));
    }
    return false;
}

bool CViewTracks::DuplicateSelection()
{
    if (m_selection.empty()) return false;
    tick earliest = kOpenEnd;
    tick latest = 0;
    for (const CClipRef& ref : m_selection) {
        earliest = std::min(earliest, ref.clip->GetStart());
        latest = std::max(latest, ref.clip->GetEnd());
    }
    return Run(std::make_unique<COpClipsDuplicate>(m_context.GetDoc().GetTracks().GetCount(),
                                                   m_selection, latest - earliest));
}

bool CViewTracks::MergeSelection()
{
    if (m_selection.size() != 2) return false;
    const CClipRef& a = m_selection[0];
    const CClipRef& b = m_selection[1];
    return Run(std::make_unique<COpClipMerge>(a.track, *a.clip, b.track, *b.clip));
}

bool CViewTracks::SplitCurrentAtPosition()
{
    if (m_current.clip == nullptr) return false;
    const tick at = m_context.SnapNearest(m_context.GetDoc().GetSongPosition());
    if (at <= m_current.clip->GetStart() || at >= m_current.clip->GetEnd()) return false;
    return Run(std::make_unique<COpClipSplit>(m_current.track, *m_current.clip, at));
}

void CViewTracks::OpenCurrentInEditor()
{
    if (m_current.clip == nullptr) return;
    m_context.GetDoc().GetWindows().OpenPianoRoll(*m_current.clip, true);
}

void CViewTracks::ChooseColour()
{
    if (m_current.clip == nullptr || m_selection.empty()) return;
    const QRect box = ClipRect(*m_current.clip, m_current.track);
    const CTrack* track = m_context.GetDoc().GetTracks().GetAt(m_current.track);
    const std::optional<uint32_t> colour =
        ChooseObjectColour(this, viewport()->mapToGlobal(box.bottomLeft()),
                           m_current.clip->GetColour(), track->GetColour());
    if (colour)
        Run(std::make_unique<COpClipsSetProperty>(m_selection, COpClipSetProperty::kColour,
                                                  *colour));
}

// ---- keyboard ----

void CViewTracks::ChooseCurrentIfNone()
{
    if (m_current.clip != nullptr) return;
    const CTracksGeometry& g = m_context.Geometry();
    for (const CClipRef& ref : m_selection) {
        if (ref.clip->GetEnd() > g.GetLeftTick() && ref.clip->GetStart() < g.GetRightTick() &&
            ref.track >= g.GetFirstRow() && ref.track < g.GetLastRow()) {
            SetCurrent(ref);
            return;
        }
    }
    if (!m_selection.empty()) {
        SetCurrent(m_selection.front());
        return;
    }
    CTrackList& tracks = m_context.GetDoc().GetTracks();
    const int32_t count = tracks.GetCount();
    for (int32_t n = 0; n < count; ++n) {
        const int32_t row = (g.GetFirstRow() + n) % count;
        if (tracks.GetAt(row)->GetClipCount() > 0) {
            const CClipRef ref{&tracks.GetAt(row)->GetClipAt(0), row};
            SelectOnly(ref);
            SetCurrent(ref);
            return;
        }
    }
}

CClipRef CViewTracks::Neighbour(int key) const
{
    CTrackList& tracks = m_context.GetDoc().GetTracks();
    CTrack& track = *tracks.GetAt(m_current.track);
    if (key == Qt::Key_Left || key == Qt::Key_Right) {
        const int32_t index = track.IndexOfClip(m_current.clip) + (key == Qt::Key_Right ? 1 : -1);
        if (index < 0 || index >= track.GetClipCount()) return {};
        return {&track.GetClipAt(index), m_current.track};
    }
    // Up / Down: the nearest track that way with clips, the clip starting closest to ours.
    const int step = key == Qt::Key_Down ? 1 : -1;
    for (int32_t row = m_current.track + step; row >= 0 && row < tracks.GetCount(); row += step) {
        CTrack& other = *tracks.GetAt(row);
        if (other.GetClipCount() == 0) continue;
        CClip* best = nullptr;
        int64_t distance = 0;
        for (int32_t i = 0; i < other.GetClipCount(); ++i) {
            CClip& clip = other.GetClipAt(i);
            const int64_t d = std::llabs(int64_t{clip.GetStart()} - m_current.clip->GetStart());
            if (best == nullptr || d < distance) {
                best = &clip;
                distance = d;
            }
        }
        return {best, row};
    }
    return {};
}

bool CViewTracks::Nudge(int direction, bool large)
{
    ChooseCurrentIfNone();
    if (m_current.clip == nullptr) return false;
    CClip& clip = *m_current.clip;
    const tick bar = m_context.TicksPerBar();
    const int32_t trackCount = m_context.GetDoc().GetTracks().GetCount();
    auto stepped = [&](tick value) {
        if (large) return m_context.SnapFloor(TickSum(value, direction * bar));
        tick moved = m_context.SnapFloor(TickSum(value, direction));
        // Flooring may take a forward step back: then go on to the next grid point.
        if (direction > 0 && moved <= value)
            moved = m_context.SnapFloor(TickSum(value, m_context.GetSnap().GetTicks()));
        return moved;
    };
    switch (m_context.GetEditMode()) {
    case ETracksEditMode::Start: {
        if (m_selection.empty()) Select(m_current);
        const tick start = stepped(clip.GetStart());
        if (start == clip.GetStart()) return false;
        return Run(
            std::make_unique<COpClipsSetStart>(trackCount, m_selection, start - clip.GetStart()));
    }
    case ETracksEditMode::TrackPos:
        if (m_selection.empty()) Select(m_current);
        if (m_current.track + direction < 0) return false;
        return Run(std::make_unique<COpClipsSetTrack>(trackCount, m_selection, direction,
                                                      [this] { return AskCreateTracks(); }));
    case ETracksEditMode::Length: {
        const tick length =
            large ? stepped(clip.GetLength()) : stepped(clip.GetEnd()) - clip.GetStart();
        if (length <= 0 || length == clip.GetLength()) return false;
        return Run(std::make_unique<COpClipSetLength>(clip, length));
    }
    }
    return false;
}

bool CViewTracks::HandleNavigationKey(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
        if (m_current.clip == nullptr) {
            ChooseCurrentIfNone();
            return true;
        }
        const CClipRef next = Neighbour(key);
        if (next.clip == nullptr) return true;
        if (modifiers & Qt::ShiftModifier)
            Select(next);
        else
            SelectOnly(next);
        SetCurrent(next);
        return true;
    }
    case Qt::Key_Plus:
    case Qt::Key_Minus:
        Nudge(key == Qt::Key_Plus ? 1 : -1, false);
        return true;
    case Qt::Key_BracketRight:
    case Qt::Key_BracketLeft:
        Nudge(key == Qt::Key_BracketRight ? 1 : -1, true);
        return true;
    default:
        return false;
    }
}

void CViewTracks::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (!(mods & Qt::ControlModifier) && HandleNavigationKey(key, mods)) return;
    const bool plain = mods == Qt::NoModifier;
    if (key == Qt::Key_S && mods == Qt::ShiftModifier) {
        m_context.SetEditMode(ETracksEditMode::Start);
    } else if (key == Qt::Key_P && plain) {
        m_context.SetEditMode(ETracksEditMode::TrackPos);
    } else if (key == Qt::Key_L && plain) {
        m_context.SetEditMode(ETracksEditMode::Length);
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && plain) {
        OpenCurrentInEditor();
    } else if (key == Qt::Key_Insert && plain) {
        CreateClipAt(PastePoint());
    } else if (key == Qt::Key_Delete && plain) {
        DeleteSelection();
    } else if (key == Qt::Key_D && plain) {
        DuplicateSelection();
    } else if (key == Qt::Key_F2 && plain) {
        StartRename();
    } else if (key == Qt::Key_Slash && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        SplitCurrentAtPosition();
    } else if (key == Qt::Key_J && plain) {
        MergeSelection();
    } else if (key == Qt::Key_Escape && plain) {
        ClearSelection();
    } else if (key == Qt::Key_F10 && mods == Qt::ShiftModifier) {
        ShowContextMenu(QPoint(), true);
    } else if (key >= Qt::Key_1 && key <= Qt::Key_4 && mods == Qt::AltModifier) {
        SetTool(static_cast<ETracksTool>(key - Qt::Key_1));
    } else {
        CCanvasView::keyPressEvent(event);
        return;
    }
    event->accept();
}

// ---- context menus ----

void CViewTracks::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        ShowContextMenu(QPoint(), true);
        return;
    }
    // The scroll area hands the viewport's events on in the viewport's coordinates.
    const QPoint pos = event->pos();
    m_lastPointer = pos;
    ShowContextMenu(pos, false);
}

void CViewTracks::ShowContextMenu(const QPoint& pos, bool fromKeyboard)
{
    if (GetTool() != ETracksTool::Select) return; // only the select tool has menus
    QPoint at = pos;
    int kind = kMenuNone;
    if (fromKeyboard) {
        if (m_selection.empty()) return;
        ChooseCurrentIfNone();
        at = ClipRect(*m_current.clip, m_current.track).center();
        kind = m_selection.size() == 1 ? kMenuClip : kMenuClips;
    } else {
        const CClipHit hit = HitTest(pos);
        if (hit.ref.clip != nullptr) {
            if (!IsSelected(hit.ref.clip)) SelectOnly(hit.ref);
            SetCurrent(hit.ref);
            kind = m_selection.size() == 1 ? kMenuClip : kMenuClips;
        } else {
            ClearSelection();
        }
    }
    QMenu* menu = BuildMenu(kind);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(at));
}

QMenu* CViewTracks::BuildMenu(int kind)
{
    auto* menu = new QMenu(this);
    auto add = [menu](const char* text, bool enabled, auto slot) {
        QAction* action = menu->addAction(QString::fromUtf8(text));
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, slot);
    };
    const bool any = !m_selection.empty();
    if (kind == kMenuNone) {
        add("&Paste\tCtrl+V", CanPaste(), [this] { Paste(); });
        add("&Insert\tIns", true, [this] { CreateClipAt(m_lastPointer); });
        QMenu* tools = menu->addMenu(QStringLiteral("Tool"));
        const char* names[] = {"&Select", "&Eraser", "S&cissors", "&Glue"};
        for (int i = 0; i < 4; ++i) {
            QAction* action = tools->addAction(QString::fromUtf8(names[i]));
            action->setCheckable(true);
            action->setChecked(static_cast<int>(GetTool()) == i);
            connect(action, &QAction::triggered, this,
                    [this, i] { SetTool(static_cast<ETracksTool>(i)); });
        }
        return menu;
    }
    if (kind == kMenuClip) add("Open &Editor\tRet", true, [this] { OpenCurrentInEditor(); });
    add("Cu&t\tCtrl+X", any, [this] { CutSelection(); });
    add("&Copy\tCtrl+C", any, [this] { CopySelection(); });
    add("&Paste\tCtrl+V", CanPaste(), [this] { Paste(); });
    add("&Delete\tDel", any, [this] { DeleteSelection(); });
    add("D&uplicate\tD", any, [this] { DuplicateSelection(); });
    if (kind == kMenuClip) add("&Rename\tF2", true, [this] { StartRename(); });
    add("&Select Color", m_current.clip != nullptr, [this] { ChooseColour(); });
    return menu;
}
