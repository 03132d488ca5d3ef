#include "EditOptions.h"

#include "core/FrameHeader.h"
#include "edit/SilenceDetection.h"

#include <charconv>
#include <limits>

namespace zefrin {

namespace {

constexpr uint32_t NumberLimit = std::numeric_limits<int32_t>::max();

struct PointOptionNames
{
    const char* Frames;
    const char* Seconds;
};

constexpr PointOptionNames BeginNames{"--begin", "--begin-time"};
constexpr PointOptionNames EndNames{"--end", "--end-time"};

TrimPointRequest ParsePoint(const CliOptions& options, const PointOptionNames& names)
{
    TrimPointRequest point;
    if (auto frames = NumberOption(options, names.Frames, 0, NumberLimit))
        point.Frames = uint32_t(*frames);
    if (auto seconds = NumberOption(options, names.Seconds, 0, NumberLimit))
        point.Seconds = uint32_t(*seconds);
    if (point.Frames && point.Seconds)
        throw UsageError(std::string(names.Frames) + " and " + names.Seconds +
                         " both set the same trimming point; give one of them");
    if (options.Has("--auto-trim") && (point.Frames || point.Seconds))
        throw UsageError(std::string("--auto-trim sets both trimming points; it cannot be "
                                     "combined with ") +
                         (point.Frames ? names.Frames : names.Seconds));
    return point;
}

// The point in frames, checked against the stream like a spin edit's limits. Returns the
// name of the option that gave it, for the message about the sum.
int32_t PointFrames(const TrimPointRequest& point, const PointOptionNames& names,
                    const StreamModel& model, const char** given)
{
    const FrameHeader& reference = model.Info.Reference;
    const auto frameCount = uint32_t(model.Info.FrameCount);
    if (point.Seconds) {
        *given = names.Seconds;
        const uint32_t length = FramesToSeconds(reference, frameCount);
        if (*point.Seconds > length)
            throw UsageError(std::string(names.Seconds) + " " + std::to_string(*point.Seconds) +
                             " is beyond the " + std::to_string(length) + " seconds of the file");
        // The time spin cannot reach past the stream, but rounding up may.
        return int32_t(std::min(SecondsToFrames(reference, *point.Seconds), frameCount));
    }
    if (point.Frames) {
        *given = names.Frames;
        if (*point.Frames > frameCount)
            throw UsageError(std::string(names.Frames) + " " + std::to_string(*point.Frames) +
                             " is beyond the " + std::to_string(frameCount) +
                             " frames of the file");
        return int32_t(*point.Frames);
    }
    *given = nullptr;
    return 0;
}

} // namespace

std::vector<OptionDefinition> TrimOptionDefinitions()
{
    return {
        {"--begin", "N", "frames to trim at the beginning (default 0)"},
        {"--end", "N", "frames to trim at the end (default 0)"},
        {"--begin-time", "S",
         "whole seconds to trim at the beginning, turned into frames as the time controls do "
         "(rounded up)"},
        {"--end-time", "S", "whole seconds to trim at the end, likewise"},
        {"--auto-trim", nullptr,
         "trim the digital silence at both ends, as the trim group's Auto button does"},
    };
}

TrimRequest ParseTrimOptions(const CliOptions& options)
{
    TrimRequest request;
    request.Begin = ParsePoint(options, BeginNames);
    request.End = ParsePoint(options, EndNames);
    request.AutoTrim = options.Has("--auto-trim");
    return request;
}

TrimPointsChosen ResolveTrimPoints(const TrimRequest& request, const StreamModel& model,
                                   const SettingsRecord& settings)
{
    TrimPointsChosen points;
    if (request.AutoTrim) {
        // Nothing comes back only while an analysis runs, which it does not here.
        if (const std::optional<TrimPoints> found = DetectSilence(model, settings)) {
            points.Begin = found->Begin;
            points.End = found->End;
        }
        return points;
    }
    const char* beginGiven = nullptr;
    const char* endGiven = nullptr;
    points.Begin = PointFrames(request.Begin, BeginNames, model, &beginGiven);
    points.End = PointFrames(request.End, EndNames, model, &endGiven);
    const int64_t trimmed = int64_t(points.Begin) + points.End;
    if (trimmed > model.Info.FrameCount)
        throw UsageError(std::string(beginGiven) + " and " + endGiven + " together trim " +
                         std::to_string(trimmed) + " frames, but the file has " +
                         std::to_string(model.Info.FrameCount));
    return points;
}

void CheckVolumeOptionsFit(int32_t gain, int32_t fadeIn, int32_t fadeOut, const StreamModel& model)
{
    if (model.Info.Reference.Layer == LayerIII)
        return;
    const char* option = gain != 0      ? "--gain"
                         : fadeIn != 0  ? "--fade-in"
                         : fadeOut != 0 ? "--fade-out"
                                        : nullptr;
    if (option)
        throw UsageError(std::string(option) + " changes the volume of MPEG Layer III files only");
}

std::optional<int32_t> SignedNumberOption(const CliOptions& options, const std::string& option,
                                          int32_t minimum, int32_t maximum)
{
    const std::optional<std::string> text = options.Value(option);
    if (!text)
        return std::nullopt;
    // from_chars takes a '-' but no '+'; "+3" is how the volume panel writes a gain.
    const char* start = text->data();
    const char* end = start + text->size();
    if (start != end && *start == '+' && end - start > 1 && start[1] != '-')
        ++start;
    int32_t number = 0;
    const auto [stop, error] = std::from_chars(start, end, number);
    if (start == end || error != std::errc() || stop != end || number < minimum || number > maximum)
        throw UsageError(option + " takes a whole number from " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + ", not \"" + *text + "\"");
    return number;
}

} // namespace zefrin
