#pragma once

#include "commands/CommandTable.h"

#include <QString>

class ImageDocument;

// The operations of velmora-cli are the rows of the command table, run on a
// document as the editor runs them: effects on the whole image, filters merged
// back through the selection mask, the selection set through the mask's own
// functions.
namespace cli {

// One operation of the command line with its values.
struct Step {
    const commands::Command* operation;
    commands::Values values{};
};

void Apply(ImageDocument& document, const Step& step);

// The operation called `name` on the command line, or nullptr.
const commands::Command* FindOperation(const QString& name);

} // namespace cli
