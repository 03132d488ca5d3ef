#include "edit/TrimControls.h"

#include "HandBuiltStream.h"
#include "settings/SettingsTable.h"

#include <gtest/gtest.h>

using namespace zefrin;
using zefrin::test::HandBuiltStream;

namespace {

constexpr int64_t FrameBytes = 417;

struct Points
{
    int32_t Begin, End, EndPosition, Duration;
};

// 1000 frames of MPEG-1 Layer III at 44.1 kHz (26.12 s), opened.
class TrimControlsTest : public ::testing::Test
{
  protected:
    void SetUp() override { controls.Refresh(true); }

    void ExpectPoints(const Points& p)
    {
        EXPECT_EQ(controls.Value(TrimValue::Begin), p.Begin);
        EXPECT_EQ(controls.Value(TrimValue::End), p.End);
        EXPECT_EQ(controls.Value(TrimValue::EndPosition), p.EndPosition);
        EXPECT_EQ(controls.Value(TrimValue::Duration), p.Duration);
        // The time spins follow their frame spin edits.
        const FrameHeader& reference = model->Info.Reference;
        for (TrimValue v :
             {TrimValue::Begin, TrimValue::End, TrimValue::EndPosition, TrimValue::Duration})
            EXPECT_EQ(controls.Seconds(v), FramesToSeconds(reference, controls.Value(v))) << int(v);
        // Every change ends with the figures of the final points.
        EXPECT_EQ(state.PredictedSize, (model->Info.FrameCount - p.Begin - p.End) * FrameBytes);
    }

    std::unique_ptr<StreamModel> model = HandBuiltStream(1000);
    SettingsRecord settings = DefaultSettings();
    EditState state;
    TrimControls controls{*model, settings, state};
};

} // namespace

TEST_F(TrimControlsTest, OpeningStartsWithTheWholeStream)
{
    EXPECT_TRUE(state.FileOpen);
    ExpectPoints({0, 0, 1000, 1000});
    EXPECT_EQ(controls.Text(TrimValue::Begin), "0");
    EXPECT_EQ(controls.Label(TrimValue::Begin), "(0.00s)");
    EXPECT_EQ(controls.Label(TrimValue::Duration), "(26.12s)");
    EXPECT_EQ(controls.Seconds(TrimValue::EndPosition), 26u);
    EXPECT_EQ(state.SpaceSavedText, "0.0KB");
}

