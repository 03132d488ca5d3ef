// The length of the result in a file name, replacing an old one.
#include "edit/FileNameLength.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace zefrin;
using namespace zefrin::test;

namespace {

// MPEG-1 Layer III at 48 kHz: 24 ms a frame.
FrameHeader Mpeg1At48k()
{
    SynthFrameShape shape;
    shape.SampleRateIndex = 1;
    FrameHeader header;
    EXPECT_TRUE(DecodeFrameHeader(header, SynthHeaderWord(shape)));
    return header;
}

const FrameHeader Reference = Mpeg1At48k();
constexpr uint32_t TwoMinutes59 = 7459; // 179.016 s
constexpr uint32_t OneHour02 = 155209;  // 3725.016 s

TEST(LooksLikeLength, MinutesAndSecondsOrHoursOnly)
{
    const struct
    {
        const char* Text;
        bool Length;
    } cases[] = {
        {"3m 07s", true},   {"1h 02", true},    {"12m 00s", true}, {"3m07s", true},
        {"1h 2m", true},    {"3m 0s", true},    {"live", false},   {"1h 02m 03s", false},
        {"2001", false},    {"12345", false},   {"3m 07", false},  {"3m 7s 7s", false},
        {"1h 1h 2", false}, {"3m 07s!", false}, {"1.5 m s", true}, {"", false},
    };
    for (const auto& c : cases) {
        const std::string text = c.Text;
        EXPECT_EQ(LooksLikeLength(text, 1, int(text.size())), c.Length) << '"' << c.Text << '"';
    }
    // Only the characters first..last count.
    const std::string name = "song (3m 07s).mp3";
    EXPECT_TRUE(LooksLikeLength(name, 7, 12));
    EXPECT_FALSE(LooksLikeLength(name, 6, 13));
    EXPECT_FALSE(LooksLikeLength(name, 7, 100));
}

TEST(InsertLengthIntoFileName, ReplacesOldLengthsAndKeepsOtherParentheses)
{
    const struct
    {
        const char* Name;
        uint32_t Frames;
        const char* Result;
    } cases[] = {
        {"song.mp3", TwoMinutes59, "song (2m 59s).mp3"},
        {"song (3m 07s).mp3", TwoMinutes59, "song (2m 59s).mp3"},
        {"song (live).mp3", TwoMinutes59, "song (live) (2m 59s).mp3"},
        {"song (1h 10) (3m 07s).mp3", TwoMinutes59, "song (2m 59s).mp3"},
        {"song (3m 07s)(1m 00s).mp3", TwoMinutes59, "song (2m 59s).mp3"},
        {"mix (3m 07s).part.mp3", OneHour02, "mix .part (1h 02).mp3"},
        {"song (live.mp3", TwoMinutes59, "song (live (2m 59s).mp3"},
        {"a  b.mp3", TwoMinutes59, "a b (2m 59s).mp3"},
        {"/music/my.album (3m 07s)/a  b (3m 07s).mp3", TwoMinutes59,
         "/music/my.album (3m 07s)/a b (2m 59s).mp3"},
    };
    for (const auto& c : cases) {
        const LengthInsertion inserted = InsertLengthIntoFileName(c.Name, Reference, c.Frames);
        EXPECT_TRUE(inserted.Done) << c.Name;
        EXPECT_EQ(inserted.NewName, c.Result) << c.Name;
    }
}

TEST(InsertLengthIntoFileName, ANameWithoutAPointGetsNoLength)
{
    for (const char* name : {"song", "song (3m 07s)", "/music/my.album/song"}) {
        const LengthInsertion inserted = InsertLengthIntoFileName(name, Reference, TwoMinutes59);
        EXPECT_FALSE(inserted.Done) << name;
        EXPECT_EQ(inserted.NewName.find("2m 59s"), std::string::npos) << name;
    }
}

} // namespace
