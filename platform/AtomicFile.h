#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <algorithm>
#include <vector>

// A file written in full or not at all. The bytes go to a temporary file in the
// target's folder; Commit() checks that every byte reached the disk (writes,
// flush, close), then renames it over the target. Any failure on the way
// removes the temporary file, leaves the target as it was, and throws
// ERasterError naming the real cause ("disque plein", "fichier trop grand", ...).
// A symbolic link is followed (its target is the file replaced) unless asked
// otherwise. Destroying the object without Commit() removes the temporary file.
class AtomicFile : public QIODevice {
public:
    // Follow: a link's target is replaced and the link stays (the editor's
    // saves). ReplaceLink: the link itself is replaced by the new file, which
    // never lands outside the link's folder (a batch's output folder).
    enum class Links { Follow, ReplaceLink };
    // Checks the target and creates the temporary file; throws when the target
    // cannot be written (a folder, a device, read-only, a link loop, ...).
    // `what` starts every message, e.g. "Impossible d'enregistrer l'image dans « a.bmp »".
    AtomicFile(const QString& fileName, const QString& what, Links links = Links::Follow);
    ~AtomicFile() override;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Flushes, syncs and closes the temporary file, then puts it in the target's place.
    void Commit();

    // Encoders that go back to fill in a header (TIFF) may seek.
    bool seek(qint64 position) override;
    qint64 size() const override { return end_; }
    // The errno of the first write that failed, 0 when none has.
    int WriteError() const { return error_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    [[noreturn]] void fail(int error);
    [[noreturn]] void fail(const QString& why);
    // Writes every byte, or records why not in error_.
    void writeAll(const char* data, qint64 size);
    void flushBuffer();
    void discard();

    QString what_;
    QByteArray target_; // the file replaced, links resolved
    QByteArray temporary_;
    int fd_ = -1;
    int error_ = 0; // the first failed write's errno, reported at Commit()
    std::vector<char> buffer_; // the bytes before pos() not yet written
    qint64 end_ = 0; // the furthest byte written so far
};

// The French cause of a failed file operation, from its errno.
QString FileErrorCause(int error);
