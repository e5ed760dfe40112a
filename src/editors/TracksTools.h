#pragma once
// The four tools of the tracks canvas: Select (select, resize, rubber band, drag, the song
// position), Eraser, Scissors and Glue. User-interface thread only.

#include <memory>

#include "editors/CanvasTool.h"

class CViewTracks;
enum class ETracksTool : int32_t;

// A new tool object of the kind for view.
std::unique_ptr<CCanvasTool> MakeTracksTool(ETracksTool tool, CViewTracks& view);
