#include "shell/ProjectWindowRegistry.h"

#include "editors/BankEditor.h"
#include "editors/PhraseLiveState.h"
#include "editors/PianoRollEditor.h"
#include "editors/TracksEditor.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "document/ProjectDoc.h"
#include "model/MidiData.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"
#include "shell/ChildFrames.h"
#include "shell/ViewProject.h"

void CObjectWindowStore::Store(const void* object, const CProjectDoc& doc,
                               const CWindowState& state)
{
    m_entries[object] = SEntry{&doc, state};
}

std::optional<CWindowState> CObjectWindowStore::Find(const void* object) const
{
    const auto it = m_entries.find(object);
    if (it == m_entries.end()) return std::nullopt;
    return it->second.state;
}

void CObjectWindowStore::ForgetProject(const CProjectDoc& doc)
{
    std::erase_if(m_entries, [&doc](const auto& entry) { return entry.second.doc == &doc; });
}

// ---------------------------------------------------------------------------------------------

CShellProjectWindows::CShellProjectWindows(CProjectDoc& doc, QMdiArea& area,
                                           CObjectWindowStore& store)
    : m_doc(doc), m_area(area), m_store(store)
{}

CShellProjectWindows::~CShellProjectWindows()
{
    CloseAll();
}

std::vector<CChildFrame*> CShellProjectWindows::Frames() const
{
    std::vector<CChildFrame*> frames;
    for (CChildFrame* f : {m_project, m_tracks, m_mixer})
        if (f != nullptr) frames.push_back(f);
    for (const auto& [bank, frame] : m_banks)
        frames.push_back(frame);
    for (const auto& [data, frame] : m_rolls)
        frames.push_back(frame);
    return frames;
}

CChildFrame* CShellProjectWindows::GetFrame(EWindowKind kind) const
{
    switch (kind) {
    case EWindowKind::Project:
        return m_project;
    case EWindowKind::Tracks:
        return m_tracks;
    case EWindowKind::Mixer:
        return m_mixer;
    default:
        return nullptr;
    }
}

CFramePianoRoll* CShellProjectWindows::GetPianoRoll(const CMidiData& data) const
{
    const auto it = m_rolls.find(&data);
    return it == m_rolls.end() ? nullptr : it->second;
}

CFramePhraseBank* CShellProjectWindows::GetBankFrame(const CPhraseBank& bank) const
{
    const auto it = m_banks.find(&bank);
    return it == m_banks.end() ? nullptr : it->second;
}

CBankEditor* CShellProjectWindows::GetBankEditor(const CPhraseBank& bank) const
{
    CFramePhraseBank* frame = GetBankFrame(bank);
    return frame != nullptr ? &frame->GetEditor() : nullptr;
}

void CShellProjectWindows::Present(CChildFrame& frame, const CWindowState* state, bool bringForward)
{
    m_area.addSubWindow(&frame);
    PlaceByDefault(frame);
    if (state != nullptr) frame.ApplyState(*state);
    frame.RefreshTitle();
    if (!frame.isVisible()) frame.show();
    if (bringForward) BringForward(frame);
}

void CShellProjectWindows::PlaceByDefault(CChildFrame& frame)
{
    // Cascaded from the top left, each new frame a step further, most of the area in size.
    constexpr int kStep = 26;
    constexpr int kSteps = 8;
    const QSize area = m_area.viewport()->size();
    const int step = static_cast<int>(m_area.subWindowList().size() - 1) % kSteps * kStep;
    const QSize size(std::max(area.width() * 3 / 5, 320), std::max(area.height() * 3 / 5, 240));
    // Never below what the frame's panes need side by side (the tracks window's panel, list
    // and canvas), so that no pane is squeezed over another on a small screen.
    const QSize least = frame.minimumSize().expandedTo(frame.minimumSizeHint());
    frame.setGeometry(QRect(QPoint(step, step), size.expandedTo(least)));
}

void CShellProjectWindows::BringForward(CChildFrame& frame)
{
    if (frame.isMinimized()) frame.showNormal();
    if (m_area.activeSubWindow() != &frame) m_area.setActiveSubWindow(&frame);
    frame.raise();
}

