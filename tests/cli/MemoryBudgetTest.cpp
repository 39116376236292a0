// The batch's memory budget, with threads: what is held together never passes
// it, a picture larger than it runs alone, requests are served in order, and
// a stop wakes whoever waits.
#include "MemoryBudget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

TEST(MemoryBudget, HoldsTogetherOnlyWhatFits)
{
    struct Case {
        std::string name;
        qint64 budget;
        std::vector<qint64> requests;
        qint64 mostHeld;
        int mostHolders;
    };
    const std::vector<Case> cases = {
        {"two fit at a time", 100, {50, 50, 50, 50}, 100, 2},
        {"no two fit", 100, {60, 60, 60}, 60, 1},
        {"all fit", 1000, {100, 200, 300}, 600, 3},
        // The large one waits for the first to end and holds alone; the
        // small one after it waits its turn although it would fit sooner.
        {"larger than the budget runs alone", 100, {30, 250, 30}, 250, 1},
        {"nothing asked", 10, {0, 0, 20}, 20, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cli::MemoryBudget budget(c.budget);
        // Each request on a thread of its own, started once the one before
        // is made, so that they queue in this order; each holds its bytes
        // until every request is made.
        std::mutex mutex;
        std::vector<int> order;
        std::vector<std::thread> threads;
        const auto untilRequests = [&budget](std::uint64_t count) {
            while (budget.Requests() < count)
                std::this_thread::sleep_for(1ms);
        };
        for (size_t i = 0; i < c.requests.size(); ++i) {
            threads.emplace_back([&, i] {
                ASSERT_TRUE(budget.Acquire(c.requests[i]));
                {
                    const std::lock_guard lock(mutex);
                    order.push_back(int(i));
                }
                untilRequests(c.requests.size());
                budget.Release(c.requests[i]);
            });
            untilRequests(i + 1);
        }
        for (std::thread& thread : threads)
            thread.join();
        std::vector<int> inTurn(c.requests.size());
        std::iota(inTurn.begin(), inTurn.end(), 0);
        EXPECT_EQ(order, inTurn);
        EXPECT_EQ(budget.MostHeld(), c.mostHeld);
        EXPECT_EQ(budget.MostHolders(), c.mostHolders);
    }
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
