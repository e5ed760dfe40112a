#pragma once
// A Standard MIDI File as a whole project: opening one as a new project, and exporting every
// track of a project. User-interface thread.

#include <memory>
#include <string>

#include <vector>

class CPhraseBank;
class CProjectDoc;
class CTrack;
class CUserServices;

// Reads the file (an empty path asks for one) and, only when that worked, replaces the project's
// content with it: first tempo, copyright, title "<file title> [MidiFile]", one track per used
// channel (or per MIDI track, merged, as the user answers), loop off and no path. Returns false
// after an error, which services has shown; the project is then untouched.
bool ImportSmfAsProject(CProjectDoc& doc, const std::string& path, CUserServices& services);

// The extension that opens a Standard MIDI File as a project, and the file chooser's filter.
inline constexpr const char* kSmfExtension = ".mid";
inline constexpr const char* kSmfFilter = "MIDI Files (*.mid)|*.mid|All Files (*.*)|*.*||";

// The phrase-bank import: reads the file (an empty path asks for one) and makes a bank named
// "Imported [<file title>]" ("Imported" when the title is empty) holding one phrase per used
// channel, or per MIDI track as the user answers. Null after an error (shown through services)
// or when the file makes no phrase. The phrases have no identity yet (id 0): the operation that
// adds the bank to a project gives them theirs.
std::unique_ptr<CPhraseBank> ImportSmfAsBank(const std::string& path, CUserServices& services);

// CProjectDoc::Load's way in: as ImportSmfAsProject, with questions (borrowed; null answers Yes)
// for the multiple-channel question, but a failure is thrown, as CFileError with the message,
// so that the caller reports it like any failed load. The project is untouched then.
void LoadSmfAsProject(CProjectDoc& doc, const std::string& path, CUserServices* questions);

// The track-list import: reads the file (an empty path asks for one) into tracks with clips on
// the project's new-clip grid, each clip with an id of the project's (the tracks get theirs when
// an operation places them). Empty after an error (shown through services) or when the file
// makes no track; the project is untouched but for its highest object id.
std::vector<std::unique_ptr<CTrack>> ImportSmfTracks(CProjectDoc& doc, const std::string& path,
                                                     CUserServices& services);

// Writes one track, clips at their song positions, as a file of its own titled by the track's
// name. Throws CFileError when the file cannot be written.
void ExportTrackAsSmf(const CProjectDoc& doc, const CTrack& track, const std::string& path);

// Writes every track of the project, clips at their song positions, as one MIDI track each.
// Throws CFileError when the file cannot be written; an existing file is then left as it was.
void ExportProjectAsSmf(const CProjectDoc& doc, const std::string& path);
