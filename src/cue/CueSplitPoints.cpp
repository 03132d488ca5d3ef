#include "CueSheetGenerator.h"
#include "core/FrameHeader.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zefrin {

namespace {

constexpr size_t LevelHistogramSize = 8192;
constexpr int64_t LevelsPerCounter = 256;
constexpr int32_t ShortestPause = 20;      // frames; shorter quiet runs are no track gaps
constexpr int32_t ShortestLastTrack = 200; // frames the last start must leave behind it
constexpr int32_t TrackLengthWhenZero = 10;
// Eleven days: far beyond any track, and few enough frames to count in 32 bits.
constexpr int32_t LongestMinimumTrackSeconds = 1000000;

// The quiet threshold: one more than the first histogram counter at which a sixteenth of the
// frames has been counted. It is compared with the raw Level, which keeps it very low: only
// frames that are practically digital silence count as quiet.
int64_t QuietThreshold(const StreamModel& model, int32_t frameCount)
{
    std::vector<int32_t> histogram(LevelHistogramSize, 0);
    for (int32_t i = 0; i < frameCount; ++i) {
        const int64_t level = std::max<int64_t>(model.Frames[uint32_t(i)].Level, 0);
        // An extremely loud frame beyond the counters counts as the loudest there is.
        const auto counter =
            size_t(std::min<int64_t>(level / LevelsPerCounter, int64_t(LevelHistogramSize) - 1));
        ++histogram[counter];
    }
    int64_t sum = 0;
    for (size_t b = 0; b < LevelHistogramSize; ++b) {
        sum += histogram[b];
        if (16 * sum >= frameCount)
            return int64_t(b) + 1;
    }
    return int64_t(LevelHistogramSize);
}

int32_t MinTrackFrames(const StreamModel& model, const SettingsRecord& settings)
{
    const int32_t seconds = settings.SpinEditMinimumCueTrackLength;
    // A negative length from a hand-edited settings file is taken as no length given: with
    // no distance at all the same run would be chosen again and again.
    if (seconds <= 0)
        return TrackLengthWhenZero;
    return int32_t(SecondsToFrames(model.Info.Reference,
                                   uint32_t(std::min(seconds, LongestMinimumTrackSeconds))));
}

} // namespace

std::vector<int32_t> FindSplitPoints(const StreamModel& model, const SettingsRecord& settings)
{
    const int32_t n = std::max(model.Info.FrameCount, 0);
    const int64_t threshold = QuietThreshold(model, n);
    const int32_t minTrack = MinTrackFrames(model, settings);

    std::vector<int32_t> points;
    points.reserve(MaxCueTracks);
    points.push_back(0);
    // One mark per frame and one for the end, which closes the last quiet run.
    std::vector<uint8_t> used(size_t(n) + 1, 0);

    while (int32_t(points.size()) < MaxCueTracks) {
        int32_t bestLength = 0;
        int32_t bestCentre = 0;
        int32_t i = 0;
        while (i < n) {
            while (i < n && model.Frames[uint32_t(i)].Level >= threshold)
                ++i;
            if (i >= n)
                break;
            const int32_t start = i;
            while (i < n && model.Frames[uint32_t(i)].Level < threshold)
                ++i;
            const int32_t length = i - start;
            const int32_t centre = start + length / 2;
            // A run touching a chosen start's surroundings would give a track shorter than
            // the minimum; of equally long runs the earliest stays. A run longer than those
            // surroundings has clear ends after its own centre was chosen: the marked centre
            // keeps it from being chosen again as the start of an empty track.
            if (length > bestLength && centre >= minTrack && int64_t(centre) + minTrack < n &&
                used[size_t(start)] == 0 && used[size_t(i)] == 0 && used[size_t(centre)] == 0) {
                bestLength = length;
                bestCentre = centre;
            }
        }
        if (bestLength < ShortestPause)
            break;
        points.push_back(bestCentre);
        std::fill(used.begin() + (bestCentre - minTrack), used.begin() + (bestCentre + minTrack),
                  uint8_t(1));
    }

    // A start too near the end would make a last track of a few seconds; this also leaves a
    // very short file without any track.
    if (int64_t(points.back()) + ShortestLastTrack >= n)
        points.pop_back();
    std::sort(points.begin(), points.end());
    return points;
}

} // namespace zefrin
