#include "files/SmfTestSupport.h"
#include "files/TempFolder.h"

#include "files/ArchiveFile.h"
#include "files/SmfImporter.h"
#include "files/SmfWriter.h"
#include "model/Errors.h"
#include "model/Phrase.h"
#include "model/Track.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

namespace {

std::vector<CNote> Canonical(std::vector<CNote> notes)
{
    std::sort(notes.begin(), notes.end(), [](const CNote& a, const CNote& b) {
        return std::tie(a.m_start, a.m_pitch, a.m_end, a.m_velocity, a.m_offVelocity) <
               std::tie(b.m_start, b.m_pitch, b.m_end, b.m_velocity, b.m_offVelocity);
    });
    return notes;
}

std::vector<CNote> Canonical(const CNoteList& notes)
{
    return Canonical(std::vector<CNote>(notes.begin(), notes.end()));
}

// Every kind of event, several at one tick, and notes that test the order within a tick: two
// notes on one key from one start, a note ending where the next one on its key begins, a
// zero-length note there too, and overlapping notes on one key.
std::unique_ptr<CPhrase> RichPhrase(const std::string& name, uint8_t channel)
{
    auto phrase = std::make_unique<CPhrase>(name, 0x00FF00, 768);
    phrase->SetOutputChannel(channel);
    CNoteList& notes = phrase->GetNotes();
    for (const CNote& note :
         {CNote(0, 96, 60, 100, 64), CNote(0, 48, 60, 90, 10), CNote(0, 192, 64, 80, 0),
          CNote(96, 96, 60, 70, 5), CNote(96, 144, 60, 71, 6), CNote(96, 97, 67, 1, 127),
          CNote(200, 300, 62, 50, 51), CNote(250, 350, 62, 52, 53), CNote(350, 350, 62, 54, 55),
          CNote(700, 900, 127, 127, 127)})
        notes.Insert(note);
    CEventList& events = phrase->GetEvents();
    for (const CMidiEvent& event :
         {CMidiEvent(0, 0xC0, 5, 0), CMidiEvent(0, 0xB0, 7, 100), CMidiEvent(0, 0xB0, 10, 0),
          CMidiEvent(96, 0xE0, 0, 64), CMidiEvent(96, 0xE0, 127, 127), CMidiEvent(150, 0xD0, 90, 0),
          CMidiEvent(200, 0xA0, 62, 30), CMidiEvent(1000, 0xB0, 123, 0)})
        events.Insert(event);
    return phrase;
}

std::vector<std::unique_ptr<CPhrase>> ReadPhrases(const std::vector<uint8_t>& bytes,
                                                  CScriptedUser& user)
{
    CSmfImporter importer(user);
    EXPECT_TRUE(importer.ReadMemory(bytes.data(), bytes.size(), "export.mid"));
    std::vector<std::unique_ptr<CPhrase>> phrases;
    importer.MakePhrases(phrases);
    return phrases;
}

} // namespace

TEST(SmfWriter, LayoutIsFormatOneWithTempoTrackAndNoRunningStatus)
{
    CSmfWriter writer(12000, "C", "T");
    CPhrase phrase("P", 0, 96);
    phrase.SetOutputChannel(2);
    phrase.GetNotes().Insert(CNote(0, 96, 60, 100, 64));
    phrase.GetNotes().Insert(CNote(96, 96, 61, 0, 1)); // velocity 0 would read as a note-off
    phrase.GetEvents().Insert(CMidiEvent(0, 0xB0, 7, 100));
    writer.AddPhrase(phrase);
    EXPECT_EQ(writer.GetMidiTrackCount(), 2);
    const std::vector<uint8_t> expected = {
        'M',  'T',  'h',  'd', 0,    0,    0,    6,    0,    1,    0,    2,  0,   96, // header
        'M',  'T',  'r',  'k', 0,    0,    0,    21,                                  // tempo track
        0,    0xFF, 0x03, 1,   'T',  0,    0xFF, 0x02, 1,    'C',     // title, copyright
        0,    0xFF, 0x51, 3,   0x07, 0xA1, 0x20, 0,    0xFF, 0x2F, 0, // 500000 us, end
        'M',  'T',  'r',  'k', 0,    0,    0,    29,                  // the phrase
        0,    0xFF, 0x03, 1,   'P',  0,    0xB2, 7,    100,  0,    0x92, 60, 100, // name, CC, on
        96,   0x82, 60,   64,  0,    0x92, 61,   1,    0,    0x82, 61,   1,  0,   0xFF,
        0x2F, 0}; // off, 0-length
    EXPECT_EQ(writer.GetBytes(), expected);

    EXPECT_THROW(writer.AddMidiTrack("x", 16, CNoteList(), CEventList()), CInvalidArgument);
}

