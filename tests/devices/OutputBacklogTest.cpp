#include "devices/alsa/OutputBacklog.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>

// A kernel pool of a few events that frees them as their time passes: whatever the order of
// pumps, every message goes in once, in order, never further ahead than allowed, and messages the
// pool refuses for good are counted, not retried.
TEST(OutputBacklog, FeedsAFullPoolInOrderWithoutLosingOrRunningAhead)
{
    constexpr int64_t kAhead = 1000;
    constexpr size_t kPool = 5;
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        COutputBacklog backlog(64);
        std::deque<int64_t> pool; // stamps the fake kernel holds
        std::vector<int64_t> written;
        int64_t refused = 0;
        int64_t now = 0;
        int64_t stamp = 0;
        int64_t pushed = 0;
        int64_t expectRefused = 0;
        auto write = [&](const SMidiOutRecord& record) {
            EXPECT_LE(record.time, now + kAhead) << "went in too early";
            if (record.bytes[0] == 0xF4) return -EINVAL; // undefined status: refused for good
            if (pool.size() == kPool) return -EAGAIN;
            pool.push_back(record.time);
            written.push_back(record.time);
            return 0;
        };
        for (int step = 0; step < 400; ++step) {
            const int burst = std::uniform_int_distribution<int>(0, 6)(random);
            for (int i = 0; i < burst; ++i) {
                stamp += std::uniform_int_distribution<int64_t>(0, 300)(random);
                const bool bad = std::uniform_int_distribution<int>(0, 30)(random) == 0;
                SMidiOutRecord record{stamp, 1, {static_cast<uint8_t>(bad ? 0xF4 : 0xF8), 0, 0}};
                if (!backlog.Push(record)) break;
                ++pushed;
                expectRefused += bad ? 1 : 0;
            }
            backlog.Pump(now, kAhead, write, refused);
            now += std::uniform_int_distribution<int64_t>(0, 400)(random);
            while (!pool.empty() && pool.front() <= now)
                pool.pop_front();
        }
        while (!backlog.IsEmpty()) {
            now += 500;
            pool.clear();
            backlog.Pump(now, kAhead, write, refused);
        }
        EXPECT_EQ(static_cast<int64_t>(written.size()) + refused, pushed);
        EXPECT_EQ(refused, expectRefused);
        EXPECT_TRUE(std::is_sorted(written.begin(), written.end()));
    }
    COutputBacklog small(2);
    EXPECT_TRUE(small.Push({}));
    EXPECT_TRUE(small.Push({}));
    EXPECT_FALSE(small.Push({})) << "a full ring refuses";
}
