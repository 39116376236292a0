#include "MemoryBudget.h"

#include <QFile>
#include <algorithm>
#include <unistd.h>

namespace cli {

bool MemoryBudget::Acquire(qint64 bytes)
{
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = nextTicket_++;
    // Its turn, then room: the bytes fit beside the others', or nothing else
    // is held.
    changed_.wait(lock,
                  [&] { return stopped_ || (ticket == serving_ && (holders_ == 0 || held_ + bytes <= budget_)); });
    if (stopped_)
        return false;
    ++serving_;
    held_ += bytes;
    ++holders_;
    mostHeld_ = std::max(mostHeld_, held_);
    mostHolders_ = std::max(mostHolders_, holders_);
    // The next in line may fit too.
    changed_.notify_all();
    return true;
}

std::uint64_t MemoryBudget::Requests() const
{
    const std::lock_guard lock(mutex_);
    return nextTicket_;
}

void MemoryBudget::Release(qint64 bytes)
{
    {
        const std::lock_guard lock(mutex_);
        held_ -= bytes;
        --holders_;
    }
    changed_.notify_all();
}

void MemoryBudget::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    changed_.notify_all();
}

qint64 MemoryBudget::MostHeld() const
{
    const std::lock_guard lock(mutex_);
    return mostHeld_;
}

int MemoryBudget::MostHolders() const
{
    const std::lock_guard lock(mutex_);
    return mostHolders_;
}

qint64 TotalMemory() { return qint64(::sysconf(_SC_PHYS_PAGES)) * ::sysconf(_SC_PAGESIZE); }

qint64 DefaultMemoryBudget()
{
    qint64 available = 0;
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly | QIODevice::Text))
        for (QByteArray line = meminfo.readLine(); !line.isEmpty(); line = meminfo.readLine())
            if (line.startsWith("MemAvailable:")) {
                // "MemAvailable:   24230860 kB"
                bool ok = false;
                const qint64 kib = line.mid(13).trimmed().split(' ').value(0).toLongLong(&ok);
                if (ok)
                    available = kib * 1024;
                break;
            }
    if (available <= 0)
        available = qint64(::sysconf(_SC_AVPHYS_PAGES)) * ::sysconf(_SC_PAGESIZE);
    // At least something, even where the system says nothing: every picture
    // then runs alone.
    return std::max<qint64>(available / 2, 1);
}

} // namespace cli
