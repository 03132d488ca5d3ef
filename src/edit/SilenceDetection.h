// The Auto button of the trim group: trimming points at the digital silence of both ends,
// from the Silent flags the analysis set, keeping the bit-reservoir data the first kept
// Layer III frame needs and protecting the start of mp3PRO streams.
#pragma once

#include "TrimControls.h"
#include "core/StreamModel.h"
#include "settings/SettingsRecord.h"

#include <cstdint>
#include <optional>

namespace zefrin {

struct TrimPoints
{
    int32_t Begin = 0;
    int32_t End = 0;
};

// The two points; nothing while an analysis runs (AnalysisBusy).
std::optional<TrimPoints> DetectSilence(const StreamModel& model, const SettingsRecord& settings);

// ButtonTrimSilenceClick: sets begin, then end, through the controls' handlers.
void ButtonTrimSilenceClick(TrimControls& controls, const StreamModel& model,
                            const SettingsRecord& settings);

} // namespace zefrin
