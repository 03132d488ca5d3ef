#include "edit/TrimFigures.h"

#include "HandBuiltStream.h"
#include "settings/SettingsTable.h"

#include <gtest/gtest.h>

using namespace zefrin;
using zefrin::test::HandBuiltStream;
using zefrin::test::SynthFrameShape;

namespace {

constexpr int64_t FrameBytes = 417; // MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, no padding

// 100 frames of 417 bytes; no tags, constant bitrate without an extra-information frame, so
// that the defaults predict the kept frames alone.
class TrimFiguresTest : public ::testing::Test
{
  protected:
    void SetUp() override { state.FileOpen = true; }
    void Predict(int32_t begin, int32_t end)
    {
        UpdateDiskSpaceSavingDisplay(state, *model, settings, begin, end);
    }
    // What the prediction adds to the kept frames of 10 .. 94.
    int64_t AddedTo85Frames()
    {
        Predict(10, 5);
        return state.PredictedSize - 85 * FrameBytes;
    }

    std::unique_ptr<StreamModel> model = HandBuiltStream(100);
    SettingsRecord settings = DefaultSettings();
    EditState state;
};

} // namespace

TEST_F(TrimFiguresTest, KeptFramesGiveSizeAndSpaceSaved)
{
    Predict(10, 5);
    EXPECT_EQ(state.OutputFrameCount, 85);
    EXPECT_EQ(state.PredictedSize, 85 * FrameBytes);
    EXPECT_EQ(state.SpaceSaved, 15 * FrameBytes);
    EXPECT_EQ(state.SpaceSavedText, "6.1KB"); // 6255 bytes
    EXPECT_EQ(state.IncludeIncompleteTail, 0);
    EXPECT_EQ(state.AddSilenceBeginFrames, 0);
    EXPECT_EQ(state.AddSilenceEndFrames, 0);
}

TEST_F(TrimFiguresTest, BytesBetweenFramesCountOnlyWithoutCleanup)
{
    model = HandBuiltStream(100, {}, 10); // 10 stray bytes after every frame
    settings.CheckBoxCleanup = -1;
    Predict(10, 5);
    EXPECT_EQ(state.PredictedSize, 85 * FrameBytes);

    settings.CheckBoxCleanup = 0;
    Predict(10, 5);
    // From the start of frame 10 to the end of frame 94: the gaps between them, not after.
    EXPECT_EQ(state.PredictedSize, 85 * FrameBytes + 84 * 10);
    EXPECT_EQ(state.OutputFrameCount, 85);

    Predict(50, 50); // nothing kept
    EXPECT_EQ(state.PredictedSize, 0);
}

TEST_F(TrimFiguresTest, InvalidPointsShowZeroAndKeepTheFigures)
{
    Predict(10, 5);
    const EditState before = state;
    const struct
    {
        int32_t Begin, End;
    } cases[] = {{-1, 0}, {0, -1}, {-1, -1}, {-7, 3}, {3, -7}, {60, 41}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Begin << " / " << c.End);
        Predict(c.Begin, c.End);
        EXPECT_EQ(state.SpaceSavedText, "(0KB)");
        EXPECT_EQ(state.SpaceSaved, 0);
        EXPECT_EQ(state.PredictedSize, before.PredictedSize);
        EXPECT_EQ(state.OutputFrameCount, before.OutputFrameCount);
        EXPECT_EQ(state.IncludeIncompleteTail, before.IncludeIncompleteTail);
    }
}

TEST_F(TrimFiguresTest, NothingChangesWhileNoFileIsOpen)
{
    state.FileOpen = false;
    state.SpaceSavedText = "untouched";
    Predict(10, 5);
    EXPECT_EQ(state.PredictedSize, 0);
    EXPECT_EQ(state.OutputFrameCount, 0);
    EXPECT_EQ(state.SpaceSavedText, "untouched");
}

TEST_F(TrimFiguresTest, IncompleteTailIsSavedButNotCountedAsAFrame)
{
    model->Info.LastFrameIncomplete = true;
    model->Frames[100].Length = 200; // the tail after frame 99
    model->Info.FileSize += 200;
    settings.CheckBoxRemoveLastFrame = 0;
    for (int32_t cleanup : {-1, 0}) {
        SCOPED_TRACE(cleanup);
        settings.CheckBoxCleanup = cleanup;
        Predict(0, 0);
        EXPECT_EQ(state.IncludeIncompleteTail, 1);
        EXPECT_EQ(state.OutputFrameCount, 100);
        EXPECT_EQ(state.PredictedSize, 100 * FrameBytes + 200);

        Predict(0, 1); // trimming the end drops the tail too
        EXPECT_EQ(state.IncludeIncompleteTail, 0);
        EXPECT_EQ(state.OutputFrameCount, 99);
        EXPECT_EQ(state.PredictedSize, 99 * FrameBytes);
    }
    settings.CheckBoxRemoveLastFrame = -1;
    Predict(0, 0);
    EXPECT_EQ(state.IncludeIncompleteTail, 0);
    EXPECT_EQ(state.PredictedSize, 100 * FrameBytes);
}

