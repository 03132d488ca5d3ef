#include "Fades.h"

#include "settings/AppTables.h"

#include <algorithm>
#include <cstdlib>

namespace zefrin {

namespace {

constexpr int32_t LastFadePosition = 32;
constexpr int32_t FadeImageBand = 11;

int32_t FadeDurationAt(int32_t position)
{
    return FadeDurationTable()[size_t(std::clamp(position, 0, LastFadePosition))];
}

int32_t FadeFrames(const FrameHeader& reference, int32_t position)
{
    return int32_t(MillisecondsToFrames(reference, uint32_t(FadeDurationAt(position))));
}

// Steps of a fade `distance` frames before its end, for a fade of `frames` frames of which
// `length` are used: the slope stays that of the full fade, so a shortened fade starts
// shallower instead of falling more steeply.
int32_t FadeRamp(int32_t distance, int32_t length, int32_t frames, int32_t depth)
{
    if (frames < 1)
        return 0;
    // The shortest fades at the lowest sample rates last fewer frames than the depth has
    // tenths; a divisor of 0 there would fault, 1 keeps the fade as steep as it can be.
    const int32_t framesPerTenSteps = std::max(frames / (depth + 1), 1);
    return (distance - length) * 10 / framesPerTenSteps;
}

} // namespace

int32_t FadeSteps(const FrameHeader& reference, int32_t i, int32_t count, int32_t span,
                  int32_t fadeInPosition, int32_t fadeOutPosition, int32_t fadeDepth)
{
    const int32_t depth = std::clamp(fadeDepth, 0, 3);
    const int32_t inFrames = FadeFrames(reference, fadeInPosition);
    const int32_t outFrames = FadeFrames(reference, fadeOutPosition);
    const int32_t inLength = std::min(span / 2, inFrames);
    const int32_t outLength = std::min(span / 2, outFrames);
    if (i < inLength)
        return FadeRamp(i, inLength, inFrames, depth);
    if (count - i < outLength)
        return FadeRamp(count - i, outLength, outFrames, depth);
    return 0;
}

std::string AmplificationText(int32_t position)
{
    const int32_t a = 3 * position / 2;
    std::string text = a < 0 ? "-" : (a > 0 ? "+" : "");
    text += std::to_string(std::abs(a));
    text += position % 2 != 0 ? ".5" : ".0";
    return text + "dB";
}

std::string FadeTrackBarHint(int32_t position)
{
    return FadeHintText(FadeDurationAt(position));
}

int32_t FadeImagePosition(int32_t y)
{
    return std::min(std::max(y, 0) / FadeImageBand * FadeImageBand, LastFadePosition);
}

} // namespace zefrin
