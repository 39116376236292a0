#pragma once

#include <QThread>
#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

// Rows shared among threads, for the kernels whose rows are independent.
namespace effects::bands {

// How many bands `rows` rows of `pixels` pixels in all are worth: one a thread
// up to QThread::idealThreadCount(), none smaller than `least` pixels.
inline int Count(int rows, double pixels, double least)
{
    const int worth = int(std::min(pixels / least, 1024.0));
    return std::max(1, std::min({QThread::idealThreadCount(), worth, rows}));
}

// Calls work(band, top, bottom) for `count` bands of rows [0, rows), together:
// the first on the calling thread, the others each on a thread of its own (or
// here too when no thread can be had). Returns once all are done.
template <typename Work> void Run(int rows, int count, const Work& work)
{
    const auto top = [&](int b) { return int(qint64(rows) * b / count); };
    std::vector<std::thread> threads;
    for (int b = 1; b < count; ++b) {
        try {
            threads.emplace_back([&work, b, from = top(b), to = top(b + 1)] { work(b, from, to); });
        } catch (const std::system_error&) {
            work(b, top(b), top(b + 1));
        }
    }
    work(0, 0, top(1));
    for (std::thread& t : threads)
        t.join();
}

} // namespace effects::bands