void CShellProjectWindows::OpenSingle(EWindowKind kind, bool bringForward)
{
    CChildFrame*& slot = kind == EWindowKind::Project  ? m_project
                         : kind == EWindowKind::Tracks ? m_tracks
                                                       : m_mixer;
    if (slot != nullptr) {
        if (bringForward) BringForward(*slot);
        return;
    }
    const std::optional<CWindowState>& record =
        kind == EWindowKind::Tracks ? m_tracksRecord : m_mixerRecord;
    if (kind == EWindowKind::Project)
        slot = new CFrameProject(*this, m_doc);
    else if (kind == EWindowKind::Tracks)
        slot = new CFrameTracks(*this, m_doc);
    else
        slot = new CFrameMixer(*this, m_doc);
    // The project frame always opens at the default place.
    const bool useRecord = kind != EWindowKind::Project && record.has_value();
    Present(*slot, useRecord ? &*record : nullptr, bringForward);
}

void CShellProjectWindows::OpenProjectWindow(bool bringForward)
{
    OpenSingle(EWindowKind::Project, bringForward);
}

void CShellProjectWindows::OpenTracksWindow(bool bringForward)
{
    OpenSingle(EWindowKind::Tracks, bringForward);
}

void CShellProjectWindows::OpenMixerWindow(bool bringForward)
{
    OpenSingle(EWindowKind::Mixer, bringForward);
}

void CShellProjectWindows::OpenBank(CPhraseBank& bank, const CWindowState* state, bool bringForward)
{
    if (CFramePhraseBank* open = GetBankFrame(bank)) {
        if (bringForward) BringForward(*open);
        return;
    }
    const std::optional<CWindowState> kept = m_store.Find(&bank);
    if (state == nullptr && kept) state = &*kept;
    auto* frame = new CFramePhraseBank(*this, m_doc, bank);
    m_banks[&bank] = frame;
    Present(*frame, state, bringForward);
}

void CShellProjectWindows::OpenRoll(CMidiData& data, const CWindowState* state, bool bringForward)
{
    if (CFramePianoRoll* open = GetPianoRoll(data)) {
        if (bringForward) BringForward(*open);
        return;
    }
    const std::optional<CWindowState> kept = m_store.Find(&data);
    if (state == nullptr && kept) state = &*kept;
    auto* frame = new CFramePianoRoll(*this, m_doc, data);
    m_rolls[&data] = frame;
    Present(*frame, state, bringForward);
}

void CShellProjectWindows::OpenBankWindow(CPhraseBank& bank, bool bringForward)
{
    OpenBank(bank, nullptr, bringForward);
}

void CShellProjectWindows::OpenPianoRoll(CMidiData& data, bool bringForward)
{
    OpenRoll(data, nullptr, bringForward);
}

void CShellProjectWindows::FrameClosing(CChildFrame& frame)
{
    const CWindowState state = frame.GetState();
    if (&frame == m_project) m_project = nullptr;
    if (&frame == m_tracks) {
        m_tracksRecord = state;
        m_tracks = nullptr;
    }
    if (&frame == m_mixer) {
        m_mixerRecord = state;
        m_mixer = nullptr;
    }
    for (auto it = m_banks.begin(); it != m_banks.end(); ++it) {
        if (it->second != &frame) continue;
        m_store.Store(it->first, m_doc, state);
        m_banks.erase(it);
        break;
    }
    for (auto it = m_rolls.begin(); it != m_rolls.end(); ++it) {
        if (it->second != &frame) continue;
        m_store.Store(it->first, m_doc, state);
        m_rolls.erase(it);
        break;
    }
}

void CShellProjectWindows::ClosePianoRoll(const CMidiData& data)
{
    // The object is going away, so nothing is kept for it.
    const auto it = m_rolls.find(&data);
    if (it == m_rolls.end()) return;
    CFramePianoRoll* frame = it->second;
    m_rolls.erase(it);
    frame->CloseQuietly();
}

void CShellProjectWindows::CloseBankWindow(const CPhraseBank& bank)
{
    for (int32_t i = 0; i < bank.GetCount(); ++i)
        ClosePianoRoll(bank.GetPhraseAt(i));
    const auto it = m_banks.find(&bank);
    if (it == m_banks.end()) return;
    CFramePhraseBank* frame = it->second;
    m_banks.erase(it);
    frame->CloseQuietly();
}

void CShellProjectWindows::CloseAll()
{
    const std::vector<CChildFrame*> frames = Frames();
    m_project = m_tracks = m_mixer = nullptr;
    m_banks.clear();
    m_rolls.clear();
    for (CChildFrame* frame : frames)
        frame->CloseQuietly();
    m_store.ForgetProject(m_doc);
}

void CShellProjectWindows::RekeyPianoRoll(const CMidiData& from, CMidiData& to)
{
    const auto it = m_rolls.find(&from);
    if (it == m_rolls.end()) return;
    CFramePianoRoll* frame = it->second;
    m_rolls.erase(it);
    m_rolls[&to] = frame;
    frame->SetData(to);
}

