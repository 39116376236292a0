// The real editor stopped by a signal, as a logout stops it: each changed
// image has its recovery copy, a save under way ends whole, no temporary file
// stays and the exit code names the signal.
#include "commands/CommandTable.h"
#include "document/Recovery.h"
#include "filters/Tfiltre.h"
#include "model/ImageDocument.h"
#include "platform/ImageFile.h"
#include "support/FileLimits.h"
#include "support/Gui.h"
#include "support/Images.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <csignal>

namespace {

// The image turned by a half turn, as Ctrl+J turns it.
std::unique_ptr<TBitmap> HalfTurned(const QString& path)
{
    ImageDocument document(path);
    document.Run(commands::Find(commands::CommandId::Rotation), {18000});
    return testimg::Copy(document.Image());
}

} // namespace

TEST(StopSignal, EveryChangedImageIsCopiedASaveUnderWayEndsAndTheExitCodeNamesTheSignal)
{
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
        GTEST_SKIP() << "xvfb-run or xdotool is not installed";
    const QString bin = QCoreApplication::applicationDirPath();
    // Ctrl+J on both images, Ctrl+S on the large one; the signal comes while
    // its save runs, seconds after the small one changed.
    const QString script = QStringLiteral(R"(
"$1" "$3" "$4" & pid=$!
for i in $(seq 600); do
  small=$(xdotool search --name "^$3\$" 2>/dev/null | head -1)
  large=$(xdotool search --name "^$4\$" 2>/dev/null | head -1)
  [ -n "$small" ] && [ -n "$large" ] && break; sleep 0.1
done
xdotool windowfocus --sync "$small" key ctrl+j
xdotool windowfocus --sync "$large" key ctrl+j key ctrl+s
for i in $(seq 1500); do
  xdotool getwindowname "$large" | grep -q ' - Enregistrement...$' && { echo saving; break; }; sleep 0.02
done
kill -"$2" $pid; wait $pid; echo "exit=$?")");
    const QString dir = testimg::TempDir();
    const QString small = dir + QStringLiteral("/petite.bmp");
    const QString large = dir + QStringLiteral("/grande.png");
    testimg::Noise(300, 200, 5)->SaveToFile(small);
    WriteImageFile(testimg::Noise(6000, 4000, 6)->Image(), large, ImageFormat::Png);
    const auto smallTurned = HalfTurned(small);
    const auto largeTurned = HalfTurned(large);
    const QByteArray largeBefore = testimg::ReadFile(large);

    const struct {
        const char* name;
        int number;
    } stops[] = {{"TERM", SIGTERM}, {"HUP", SIGHUP}, {"INT", SIGINT}};
    for (const auto& signal : stops) {
        SCOPED_TRACE(signal.name);
        {
            QFile file(large);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(largeBefore);
        }
        QProcess run;
        testgui::PrepareRealEditor(run);
        const QString state = run.processEnvironment().value(QStringLiteral("XDG_STATE_HOME"));
        run.start(QStringLiteral("xvfb-run"), {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", script, "sh",
                                               bin + "/velmora", QString::fromLatin1(signal.name), small, large});
        ASSERT_TRUE(run.waitForFinished(120000));
        const QString output = QString::fromLocal8Bit(run.readAll());
        ASSERT_TRUE(output.contains(QStringLiteral("saving\n"))) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("exit=%1\n").arg(128 + signal.number))) << output.toStdString();

        // The save under way ended whole, and nothing of it stays beside the file.
        TBitmap written;
        written.LoadFromFile(large);
        EXPECT_TRUE(testimg::SameBytes(written, *largeTurned));
        EXPECT_EQ(HiddenFiles(dir), QStringList());
        // The small image's copy, offered at the next start; none for the saved one.
        TRecovery next(state + QStringLiteral("/velmora/recovery"));
        const std::vector<TLeftCopy> copies = next.FindLeft();
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].fileName, small);
        TBitmap copy;
        copy.LoadFromFile(copies[0].image);
        EXPECT_TRUE(testimg::SameBytes(copy, *smallTurned));
        EXPECT_EQ(HiddenFiles(QFileInfo(copies[0].image).absolutePath()), QStringList());
        next.ReleaseLeft(true);
    }
}
