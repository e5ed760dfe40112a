#pragma once
// Note-offs an output owes its listener. A note-off the system refused, or that found no room in
// the output's queue, would leave its note hanging on the instrument; the output remembers its
// channel and key here and sends the note-off once every message queued before it has gone out,
// so that it follows the note-on it ends. (A note of the same key started meanwhile ends with it:
// this only happens when the output is overloaded, and a cut note beats a hanging one.)
// Owe may run on any thread; TakeAll runs on the one thread that writes the port.

#include <array>
#include <atomic>
#include <cstdint>

class CNoteDebt {
public:
    static constexpr int kKeys = 16 * 128;

    // Remembers the message when it ends a note (a note-off, or a note-on of velocity 0); it is
    // due once the output has sent `queuedBefore` messages in all.
    void Owe(const uint8_t* bytes, uint32_t length, uint64_t queuedBefore)
    {
        const int key = EndedKey(bytes, length);
        if (key < 0) return;
        uint64_t due = m_due.load(std::memory_order_relaxed);
        while (due < queuedBefore && !m_due.compare_exchange_weak(due, queuedBefore)) {
        }
        m_words[static_cast<size_t>(key / 64)].fetch_or(Bit(key));
        m_any.store(true);
    }

    // Once `sent` messages have gone out, hands every owed note-off to send(bytes), which
    // returns false when it could not; those stay owed for the next call.
    template <typename FSend>
    void TakeAll(uint64_t sent, FSend&& send)
    {
        if (!m_any.load() || sent < m_due.load()) return;
        m_any.store(false);
        if (sent < m_due.load()) { // a note-off owed meanwhile waits for its note-on
            m_any.store(true);
            return;
        }
        for (size_t w = 0; w < m_words.size(); ++w) {
            uint64_t bits = m_words[w].exchange(0);
            while (bits != 0) {
                const int bit = __builtin_ctzll(bits);
                bits &= bits - 1;
                const int key = static_cast<int>(w) * 64 + bit;
                const uint8_t off[3] = {NoteOff(key), static_cast<uint8_t>(key % 128), 0};
                if (!send(off)) Owe(off, 3, sent);
            }
        }
    }

private:
    static uint8_t NoteOff(int key) { return static_cast<uint8_t>(0x80 | (key / 128)); }
    static uint64_t Bit(int key) { return uint64_t{1} << (key % 64); }

    // The channel * 128 + key a message ends, or -1.
    static int EndedKey(const uint8_t* bytes, uint32_t length)
    {
        if (length < 3) return -1;
        const uint8_t kind = bytes[0] & 0xf0;
        if (kind != 0x80 && !(kind == 0x90 && bytes[2] == 0)) return -1;
        return (bytes[0] & 0x0f) * 128 + (bytes[1] & 0x7f);
    }

    std::array<std::atomic<uint64_t>, kKeys / 64> m_words{};
    std::atomic<bool> m_any{false};
    std::atomic<uint64_t> m_due{0};
};
