#pragma once
// The records of the project file below the project itself: phrase banks with their phrases,
// tracks with their clips, and the saved window records.

#include "document/WindowState.h"
#include "files/Archive.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CPhraseBank;
class CTrack;

// Bytes of one stored note and one stored event.
inline constexpr size_t kNoteBytes = 11;
inline constexpr size_t kEventBytes = 7;
// The smallest possible records (no content, empty names). Counts are checked against these so
// that a count the rest of the file cannot hold fails before anything is built for it.
inline constexpr size_t kMinMidiDataBytes = 4 + 4 + 4 + 1 + 4 + 4;
inline constexpr size_t kPhrasePropertyBytes = 71;
inline constexpr size_t kMinPhraseBytes = kMinMidiDataBytes + kPhrasePropertyBytes;
inline constexpr size_t kMinClipBytes = kMinMidiDataBytes + 4;
inline constexpr size_t kMinBankBytes = 1 + 4;
inline constexpr size_t kTrackPropertyBytes = 44;
inline constexpr size_t kMinTrackBytes = 1 + 4 + 4 + 4 + kTrackPropertyBytes;

void WriteBank(CArchiveWriter& ar, const CPhraseBank& bank);
// A bank with its phrases as stored (ids included); CFileError when the bytes run out.
std::unique_ptr<CPhraseBank> ReadBank(CArchiveReader& ar);

void WriteTrack(CArchiveWriter& ar, const CTrack& track);
// A track with its clips, in start order (a stored order that is not sorted is sorted, equal
// starts keeping their stored order); the track's end follows from its clips. A clip whose end
// lies outside the tick range fails with the schema error.
std::unique_ptr<CTrack> ReadTrack(CArchiveReader& ar);

// Whether a window record of this kind is one we know (the five saved window kinds).
bool IsSavedWindowKind(int32_t kind);
// Bytes of view state after the placement block for a known kind.
size_t ViewStateBytes(EWindowKind kind);
// One window record, kind first. View state of the wrong size is cut or padded with zeros, so
// that the file always holds exactly the bytes its reader expects.
void WriteWindowRecord(CArchiveWriter& ar, const CWindowState& state);
// The rest of a record whose kind was just read; kind must be a known one.
CWindowState ReadWindowRecord(CArchiveReader& ar, EWindowKind kind);
