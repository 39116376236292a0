#include "CliRun.h"

#include "codecs/BitmapFiles.h"
#include "support/Images.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

namespace clirun {

Result Run(const QStringList& arguments, const QString& outputFile, const std::function<void()>& inChild)
{
    QProcess process;
    process.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/velmora-cli"));
    process.setArguments(arguments);
    // No display of any kind: the program must not need one.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QLatin1String(name));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!outputFile.isEmpty())
        process.setStandardOutputFile(outputFile);
    if (inChild)
        process.setChildProcessModifier(inChild);
    process.start();
    Result result;
    if (!process.waitForStarted(30000))
        return result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished(5000);
        return result;
    }
    result.finished = process.exitStatus() == QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QString Save(const TBitmap& bitmap, const QString& name)
{
    const QString path = testimg::TempDir() + QLatin1Char('/') + name;
    SaveToFile(bitmap, path);
    return path;
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray Encoded(const TBitmap& bitmap) { return Bytes(Save(bitmap, QStringLiteral("attendu.bmp"))); }

std::unique_ptr<TBitmap> Load(const QString& path)
{
    auto bitmap = std::make_unique<TBitmap>();
    LoadFromFile(*bitmap, path);
    return bitmap;
}

} // namespace clirun
