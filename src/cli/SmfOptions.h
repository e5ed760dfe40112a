#pragma once
// The command-line side of MIDI files: the answer to the multiple-channel question and export
// by the output's extension.

#include "document/UserServices.h"

#include <memory>
#include <string>

class CProjectDoc;
struct CCliArgs;

// The option that answers the multiple-channel question of a MIDI file being opened.
inline constexpr const char* kSplitChannelsOption = "--split-channels";

// The user of this run, as far as opening files asks one: "--split-channels yes|no" (yes when
// absent) answers the multiple-channel question of a MIDI file. CUsageError for other values.
std::unique_ptr<CUserServices> SplitChannelsAnswer(const CCliArgs& args);

// Saves doc as path: a ".mid" path exports every track as a MIDI file, anything else is
// CProjectDoc::Save. Failures are thrown.
void SaveOrExport(CProjectDoc& doc, const std::string& path);
