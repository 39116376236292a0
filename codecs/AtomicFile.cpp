#include "codecs/AtomicFile.h"

#include "codecs/TemporaryFiles.h"
#include "raster/Exception.h"

#include <QFile>
#include <QScopeGuard>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Writes are gathered up to this size; larger ones go straight to the file.
constexpr qsizetype kBufferBytes = qsizetype(256) << 10;

// The parent folder of `path` ("." for a bare name).
QByteArray folderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray& path) { return path.mid(path.lastIndexOf('/') + 1); }

// What every save of the process shares: its temporaries that have a name,
// the commits under way, and whether the program has given up its saves.
struct Saves {
    std::mutex mutex;
    std::condition_variable idle; // committing fell to 0
    std::set<QByteArray> named;
    int committing = 0;
    bool abandoned = false;
    bool committed = false;
};

Saves& saves()
{
    // Never destroyed: a thread may still be saving while the program ends.
    static Saves* const shared = new Saves;
    return *shared;
}

QString interrupted() { return QStringLiteral("l'enregistrement a été interrompu."); }

// An unnamed file is given a name through its entry in /proc, which every
// user may link (linkat with AT_EMPTY_PATH needs a privilege).
bool procFdWorks()
{
    static const bool works = ::access("/proc/self/fd", X_OK) == 0;
    return works;
}

} // namespace

