// zefrin-cli analyse: what the volume group's Auto button would show for the frames the
// trimming points keep: the peak of the decode, the PanelVolumeMax text and the position it
// gives the amplification bar. Nothing is written.
#pragma once

#include "CliOptions.h"

#include <ostream>

namespace zefrin {

const CommandDefinition& AnalyseCommandDefinition();

// Returns 0 after a successful analysis; failures raise Error (exit 1) or UsageError (exit 2).
int RunAnalyseCommand(const CliOptions& options, std::ostream& out, std::ostream& err,
                      bool progress);

} // namespace zefrin
