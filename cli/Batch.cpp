#include "Batch.h"

#include "FileJob.h"
#include "MemoryBudget.h"
#include "Progress.h"
#include "Signals.h"
#include "codecs/TemporaryFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cli {
namespace {

QString quoted(const QString& text) { return QStringLiteral("« %1 »").arg(text); }

// The output's name: the input's, its ending replaced by `extension` when one
// is given ("photo.bmp" → "photo.jpg"; "photo" → "photo.jpg").
QString outputName(const QString& input, const QString& extension)
{
    QString name = QFileInfo(input).fileName();
    if (extension.isEmpty())
        return name;
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0)
        name.truncate(dot);
    return name + QLatin1Char('.') + extension;
}

struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
};
size_t qHash(const FileId& id, size_t seed = 0) { return qHashMulti(seed, id.device, id.inode); }

// The file a path leads to, links followed; none when there is nothing there.
std::optional<FileId> fileId(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileId{info.st_dev, info.st_ino};
}

// The checks made before any file is read: the folder, and one output per input
// that replaces no input. Returns the outputs' paths, or throws UsageError.
QStringList plannedOutputs(const Batch& batch)
{
    const QFileInfo folder(batch.folder);
    if (!folder.exists())
        throw UsageError(QStringLiteral("le dossier de sortie %1 n'existe pas.").arg(quoted(batch.folder)));
    if (!folder.isDir())
        throw UsageError(QStringLiteral("%1 n'est pas un dossier.").arg(quoted(batch.folder)));
    if (::access(QFile::encodeName(batch.folder).constData(), W_OK | X_OK) != 0)
        throw UsageError(
            QStringLiteral("le dossier de sortie %1 n'est pas accessible en écriture.").arg(quoted(batch.folder)));

    QSet<FileId> inputs;
    for (const QString& input : batch.inputs)
        if (const auto id = fileId(input))
            inputs.insert(*id);

    QHash<QString, QString> inputOf; // output name → the input that gives it
    QStringList outputs;
    for (const QString& input : batch.inputs) {
        const QString name = outputName(input, batch.extension);
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
            throw UsageError(QStringLiteral("%1 ne nomme pas un fichier.").arg(quoted(input)));
        if (const auto other = inputOf.constFind(name); other != inputOf.constEnd())
            throw UsageError(QStringLiteral("%1 et %2 donneraient le même fichier de sortie %3.")
                                 .arg(quoted(*other), quoted(input), quoted(name)));
        inputOf.insert(name, input);
        const QString output = QDir(batch.folder).filePath(name);
        const auto id = fileId(output);
        if (!batch.replace && id && inputs.contains(*id))
            throw UsageError(QStringLiteral("%1 est un fichier d'entrée : il serait remplacé (--remplacer le permet).")
                                 .arg(quoted(output)));
        outputs << output;
    }
    return outputs;
}

} // namespace

int RunBatch(const Command& command, QString* usage)
{
    const Batch& batch = command.batch;
    QStringList outputs;
    try {
        outputs = plannedOutputs(batch);
    } catch (const UsageError& error) {
        *usage = error.Message();
        return kUsageError;
    }
    // What a killed run left in the folder goes before this one starts.
    RemoveStaleTemporaries(batch.folder);

    const std::size_t total = std::size_t(batch.inputs.size());
    const int cores = std::clamp(QThread::idealThreadCount(), 1, kMaxJobs);
    const std::size_t jobs = std::min<std::size_t>(batch.jobs > 0 ? batch.jobs : cores, total);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    Progress progress(total, terminal);
    const auto warn = [&](const QString& message) { progress.Message(message); };

    // Each worker takes the next file until there is none left or a signal asks
    // to stop: at most `jobs` images are open at once, and the file in hand is
    // always finished, so that no output is left half written. Before reading
    // its picture, a worker waits until the memory it claims fits in the
    // budget beside the pictures the others hold.
    MemoryBudget budget(batch.memory > 0 ? batch.memory : DefaultMemoryBudget());
    std::atomic<std::size_t> next{0};
    std::mutex mutex;
    std::condition_variable ended;
    std::size_t running = jobs; // under mutex
    const auto work = [&] {
        for (;;) {
            if (StopSignal() != 0)
                break;
            const std::size_t i = next.fetch_add(1);
            if (i >= total)
                break;
            const QString& input = batch.inputs[qsizetype(i)];
            qint64 needed = 0;
            try {
                needed = MemoryNeeded(input, batch.format, command.quality, command.steps);
            } catch (const std::exception&) {
                // The read will say what is wrong with the file.
            }
            // A stop asked for while waiting leaves this file untouched.
            if (!budget.Acquire(needed))
                break;
            QString message;
            const bool written = Guarded(
                [&] {
                    ProcessFile(input, outputs[qsizetype(i)], batch.format, command.quality, command.steps, warn, true);
                },
                &message);
            budget.Release(needed);
            if (!written)
                progress.Message(message);
            progress.Finished(written);
        }
        const std::lock_guard lock(mutex);
        if (--running == 0)
            ended.notify_all();
    };

    const StopOnSignals stopOnSignals;
    progress.Refresh();
    std::vector<std::thread> workers;
    try {
        for (std::size_t w = 0; w < jobs; ++w)
            workers.push_back(StopOnSignals::Start(work));
    } catch (const std::system_error&) {
        // The system gives no more threads: the ones running share the files.
        const std::lock_guard lock(mutex);
        running -= jobs - workers.size();
    }
    if (workers.empty()) {
        progress.Clear();
        PrintError(
            QStringLiteral("impossible de démarrer le traitement : le système refuse un fil d'exécution de plus."));
        return kFileError;
    }
    // The main thread takes the signals, wakes the workers waiting for memory
    // once one has come, and keeps the progress line's rate and time left
    // moving.
    for (std::unique_lock lock(mutex);
         !ended.wait_for(lock, std::chrono::milliseconds(250), [&] { return running == 0; });) {
        if (StopSignal() != 0)
            budget.Stop();
        progress.Refresh();
    }
    for (std::thread& worker : workers)
        worker.join();
    progress.Clear();

    const std::size_t written = progress.Written(), failed = progress.Failed();
    if (const int signal = StopSignal(); signal != 0 && written + failed < total) {
        QString line = QStringLiteral("interrompu : %1 %2")
                           .arg(FrenchCount(written),
                                written > 1 ? QStringLiteral("images traitées") : QStringLiteral("image traitée"));
        if (failed > 0)
            line += QStringLiteral(", %1 en erreur").arg(FrenchCount(failed));
        line += QStringLiteral(", %1 non traitée%2.")
                    .arg(FrenchCount(total - written - failed))
                    .arg(total - written - failed > 1 ? QStringLiteral("s") : QString());
        PrintError(line);
        return InterruptedExitCode(signal);
    }
    if (failed > 0 || terminal)
        PrintError(Summary(written, failed));
    return failed > 0 ? kFileError : 0;
}

} // namespace cli
