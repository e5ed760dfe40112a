#include "SessionServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdlib>

#include "session/OscLink.h"

namespace {

void QuietError(int, const char*, const char*)
{}

} // namespace

CSessionServer::CSessionServer(std::string firstOpen, bool refuse)
    : m_firstOpen(std::move(firstOpen)), m_refuse(refuse)
{
    m_thread = lo_server_thread_new_with_proto(nullptr, LO_UDP, QuietError);
    lo_server_thread_add_method(m_thread, nullptr, nullptr, Collect, this);
    lo_server_thread_start(m_thread);
}

CSessionServer::~CSessionServer()
{
    Stop();
    if (m_client != nullptr) lo_address_free(m_client);
}

void CSessionServer::Stop()
{
    if (m_thread == nullptr) return;
    lo_server_thread_stop(m_thread);
    lo_server_thread_free(m_thread);
    m_thread = nullptr;
}

std::string CSessionServer::GetUrl() const
{
    char* url = lo_server_thread_get_url(m_thread);
    std::string text = url;
    std::free(url);
    return text;
}

int CSessionServer::Collect(const char* path, const char* types, lo_arg** argv, int argc,
                            lo_message message, void* user)
{
    auto& self = *static_cast<CSessionServer*>(user);
    SOscMessage decoded;
    // The same decoding the program uses: serialise and read back.
    size_t size = 0;
    void* bytes = lo_message_serialise(message, path, nullptr, &size);
    DecodeOscPacket(bytes, size, decoded);
    std::free(bytes);
    (void)types;
    (void)argv;
    (void)argc;
    {
        std::lock_guard<std::mutex> lock(self.m_mutex);
        self.m_received.push_back(decoded);
        if (decoded.path != "/nsm/server/announce") return 0;
        lo_address source = lo_message_get_source(message);
        if (self.m_client != nullptr) lo_address_free(self.m_client);
        self.m_client =
            lo_address_new(lo_address_get_hostname(source), lo_address_get_port(source));
    }
    lo_server server = lo_server_thread_get_server(self.m_thread);
    if (self.m_refuse) {
        lo_send_from(self.m_client, server, LO_TT_IMMEDIATE, "/error", "sis",
                     "/nsm/server/announce", -2, "Incompatible API");
        return 0;
    }
    lo_send_from(self.m_client, server, LO_TT_IMMEDIATE, "/reply", "ssss", "/nsm/server/announce",
                 "Welcome", "test-nsm", ":server-control:");
    if (!self.m_firstOpen.empty()) self.SendOpen(self.m_firstOpen);
    return 0;
}

void CSessionServer::SendOpen(const std::string& path)
{
    lo_send_from(m_client, lo_server_thread_get_server(m_thread), LO_TT_IMMEDIATE,
                 "/nsm/client/open", "sss", path.c_str(), "Song", "Tonalweaver.nTEST");
}

void CSessionServer::Send(const std::string& path, const std::vector<std::string>& strings)
{
    lo_message message = lo_message_new();
    for (const std::string& text : strings)
        lo_message_add_string(message, text.c_str());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        lo_send_message_from(m_client, lo_server_thread_get_server(m_thread), path.c_str(),
                             message);
    }
    lo_message_free(message);
}

std::vector<SOscMessage> CSessionServer::Received() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_received;
}

size_t CSessionServer::Count(const std::string& path, const std::string& first) const
{
    size_t count = 0;
    for (const SOscMessage& message : Received())
        if (message.path == path &&
            (first.empty() || (!message.args.empty() && message.args[0].s == first)))
            ++count;
    return count;
}

bool CSessionServer::WaitFor(const std::string& path, const std::string& first, size_t count) const
{
    QElapsedTimer timer;
    timer.start();
    while (Count(path, first) < count) {
        if (timer.elapsed() > 5000) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}
