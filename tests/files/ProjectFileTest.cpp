#include "files/ProjectFile.h"
#include "document/ProjectDoc.h"
#include "files/ByteBuilder.h"
#include "files/ProjectRecords.h"
#include "model/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kSchema = "t.tnw contains an incorrect schema.";
const std::string kPastEnd = "An attempt was made to access t.tnw past its end.";
const std::string kInvalid = "An invalid argument was encountered.";

// A project whose texts are all empty, so that its bytes do not depend on the year.
std::unique_ptr<CProjectDoc> BlankDoc()
{
    auto doc = std::make_unique<CProjectDoc>();
    doc->GetInfo() = CProjectInfo();
    return doc;
}

// The failure text of reading bytes into a fresh project; "" when it loads.
std::string ReadFailure(const Bytes& bytes, CProjectDoc* into = nullptr)
{
    CProjectDoc scratch;
    try {
        ReadProjectFileBytes(into ? *into : scratch, bytes.data(), bytes.size(), "t.tnw");
    } catch (const CFileError& e) {
        return e.what();
    }
    return "";
}

Bytes Slice(const Bytes& bytes, size_t from, size_t count)
{
    return Bytes(bytes.begin() + static_cast<long>(from),
                 bytes.begin() + static_cast<long>(from + count));
}

std::unique_ptr<CPhrase> PhraseLikeHandProperties()
{
    auto p = std::make_unique<CPhrase>("P", 0x112233, 384);
    p->SetInput(CNodeAddress(4, 0));
    p->SetTriggerFrom(36);
    p->SetTriggerTo(60);
    p->SetStartQuantize(CNoteValue(24));
    p->SetStopQuantize(CNoteValue(48));
    p->SetOutput(CNodeAddress(3, 1));
    p->SetOutputChannel(9);
    p->SetPlayMode(EPlayMode::Mono);
    p->SetLoop(true);
    p->SetContinue(true);
    p->SetVelocityOffset(-5);
    p->SetTranspose(7);
    p->SetOutputQuantize(CNoteValue(12));
    p->SetDelay(-96);
    p->SetPitchLimitFrom(10);
    p->SetPitchLimitTo(100);
    p->SetVelocityLimitFrom(20);
    p->SetVelocityLimitTo(110);
    return p;
}

} // namespace

TEST(ProjectFile, EmptyProjectBytesAreExactlyTheFormat)
{
    const auto doc = BlankDoc();
    const Bytes bytes = ProjectFileBytes(*doc);
    const CBytes expected = HandHeader().Add(HandInfo()).I32(0).I32(0).Add(HandTail()).I32(0);
    EXPECT_EQ(bytes, expected.Get());
    EXPECT_EQ(bytes.size(), 99u);
    EXPECT_EQ(bytes[0], 0x17);

    CProjectDoc read;
    EXPECT_EQ(ReadFailure(bytes, &read), "");
    EXPECT_EQ(read.GetBankCount(), 0);
    EXPECT_EQ(read.GetTracks().GetCount(), 0);
    EXPECT_EQ(read.GetInfo().m_copyright, "");
    EXPECT_EQ(read.GetTempo(), 12000);
    EXPECT_EQ(read.GetLoopEnd(), 1536);
    EXPECT_EQ(read.GetEditDefaults().m_pianoRollGrid, CNoteValue(24));
}

