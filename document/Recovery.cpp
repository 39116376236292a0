#include "document/Recovery.h"

#include "codecs/AtomicFile.h"
#include "codecs/ImageFile.h"
#include "document/Tdessin.h"
#include "model/ImageDocument.h"
#include "raster/Exception.h"
#include "raster/HugePages.h"
#include "raster/TBitmap.h"
#include "ui/Application.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <algorithm>
#include <cstring>
#include <new>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace {

// Bytes of pixels copied between two events: about 2 ms of copying.
constexpr qsizetype kSliceBytes = qsizetype(4) << 20;

// A description larger than this is not one of ours.
constexpr qint64 kMaxDescriptionBytes = 64 * 1024;

// What a copy's description says: the image's file, the folder the program
// runs in (for a name recorded relative to it), the time, the size.
QByteArray describe(const QString& fileName, int width, int height)
{
    return QJsonDocument(
               QJsonObject{{QStringLiteral("fichier"), fileName},
                           {QStringLiteral("dossier"), QDir::currentPath()},
                           {QStringLiteral("heure"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs)},
                           {QStringLiteral("largeur"), width},
                           {QStringLiteral("hauteur"), height}})
        .toJson();
}

// Writes a copy: the image first, since a copy is offered only once its
// description is there. Returns why not; empty when written.
QString writeCopy(const QImage& image, const QByteArray& description, const QString& imagePath,
                  const QString& descriptionPath)
{
    try {
        WriteImageFile(image, imagePath, ImageFormat::Bmp);
        AtomicFile file(descriptionPath, QStringLiteral("Impossible d'écrire « %1 »").arg(descriptionPath));
        file.write(description);
        file.Commit();
    } catch (const ERasterError& error) {
        return error.Message();
    } catch (const std::bad_alloc&) {
        return QStringLiteral("mémoire insuffisante.");
    }
    return QString();
}

// The open images, each with its window.
std::vector<ImageDocument*> openDocuments()
{
    std::vector<ImageDocument*> documents;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* shown = qobject_cast<TDessin*>(window); shown && shown->Model())
            documents.push_back(shown->Model());
    return documents;
}

} // namespace

struct TRecovery::Job {
    QPointer<ImageDocument> document;
    int number = 0;
    std::uint64_t state = 0;
    int width = 0;
    int height = 0;
    qsizetype stride = 0;
    LargeBuffer<std::uint8_t> pixels;
    int row = 0;
    QString fileName;
};

QString TRecovery::DefaultFolder()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/velmora/recovery");
}

TRecovery::TRecovery(const QString& folder, QObject* parent) : QObject(parent), folder_(folder)
{
    clock_.start();
    writer_.setMaxThreadCount(1);
    poll_.setInterval(1000);
    connect(&poll_, &QTimer::timeout, this, &TRecovery::Poll);
    poll_.start();
    slice_.setSingleShot(true);
    slice_.setInterval(0);
    connect(&slice_, &QTimer::timeout, this, &TRecovery::CopySlice);
    // Reported by the writer's thread, handled on this one.
    connect(this, &TRecovery::CopyWritten, this, &TRecovery::Written, Qt::QueuedConnection);
}

TRecovery::~TRecovery()
{
    poll_.stop();
    slice_.stop();
    job_.reset();
    writer_.waitForDone();
    ReleaseLeft(false);
}

void TRecovery::SetInterval(int milliseconds) { interval_ = milliseconds; }

QString TRecovery::ImagePath(int number) const { return session_ + QStringLiteral("/image-%1.bmp").arg(number); }

QString TRecovery::DescriptionPath(int number) const { return session_ + QStringLiteral("/image-%1.json").arg(number); }

void TRecovery::Warn(const QString& cause)
{
    if (failures_) {
        failures_->append(cause);
        return;
    }
    // One warning a run: the program goes on without copies.
    if (warned_)
        return;
    warned_ = true;
    ShowMessageBox(QStringLiteral("Les copies de récupération ne peuvent pas être écrites dans « %1 » : %2\n"
                                  "Velmora continue sans elles.")
                       .arg(folder_, cause),
                   QStringLiteral("Récupération"), MB_ICONWARNING);
}

