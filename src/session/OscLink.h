#pragma once
// The session manager's OSC link over UDP (liblo): a socket of our own that sends to the
// manager's address and receives its requests. No thread: the owner polls the socket (the
// program from its event loop when the socket is readable), so every message is handled on the
// user-interface thread.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "document/SessionClient.h"

class COscLink : public CSessionTransport {
public:
    // Opens a socket and addresses the manager at url (like "osc.udp://host:port/"). Null with
    // the reason in error when the URL is not an OSC UDP address or no socket opens.
    static std::unique_ptr<COscLink> Connect(const std::string& url, std::string& error);
    ~COscLink() override;

    COscLink(const COscLink&) = delete;
    COscLink& operator=(const COscLink&) = delete;

    // Sends to the manager from our socket, so its answers come back here. A manager that has
    // gone away loses the message; nothing else happens.
    void Send(const SOscMessage& message) override;
    // The messages waiting, oldest first, after waiting up to timeoutMs for the first one.
    std::vector<SOscMessage> Receive(int timeoutMs);
    // For a readiness notifier.
    int GetSocketFd() const;

private:
    class CImpl;
    explicit COscLink(std::unique_ptr<CImpl> impl);
    std::unique_ptr<CImpl> m_impl;
};

// Decodes one OSC packet (a message, not a bundle); false for bytes that are not one.
bool DecodeOscPacket(const void* data, size_t size, SOscMessage& message);
