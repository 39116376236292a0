#include "Progress.h"

#include "FileJob.h"

#include <QLocale>
#include <cmath>
#include <cstdio>

namespace cli {
namespace {

void put(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

// "4 s", "2 min 05 s", "1 h 02 min".
QString duration(double seconds)
{
    const long long s = std::llround(seconds);
    if (s < 60)
        return QStringLiteral("%1 s").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 h %2 min").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString FrenchCount(std::size_t count)
{
    QString digits = QString::number(qulonglong(count));
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QChar(0x202F));
    return digits;
}

QString Summary(std::size_t done, std::size_t failed)
{
    return QStringLiteral("%1 %2, %3 en erreur")
        .arg(FrenchCount(done), done > 1 ? QStringLiteral("images traitées") : QStringLiteral("image traitée"),
             FrenchCount(failed));
}

Progress::Progress(std::size_t total, bool terminal) : total_(total), terminal_(terminal) { }

void Progress::Message(const QString& message)
{
    const std::lock_guard lock(mutex_);
    erase();
    put(ErrorLine(message) + QLatin1Char('\n'));
    draw();
}

void Progress::Finished(bool written)
{
    const std::lock_guard lock(mutex_);
    ++(written ? written_ : failed_);
    draw();
}

void Progress::Refresh()
{
    const std::lock_guard lock(mutex_);
    draw();
}

void Progress::Clear()
{
    const std::lock_guard lock(mutex_);
    erase();
    cleared_ = true;
}

std::size_t Progress::Written() const
{
    const std::lock_guard lock(mutex_);
    return written_;
}

std::size_t Progress::Failed() const
{
    const std::lock_guard lock(mutex_);
    return failed_;
}

void Progress::draw()
{
    if (!terminal_ || cleared_)
        return;
    const std::size_t done = written_ + failed_;
    QString line = QStringLiteral("%1/%2 images").arg(FrenchCount(done), FrenchCount(total_));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    if (done > 0 && elapsed > 0) {
        const double rate = double(done) / elapsed;
        line += QStringLiteral(", %1 images/s, reste %2")
                    .arg(QLocale(QLocale::French).toString(rate, 'f', 1), duration(double(total_ - done) / rate));
    }
    // Back to the start of the line, the new text, the rest of the old one erased.
    put(QLatin1Char('\r') + line + QStringLiteral("\x1b[K"));
    shown_ = true;
}

void Progress::erase()
{
    if (shown_)
        put(QStringLiteral("\r\x1b[K"));
    shown_ = false;
}

} // namespace cli
