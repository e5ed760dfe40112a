#include "files/SmfTestSupport.h"

#include "files/SmfImporter.h"
#include "model/Clip.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const char* const kQuestion =
    "Imported MIDI track(s) has multiple channels! Do you want to leave channels in separate "
    "tracks?";

struct CImport {
    CScriptedUser user;
    CSmfImporter importer{user};

    bool Read(const CFileBytes& file, const std::string& name = "/music/song.mid")
    {
        return importer.ReadMemory(file.Bytes().data(), file.Bytes().size(), name);
    }
    std::vector<std::unique_ptr<CTrack>> Tracks(tick clipLength = 1536)
    {
        std::vector<std::unique_ptr<CTrack>> tracks;
        importer.MakeTracks(tracks, clipLength);
        return tracks;
    }
    std::vector<std::unique_ptr<CPhrase>> Phrases()
    {
        std::vector<std::unique_ptr<CPhrase>> phrases;
        importer.MakePhrases(phrases);
        return phrases;
    }
};

CFileBytes OneTrackFile(const CTrackBytes& track, uint16_t division = 96)
{
    return CFileBytes().Header(1, 1, division).Track(track);
}

} // namespace

TEST(SmfImporter, DivisionScalesFileTicksAndTruncates)
{
    CImport in;
    ASSERT_TRUE(in.Read(OneTrackFile(
        CTrackBytes().Delta(5).Raw({0xB0, 7, 100}).On(475, 0, 60, 90).Off(480, 0, 60, 40).End(),
        480)));
    const CSmfTrack& track = in.importer.GetSmfTrack(0);
    ASSERT_EQ(track.GetEvents(0).GetCount(), 1);
    EXPECT_EQ(track.GetEvents(0)[0], CMidiEvent(1, 0xB0, 7, 100)); // file tick 5 -> 1
    ASSERT_EQ(track.GetNotes(0).GetCount(), 1);
    EXPECT_EQ(track.GetNotes(0)[0], CNote(96, 192, 60, 90, 40)); // 480 -> 96, 960 -> 192
    EXPECT_EQ(in.importer.GetDivision(), 480);
    EXPECT_EQ(in.importer.GetFormat(), 1);
    EXPECT_EQ(in.importer.GetFileTitle(), "song");
    EXPECT_TRUE(in.user.GetMessages().empty());
}

TEST(SmfImporter, HeaderRulesRefuseWithTheirMessages)
{
    const auto refused = [](const CFileBytes& file) {
        CImport in;
        EXPECT_FALSE(in.Read(file));
        EXPECT_EQ(in.importer.GetSmfTrackCount(), 0);
        return in.user.GetMessages();
    };
    const CTrackBytes note = CTrackBytes().On(0, 0, 60, 90).Off(96, 0, 60, 0).End();
    using Messages = std::vector<std::string>;
    EXPECT_EQ(refused(CFileBytes().Chunk("MThd", {0, 1, 0, 1}).Track(note)),
              Messages{"Bad MIDI-file header chunk! (Length < 6)"});
    EXPECT_EQ(refused(OneTrackFile(note, 0x8000)),
              Messages{"Import of SMPTE timecode MIDI-files is not supported!"});
    EXPECT_EQ(refused(OneTrackFile(note, 0xE728)), // -25 frames, 40 ticks per frame
              Messages{"Import of SMPTE timecode MIDI-files is not supported!"});
    EXPECT_EQ(refused(OneTrackFile(note, 0)),
              Messages{"Bad MIDI-file! (time division value = 0)!"});

    // Only the first header counts; a track before any header is read at 96 per quarter.
    CImport in;
    ASSERT_TRUE(in.Read(CFileBytes()
                            .Track(note)
                            .Header(0, 1, 192)
                            .Header(0, 1, 0)
                            .Chunk("XFIH", {1, 2, 3})
                            .Track(note)));
    ASSERT_EQ(in.importer.GetSmfTrackCount(), 2);
    EXPECT_EQ(in.importer.GetSmfTrack(0).GetNotes(0)[0].m_end, 96);
    EXPECT_EQ(in.importer.GetSmfTrack(1).GetNotes(0)[0].m_end, 48);
    EXPECT_EQ(in.importer.GetDivision(), 192);
}

