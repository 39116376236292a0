// The entry point of every test program: an offscreen application object, so
// widgets, fonts and images work without a display, then GoogleTest.
#include "ui/Application.h"
#include "ui/FrenchLocale.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tests run in the program's language, whatever the environment.
    SpeakFrenchWhateverTheEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    TApplication app(argc, argv);
    app.SetTitle(QStringLiteral("Velmora"));
    // As in the program, only the palette ends the event loop. Otherwise the
    // last window closed by a test that quits posts a second quit, handled
    // after its event loop has ended: every later modal dialog of the same
    // process would then return at once.
    app.setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
