#include "document/ProjectRender.h"

#include "document/EnginePlayerLink.h"
#include "engine/EngineProjectView.h"

tick SongEndOf(CProjectDoc& doc)
{
    return SongEndOf(MakeEngineProjectView(doc));
}

int RenderProject(CProjectDoc& doc, const SRenderOptions& options, CRenderSink& sink,
                  std::string& error, int64_t* ticksPlayed)
{
    return RenderProject(MakeEngineProjectView(doc), options, sink, error, ticksPlayed);
}
