#include "Progress.h"

namespace zefrin {

void SetProgressTotal(StreamModel& model, uint32_t total)
{
    model.Progress.Total = total;
}

void ShowProgress(StreamModel& model, EventPump& pump, uint32_t position)
{
    if (model.Progress.Total == 0)
        return;
    const int value = int(MulDiv(position, 62, model.Progress.Total));
    if (value == model.Progress.Position)
        return;
    model.Progress.Position = value;
    pump.ProgressChanged(value);
}

} // namespace zefrin
