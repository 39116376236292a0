// The real program in a Wayland session: a headless compositor, with and
// without Xwayland.
#include "app/Startup.h"
#include "support/Gui.h"
#include "support/Images.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

// Starts a headless compositor in a private runtime folder (with Xwayland
// when `xwayland`), exports its session to the commands of `script`, which
// get the editor as $1 and the window probe as $2, and returns their output.
QString InWaylandSession(bool xwayland, const QString& script)
{
    const QString bin = QCoreApplication::applicationDirPath();
    const QString session =
        QStringLiteral(
            "dir=$(mktemp -d); chmod 700 \"$dir\"; export XDG_RUNTIME_DIR=\"$dir\"\n"
            "printf '[core]\\nxwayland=%1\\n[shell]\\npanel-position=none\\n' > \"$dir/weston.ini\"\n"
            "weston --backend=headless-backend.so --socket=velmora-test --config=\"$dir/weston.ini\" %2 "
            "--log=\"$dir/weston.log\" --width=1280 --height=1024 & compositor=$!\n"
            "for i in $(seq 100); do\n"
            "  [ -S \"$dir/velmora-test\" ] && { [ -z '%2' ] || grep -q 'xserver listening' \"$dir/weston.log\"; } && "
            "break\n"
            "  sleep 0.1\n"
            "done\n"
            "unset DISPLAY QT_QPA_PLATFORM\n"
            "display=$(sed -n 's/.*xserver listening on display \\(:[0-9]*\\).*/\\1/p' \"$dir/weston.log\")\n"
            "[ -n \"$display\" ] && export DISPLAY=\"$display\"\n"
            "export WAYLAND_DISPLAY=velmora-test XDG_SESSION_TYPE=wayland\n"
            "%3\n"
            "kill $compositor; wait $compositor; rm -rf \"$dir\"\n")
            .arg(xwayland ? QStringLiteral("true") : QStringLiteral("false"),
                 xwayland ? QStringLiteral("--xwayland") : QString(), script);
    QProcess run;
    testgui::PrepareRealEditor(run);
    run.start(QStringLiteral("sh"), {"-c", session, "sh", bin + "/velmora", bin + "/x11window"});
    if (!run.waitForFinished(90000))
        return QStringLiteral("timed out");
    return QString::fromLocal8Bit(run.readAll());
}

bool HasCompositor() { return !QStandardPaths::findExecutable("weston").isEmpty(); }

} // namespace

TEST(WaylandSession, ThroughXwaylandThePaletteStandsAtTheTopLeftAndTheProgramEndsWithZero)
{
    if (!HasCompositor() || QStandardPaths::findExecutable("Xwayland").isEmpty())
        GTEST_SKIP() << "weston or Xwayland is not installed";
    const QString output = InWaylandSession(
        true, QStringLiteral("\"$1\" & pid=$!; \"$2\" 'V.M.' 30; probe=$?; wait $pid; echo \"probe=$probe exit=$?\""));
    // The compositor's frame and its shadow stand between the screen's corner
    // and the palette's client area; a window it places itself lands anywhere.
    const QRegularExpressionMatch at =
        QRegularExpression(QStringLiteral("mapped 113x329 at (\\d+),(\\d+)")).match(output);
    ASSERT_TRUE(at.hasMatch()) << output.toStdString();
    EXPECT_LE(at.captured(1).toInt(), 64) << output.toStdString();
    EXPECT_LE(at.captured(2).toInt(), 96) << output.toStdString();
    EXPECT_TRUE(output.contains(QStringLiteral("probe=0 exit=0"))) << output.toStdString();
}

TEST(WaylandSession, WithoutXwaylandTheProgramRunsAsANativeClient)
{
    if (!HasCompositor())
        GTEST_SKIP() << "weston is not installed";
    // The protocol's log shows the palette's surface made a top-level window
    // of the compositor's.
    const QString output = InWaylandSession(
        false, QStringLiteral("WAYLAND_DEBUG=client \"$1\" 2>&1 & pid=$!; sleep 4; kill $pid; wait $pid"));
    EXPECT_TRUE(output.contains(QStringLiteral("xdg_toplevel@"))) << output.left(4000).toStdString();
    EXPECT_FALSE(output.contains(QStringLiteral("could not connect"))) << output.left(4000).toStdString();
}

TEST(WaylandSession, TheUsersChoiceOfWindowSystemStands)
{
    struct Case {
        const char* sessionType;
        const char* display;
        const char* platform; // null: not set
        const char* chosen;
    };
    const Case cases[] = {
        {"wayland", ":0", nullptr, "xcb;wayland"},
        {"wayland", "", nullptr, "wayland"},
        {"x11", ":0", nullptr, nullptr},
        {"wayland", ":0", "wayland", "wayland;xcb"},
        {"wayland", ":0", "offscreen", "offscreen"},
        {"x11", ":0", "xcb", "xcb"},
    };
    const QByteArray saved = qgetenv("QT_QPA_PLATFORM");
    const QByteArray savedType = qgetenv("XDG_SESSION_TYPE");
    const QByteArray savedDisplay = qgetenv("DISPLAY");
    const QByteArray savedWayland = qgetenv("WAYLAND_DISPLAY");
    for (const Case& c : cases) {
        qputenv("XDG_SESSION_TYPE", c.sessionType);
        qputenv("DISPLAY", c.display);
        qunsetenv("WAYLAND_DISPLAY");
        if (c.platform)
            qputenv("QT_QPA_PLATFORM", c.platform);
        else
            qunsetenv("QT_QPA_PLATFORM");
        EXPECT_EQ(ChooseWindowSystem(), QByteArray(c.platform)) << c.sessionType << " " << c.display;
        EXPECT_EQ(qEnvironmentVariableIsSet("QT_QPA_PLATFORM"), c.chosen != nullptr);
        if (c.chosen) {
            EXPECT_EQ(qgetenv("QT_QPA_PLATFORM"), QByteArray(c.chosen)) << c.sessionType << " " << c.display;
        }
    }
    qputenv("QT_QPA_PLATFORM", saved);
    qputenv("XDG_SESSION_TYPE", savedType);
    qputenv("DISPLAY", savedDisplay);
    qputenv("WAYLAND_DISPLAY", savedWayland);
}
