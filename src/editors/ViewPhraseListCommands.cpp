// The phrase list's commands: creating, deleting, cutting, copying and pasting phrases, renaming
// and recolouring them, playing and stopping, solo, mute and the drum flag, and MIDI files.
#include <QLineEdit>

#include "document/ProjectDoc.h"
#include "document/UserServices.h"
#include "editing/Clipboard.h"
#include "editing/PhraseOperations.h"
#include "editors/ColourChooser.h"
#include "editors/PhraseLiveState.h"
#include "editors/ViewPhraseList.h"
#include "engine/MidiEngineProxy.h"
#include "engine/ModelEdits.h"
#include "files/SmfProject.h"
#include "files/SmfWriter.h"
#include "model/Errors.h"
#include "model/ObjectColours.h"
#include "model/Phrase.h"
#include "model/PhraseBank.h"

namespace {

const char* const kNewPhraseName = "New Phrase";

// The shared commands the list answers, with the list command each runs.
struct SShared {
    ECommand id;
    EPhraseCommand command;
};
constexpr SShared kShared[] = {
    {ECommand::OpenItem, EPhraseCommand::OpenEditor}, {ECommand::AddItem, EPhraseCommand::Add},
    {ECommand::InsertItem, EPhraseCommand::Insert},   {ECommand::Delete, EPhraseCommand::Delete},
    {ECommand::Cut, EPhraseCommand::Cut},             {ECommand::Copy, EPhraseCommand::Copy},
    {ECommand::Paste, EPhraseCommand::Paste},         {ECommand::Rename, EPhraseCommand::Rename},
    {ECommand::ImportBank, EPhraseCommand::Import},   {ECommand::ExportBank, EPhraseCommand::Export},
};

const SShared* SharedOf(ECommand id)
{
    for (const SShared& entry : kShared)
        if (entry.id == id) return &entry;
    return nullptr;
}

} // namespace

bool CViewPhraseList::OnCommand(ECommand id)
{
    const SShared* shared = SharedOf(id);
    if (shared == nullptr) return false;
    Run(shared->command);
    return true;
}

bool CViewPhraseList::OnUpdateCommand(ECommand id, CCommandUi& ui)
{
    const SShared* shared = SharedOf(id);
    if (shared == nullptr) return false;
    ui.enabled = CanRun(shared->command);
    return true;
}

bool CViewPhraseList::IsOwnProjectActive() const
{
    return m_doc.IsActive();
}

bool CViewPhraseList::CanPaste() const
{
    const EClipKind kind = CClipboard::Instance().GetKind();
    return kind == EClipKind::Phrase || kind == EClipKind::Clips;
}

bool CViewPhraseList::IsCurrentDrum() const
{
    const CPhrase* phrase = GetCurrentPhrase();
    return phrase != nullptr && IsDrumPhrase(*phrase);
}

bool CViewPhraseList::CanRun(EPhraseCommand command) const
{
    const bool current = GetCurrentPhrase() != nullptr;
    switch (command) {
    case EPhraseCommand::Add:
    case EPhraseCommand::Insert:
        return true;
    case EPhraseCommand::Paste:
        return CanPaste();
    case EPhraseCommand::Import:
        return m_user != nullptr;
    case EPhraseCommand::Export:
        return current && m_user != nullptr;
    case EPhraseCommand::Play:
    case EPhraseCommand::StopNow:
    case EPhraseCommand::Mute:
    case EPhraseCommand::Solo:
        // The engine holds only the active project's players.
        return current && IsOwnProjectActive();
    default:
        return current;
    }
}

bool CViewPhraseList::Run(EPhraseCommand command)
{
    if (!CanRun(command)) return false;
    CPhrase* phrase = GetCurrentPhrase();
    switch (command) {
    case EPhraseCommand::OpenEditor:
        m_doc.GetWindows().OpenPianoRoll(*phrase, true);
        return true;
    case EPhraseCommand::Add:
        return AddPhrase(-1);
    case EPhraseCommand::Insert:
        return AddPhrase(InsertIndex());
    case EPhraseCommand::Delete:
        return Execute(std::make_unique<COpPhraseDelete>(m_bank, m_current));
    case EPhraseCommand::Cut:
        return Execute(std::make_unique<COpPhraseCut>(m_bank, m_current));
    case EPhraseCommand::Copy:
        CClipboard::Instance().Put(std::make_unique<CClipboardPhrase>(*phrase));
        return true;
    case EPhraseCommand::Paste:
        return PasteAt(InsertIndex());
    case EPhraseCommand::Rename:
        StartRename();
        return true;
    case EPhraseCommand::SelectColour:
        return ChooseColour();
    case EPhraseCommand::Play:
        return PlayOrStop(true);
    case EPhraseCommand::StopNow:
        return PlayOrStop(false);
    case EPhraseCommand::Mute:
        return ToggleFlag(false);
    case EPhraseCommand::Solo:
        return ToggleFlag(true);
    case EPhraseCommand::DrumPhrase:
        return SetProperty(COpPhraseSetProperty::kDrumFlag, IsDrumPhrase(*phrase) ? 0 : 1);
    case EPhraseCommand::Import:
        return ImportFile();
    case EPhraseCommand::Export:
        return ExportCurrent();
    }
    return false;
}

