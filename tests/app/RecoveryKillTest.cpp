// A program killed while it writes a recovery copy leaves a whole copy. The
// program killed is this test program itself, started again to run the
// disabled test below; bench/recovery-kill.sh runs it on a large photo too.
#include "codecs/BitmapFiles.h"
#include "document/Recovery.h"
#include "document/Tdessin.h"
#include "support/Images.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <cstdio>

#include <gtest/gtest.h>

namespace {

int environmentNumber(const char* name, int otherwise)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : otherwise;
}

} // namespace

// The child: an image changed again and again, each state copied, until the
// parent kills it. With VELMORA_RECOVERY_CHANGES set, that many changes a
// second apart, then the expected image in attendu.bmp and nothing more.
TEST(RecoveryChild, DISABLED_ChangesAndCopiesUntilKilled)
{
    const QString folder = qEnvironmentVariable("VELMORA_RECOVERY_FOLDER");
    ASSERT_FALSE(folder.isEmpty());
    const int width = environmentNumber("VELMORA_RECOVERY_WIDTH", 600);
    const int height = environmentNumber("VELMORA_RECOVERY_HEIGHT", 400);
    const int changes = environmentNumber("VELMORA_RECOVERY_CHANGES", -1);
    auto* d = new TDessin(nullptr, width, height);
    d->GetBmp()->Assign(*testimg::Noise(width, height, 7));
    TRecovery recovery(folder);
    recovery.SetInterval(environmentNumber("VELMORA_RECOVERY_INTERVAL", 0));
    if (changes < 0) {
        for (int copies = 1;; ++copies) {
            d->InverseColor();
            while (recovery.CopiesWritten() < copies) {
                recovery.Poll();
                recovery.WaitIdle();
            }
            std::printf("copie %d\n", copies);
            std::fflush(stdout);
        }
    }
    for (int i = 0; i < changes; ++i) {
        i % 2 ? d->Mirror() : d->InverseColor();
        QElapsedTimer second;
        second.start();
        while (second.elapsed() < 1000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    SaveToFile(*d->GetBmp(), QFileInfo(folder).absolutePath() + QStringLiteral("/attendu.bmp"));
    std::printf("fini\n");
    std::fflush(stdout);
    QEventLoop().exec();
}

TEST(RecoveryKill, AKillDuringAWriteLeavesThePreviousCopyOrTheNewOne)
{
    const auto noise = testimg::Noise(600, 400, 7);
    const auto inverted = testimg::Copy(*noise);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 1800; ++x)
            inverted->ScanLine(y)[x] = std::uint8_t(~inverted->ScanLine(y)[x]);

    for (const int delay : {0, 23, 61, 150}) {
        SCOPED_TRACE(delay);
        const QString folder = testimg::TempDir() + QStringLiteral("/recuperation");
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VELMORA_RECOVERY_FOLDER"), folder);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {"--gtest_filter=RecoveryChild.*", "--gtest_also_run_disabled_tests"});
        QByteArray output;
        while (!output.contains("copie 2") && child.waitForReadyRead(20000))
            output += child.readAllStandardOutput();
        ASSERT_TRUE(output.contains("copie 2")) << output.constData();
        {
            // Its copies are its own while it runs.
            TRecovery other(folder);
            EXPECT_TRUE(other.FindLeft().empty());
        }
        QThread::msleep(delay);
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));

        TRecovery next(folder);
        const std::vector<TLeftCopy> copies = next.FindLeft();
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_TRUE(copies[0].problem.isEmpty()) << copies[0].problem.toStdString();
        TBitmap copy;
        LoadFromFile(copy, copies[0].image);
        EXPECT_TRUE(testimg::SameBytes(copy, *noise) || testimg::SameBytes(copy, *inverted));
        next.ReleaseLeft(true);
    }
}
