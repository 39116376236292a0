#pragma once

#include <QString>
#include <array>
#include <memory>
#include <vector>

class TBitmap;
class TSelection;

// The operations of velmora-cli, as the editor's commands perform them on a
// document: effects on the whole image, filters merged back through the
// selection mask, and the selection tool's press and release.
namespace cli {

// What an operation's values may be.
enum class ValueKind {
    None, // the operation takes no value
    Byte, // a dialog value: digits only, 0 to 255
    Coordinate // a pixel position: an optional minus sign, then digits
};

// The image being processed and the selection mask of the same size. The mask
// is made on first use (everything editable): effects never need it, and a
// photo's mask costs a byte a pixel.
struct Document {
    TBitmap& image;
    std::unique_ptr<TSelection> mask;

    TSelection& Mask();
};

constexpr int kMaxValues = 4;
using Values = std::array<int, kMaxValues>;

struct OperationInfo {
    const char* name; // as typed on the command line
    const char* valueNames; // for the help, e.g. "R V B"; empty when none
    int valueCount;
    ValueKind kind;
    const char* group; // the heading it is listed under in the help
    const char* description; // one line of help, in French
    void (*apply)(Document& document, const Values& values);
};

// Every operation, in the order of the help.
const std::vector<OperationInfo>& AllOperations();

// The operation called `name`, or nullptr.
const OperationInfo* FindOperation(const QString& name);

} // namespace cli
