#pragma once

#include <QString>
#include <chrono>
#include <cstddef>
#include <mutex>

// What a batch says on the standard error stream while it runs: the failures,
// one line each, and on a terminal one line of progress rewritten in place.
// Safe to call from every worker at once.
namespace cli {

// A count as French writes it: 1 998 (the digits grouped by a narrow no-break
// space).
QString FrenchCount(std::size_t count);

// "1 998 images traitées, 2 en erreur".
QString Summary(std::size_t done, std::size_t failed);

class Progress {
public:
    Progress(std::size_t total, bool terminal);

    // One failure or warning, on a line of its own above the progress line.
    void Message(const QString& message);
    // One file done, written or failed.
    void Finished(bool written);
    // Rewrites the progress line (on a terminal only).
    void Refresh();
    // Takes the progress line away, for good.
    void Clear();

    std::size_t Written() const;
    std::size_t Failed() const;

private:
    void draw(); // under mutex_
    void erase(); // under mutex_

    const std::size_t total_;
    const bool terminal_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    mutable std::mutex mutex_;
    std::size_t written_ = 0;
    std::size_t failed_ = 0;
    bool shown_ = false; // a progress line is on the screen
    bool cleared_ = false;
};

} // namespace cli
