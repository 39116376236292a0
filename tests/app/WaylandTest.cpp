// The real program in a Wayland session: a headless compositor, with and
// without Xwayland.
#include "app/Startup.h"
#include "codecs/BitmapFiles.h"
#include "support/Gui.h"
#include "support/Images.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <ostream>

namespace {

// Runs `script` in a headless session of `compositor` (see
// x11/wayland-session.sh), with the editor as $1, the window probe as $2 and
// `file` as $3, and returns its output.
QString InWaylandSession(const char* compositor, const QString& script, const QString& file = QString())
{
    const QString bin = QCoreApplication::applicationDirPath();
    QProcess run;
    testgui::PrepareRealEditor(run);
    run.start(QStringLiteral("sh"), {QStringLiteral(VELMORA_WAYLAND_SESSION), QString::fromLatin1(compositor), script,
                                     bin + "/velmora", bin + "/x11window", file});
    if (!run.waitForFinished(90000))
        return QStringLiteral("timed out");
    return QString::fromLocal8Bit(run.readAll());
}

bool Installed(const QStringList& programs)
{
    for (const QString& program : programs)
        if (QStandardPaths::findExecutable(program).isEmpty())
            return false;
    return true;
}

struct Compositor {
    const char* name;
    QStringList programs;
    // Whether the window manager tells its frame's extents and keeps the
    // palette above the other windows ("stays on top"); weston's does neither.
    bool framesAndStacking;
};

std::ostream& operator<<(std::ostream& out, const Compositor& compositor) { return out << compositor.name; }

class ThroughXwayland : public ::testing::TestWithParam<Compositor> { };

} // namespace

// Three starts, the last with an image open: each time the palette's frame
// stands in the screen's top-left corner, and the program ends with 0 when the
// palette is closed.
TEST_P(ThroughXwayland, ThePaletteStandsAtTheTopLeftAndTheProgramEndsWithZero)
{
    const Compositor& compositor = GetParam();
    if (!Installed(compositor.programs))
        GTEST_SKIP() << compositor.name << ": " << compositor.programs.join(", ").toStdString() << " not all installed";
    const QString file = testimg::TempDir() + QStringLiteral("/grande.bmp");
    SaveToFile(*testimg::Uniform(1000, 800, clWhite), file);
    const QString output = InWaylandSession(compositor.name, QStringLiteral(R"(
for start in 1 2 3; do
  if [ $start = 3 ]; then
    "$1" "$3" & pid=$!; "$2" --settle 'V.M.' 30 "$3"
  else
    "$1" & pid=$!; "$2" --settle 'V.M.' 30
  fi
  probe=$?; [ $probe = 0 ] || kill $pid; wait $pid; echo "probe=$probe exit=$?"
done)"),
                                            file);
    const std::string said = output.toStdString();
    EXPECT_EQ(output.count(QStringLiteral("probe=0 exit=0")), 3) << said;
    QRegularExpressionMatchIterator places =
        QRegularExpression(
            QStringLiteral("placed at (-?\\d+),(-?\\d+)( frame (\\d+),\\d+,(\\d+),\\d+)?( \\(not told\\))?"))
            .globalMatch(output);
    int starts = 0;
    while (places.hasNext()) {
        const QRegularExpressionMatch at = places.next();
        ++starts;
        const int x = at.captured(1).toInt(), y = at.captured(2).toInt();
        EXPECT_TRUE(at.captured(6).isEmpty()) << said;
        if (compositor.framesAndStacking) {
            // The client area stands inside the frame by the frame's extents:
            // the frame's top-left corner is the screen's (mutter and KWin
            // draw a 37-pixel title bar and no side border).
            ASSERT_FALSE(at.captured(3).isEmpty()) << said;
            EXPECT_EQ(x, at.captured(4).toInt()) << said;
            EXPECT_EQ(y, at.captured(5).toInt()) << said;
        } else {
            // weston's frame stands one pixel from the left edge, the nearest
            // to the corner it honours: the client area at 7,27, inside its
            // 6-pixel border and 27-pixel title bar. A window weston places
            // itself lands hundreds of pixels away.
            EXPECT_GE(x, 1) << said;
            EXPECT_LE(x, 16) << said;
            EXPECT_GE(y, 0) << said;
            EXPECT_LE(y, 40) << said;
        }
    }
    EXPECT_EQ(starts, 3) << said;
    if (compositor.framesAndStacking) {
        EXPECT_TRUE(output.contains(QStringLiteral("stacked above"))) << said;
    }
}

INSTANTIATE_TEST_SUITE_P(Compositors, ThroughXwayland,
                         ::testing::Values(Compositor{"weston", {"weston", "Xwayland"}, false},
                                           Compositor{"mutter", {"mutter", "Xwayland", "dbus-run-session"}, true},
                                           Compositor{"kwin", {"kwin_wayland", "Xwayland", "dbus-run-session"}, true}),
                         [](const ::testing::TestParamInfo<Compositor>& info) { return std::string(info.param.name); });

TEST(WaylandSession, WithoutXwaylandTheProgramRunsAsANativeClient)
{
    if (!Installed({QStringLiteral("weston")}))
        GTEST_SKIP() << "weston is not installed";
    // The protocol's log shows the palette's surface made a top-level window
    // of the compositor's.
    const QString output = InWaylandSession(
        "weston-native", QStringLiteral("WAYLAND_DEBUG=client \"$1\" 2>&1 & pid=$!; sleep 4; kill $pid; wait $pid"));
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
