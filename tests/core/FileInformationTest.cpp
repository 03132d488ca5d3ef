#include "core/FileInformation.h"

#include "core/FrameScanner.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace zefrin;
using namespace zefrin::test;

namespace {

FrameHeader Mpeg1Layer3()
{
    FrameHeader h;
    DecodeFrameHeader(h, SynthHeaderWord(SynthFrameShape{}));
    return h;
}

} // namespace

TEST(TimeTexts, FromFrameCounts)
{
    const FrameHeader h = Mpeg1Layer3();
    // 1000 frames = 26122 ms; 137 frames = 3.578 s; 138000 frames = 3605 s.
    EXPECT_EQ(FormatSeconds(h, 1000, 2), "26.12s");
    EXPECT_EQ(FormatSeconds(h, 1000, 0), "26s");
    EXPECT_EQ(FormatSeconds(h, 1000, 3), "26.122s");
    EXPECT_EQ(FormatMinutes(h, 1000), "0:26.12");
    EXPECT_EQ(FormatCueTime(h, 1000), "00:26:12");
    EXPECT_EQ(FormatLength(h, 1000), "0:26");
    EXPECT_EQ(FormatLengthForFileName(h, 7160), "3m 07s"); // 187 s
    EXPECT_EQ(FormatLength(h, 142600), "1h02");            // 3725 s
    EXPECT_EQ(FormatLengthForFileName(h, 142600), "1h 02");
    EXPECT_EQ(FormatMinutes(h, 142600), "62:05.06");
}

TEST(FileInformationDisplay, CbrWithoutTagsAndVariations)
{
    MessageTexts texts;
    SettingsRecord settings = DefaultSettings();
    NullEventPump pump;
    EngineContext context{settings, texts, pump};

    StreamModel model;
    const Bytes cbr = SynthStream(SynthFrameShape{}, 100);
    ScanFrames(model, context, cbr.data(), uint32_t(cbr.size()), 0);
    model.Info.FileSize = int64_t(cbr.size());
    FileInformation shown = ShowFileInformation(model, texts);
    EXPECT_EQ(shown.EditType, "MPEG 1 layer III 44100Hz - joint-stereo");
    EXPECT_EQ(shown.EditBitrate, "CBR 128Kbps");
    EXPECT_EQ(shown.EditID3, "no");
    EXPECT_EQ(shown.EditCRC, "no");
    EXPECT_EQ(shown.EditLength, "0:02");
    EXPECT_EQ(shown.ListBoxInconsistent, std::vector<std::string>{"- none -"});
    EXPECT_EQ(shown.ListBoxMissingFH, std::vector<std::string>{"- none -"});
    EXPECT_EQ(shown.LabelNumberFH, "100");
    EXPECT_EQ(shown.LabelMemoryUsage, "1%");
    EXPECT_EQ(shown.LabelNumberAverageBitrate, "127.7 Kbps");
    EXPECT_FALSE(shown.Id3v1.Enabled);
    EXPECT_EQ(shown.Id3v1.Title, "- no tag found -");
    EXPECT_EQ(model.DurationSeconds, 2u);

    // Mono frames among stereo ones, one of them with CRC, a 160 kbit/s frame, ten gaps.
    SynthFrameShape mono;
    mono.ChannelMode = 3;
    SynthFrameShape crc;
    crc.Crc = true;
    SynthFrameShape fast;
    fast.BitrateIndex = 10;
    Bytes mixed = SynthStream(SynthFrameShape{}, 20);
    for (int gap = 0; gap < 11; ++gap) {
        Append(mixed, Bytes(10, 0));
        Append(mixed, SynthStream(SynthFrameShape{}, 3));
    }
    Append(mixed, SynthFrame(mono));
    Append(mixed, SynthFrame(crc));
    Append(mixed, SynthFrame(fast));
    Append(mixed, SynthStream(SynthFrameShape{}, 3));
    ScanFrames(model, context, mixed.data(), uint32_t(mixed.size()), 0);
    model.Info.FileSize = int64_t(mixed.size());
    model.Info.Id3v1Size = 128;
    std::memcpy(model.Info.Id3v1.data(), "TAG", 3);
    model.Info.Id3v1[127] = 17;
    shown = ShowFileInformation(model, texts);
    EXPECT_EQ(shown.ListBoxInconsistent,
              (std::vector<std::string>{"Channel Mode", "CRC protection"}));
    EXPECT_EQ(shown.EditBitrate.rfind("VBR (", 0), 0u) << shown.EditBitrate;
    ASSERT_EQ(shown.ListBoxMissingFH.size(), 11u); // ten times and "..."
    EXPECT_EQ(shown.ListBoxMissingFH[0], "0:00.52");
    EXPECT_EQ(shown.ListBoxMissingFH[10], "...");
    EXPECT_EQ(shown.EditID3, "v1");
    EXPECT_EQ(shown.Id3v1.Genre, "Rock");
    model.TagsKept = 0;
    EXPECT_EQ(ShowFileInformation(model, texts).EditID3, "no");
}
