#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

class ImageDocument;

// A recovery copy left by a program that is no longer running.
struct TLeftCopy {
    QString image; // the copy, a 24-bit BMP file
    QString description; // the file that describes it
    QString fileName; // the image's own file; empty for a new image
    QString caption; // a name that no longer says which file; empty otherwise
    QDateTime time; // when the copy was written
    QString problem; // why the description cannot be read; empty when it can
};

// Recovery copies of the images whose changes are not saved. While an image
// differs from its saved state, a copy of it is written at most every
// interval (30 s) after a change, only when it changed since its last copy.
// Its pixels are copied on the user interface's thread a few megabytes at a
// time between events; a copy taken while the image changes is dropped and
// taken again later. Encoding and writing run on a thread of their own,
// atomically. A copy is removed once its image is saved, dropped or undone
// back to its saved state, and all of them when the program ends normally.
//
// Each running program writes into a folder of its own under `folder`, held
// by a lock file: the copies in a folder whose program is no longer running
// are offered at the next start, never those of a program still running.
class TRecovery : public QObject {
    Q_OBJECT
public:
    // `$XDG_STATE_HOME/velmora/recovery`, `~/.local/state/velmora/recovery`
    // when the variable is not set.
    static QString DefaultFolder();

    explicit TRecovery(const QString& folder = DefaultFolder(), QObject* parent = nullptr);
    // Waits for the copy being written. The copies stay for the next start
    // unless EndNormally() removed them.
    ~TRecovery() override;
    TRecovery(const TRecovery&) = delete;
    TRecovery& operator=(const TRecovery&) = delete;

    void SetInterval(int milliseconds);
    // Looks at every document window: removes the copies of images that are
    // no longer changed and starts a copy that is due. Runs every second.
    void Poll();
    // True while a copy is being taken or written.
    bool Busy() const;
    // Waits until no copy is being taken or written (tests, the end).
    void WaitIdle();
    // The program ends as the user asked: every copy is removed.
    void EndNormally();
    // The program is stopped by a signal: the periodic copies stop and every
    // changed image whose copy is not up to date is copied now, on this
    // thread, whole. Returns why copies could not be written (empty when all
    // were). The copies stay for the next start, which offers them.
    QStringList CopyEverythingNow();
    // Removes the copies of the images that are no longer changed (a save
    // that was under way has ended).
    void DropCopiesOfSaved();
    // Copies written since the start.
    int CopiesWritten() const { return written_; }
    // This program's own folder; empty until the first copy.
    const QString& SessionFolder() const { return session_; }

    // The copies left by programs that are no longer running. Their folders
    // are held until ReleaseLeft(), so that two programs starting together
    // do not both offer them.
    std::vector<TLeftCopy> FindLeft();
    // `document` was opened from `copy`: the copy becomes its own, up to date.
    void Adopt(ImageDocument* document, const TLeftCopy& copy);
    // Lets go of the folders FindLeft() found; removes them when `remove`,
    // keeps them for the next start otherwise.
    void ReleaseLeft(bool remove);

signals:
    // A copy's file was written, or not: `failure` says why.
    void CopyWritten(int number, quint64 state, const QString& failure);

private:
    struct Entry {
        QPointer<ImageDocument> document; // null once closed and freed
        int number = 0; // names its files: image-N.bmp, image-N.json
        std::uint64_t copied = 0; // the state its copy holds; 0 when none
        bool hasCopy = false;
        bool writing = false;
        qint64 due = -1; // when the next copy may start; -1 until a change is seen
    };
    struct Job;

    bool EnsureSession();
    // Drops the entries of closed documents and their copies; a copy being
    // written is kept unless `evenWriting`.
    void ForgetClosed(bool evenWriting);
    // The entry found at `it` (entries_.find(document)), made when there is none.
    Entry& EntryFor(ImageDocument* document, std::map<ImageDocument*, Entry>::iterator it);
    void Start(Entry& entry);
    void CopySlice();
    void Written(int number, quint64 state, const QString& failure);
    void RemoveCopy(Entry& entry);
    void Warn(const QString& cause);
    QString ImagePath(int number) const;
    QString DescriptionPath(int number) const;

    QString folder_;
    QString session_;
    std::unique_ptr<QLockFile> lock_;
    struct LeftFolder {
        QString path;
        std::unique_ptr<QLockFile> lock;
    };
    std::vector<LeftFolder> left_;
    std::map<ImageDocument*, Entry> entries_;
    int nextNumber_ = 1;
    int interval_ = 30000;
    int written_ = 0;
    bool warned_ = false;
    QStringList* failures_ = nullptr; // while stopping: where warnings go instead of a box
    QElapsedTimer clock_;
    QTimer poll_;
    QTimer slice_;
    std::unique_ptr<Job> job_;
    QThreadPool writer_;
};
