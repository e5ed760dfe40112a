// dump FILE: the whole project as JSON on standard output.

#include "cli/CliCommand.h"

#include "files/ProjectJson.h"
#include "model/ProjectDoc.h"

#include <cstdio>

namespace {

int RunDump(const CCliArgs& args)
{
    CProjectDoc doc;
    LoadForCli(doc, args.positional[0]);
    const std::string json = ProjectToJson(doc);
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace

const CCliCommand kDumpCommand{"dump", "FILE", "print the whole project as JSON", {}, 1, RunDump};
