// Where the track starts fall for hand-set frame levels: the longest quiet runs first, the
// minimum track length around each chosen start, and the rules at the ends of the file.
#include "cue/CueSheetGenerator.h"
#include "settings/SettingsTable.h"

#include <gtest/gtest.h>

namespace zefrin {
namespace {

constexpr int64_t Loud = 1 << 20;

// MPEG-1 Layer III at 44.1 kHz: 1152 samples a frame, so one second is 39 frames (rounded up).
FrameHeader Mpeg1Layer3()
{
    FrameHeader header;
    EXPECT_TRUE(DecodeFrameHeader(header, 0x6490FBFF));
    return header;
}

struct QuietRun
{
    int32_t Start;
    int32_t Length;
    int64_t Level = 0;
};

struct SplitCase
{
    const char* Name;
    int32_t Frames;
    int32_t MinimumTrackSeconds;
    std::vector<QuietRun> Quiet;
    std::vector<int32_t> Expected;
    int64_t LoudLevel = Loud;
};

class FindSplitPointsTest : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(FindSplitPointsTest, ChoosesTheLongestQuietRunsApart)
{
    const SplitCase& c = GetParam();
    auto model = std::make_unique<StreamModel>();
    model->Info.Reference = Mpeg1Layer3();
    model->Info.FrameCount = c.Frames;
    for (int32_t i = 0; i < c.Frames; ++i)
        model->Frames[uint32_t(i)].Level = c.LoudLevel;
    for (const QuietRun& run : c.Quiet) {
        for (int32_t i = run.Start; i < run.Start + run.Length; ++i)
            model->Frames[uint32_t(i)].Level = run.Level;
    }
    SettingsRecord settings = DefaultSettings();
    settings.SpinEditMinimumCueTrackLength = c.MinimumTrackSeconds;
    EXPECT_EQ(FindSplitPoints(*model, settings), c.Expected);
}

std::vector<QuietRun> EvenlySpacedPauses(int count, int32_t pause, int32_t spacing)
{
    std::vector<QuietRun> runs;
    for (int k = 1; k <= count; ++k)
        runs.push_back({k * spacing, pause});
    return runs;
}

std::vector<int32_t> PauseCentres(int count, int32_t pause, int32_t spacing)
{
    std::vector<int32_t> centres{0};
    for (int k = 1; k <= count; ++k)
        centres.push_back(k * spacing + pause / 2);
    return centres;
}

// A minimum track length of 2 s is 77 frames; of 0 s, 10 frames.
const SplitCase Cases[] = {
    {"TwoPausesInFrameOrder", 2000, 2, {{1200, 60}, {400, 80}}, {0, 440, 1230}},
    {"PauseOf19FramesIsNoGap", 1000, 2, {{400, 19}}, {0}},
    {"PauseOf20FramesIsAGap", 1000, 2, {{400, 20}}, {0, 410}},
    {"EqualRunsTheEarlierWins", 1000, 2, {{400, 30}, {460, 30}}, {0, 415}},
    {"LongerRunWinsOverAnEarlierNearbyOne", 1000, 2, {{400, 30}, {460, 40}}, {0, 480}},
    {"NearbyRunStartingInsideTheMarksIsSkipped", 1000, 2, {{400, 60}, {470, 30}}, {0, 430}},
    {"NearbyRunEndingAtTheMarksIsSkipped", 1000, 2, {{330, 23}, {400, 60}}, {0, 430}},
    {"RunsFarEnoughApartAreBothTaken", 1000, 2, {{300, 30}, {400, 60}}, {0, 315, 430}},
    {"CentreTooNearTheStart", 1000, 2, {{40, 70}}, {0}},
    {"CentreJustFarEnoughFromTheStart", 1000, 2, {{57, 40}}, {0, 77}},
    {"CentreTooNearTheEnd", 1000, 2, {{900, 46}}, {0}},
    {"CentreJustFarEnoughFromTheEnd", 1000, 2, {{200, 20}, {890, 45}}, {0, 210, 912}},
    {"LastAppendedStartNearTheEndIsRemoved", 1000, 2, {{200, 40}, {880, 30}}, {0, 220}},
    {"OnlyStartNearTheEndIsRemoved", 1000, 2, {{880, 30}}, {0}},
    {"HundredFramesGiveNoTrack", 100, 0, {}, {}},
    {"TwoHundredFramesGiveNoTrack", 200, 0, {}, {}},
    {"TwoHundredAndOneFramesGiveTrackOne", 201, 0, {}, {0}},
    {"ZeroSecondsIsTenFrames", 400, 0, {{3, 20}}, {0, 13}},
    {"ZeroSecondsKeepsTenFramesAround", 400, 0, {{79, 20}, {100, 21}}, {0, 89, 110}},
    {"NegativeSecondsAreTenFramesToo", 400, -5, {{3, 20}}, {0, 13}},
    {"OneSecondIs39Frames", 400, 1, {{3, 20}}, {0}},
    {"AtMost99Tracks", 6000, 0, EvenlySpacedPauses(110, 20, 50), PauseCentres(98, 20, 50)},
    {"QuietIsBelowTheThresholdNotItsCounter", 2000, 2, {{500, 100, 300}, {1000, 30, 0}}, {0, 1015}},
    {"PauseLongerThanTheMarksIsChosenOnce", 2000, 2, {{500, 300}}, {0, 650}},
    {"LevelsBeyondTheCountersCountInTheLast", 1000, 2, {{400, 30}}, {0, 415}, int64_t(1) << 40},
};

INSTANTIATE_TEST_SUITE_P(Cases, FindSplitPointsTest, ::testing::ValuesIn(Cases),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace zefrin