TEST(SmfImporter, ChunkLengthsBeyondTheFileFailWithoutReadingPastTheEnd)
{
    const CTrackBytes note = CTrackBytes().On(0, 0, 60, 90).Off(96, 0, 60, 0).End();
    CImport beyond;
    EXPECT_FALSE(beyond.Read(CFileBytes().Header(1, 1, 96).Chunk("MTrk", note.Bytes(), 1000000)));
    EXPECT_EQ(
        beyond.user.GetMessages(),
        std::vector<std::string>{"An attempt was made to access /music/song.mid past its end."});
    EXPECT_EQ(beyond.importer.GetSmfTrackCount(), 0);

    CImport topBit;
    EXPECT_FALSE(
        topBit.Read(CFileBytes().Header(1, 1, 96).Chunk("MTrk", note.Bytes(), 0x80000000LL)));
    EXPECT_EQ(topBit.user.GetMessages(),
              std::vector<std::string>{"Insufficient memory to perform operation."});

    // Every cut of a good file inside a chunk's body fails cleanly; a cut inside a chunk
    // header leaves too few bytes to be a chunk, which count as padding. No cut reads beyond its
    // bytes (the copy is exactly as long as the cut, so a sanitizer build would catch it).
    const std::vector<uint8_t> whole = OneTrackFile(note).Bytes();
    const auto inChunkHeader = [](size_t size) { return size < 8 || (size >= 14 && size < 22); };
    for (size_t size = 1; size < whole.size(); ++size) {
        CImport cut;
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + size);
        EXPECT_EQ(cut.importer.ReadMemory(part.data(), part.size(), "cut.mid"), inChunkHeader(size))
            << size;
        EXPECT_EQ(cut.user.GetMessages().size(), inChunkHeader(size) ? 0u : 1u);
        EXPECT_EQ(cut.importer.GetSmfTrackCount(), 0);
    }
}

TEST(SmfImporter, PaddingShorterThanAChunkHeaderAfterTheLastChunkIsIgnored)
{
    const CTrackBytes note = CTrackBytes().On(0, 0, 60, 90).Off(96, 0, 60, 0).End();
    for (const std::vector<uint8_t>& padding :
         {std::vector<uint8_t>{0}, std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0},
          std::vector<uint8_t>{'M', 'T', 'r', 'k', 0, 0, 0}}) {
        std::vector<uint8_t> bytes = OneTrackFile(note).Bytes();
        bytes.insert(bytes.end(), padding.begin(), padding.end());
        CImport in;
        EXPECT_TRUE(in.importer.ReadMemory(bytes.data(), bytes.size(), "padded.mid"))
            << padding.size();
        ASSERT_EQ(in.importer.GetSmfTrackCount(), 1);
        EXPECT_EQ(in.importer.GetSmfTrack(0).GetNotes(0).GetCount(), 1);
        EXPECT_TRUE(in.user.GetMessages().empty());
    }
    // A full chunk header after the last chunk still has to keep its word.
    CImport claims;
    EXPECT_FALSE(claims.Read(OneTrackFile(note).Chunk("MTrk", {0, 0xFF}, 3)));
    EXPECT_EQ(claims.importer.GetSmfTrackCount(), 0);
    EXPECT_EQ(
        claims.user.GetMessages(),
        std::vector<std::string>{"An attempt was made to access /music/song.mid past its end."});
}

TEST(SmfImporter, RunningStatusAndNoteOffForms)
{
    CImport in;
    ASSERT_TRUE(in.Read(OneTrackFile(CTrackBytes()
                                         .On(0, 2, 60, 100)
                                         .Delta(0)
                                         .Raw({62, 101}) // running note-on
                                         .Delta(10)
                                         .Raw({60, 0}) // velocity 0 ends key 60
                                         .Off(5, 2, 62, 33)
                                         .Delta(0)
                                         .Raw({0xE2, 0x01, 0x40}) // pitch bender
                                         .Delta(3)
                                         .Raw({0x05, 0x41}) // running bender
                                         .Delta(0)
                                         .Raw({0xC2, 7})
                                         .Delta(0)
                                         .Raw({9}) // running program change
                                         .End())));
    const CSmfTrack& track = in.importer.GetSmfTrack(0);
    ASSERT_EQ(track.GetNotes(2).GetCount(), 2);
    EXPECT_EQ(track.GetNotes(2)[0], CNote(0, 10, 60, 100, 127));
    EXPECT_EQ(track.GetNotes(2)[1], CNote(0, 15, 62, 101, 33));
    ASSERT_EQ(track.GetEvents(2).GetCount(), 4);
    EXPECT_EQ(track.GetEvents(2)[0], CMidiEvent(15, 0xE0, 1, 0x40));
    EXPECT_EQ(track.GetEvents(2)[1], CMidiEvent(18, 0xE0, 5, 0x41));
    EXPECT_EQ(track.GetEvents(2)[2], CMidiEvent(18, 0xC0, 7, 0));
    EXPECT_EQ(track.GetEvents(2)[3], CMidiEvent(18, 0xC0, 9, 0));
    EXPECT_EQ(track.GetUsedChannelCount(), 1);
}