TEST_F(TrimControlsTest, ChangingOneValueMovesTheOthers)
{
    const struct
    {
        const char* Name;
        int32_t Begin, End; // before the change
        TrimValue Changed;
        int32_t Value;
        Points After;
    } cases[] = {
        {"begin inside", 0, 100, TrimValue::Begin, 250, {250, 100, 900, 650}},
        {"begin over the end", 0, 800, TrimValue::Begin, 300, {300, 700, 300, 0}},
        {"end over the begin", 300, 0, TrimValue::End, 800, {200, 800, 200, 0}},
        {"end position after begin", 200, 0, TrimValue::EndPosition, 900, {200, 100, 900, 700}},
        {"end position before begin", 950, 0, TrimValue::EndPosition, 900, {900, 100, 900, 0}},
        {"duration shorter", 100, 0, TrimValue::Duration, 500, {100, 400, 600, 500}},
        {"duration longer than the rest", 100, 300, TrimValue::Duration, 1000, {0, 0, 1000, 1000}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        controls.Refresh(false); // closing empties the boxes, opening starts from 0 again
        controls.Refresh(true);
        controls.SetFrames(TrimValue::Begin, c.Begin);
        controls.SetFrames(TrimValue::End, c.End);
        controls.SetText(c.Changed, std::to_string(c.Value));
        ExpectPoints(c.After);
    }
}

TEST_F(TrimControlsTest, ValuesStayWithinTheStream)
{
    controls.SetFrames(TrimValue::Begin, 5000);
    EXPECT_EQ(controls.Text(TrimValue::Begin), "1000");
    ExpectPoints({1000, 0, 1000, 0});

    controls.SetText(TrimValue::End, "-5");
    EXPECT_EQ(controls.Text(TrimValue::End), "0");

    controls.SetText(TrimValue::Begin, "1234567"); // six characters at most, then the limit
    EXPECT_EQ(controls.Text(TrimValue::Begin), "1000");

    controls.SetText(TrimValue::Begin, "40");
    ExpectPoints({40, 0, 1000, 960});
}

TEST_F(TrimControlsTest, TextThatIsNoNumberIsNoTrimmingPoint)
{
    controls.SetFrames(TrimValue::Begin, 40);
    controls.SetFrames(TrimValue::End, 10);
    const int64_t predicted = state.PredictedSize;
    for (const char* text : {"", "12a", "-", "+", " 5"}) {
        SCOPED_TRACE(text);
        controls.SetText(TrimValue::Begin, text);
        EXPECT_EQ(controls.Value(TrimValue::Begin), -1);
        EXPECT_EQ(controls.Label(TrimValue::Begin), "");
        EXPECT_EQ(state.SpaceSavedText, "(0KB)");
        EXPECT_EQ(state.PredictedSize, predicted);
        EXPECT_EQ(controls.Value(TrimValue::End), 10);
        EXPECT_EQ(controls.Value(TrimValue::Duration), 950);
    }
    controls.SetText(TrimValue::Begin, "+12");
    ExpectPoints({12, 10, 990, 978});
}

TEST_F(TrimControlsTest, TimeSpinsSetWholeFramesRoundedUp)
{
    controls.SetSeconds(TrimValue::Begin, 2); // 2 x 44100 / 1152 = 76.6
    ExpectPoints({77, 0, 1000, 923});
    EXPECT_EQ(controls.Seconds(TrimValue::Begin), 2u); // 77 frames are 2.01 s
    EXPECT_EQ(controls.Label(TrimValue::Begin), "(2.01s)");

    // The spin reports changes of its total only: 80 frames still show 2 s.
    controls.SetFrames(TrimValue::Begin, 80);
    controls.SetSeconds(TrimValue::Begin, 2);
    EXPECT_EQ(controls.Value(TrimValue::Begin), 80);

    // Limited to the stream's 26 s; 26 s are 996 frames, which push the begin back.
    controls.SetSeconds(TrimValue::End, 600);
    EXPECT_EQ(controls.Seconds(TrimValue::End), 26u);
    ExpectPoints({4, 996, 4, 0});
}

TEST_F(TrimControlsTest, ClosingWithResetStartsTheNextFileFromZero)
{
    settings.CheckBoxResetTrimmingPointsWhenOpen = -1;
    controls.SetFrames(TrimValue::Begin, 100);
    controls.SetFrames(TrimValue::End, 50);
    controls.Refresh(false);
    EXPECT_FALSE(state.FileOpen);
    for (TrimValue v :
         {TrimValue::Begin, TrimValue::End, TrimValue::EndPosition, TrimValue::Duration}) {
        EXPECT_EQ(controls.Text(v), "") << int(v);
        EXPECT_EQ(controls.Label(v), "") << int(v);
        EXPECT_EQ(controls.Seconds(v), 0u) << int(v);
    }
    const EditState closed = state;
    controls.SetFrames(TrimValue::Begin, 30); // no file: the figures stay as they were
    EXPECT_EQ(state.PredictedSize, closed.PredictedSize);
    EXPECT_EQ(state.SpaceSavedText, closed.SpaceSavedText);

    controls.SetText(TrimValue::Begin, "");
    controls.Refresh(true);
    ExpectPoints({0, 0, 1000, 1000});
}

TEST_F(TrimControlsTest, PointsKeptOverACloseFitTheNextFile)
{
    settings.CheckBoxResetTrimmingPointsWhenOpen = 0;
    controls.SetFrames(TrimValue::Begin, 100);
    controls.SetFrames(TrimValue::End, 50);
    controls.Refresh(false);
    EXPECT_EQ(controls.Text(TrimValue::Begin), "100");
    EXPECT_EQ(controls.Text(TrimValue::End), "50");

    model->Info.FrameCount = 400;
    model->DurationSeconds = FramesToSeconds(model->Info.Reference, 400);
    controls.Refresh(true);
    ExpectPoints({100, 50, 350, 250});

    controls.Refresh(false);
    model->Info.FrameCount = 120; // too short for both points: the end gives way
    model->DurationSeconds = FramesToSeconds(model->Info.Reference, 120);
    controls.Refresh(true);
    ExpectPoints({100, 20, 100, 0});
}

TEST_F(TrimControlsTest, Mp3ProWarningOncePerOpening)
{
    model->Info.Mp3Pro = true;
    controls.Refresh(true);
    EXPECT_FALSE(controls.TakeMp3ProWarning());
    controls.SetFrames(TrimValue::Begin, 5);
    EXPECT_TRUE(controls.TakeMp3ProWarning());
    EXPECT_FALSE(controls.TakeMp3ProWarning());
    controls.SetFrames(TrimValue::Begin, 10);
    EXPECT_FALSE(controls.TakeMp3ProWarning());

    controls.Refresh(false);
    controls.Refresh(true);
    controls.SetFrames(TrimValue::Begin, 3);
    EXPECT_TRUE(controls.TakeMp3ProWarning());

    settings.CheckBoxWarnWhenTrimBeginning_mp3PRO = 0;
    controls.Refresh(false);
    controls.Refresh(true);
    controls.SetFrames(TrimValue::Begin, 3);
    EXPECT_FALSE(controls.TakeMp3ProWarning());

    settings.CheckBoxWarnWhenTrimBeginning_mp3PRO = -1;
    model->Info.Mp3Pro = false;
    controls.Refresh(false);
    controls.Refresh(true);
    controls.SetFrames(TrimValue::Begin, 3);
    EXPECT_FALSE(controls.TakeMp3ProWarning());
}
