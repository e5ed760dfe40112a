// convert IN OUT: loads IN and saves it as OUT, each format chosen by its file's extension.

#include "cli/CliCommand.h"

#include "model/ProjectDoc.h"

namespace {

int RunConvert(const CCliArgs& args)
{
    CProjectDoc doc;
    LoadForCli(doc, args.positional[0]);
    doc.Save(args.positional[1]);
    return 0;
}

} // namespace

const CCliCommand kConvertCommand{
    "convert", "IN OUT", "load IN and save it as OUT (formats by extension: .tnw)", {}, 2,
    RunConvert};
