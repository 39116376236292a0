#pragma once

#include "Arguments.h"
#include "Signals.h"

namespace cli {

// Exit codes of the whole program (and those of Signals.h).
constexpr int kFileError = 1;
constexpr int kUsageError = 2;

// Runs the batch form: checks the output folder and the names of the outputs
// (a usage error: the message in `usage`, kUsageError returned, nothing read
// nor written), then works on `command.batch.jobs` files at a time. Returns
// the exit code.
int RunBatch(const Command& command, QString* usage);

} // namespace cli