TEST(SmfImporter, SystemMessagesAreSkippedAndKeepTheRunningStatus)
{
    CImport in;
    ASSERT_TRUE(in.Read(OneTrackFile(CTrackBytes()
                                         .On(0, 0, 60, 90)
                                         .Delta(0)
                                         .Raw({0xF0, 0x03, 0x43, 0x10, 0xF7}) // sysex
                                         .Delta(0)
                                         .Raw({0xF8}) // clock byte, only the status is read
                                         .Meta(0, 0x04, "Piano")
                                         .Meta(0, 0x01, "text")
                                         .Delta(48)
                                         .Raw({60, 0}) // running status still note-on
                                         .End())));
    const CSmfTrack& track = in.importer.GetSmfTrack(0);
    ASSERT_EQ(track.GetNotes(0).GetCount(), 1);
    EXPECT_EQ(track.GetNotes(0)[0], CNote(0, 48, 60, 90, 127));
    EXPECT_TRUE(track.GetName().empty());
}

TEST(SmfImporter, NoteOffEndsTheOldestPendingNoteOfItsKey)
{
    CImport in;
    ASSERT_TRUE(in.Read(OneTrackFile(CTrackBytes()
                                         .On(0, 0, 60, 80)
                                         .On(10, 0, 60, 81)
                                         .On(0, 0, 64, 70)
                                         .Off(10, 5, 60, 20) // other channel, same key
                                         .Off(5, 0, 61, 20)  // nothing pending: ignored
                                         .End(30))));
    const CNoteList& notes = in.importer.GetSmfTrack(0).GetNotes(0);
    ASSERT_EQ(notes.GetCount(), 3);
    EXPECT_EQ(notes[0], CNote(0, 20, 60, 80, 20));   // the earlier note ends at the note-off
    EXPECT_EQ(notes[1], CNote(10, 55, 60, 81, 127)); // still pending: ends at end of track
    EXPECT_EQ(notes[2], CNote(10, 55, 64, 70, 127)); // in the order the note-ons came
    EXPECT_FALSE(in.importer.GetSmfTrack(0).IsChannelUsed(5));

    // Without an end-of-track event pending notes are dropped.
    CImport open;
    ASSERT_TRUE(
        open.Read(OneTrackFile(CTrackBytes().On(0, 0, 60, 80).On(10, 0, 62, 80).Off(5, 0, 62, 1))));
    ASSERT_EQ(open.importer.GetSmfTrack(0).GetNotes(0).GetCount(), 1);
    EXPECT_EQ(open.importer.GetSmfTrack(0).GetNotes(0)[0].m_pitch, 62);
}

TEST(SmfImporter, NotesWithEqualStartsKeepTheOrderTheyEndedIn)
{
    CImport in;
    ASSERT_TRUE(in.Read(OneTrackFile(CTrackBytes()
                                         .On(0, 0, 60, 80)
                                         .On(0, 0, 62, 81)
                                         .On(0, 0, 64, 82)
                                         .On(0, 0, 65, 83)
                                         .On(0, 0, 71, 85)
                                         .On(0, 0, 69, 86)
                                         .On(2, 0, 67, 84)
                                         .Off(1, 0, 67, 0)  // ends first, starts later
                                         .Off(10, 0, 64, 1) // the third note-on ends next
                                         .Off(5, 0, 60, 2)
                                         .Off(5, 0, 65, 3) // one tick, against note-on order
                                         .Off(0, 0, 62, 4)
                                         .End(5)))); // 71 and 69 end here, in note-on order
    const CNoteList& notes = in.importer.GetSmfTrack(0).GetNotes(0);
    ASSERT_EQ(notes.GetCount(), 7);
    EXPECT_EQ(notes[0], CNote(0, 13, 64, 82, 1));
    EXPECT_EQ(notes[1], CNote(0, 18, 60, 80, 2));
    EXPECT_EQ(notes[2], CNote(0, 23, 65, 83, 3));
    EXPECT_EQ(notes[3], CNote(0, 23, 62, 81, 4));
    EXPECT_EQ(notes[4], CNote(0, 28, 71, 85, 127));
    EXPECT_EQ(notes[5], CNote(0, 28, 69, 86, 127));
    EXPECT_EQ(notes[6], CNote(2, 3, 67, 84, 0));
}

