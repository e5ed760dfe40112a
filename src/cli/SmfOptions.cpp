#include "cli/SmfOptions.h"

#include "cli/CliCommand.h"
#include "files/SmfProject.h"
#include "model/ProjectDoc.h"
#include "model/UserServices.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {

class CFixedAnswer : public CUserServices {
public:
    bool AskYesNo(const std::string&) override { return m_yes; }
    bool AskRemembered(const std::string&, bool& dontAskAgain) override
    {
        dontAskAgain = false;
        return m_yes;
    }
    void ShowMessage(const std::string&) override {}
    std::string ChooseFileToOpen(const std::string&, const std::string&) override { return {}; }
    std::string ChooseFileToSave(const std::string&, const std::string&,
                                 const std::string&) override
    {
        return {};
    }

    bool m_yes = true;
};

} // namespace

std::unique_ptr<CUserServices> SplitChannelsAnswer(const CCliArgs& args)
{
    const auto it = args.options.find(kSplitChannelsOption);
    const std::string value = it == args.options.end() ? "yes" : it->second;
    if (value != "yes" && value != "no")
        throw CUsageError(std::string(kSplitChannelsOption) + " takes yes or no");
    auto answer = std::make_unique<CFixedAnswer>();
    answer->m_yes = value == "yes";
    return answer;
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
