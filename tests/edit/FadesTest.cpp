// The fade curve and the texts of the volume and fade controls.
#include "edit/Fades.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace zefrin;
using namespace zefrin::test;

namespace {

FrameHeader Reference(uint8_t version, int sampleRateIndex)
{
    SynthFrameShape shape;
    shape.Version = version;
    shape.SampleRateIndex = sampleRateIndex;
    FrameHeader header;
    EXPECT_TRUE(DecodeFrameHeader(header, SynthHeaderWord(shape)));
    return header;
}

// MPEG-1 at 48 kHz: fade position 12 (2417 ms) lasts exactly 100 frames, 32 (20 s) 833.
const FrameHeader Mpeg1At48k = Reference(VersionMpeg1, 1);
constexpr int32_t HundredFrames = 12;
constexpr int32_t Slowest = 32;

TEST(FadeSteps, FadeInFallsLinearlyFromTheFullDepthToZero)
{
    // Depth index 1 (-30 dB): 100 frames / 2 = 50 frames per 10 steps.
    const int32_t count = 1000;
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 0, count, count, HundredFrames, 0, 1), -20);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 1, count, count, HundredFrames, 0, 1), -19);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 50, count, count, HundredFrames, 0, 1), -10);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 99, count, count, HundredFrames, 0, 1), 0);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 100, count, count, HundredFrames, 0, 1), 0);
    // Every depth: the first frame is lowered by 10 x (depth + 1) steps.
    for (int32_t depth = 0; depth <= 3; ++depth)
        EXPECT_EQ(FadeSteps(Mpeg1At48k, 0, count, count, HundredFrames, 0, depth),
                  -10 * (depth + 1));
}

TEST(FadeSteps, FadeOutMirrorsTheFadeInAtTheEnd)
{
    const int32_t count = 1000;
    // count - i = 1 is the last frame: (1 - 100) x 10 / 50.
    EXPECT_EQ(FadeSteps(Mpeg1At48k, count - 1, count, count, 0, HundredFrames, 1), -19);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, count - 50, count, count, 0, HundredFrames, 1), -10);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, count - 100, count, count, 0, HundredFrames, 1), 0);
    // A fade-out alone leaves the beginning alone, and a fade-in the end.
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 0, count, count, 0, HundredFrames, 1), 0);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, count - 1, count, count, HundredFrames, 0, 1), 0);
}

TEST(FadeSteps, PositionZeroIsNoFadeAtAnyDepth)
{
    for (int32_t depth = 0; depth <= 3; ++depth) {
        for (int32_t i : {0, 1, 500, 998, 999})
            EXPECT_EQ(FadeSteps(Mpeg1At48k, i, 1000, 1000, 0, 0, depth), 0) << depth << " " << i;
    }
}

TEST(FadeSteps, AShortFileGetsHalfAFadeWithTheSameSlope)
{
    // 20 s is 833 frames; a span of 600 lets the fade-in cover only the first 300 frames,
    // starting at (0 - 300) x 10 / (833 / 4) = -14 instead of -40.
    const int32_t span = 600;
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 0, span, span, Slowest, 0, 3), -14);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 299, span, span, Slowest, 0, 3), 0);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 300, span, span, Slowest, 0, 3), 0);
    // Both fades at once share the span: the fade-out takes the other half.
    EXPECT_EQ(FadeSteps(Mpeg1At48k, span - 1, span, span, Slowest, Slowest, 3), -14);
    EXPECT_EQ(FadeSteps(Mpeg1At48k, 300, span, span, Slowest, Slowest, 3), 0);
}

TEST(FadeSteps, AFadeShorterThanTheDepthStillGivesAFiniteStep)
{
    // MPEG-2.5 at 8 kHz: position 2 (242 ms) is three 72 ms frames, fewer than depth + 1 at
    // depth index 3, where the steepest slope (10 steps a frame) stands in.
    const FrameHeader lowest = Reference(VersionMpeg25, 2);
    ASSERT_EQ(lowest.SampleRate, 8000u);
    const struct
    {
        int32_t Depth, FirstIn, LastOut;
    } cases[] = {{0, -10, -6}, {1, -30, -20}, {2, -30, -20}, {3, -30, -20}};
    for (const auto& c : cases) {
        EXPECT_EQ(FadeSteps(lowest, 0, 100, 100, 2, 2, c.Depth), c.FirstIn) << c.Depth;
        EXPECT_EQ(FadeSteps(lowest, 99, 100, 100, 2, 2, c.Depth), c.LastOut) << c.Depth;
        EXPECT_EQ(FadeSteps(lowest, 50, 100, 100, 2, 2, c.Depth), 0) << c.Depth;
    }
}

TEST(ControlTexts, AmplificationShowsDecibelsForEveryPosition)
{
    const char* const expected[] = {"-12.0dB", "-10.5dB", "-9.0dB", "-7.5dB",  "-6.0dB", "-4.5dB",
                                    "-3.0dB",  "-1.5dB",  "0.0dB",  "+1.5dB",  "+3.0dB", "+4.5dB",
                                    "+6.0dB",  "+7.5dB",  "+9.0dB", "+10.5dB", "+12.0dB"};
    for (int32_t position = -8; position <= 8; ++position)
        EXPECT_EQ(AmplificationText(position), expected[position + 8]) << position;
}

TEST(ControlTexts, FadeHintAndImageBands)
{
    EXPECT_EQ(FadeTrackBarHint(0), "0.0s");
    EXPECT_EQ(FadeTrackBarHint(11), "2.1s");
    EXPECT_EQ(FadeTrackBarHint(22), "7.6s");
    EXPECT_EQ(FadeTrackBarHint(31), "18.2s");
    EXPECT_EQ(FadeTrackBarHint(32), "20.0s");

    // Four 11-pixel bands of the 43-pixel image: no fade, fast, medium, slow.
    const struct
    {
        int32_t Y, Position;
    } bands[] = {{0, 0}, {10, 0}, {11, 11}, {21, 11}, {22, 22}, {32, 22}, {33, 32}, {42, 32}};
    for (const auto& band : bands)
        EXPECT_EQ(FadeImagePosition(band.Y), band.Position) << band.Y;
}

} // namespace
