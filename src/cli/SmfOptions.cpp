#include "cli/SmfOptions.h"

#include "cli/CliCommand.h"
#include "document/ProjectDoc.h"
#include "document/UserServices.h"
#include "files/ArchiveFile.h"
#include "files/SmfProject.h"

std::unique_ptr<CUserServices> SplitChannelsAnswer(const CCliArgs& args)
{
    const auto it = args.options.find(kSplitChannelsOption);
    const std::string value = it == args.options.end() ? "yes" : it->second;
    if (value != "yes" && value != "no")
        throw CUsageError(std::string(kSplitChannelsOption) + " takes yes or no");
    return std::make_unique<CHeadlessUserServices>(value == "yes");
}

void SaveOrExport(CProjectDoc& doc, const std::string& path)
{
    if (LowerExtension(path) == kSmfExtension) {
        ExportProjectAsSmf(doc, path);
    } else {
        doc.Save(path);
    }
}