TEST(SmfWriter, ExportedPhrasesReadBackWithTheSameNotesAndEvents)
{
    CSmfWriter writer(9000, "(c) Us", "Song");
    const auto lead = RichPhrase("Lead", 3);
    const auto drums = RichPhrase("Drums", 9);
    drums->GetNotes().Insert(
        CNote(5000, 5100, 36, 99, 98)); // after a gap longer than one delta byte
    writer.AddPhrase(*lead);
    writer.AddPhrase(*drums);

    CScriptedUser user;
    CSmfImporter importer(user);
    const std::vector<uint8_t> bytes = writer.GetBytes();
    ASSERT_TRUE(importer.ReadMemory(bytes.data(), bytes.size(), "export.mid"));
    EXPECT_EQ(importer.GetTempo(), 9000);
    EXPECT_EQ(importer.GetCopyright(), "(c) Us");
    std::vector<std::unique_ptr<CPhrase>> phrases;
    importer.MakePhrases(phrases);
    ASSERT_EQ(phrases.size(), 2u); // the tempo track makes none
    for (size_t i = 0; i < 2; ++i) {
        const CPhrase& original = i == 0 ? *lead : *drums;
        SCOPED_TRACE(original.GetName());
        EXPECT_EQ(phrases[i]->GetName(), original.GetName());
        EXPECT_EQ(phrases[i]->GetOutputChannel(), original.GetOutputChannel());
        EXPECT_EQ(Canonical(phrases[i]->GetNotes()), Canonical(original.GetNotes()));
        EXPECT_TRUE(phrases[i]->GetEvents().SameAs(original.GetEvents()));
    }
    EXPECT_TRUE(user.m_questions.empty());
    EXPECT_TRUE(user.GetMessages().empty());
}

TEST(SmfWriter, OverlappingNotesOnOneKeyReadBackPairedOldestFirst)
{
    // Each row: notes on key 60 as written, and as a reader pairing offs oldest first gets them.
    using Spans = std::vector<std::pair<tick, tick>>;
    const std::vector<std::pair<Spans, Spans>> rows = {
        {{{0, 100}, {50, 80}}, {{0, 80}, {50, 100}}},                     // nested
        {{{0, 100}, {50, 150}}, {{0, 100}, {50, 150}}},                   // overlapping in order
        {{{0, 96}, {96, 192}, {96, 96}}, {{0, 96}, {96, 192}, {96, 96}}}, // touching
        {{{0, 50}, {0, 100}, {0, 10}}, {{0, 50}, {0, 100}, {0, 10}}},     // one start
        {{{0, 300}, {10, 200}, {20, 100}}, {{0, 100}, {10, 200}, {20, 300}}},
    };
    for (const auto& [written, read] : rows) {
        CPhrase phrase("P", 0, 384);
        std::vector<CNote> expected;
        for (size_t i = 0; i < written.size(); ++i) {
            const auto velocity = static_cast<uint8_t>(10 + i);
            phrase.GetNotes().Insert(
                CNote(written[i].first, written[i].second, 60, velocity, velocity));
        }
        // Each note keeps its start and on velocity; the end (with its off velocity) it gets is
        // that of the note read back in its place.
        for (size_t i = 0; i < read.size(); ++i) {
            const auto end = std::find_if(written.begin(), written.end(), [&](const auto& w) {
                return w.second == read[i].second;
            });
            const auto from =
                written[i].second == read[i].second ? ptrdiff_t(i) : end - written.begin();
            const auto offVelocity = static_cast<uint8_t>(10 + from);
            expected.emplace_back(read[i].first, read[i].second, 60, uint8_t(10 + i), offVelocity);
        }
        CSmfWriter writer(12000, "", "");
        writer.AddPhrase(phrase);
        CScriptedUser user;
        const auto phrases = ReadPhrases(writer.GetBytes(), user);
        ASSERT_EQ(phrases.size(), 1u);
        EXPECT_EQ(Canonical(phrases[0]->GetNotes()), Canonical(expected))
            << written[0].first << "-" << written[0].second;
    }
}

TEST(SmfWriter, ChannelBytesAboveFifteenExportOnTheChannelThePlayersUse)
{
    for (const uint8_t stored :
         {uint8_t(0), uint8_t(15), uint8_t(16), uint8_t(0x1A), uint8_t(255)}) {
        CPhrase phrase("P", 0, 96);
        phrase.SetOutputChannel(stored);
        phrase.GetNotes().Insert(CNote(0, 96, 60, 100, 64));
        CTrack track;
        track.SetOutputChannel(stored);
        auto clip = std::make_unique<CClip>(0, 96, "c", 0);
        clip->GetNotes().Insert(CNote(0, 48, 62, 90, 0));
        track.AddClip(std::move(clip));

        CSmfWriter writer(12000, "", "");
        writer.AddPhrase(phrase);
        writer.AddTrack(track);
        CScriptedUser user;
        const auto phrases = ReadPhrases(writer.GetBytes(), user);
        ASSERT_EQ(phrases.size(), 2u) << int(stored);
        for (const auto& read : phrases)
            EXPECT_EQ(read->GetOutputChannel(), stored & 0x0F) << int(stored);
        EXPECT_EQ(phrase.GetOutputChannel(), stored);
        EXPECT_EQ(track.GetOutputChannel(), stored);
    }
}

TEST(SmfWriter, WriteFileReplacesTheTargetOrLeavesItAlone)
{
    CTempFolder folder;
    const std::string path = folder / "replace.mid";
    std::ofstream(path) << "old content";
    CSmfWriter writer(12000, "", "");
    const auto phrase = RichPhrase("One", 0);
    writer.AddPhrase(*phrase);
    writer.WriteFile(path);
    EXPECT_EQ(ReadWholeFile(path), writer.GetBytes());
    CScriptedUser user;
    EXPECT_EQ(ReadPhrases(ReadWholeFile(path), user).size(), 1u);

    const std::string unwritable = folder / "no-such-folder/x.mid";
    EXPECT_THROW(writer.WriteFile(unwritable), CFileError);
    EXPECT_EQ(folder.Entries(), std::vector<std::string>{"replace.mid"});
}
