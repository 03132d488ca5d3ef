// zefrin-cli cue: the window's Ctrl+G without the window. The volume analysis runs over the
// whole file, the longest quiet stretches become track starts, and the cue sheet is written
// beside the file.
#pragma once

#include "CliOptions.h"

#include <ostream>

namespace zefrin {

const CommandDefinition& CueCommandDefinition();

// Returns 0 after the cue sheet was written; failures raise Error (exit 1) or UsageError.
int RunCueCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress);

} // namespace zefrin
