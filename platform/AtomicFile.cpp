#include "platform/AtomicFile.h"

#include "platform/Exception.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
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
    if (::stat(folderOf(target_).constData(), &folder) != 0)
        fail(errno == ENOENT || errno == ENOTDIR ? ENOENT : errno);
    if (!S_ISDIR(folder.st_mode))
        fail(ENOENT);

    // A short name of our own, so that a long target name still leaves room.
    for (int attempt = 0; fd_ < 0; ++attempt) {
        temporary_ = folderOf(target_) + "/.velmora-" +
                     QByteArray::number(QRandomGenerator::global()->generate64(), 36) + ".tmp";
        fd_ = ::open(temporary_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt > 100)) {
            temporary_.clear();
            fail(errno);
        }
    }
    // The new file keeps the permissions of the one it replaces.
    if (exists)
        ::fchmod(fd_, status.st_mode & 07777);
    buffer_.reserve(kBufferBytes);
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

AtomicFile::~AtomicFile() { discard(); }

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
    const int fd = fd_;
    fd_ = -1;
    // Linux releases the descriptor even when close reports EINTR; the data is
    // already synced then.
    if (::close(fd) != 0 && errno != EINTR)
        fail(errno);
    if (::rename(temporary_.constData(), target_.constData()) != 0)
        fail(errno);
    temporary_.clear();
    QIODevice::close();
    // The rename itself reaches the disk with its folder; a folder that cannot
    // be synced still holds the complete new file.
    const int folder = ::open(folderOf(target_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
}

void AtomicFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.isEmpty())
        ::unlink(temporary_.constData());
    temporary_.clear();
    if (isOpen())
        QIODevice::close();
}

void AtomicFile::fail(int error) { fail(FileErrorCause(error)); }

void AtomicFile::fail(const QString& why)
{
    discard();
    throw ERasterError(QStringLiteral("%1 : %2").arg(what_, why));
}
