#pragma once
// tonalweaver-cli running in the background for a JACK test, its standard error kept in a file.

#include "JackTestServer.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

class CBackgroundCli {
public:
    explicit CBackgroundCli(const std::vector<std::string>& args)
    {
        char path[] = "/tmp/twplay-err-XXXXXX";
        const int errFd = mkstemp(path);
        m_errPath = path;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(errFd, STDERR_FILENO);
            std::vector<char*> argv{const_cast<char*>(TW_CLI_PATH)};
            for (const std::string& arg : args)
                argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(TW_CLI_PATH, argv.data());
            _exit(127);
        }
        close(errFd);
    }
    ~CBackgroundCli()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        unlink(m_errPath.c_str());
    }

    void Signal(int signal) const { kill(m_pid, signal); }
    // Waits for the end; its exit status, or -1 when it did not end in time (or was killed).
    int Wait(std::chrono::milliseconds timeout)
    {
        int status = 0;
        if (!WaitUntil([&] { return waitpid(m_pid, &status, WNOHANG) == m_pid; }, timeout))
            return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Error() const
    {
        std::ifstream in(m_errPath);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    pid_t m_pid = -1;
    std::string m_errPath;
};
