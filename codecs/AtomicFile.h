#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <algorithm>
#include <sys/types.h>
#include <vector>

// A file written in full or not at all. The bytes go to a temporary file in the
// target's folder, made without a name where the file system allows it (so that
// nothing is left behind whatever ends the program); Commit() checks that every
// byte reached the disk (writes, flush, sync), then puts it in the target's
// place. Any failure on the way removes the temporary file, leaves the target
// as it was, and throws ERasterError naming the real cause ("disque plein",
// "fichier trop grand", ...).
//
// The new file keeps the mode, the owner and the group of the one it replaces;
// when this process may not give it that owner or group (an ordinary user
// saving another user's file in a folder the user may write), the save is
// refused before anything is written. A file with several names (hard links)
// is not replaced but rewritten in place once the complete new content is on
// the disk, so that every name sees it.
//
// A symbolic link is followed (its target is the file replaced) unless asked
// otherwise. Destroying the object without Commit() removes the temporary file.
//
// A temporary that has a name is called ".velmora-XXXX.tmp" and is locked
// (flock) by the process writing it while it lives; one that nobody holds is
// what a killed program left, and the next save in its folder removes it.
class AtomicFile : public QIODevice {
public:
    // Follow: a link's target is written and the link stays (the editor's
    // saves). ReplaceLink: the name itself is replaced by the new file, which
    // never lands outside the name's folder: a symbolic link is replaced, not
    // followed, and a file with other names elsewhere gets a new file under
    // this name only (a batch's output folder).
    enum class Links { Follow, ReplaceLink };
    // Checks the target and creates the temporary file; throws when the target
    // cannot be written (a folder, a device, read-only, a link loop, an owner
    // that would be lost, ...). `what` starts every message, e.g.
    // "Impossible d'enregistrer l'image dans « a.bmp »".
    AtomicFile(const QString& fileName, const QString& what, Links links = Links::Follow);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Flushes and syncs the temporary file, then puts it in the target's place
    // (or copies it into a file with several names).
    void Commit();

    // Encoders that go back to fill in a header (TIFF) may seek.
    bool seek(qint64 position) override;
    qint64 size() const override { return end_; }
    // The errno of the first write that failed, 0 when none has.
    int WriteError() const { return error_; }

    // For a program that is asked to end: from now on no file of this process
    // is put in place; a Commit() under way is waited for, every temporary
    // that has a name is removed, and any later save fails. The program may
    // then end at once (_exit) without leaving a file behind. Returns whether
    // a save of this process was put in place before.
    static bool AbandonAll();

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    [[noreturn]] void fail(int error);
    [[noreturn]] void fail(const QString& why);
    void createTemporary();
    void keepOwner(uid_t owner, gid_t group);
    // Gives the complete temporary the name `path`; false with errno set.
    bool linkTemporary(const QByteArray& path);
    void replaceTarget();
    void copyIntoTarget();
    // Writes every byte, or records why not in error_.
    void writeAll(const char* data, qint64 size);
    void flushBuffer();
    void discard();

    QString what_;
    QByteArray target_; // the file replaced, links resolved
    QByteArray folder_; // the target's folder, where the temporary is
    QByteArray temporary_; // the temporary's name, while it has one
    bool unnamed_ = false; // the temporary was made without a name
    int fd_ = -1; // the temporary, open for reading and writing
    int targetFd_ = -1; // the target, when it has several names
    int error_ = 0; // the first failed write's errno, reported at Commit()
    std::vector<char> buffer_; // the bytes before pos() not yet written
    qint64 end_ = 0; // the furthest byte written so far
};

// The French cause of a failed file operation, from its errno.
QString FileErrorCause(int error);
