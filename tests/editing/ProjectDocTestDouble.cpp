#include "editing/ProjectDocTestDouble.h"

#ifndef TW_REAL_PROJECT_DOC
#include "editing/OperationProject.h"
#include "model/Errors.h"

CProjectDoc& ProjectOf(COperationHistory& history)
{
    auto* doc = dynamic_cast<CProjectDoc*>(&history);
    if (!doc) throw CInvalidArgument();
    return *doc;
}
#endif
