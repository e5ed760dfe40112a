#include "devices/LibraryMessages.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<bool> g_verbose{false};
thread_local CLibraryMessageCollector* t_collector = nullptr;

} // namespace

void SetLibraryMessagesVerbose(bool verbose)
{
    g_verbose.store(verbose, std::memory_order_relaxed);
}

bool AreLibraryMessagesVerbose()
{
    return g_verbose.load(std::memory_order_relaxed);
}

bool IsLibraryMessageWanted()
{
    return t_collector != nullptr || AreLibraryMessagesVerbose();
}

std::string LibraryMessageLine(const SLibraryMessage& message)
{
    std::string line = message.library + ": " + message.text;
    if (!message.origin.empty()) line += " [" + message.origin + "]";
    return line;
}

void ReportLibraryMessage(SLibraryMessage message)
{
    while (!message.text.empty() && (message.text.back() == '\n' || message.text.back() == '\r'))
        message.text.pop_back();
    if (AreLibraryMessagesVerbose()) {
        // One write per line, so lines of several threads do not mix.
        const std::string line = LibraryMessageLine(message) + "\n";
        std::fputs(line.c_str(), stderr);
    }
    if (t_collector != nullptr) t_collector->m_messages.push_back(std::move(message));
}

CLibraryMessageCollector::CLibraryMessageCollector() : m_outer(t_collector)
{
    t_collector = this;
}

CLibraryMessageCollector::~CLibraryMessageCollector()
{
    t_collector = m_outer;
}

std::string CLibraryMessageCollector::FirstError(const std::string& library) const
{
    for (const SLibraryMessage& message : m_messages)
        if (message.level == ELibraryLevel::Error && message.library == library)
            return message.text;
    return {};
}

std::string CLibraryMessageCollector::LastError(const std::string& library) const
{
    for (auto it = m_messages.rbegin(); it != m_messages.rend(); ++it)
        if (it->level == ELibraryLevel::Error && it->library == library) return it->text;
    return {};
}
