#pragma once
// Rendering a project document: the engine's render over the view the document gives of itself.
// Caller's thread; the document must not change meanwhile.

#include "engine/Render.h"

class CProjectDoc;

// The song end of doc: where its last clip ends, its track's delay included (0 for an empty song).
tick SongEndOf(CProjectDoc& doc);

// Renders doc as RenderProject does for its engine view (see engine/Render.h).
int RenderProject(CProjectDoc& doc, const SRenderOptions& options, CRenderSink& sink,
                  std::string& error, int64_t* ticksPlayed = nullptr);
