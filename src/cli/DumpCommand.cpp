// dump FILE: the whole project as JSON on standard output.

#include "cli/CliCommand.h"
#include "cli/SmfOptions.h"

#include "document/ProjectDoc.h"
#include "files/ProjectJson.h"
#include "model/Errors.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int RunDump(const CCliArgs& args)
{
    const auto user = SplitChannelsAnswer(args);
    CProjectDoc doc;
    LoadForCli(doc, args.positional[0], *user);
    const std::string json = ProjectToJson(doc);
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        const int error = errno;
        throw CFileError(std::string("Standard output could not be written: ") +
                         std::strerror(error) + ".");
    }
    return 0;
}

} // namespace

const CCliCommand kDumpCommand{"dump",
                               "FILE [--split-channels yes|no]",
                               "print the whole project as JSON",
                               {kSplitChannelsOption},
                               1,
                               RunDump};
