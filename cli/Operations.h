#pragma once

#include "commands/CommandTable.h"

#include <QString>
#include <memory>

class TBitmap;
class TSelection;

// The operations of velmora-cli are the rows of the command table, run as the
// editor runs them on a document: effects on the whole image, filters merged
// back through the selection mask, the selection tool's press and release.
namespace cli {

// The image being processed and the selection mask of the same size. The mask
// is made on first use (everything editable): effects never need it, and a
// photo's mask costs a byte a pixel.
struct Document {
    TBitmap& image;
    std::unique_ptr<TSelection> mask;

    TSelection& Mask();
};

// One operation of the command line with its values.
struct Step {
    const commands::Command* operation;
    commands::Values values{};
};

void Apply(Document& document, const Step& step);

// The operation called `name` on the command line, or nullptr.
const commands::Command* FindOperation(const QString& name);

} // namespace cli
