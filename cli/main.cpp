// velmora-cli: the editor's effects, filters and selection on BMP files, from
// the command line, without a display.
#include "Arguments.h"
#include "Batch.h"
#include "FileJob.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>

namespace {

using cli::kFileError;
using cli::kUsageError;
using cli::PrintError;

int usageError(const QString& message)
{
    PrintError(message + QStringLiteral(" Voir velmora-cli --aide."));
    return kUsageError;
}

int printUsage()
{
    std::fputs(cli::UsageText().toUtf8().constData(), stdout);
    // A usage that could not be written (a full disk, a closed pipe) is a
    // failure too.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintError(QStringLiteral("impossible d'écrire l'aide sur la sortie standard."));
        return kFileError;
    }
    return 0;
}

int printVersion()
{
    std::fputs("velmora-cli " VELMORA_VERSION "\n", stdout);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        PrintError(QStringLiteral("impossible d'écrire la version sur la sortie standard."));
        return kFileError;
    }
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

    if (command.version)
        return printVersion();
    if (command.IsBatch()) {
        QString usage;
        const int code = cli::RunBatch(command, &usage);
        return code == kUsageError ? usageError(usage) : code;
    }

    return cli::RunFile(command);
}
