#include "cli/CliCommand.h"

#include "document/ProjectDoc.h"
#include "model/Errors.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

CCliArgs ParseCliArgs(const CCliCommand& command, const std::vector<std::string>& raw)
{
    CCliArgs args;
    bool optionsEnded = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        const std::string& arg = raw[i];
        if (!optionsEnded && arg == "--") {
            // Everything after "--" is a file, even a name that starts with dashes.
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            const auto& switches = command.switchOptions;
            if (arg == kVerboseOption ||
                std::find(switches.begin(), switches.end(), arg) != switches.end()) {
                args.options[arg].clear();
                continue;
            }
            const auto& known = command.valueOptions;
            if (std::find(known.begin(), known.end(), arg) == known.end())
                throw CUsageError("unknown option '" + arg + "'");
            if (i + 1 == raw.size()) throw CUsageError("option '" + arg + "' needs a value");
            args.options[arg] = raw[++i];
            args.values[arg].push_back(raw[i]);
        } else {
            args.positional.push_back(arg);
        }
    }
    if (args.positional.size() != command.positionalCount)
        throw CUsageError("wrong number of arguments");
    return args;
}

void LoadForCli(CProjectDoc& doc, const std::string& path, CUserServices& user)
{
    std::error_code error;
    const std::filesystem::path start = std::filesystem::current_path(error);
    const bool loaded = doc.Load(path, &user);
    if (!error) std::filesystem::current_path(start, error);
    if (!loaded) throw CFileError(path + " cannot be opened: the file type is not known.");
}