TEST(ProjectFile, RecordSizesAndNamePrefixesFollowTheFormat)
{
    auto doc = BlankDoc();
    auto bank = std::make_unique<CPhraseBank>(std::string(254, 'a'));
    auto phrase = PhraseLikeHandProperties();
    phrase->SetId(5);
    for (int i = 0; i < 3; ++i)
        phrase->GetNotes().Append(CNote(i * 96, i * 96 + 48, 60 + i, 100, 64));
    phrase->GetEvents().Append(CMidiEvent(0, 0xB0, 7, 100));
    phrase->GetEvents().Append(CMidiEvent(192, 0xE0, 0, 64));
    bank->InsertAt(0, std::move(phrase));
    doc->InsertBank(-1, std::move(bank));
    auto track = std::make_unique<CTrack>();
    track->SetName(std::string(255, 'b'));
    doc->GetTracks().InsertAt(-1, std::move(track));
    const Bytes bytes = ProjectFileBytes(*doc);

    // 28 bytes of header, 4 empty texts, 16 bytes of defaults, the bank count.
    const size_t bankName = 28 + 4 + 16 + 4;
    EXPECT_EQ(bytes[bankName], 254);
    const size_t phraseAt = bankName + 255 + 4;
    // 4 + 33 + 4 + 14 + 4 bytes before the phrase's name.
    EXPECT_EQ(bytes[phraseAt + 59], 1);
    EXPECT_EQ(bytes[phraseAt + 60], 'P');
    const CBytes handPhrase =
        HandMidiData({{0, 48, 60, 100, 64}, {96, 144, 61, 100, 64}, {192, 240, 62, 100, 64}},
                     {{0, 0xB0, 7, 100}, {192, 0xE0, 0, 64}}, 384, "P", 0x112233, 5)
            .Add(HandPhraseProperties());
    EXPECT_EQ(Slice(bytes, phraseAt, handPhrase.Size()), handPhrase.Get());
    const size_t trackName = phraseAt + handPhrase.Size() + 4;
    EXPECT_EQ(Slice(bytes, trackName, 4), (Bytes{0xFF, 0xFF, 0x00, 'b'}));

    // The smallest records are what the reader's count checks assume.
    CArchiveWriter empty;
    WriteBank(empty, CPhraseBank());
    EXPECT_EQ(empty.TakeBytes().size(), kMinBankBytes);
    CPhraseBank withPhrase;
    withPhrase.InsertAt(0, std::make_unique<CPhrase>());
    WriteBank(empty, withPhrase);
    EXPECT_EQ(empty.TakeBytes().size(), kMinBankBytes + kMinPhraseBytes);
    CTrack bare;
    bare.SetName("");
    WriteTrack(empty, bare);
    EXPECT_EQ(empty.TakeBytes().size(), kMinTrackBytes);
    bare.AddClip(std::make_unique<CClip>());
    WriteTrack(empty, bare);
    EXPECT_EQ(empty.TakeBytes().size(), kMinTrackBytes + kMinClipBytes);
}

