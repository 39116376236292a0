// How the real editor ends: soon after its palette closes; stopped by a
// signal, as a logout stops it, with a recovery copy of each changed image, a
// save under way ended whole, no temporary file left and an exit code that
// names the signal.
#include "codecs/BitmapFiles.h"
#include "codecs/ImageFile.h"
#include "commands/CommandTable.h"
#include "document/Recovery.h"
#include "filters/Tfiltre.h"
#include "model/ImageDocument.h"
#include "support/FileLimits.h"
#include "support/Gui.h"
#include "support/Images.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <csignal>

namespace {

// The image turned by a half turn, as Ctrl+J turns it.
std::unique_ptr<TBitmap> HalfTurned(const QString& path)
{
    ImageDocument document(path);
    document.Run(commands::Find(commands::CommandId::Rotation), {18000});
    return testimg::Copy(document.Image());
}

// Runs `script` with `arguments` as $1, $2... on an X server of its own,
// which takes a free display by itself: two tests starting one at the same
// moment never share it. The server never resets (a reset when the last
// client leaves would drop the editor connecting at that moment), the script
// starts once the server answers, and the server is stopped whatever the
// script does (after 100 s, the script too).
// Returns the output; "timed out" when it hangs, "no X server" with the
// server's words when none started. The editor's recovery copies go to
// `*state`'s folder.
QString UnderX(const QString& script, const QStringList& arguments, QString* state = nullptr)
{
    const QString wrapped = QStringLiteral(R"sh(script="$1"; shift
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/xvfb.log" & xvfb=$!
for i in $(seq 600); do
  [ -s "$dir/display" ] && DISPLAY=":$(cat "$dir/display")" xdpyinfo >/dev/null 2>&1 && break
  kill -0 $xvfb 2>/dev/null || break; sleep 0.05
done
export DISPLAY=":$(cat "$dir/display")"
if xdpyinfo >/dev/null 2>&1; then
  timeout -k 5 100 sh -c "$script" sh "$@"
else
  echo "no X server: $(tail -n 5 "$dir/xvfb.log")"
fi
kill $xvfb; wait $xvfb; rm -rf "$dir")sh");
    QProcess run;
    testgui::PrepareRealEditor(run);
    if (state)
        *state = run.processEnvironment().value(QStringLiteral("XDG_STATE_HOME"));
    run.start(QStringLiteral("sh"), QStringList{"-c", wrapped, "sh", script} + arguments);
    if (!run.waitForFinished(150000)) {
        run.kill();
        run.waitForFinished();
        return QStringLiteral("timed out: ") + QString::fromLocal8Bit(run.readAll());
    }
    return QString::fromLocal8Bit(run.readAll());
}

bool HasX()
{
    for (const char* tool : {"Xvfb", "xdotool", "xdpyinfo"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty())
            return false;
    return true;
}

} // namespace

TEST(ProgramEnd, StoppedByASignalItCopiesEveryChangedImageEndsTheSaveUnderWayAndSaysWhichSignal)
{
    if (!HasX())
        GTEST_SKIP() << "Xvfb, xdotool or xdpyinfo is not installed";
    const QString bin = QCoreApplication::applicationDirPath();
    // Ctrl+J on both images, Ctrl+S on the large one; the signal comes while
    // its save runs, seconds after the small one changed.
    const QString script = QStringLiteral(R"(
"$1" "$3" "$4" & pid=$!
for i in $(seq 600); do
  small=$(xdotool search --name "^$3\$" 2>/dev/null | head -1)
  large=$(xdotool search --name "^$4\$" 2>/dev/null | head -1)
  [ -n "$small" ] && [ -n "$large" ] && break; kill -0 $pid || break; sleep 0.1
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
    SaveToFile(*testimg::Noise(300, 200, 5), small);
    WriteImageFile(testimg::Noise(4000, 3000, 6)->Image(), large, ImageFormat::Png);
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
        QString state;
        const QString output =
            UnderX(script, {bin + "/velmora", QString::fromLatin1(signal.name), small, large}, &state);
        ASSERT_TRUE(output.contains(QStringLiteral("saving\n"))) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("exit=%1\n").arg(128 + signal.number))) << output.toStdString();

        // The save under way ended whole, and nothing of it stays beside the file.
        TBitmap written;
        LoadFromFile(written, large);
        EXPECT_TRUE(testimg::SameBytes(written, *largeTurned));
        EXPECT_TRUE(HiddenFiles(dir).isEmpty()) << HiddenFiles(dir).join(' ').toStdString();
        // The small image's copy, offered at the next start; none for the saved one.
        TRecovery next(state + QStringLiteral("/velmora/recovery"));
        const std::vector<TLeftCopy> copies = next.FindLeft();
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_EQ(copies[0].fileName, small);
        TBitmap copy;
        LoadFromFile(copy, copies[0].image);
        EXPECT_TRUE(testimg::SameBytes(copy, *smallTurned));
        EXPECT_TRUE(HiddenFiles(QFileInfo(copies[0].image).absolutePath()).isEmpty());
        next.ReleaseLeft(true);
    }
}

TEST(ProgramEnd, TheProgramEndsSoonAfterThePaletteCloses)
{
    if (!HasX())
        GTEST_SKIP() << "Xvfb, xdotool or xdpyinfo is not installed";
    const QString bin = QCoreApplication::applicationDirPath();
    const QString image = testimg::TempDir() + QStringLiteral("/image.bmp");
    SaveToFile(*testimg::Noise(400, 300, 8), image);
    // From the close request (the palette's close box, as a window manager
    // sends it) to the end of the process, three times.
    const QString script = QStringLiteral(R"sh(
for run in 1 2 3; do
  "$1" "$3" & pid=$!
  for i in $(seq 300); do xdotool search --name "^$3\$" >/dev/null && break; sleep 0.1; done; sleep 1
  "$2" 'V.M.' 30 >/dev/null; start=$(date +%s%N)
  wait $pid; code=$?; end=$(date +%s%N)
  echo "code=$code ms=$(( (end - start) / 1000000 ))"
done)sh");
    const QString output = UnderX(script, {bin + "/velmora", bin + "/x11window", image});
    const QRegularExpression line(QStringLiteral("code=0 ms=(\\d+)"));
    std::vector<int> times;
    for (auto match = line.globalMatch(output); match.hasNext();)
        times.push_back(match.next().captured(1).toInt());
    ASSERT_EQ(times.size(), 3u) << output.toStdString();
    // The best of three, so that a busy machine's stall does not count;
    // nothing in the program waits once its windows are gone. The sanitizers
    // check the whole heap for leaks on the way out.
#if defined(__SANITIZE_ADDRESS__)
    constexpr int kBoundMs = 1500;
#else
    constexpr int kBoundMs = 300;
#endif
    EXPECT_LT(*std::min_element(times.begin(), times.end()), kBoundMs) << output.toStdString();
}
