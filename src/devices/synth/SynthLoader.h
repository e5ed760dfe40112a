#pragma once
// Loads SoundFonts on a thread of its own, so neither the music thread nor an audio thread ever
// waits for a font to come off the disk, and deletes the synthesizers no longer in use there too
// (freeing a big font takes a while as well).
//
// Threads: every member on any thread but the loader's own. The lock inside is held only for a
// moment (never while a font loads), and Take does not even wait for that.

#include "devices/synth/SynthCore.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A synthesizer at rate with the font at path, or null with the reason in error.
std::unique_ptr<CSynthCore> LoadSynthCore(const std::string& path, uint32_t rate,
                                          std::string& error);

class CSynthLoader {
public:
    using LoadFn = std::function<std::unique_ptr<CSynthCore>(const std::string& path, uint32_t rate,
                                                             std::string& error)>;
    // What a finished request gives: the synthesizer, or null and the reason.
    struct SResult {
        std::unique_ptr<CSynthCore> core;
        std::string error;
    };

    explicit CSynthLoader(LoadFn load = LoadSynthCore);
    ~CSynthLoader(); // lets a load under way finish, deletes what is left
    CSynthLoader(const CSynthLoader&) = delete;
    CSynthLoader& operator=(const CSynthLoader&) = delete;

    // Loads path at rate in place of any earlier request (whose result, if any, is dropped).
    void Request(const std::string& path, uint32_t rate);
    // When the latest request has finished: true and its result (the synthesizer handed over);
    // once taken, false again until the next request. Never waits: real-time safe.
    bool Take(SResult& result);
    // True from a request until its result is taken.
    bool IsBusy() const;
    // Waits until the latest request has finished (taken or not) or timeout passed; true when
    // it has. Never on the music or an audio thread.
    bool WaitDone(std::chrono::milliseconds timeout) const;
    // Deletes core on the loader's thread. Takes the lock for a moment; allocates nothing while
    // fewer than kDisposeRoom wait.
    void Dispose(std::unique_ptr<CSynthCore> core);

    static constexpr size_t kDisposeRoom = 8;

private:
    void Run();

    LoadFn m_load;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_wake; // the loader: work to do
    mutable std::condition_variable m_done; // waiters: a request finished
    uint64_t m_requested = 0;               // requests made
    uint64_t m_finished = 0;                // the request whose result is in m_result
    bool m_taken = true;                    // m_result was handed over (or none yet)
    std::string m_path;
    uint32_t m_rate = 0;
    SResult m_result;
    std::vector<std::unique_ptr<CSynthCore>> m_disposals;
    bool m_quit = false;
    std::atomic<bool> m_busy{false}; // a request not yet taken
    std::thread m_thread;
};
