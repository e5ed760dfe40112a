#include "CliRunner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

CliResult RunCli(const std::vector<std::string>& args, const std::string& stdoutPath,
                 size_t memoryLimit)
{
    char outPath[] = "/tmp/twcli-out-XXXXXX";
    char errPath[] = "/tmp/twcli-err-XXXXXX";
    const int outFd = mkstemp(outPath);
    const int errFd = mkstemp(errPath);
    CliResult result;
    const pid_t pid = fork();
    if (pid == 0) {
        const int toFd = stdoutPath.empty() ? outFd : open(stdoutPath.c_str(), O_WRONLY);
        dup2(toFd, 1);
        alarm(30); // survives exec: a hanging run ends as killed, not as a stuck test
        if (memoryLimit != 0) {
            const rlimit limit{memoryLimit, memoryLimit};
            setrlimit(RLIMIT_AS, &limit);
        }
        dup2(errFd, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(TW_CLI_PATH));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(TW_CLI_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    close(outFd);
    close(errFd);
    result.out = Slurp(outPath);
    result.err = Slurp(errPath);
    unlink(outPath);
    unlink(errPath);
    return result;
}
