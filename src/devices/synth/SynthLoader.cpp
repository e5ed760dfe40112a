#include "devices/synth/SynthLoader.h"

std::unique_ptr<CSynthCore> LoadSynthCore(const std::string& path, uint32_t rate,
                                          std::string& error)
{
    auto core = std::make_unique<CSynthCore>(rate);
    if (!core->Load(path, error)) return nullptr;
    return core;
}

CSynthLoader::CSynthLoader(LoadFn load) : m_load(std::move(load))
{
    m_disposals.reserve(kDisposeRoom);
    m_thread = std::thread([this] { Run(); });
}

CSynthLoader::~CSynthLoader()
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CSynthLoader::Request(const std::string& path, uint32_t rate)
{
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ++m_requested;
        m_path = path;
        m_rate = rate;
        m_busy = true;
    }
    m_wake.notify_one();
}

bool CSynthLoader::Take(SResult& result)
{
    if (!m_busy.load(std::memory_order_acquire)) return false;
    std::unique_lock<std::mutex> guard(m_lock, std::try_to_lock);
    if (!guard.owns_lock() || m_taken || m_finished != m_requested) return false;
    result = std::move(m_result);
    m_result = {};
    m_taken = true;
    m_busy = false;
    return true;
}

bool CSynthLoader::IsBusy() const
{
    return m_busy.load(std::memory_order_acquire);
}

bool CSynthLoader::WaitDone(std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> guard(m_lock);
    return m_done.wait_for(guard, timeout, [this] { return m_finished == m_requested; });
}

void CSynthLoader::Dispose(std::unique_ptr<CSynthCore> core)
{
    if (!core) return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_disposals.push_back(std::move(core));
    }
    m_wake.notify_one();
}

void CSynthLoader::Run()
{
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_wake.wait(guard,
                    [this] { return m_quit || !m_disposals.empty() || m_finished != m_requested; });
        if (!m_disposals.empty()) {
            std::vector<std::unique_ptr<CSynthCore>> gone;
            gone.swap(m_disposals);
            m_disposals.reserve(kDisposeRoom);
            guard.unlock();
            gone.clear();
            guard.lock();
            continue;
        }
        if (m_quit) return;
        const uint64_t request = m_requested;
        const std::string path = m_path;
        const uint32_t rate = m_rate;
        // A result nobody took is replaced: freed here, not where it would be taken.
        std::unique_ptr<CSynthCore> stale = std::move(m_result.core);
        guard.unlock();
        stale.reset();
        SResult result;
        result.core = m_load(path, rate, result.error);
        guard.lock();
        if (request != m_requested) {
            // Asked for another font meanwhile: this one goes, the loop loads the newer.
            m_disposals.push_back(std::move(result.core));
            continue;
        }
        m_result = std::move(result);
        m_finished = request;
        m_taken = false;
        m_done.notify_all();
    }
}
