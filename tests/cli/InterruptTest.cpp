// velmora-cli stopped while it writes: no temporary file is left, whether the
// file system makes files without a name or not, and an output that was not
// finished keeps its old bytes.
#include "CliRun.h"

#include "support/FileLimits.h"
#include "support/Images.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <unistd.h>

namespace {

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Whether the process has a file of `folder` open: its output's temporary.
bool writesIn(qint64 pid, const QString& folder)
{
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(QFile::encodeName(fds + "/" + fd).constData(), target, sizeof target);
        if (length > 0 && QFile::decodeName(QByteArray(target, int(length))).startsWith(folder + "/"))
            return true;
    }
    return false;
}

} // namespace

// Signals x forms x temporaries, while a WebP of about a second is being
// encoded: the single file is abandoned, its output as it was; the batch
// finishes the file in hand and starts no other.
TEST(CliInterrupt, ASignalWhileWritingLeavesNoTemporaryAndNoOutputHalfWritten)
{
    const QString in = testimg::TempDir();
    write(in + "/grande.bmp", clirun::Encoded(*testimg::Noise(1600, 1200, 4)));
    write(in + "/petite.bmp", clirun::Encoded(*testimg::Noise(20, 10, 5)));
    const QString reference = testimg::TempDir() + "/grande.webp";
    ASSERT_EQ(clirun::Run({in + "/grande.bmp", reference}).exitCode, 0);
    const QByteArray encoded = clirun::Bytes(reference);

    for (const bool batch : {false, true})
        for (const bool unnamed : {true, false})
            for (const auto& [signal, code] :
                 {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
                SCOPED_TRACE(QStringLiteral("%1, %2, signal %3")
                                 .arg(batch ? "batch" : "single file", unnamed ? "unnamed" : "named")
                                 .arg(signal)
                                 .toStdString());
                const QString out = testimg::TempDir();
                write(out + "/grande.webp", "ancienne grande");
                write(out + "/petite.webp", "ancienne petite");
                const QStringList arguments =
                    batch
                        ? QStringList{"--dossier",        out, "--taches", "1", "--format", "webp", in + "/grande.bmp",
                                      in + "/petite.bmp", "--"}
                        : QStringList{in + "/grande.bmp", out + "/grande.webp"};
                QProcess process;
                process.setProgram(QCoreApplication::applicationDirPath() + "/velmora-cli");
                process.setArguments(arguments);
                if (!unnamed)
                    process.setChildProcessModifier(NoUnnamedFilesInChild);
                process.start();
                ASSERT_TRUE(process.waitForStarted(30000));
                QElapsedTimer timer;
                timer.start();
                while (!writesIn(process.processId(), out) && process.state() == QProcess::Running &&
                       timer.elapsed() < 60000)
                    QThread::usleep(500);
                ::kill(pid_t(process.processId()), signal);
                ASSERT_TRUE(process.waitForFinished(60000));

                EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
                EXPECT_EQ(process.exitCode(), code);
                EXPECT_EQ(entries(out), QStringList({"grande.webp", "petite.webp"}));
                EXPECT_EQ(clirun::Bytes(out + "/petite.webp"), "ancienne petite");
                const QString err = QString::fromUtf8(process.readAllStandardError());
                if (batch) {
                    EXPECT_TRUE(clirun::Bytes(out + "/grande.webp") == encoded);
                    EXPECT_EQ(err, "velmora-cli : interrompu : 1 image traitée, 1 non traitée.\n");
                } else {
                    EXPECT_EQ(clirun::Bytes(out + "/grande.webp"), "ancienne grande");
                    EXPECT_EQ(err, QStringLiteral("velmora-cli : interrompu : rien n'est écrit dans « %1 ».\n")
                                       .arg(out + "/grande.webp"));
                }
            }
}
