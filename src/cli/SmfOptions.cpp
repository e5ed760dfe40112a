#include "cli/SmfOptions.h"

#include "cli/CliCommand.h"
#include "files/SmfProject.h"
#include "model/ProjectDoc.h"
#include "model/UserServices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

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
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == kSmfExtension) {
        ExportProjectAsSmf(doc, path);
    } else {
        doc.Save(path);
    }
}
