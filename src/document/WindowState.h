#pragma once
// The saved state of one project window, as the project file keeps it. The placement block is
// common to all windows; the rest belongs to the view that wrote it and is kept as raw bytes so
// that a project read without views writes the same layout back.

#include <cstdint>
#include <vector>

enum class EWindowKind : int32_t {
    Project = 1,
    Tracks = 2,
    PianoRoll = 3,
    PhraseBank = 4,
    Mixer = 5,
};

// Window placement; -1 in flags or showState means "no placement: open at the default place".
struct CWindowPlacement {
    int32_t flags = -1;
    int32_t showState = -1;
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool operator==(const CWindowPlacement&) const = default;
};

struct CWindowState {
    EWindowKind kind = EWindowKind::Project;
    // PianoRoll: id of the phrase or clip; PhraseBank: 0-based bank index; otherwise unused (0).
    int32_t target = 0;
    CWindowPlacement placement;
    // View-specific bytes following the placement block, exactly as stored in the file.
    std::vector<uint8_t> view;

    bool operator==(const CWindowState&) const = default;
};