QString FileErrorCause(int error)
{
    switch (error) {
    case ENOSPC: return QStringLiteral("disque plein.");
    case EDQUOT: return QStringLiteral("quota de disque dépassé.");
    case EFBIG: return QStringLiteral("fichier trop grand.");
    case ENAMETOOLONG: return QStringLiteral("nom trop long.");
    case ELOOP: return QStringLiteral("lien symbolique en boucle.");
    case EACCES:
    case EPERM: return QStringLiteral("accès refusé.");
    case EROFS: return QStringLiteral("système de fichiers en lecture seule.");
    case ENOENT:
    case ENOTDIR: return QStringLiteral("le dossier n'existe pas.");
    case EISDIR: return QStringLiteral("c'est un dossier.");
    case EIO: return QStringLiteral("erreur d'entrée-sortie du disque.");
    case ENOMEM: return QStringLiteral("mémoire insuffisante.");
    default: return QStringLiteral("l'écriture a échoué (%1).").arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

AtomicFile::AtomicFile(const QString& fileName, const QString& what, Links links) : what_(what)
{
    // Follow links to the file they name, so that a link stays a link. A loop
    // is an error, never a reason to put a file in the link's place.
    QByteArray path = QFile::encodeName(fileName);
    struct stat status { };
    bool exists = false;
    for (int hops = 0;; ++hops) {
        if (hops > 40)
            fail(ELOOP);
        if (::lstat(path.constData(), &status) != 0) {
            if (errno != ENOENT)
                fail(errno);
            break;
        }
        if (!S_ISLNK(status.st_mode)) {
            exists = true;
            break;
        }
        if (links == Links::ReplaceLink)
            break; // the rename puts the file in the link's place

        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(path.constData(), link.data(), size_t(link.size()));
        if (length < 0)
            fail(errno);
        link.truncate(length);
        path = link.startsWith('/') ? link : folderOf(path) + '/' + link;
    }
    target_ = path;
    folder_ = folderOf(target_);

    if (exists && S_ISDIR(status.st_mode))
        fail(QStringLiteral("c'est un dossier."));
    // A device or a pipe is never replaced by a file.
    if (exists && !S_ISREG(status.st_mode))
        fail(QStringLiteral("ce n'est pas un fichier ordinaire."));
    // A file marked read-only is never replaced, even when the system would let
    // this user do it.
    if (exists && !(status.st_mode & S_IWUSR))
        fail(QStringLiteral("le fichier est en lecture seule."));
    if (nameOf(target_).size() > NAME_MAX)
        fail(ENAMETOOLONG);
    struct stat folder { };
    if (::stat(folder_.constData(), &folder) != 0)
        fail(errno == ENOENT || errno == ENOTDIR ? ENOENT : errno);
    if (!S_ISDIR(folder.st_mode))
        fail(ENOENT);

    RemoveStaleTemporariesBeforeSave(folder_);

    // A file that other names share is written in place, so that each of them
    // sees the new content; it is opened now, so that a file this user may
    // not write is refused before any work.
    if (exists && links == Links::Follow && status.st_nlink > 1) {
        targetFd_ = ::open(target_.constData(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (targetFd_ < 0)
            fail(errno);
        if (::fstat(targetFd_, &status) != 0)
            fail(errno);
        if (!S_ISREG(status.st_mode))
            fail(QStringLiteral("ce n'est pas un fichier ordinaire."));
    }

    createTemporary();
    if (exists) {
        if (targetFd_ < 0) {
            keepOwner(status.st_uid, status.st_gid);
        } else {
            // Only a copy kept after a failure would show this owner: given
            // when this process may.
            [[maybe_unused]] const int given = ::fchown(fd_, status.st_uid, status.st_gid);
        }
        // The new file keeps the permissions of the one it replaces (after the
        // owner: a change of owner clears the set-id bits).
        ::fchmod(fd_, status.st_mode & 07777);
    }
    buffer_.reserve(kBufferBytes);
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::createTemporary()
{
    Saves& shared = saves();
    int error = 0;
    {
        // Made and registered at once: a program that gives up its saves
        // finds every named temporary.
        const std::lock_guard lock(shared.mutex);
        if (shared.abandoned)
            error = -1;
        if (error == 0 && procFdWorks()) {
            fd_ = ::open(folder_.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
            if (fd_ >= 0) {
                unnamed_ = true;
                // Locked for the instant it has a name, at Commit().
                ::flock(fd_, LOCK_EX | LOCK_NB);
            } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                // EISDIR: a kernel that does not know O_TMPFILE.
                error = errno;
            }
        }
        for (int attempt = 0; error == 0 && fd_ < 0; ++attempt) {
            if (attempt > 100) {
                error = EEXIST;
                break;
            }
            const QByteArray name = folder_ + '/' + NewTemporaryName();
            const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd < 0) {
                if (errno != EEXIST)
                    error = errno;
                continue;
            }
            // Another save that looked for stale temporaries may have opened
            // it before the lock: it removes it, and this save takes another
            // name. A file system without locks keeps every temporary.
            struct stat opened { };
            struct stat named { };
            const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
            if (!locked || ::fstat(fd, &opened) != 0 || ::lstat(name.constData(), &named) != 0 ||
                opened.st_ino != named.st_ino || opened.st_dev != named.st_dev) {
                ::close(fd);
                continue;
            }
            fd_ = fd;
            temporary_ = name;
            shared.named.insert(name);
        }
    }
    if (error == -1)
        fail(interrupted());
    if (error != 0)
        fail(error);
}

void AtomicFile::keepOwner(uid_t owner, gid_t group)
{
    struct stat made { };
    if (::fstat(fd_, &made) != 0)
        fail(errno);
    if (made.st_uid == owner && made.st_gid == group)
        return;
    // Root may give the file to anyone; a user, only to himself and to his
    // groups. Saving anyway would take the file from its owner or its group.
    if (::fchown(fd_, owner, group) == 0)
        return;
    if (errno != EPERM && errno != EINVAL)
        fail(errno);
    if (owner != ::geteuid())
        fail(QStringLiteral("le fichier appartient à un autre utilisateur, qui le perdrait."));
    fail(QStringLiteral("le fichier appartient à un groupe dont vous n'êtes pas membre, qui le perdrait."));
}

qint64 AtomicFile::writeData(const char* data, qint64 size)
{
    if (error_ != 0)
        return -1;
    end_ = std::max(end_, pos() + size);
    if (qsizetype(buffer_.size()) + size > kBufferBytes)
        flushBuffer();
    if (size >= kBufferBytes)
        writeAll(data, size); // large blocks skip the buffer
    else
        buffer_.insert(buffer_.end(), data, data + size);
    return error_ == 0 ? size : -1;
}

bool AtomicFile::seek(qint64 position)
{
    flushBuffer();
    if (error_ != 0 || ::lseek(fd_, off_t(position), SEEK_SET) < 0)
        return false;
    return QIODevice::seek(position);
}

void AtomicFile::writeAll(const char* data, qint64 size)
{
    // A short write is not an error in itself: the rest is written again, and
    // the call that cannot write anything says why.
    while (size > 0 && error_ == 0) {
        const ssize_t wrote = ::write(fd_, data, size_t(std::min<qint64>(size, qint64(1) << 30)));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote < 0) {
            error_ = errno;
            break;
        }
        data += wrote;
        size -= wrote;
    }
}

void AtomicFile::flushBuffer()
{
    writeAll(buffer_.data(), qint64(buffer_.size()));
    buffer_.clear();
}

void AtomicFile::Commit()
{
    flushBuffer();
    if (error_ != 0)
        fail(error_);
    // The data is on the disk before the name points at it: after a power cut
    // the target is the old file or the new one, never an empty one.
    if (::fsync(fd_) != 0)
        fail(errno);
    struct stat written { };
    if (::fstat(fd_, &written) != 0)
        fail(errno);
    if (written.st_size != end_)
        fail(EIO);

    // From here the target changes: a program that gives up its saves waits
    // for the end of this.
    Saves& shared = saves();
    {
        std::unique_lock lock(shared.mutex);
        if (shared.abandoned) {
            lock.unlock();
            fail(interrupted());
        }
        ++shared.committing;
    }
    bool done = false;
    const auto leave = qScopeGuard([&] {
        const std::lock_guard lock(shared.mutex);
        --shared.committing;
        shared.committed = shared.committed || done;
        shared.idle.notify_all();
    });
    if (targetFd_ >= 0)
        copyIntoTarget();
    else
        replaceTarget();
    done = true;

    // The data is synced; what the last close could report is not about it.
    // A named temporary whose content went into the target goes too.
    discard();
}

bool AtomicFile::linkTemporary(const QByteArray& path)
{
    if (!unnamed_)
        return ::link(temporary_.constData(), path.constData()) == 0;
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    return ::linkat(AT_FDCWD, self, AT_FDCWD, path.constData(), AT_SYMLINK_FOLLOW) == 0;
}

void AtomicFile::replaceTarget()
{
    Saves& shared = saves();
    // Only a rename replaces the target in one step, and only a file with a
    // name can be renamed: the unnamed one gets one for that instant, still
    // locked, so that no other save takes it for a stale one.
    for (int attempt = 0; unnamed_ && temporary_.isEmpty(); ++attempt) {
        const QByteArray name = folder_ + '/' + NewTemporaryName();
        if (linkTemporary(name)) {
            const std::lock_guard lock(shared.mutex);
            temporary_ = name;
            shared.named.insert(name);
        } else if (errno != EEXIST || attempt > 100) {
            fail(errno);
        }
    }
    if (::rename(temporary_.constData(), target_.constData()) != 0)
        fail(errno);
    {
        const std::lock_guard lock(shared.mutex);
        shared.named.erase(temporary_);
    }
    temporary_.clear();
    // The rename itself reaches the disk with its folder; a folder that cannot
    // be synced still holds the complete new file.
    const int folder = ::open(folder_.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void AtomicFile::copyIntoTarget()
{
    // While the file is rewritten, its complete new content also has a name
    // of its own beside it ("photo.nouveau.bmp"): if the copy fails, or the
    // program is killed in the middle of it, no pixel of it is lost.
    const QByteArray name = nameOf(target_);
    qsizetype dot = name.lastIndexOf('.');
    if (dot <= 0)
        dot = name.size();
    QByteArray kept;
    for (int attempt = 1;; ++attempt) {
        const QByteArray suffix = ".nouveau" + (attempt > 1 ? '-' + QByteArray::number(attempt) : QByteArray());
        // Cut to the longest name allowed, never in the middle of a character.
        qsizetype length = std::clamp<qsizetype>(NAME_MAX - suffix.size() - (name.size() - dot), 0, dot);
        while (length > 0 && length < dot && (uchar(name[length]) & 0xC0) == 0x80)
            --length;
        const QByteArray stem = name.left(length);
        kept = folder_ + '/' + stem + suffix + name.mid(dot);
        if (linkTemporary(kept))
            break;
        if (errno != EEXIST || attempt > 100)
            fail(errno); // the target is still untouched
    }

    int error = 0;
    std::vector<char> block(std::size_t(1) << 20);
    for (qint64 at = 0; at < end_ && error == 0;) {
        const ssize_t got =
            ::pread(fd_, block.data(), size_t(std::min<qint64>(end_ - at, qint64(block.size()))), off_t(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : EIO;
            break;
        }
        for (ssize_t done = 0; done < got && error == 0;) {
            const ssize_t put = ::pwrite(targetFd_, block.data() + done, size_t(got - done), off_t(at + done));
            if (put < 0 && errno != EINTR)
                error = errno;
            else if (put > 0)
                done += put;
        }
        at += got;
    }
    if (error == 0 && ::ftruncate(targetFd_, off_t(end_)) != 0)
        error = errno;
    if (error == 0 && ::fsync(targetFd_) != 0)
        error = errno;
    if (error != 0)
        fail(QStringLiteral("%1 Le fichier est peut-être incomplet ; la nouvelle image est gardée entière dans « %2 ».")
                 .arg(FileErrorCause(error), QFile::decodeName(kept)));
    ::unlink(kept.constData());
}

void AtomicFile::discard()
{
    // The name goes first, while the file is still locked.
    if (!temporary_.isEmpty()) {
        Saves& shared = saves();
        const std::lock_guard lock(shared.mutex);
        if (shared.named.erase(temporary_) != 0)
            ::unlink(temporary_.constData());
    }
    temporary_.clear();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (targetFd_ >= 0)
        ::close(targetFd_);
    targetFd_ = -1;
    if (isOpen())
        QIODevice::close();
}

bool AtomicFile::AbandonAll()
{
    Saves& shared = saves();
    std::unique_lock lock(shared.mutex);
    shared.abandoned = true;
    shared.idle.wait(lock, [&] { return shared.committing == 0; });
    for (const QByteArray& name : shared.named)
        ::unlink(name.constData());
    shared.named.clear();
    return shared.committed;
}

void AtomicFile::fail(int error) { fail(FileErrorCause(error)); }

void AtomicFile::fail(const QString& why)
{
    discard();
    throw ERasterError(QStringLiteral("%1 : %2").arg(what_, why));
}
