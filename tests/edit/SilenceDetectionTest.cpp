#include "edit/SilenceDetection.h"

#include "HandBuiltStream.h"
#include "core/Errors.h"
#include "settings/SettingsTable.h"

#include <gtest/gtest.h>

using namespace zefrin;
using zefrin::test::HandBuiltStream;
using zefrin::test::SynthFrameShape;

namespace {

// A stream of `frameCount` frames whose first `leading` and last `trailing` are silent; the
// first sounding frame's main data reaches `depth` frames back.
std::unique_ptr<StreamModel> SilentEnds(int32_t frameCount, int32_t leading, int32_t trailing,
                                        int8_t depth = 0, uint8_t layer = LayerIII)
{
    SynthFrameShape shape;
    shape.Layer = layer;
    auto model = HandBuiltStream(frameCount, shape);
    for (int32_t i = 0; i < frameCount; ++i)
        model->Frames[uint32_t(i)].Silent = i < leading || i >= frameCount - trailing;
    if (leading < frameCount)
        model->Frames[uint32_t(leading)].ReservoirDepth = depth;
    return model;
}

} // namespace

TEST(SilenceDetection, TrimmingPointsFromTheSilentFlags)
{
    const struct
    {
        const char* Name;
        int32_t Leading, Trailing;
        int8_t Depth;
        uint8_t Layer;
        bool Mp3Pro;
        int32_t DisableMp3ProBeginning;
        TrimPoints Expected;
    } cases[] = {
        {"reservoir kept", 40, 0, 2, LayerIII, false, 0, {38, 0}},
        {"mp3PRO start protected", 40, 0, 2, LayerIII, true, 0, {30, 0}},
        {"mp3PRO beginning never trimmed", 40, 0, 2, LayerIII, true, -1, {0, 0}},
        {"mp3PRO short silence", 5, 0, 0, LayerIII, true, 0, {0, 0}},
        {"no reservoir in Layer II", 40, 0, 2, LayerII, false, 0, {40, 0}},
        {"silent end", 0, 25, 0, LayerIII, false, 0, {0, 25}},
        {"both ends", 10, 25, 1, LayerIII, false, 0, {9, 25}},
        {"silent throughout", 1000, 1000, 0, LayerIII, false, 0, {1000, 0}},
        {"nothing silent", 0, 0, 0, LayerIII, false, 0, {0, 0}},
    };
    SettingsRecord settings = DefaultSettings();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        auto model = SilentEnds(1000, c.Leading, c.Trailing, c.Depth, c.Layer);
        model->Info.Mp3Pro = c.Mp3Pro;
        settings.CheckBoxDisableSilenceDetectionBeginning_mp3PRO = c.DisableMp3ProBeginning;
        const std::optional<TrimPoints> points = DetectSilence(*model, settings);
        ASSERT_TRUE(points.has_value());
        EXPECT_EQ(points->Begin, c.Expected.Begin);
        EXPECT_EQ(points->End, c.Expected.End);
    }
}

TEST(SilenceDetection, EndCountsOnlyFramesAfterTheBegin)
{
    // Frames 0..989 silent, 990 sounding, 991..999 silent: the end is 9, not 1000 - 990.
    auto model = SilentEnds(1000, 990, 9);
    const std::optional<TrimPoints> points = DetectSilence(*model, DefaultSettings());
    ASSERT_TRUE(points.has_value());
    EXPECT_EQ(points->Begin, 990);
    EXPECT_EQ(points->End, 9);
}

TEST(SilenceDetection, ReservoirReachingBeforeTheStreamIsAnAssertion)
{
    auto model = SilentEnds(100, 1, 0, 2);
    try {
        DetectSilence(*model, DefaultSettings());
        FAIL() << "no assertion failure";
    } catch (const AssertionFailure& e) {
        EXPECT_NE(std::string(e.what()).find("Assertion failure (UnitMain, line "),
                  std::string::npos)
            << e.what();
    }
}

TEST(SilenceDetection, AutoButtonSetsBothPointsThroughTheControls)
{
    auto model = SilentEnds(1000, 40, 25, 2);
    SettingsRecord settings = DefaultSettings();
    EditState state;
    TrimControls controls(*model, settings, state);
    controls.Refresh(true);

    ButtonTrimSilenceClick(controls, *model, settings);
    EXPECT_EQ(controls.Value(TrimValue::Begin), 38);
    EXPECT_EQ(controls.Value(TrimValue::End), 25);
    EXPECT_EQ(controls.Value(TrimValue::EndPosition), 975);
    EXPECT_EQ(controls.Value(TrimValue::Duration), 937);
    EXPECT_EQ(state.OutputFrameCount, 937);

    // While an analysis runs the button changes nothing.
    controls.SetFrames(TrimValue::Begin, 0);
    controls.SetFrames(TrimValue::End, 0);
    model->AnalysisBusy = true;
    EXPECT_FALSE(DetectSilence(*model, settings).has_value());
    ButtonTrimSilenceClick(controls, *model, settings);
    EXPECT_EQ(controls.Value(TrimValue::Begin), 0);
    EXPECT_EQ(controls.Value(TrimValue::End), 0);
    EXPECT_EQ(state.OutputFrameCount, 1000);
}