TEST(SmfImporter, FirstTempoFirstCopyrightAndTempoTrackMakesNothing)
{
    CImport in;
    ASSERT_TRUE(in.Read(CFileBytes()
                            .Header(1, 2, 96)
                            .Track(CTrackBytes()
                                       .Name("Tempo map")
                                       .Meta(0, 0x02, "(c) First")
                                       .Tempo(0, 0) // meaningless, skipped
                                       .Tempo(0, 400000)
                                       .Tempo(96, 500000)
                                       .Meta(0, 0x02, "(c) Second")
                                       .End())
                            .Track(CTrackBytes()
                                       .Name("Lead")
                                       .Name("Other")
                                       .On(0, 0, 60, 90)
                                       .Off(96, 0, 60, 0)
                                       .End())));
    EXPECT_EQ(in.importer.GetTempo(), 15000);
    EXPECT_EQ(in.importer.GetCopyright(), "(c) First");
    EXPECT_EQ(in.importer.GetSmfTrack(1).GetName(), "Lead");
    const auto tracks = in.Tracks();
    ASSERT_EQ(tracks.size(), 1u);
    EXPECT_EQ(tracks[0]->GetName(), "Lead");
    EXPECT_EQ(in.Phrases().size(), 1u);

    // The file's tempo is kept as it is, however slow or fast; only tempos no clock can run are
    // skipped, and a later one then counts.
    const struct {
        int micros;
        int32_t tempo;
    } tempos[] = {{200000, 30000}, {4000000, 1500}, {0xFFFFFF, 357},
                  {10, 600000000}, {9, -1},         {1, -1}};
    for (const auto& t : tempos) {
        CImport one;
        ASSERT_TRUE(one.Read(OneTrackFile(CTrackBytes().Tempo(0, t.micros).End())));
        EXPECT_EQ(one.importer.GetTempo(), t.tempo) << t.micros;
    }
    CImport skipped;
    ASSERT_TRUE(skipped.Read(OneTrackFile(CTrackBytes().Tempo(0, 1).Tempo(0, 4000000).End())));
    EXPECT_EQ(skipped.importer.GetTempo(), 1500);
    CImport none;
    ASSERT_TRUE(none.Read(OneTrackFile(CTrackBytes().End())));
    EXPECT_EQ(none.importer.GetTempo(), -1);
}

TEST(SmfImporter, TimesBeyondTheTickRangeAreRefused)
{
    // At division 1 two maximal deltas put an event past the longest song.
    CImport in;
    EXPECT_FALSE(in.Read(
        OneTrackFile(CTrackBytes().On(0x0FFFFFFF, 0, 60, 90).Off(0x0FFFFFFF, 0, 60, 0).End(), 1)));
    ASSERT_EQ(in.user.GetMessages().size(), 1u);
    EXPECT_NE(in.user.GetMessages()[0].find("Bad MIDI-file!"), std::string::npos);
    EXPECT_EQ(in.importer.GetSmfTrackCount(), 0);

    // A long but representable file keeps exact times.
    CImport longFile;
    ASSERT_TRUE(longFile.Read(
        OneTrackFile(CTrackBytes().On(0x0FFFFFFF, 0, 60, 90).Off(1, 0, 60, 0).End(), 96)));
    EXPECT_EQ(longFile.importer.GetSmfTrack(0).GetNotes(0)[0],
              CNote(0x0FFFFFFF, 0x10000000, 60, 90, 0));
}

