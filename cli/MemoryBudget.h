#pragma once

#include <QtGlobal>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// The memory a batch lets its pictures hold at once. A worker asks for its
// picture's bytes before reading it and waits, without spinning, until they
// fit beside what the others hold; a picture larger than the whole budget
// waits until nothing else is held, then runs alone. Requests are served in
// the order they came, so a large picture is never passed over for ever by
// smaller ones.
namespace cli {

class MemoryBudget {
public:
    explicit MemoryBudget(qint64 bytes) : budget_(bytes) { }
    MemoryBudget(const MemoryBudget&) = delete;
    MemoryBudget& operator=(const MemoryBudget&) = delete;

    // Waits for `bytes` and holds them. False, holding nothing, once Stop has
    // been called (before or during the wait).
    bool Acquire(qint64 bytes);
    // Gives back what one Acquire took.
    void Release(qint64 bytes);
    // Wakes every waiting worker and refuses every further request.
    void Stop();

    // How many requests were made so far, served or waiting.
    std::uint64_t Requests() const;
    // The most bytes held at once so far, and the most holders at once.
    qint64 MostHeld() const;
    int MostHolders() const;

private:
    const qint64 budget_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    qint64 held_ = 0;
    int holders_ = 0;
    std::uint64_t nextTicket_ = 0; // the ticket the next request takes
    std::uint64_t serving_ = 0; // the ticket whose turn it is
    bool stopped_ = false;
    qint64 mostHeld_ = 0;
    int mostHolders_ = 0;
};

// Half of the memory the system says is available (MemAvailable in
// /proc/meminfo; the free pages when that cannot be read).
qint64 DefaultMemoryBudget();

// All the machine's memory.
qint64 TotalMemory();

} // namespace cli
