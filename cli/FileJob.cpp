#include "FileJob.h"

#include "Batch.h"
#include "Signals.h"

#include "codecs/AtomicFile.h"
#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "codecs/ImageSize.h"
#include "codecs/JpegFile.h"
#include "effects/Resample.h"
#include "model/ImageDocument.h"
#include "raster/Exception.h"

#include <QFileInfo>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace cli {

QString ErrorLine(const QString& message)
{
    // A message that starts with the program's name is a sentence of its own.
    QString line =
        message.startsWith(QLatin1String("velmora-cli ")) ? message : QStringLiteral("velmora-cli : ") + message;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    return line;
}

void PrintError(const QString& message)
{
    std::fputs((ErrorLine(message) + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}

namespace {

// A result that the output's format cannot hold is the command line's fault:
// refused as a value is.
void refuseWrittenSize(const QString& output, ImageFormat format, QSize size)
{
    if (const QString refusal = WriteSizeRefusal(output, format, size); !refusal.isEmpty())
        throw commands::ValueError(refusal);
}

// Refuses before any reading a result that the header's size already puts
// past what the output's format holds, whichever way the file turns its
// picture. An autocrop's result is known only from the pixels.
void refuseClaimedSize(const QString& input, const QString& output, std::optional<ImageFormat> format,
                       const std::vector<Step>& steps)
{
    const std::optional<ClaimedImage> claim = ClaimImageFile(input);
    if (!claim || !BitmapSizeAllowed(claim->size.width(), claim->size.height()))
        return;
    QString refusal;
    for (QSize size : {claim->size, claim->size.transposed()}) {
        for (const Step& step : steps) {
            if (step.operation->id == commands::CommandId::Autorogner)
                return;
            if (step.operation->selection == commands::SelectionRule::Reshapes)
                size = commands::ReshapedSize(step.operation->id, size, step.values);
            if (!commands::ResultAllowed(size))
                return; // the operation says why
        }
        refusal = WriteSizeRefusal(output, format ? *format : claim->format, size);
        if (refusal.isEmpty())
            return;
    }
    throw commands::ValueError(refusal);
}

} // namespace

void ProcessFile(const QString& input, const QString& output, std::optional<ImageFormat> format, int quality,
                 const std::vector<Step>& steps, const std::function<void(const QString&)>& warn, bool replaceLink)
{
    // A device or a pipe cannot be replaced through a temporary file the way an
    // image is saved; refuse it before any work is done. A link that is to be
    // replaced is not looked through.
    const QFileInfo target(output);
    if (!(replaceLink && target.isSymLink()) && target.exists() && !target.isFile() && !target.isDir())
        throw ERasterError(
            QStringLiteral("impossible d'enregistrer l'image dans « %1 » : ce n'est pas un fichier ordinaire.")
                .arg(output));

    refuseClaimedSize(input, output, format, steps);

    // A JPEG that the first operation shrinks to half or less is decoded at a
    // reduced size, still at least the result's; the resize then starts from
    // there, to the size computed from the full picture.
    std::vector<Step> work = steps;
    std::function<int(QSize)> reduce;
    if (!work.empty() && work.front().operation->id == commands::CommandId::Redimensionner &&
        work.front().values[2] != int(effects::ResampleFilter::Nearest)) {
        commands::Values& values = work.front().values;
        reduce = [&values](QSize full) {
            const QSize target = commands::SizeFromValues(full, values[0], values[1]);
            const int reduction = JpegReductionFor(full, target);
            if (reduction > 1) {
                values[0] = target.width();
                values[1] = target.height();
            }
            return reduction;
        };
    }
    ImageDocument document(input, reduce);
    document.KeepNoHistory();
    TBitmap& image = document.Image();
    if (!format && image.FileFormat() == ImageFormat::Gif)
        throw ERasterError(QStringLiteral("« %1 » est une image GIF, un format que le programme n'écrit pas : "
                                          "choisissez-en un autre avec --format.")
                               .arg(input));
    if (image.PixelFormat() != pf24bit)
        warn(
            QStringLiteral("attention : « %1 » n'est pas une image 24 bits ; elle est traitée en 24 bits.").arg(input));

    for (const Step& step : work)
        Apply(document, step);

    image.SetPixelFormat(pf24bit);
    const ImageFormat written = format ? *format : image.FileFormat();
    refuseWrittenSize(output, written, QSize(image.Width(), image.Height()));
    SaveToFile(image, output, written, quality, replaceLink);
}

namespace {

bool inPlace(commands::CommandId id)
{
    using enum commands::CommandId;
    return id == Mirroir || id == Flip || id == Negatif || id == NoirBlanc || id == Couleurs || id == Contraste;
}

} // namespace

qint64 MemoryNeeded(const QString& input, std::optional<ImageFormat> format, int quality,
                    const std::vector<Step>& steps)
{
    const std::optional<ClaimedImage> claim = ClaimImageFile(input);
    if (!claim || !BitmapSizeAllowed(claim->size.width(), claim->size.height()))
        return 0;
    const ImageFormat written = format ? *format : claim->format;
    const auto imageBytes = [](QSize size) { return BitmapRowBytes(size.width()) * size.height(); };
    qint64 most = 0;
    // The orientation the file names may turn the picture a quarter, which
    // changes what a resize makes of it: both ways are counted.
    for (const QSize stored : {claim->size, claim->size.transposed()}) {
        QSize size = stored;
        qint64 held = claim->heldBytes; // the image
        qint64 mask = 0; // the selection's byte a pixel, once one is set
        qint64 peak = claim->readingBytes;
        for (const Step& step : steps) {
            const commands::Command& operation = *step.operation;
            if (operation.selection == commands::SelectionRule::Reshapes) {
                // The new image is made beside the old one; then the whole of
                // it is editable.
                const QSize next = commands::ReshapedSize(operation.id, size, step.values);
                if (!commands::ResultAllowed(next))
                    break; // refused before anything is made
                peak = std::max(peak, held + mask + imageBytes(next));
                size = next;
                held = imageBytes(next);
                mask = 0;
                continue;
            }
            if (operation.selection == commands::SelectionRule::SetsMask) {
                mask = qint64(size.width()) * size.height();
                continue;
            }
            // The mirror, the flip and the colour maps change the image in
            // place; the other effects and the filters work from a copy.
            if (!inPlace(operation.id))
                peak = std::max(peak, held + mask + imageBytes(size));
        }
        // The BMP, PNG and JPEG writers go row by row. The lossy WebP
        // encoder makes YUV planes of half the image and holds the coded
        // picture (3 bytes a pixel at most, for noise); the lossless one
        // works on 32-bit pixels with tables of its own, 34 bytes a pixel in
        // all. Qt's TIFF encoder may convert the whole image to 32 bits.
        const qint64 pixels = qint64(size.width()) * size.height();
        const qint64 converted = written == ImageFormat::Webp   ? pixels * (quality >= 100 ? 34 : 3)
                                 : written == ImageFormat::Tiff ? pixels * 4
                                                                : 0;
        most = std::max(most, std::max(peak, held + mask + converted));
    }
    return most;
}

int RunFile(const Command& command)
{
    QString message;
    // A size change that this image does not allow is the command line's
    // fault too.
    bool valuesRefused = false;
    bool written = false;
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false; // under mutex
    const auto work = [&] {
        written = Guarded(
            [&] {
                try {
                    ProcessFile(command.input, command.output, FormatForName(command.output), command.quality,
                                command.steps, PrintError);
                } catch (const commands::ValueError&) {
                    valuesRefused = true;
                    throw;
                }
            },
            &message);
        const std::lock_guard lock(mutex);
        finished = true;
        ended.notify_all();
    };

    // The work runs aside; this thread takes the signals.
    const StopOnSignals stopOnSignals;
    std::thread worker;
    try {
        worker = StopOnSignals::Start(work);
    } catch (const std::system_error&) {
        work(); // no thread to be had: the signals wait for the end
    }
    int signal = 0;
    {
        std::unique_lock lock(mutex);
        while (!ended.wait_for(lock, std::chrono::milliseconds(20), [&] { return finished; }))
            if ((signal = StopSignal()) != 0)
                break;
        if (finished)
            signal = 0; // the work ended first: its own outcome stands
    }
    // A stop asked for before the output was put in place leaves it as it
    // was: no file of this process is put in place any more, the temporary
    // has no name (or loses it), and the program ends at once, the work
    // abandoned.
    if (signal != 0 && !AtomicFile::AbandonAll()) {
        PrintError(QStringLiteral("interrompu : rien n'est écrit dans « %1 ».").arg(command.output));
        std::_Exit(InterruptedExitCode(signal));
    }
    if (worker.joinable())
        worker.join();
    if (written)
        return 0;
    PrintError(message);
    return valuesRefused ? kUsageError : kFileError;
}

bool Guarded(const std::function<void()>& work, QString* message)
{
    try {
        work();
        return true;
    } catch (const ERasterError& error) {
        *message = error.Message();
    } catch (const std::bad_alloc&) {
        *message = QStringLiteral("mémoire insuffisante pour traiter cette image.");
    } catch (const std::exception& error) {
        *message = QString::fromUtf8(error.what());
    }
    return false;
}

} // namespace cli
