#include "session/OscLink.h"

#include <lo/lo.h>

#include <cstring>
#include <utility>

namespace {

SOscMessage Decode(const char* path, const char* types, lo_arg** argv, int argc)
{
    SOscMessage message{path != nullptr ? path : "", {}};
    for (int i = 0; i < argc && types != nullptr && types[i] != '\0'; ++i) {
        SOscArg arg;
        arg.type = types[i];
        // liblo's arguments point into the packet, aligned to 4 only: read the bytes, not the
        // union (whose 64-bit members want 8).
        const char* bytes = reinterpret_cast<const char*>(argv[i]);
        switch (types[i]) {
        case 'i':
            std::memcpy(&arg.i, bytes, sizeof arg.i);
            break;
        case 'f':
            std::memcpy(&arg.f, bytes, sizeof arg.f);
            break;
        case 's':
        case 'S':
            arg.type = 's';
            arg.s = bytes;
            break;
        default:
            break; // kept as a tag only: no request of the protocol uses it
        }
        message.args.push_back(std::move(arg));
    }
    return message;
}

// Every message lands here while Receive polls.
int Collect(const char* path, const char* types, lo_arg** argv, int argc, lo_message, void* user)
{
    static_cast<std::vector<SOscMessage>*>(user)->push_back(Decode(path, types, argv, argc));
    return 0;
}

// liblo would print its socket errors; the reason reaches the caller instead.
void QuietError(int, const char*, const char*)
{}

} // namespace

class COscLink::CImpl {
public:
    ~CImpl()
    {
        if (m_server != nullptr) lo_server_free(m_server);
        if (m_address != nullptr) lo_address_free(m_address);
    }

    lo_server m_server = nullptr;
    lo_address m_address = nullptr;
    std::vector<SOscMessage> m_received;
};

COscLink::COscLink(std::unique_ptr<CImpl> impl) : m_impl(std::move(impl))
{}
COscLink::~COscLink() = default;

std::unique_ptr<COscLink> COscLink::Connect(const std::string& url, std::string& error)
{
    auto impl = std::make_unique<CImpl>();
    impl->m_address = lo_address_new_from_url(url.c_str());
    if (impl->m_address == nullptr || lo_address_get_protocol(impl->m_address) != LO_UDP) {
        error = "'" + url + "' is not an OSC address over UDP.";
        return nullptr;
    }
    impl->m_server = lo_server_new_with_proto(nullptr, LO_UDP, QuietError);
    if (impl->m_server == nullptr) {
        error = "No UDP socket could be opened for the session manager.";
        return nullptr;
    }
    lo_server_add_method(impl->m_server, nullptr, nullptr, Collect, &impl->m_received);
    return std::unique_ptr<COscLink>(new COscLink(std::move(impl)));
}

void COscLink::Send(const SOscMessage& message)
{
    lo_message out = lo_message_new();
    for (const SOscArg& arg : message.args) {
        if (arg.type == 'i')
            lo_message_add_int32(out, arg.i);
        else if (arg.type == 'f')
            lo_message_add_float(out, arg.f);
        else if (arg.type == 's')
            lo_message_add_string(out, arg.s.c_str());
    }
    lo_send_message_from(m_impl->m_address, m_impl->m_server, message.path.c_str(), out);
    lo_message_free(out);
}

std::vector<SOscMessage> COscLink::Receive(int timeoutMs)
{
    int wait = timeoutMs;
    while (lo_server_recv_noblock(m_impl->m_server, wait) > 0)
        wait = 0;
    return std::exchange(m_impl->m_received, {});
}

int COscLink::GetSocketFd() const
{
    return lo_server_get_socket_fd(m_impl->m_server);
}

bool DecodeOscPacket(const void* data, size_t size, SOscMessage& message)
{
    std::vector<char> bytes(static_cast<const char*>(data), static_cast<const char*>(data) + size);
    if (bytes.empty() || bytes[0] != '/') return false; // bundles are not part of the protocol
    int result = 0;
    lo_message decoded = lo_message_deserialise(bytes.data(), bytes.size(), &result);
    if (decoded == nullptr) return false;
    message = Decode(lo_get_path(bytes.data(), static_cast<ssize_t>(bytes.size())),
                     lo_message_get_types(decoded), lo_message_get_argv(decoded),
                     lo_message_get_argc(decoded));
    lo_message_free(decoded);
    return true;
}
