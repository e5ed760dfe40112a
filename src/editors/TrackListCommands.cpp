// The track list's commands: adding, inserting and deleting tracks, renaming in place, the
// colour and drum flag, the four switches, the MIDI file import and export, and the menu.
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>

#include <algorithm>

#include "controls/Theme.h"
#include "document/ProjectDoc.h"
#include "document/UserServices.h"
#include "editing/TrackOperations.h"
#include "editors/ColourChooser.h"
#include "editors/PhraseLiveState.h"
#include "editors/TracksContext.h"
#include "editors/ViewTrackList.h"
#include "files/SmfProject.h"
#include "model/Errors.h"
#include "model/Properties.h"
#include "model/Track.h"
#include "model/TrackList.h"

namespace {

constexpr int kNameEditorMax = 50;

// A new track: the operation names it "Track <id>" and gives it the next palette colour.
std::unique_ptr<CTrack> NewTrack()
{
    auto track = std::make_unique<CTrack>();
    track->SetName({});
    return track;
}

} // namespace

// ---- command routing ----

bool CViewTrackList::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    switch (id) {
    case ECommand::AddItem:
    case ECommand::InsertItem:
        ui.enabled = !m_context.GetDoc().IsPlayingActive();
        return true;
    case ECommand::Delete:
    case ECommand::RemoveItem:
        ui.enabled = Current() != nullptr && !m_context.GetDoc().IsPlayingActive();
        return true;
    case ECommand::Rename:
        ui.enabled = Current() != nullptr;
        return true;
    default:
        return false;
    }
}

bool CViewTrackList::OnCommand(ECommand id)
{
    switch (id) {
    case ECommand::AddItem:
        AddTrack();
        return true;
    case ECommand::InsertItem:
        InsertTrack();
        return true;
    case ECommand::Delete:
    case ECommand::RemoveItem:
        DeleteTrack();
        return true;
    case ECommand::Rename:
        StartRename();
        return true;
    default:
        return false;
    }
}

// ---- tracks ----

bool CViewTrackList::AddTrack()
{
    if (!m_context.GetDoc().Execute(std::make_unique<COpTrackCreate>(-1, NewTrack()))) return false;
    MoveCurrent(m_context.GetDoc().GetTracks().GetCount() - 1);
    return true;
}

bool CViewTrackList::InsertTrack()
{
    const int32_t current = m_context.GetCurrentTrack();
    if (!m_context.GetDoc().Execute(std::make_unique<COpTrackCreate>(current, NewTrack())))
        return false;
    MoveCurrent(current < 0 ? m_context.GetDoc().GetTracks().GetCount() - 1 : current);
    return true;
}

bool CViewTrackList::DeleteTrack()
{
    const int32_t current = m_context.GetCurrentTrack();
    if (Current() == nullptr) return false;
    if (!m_context.GetDoc().Execute(std::make_unique<COpTrackDelete>(current))) return false;
    // The track that took its place (or the new last one) becomes current.
    m_context.SetCurrentTrack(-1);
    MoveCurrent(current);
    return true;
}

void CViewTrackList::ToggleSwitch(int32_t row, EHeaderPart part)
{
    CTrack* track = TrackAt(row);
    if (track == nullptr) return;
    CProjectDoc& doc = m_context.GetDoc();
    switch (part) {
    case EHeaderPart::Solo:
        ToggleTrackFlag(doc, *track, true);
        break;
    case EHeaderPart::Mute:
        ToggleTrackFlag(doc, *track, false);
        break;
    case EHeaderPart::Input:
        doc.Execute(std::make_unique<COpTrackSetProperty>(
            *track, PropertyNumber(ETrackProperty::Input), track->GetInput() ? 0 : 1));
        break;
    case EHeaderPart::Record:
        doc.Execute(std::make_unique<COpTrackSetProperty>(
            *track, PropertyNumber(ETrackProperty::Record), track->GetRecord() ? 0 : 1));
        break;
    default:
        return;
    }
    update(RowRect(row));
}

bool CViewTrackList::ToggleDrum()
{
    CTrack* track = Current();
    if (track == nullptr) return false;
    return m_context.GetDoc().Execute(
        std::make_unique<COpTrackSetProperty>(*track, PropertyNumber(ETrackProperty::Property2),
                                              track->GetProperty2Value() != 0 ? 0 : 1));
}

void CViewTrackList::ChooseColour()
{
    CTrack* track = Current();
    if (track == nullptr) return;
    const QRect line = RowRect(m_context.GetCurrentTrack());
    // "Default" is the palette colour the track's number stands for.
    const uint32_t byDefault = CTheme::ToColourRef(CTheme::ObjectColour(track->GetId() - 1));
    const std::optional<uint32_t> colour =
        ChooseObjectColour(this, mapToGlobal(line.bottomLeft()), track->GetColour(), byDefault);
    if (colour && *colour != track->GetColour())
        m_context.GetDoc().Execute(std::make_unique<COpTrackSetProperty>(
            *track, PropertyNumber(ETrackProperty::Colour), *colour));
    update();
}

// ---- files ----