int32_t CViewPhraseList::InsertIndex() const
{
    return GetCurrentPhrase() != nullptr ? m_current : -1;
}

bool CViewPhraseList::Execute(std::unique_ptr<COperation> op)
{
    try {
        return m_doc.Execute(std::move(op));
    } catch (const CTwError& error) {
        if (m_user != nullptr) m_user->ShowMessage(error.what());
        return false;
    }
}

bool CViewPhraseList::AddPhrase(int32_t index)
{
    auto phrase = std::make_unique<CPhrase>(kNewPhraseName, NextObjectColour(),
                                            m_doc.NewPhraseLength());
    if (!Execute(std::make_unique<COpPhraseCreate>(m_bank, index, std::move(phrase))))
        return false;
    SetCurrentRow(index < 0 ? m_bank.GetCount() - 1 : index);
    return true;
}

bool CViewPhraseList::PasteAt(int32_t index)
{
    const CClipboard& clipboard = CClipboard::Instance();
    if (const auto* held = clipboard.GetAs<CClipboardPhrase>())
        return Execute(std::make_unique<COpPhrasePaste>(
            m_bank, index, std::make_unique<CPhrase>(held->GetPhrase())));
    if (const auto* clips = clipboard.GetAs<CClipboardClips>()) {
        if (clips->GetCount() == 0) return false;
        const int32_t first = index < 0 ? m_bank.GetCount() : index;
        return Execute(std::make_unique<COpPhrasesFromClips>(m_bank, first, *clips));
    }
    return false;
}

bool CViewPhraseList::PlayOrStop(bool play)
{
    CPhrase* phrase = GetCurrentPhrase();
    if (phrase == nullptr || !IsOwnProjectActive()) return false;
    // The engine's "play" toggles the voice of the lowest trigger key; a phrase that already
    // plays is left playing.
    const CPhraseLive* live = CPhraseLiveStates::Instance().Find(*phrase);
    if (play && live != nullptr && live->IsPlaying()) return true;
    CMidiEngineProxy& engine = m_doc.GetEngineProxy();
    return engine.SetPhraseProperty(*phrase, play ? kPhrasePlayCurrent : kPhraseStopCurrent, 0) !=
           0;
}

bool CViewPhraseList::ToggleFlag(bool solo)
{
    CPhrase* phrase = GetCurrentPhrase();
    if (phrase == nullptr || !IsOwnProjectActive()) return false;
    CMidiEngineProxy& engine = m_doc.GetEngineProxy();
    CPhraseLive* live = CPhraseLiveStates::Instance().At(*phrase);
    if (live == nullptr) return false;
    // The same rule as the player's: with the mode off, this flag becomes the only one.
    const bool mode = EngineFlagMode(engine, solo);
    const int done = solo ? engine.ToggleSolo(*phrase) : engine.ToggleMute(*phrase);
    if (done == 0) return false;
    bool& flag = solo ? live->solo : live->mute;
    const bool was = flag;
    CPhraseLiveStates::Instance().OtherFlagToggled(solo, mode);
    flag = mode ? !was : true;
    RefreshChangedRows();
    return true;
}

bool CViewPhraseList::SetProperty(int32_t number, int64_t value)
{
    CPhrase* phrase = GetCurrentPhrase();
    if (phrase == nullptr) return false;
    return Execute(std::make_unique<COpPhraseSetProperty>(m_bank, *phrase, number, value));
}

bool CViewPhraseList::ChooseColour()
{
    CPhrase* phrase = GetCurrentPhrase();
    if (phrase == nullptr) return false;
    const CPixelBox box = m_geometry.ZoneBox(m_current, EPhraseZone::Handle);
    const std::optional<uint32_t> chosen =
        ChooseObjectColour(this, viewport()->mapToGlobal(QPoint(box.x, box.y + box.height)),
                           phrase->GetColour(), CPhrase().GetColour());
    if (!chosen || *chosen == phrase->GetColour()) return false;
    return SetProperty(COpPhraseSetProperty::kColour, *chosen);
}

bool CViewPhraseList::ImportFile()
{
    if (m_user == nullptr) return false;
    std::unique_ptr<CPhraseBank> read = ImportSmfAsBank({}, *m_user);
    if (read == nullptr || read->GetCount() == 0) return false;
    std::vector<std::unique_ptr<CPhrase>> phrases;
    while (read->GetCount() > 0)
        phrases.push_back(read->RemoveAt(0));
    return Execute(std::make_unique<COpPhrasesImport>(m_bank, -1, std::move(phrases)));
}

bool CViewPhraseList::ExportCurrent()
{
    const CPhrase* phrase = GetCurrentPhrase();
    if (phrase == nullptr || m_user == nullptr) return false;
    const std::string path =
        m_user->ChooseFileToSave(kSmfExtension, kSmfFilter, phrase->GetName() + ".mid");
    if (path.empty()) return false;
    try {
        CSmfWriter writer(m_doc.GetTempo(), m_doc.GetInfo().m_copyright, phrase->GetName());
        writer.AddPhrase(*phrase);
        writer.WriteFile(path);
    } catch (const CTwError& error) {
        m_user->ShowMessage(error.what());
        return false;
    }
    return true;
}
