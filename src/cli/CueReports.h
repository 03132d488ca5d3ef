// What cue and split print: the cue sheet written with its track starts, and the track files
// a split wrote, one labelled line each.
#pragma once

#include "core/FrameHeader.h"
#include "cue/CueSheetGenerator.h"
#include "cue/CueSplitter.h"

#include <ostream>

namespace zefrin {

// "Written:" the cue sheet, "Tracks:" their number, then "Track 01:" 00:00:00 (frame 0) ...
void WriteCueText(std::ostream& out, const FrameHeader& reference, const CueGeneration& made);

// "Cue sheet:" the one used, "Folder:" the output folder, then "Written:" each track file.
void WriteSplitText(std::ostream& out, const SplitResult& result);

} // namespace zefrin
