#include "SilenceDetection.h"

#include "core/Errors.h"
#include "core/FrameHeader.h"

#include <algorithm>

namespace zefrin {

std::optional<TrimPoints> DetectSilence(const StreamModel& model, const SettingsRecord& settings)
{
    if (model.AnalysisBusy)
        return std::nullopt;
    const StreamInfo& info = model.Info;
    const FrameTable& frames = model.Frames;
    const int32_t frameCount = info.FrameCount;

    int32_t begin = 0;
    while (begin < frameCount && frames[uint32_t(begin)].Silent)
        ++begin;
    int32_t end = 0;
    while (end < frameCount - begin && frames[uint32_t(frameCount - 1 - end)].Silent)
        ++end;

    // The first kept frame's main data may start in earlier frames; those must stay. The end
    // needs no such care: no kept frame refers to the frames after it.
    if (info.Reference.Layer == LayerIII && begin < frameCount) {
        begin -= frames[uint32_t(begin)].ReservoirDepth;
        ZEFRIN_ASSERT("UnitMain", begin >= 0);
    }
    // An mp3PRO decoder needs the first frames to sync up with the enhancement data.
    if (info.Mp3Pro)
        begin = settings.CheckBoxDisableSilenceDetectionBeginning_mp3PRO != 0
                    ? 0
                    : std::max(begin - 8, 0);
    return TrimPoints{begin, end};
}

void ButtonTrimSilenceClick(TrimControls& controls, const StreamModel& model,
                            const SettingsRecord& settings)
{
    const std::optional<TrimPoints> points = DetectSilence(model, settings);
    if (!points)
        return;
    controls.SetFrames(TrimValue::Begin, points->Begin);
    controls.SetFrames(TrimValue::End, points->End);
}

} // namespace zefrin