TEST(SmfImporter, SeveralChannelsSplitOnYesWithChannelNames)
{
    CImport in;
    ASSERT_TRUE(in.Read(OneTrackFile(CTrackBytes()
                                         .Name("Bass")
                                         .On(0, 0, 40, 90)
                                         .On(0, 9, 36, 100)
                                         .Off(96, 0, 40, 0)
                                         .Off(0, 9, 36, 0)
                                         .End())));
    in.user.m_answer = true;
    const auto tracks = in.Tracks();
    ASSERT_EQ(tracks.size(), 2u);
    EXPECT_EQ(tracks[0]->GetName(), "Bass (Ch 1)");
    EXPECT_EQ(tracks[0]->GetOutputChannel(), 0);
    EXPECT_EQ(tracks[1]->GetName(), "Bass (Ch 10)");
    EXPECT_EQ(tracks[1]->GetOutputChannel(), 9);
    EXPECT_EQ(tracks[1]->GetClipAt(0).GetNotes()[0].m_pitch, 36);
    EXPECT_EQ(tracks[1]->GetClipAt(0).GetName(), "Bass (Ch 10)");
    EXPECT_EQ(tracks[1]->GetClipAt(0).GetColour(), tracks[1]->GetColour());
    EXPECT_NE(tracks[0]->GetColour(), tracks[1]->GetColour());

    const auto phrases = in.Phrases(); // same file: the question is not asked again
    ASSERT_EQ(phrases.size(), 2u);
    EXPECT_EQ(phrases[0]->GetName(), "Bass");
    EXPECT_EQ(phrases[1]->GetOutputChannel(), 9);
    EXPECT_EQ(in.user.m_questions, std::vector<std::string>{kQuestion});
}

TEST(SmfImporter, SeveralChannelsMergeOnNoAndTheQuestionIsAskedOncePerFile)
{
    CImport in;
    ASSERT_TRUE(in.Read(CFileBytes()
                            .Header(1, 3, 96)
                            .Track(CTrackBytes().On(0, 1, 40, 90).Off(96, 1, 40, 0).End())
                            .Track(CTrackBytes()
                                       .Name("Bass")
                                       .On(0, 3, 40, 90)
                                       .Raw({0x00, 0xB0, 10, 64})
                                       .On(10, 0, 41, 91)
                                       .Off(10, 3, 40, 0)
                                       .Off(0, 0, 41, 0)
                                       .End())
                            .Track(CTrackBytes().On(0, 4, 50, 90).On(0, 5, 51, 90).End(8))));
    in.user.m_answer = false;
    const auto tracks = in.Tracks();
    ASSERT_EQ(tracks.size(), 3u);
    EXPECT_EQ(tracks[0]->GetName(), "Imported Track"); // one channel: no suffix, channel kept
    EXPECT_EQ(tracks[0]->GetOutputChannel(), 1);
    EXPECT_EQ(tracks[1]->GetName(), "Bass (Merged Channels)");
    EXPECT_EQ(tracks[1]->GetOutputChannel(), 0);
    const CClip& merged = tracks[1]->GetClipAt(0);
    ASSERT_EQ(merged.GetNotes().GetCount(), 2);
    EXPECT_EQ(merged.GetNotes()[0], CNote(0, 20, 40, 90, 0));
    EXPECT_EQ(merged.GetNotes()[1], CNote(10, 20, 41, 91, 0));
    EXPECT_EQ(merged.GetEvents().GetCount(), 1);
    EXPECT_EQ(tracks[2]->GetName(), "Imported Track (Merged Channels)");
    EXPECT_EQ(in.user.m_questions.size(), 1u);

    const auto phrases = in.Phrases();
    ASSERT_EQ(phrases.size(), 3u);
    EXPECT_EQ(phrases[0]->GetName(), "Imported Phrase");
    EXPECT_EQ(phrases[1]->GetName(), "Bass (Merged Channels)");
    EXPECT_EQ(phrases[2]->GetName(), "Imported Phrase (Merged Channels)");
    EXPECT_EQ(in.user.m_questions.size(), 1u);

    // A new file asks again.
    ASSERT_TRUE(in.Read(OneTrackFile(
        CTrackBytes().On(0, 0, 40, 90).On(0, 1, 40, 90).Off(5, 0, 40, 0).Off(0, 1, 40, 0).End())));
    in.Tracks();
    EXPECT_EQ(in.user.m_questions.size(), 2u);
}