void CShellProjectWindows::RebuildTitles()
{
    // Renames of banks, phrases and clips come through here too, so every frame is asked.
    for (CChildFrame* frame : Frames())
        frame->RefreshTitle();
}

void CShellProjectWindows::RefreshAll()
{
    for (CChildFrame* frame : Frames())
        frame->GetView()->RefreshView();
}

void CShellProjectWindows::InvalidateAll()
{
    for (CChildFrame* frame : Frames())
        frame->GetView()->update();
}

void CShellProjectWindows::SongPositionChanged()
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->SongPositionChanged();
    for (const auto& [data, frame] : m_rolls)
        frame->GetEditor().SongPositionChanged();
}

CPianoRollEditor* CShellProjectWindows::GetPianoRollEditor(const CMidiData& data) const
{
    CFramePianoRoll* frame = GetPianoRoll(data);
    return frame != nullptr ? &frame->GetEditor() : nullptr;
}

void CShellProjectWindows::PianoRollBeginUpdate(const CMidiData& data)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->BeginUpdate();
}

void CShellProjectWindows::PianoRollEndUpdate(const CMidiData& data)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->EndUpdate();
}

void CShellProjectWindows::PianoRollRefreshNotes(const CMidiData& data, const CNoteArea& area)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->RefreshNotes(area);
}

void CShellProjectWindows::PianoRollRefreshEvents(const CMidiData& data, const CTimeRange& range)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->RefreshEvents(range);
}

void CShellProjectWindows::PianoRollRefreshVelocities(const CMidiData& data, uint8_t,
                                                      const CTimeRange& range)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->RefreshEvents(range);
}

void CShellProjectWindows::PianoRollSelectEvents(const CMidiData& data, const CEventList& events,
                                                 const CTimeRange& range)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->SelectEvents(events, range);
}

void CShellProjectWindows::PianoRollLengthChanged(const CMidiData& data)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->LengthChanged();
}

void CShellProjectWindows::PianoRollSelectNotes(const CMidiData& data, const CNoteList& notes,
                                                const CNoteArea& area)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->SelectNotes(notes, area);
}

void CShellProjectWindows::PianoRollDataChanged(const CMidiData& data)
{
    if (CPianoRollEditor* editor = GetPianoRollEditor(data)) editor->DataChanged();
    if (CFramePianoRoll* frame = GetPianoRoll(data)) frame->RefreshTitle();
}

void CShellProjectWindows::MovePianoRoll(const CMidiData& from, CMidiData& to)
{
    RekeyPianoRoll(from, to);
}

CTracksEditor* CShellProjectWindows::GetTracksEditor() const
{
    return m_tracks != nullptr ? &static_cast<CFrameTracks*>(m_tracks)->GetEditor() : nullptr;
}

void CShellProjectWindows::TracksBeginUpdate()
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->BeginUpdate();
}

void CShellProjectWindows::TracksEndUpdate()
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->EndUpdate();
}

void CShellProjectWindows::TracksClearSelection()
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->ClearSelection();
}

void CShellProjectWindows::TracksSelectClip(const CClip& clip)
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->SelectClip(clip);
}

void CShellProjectWindows::TracksClipInserted(int32_t trackIndex, const CClip& clip)
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->ClipInserted(trackIndex, clip);
}

void CShellProjectWindows::TracksClipRemoved(const CClip& clip)
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->ClipRemoved(clip);
}

void CShellProjectWindows::TracksClipReplaced(const CClip& removed, int32_t trackIndex,
                                              const CClip& placed)
{
    if (CTracksEditor* editor = GetTracksEditor())
        editor->ClipReplaced(removed, trackIndex, placed);
}

void CShellProjectWindows::TracksClipChanged(const CClip& clip)
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->ClipChanged(clip);
}

void CShellProjectWindows::TrackMoved(int, int)
{
    RedrawTracksAndMixer();
}

void CShellProjectWindows::TrackInserted(int)
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->TracksChanged();
    for (const auto& [bank, frame] : m_banks)
        frame->GetView()->RefreshView();
    if (m_mixer != nullptr) m_mixer->GetView()->RefreshView();
}

void CShellProjectWindows::TrackRenamed(const CTrack& track)
{
    TrackPropertyChanged(track, 0);
}

void CShellProjectWindows::RedrawTracksAndMixer()
{
    for (CChildFrame* frame : {m_tracks, m_mixer})
        if (frame != nullptr) frame->GetView()->RefreshView();
}

