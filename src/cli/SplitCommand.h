// zefrin-cli split: the window's Ctrl+U without the window. FILE is cut into one file per
// track of its cue sheet (the one beside it, or the one embedded in its ID3v2 tag), each
// written by the one writer with the amplification and fades given here and the save
// settings, into a folder named after the album.
#pragma once

#include "CliOptions.h"

#include <ostream>

namespace zefrin {

const CommandDefinition& SplitCommandDefinition();

// Returns 0 after every track was written and 1, with "no cue sheet found", when FILE has no
// cue sheet; failures raise Error (exit 1) or UsageError (exit 2).
int RunSplitCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress);

} // namespace zefrin
