// The progress bar of the long loops (range 0..62), moved only when its value changes.
#pragma once

#include "EventPump.h"
#include "StreamModel.h"

#include <cstdint>

namespace zefrin {

// Sets the total of the bar (its Tag); 0 disables it.
void SetProgressTotal(StreamModel& model, uint32_t total);
// When the total is above 0: the bar goes to MulDiv(position, 62, total), and the pump hears
// of it only when that value changed since the last call.
void ShowProgress(StreamModel& model, EventPump& pump, uint32_t position);

} // namespace zefrin