TEST(SmfImporter, ClipsFollowTheGridAndGrowToCoverTheirNotes)
{
    CImport in;
    ASSERT_TRUE(in.Read(OneTrackFile(CTrackBytes()
                                         .On(1500, 0, 60, 90)
                                         .Off(200, 0, 60, 0) // 1500..1700
                                         .On(300, 0, 62, 90)
                                         .Off(10, 0, 62, 0) // 2000..2010: same clip
                                         .On(1062, 0, 64, 90)
                                         .Off(10, 0, 64, 0) // 3072..3082: next clip
                                         .Delta(4000)
                                         .Raw({0xB0, 1, 2}) // 7082: a clip of its own
                                         .End())));
    const auto tracks = in.Tracks(1536);
    ASSERT_EQ(tracks.size(), 1u);
    const CTrack& track = *tracks[0];
    EXPECT_EQ(track.GetName(), "Imported Track");
    ASSERT_EQ(track.GetClipCount(), 3);
    EXPECT_EQ(track.GetClipAt(0).GetStart(), 0);
    EXPECT_EQ(track.GetClipAt(0).GetLength(), 3072);
    ASSERT_EQ(track.GetClipAt(0).GetNotes().GetCount(), 2);
    EXPECT_EQ(track.GetClipAt(0).GetNotes()[1], CNote(2000, 2010, 62, 90, 0));
    EXPECT_EQ(track.GetClipAt(1).GetStart(), 3072);
    EXPECT_EQ(track.GetClipAt(1).GetLength(), 1536);
    EXPECT_EQ(track.GetClipAt(1).GetNotes()[0], CNote(0, 10, 64, 90, 0));
    EXPECT_EQ(track.GetClipAt(2).GetStart(), 6144);
    EXPECT_EQ(track.GetClipAt(2).GetEvents()[0], CMidiEvent(938, 0xB0, 1, 2));
    EXPECT_EQ(track.GetEnd(), 7680);

    CImport bad;
    ASSERT_TRUE(bad.Read(OneTrackFile(CTrackBytes().End())));
    std::vector<std::unique_ptr<CTrack>> none;
    EXPECT_THROW(bad.importer.MakeTracks(none, 0), CInvalidArgument);
}

TEST(SmfImporter, PhrasesTakeOutputOneTheirChannelAndTheLongerLength)
{
    CImport in;
    ASSERT_TRUE(in.Read(CFileBytes()
                            .Header(1, 2, 96)
                            .Track(CTrackBytes()
                                       .Name("Keys")
                                       .On(0, 3, 60, 90)
                                       .Off(96, 3, 60, 0)
                                       .Delta(200)
                                       .Raw({0xB3, 64, 0}) // event at 296
                                       .End())
                            .Track(CTrackBytes()
                                       .On(0, 0, 60, 90)
                                       .Off(500, 0, 60, 0)
                                       .Delta(10)
                                       .Raw({0xD0, 50})
                                       .End())));
    const auto phrases = in.Phrases();
    ASSERT_EQ(phrases.size(), 2u);
    EXPECT_EQ(phrases[0]->GetName(), "Keys");
    EXPECT_EQ(phrases[0]->GetOutput(), CNodeAddress(CNodeAddress::kKindOutputPort, 0));
    EXPECT_EQ(phrases[0]->GetOutputChannel(), 3);
    EXPECT_EQ(phrases[0]->GetLength(), 297); // the event ends after the note
    EXPECT_EQ(phrases[0]->GetNotes()[0], CNote(0, 96, 60, 90, 0));
    EXPECT_EQ(phrases[1]->GetName(), "Imported Phrase");
    EXPECT_EQ(phrases[1]->GetLength(), 511);
    EXPECT_EQ(phrases[1]->GetEvents()[0], CMidiEvent(510, 0xD0, 50, 0));
    EXPECT_TRUE(in.user.m_questions.empty());
}

TEST(SmfImporter, ReadFileAsksForAPathAndReportsMissingFiles)
{
    CImport cancelled;
    EXPECT_FALSE(cancelled.importer.ReadFile(""));
    EXPECT_EQ(cancelled.user.m_openRequests,
              std::vector<std::string>{"*.mid MIDI Files (*.mid)|*.mid||"});
    EXPECT_TRUE(cancelled.user.GetMessages().empty());

    CImport missing;
    missing.user.m_fileToOpen = "/nonexistent/folder/x.mid";
    EXPECT_FALSE(missing.importer.ReadFile(""));
    ASSERT_EQ(missing.user.GetMessages().size(), 1u);
    EXPECT_NE(missing.user.GetMessages()[0].find("/nonexistent/folder/x.mid"), std::string::npos);
}
