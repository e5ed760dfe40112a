#pragma once
// What every tonalweaver-cli command shares: its entry in the command table, argument parsing
// and project loading. One file per command defines its CCliCommand.

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

class CProjectDoc;
class CUserServices;

// Wrong arguments: main prints the text with the command's synopsis and exits with status 2.
class CUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command's arguments: the positional ones in order, and "--name value" options (the last
// value of each in options, every value in order in values, for options that may repeat).
struct CCliArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::map<std::string, std::vector<std::string>> values;
};

struct CCliCommand {
    const char* name;
    const char* synopsis;    // arguments after the name, for the usage text
    const char* description; // one line for --help
    // Options taking a value that the command accepts, e.g. "--split-channels".
    std::vector<std::string> valueOptions;
    // Number of positional arguments the command takes.
    size_t positionalCount;
    // Exit status; failures are thrown (CTwError: status 1, CUsageError: status 2).
    int (*run)(const CCliArgs& args);
    // Options without a value, e.g. "--clock-out"; given, they are in options with "".
    std::vector<std::string> switchOptions{};
};

extern const CCliCommand kDumpCommand;
extern const CCliCommand kConvertCommand;
extern const CCliCommand kRenderCommand;
extern const CCliCommand kDevicesCommand;
extern const CCliCommand kPlayCommand;
extern const CCliCommand kRecordCommand;

// The switch every command takes: library messages go to standard error too.
inline constexpr char kVerboseOption[] = "--verbose";

// Splits raw arguments by the command's options (and kVerboseOption); "--" ends the options.
// CUsageError for anything the command does not take.
CCliArgs ParseCliArgs(const CCliCommand& command, const std::vector<std::string>& raw);

// Loads path into doc by its extension, keeping the current directory (a load moves it to the
// file's folder, and later paths on the command line are relative to where we started).
// Questions the file asks go to user. CFileError when the file cannot be loaded or its type is
// not known.
void LoadForCli(CProjectDoc& doc, const std::string& path, CUserServices& user);
