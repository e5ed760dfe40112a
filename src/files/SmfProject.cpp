#include "files/SmfProject.h"

#include "document/ProjectDoc.h"
#include "document/UserServices.h"
#include "files/SmfImporter.h"
#include "files/SmfWriter.h"
#include "model/Errors.h"
#include "model/PhraseBank.h"

#include <algorithm>

namespace {

// Passes questions on to the caller's services (Yes without any) and keeps the message of a
// failure for the exception that reports it.
class CLoadServices : public CHeadlessUserServices {
public:
    explicit CLoadServices(CUserServices* questions) : m_questions(questions) {}

    bool AskYesNo(const std::string& question) override
    {
        return m_questions ? m_questions->AskYesNo(question) : true;
    }

private:
    CUserServices* m_questions;
};

// Clips share the project's object id space, so each needs an identity of its own.
void IdentifyClips(CProjectDoc& doc, CTrack& track)
{
    for (int32_t i = 0; i < track.GetClipCount(); ++i)
        track.GetClipAt(i).SetId(doc.NewObjectId());
}

} // namespace

bool ImportSmfAsProject(CProjectDoc& doc, const std::string& path, CUserServices& services)
{
    CSmfImporter importer(services);
    if (!importer.ReadFile(path)) return false;
    // The clip grid is the new-clip length in the signature the cleared project will have.
    const int32_t bars = std::clamp(doc.GetEditDefaults().m_newClipBars, CEditDefaults::kMinBars,
                                    CEditDefaults::kMaxBars);
    std::vector<std::unique_ptr<CTrack>> tracks;
    if (!importer.MakeTracks(tracks, bars * CTimeSignature().GetTicksPerBar())) return false;

    doc.DeleteContents();
    if (importer.GetTempo() >= 0) doc.SetTempo(importer.GetTempo());
    if (!importer.GetCopyright().empty()) doc.GetInfo().m_copyright = importer.GetCopyright();
    doc.GetInfo().m_title = importer.GetFileTitle() + " [MidiFile]";
    for (auto& track : tracks) {
        track->SetId(doc.NewTrackId());
        IdentifyClips(doc, *track);
        doc.InsertTrack(-1, std::move(track));
    }
    doc.SetLoopOn(false);
    doc.SetPath(std::string());
    return true;
}

std::unique_ptr<CPhraseBank> ImportSmfAsBank(const std::string& path, CUserServices& services)
{
    CSmfImporter importer(services);
    if (!importer.ReadFile(path)) return nullptr;
    std::vector<std::unique_ptr<CPhrase>> phrases;
    if (!importer.MakePhrases(phrases) || phrases.empty()) return nullptr;
    const std::string& title = importer.GetFileTitle();
    auto bank =
        std::make_unique<CPhraseBank>(title.empty() ? "Imported" : "Imported [" + title + "]");
    for (auto& phrase : phrases)
        bank->InsertAt(bank->GetCount(), std::move(phrase));
    return bank;
}

std::vector<std::unique_ptr<CTrack>> ImportSmfTracks(CProjectDoc& doc, const std::string& path,
                                                     CUserServices& services)
{
    CSmfImporter importer(services);
    std::vector<std::unique_ptr<CTrack>> tracks;
    if (!importer.ReadFile(path) || !importer.MakeTracks(tracks, doc.NewClipLength())) return {};
    for (auto& track : tracks)
        IdentifyClips(doc, *track);
    return tracks;
}

void ExportTrackAsSmf(const CProjectDoc& doc, const CTrack& track, const std::string& path)
{
    CSmfWriter writer(doc.GetTempo(), doc.GetInfo().m_copyright, track.GetName());
    writer.AddTrack(track);
    writer.WriteFile(path);
}

void LoadSmfAsProject(CProjectDoc& doc, const std::string& path, CUserServices* questions)
{
    CLoadServices services(questions);
    if (ImportSmfAsProject(doc, path, services)) return;
    if (services.GetMessages().empty()) throw CUserAbort();
    throw CFileError(services.GetMessages().back());
}

void ExportProjectAsSmf(const CProjectDoc& doc, const std::string& path)
{
    CSmfWriter writer(doc.GetTempo(), doc.GetInfo().m_copyright, doc.GetInfo().m_title);
    const CTrackList& tracks = doc.GetTracks();
    for (int32_t i = 0; i < tracks.GetCount(); ++i)
        writer.AddTrack(*tracks.GetAt(i));
    writer.WriteFile(path);
}