TEST(ProjectFile, HandMadeFileLoadsEveryFieldAndItsWindows)
{
    // clang-format off
    const CBytes file =
        HandHeader()
            .Add(HandInfo("Song", 2, 8, 48, 12))
            .I32(1)
            .Str("Bank")
            .I32(1)
            // Notes and events stored out of order are put in order, equal times keeping theirs.
            .Add(HandMidiData({{96, 120, 64, 90, 0}, {0, 24, 60, 80, 1}, {0, 48, 62, 81, 2}},
                              {{10, 0xB0, 1, 2}, {5, 0xB0, 3, 4}, {5, 0xE0, 5, 6}}, 768, "Phr",
                              0x0000FF, 7))
            .Add(HandPhraseProperties())
            .I32(1)
            .Str("Trk")
            .I32(0x00FF00)
            .I32(3)
            .I32(2)
            .Add(HandMidiData({}, {}, 384, "Late", 1, 9)).I32(1536)
            .Add(HandMidiData({{0, 96, 48, 100, 0}}, {}, 384, "Early", 2, 11)).I32(0)
            .Add(HandTrackTail())
            .Add(HandTail(3, 8, 2, 1, 9000))
            .I32(1).Add(HandNoPlacement())
            .I32(6)
            .I32(3).I32(11).I32(0).I32(1).I32(10).I32(20).I32(300).I32(400).Zeros(54)
            .I32(4).I32(0).Add(HandNoPlacement()).I32(1).I32(2).I32(3)
            .I32(1).Add(HandNoPlacement())
            .I32(5).Add(HandNoPlacement())
            .I32(0);
    // clang-format on

    CProjectDoc doc;
    ASSERT_EQ(ReadFailure(file.Get(), &doc), "");
    EXPECT_EQ(doc.GetInfo().m_title, "Song");
    EXPECT_EQ(doc.GetEditDefaults().m_newClipBars, 8);
    EXPECT_EQ(doc.GetEditDefaults().m_pianoRollSnap, CNoteValue(48));
    ASSERT_EQ(doc.GetBankCount(), 1);
    const CPhrase& p = doc.GetBankAt(0).GetPhraseAt(0);
    EXPECT_EQ(p.GetName(), "Phr");
    EXPECT_EQ(p.GetLength(), 768);
    ASSERT_EQ(p.GetNotes().GetCount(), 3);
    EXPECT_EQ(p.GetNotes()[0], CNote(0, 24, 60, 80, 1));
    EXPECT_EQ(p.GetNotes()[1], CNote(0, 48, 62, 81, 2));
    EXPECT_EQ(p.GetNotes()[2], CNote(96, 120, 64, 90, 0));
    ASSERT_EQ(p.GetEvents().GetCount(), 3);
    EXPECT_EQ(p.GetEvents()[0], CMidiEvent(5, 0xB0, 3, 4));
    EXPECT_EQ(p.GetEvents()[1], CMidiEvent(5, 0xE0, 5, 6));
    EXPECT_EQ(p.GetEvents()[2], CMidiEvent(10, 0xB0, 1, 2));
    EXPECT_EQ(p.GetInput(), CNodeAddress(4, 0));
    EXPECT_EQ(p.GetOutputChannel(), 9);
    EXPECT_EQ(p.GetPlayMode(), EPlayMode::Mono);
    EXPECT_TRUE(p.GetLoop());
    EXPECT_FALSE(p.GetHold());
    EXPECT_TRUE(p.GetContinue());
    EXPECT_EQ(p.GetDelay(), -96);
    EXPECT_EQ(p.GetVelocityLimitTo(), 110);

    const CTrack& t = *doc.GetTracks().GetAt(0);
    EXPECT_EQ(t.GetName(), "Trk");
    EXPECT_EQ(t.GetId(), 3);
    ASSERT_EQ(t.GetClipCount(), 2);
    EXPECT_EQ(t.GetClipAt(0).GetName(), "Early");
    EXPECT_EQ(t.GetClipAt(1).GetStart(), 1536);
    EXPECT_EQ(t.GetClipAt(0).GetNotes()[0], CNote(0, 96, 48, 100, 0));
    EXPECT_EQ(t.GetEnd(), 1920);
    EXPECT_EQ(t.GetTranspose(), -12);
    EXPECT_EQ(t.GetPan(), 64);
    EXPECT_TRUE(t.GetSolo());
    EXPECT_TRUE(t.GetInput());
    EXPECT_EQ(t.GetProperty2Value(), 7);
    EXPECT_EQ(doc.GetHighestObjectId(), 11);
    EXPECT_EQ(doc.GetHighestTrackId(), 3);

    EXPECT_EQ(doc.GetTimeSignature(), CTimeSignature(3, 8));
    EXPECT_EQ(doc.GetTimeSignature().GetTicksPerBar(), 144);
    EXPECT_EQ(doc.GetScale().GetKey(), 2);
    EXPECT_EQ(doc.GetScale().GetMode(), 1);
    EXPECT_EQ(doc.GetTempo(), 9000);

    // Kind 6 is skipped, the second project window ignored.
    const std::vector<CWindowState> windows = doc.GetWindows().SavedWindows();
    ASSERT_EQ(windows.size(), 4u);
    EXPECT_EQ(windows[0].kind, EWindowKind::Project);
    EXPECT_EQ(windows[1].kind, EWindowKind::PianoRoll);
    EXPECT_EQ(windows[1].target, 11);
    EXPECT_EQ(windows[1].placement, (CWindowPlacement{0, 1, 10, 20, 300, 400}));
    EXPECT_EQ(windows[1].view.size(), 54u);
    EXPECT_EQ(windows[2].kind, EWindowKind::PhraseBank);
    EXPECT_EQ(windows[2].view, (Bytes{1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0}));
    EXPECT_EQ(windows[3].kind, EWindowKind::Mixer);
}

