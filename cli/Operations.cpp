#include "Operations.h"

#include "filters/Tfiltre.h"
#include "kernels/Tselection.h"
#include "platform/TBitmap.h"

namespace cli {

TSelection& Document::Mask()
{
    if (!mask)
        mask = std::make_unique<TSelection>(image.Width(), image.Height());
    return *mask;
}

void Apply(Document& document, const Step& step)
{
    const commands::Command& command = *step.operation;
    TSelection* mask = command.selection == commands::SelectionRule::WholeImage ? nullptr : &document.Mask();
    // The filter a filter run returns refers to a copy that is gone: it goes at once.
    command.run(document.image, mask, step.values);
}

const commands::Command* FindOperation(const QString& name)
{
    return commands::FindBy(&commands::Command::cliName, name.toUtf8().toStdString());
}

} // namespace cli
