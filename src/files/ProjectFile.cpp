#include "files/ProjectFile.h"

#include "document/ProjectDoc.h"
#include "files/ArchiveFile.h"
#include "files/FieldIo.h"
#include "files/ProjectRecords.h"

#include <unordered_set>
#include <utility>
#include <vector>

namespace {

template <class Io, class Doc> void InfoAndDefaultsLayout(Io& io, Doc& doc)
{
    auto& info = doc.GetInfo();
    MemberField(io, kWireString, info, &CProjectInfo::m_title);
    MemberField(io, kWireString, info, &CProjectInfo::m_copyright);
    MemberField(io, kWireString, info, &CProjectInfo::m_author);
    MemberField(io, kWireString, info, &CProjectInfo::m_comment);
    auto& defaults = doc.GetEditDefaults();
    MemberField(io, kWireInt32, defaults, &CEditDefaults::m_newPhraseBars);
    MemberField(io, kWireInt32, defaults, &CEditDefaults::m_newClipBars);
    MemberField(io, kWireNoteValue, defaults, &CEditDefaults::m_pianoRollSnap);
    MemberField(io, kWireNoteValue, defaults, &CEditDefaults::m_pianoRollGrid);
}

// Tempo and the transport values after the time signature and the scale.
template <class Io, class Doc> void TransportLayout(Io& io, Doc& doc)
{
    io.Field(kWireInt32, doc, &CProjectDoc::GetTempo, &CProjectDoc::SetTempo);
    io.Field(kWireInt32, doc, &CProjectDoc::GetSongPosition, &CProjectDoc::SetSongPosition);
    io.Field(kWireInt32, doc, &CProjectDoc::GetLoopOnStored, &CProjectDoc::SetLoopOnStored);
    io.Field(kWireInt32, doc, &CProjectDoc::GetLoopStart, &CProjectDoc::SetLoopStart);
    io.Field(kWireInt32, doc, &CProjectDoc::GetLoopEnd, &CProjectDoc::SetLoopEnd);
    io.Field(kWireInt32, doc, &CProjectDoc::GetSoloActiveStored, &CProjectDoc::SetSoloActiveStored);
    io.Field(kWireInt32, doc, &CProjectDoc::GetMuteActiveStored, &CProjectDoc::SetMuteActiveStored);
}

void ReadHeader(CArchiveReader& ar)
{
    if (ar.ReadString() != kProjectFileSignature) ar.FailSchema();
    if (ar.ReadInt32() != kProjectFileVersion) ar.FailSchema();
}

// A signature with no ticks per beat or bar would divide by zero all over the editors, and a
// scale outside the tables has no pitches; such files are not ours.
void ReadSignatureAndScale(CArchiveReader& ar, CProjectDoc& doc)
{
    const int32_t numerator = ar.ReadInt32();
    const int32_t denominator = ar.ReadInt32();
    const CTimeSignature signature(numerator, denominator);
    if (!signature.IsValid()) ar.FailSchema();
    doc.SetTimeSignature(signature);
    const uint8_t key = ar.ReadUInt8();
    const uint16_t mode = ar.ReadUInt16();
    if (!CHarmonicScale::IsValidKey(key) || !CHarmonicScale::IsValidMode(mode)) ar.FailSchema();
    doc.SetScale(CHarmonicScale(key, mode));
}

// Ids of every phrase and clip; 0 marks an object without an identity and is left out.
std::unordered_set<int32_t> ObjectIds(const CProjectDoc& doc)
{
    std::unordered_set<int32_t> ids;
    for (int32_t b = 0; b < doc.GetBankCount(); ++b) {
        const CPhraseBank& bank = doc.GetBankAt(b);
        for (int32_t i = 0; i < bank.GetCount(); ++i)
            ids.insert(bank.GetPhraseAt(i).GetId());
    }
    const CTrackList& tracks = doc.GetTracks();
    for (int32_t t = 0; t < tracks.GetCount(); ++t) {
        const CTrack& track = *tracks.GetAt(t);
        for (int32_t i = 0; i < track.GetClipCount(); ++i)
            ids.insert(track.GetClipAt(i).GetId());
    }
    ids.erase(0);
    return ids;
}

// Window records until the kind 0. Records of unknown kinds are only their kind. The ids and the
// windows already read are looked up in sets built once, so a file with one window per object
// loads in linear time.
void ReadWindowRecords(CArchiveReader& ar, CProjectDoc& doc)
{
    CProjectWindows& windows = doc.GetWindows();
    const std::unordered_set<int32_t> ids = ObjectIds(doc);
    std::unordered_set<int32_t> rolls, banks;
    std::unordered_set<int32_t> others; // kinds of the windows without a target
    for (int32_t kind = ar.ReadInt32(); kind != 0; kind = ar.ReadInt32()) {
        if (!IsSavedWindowKind(kind)) continue;
        const CWindowState state = ReadWindowRecord(ar, static_cast<EWindowKind>(kind));
        switch (state.kind) {
        case EWindowKind::PianoRoll:
            if (!ids.contains(state.target) || !rolls.insert(state.target).second) ar.FailSchema();
            break;
        case EWindowKind::PhraseBank:
            if (state.target < 0 || state.target >= doc.GetBankCount()) ar.FailInvalidArgument();
            if (!banks.insert(state.target).second) ar.FailSchema();
            break;
        default:
            // A second project, tracks or mixer window is ignored.
            if (!others.insert(kind).second) continue;
        }
        windows.OpenSavedWindow(state);
    }
}

// The saved windows the reader will accept. A piano roll of an object without an id, or a second
// one for the same id, or a bank window past the list, would make the whole file fail to load;
// such a window is left out rather than the project lost.
std::vector<CWindowState> LoadableWindows(const CProjectDoc& doc)
{
    const std::unordered_set<int32_t> ids = ObjectIds(doc);
    std::unordered_set<int32_t> rolls, banks;
    std::vector<CWindowState> kept;
    for (CWindowState& state : doc.GetWindows().SavedWindows()) {
        if (!IsSavedWindowKind(static_cast<int32_t>(state.kind))) continue;
        if (state.kind == EWindowKind::PianoRoll &&
            (!ids.contains(state.target) || !rolls.insert(state.target).second))
            continue;
        if (state.kind == EWindowKind::PhraseBank &&
            (state.target < 0 || state.target >= doc.GetBankCount() ||
             !banks.insert(state.target).second))
            continue;
        kept.push_back(std::move(state));
    }
    return kept;
}

// Hands everything a project file holds from a freshly read project to doc.
void TakeContent(CProjectDoc& doc, CProjectDoc& read)
{
    std::vector<std::unique_ptr<CPhraseBank>> banks;
    while (read.GetBankCount() > 0)
        banks.push_back(read.RemoveBank(read.GetBankCount() - 1));
    for (auto it = banks.rbegin(); it != banks.rend(); ++it)
        doc.InsertBank(-1, std::move(*it));
    std::vector<std::unique_ptr<CTrack>> tracks;
    while (read.GetTracks().GetCount() > 0)
        tracks.push_back(read.GetTracks().RemoveAt(-1));
    for (auto it = tracks.rbegin(); it != tracks.rend(); ++it)
        doc.GetTracks().InsertAt(-1, std::move(*it));

    doc.GetInfo() = read.GetInfo();
    doc.GetEditDefaults() = read.GetEditDefaults();
    doc.SetTimeSignature(read.GetTimeSignature());
    doc.SetScale(read.GetScale());
    doc.SetTempo(read.GetTempo());
    doc.SetSongPosition(read.GetSongPosition());
    doc.SetLoopOnStored(read.GetLoopOnStored());
    doc.SetLoopStart(read.GetLoopStart());
    doc.SetLoopEnd(read.GetLoopEnd());
    doc.SetSoloActiveStored(read.GetSoloActiveStored());
    doc.SetMuteActiveStored(read.GetMuteActiveStored());
    doc.RecomputeHighestIds();
}

} // namespace