TEST(ProjectFile, MalformedFilesFailWithTheirMessage)
{
    const CBytes empty = HandInfo().I32(0).I32(0);
    const auto withTail = [&](const CBytes& tail) {
        return HandHeader().Add(empty).Add(tail).Get();
    };
    // clang-format off
    const CBytes oneBank = HandInfo().I32(1).Str("B").I32(1)
                               .Add(HandMidiData({}, {}, 0, "", 0, 4))
                               .Add(HandPhraseProperties()).I32(0);
    // clang-format on
    const auto withBank = [&](const CBytes& windows) {
        return HandHeader().Add(oneBank).Add(HandTail()).Add(windows).Get();
    };

    EXPECT_EQ(ReadFailure(withTail(HandTail().I32(0))), "");
    EXPECT_EQ(ReadFailure(HandHeader(3).Add(empty).Add(HandTail()).I32(0).Get()), kSchema);
    EXPECT_EQ(ReadFailure(CBytes().Str("tonalweaver file formaT").I32(2).Add(empty).Get()),
              kSchema);
    EXPECT_EQ(ReadFailure(withTail(HandTail(4, 0).I32(0))), kSchema);
    EXPECT_EQ(ReadFailure(withTail(HandTail(4, 385).I32(0))), kSchema);
    EXPECT_EQ(ReadFailure(withTail(HandTail(4, 384).I32(0))), "");
    EXPECT_EQ(ReadFailure(withTail(HandTail(0, 4).I32(0))), kSchema);
    EXPECT_EQ(ReadFailure(withTail(HandTail(4, 4, 12, 0).I32(0))), kSchema);
    EXPECT_EQ(ReadFailure(withTail(HandTail(4, 4, 0, 9999).I32(0))), kSchema);
    // Counts: negative, and larger than the rest of the file.
    EXPECT_EQ(ReadFailure(HandHeader().Add(HandInfo()).I32(-1).Get()), kSchema);
    EXPECT_EQ(ReadFailure(HandHeader().Add(HandInfo()).I32(0x7FFFFFFF).Get()), kPastEnd);
    EXPECT_EQ(
        ReadFailure(HandHeader().Add(HandInfo()).I32(1).Str("B").I32(1).I32(0x10000000).Get()),
        kPastEnd);
    // A clip whose end is past the last tick.
    // clang-format off
    const auto clipAt = [&](int64_t start) {
        return HandHeader().Add(HandInfo()).I32(0).I32(1).Str("T").I32(0).I32(1).I32(1)
            .Add(HandMidiData({}, {}, 10, "", 0, 1)).I32(start).Add(HandTrackTail())
            .Add(HandTail()).I32(0).Get();
    };
    // clang-format on
    EXPECT_EQ(ReadFailure(clipAt(0x7FFFFFF5)), "");
    EXPECT_EQ(ReadFailure(clipAt(0x7FFFFFF6)), kSchema);
    // Window records: no terminating 0, unknown id, doubled piano roll, bank index and window.
    EXPECT_EQ(ReadFailure(withTail(HandTail())), kPastEnd);
    const CBytes roll4 = CBytes().I32(3).I32(4).Add(HandNoPlacement()).Zeros(54);
    const CBytes bank0 = CBytes().I32(4).I32(0).Add(HandNoPlacement()).Zeros(12);
    EXPECT_EQ(ReadFailure(withBank(CBytes().Add(roll4).Add(bank0).I32(0))), "");
    EXPECT_EQ(ReadFailure(withBank(CBytes().I32(3).I32(5).Add(HandNoPlacement()).Zeros(54).I32(0))),
              kSchema);
    EXPECT_EQ(ReadFailure(withBank(CBytes().Add(roll4).Add(roll4).I32(0))), kSchema);
    EXPECT_EQ(ReadFailure(withBank(CBytes().I32(4).I32(1).Add(HandNoPlacement()).Zeros(12).I32(0))),
              kInvalid);
    EXPECT_EQ(
        ReadFailure(withBank(CBytes().I32(4).I32(-1).Add(HandNoPlacement()).Zeros(12).I32(0))),
        kInvalid);
    EXPECT_EQ(ReadFailure(withBank(CBytes().Add(bank0).Add(bank0).I32(0))), kSchema);
}

TEST(ProjectFile, SavedFileLoadsWhateverWindowsAreOpen)
{
    auto doc = BlankDoc();
    auto bank = std::make_unique<CPhraseBank>("B");
    auto phrase = std::make_unique<CPhrase>();
    phrase->SetId(4);
    bank->InsertAt(0, std::move(phrase));
    bank->InsertAt(1, std::make_unique<CPhrase>()); // a copy not yet given an id
    doc->InsertBank(-1, std::move(bank));
    CProjectWindows& windows = doc->GetWindows();
    const CWindowState roll4{EWindowKind::PianoRoll, 4, {}, Bytes(54, 1)};
    const CWindowState bank0{EWindowKind::PhraseBank, 0, {}, Bytes(12, 2)};
    const CWindowState mixer{EWindowKind::Mixer, 0, {}, {}};
    for (const CWindowState& state :
         {roll4, CWindowState{EWindowKind::PianoRoll, 0, {}, {}},
          CWindowState{EWindowKind::PianoRoll, 99, {}, {}}, roll4, bank0,
          CWindowState{EWindowKind::PhraseBank, 1, {}, {}}, bank0, mixer})
        windows.OpenSavedWindow(state);

    const Bytes bytes = ProjectFileBytes(*doc);
    CProjectDoc read;
    ASSERT_EQ(ReadFailure(bytes, &read), "");
    EXPECT_EQ(read.GetWindows().SavedWindows(), (std::vector<CWindowState>{roll4, bank0, mixer}));
}