bool TRecovery::EnsureSession()
{
    if (!session_.isEmpty())
        return true;
    if (!QDir().mkpath(folder_)) {
        Warn(QStringLiteral("le dossier ne peut pas être créé."));
        return false;
    }
    QFile::setPermissions(folder_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString path = folder_ + QStringLiteral("/%1-%2")
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
    // The lock comes first: a folder is never seen without its lock while its
    // program runs.
    auto lock = std::make_unique<QLockFile>(path + QStringLiteral(".verrou"));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0) || !QDir().mkdir(path)) {
        Warn(QStringLiteral("le dossier ne peut pas être écrit."));
        return false;
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    lock_ = std::move(lock);
    session_ = path;
    return true;
}

void TRecovery::Poll()
{
    const qint64 now = clock_.elapsed();
    ForgetClosed(false);
    for (ImageDocument* document : openDocuments()) {
        auto it = entries_.find(document);
        if (!document->Unsaved()) {
            if (it != entries_.end() && it->second.document == document) {
                RemoveCopy(it->second);
                it->second.due = -1;
            }
            continue;
        }
        Entry& entry = EntryFor(document, it);
        if (entry.document != document || (entry.hasCopy && entry.copied == document->ChangeState()))
            continue;
        // The first copy comes an interval after the first change, the next
        // ones an interval after the previous one began.
        if (entry.due < 0)
            entry.due = now + interval_;
        else if (now >= entry.due && !job_ && !entry.writing && !document->Changing())
            Start(entry);
    }
}

void TRecovery::ForgetClosed(bool evenWriting)
{
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (!it->second.document && (evenWriting || !it->second.writing)) {
            RemoveCopy(it->second);
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
}

TRecovery::Entry& TRecovery::EntryFor(ImageDocument* document, std::map<ImageDocument*, Entry>::iterator it)
{
    if (it == entries_.end()) {
        Entry entry;
        entry.document = document;
        entry.number = nextNumber_++;
        it = entries_.emplace(document, entry).first;
    }
    return it->second;
}

void TRecovery::Start(Entry& entry)
{
    entry.due = clock_.elapsed() + interval_;
    if (!EnsureSession())
        return;
    TBitmap* bitmap = &entry.document->Image();
    auto job = std::make_unique<Job>();
    job->document = entry.document;
    job->number = entry.number;
    job->state = entry.document->ChangeState();
    job->width = bitmap->Width();
    job->height = bitmap->Height();
    job->stride = bitmap->Image().bytesPerLine();
    job->fileName = entry.document->FileName();
    const qsizetype bytes = job->stride * job->height;
    const QStorageInfo storage(session_);
    if (storage.isValid() && storage.bytesAvailable() < bytes + (qint64(1) << 20)) {
        Warn(QStringLiteral("pas assez de place sur le disque pour une image de %1 Mo.")
                 .arg((bytes + 999999) / 1000000));
        return;
    }
    job->pixels = AllocateLargeArray<std::uint8_t>(size_t(bytes));
    if (!job->pixels) {
        Warn(QStringLiteral("mémoire insuffisante pour copier l'image."));
        return;
    }
    job_ = std::move(job);
    slice_.start();
}

void TRecovery::CopySlice()
{
    if (!job_)
        return;
    Job& job = *job_;
    ImageDocument* document = job.document;
    const TBitmap* bitmap = document ? &document->Image() : nullptr;
    // A change since the copy began: it would mix two states; it is taken again later.
    if (!bitmap || document->ChangeState() != job.state || document->Changing() || bitmap->Width() != job.width ||
        bitmap->Height() != job.height) {
        job_.reset();
        return;
    }
    const int rows = int(std::max<qsizetype>(1, kSliceBytes / job.stride));
    const int end = std::min(job.height, job.row + rows);
    for (; job.row < end; ++job.row)
        std::memcpy(job.pixels.get() + job.row * job.stride, bitmap->ScanLine(job.row), size_t(3) * size_t(job.width));
    if (job.row < job.height) {
        slice_.start();
        return;
    }

    std::uint8_t* memory = job.pixels.release();
    const QImage image(
        memory, job.width, job.height, job.stride, QImage::Format_BGR888, [](void* block) { std::free(block); },
        memory);
    const QByteArray description = describe(job.fileName, job.width, job.height);
    const QString imagePath = ImagePath(job.number);
    const QString descriptionPath = DescriptionPath(job.number);
    const int number = job.number;
    const std::uint64_t state = job.state;
    if (auto it = entries_.find(document); it != entries_.end())
        it->second.writing = true;
    job_.reset();
    writer_.start([this, image, description, imagePath, descriptionPath, number, state] {
        // The writer gives way to the user interface when both want a core.
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 10);
        emit CopyWritten(number, state, writeCopy(image, description, imagePath, descriptionPath));
    });
}

