// velmora-cli's batch form as it runs: stopped by a signal it leaves only
// complete outputs, on a terminal it shows its progress, and it gives the
// bytes of the single-file form spread by GNU parallel.
#include "CliRun.h"

#include "codecs/BitmapFiles.h"
#include "support/Images.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace {

QString program() { return QCoreApplication::applicationDirPath() + QStringLiteral("/velmora-cli"); }

// `count` copies of one image of `width` x `height` in a fresh folder, written
// without the program's own saving (faster: no syncing to the disk).
QStringList copies(int count, int width, int height, QString* folder)
{
    *folder = testimg::TempDir();
    const QByteArray bytes = clirun::Encoded(*testimg::Noise(width, height, 5));
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        paths << QStringLiteral("%1/image%2.bmp").arg(*folder).arg(i, 2, 10, QLatin1Char('0'));
        QFile file(paths.back());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    return paths;
}

QStringList entries(const QString& folder, QDir::Filters filters = QDir::Files)
{
    return QDir(folder).entryList(filters | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// SIGTERM or SIGHUP (the terminal gone) once the first output is there: no
// file is started after it, the files in hand are finished, and every output
// left is complete.
TEST(CliBatchRun, SigtermOrSighupLeavesOnlyCompleteOutputs)
{
    QString in;
    const QStringList inputs = copies(40, 1500, 1000, &in);
    const QString expected = testimg::TempDir() + "/attendu.bmp";
    ASSERT_EQ(clirun::Run({inputs[0], expected, "flou"}).exitCode, 0);
    const QByteArray expectedBytes = clirun::Bytes(expected);

    for (const auto& [signal, code] : {std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
        SCOPED_TRACE(signal);
        const QString out = testimg::TempDir();
        QProcess process;
        process.setProgram(program());
        process.setArguments(QStringList{"--dossier", out, "--taches", "2"} + inputs + QStringList{"--", "flou"});
        process.start();
        ASSERT_TRUE(process.waitForStarted(30000));
        QElapsedTimer timer;
        timer.start();
        while (entries(out).isEmpty() && process.state() == QProcess::Running && timer.elapsed() < 60000)
            QThread::msleep(2);
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));

        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), code);
        const QStringList written = entries(out);
        EXPECT_GE(written.size(), 1);
        EXPECT_LT(written.size(), 40);
        EXPECT_EQ(entries(out, QDir::AllEntries | QDir::Hidden | QDir::System), written) << "a temporary file is left";
        for (const QString& name : written)
            EXPECT_TRUE(clirun::Bytes(out + "/" + name) == expectedBytes) << name.toStdString();
        const qsizetype left = 40 - written.size();
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()),
                  QStringLiteral("velmora-cli : interrompu : %1 image%2 traitée%2, %3 non traitée%4.\n")
                      .arg(written.size())
                      .arg(written.size() > 1 ? "s" : "")
                      .arg(left)
                      .arg(left > 1 ? "s" : ""));
    }
}

// An error output read by a program that has gone (`2>&1 | head`): the
// batch's messages fail to be written, and it goes on to the end.
TEST(CliBatchRun, AClosedErrorOutputStopsNothing)
{
    QString in;
    QStringList inputs = copies(6, 300, 200, &in);
    const QString text = in + "/notes.bmp";
    QFile(text).open(QIODevice::WriteOnly); // fails: its message goes to the closed pipe
    inputs.insert(1, text);
    const QString out = testimg::TempDir();
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    QProcess process;
    process.setProgram(program());
    process.setArguments(QStringList{"--dossier", out, "--taches", "2"} + inputs + QStringList{"--", "negatif"});
    process.setChildProcessModifier([writer = pipeEnds[1]] { ::dup2(writer, STDERR_FILENO); });
    process.start();
    ASSERT_TRUE(process.waitForFinished(60000));
    ::close(pipeEnds[1]);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1); // one input failed
    EXPECT_EQ(entries(out, QDir::AllEntries | QDir::Hidden | QDir::System).size(), 6);
}

// On a terminal: one line rewritten in place, taken away at the end, then the
// summary.
TEST(CliBatchRun, ATerminalShowsTheProgressOnOneLine)
{
    QString in;
    const QStringList inputs = copies(3, 20, 10, &in);
    const QString out = testimg::TempDir();
    int terminal = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(::openpty(&terminal, &slave, name, nullptr, nullptr), 0);
    QProcess process;
    process.setProgram(program());
    process.setArguments(QStringList{"--dossier", out, "--taches", "1"} + inputs + QStringList{"--", "negatif"});
    process.setChildProcessModifier([&name] {
        const int fd = ::open(name, O_WRONLY);
        ::dup2(fd, STDERR_FILENO);
    });
    process.start();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(entries(out).size(), 3);

    QByteArray shown;
    ::fcntl(terminal, F_SETFL, O_NONBLOCK);
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, n);
    ::close(terminal);
    ::close(slave);
    const QString text = QString::fromUtf8(shown);
    EXPECT_TRUE(text.startsWith("\r0/3 images\x1b[K\r1/3 images, ")) << shown.toStdString();
    // Over a thousand images a second, the rate has a thin space between thousands.
    EXPECT_TRUE(text.contains(
        QRegularExpression(QStringLiteral("\r3/3 images, [0-9][0-9\u202f]*,[0-9] images/s, reste 0 s\x1b\\[K"))))
        << shown.toStdString();
    EXPECT_TRUE(text.endsWith("\x1b[K\r\x1b[Kvelmora-cli : 3 images traitées, 0 en erreur\r\n")) << shown.toStdString();
    EXPECT_EQ(text.count('\n'), 1);
}

// The README's recipe for several machines, run here on this one: GNU parallel
// starting the single-file form per file gives the batch's bytes.
TEST(CliBatchRun, GnuParallelRecipeGivesTheBatchBytes)
{
    const QString parallel = QStandardPaths::findExecutable("parallel");
    if (parallel.isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed";
    QString in;
    QStringList inputs = copies(2, 30, 20, &in);
    SaveToFile(*testimg::Noise(17, 13, 8), in + "/autre.bmp");
    inputs << in + "/autre.bmp";

    const QString batch = testimg::TempDir();
    ASSERT_EQ(clirun::Run(QStringList{"--dossier", batch} + inputs + QStringList{"--", "negatif", "nettete"}).exitCode,
              0);

    const QString spread = testimg::TempDir();
    QProcess process;
    process.setProgram(parallel);
    process.setArguments(
        QStringList{"--will-cite", "-j2", program(), "{}", spread + "/{/}", "negatif", "nettete", ":::"} + inputs);
    process.start();
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    ASSERT_EQ(entries(spread), entries(batch));
    for (const QString& name : entries(batch))
        EXPECT_EQ(clirun::Bytes(spread + "/" + name), clirun::Bytes(batch + "/" + name)) << name.toStdString();
}