void WriteProjectFile(CArchiveWriter& ar, const CProjectDoc& doc)
{
    ar.WriteString(kProjectFileSignature);
    ar.WriteInt32(kProjectFileVersion);
    CFieldWriter io(ar);
    InfoAndDefaultsLayout(io, doc);
    ar.WriteInt32(doc.GetBankCount());
    for (int32_t i = 0; i < doc.GetBankCount(); ++i)
        WriteBank(ar, doc.GetBankAt(i));
    const CTrackList& tracks = doc.GetTracks();
    ar.WriteInt32(tracks.GetCount());
    for (int32_t i = 0; i < tracks.GetCount(); ++i)
        WriteTrack(ar, *tracks.GetAt(i));
    ar.WriteInt32(doc.GetTimeSignature().GetNumerator());
    ar.WriteInt32(doc.GetTimeSignature().GetDenominator());
    ar.WriteUInt8(doc.GetScale().GetKey());
    ar.WriteUInt16(doc.GetScale().GetMode());
    TransportLayout(io, doc);
    for (const CWindowState& state : LoadableWindows(doc))
        WriteWindowRecord(ar, state);
    ar.WriteInt32(0);
}

void ReadProjectFile(CArchiveReader& ar, CProjectDoc& doc)
{
    ReadHeader(ar);
    CFieldReader io(ar);
    InfoAndDefaultsLayout(io, doc);
    const int32_t bankCount = ar.ReadCount(kMinBankBytes);
    for (int32_t i = 0; i < bankCount; ++i)
        doc.InsertBank(-1, ReadBank(ar));
    const int32_t trackCount = ar.ReadCount(kMinTrackBytes);
    for (int32_t i = 0; i < trackCount; ++i)
        doc.GetTracks().InsertAt(-1, ReadTrack(ar));
    doc.RecomputeHighestIds();
    ReadSignatureAndScale(ar, doc);
    TransportLayout(io, doc);
    ReadWindowRecords(ar, doc);
}

std::vector<uint8_t> ProjectFileBytes(const CProjectDoc& doc)
{
    CArchiveWriter ar;
    WriteProjectFile(ar, doc);
    return ar.TakeBytes();
}

void ReadProjectFileBytes(CProjectDoc& doc, const uint8_t* data, size_t size,
                          const std::string& name)
{
    CArchiveReader ar(data, size, name);
    ReadProjectFile(ar, doc);
}

void LoadProjectFile(CProjectDoc& doc, const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    CProjectDoc read;
    ReadProjectFileBytes(read, bytes.data(), bytes.size(), path);

    doc.DeleteContents();
    TakeContent(doc, read);
    doc.SetPath(path);
    doc.SetModified(false);
    CProjectWindows& windows = doc.GetWindows();
    for (const CWindowState& state : read.GetWindows().SavedWindows()) {
        if (!windows.HasSavedWindow(state.kind, state.target)) windows.OpenSavedWindow(state);
    }
}

void SaveProjectFile(const CProjectDoc& doc, const std::string& path)
{
    CAtomicFileSink sink(path);
    CArchiveWriter ar(sink);
    WriteProjectFile(ar, doc);
    ar.Flush();
    sink.Commit();
}
