// Project file reader: any bytes either load or fail with CFileError. A project that loads must
// write back to bytes that load again and write the same bytes, and must dump as JSON.

#include "document/ProjectDoc.h"
#include "files/ProjectFile.h"
#include "files/ProjectJson.h"
#include "model/Errors.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CProjectDoc doc;
    try {
        ReadProjectFileBytes(doc, data, size, "fuzz.tnw");
    } catch (const CFileError&) {
        return 0;
    }
    const std::vector<uint8_t> written = ProjectFileBytes(doc);
    CProjectDoc again;
    ReadProjectFileBytes(again, written.data(), written.size(), "again.tnw");
    if (ProjectFileBytes(again) != written) __builtin_trap();
    (void)ProjectToJson(again);
    return 0;
}
