#include "codecs/TemporaryFiles.h"

#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kTemporaryPrefix[] = ".velmora-";
constexpr char kTemporarySuffix[] = ".tmp";

// Exactly the names NewTemporaryName() gives: the 1 to 13 base-36 digits of a
// 64-bit number between the prefix and the suffix.
bool isTemporaryName(const char* name)
{
    const qsizetype prefix = qsizetype(sizeof kTemporaryPrefix) - 1, suffix = qsizetype(sizeof kTemporarySuffix) - 1;
    const qsizetype length = qsizetype(std::strlen(name));
    const qsizetype digits = length - prefix - suffix;
    if (digits < 1 || digits > 13 || std::strncmp(name, kTemporaryPrefix, size_t(prefix)) != 0 ||
        std::strcmp(name + length - suffix, kTemporarySuffix) != 0)
        return false;
    return std::all_of(name + prefix, name + prefix + digits,
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

void removeStaleIn(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporaryName(entry->d_name) || (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN))
            continue;
        // Never through a link, never blocked by a pipe.
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            continue;
        // A save holds its temporary locked while it lives: a lock taken here
        // means that the program which wrote it has ended. The name must still
        // be the file locked.
        struct stat opened {
        }, named{};
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino)
            ::unlinkat(dirFd, entry->d_name, 0);
        ::close(fd);
    }
    ::closedir(dir);
}

} // namespace

void RemoveStaleTemporaries(const QString& folder) { removeStaleIn(QFile::encodeName(folder)); }

void RemoveStaleTemporariesBeforeSave(const QByteArray& folder)
{
    static std::mutex mutex;
    static std::map<QByteArray, std::chrono::steady_clock::time_point> lastLook;
    const auto now = std::chrono::steady_clock::now();
    {
        const std::lock_guard lock(mutex);
        const auto last = lastLook.find(folder);
        if (last != lastLook.end() && now - last->second < std::chrono::seconds(2))
            return;
        lastLook[folder] = now;
    }
    removeStaleIn(folder);
}

QByteArray NewTemporaryName()
{
    return kTemporaryPrefix + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + kTemporarySuffix;
}