void CShellProjectWindows::TrackRemoved(int index)
{
    TrackInserted(index);
}

void CShellProjectWindows::TrackPropertyChanged(const CTrack& track, int32_t)
{
    if (CTracksEditor* editor = GetTracksEditor()) editor->TrackPropertyChanged(track);
    if (m_mixer != nullptr) m_mixer->GetView()->RefreshView();
}

void CShellProjectWindows::ActiveChanged(bool active)
{
    // The players went with the project; what they last reported no longer holds.
    if (!active) CPhraseLiveStates::Instance().Clear();
    RebuildTitles();
    InvalidateAll();
    // Play states and switches show only while the project is active.
    PhrasePlayStatesChanged();
}

void CShellProjectWindows::PhrasePlayStatesChanged()
{
    for (const auto& [bank, frame] : m_banks)
        frame->GetEditor().PlayStatesChanged();
}

bool CShellProjectWindows::HasSavedWindow(EWindowKind kind, int32_t target) const
{
    switch (kind) {
    case EWindowKind::PianoRoll:
        return std::any_of(m_rolls.begin(), m_rolls.end(),
                           [target](const auto& e) { return e.first->GetId() == target; });
    case EWindowKind::PhraseBank:
        return target >= 0 && target < m_doc.GetBankCount() &&
               GetBankFrame(m_doc.GetBankAt(target)) != nullptr;
    default:
        return GetFrame(kind) != nullptr;
    }
}

void CShellProjectWindows::OpenSavedWindow(const CWindowState& state)
{
    switch (state.kind) {
    case EWindowKind::PianoRoll:
        if (CMidiData* data = m_doc.FindById(state.target)) OpenRoll(*data, &state, false);
        return;
    case EWindowKind::PhraseBank:
        if (state.target >= 0 && state.target < m_doc.GetBankCount())
            OpenBank(m_doc.GetBankAt(state.target), &state, false);
        return;
    case EWindowKind::Project:
        OpenSingle(state.kind, false);
        return;
    case EWindowKind::Tracks:
        if (m_tracks == nullptr) m_tracksRecord = state;
        OpenSingle(state.kind, false);
        return;
    case EWindowKind::Mixer:
        if (m_mixer == nullptr) m_mixerRecord = state;
        OpenSingle(state.kind, false);
        return;
    }
}

std::vector<CWindowState> CShellProjectWindows::SavedWindows() const
{
    const std::vector<CChildFrame*> mine = Frames();
    std::vector<CWindowState> states;
    // Bottom of the stacking order first, so the front window is re-created last.
    for (QMdiSubWindow* window : m_area.subWindowList(QMdiArea::StackingOrder)) {
        auto* frame = dynamic_cast<CChildFrame*>(window);
        if (frame != nullptr && std::find(mine.begin(), mine.end(), frame) != mine.end())
            states.push_back(frame->GetState());
    }
    return states;
}

CViewProject* CShellProjectWindows::GetProjectView() const
{
    return m_project != nullptr ? dynamic_cast<CViewProject*>(m_project->GetView()) : nullptr;
}

void CShellProjectWindows::TreeBankInserted(int index)
{
    if (CViewProject* tree = GetProjectView()) tree->BankInserted(index);
}

void CShellProjectWindows::TreeBankRemoved(int index)
{
    if (CViewProject* tree = GetProjectView()) tree->BankRemoved(index);
}

void CShellProjectWindows::TreeBankMoved(int from, int to)
{
    if (CViewProject* tree = GetProjectView()) tree->BankMoved(from, to);
}

void CShellProjectWindows::BankRenamed(const CPhraseBank& bank)
{
    if (CViewProject* tree = GetProjectView()) tree->BankRenamed(bank);
    if (CFramePhraseBank* frame = GetBankFrame(bank)) frame->RefreshTitle();
}

void CShellProjectWindows::BankPhraseInserted(const CPhraseBank& bank, int index)
{
    if (CBankEditor* editor = GetBankEditor(bank)) editor->PhraseInserted(index);
}

void CShellProjectWindows::BankPhraseRemoved(const CPhraseBank& bank, int index)
{
    if (CBankEditor* editor = GetBankEditor(bank)) editor->PhraseRemoved(index);
}

void CShellProjectWindows::BankPhraseChanged(const CPhraseBank& bank, int index)
{
    if (CBankEditor* editor = GetBankEditor(bank)) editor->PhraseChanged(index);
}
