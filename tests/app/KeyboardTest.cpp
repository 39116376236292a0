// Where the keyboard goes after the boxes an image window opens, and after a
// click in it, with a window manager and without one.
#include "app/Form_main.h"
#include "document/Tdessin.h"
#include "support/FormsFixture.h"
#include "support/Images.h"

#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWindow>

namespace {

using KeyboardTest = FormsInFolderTest;

// Each box that a key of an image window opens, and the answer that closes it.
struct BoxCase {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    bool accept;
};

TEST_F(KeyboardTest, AfterEachBoxOfAnImageWindowTheNextKeyReachesIt)
{
    const Qt::KeyboardModifiers controlShift = Qt::ControlModifier | Qt::ShiftModifier;
    for (const BoxCase& c : {BoxCase{"Rotation", Qt::Key_H, controlShift, false},
                             BoxCase{"Redimensionner l'image", Qt::Key_R, Qt::ControlModifier, true},
                             BoxCase{"Taille de la zone de dessin", Qt::Key_R, controlShift, false},
                             BoxCase{"Sauvegarde", Qt::Key_S, controlShift, false},
                             BoxCase{"Velmora", Qt::Key_W, Qt::ControlModifier, false}}) {
        SCOPED_TRACE(c.name);
        auto* document = new TDessin(frm_main, 30, 20);
        document->show();
        document->InverseColor();
        testgui::Settle();
        ASSERT_EQ(QGuiApplication::focusWindow(), document->windowHandle());
        QString shown;
        testgui::WhenModal([&](QWidget* modal) {
            shown = modal->windowTitle();
            auto* box = static_cast<QDialog*>(modal);
            c.accept ? box->accept() : box->reject();
        });
        // Keys go where the keyboard is, as a user's do.
        QTest::keyClick(QGuiApplication::focusWindow(), c.key, c.mods);
        testgui::Settle();
        EXPECT_EQ(shown, QString::fromUtf8(c.name));
        EXPECT_EQ(QApplication::activeWindow(), document);
        ASSERT_NE(QGuiApplication::focusWindow(), nullptr);
        QTest::keyClick(QGuiApplication::focusWindow(), Qt::Key_Z, Qt::ControlModifier);
        EXPECT_FALSE(document->IsModified());
        document->close();
    }
}

// The real program on an X server, with openbox as a window manager or none.
TEST(RealKeyboard, AfterEachBoxAndAClickTheImageWindowHasTheKeyboard)
{
    for (const char* tool : {"xvfb-run", "xdotool", "xprop"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            GTEST_SKIP() << tool << " is not installed";
    const char* const script = R"sh(
cd "$2" || exit 9
if [ "$3" = wm ]; then
  openbox >/dev/null 2>&1 &
  for i in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
fi
"$1" sub/gris.bmp & pid=$!
# The first visible window titled exactly $1, within 10 s; then its end.
shown() { for i in $(seq 100); do w=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1); [ -n "$w" ] && { echo "$w"; return 0; }; sleep 0.1; done; return 1; }
gone() { for i in $(seq 100); do [ -z "$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null)" ] && return 0; sleep 0.1; done; return 1; }
size() { xdotool getwindowgeometry "$img" | sed -n 's/ *Geometry: //p'; }
# The image window has the keyboard (within 3 s), and Ctrl+H turns it.
check() {
  for i in $(seq 30); do [ "$(xdotool getwindowfocus)" = "$img" ] && break; sleep 0.1; done
  before=$(size)
  xdotool key ctrl+h
  for i in $(seq 30); do [ "$(size)" != "$before" ] && break; sleep 0.1; done
  [ "$(size)" != "$before" ] && echo "$1: ok" || echo "$1: keyboard on $(xdotool getwindowfocus getwindowname)"
}
# answer BOX KEYS: once the box shown has the keyboard (within 3 s), as a
# user sees it first, the keys answer it; then its end.
answer() {
  w=$(shown "$1") || return 1
  for i in $(seq 30); do [ "$(xdotool getwindowfocus)" = "$w" ] && break; sleep 0.1; done
  xdotool key "$2"; gone "$1"
}
# step NAME KEYS BOX ANSWER: the keys open the box, the answer closes it.
step() {
  xdotool key "$2"
  if ! answer "$3" "$4"; then echo "$1: no box"; return; fi
  check "$1"
}
answer 'Erreur de format' Return
img=$(shown "$2/sub/gris.bmp")
pal=$(shown 'V.M.')
check avertissement
xdotool mousemove --window "$pal" 30 60 click 1 mousemove --window "$img" 5 5 click 1
check clic
step rotation ctrl+shift+h Rotation Escape
step redimensionner ctrl+r "Redimensionner l'image" Return
step zone ctrl+shift+r 'Taille de la zone de dessin' Escape
step sauvegarde ctrl+shift+s Sauvegarde Escape
step fermeture ctrl+w Velmora Escape
rm -r sub
step echec ctrl+s Velmora Return
kill $pid; wait $pid
echo fin
)sh";
    for (const QString& mode : {QString(), QStringLiteral("wm")}) {
        if (!mode.isEmpty() && QStandardPaths::findExecutable(QStringLiteral("openbox")).isEmpty()) {
            ADD_FAILURE() << "openbox is not installed (scripts/setup.sh installs it)";
            continue;
        }
        SCOPED_TRACE(mode.isEmpty() ? "without a window manager" : "under openbox");
        // An 8-bit picture: the format warning at open is the first box.
        const QString dir = testimg::TempDir();
        ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("sub")));
        QImage grey(60, 40, QImage::Format_Indexed8);
        grey.setColorCount(256);
        for (int i = 0; i < 256; ++i)
            grey.setColor(i, qRgb(i, i, i));
        grey.fill(90);
        ASSERT_TRUE(grey.save(dir + QStringLiteral("/sub/gris.bmp"), "BMP"));
        QProcess run;
        testgui::PrepareRealEditor(run);
        run.start(QStringLiteral("xvfb-run"), {"-a", "-s", "-screen 0 1280x1024x24", "sh", "-c", script, "sh",
                                               QCoreApplication::applicationDirPath() + "/velmora", dir, mode});
        ASSERT_TRUE(run.waitForFinished(120000));
        const QString output = QString::fromLocal8Bit(run.readAll());
        ASSERT_TRUE(output.contains(QStringLiteral("fin"))) << output.toStdString();
        for (const char* step :
             {"avertissement", "clic", "rotation", "redimensionner", "zone", "sauvegarde", "fermeture", "echec"})
            EXPECT_TRUE(output.contains(QStringLiteral("%1: ok").arg(QLatin1String(step)))) << output.toStdString();
    }
}

} // namespace
