#pragma once
// The project file (".tnw"): the whole model followed by the project's saved windows.

#include "files/Archive.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CProjectDoc;

inline constexpr const char* kProjectFileExtension = ".tnw";
inline constexpr const char* kProjectFileSignature = "tonalweaver file format";
inline constexpr int32_t kProjectFileVersion = 2;

// Writes the project, then a record for each of its saved windows (bottom to top) and the final 0.
// Windows the reader would refuse (a piano roll whose id finds nothing or is named twice, a bank
// window past the list or named twice) are left out, so that a saved file always loads.
void WriteProjectFile(CArchiveWriter& ar, const CProjectDoc& doc);
// Reads a project file into doc, which must be empty (new or cleared). Window records are handed
// to doc's windows seam as they are read. Throws CFileError with the user's message; doc is then
// left partly filled, so callers that must not lose a project read into a fresh one (see
// LoadProjectFile).
void ReadProjectFile(CArchiveReader& ar, CProjectDoc& doc);

// The file's bytes, in memory.
std::vector<uint8_t> ProjectFileBytes(const CProjectDoc& doc);
// Reads bytes in memory into an empty doc; name stands for the path in failure messages.
void ReadProjectFileBytes(CProjectDoc& doc, const uint8_t* data, size_t size,
                          const std::string& name);

// Replaces doc's content, path and history with the file at path, and re-opens its saved windows
// through doc's windows seam. On failure (CFileError) doc is exactly as it was.
void LoadProjectFile(CProjectDoc& doc, const std::string& path);
// Writes doc to path through a temporary file that replaces path only when complete and on disk.
void SaveProjectFile(const CProjectDoc& doc, const std::string& path);