TEST_F(TrimFiguresTest, AddedSilenceUsesTheListedLengthsAndTheSilentFrame)
{
    EXPECT_EQ(AddSilenceDurations[24], 1050); // the list reads "115s"
    EXPECT_EQ(AddSilenceDurations[26], 1500); // the list reads "180s"

    SynthFrameShape silentShape;
    silentShape.BitrateIndex = 1; // 32 kbit/s: 104-byte frames
    ASSERT_TRUE(DecodeFrameHeader(model->Info.SilentFrameHeader,
                                  zefrin::test::SynthHeaderWord(silentShape)));
    settings.ComboBoxAddSilenceBeginning = 24;
    settings.ComboBoxAddSilenceEnd = 26;
    Predict(0, 0);
    EXPECT_EQ(state.AddSilenceBeginFrames, 4019); // 105 s x 44100 / 1152, truncated
    EXPECT_EQ(state.AddSilenceEndFrames, 5742);   // 150 s
    EXPECT_EQ(state.OutputFrameCount, 100 + 4019 + 5742);
    EXPECT_EQ(state.PredictedSize, 100 * FrameBytes + (4019 + 5742) * 104);
    EXPECT_EQ(state.SpaceSaved, -(4019 + 5742) * 104);
    EXPECT_EQ(state.SpaceSavedText, "-991.4KB"); // the file grows

    // An index outside the list, as an imported settings file may hold, adds nothing.
    for (int32_t entry : {-1, 27, 1000}) {
        settings.ComboBoxAddSilenceBeginning = entry;
        settings.ComboBoxAddSilenceEnd = entry;
        Predict(0, 0);
        EXPECT_EQ(state.AddSilenceBeginFrames, 0) << entry;
        EXPECT_EQ(state.AddSilenceEndFrames, 0) << entry;
        EXPECT_EQ(state.PredictedSize, 100 * FrameBytes) << entry;
    }
}

TEST_F(TrimFiguresTest, SeekFrameIsCountedWhenOneIsWritten)
{
    model = HandBuiltStream(300);
    StreamInfo& info = model->Info;
    info.SeekFrameHeader.FrameLength = 313;
    info.ExtraInfoHeader = info.Reference;
    info.ExtraInfoHeader.FrameLength = 418;
    const int64_t kept = 285 * FrameBytes;

    Predict(10, 5); // constant bitrate, no extra-information frame in the source
    EXPECT_EQ(state.PredictedSize, kept);

    info.HasExtraInfo = info.HasInfo = true;
    settings.CheckBoxKeepExtraInfo = -1; // the source's frame goes over
    Predict(10, 5);
    EXPECT_EQ(state.PredictedSize, kept + 418);

    info.ConstantBits = zefrin::test::ConstantBitrateBits & ~BitrateMask;
    info.HasInfo = false;
    info.HasXing = true;
    settings.CheckBoxKeepExtraInfo = 0; // a fresh seek frame
    Predict(10, 5);
    EXPECT_EQ(state.PredictedSize, kept + 313);
}

TEST(TrimFigures, SaveAsWavFollowsTheDialogOrTheSetting)
{
    auto layer3 = HandBuiltStream(10);
    SynthFrameShape layer2Shape;
    layer2Shape.Layer = LayerII;
    auto layer2 = HandBuiltStream(10, layer2Shape);
    SettingsRecord settings = DefaultSettings();
    EditState state;

    const struct
    {
        bool Layer3;
        int32_t SaveWav;
        bool Override, Choice;
        bool Expected;
    } cases[] = {
        {true, -1, false, false, true},   {true, 0, false, false, false},
        {false, -1, false, false, false}, {false, 0, true, true, true},
        {true, -1, true, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Layer3 << c.SaveWav << c.Override << c.Choice);
        settings.CheckBoxSaveWAV = c.SaveWav;
        state.WavChoiceOverride = c.Override;
        state.WavChoice = c.Choice;
        EXPECT_EQ(SaveAsWav(c.Layer3 ? *layer3 : *layer2, settings, state), c.Expected);
    }
}

TEST_F(TrimFiguresTest, WavHeaderReplacesTheId3v2Tag)
{
    model->Id3v2.TotalSize = 1000;
    settings.CheckBoxKeepID3v2 = -1;
    EXPECT_EQ(AddedTo85Frames(), 1000);
    settings.CheckBoxSaveWAV = -1;
    EXPECT_EQ(AddedTo85Frames(), 58);
}

TEST_F(TrimFiguresTest, TagsFollowTheirSettingsAndTagsKept)
{
    StreamInfo& info = model->Info;
    info.Id3v1Size = 128;
    info.ApeSize = 300;
    info.LyricsSize = 70;
    model->Id3v2.TotalSize = 1000;

    const struct
    {
        uint8_t Id3v1Mode;
        int32_t KeepId3v2;
        int TagsKept;
        int64_t Added;
    } cases[] = {
        {0, 0, 1, 370},               // removed: only APE and Lyrics3 stay
        {1, 0, 1, 370 + 128},         // kept
        {1, 0, 0, 370},               // kept, but the user dropped the tags
        {2, 0, 0, 370 + 128},         // created from the file name whatever TagsKept says
        {0, -1, 1, 370 + 1000},       // ID3v2 kept
        {0, -1, 0, 370},              // ... unless the tags were dropped
        {1, -1, 1, 370 + 128 + 1000}, // all of them
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << int(c.Id3v1Mode) << " " << c.KeepId3v2 << " " << c.TagsKept);
        settings.RadioButtonID3Remove = c.Id3v1Mode;
        settings.CheckBoxKeepID3v2 = c.KeepId3v2;
        model->TagsKept = c.TagsKept;
        EXPECT_EQ(AddedTo85Frames(), c.Added);
    }
}
