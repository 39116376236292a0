#include "ui/Aside.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

int running = 0;
std::vector<std::pair<QPointer<QObject>, std::function<void()>>> waiting;
std::function<void()> testGate;

void callWaiting()
{
    if (running != 0)
        return;
    auto calls = std::exchange(waiting, {});
    for (auto& [context, then] : calls)
        if (context)
            then();
}

// Calls the waiting from the event loop, once the current event is handled.
void callWaitingSoon()
{
    static QPointer<QTimer> timer;
    if (!timer) {
        timer = new QTimer(QCoreApplication::instance());
        timer->setSingleShot(true);
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, callWaiting);
    }
    timer->start();
}

} // namespace

bool AsideRunning() { return running > 0; }

void SetAsideGate(std::function<void()> gate) { testGate = std::move(gate); }

void WhenNothingAside(QObject* context, std::function<void()> then)
{
    waiting.emplace_back(context, std::move(then));
    if (running == 0)
        callWaitingSoon();
}

void RunAside(const std::function<void()>& work, const std::function<void(bool)>& busy, int momentMs)
{
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::exception_ptr error;
    QEventLoop loop;
    ++running;
    std::thread thread([&, gate = testGate] {
        try {
            if (gate)
                gate();
            work();
        } catch (...) {
            error = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex);
            done = true;
        }
        ended.notify_all();
        // The loop outlives this call: the thread is joined before it goes.
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    bool quick = false;
    {
        std::unique_lock lock(mutex);
        quick = ended.wait_for(lock, std::chrono::milliseconds(momentMs), [&] { return done; });
    }
    if (!quick) {
        if (busy)
            busy(true);
        // Returns when the work ends, or at once when the program is ending
        // (the join below then waits).
        loop.exec();
    }
    thread.join();
    if (!quick && busy)
        busy(false);
    --running;
    if (running == 0 && !waiting.empty())
        callWaitingSoon();
    if (error)
        std::rethrow_exception(error);
}
