#include "Operations.h"

#include "filters/Tfiltre.h"
#include "model/ImageDocument.h"

namespace cli {

void Apply(ImageDocument& document, const Step& step)
{
    // The filter a filter run returns refers to a copy that is gone: it goes at once.
    document.Run(*step.operation, step.values);
}

const commands::Command* FindOperation(const QString& name)
{
    return commands::FindBy(&commands::Command::cliName, name.toUtf8().toStdString());
}

} // namespace cli
