// velmora-cli: the editor's effects, filters and selection on BMP files, from
// the command line, without a display.
#include "Arguments.h"
#include "Operations.h"
#include "kernels/Tselection.h"
#include "platform/Exception.h"
#include "platform/ImageFile.h"
#include "platform/TBitmap.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <new>

namespace {

constexpr int kFileError = 1;
constexpr int kUsageError = 2;

// One line on the standard error stream. A file name may hold a line break;
// it is shown as a space so that each message stays on one line.
void printError(const QString& message)
{
    QString line = QStringLiteral("velmora-cli : ") + message;
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}

int usageError(const QString& message)
{
    printError(message + QStringLiteral(" Voir velmora-cli --aide."));
    return kUsageError;
}

int printUsage()
{
    std::fputs(cli::UsageText().toUtf8().constData(), stdout);
    // A usage that could not be written (a full disk, a closed pipe) is a
    // failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        printError(QStringLiteral("impossible d'écrire l'aide sur la sortie standard."));
        return kFileError;
    }
    return 0;
}

int run(const cli::Command& command)
{
    // A device or a pipe cannot be replaced through a temporary file the way an
    // image is saved; refuse it before any work is done.
    const QFileInfo output(command.output);
    if (output.exists() && !output.isFile() && !output.isDir()) {
        printError(QStringLiteral("impossible d'enregistrer l'image dans « %1 » : ce n'est pas un fichier ordinaire.")
                       .arg(command.output));
        return kFileError;
    }

    // The whole input is read before the output is written, and the output is
    // replaced only once complete: the input may be the output.
    TBitmap image;
    image.LoadFromFile(command.input);
    if (image.PixelFormat() != pf24bit)
        printError(QStringLiteral("attention : « %1 » n'est pas une image 24 bits ; elle est traitée en 24 bits.")
                       .arg(command.input));

    cli::Document document{image, nullptr};
    for (const cli::Step& step : command.steps)
        cli::Apply(document, step);

    image.SetPixelFormat(pf24bit);
    image.SaveToFile(command.output, FormatForName(command.output), command.quality);
    return 0;
}

// Qt's image plugins report a damaged file on the error stream in English
// before the program says it in French: only the program's own line is shown.
void quietPlugins(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fputs((message + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(quietPlugins);
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        const QByteArray raw(argv[i]);
        const QString argument = QFile::decodeName(raw);
        // A name that does not survive the round trip would make the program
        // read or write another file than the one asked for.
        if (QFile::encodeName(argument) != raw)
            return usageError(
                QStringLiteral("l'argument n° %1 contient des caractères illisibles (UTF-8 attendu).").arg(i));
        arguments << argument;
    }

    cli::Command command;
    try {
        command = cli::ParseArguments(arguments);
    } catch (const cli::UsageError& error) {
        return usageError(error.Message());
    }
    if (command.help)
        return printUsage();

    try {
        return run(command);
    } catch (const ERasterError& error) {
        printError(error.Message());
    } catch (const std::bad_alloc&) {
        printError(QStringLiteral("mémoire insuffisante pour traiter cette image."));
    } catch (const std::exception& error) {
        printError(QString::fromUtf8(error.what()));
    }
    return kFileError;
}
