// zefrin-cli info: opens a file exactly as the window does (same settings, same analysis,
// same decoder for the ending) and prints what the information fields and the Advanced info
// window would show, as text or as one JSON object.
#pragma once

#include "CliOptions.h"

#include <cstdint>
#include <ostream>

namespace zefrin {

const CommandDefinition& InfoCommandDefinition();

// The frame table's capacity when --max-frames is not given: room for a file made of the
// shortest possible frames (24 bytes), so any file the mapping accepts fits. A table only
// costs the pages its records use, so this is no waste.
uint32_t DefaultFrameTableCapacity(uint64_t fileSize);

// Runs the command. Returns the exit code of a successful run (0); failures raise Error
// (exit 1) or UsageError (exit 2). `progress` draws the progress line on `err`.
int RunInfoCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress);

} // namespace zefrin
