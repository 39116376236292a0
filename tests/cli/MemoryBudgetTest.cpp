// The batch's memory budget, with threads: what is held together never passes
// it, a picture larger than it runs alone, requests are served in order, and
// a stop wakes whoever waits.
#include "MemoryBudget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Each request on a thread of its own, started one after the other so that
// they queue in this order; each holds its bytes a while. Returns the order
// in which they were granted.
std::vector<int> holdInTurn(cli::MemoryBudget& budget, const std::vector<qint64>& requests)
{
    std::mutex mutex;
    std::vector<int> order;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < requests.size(); ++i) {
        threads.emplace_back([&, i] {
            ASSERT_TRUE(budget.Acquire(requests[i]));
            {
                const std::lock_guard lock(mutex);
                order.push_back(int(i));
            }
            std::this_thread::sleep_for(40ms);
            budget.Release(requests[i]);
        });
        std::this_thread::sleep_for(5ms);
    }
    for (std::thread& thread : threads)
        thread.join();
    return order;
}

} // namespace

TEST(MemoryBudget, HoldsTogetherOnlyWhatFits)
{
    struct Case {
        std::string name;
        qint64 budget;
        std::vector<qint64> requests;
        qint64 mostHeld;
        int mostHolders;
        std::vector<int> order;
    };
    const std::vector<Case> cases = {
        {"two fit at a time", 100, {50, 50, 50, 50}, 100, 2, {0, 1, 2, 3}},
        {"no two fit", 100, {60, 60, 60}, 60, 1, {0, 1, 2}},
        {"all fit", 1000, {100, 200, 300}, 600, 3, {0, 1, 2}},
        // The large one waits for the first to end and holds alone; the
        // small one after it waits its turn although it would fit sooner.
        {"larger than the budget runs alone", 100, {30, 250, 30}, 250, 1, {0, 1, 2}},
        {"nothing asked", 10, {0, 0, 20}, 20, 2, {0, 1, 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cli::MemoryBudget budget(c.budget);
        EXPECT_EQ(holdInTurn(budget, c.requests), c.order);
        EXPECT_EQ(budget.MostHeld(), c.mostHeld);
        EXPECT_EQ(budget.MostHolders(), c.mostHolders);
    }
}

// Many threads taking and giving back at random never hold more than the
// budget, except a request larger than the budget, which holds alone.
TEST(MemoryBudget, ManyThreadsNeverPassIt)
{
    cli::MemoryBudget budget(1000);
    std::atomic<qint64> held{0};
    std::atomic<qint64> mostSeen{0};
    std::atomic<bool> overlapWithLarge{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 16; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                const qint64 bytes = (t * 37 + round * 101) % 7 == 0 ? 1500 : 100 + (t * 53 + round * 17) % 400;
                ASSERT_TRUE(budget.Acquire(bytes));
                const qint64 now = held += bytes;
                if (bytes > 1000 && now != bytes)
                    overlapWithLarge = true;
                for (qint64 seen = mostSeen; now > seen && !mostSeen.compare_exchange_weak(seen, now);) {
                }
                std::this_thread::yield();
                held -= bytes;
                budget.Release(bytes);
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_FALSE(overlapWithLarge);
    EXPECT_LE(mostSeen.load(), 1500);
    EXPECT_EQ(budget.MostHeld(), 1500);
    EXPECT_EQ(held.load(), 0);
}

// A worker waiting for memory is woken by a stop, holding nothing; a request
// after the stop is refused at once.
TEST(MemoryBudget, AStopWakesTheWaiting)
{
    cli::MemoryBudget budget(100);
    ASSERT_TRUE(budget.Acquire(80));
    std::atomic<int> refused{0};
    std::vector<std::thread> waiting;
    for (int i = 0; i < 3; ++i)
        waiting.emplace_back([&] { refused += budget.Acquire(50) ? 0 : 1; });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(refused.load(), 0);
    const auto stopped = std::chrono::steady_clock::now();
    budget.Stop();
    for (std::thread& thread : waiting)
        thread.join();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 1s);
    EXPECT_EQ(refused.load(), 3);
    EXPECT_FALSE(budget.Acquire(1));
    EXPECT_EQ(budget.MostHeld(), 80);
    budget.Release(80);
}
