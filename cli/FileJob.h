#pragma once

#include "Arguments.h"
#include "Operations.h"
#include "raster/TBitmap.h"

#include <QString>
#include <functional>
#include <optional>
#include <vector>

// One file's work, the same for the single-file form and for each file of a
// batch: read, run the operations, write.
namespace cli {

// One line on the standard error stream, "velmora-cli : " first. A file name
// may hold a line break; it is shown as a space so that each message stays on
// one line.
QString ErrorLine(const QString& message);
void PrintError(const QString& message);

// Reads `input`, applies `steps` in order and writes the 24-bit result to
// `output` in `format`, or in the input's own format when none is given (a GIF
// is then refused: the program writes no GIF). The whole input is read before
// the output is written and the output replaces an existing file only once
// complete, so the input may be the output. `warn` receives the warnings (an
// input that is not 24-bit). An output that is a symbolic link is followed,
// or replaced by the result itself with `replaceLink` (the batch: nothing is
// written outside its folder). Throws on any failure, with nothing written; a
// result that the output's format cannot hold (a WebP side over 16383 pixels)
// throws commands::ValueError, before anything is read when the input's header
// tells it.
void ProcessFile(const QString& input, const QString& output, std::optional<ImageFormat> format, int quality,
                 const std::vector<Step>& steps, const std::function<void(const QString&)>& warn,
                 bool replaceLink = false);

// The most memory that ProcessFile takes for `input`, `format`, `quality` and `steps`,
// from what the file's header claims: the read, then each operation's image
// and the copy it works from (or the image it makes), the selection mask, and
// the write. 0 when the header cannot be read or claims a size that the read
// refuses before allocating anything.
qint64 MemoryNeeded(const QString& input, std::optional<ImageFormat> format, int quality,
                    const std::vector<Step>& steps);

// Runs the single-file form and returns the exit code. SIGINT, SIGTERM and
// SIGHUP stop it: the output is then left as it was (unless it was already
// being put in place, which then finishes), no temporary file stays, and the
// exit code says which signal came.
int RunFile(const Command& command);

// Runs `work`; a failure (a bad file, no memory) gives its French message in
// `message` and false.
bool Guarded(const std::function<void()>& work, QString* message);

} // namespace cli
