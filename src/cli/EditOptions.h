// The options save and analyse share: the two trimming points, given as frame counts
// (--begin, --end, like the frame spin edits), as whole seconds (--begin-time, --end-time, like
// the time spins) or found at the digital silence (--auto-trim, like the trim group's Auto
// button). The command line is checked before the file is opened; the ranges, which depend
// on the file, after.
#pragma once

#include "CliOptions.h"
#include "core/StreamModel.h"
#include "settings/SettingsRecord.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace zefrin {

// The option rows of the trimming points, for a CommandDefinition.
std::vector<OptionDefinition> TrimOptionDefinitions();

// One trimming point as the command line gives it: nothing (0), frames or seconds.
struct TrimPointRequest
{
    std::optional<uint32_t> Frames;
    std::optional<uint32_t> Seconds;
};

struct TrimRequest
{
    TrimPointRequest Begin;
    TrimPointRequest End;
    bool AutoTrim = false;
};

// Reads the trimming options. Raises UsageError for a value that is no whole number and for
// a point given in two forms (--begin with --begin-time, either with --auto-trim).
TrimRequest ParseTrimOptions(const CliOptions& options);

struct TrimPointsChosen
{
    int32_t Begin = 0; // frames trimmed at the beginning
    int32_t End = 0;   // frames trimmed at the end
};

// The trimming points for the opened stream. Times become frames as the time spins make them
// (SecondsToFrames, rounding up); --auto-trim asks the silence detection. Raises UsageError
// when a point lies outside the stream (frames 0..FrameCount, seconds 0..its length) or both
// together trim more than the stream holds.
TrimPointsChosen ResolveTrimPoints(const TrimRequest& request, const StreamModel& model,
                                   const SettingsRecord& settings);

// The volume controls the command line sets: the amplification (TrackBarAmplification,
// -8 .. 8) and the fade positions (TrackBarFadeIn, TrackBarFadeOut, 0 .. 32).
inline constexpr int32_t AmplificationLimit = 8;
inline constexpr uint64_t FadePositionLimit = 32;

// The writer changes the volume of Layer III frames only; on other layers a gain or fade
// would be written unchanged, which must not pass for the change that was asked for. Raises
// UsageError naming the first of --gain, --fade-in, --fade-out that asks for a change.
void CheckVolumeOptionsFit(int32_t gain, int32_t fadeIn, int32_t fadeOut, const StreamModel& model);

// The value of an option as a whole number, sign allowed, within [minimum, maximum]; nothing
// when the option was not given. Raises UsageError otherwise.
std::optional<int32_t> SignedNumberOption(const CliOptions& options, const std::string& option,
                                          int32_t minimum, int32_t maximum);

} // namespace zefrin