TEST(ProjectFile, SwitchesKeepTheNumberTheFileStores)
{
    // Each row: the eleven stored switches, in file order (phrase key follow, loop, hold,
    // continue; track solo, mute, record, input; project loop, solo, mute).
    const std::vector<std::vector<int>> rows = {
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
        {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
        {2, 5, -1, 7, 2, 3, 100, -2, 5, 9, 0x7FFFFFFF},
        {0, 2, 0, 3, 0, 4, 0, 0x7FFF, 0, 6, 0},
    };
    for (const std::vector<int>& f : rows) {
        // clang-format off
        const Bytes file =
            HandHeader().Add(HandInfo()).I32(1).Str("B").I32(1)
                .Add(HandMidiData({}, {}, 384, "P", 0, 1))
                .Add(HandPhraseProperties(f[0], f[1], f[2], f[3]))
                .I32(1).Str("T").I32(0).I32(2).I32(0)
                .Add(HandTrackTail(f[4], f[5], f[6], f[7]))
                .Add(HandTail(4, 4, 0, 0, 12000, f[8], f[9], f[10]))
                .I32(0).Get();
        // clang-format on
        CProjectDoc doc;
        ASSERT_EQ(ReadFailure(file, &doc), "");
        EXPECT_EQ(ProjectFileBytes(doc), file) << f[1];

        const CPhrase& phrase = doc.GetBankAt(0).GetPhraseAt(0);
        const CTrack& track = *doc.GetTracks().GetAt(0);
        const bool on[] = {phrase.GetKeyFollow(), phrase.GetLoop(),  phrase.GetHold(),
                           phrase.GetContinue(),  track.GetSolo(),   track.GetMute(),
                           track.GetRecord(),     track.GetInput(),  doc.IsLoopOn(),
                           doc.IsSoloActive(),    doc.IsMuteActive()};
        for (size_t i = 0; i < f.size(); ++i)
            EXPECT_EQ(on[i], f[i] != 0) << "switch " << i << " stored as " << f[i];
    }
}

TEST(ProjectFile, ClipsStoredOutOfOrderAndAWindowPerObjectLoad)
{
    auto doc = BlankDoc();
    auto track = std::make_unique<CTrack>();
    const std::vector<std::pair<tick, int32_t>> stored = {{300, 1}, {100, 2}, {200, 3},
                                                          {100, 4}, {0, 5},   {100, 6}};
    for (const auto& [start, id] : stored) {
        auto clip = std::make_unique<CClip>(start, 96, "C", 0);
        clip->SetId(id);
        track->InsertClipAt(track->GetClipCount(), std::move(clip));
        doc->GetWindows().OpenSavedWindow({EWindowKind::PianoRoll, id, {}, Bytes(54, 1)});
    }
    doc->GetTracks().InsertAt(-1, std::move(track));
    for (int32_t b = 0; b < 3; ++b) {
        doc->InsertBank(-1, std::make_unique<CPhraseBank>("B"));
        doc->GetWindows().OpenSavedWindow({EWindowKind::PhraseBank, b, {}, Bytes(12, 2)});
    }
    CProjectDoc read;
    ASSERT_EQ(ReadFailure(ProjectFileBytes(*doc), &read), "");
    // In start order; clips with one start keep the order the file gave them.
    std::vector<std::pair<tick, int32_t>> clips;
    const CTrack& loaded = *read.GetTracks().GetAt(0);
    for (int32_t i = 0; i < loaded.GetClipCount(); ++i)
        clips.emplace_back(loaded.GetClipAt(i).GetStart(), loaded.GetClipAt(i).GetId());
    EXPECT_EQ(clips, (std::vector<std::pair<tick, int32_t>>{
                         {0, 5}, {100, 2}, {100, 4}, {100, 6}, {200, 3}, {300, 1}}));
    EXPECT_EQ(read.GetWindows().SavedWindows(), doc->GetWindows().SavedWindows());
    for (const auto& [start, id] : stored)
        EXPECT_TRUE(read.GetWindows().HasSavedWindow(EWindowKind::PianoRoll, id)) << id;
    EXPECT_FALSE(read.GetWindows().HasSavedWindow(EWindowKind::PianoRoll, 7));
    EXPECT_TRUE(read.GetWindows().HasSavedWindow(EWindowKind::PhraseBank, 2));
    EXPECT_FALSE(read.GetWindows().HasSavedWindow(EWindowKind::PhraseBank, 3));
}
