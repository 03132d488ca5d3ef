// The JSON form of info: one object holding the stream model's figures under their own
// names (FrameCount, Reference, ...), the tags, the warnings of the open and the texts the
// window shows (Display); with `frames`, every frame record too.
#pragma once

#include "core/OpenFile.h"
#include "core/StreamModel.h"

#include <ostream>

namespace zefrin {

void WriteInfoJson(std::ostream& out, const StreamModel& model, const OpenResult& result,
                   bool frames);

} // namespace zefrin
