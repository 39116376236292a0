#include "app/Startup.h"

#include "platform/Application.h"
#include "platform/Exception.h"

int RunVelmora(int argc, char** argv)
{
    TApplication app(argc, argv);
    app.LoadFrenchTranslation();
    try {
        app.SetTitle(QStringLiteral("Velmora"));
        return app.exec() == 0 ? 0 : 0;
    } catch (const Exception& error) {
        app.ShowException(error);
    }
    return 0;
}
