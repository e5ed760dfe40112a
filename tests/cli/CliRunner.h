#pragma once
// Runs the built tonalweaver-cli as a child process and captures what it prints.

#include <string>
#include <vector>

struct CliResult {
    int status = -1; // exit status
    std::string out; // standard output
    std::string err; // standard error
};

// Runs tonalweaver-cli with the given arguments (no shell involved). Standard output goes to
// stdoutPath when one is given (then `out` stays empty). memoryLimit (bytes, 0 for none) limits
// the child's address space. A run that hangs is killed after 30 s and reports status -1.
CliResult RunCli(const std::vector<std::string>& args, const std::string& stdoutPath = "",
                 size_t memoryLimit = 0);
