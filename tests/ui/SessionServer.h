#pragma once
// A small session manager for tests: an OSC server on its own thread (as a real one is another
// process) that answers the announce and sends the first open by itself, keeps every message it
// gets, and sends requests to the client that announced.

#include <lo/lo.h>

#include <mutex>
#include <string>
#include <vector>

#include "document/SessionClient.h"

class CSessionServer {
public:
    // firstOpen: the path the first open names, empty for none; refuse: answer the announce with
    // an error instead.
    explicit CSessionServer(std::string firstOpen, bool refuse = false);
    ~CSessionServer();

    std::string GetUrl() const;
    // Everything received so far, oldest first.
    std::vector<SOscMessage> Received() const;
    // Waits, letting the program run, until count messages with this path (and, when not empty,
    // this first string argument) have arrived; false after a few seconds.
    bool WaitFor(const std::string& path, const std::string& first = {}, size_t count = 1) const;
    size_t Count(const std::string& path, const std::string& first = {}) const;
    void Send(const std::string& path, const std::vector<std::string>& strings = {});
    // Goes away as a manager that crashed: nothing answers any more.
    void Stop();

private:
    static int Collect(const char* path, const char* types, lo_arg** argv, int argc,
                       lo_message message, void* user);
    void SendOpen(const std::string& path);

    std::string m_firstOpen;
    bool m_refuse;
    lo_server_thread m_thread = nullptr;
    mutable std::mutex m_mutex;
    std::vector<SOscMessage> m_received;
    lo_address m_client = nullptr;
};
