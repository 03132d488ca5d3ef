// The text form of info: the six information fields of the main window with their labels,
// then the pages of the Advanced info window, then (when asked) the frame table.
#pragma once

#include "core/OpenFile.h"
#include "core/StreamModel.h"

#include <ostream>
#include <string>

namespace zefrin {

void WriteInfoText(std::ostream& out, const StreamModel& model, const OpenResult& result,
                   bool frames);

// A warning the window shows in a box, as "warning: " and its lines.
void WriteWarning(std::ostream& err, const std::string& text);

} // namespace zefrin
