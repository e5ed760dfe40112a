// convert IN OUT: loads IN and saves it as OUT, each format chosen by its file's extension
// (a ".mid" OUT exports every track).

#include "cli/CliCommand.h"
#include "cli/SmfOptions.h"

#include "document/ProjectDoc.h"

namespace {

int RunConvert(const CCliArgs& args)
{
    const auto user = SplitChannelsAnswer(args);
    CProjectDoc doc;
    LoadForCli(doc, args.positional[0], *user);
    SaveOrExport(doc, args.positional[1]);
    return 0;
}

} // namespace

const CCliCommand kConvertCommand{"convert",
                                  "IN OUT [--split-channels yes|no]",
                                  "load IN and save it as OUT (formats by extension: .tnw, .mid)",
                                  {kSplitChannelsOption},
                                  2,
                                  RunConvert};