bool CViewTrackList::ImportTracks(const std::string& path)
{
    if (m_user == nullptr) return false;
    CProjectDoc& doc = m_context.GetDoc();
    std::vector<std::unique_ptr<CTrack>> tracks = ImportSmfTracks(doc, path, *m_user);
    if (tracks.empty()) return false;
    const int32_t first = doc.GetTracks().GetCount();
    if (!doc.Execute(std::make_unique<COpTracksImport>(-1, std::move(tracks)))) return false;
    MoveCurrent(first);
    return true;
}

bool CViewTrackList::ExportTrack(const std::string& path)
{
    const CTrack* track = Current();
    if (track == nullptr || m_user == nullptr) return false;
    const std::string chosen = path.empty() ? m_user->ChooseFileToSave(kSmfExtension, kSmfFilter,
                                                                       track->GetName() + ".mid")
                                            : path;
    if (chosen.empty()) return false;
    try {
        ExportTrackAsSmf(m_context.GetDoc(), *track, chosen);
    } catch (const CTwError& error) {
        m_user->ShowMessage(error.what());
        return false;
    }
    return true;
}

// ---- renaming ----

QLineEdit* CViewTrackList::NameEditor() const
{
    return m_renaming != nullptr ? m_nameEditor : nullptr;
}

void CViewTrackList::StartRename()
{
    CTrack* track = Current();
    if (track == nullptr) return;
    if (m_nameEditor == nullptr) {
        m_nameEditor = new QLineEdit(this);
        m_nameEditor->setMaxLength(kNameEditorMax);
        m_nameEditor->setFrame(false);
        m_nameEditor->setFont(CTheme::SmallFont());
        m_nameEditor->setToolTip(tr("Return renames the track, Escape leaves it"));
        connect(m_nameEditor, &QLineEdit::returnPressed, this, &CViewTrackList::CommitRename);
        connect(m_nameEditor, &QLineEdit::editingFinished, this, [this] {
            if (m_nameEditor != nullptr && !m_nameEditor->hasFocus()) HideRename();
        });
        m_nameEditor->installEventFilter(this);
    }
    const int32_t row = m_context.GetCurrentTrack();
    MoveCurrent(row);
    m_renaming = track;
    m_nameEditor->setGeometry(PartRect(row, EHeaderPart::Name).adjusted(0, 2, 0, -2) & rect());
    m_nameEditor->setText(QString::fromStdString(track->GetName()));
    m_nameEditor->selectAll();
    m_nameEditor->show();
    m_nameEditor->setFocus();
}

void CViewTrackList::CommitRename()
{
    if (m_renaming == nullptr || m_nameEditor == nullptr) return;
    CTrack* track = m_renaming;
    const std::string name = m_nameEditor->text().toStdString();
    HideRename();
    if (name != track->GetName())
        m_context.GetDoc().Execute(std::make_unique<COpTrackRename>(*track, name));
}

void CViewTrackList::HideRename()
{
    m_renaming = nullptr;
    if (m_nameEditor == nullptr || !m_nameEditor->isVisible()) return;
    const bool hadFocus = m_nameEditor->hasFocus();
    m_nameEditor->hide();
    if (hadFocus) setFocus();
}

bool CViewTrackList::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_nameEditor && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        HideRename();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- menu ----

QMenu* CViewTrackList::BuildMenu()
{
    auto* menu = new QMenu(this);
    auto add = [menu](const QString& text, bool enabled, auto slot) {
        QAction* action = menu->addAction(text);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu, slot);
        return action;
    };
    const CTrack* track = Current();
    const bool idle = !m_context.GetDoc().IsPlayingActive();
    add(tr("&Add"), idle, [this] { AddTrack(); });
    add(tr("&Insert\tIns"), idle, [this] { InsertTrack(); });
    add(tr("&Delete\tDel"), idle && track != nullptr, [this] { DeleteTrack(); });
    add(tr("&Rename\tF2"), track != nullptr, [this] { StartRename(); });
    menu->addSeparator();
    add(tr("Set default &color"), track != nullptr, [this] { ChooseColour(); });
    QAction* drum = add(tr("Dr&um Track"), track != nullptr, [this] { ToggleDrum(); });
    drum->setCheckable(true);
    drum->setChecked(track != nullptr && track->GetProperty2Value() != 0);
    menu->addSeparator();
    add(tr("&Import from MIDI file"), idle && m_user != nullptr, [this] { ImportTracks(); });
    add(tr("E&xport to MIDI file"), track != nullptr && m_user != nullptr,
        [this] { ExportTrack(); });
    return menu;
}

void CViewTrackList::ShowContextMenu(const QPoint& pos)
{
    QPoint at = pos;
    if (pos.isNull()) {
        const int32_t row = m_context.GetCurrentTrack();
        at = row >= 0 ? RowRect(row).center() : QPoint(width() / 2, 0);
    } else if (const CHeaderHit hit = HitTest(pos); hit.row >= 0) {
        m_context.SetCurrentTrack(hit.row);
    }
    QMenu* menu = BuildMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(mapToGlobal(at));
}

void CViewTrackList::contextMenuEvent(QContextMenuEvent* event)
{
    HideRename();
    ShowContextMenu(event->reason() == QContextMenuEvent::Keyboard ? QPoint() : event->pos());
}