void TRecovery::Written(int number, quint64 state, const QString& failure)
{
    for (auto& [document, entry] : entries_) {
        if (entry.number != number)
            continue;
        entry.writing = false;
        if (!failure.isEmpty()) {
            Warn(failure);
            return;
        }
        ++written_;
        entry.hasCopy = true;
        entry.copied = state;
        // Saved, dropped or closed while the copy was written.
        if (!entry.document || !entry.document->Unsaved())
            RemoveCopy(entry);
        return;
    }
}

void TRecovery::RemoveCopy(Entry& entry)
{
    if (entry.writing || session_.isEmpty())
        return;
    QFile::remove(DescriptionPath(entry.number));
    QFile::remove(ImagePath(entry.number));
    entry.hasCopy = false;
    entry.copied = 0;
}

bool TRecovery::Busy() const
{
    if (job_)
        return true;
    for (const auto& [document, entry] : entries_)
        if (entry.writing)
            return true;
    return false;
}

void TRecovery::WaitIdle()
{
    while (Busy()) {
        writer_.waitForDone(50);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
}

void TRecovery::EndNormally()
{
    poll_.stop();
    slice_.stop();
    job_.reset();
    writer_.waitForDone();
    entries_.clear();
    if (!session_.isEmpty())
        QDir(session_).removeRecursively();
    lock_.reset();
    session_.clear();
}

QStringList TRecovery::CopyEverythingNow()
{
    poll_.stop();
    slice_.stop();
    job_.reset();
    writer_.waitForDone();
    QStringList failures;
    failures_ = &failures;
    // What the writer finished counts before anything is decided.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    ForgetClosed(true);
    for (ImageDocument* document : openDocuments()) {
        // A stroke under way is part of what the window shows.
        document->EndGesture();
        if (!document->Unsaved())
            continue;
        auto it = entries_.find(document);
        Entry& entry = EntryFor(document, it);
        const std::uint64_t state = document->ChangeState();
        if ((entry.hasCopy && entry.copied == state) || !EnsureSession())
            continue;
        // Read where it is: nothing changes the image while this runs, and a
        // save under way only reads it too.
        const TBitmap& bitmap = document->Image();
        const QImage image(bitmap.ScanLine(0), bitmap.Width(), bitmap.Height(), bitmap.BytesPerLine(),
                           QImage::Format_BGR888);
        const QString failure = writeCopy(image, describe(document->FileName(), bitmap.Width(), bitmap.Height()),
                                          ImagePath(entry.number), DescriptionPath(entry.number));
        if (!failure.isEmpty()) {
            failures << failure;
            continue;
        }
        ++written_;
        entry.hasCopy = true;
        entry.copied = state;
    }
    failures_ = nullptr;
    return failures;
}

void TRecovery::DropCopiesOfSaved()
{
    for (auto& [document, entry] : entries_)
        if (!entry.document || !entry.document->Unsaved())
            RemoveCopy(entry);
}
