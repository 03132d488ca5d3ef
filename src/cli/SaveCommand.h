// zefrin-cli save: the window's Save (--in-place) and Save As (-o OUT) without the window.
// The file is opened as the window opens it, the trimming points, amplification and fades
// are set as the controls would hold them, the figures of the result are brought up to date,
// and the one writer does the rest with the save settings.
#pragma once

#include "CliOptions.h"

#include <ostream>

namespace zefrin {

const CommandDefinition& SaveCommandDefinition();

// Returns 0 after a successful save; failures raise Error (exit 1) or UsageError (exit 2).
int RunSaveCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress);

} // namespace zefrin
