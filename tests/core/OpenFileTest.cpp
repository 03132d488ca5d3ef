// Opening real files made at test time by lame and twolame, and damaged ones made from them,
// checked against ffprobe's packet count where it is meaningful. Decoding is replaced here
// by a stand-in that reads the silence flags; the real decoder is exercised by the audio and
// command-line tests.
#include "core/OpenFile.h"

#include "core/Errors.h"
#include "core/FrameScanner.h"
#include "core/WavHeader.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

using namespace zefrin;
using namespace zefrin::test;
namespace fs = std::filesystem;

namespace {

// Levels from the scanner's silence flags: silent frames are quiet, others loud.
class SilenceFlagLevels : public EndLevelAnalyser
{
  public:
    void AnalyseLevels(StreamModel& model, const EngineContext&, const std::string&, int firstFrame,
                       int endFrame) override
    {
        First = firstFrame;
        End = endFrame;
        for (int i = firstFrame; i < endFrame; ++i) {
            FrameRecord& r = model.Frames[uint32_t(i)];
            r.Level = r.Silent && !AllLoud ? 0 : 5000;
        }
    }
    bool AllLoud = false;
    int First = -1;
    int End = -1;
};

struct Opened
{
    std::unique_ptr<StreamModel> Model = std::make_unique<StreamModel>(1u << 20);
    SettingsRecord Settings = DefaultSettings();
    MessageTexts Texts;
    NullEventPump Pump;
    SilenceFlagLevels Levels;
    OpenResult Result;
    std::string Error;

    StreamInfo& Info() { return Model->Info; }

    bool Open(const fs::path& path)
    {
        EngineContext context{Settings, Texts, Pump};
        try {
            Result = OpenFile(*Model, context, path.string(), Levels);
            return true;
        } catch (const zefrin::Error& e) {
            Error = e.what();
            return false;
        }
    }
};

// One shared folder of encoded fixtures for the whole test program.
class EncodedFiles : public testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        PcmShape stereo;
        stereo.Seconds = 3;
        stereo.SilenceAfter = 1;
        WritePcmWav(*s_dir / "stereo44.wav", stereo);
        PcmShape mono22 = stereo;
        mono22.SampleRate = 22050;
        mono22.Channels = 1;
        WritePcmWav(*s_dir / "mono22.wav", mono22);
        PcmShape stereo11 = stereo;
        stereo11.SampleRate = 11025;
        WritePcmWav(*s_dir / "stereo11.wav", stereo11);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static fs::path Wav(const char* name) { return *s_dir / name; }
    static fs::path Out(const std::string& name) { return *s_dir / name; }

    static TempDir* s_dir;
};

TempDir* EncodedFiles::s_dir = nullptr;

struct EncodedCase
{
    const char* Name;
    const char* Tool; // "lame" or "twolame"
    const char* Wav;
    const char* Options;
    uint8_t Version;
    uint8_t Layer;
    bool Crc;
    bool Xing;
    bool Info;
    bool Vbr;
};

} // namespace

TEST_F(EncodedFiles, MatrixAgreesWithFfprobe)
{
    const EncodedCase cases[] = {
        {"cbr-info", "lame", "stereo44.wav", "-b 128", 3, 1, false, false, true, false},
        {"vbr-xing", "lame", "stereo44.wav", "-V 4", 3, 1, false, true, false, true},
        {"vbr-no-tag", "lame", "stereo44.wav", "-V 4 -t", 3, 1, false, false, false, true},
        {"crc-mono", "lame", "stereo44.wav", "-b 96 -p -m m", 3, 1, true, false, true, false},
        // Frames of 104 bytes leave lame no room for its Info frame.
        {"mpeg2-mono", "lame", "mono22.wav", "-b 32", 2, 1, false, false, false, false},
        {"mpeg2-info", "lame", "mono22.wav", "-b 64", 2, 1, false, false, true, false},
        {"mpeg25", "lame", "stereo11.wav", "-b 16", 0, 1, false, false, false, false},
        {"layer2", "twolame", "stereo44.wav", "-b 192", 3, 2, false, false, false, false},
        // Layers I and II protect their bit allocation: the CRCs that twolame writes verify.
        {"layer2-crc", "twolame", "stereo44.wav", "-b 256 -m j --protect", 3, 2, true, false, false,
         false},
        {"layer2-mpeg2-crc", "twolame", "mono22.wav", "-b 48 --protect", 2, 2, true, false, false,
         false},
    };
    for (const EncodedCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const fs::path out = Out(std::string(c.Name) + ".mp3");
        const fs::path made = std::string(c.Tool) == "lame"
                                  ? EncodeWithLame(Wav(c.Wav), out, c.Options)
                                  : EncodeWithTwolame(Wav(c.Wav), out, c.Options);
        ASSERT_FALSE(made.empty());
        Opened o;
        ASSERT_TRUE(o.Open(out)) << o.Error;
        const StreamInfo& info = o.Info();
        EXPECT_EQ(info.FrameCount, FfprobePacketCount(out));
        EXPECT_EQ(info.Reference.Version, c.Version);
        EXPECT_EQ(info.Reference.Layer, c.Layer);
        EXPECT_EQ(info.Reference.HasCrc, c.Crc);
        EXPECT_EQ(info.BadCrcCount, 0);
        EXPECT_EQ(info.HasXing, c.Xing);
        EXPECT_EQ(info.HasInfo, c.Info);
        EXPECT_EQ(IsVariableBitrate(info), c.Vbr);
        EXPECT_EQ(info.MissingHeaderCount, 0);
        EXPECT_FALSE(info.FirstFrameMissing);
        EXPECT_FALSE(info.FirstFramesInvalid);
        EXPECT_FALSE(info.LastFrameIncomplete);
        EXPECT_TRUE(o.Result.Warnings.empty());
        // The file ends in a second of digital silence: a natural ending. (The stand-in
        // levels come from the silence flags, which only Layer III frames get from
        // encoders' silence.)
        if (c.Layer == 1) {
            EXPECT_FALSE(info.EndingAbrupt);
        }
        EXPECT_EQ(o.Levels.End, info.FrameCount);
        EXPECT_EQ(o.Levels.First, std::max(0, info.FrameCount - 105));
        EXPECT_EQ(o.Result.EditName, out.filename().string());
        EXPECT_EQ(info.FileSize, int64_t(fs::file_size(out)));
    }
}

TEST_F(EncodedFiles, TagsAndWavWrapperArePeeledOff)
{
    const fs::path plain = EncodeWithLame(Wav("stereo44.wav"), Out("plain.mp3"), "-b 128");
    ASSERT_FALSE(plain.empty());
    Opened base;
    ASSERT_TRUE(base.Open(plain));
    const int32_t frames = base.Info().FrameCount;
    const Bytes audio = ReadFileBytes(plain);

    // ID3v2 (lame's own) + audio + Lyrics3v2 + APE + ID3v1.
    const fs::path tagged = EncodeWithLame(Wav("stereo44.wav"), Out("tagged.mp3"),
                                           "-b 128 --add-id3v2 --tt Title --ta Artist");
    ASSERT_FALSE(tagged.empty());
    Bytes data = ReadFileBytes(tagged);
    Bytes id3v1;
    if (data.size() >= 128 && std::memcmp(data.data() + data.size() - 128, "TAG", 3) == 0) {
        id3v1.assign(data.end() - 128, data.end());
        data.resize(data.size() - 128);
    }
    ASSERT_EQ(id3v1.size(), 128u) << "lame wrote no ID3v1 tag";
    const std::string lyricsBody = "LYRICSBEGININD00002"
                                   "11"
                                   "LYR00005hello";
    char sizeField[7];
    std::snprintf(sizeField, sizeof sizeField, "%06zu", lyricsBody.size());
    const std::string lyrics = lyricsBody + sizeField + "LYRICS200";
    data.insert(data.end(), lyrics.begin(), lyrics.end());
    Bytes ape(32, 0);
    std::memcpy(ape.data(), "APETAGEX", 8);
    ape[8] = 0xD0; // version 2000
    ape[9] = 0x07;
    ape[12] = 32; // items + footer: no items
    Bytes apeHeader = ape;
    apeHeader[23] = 0xA0; // header present, this is the header
    ape[23] = 0x80;       // header present
    Append(data, apeHeader);
    Append(data, ape);
    Append(data, id3v1);
    WriteFileBytes(Out("all-tags.mp3"), data);

    Opened o;
    ASSERT_TRUE(o.Open(Out("all-tags.mp3"))) << o.Error;
    EXPECT_EQ(o.Info().FrameCount, frames);
    EXPECT_EQ(o.Info().Id3v1Size, 128);
    EXPECT_EQ(o.Info().ApeSize, 64);
    EXPECT_EQ(o.Info().ApeOffset, int32_t(data.size() - 128 - 64));
    EXPECT_EQ(o.Info().LyricsSize, int32_t(lyrics.size()));
    EXPECT_GT(o.Model->Id3v2.TotalSize, 0);
    // lame writes its texts in UTF-16, which is not shown; the track length is plain text.
    EXPECT_EQ(o.Model->Id3v2.Title, "");
    EXPECT_GT(o.Model->Id3v2.LengthDigits, 0);
    EXPECT_EQ(o.Info().MissingHeaderCount, 0);
    EXPECT_FALSE(o.Info().LastFrameIncomplete);
    EXPECT_GE(o.Model->Frames[0].Offset, uint32_t(o.Model->Id3v2.TotalSize));
    EXPECT_EQ(o.Result.Display.EditID3, "1&2");

    // The same frames behind a WAV header: offsets are file offsets after rebasing.
    Bytes wav(Mp3WavHeaderSize);
    BuildMp3WavHeader(std::span<uint8_t, Mp3WavHeaderSize>(wav.data(), Mp3WavHeaderSize), true,
                      44100, uint32_t(audio.size()), uint32_t(frames), 3000);
    Append(wav, audio);
    WriteFileBytes(Out("wrapped.wav"), wav);
    Opened w;
    ASSERT_TRUE(w.Open(Out("wrapped.wav"))) << w.Error;
    EXPECT_EQ(w.Info().RiffHeaderSize, 58);
    EXPECT_EQ(w.Info().FrameCount, frames);
    EXPECT_GE(w.Model->Frames[0].Offset, 58u);
    EXPECT_EQ(w.Model->Frames[0].Offset, base.Model->Frames[0].Offset + 58);
    EXPECT_EQ(w.Result.Display.LabelWAVembedded, "yes");
}

TEST_F(EncodedFiles, DamagedFiles)
{
    const fs::path source = EncodeWithLame(Wav("stereo44.wav"), Out("clean.mp3"), "-b 128 -t");
    ASSERT_FALSE(source.empty());
    const Bytes clean = ReadFileBytes(source);
    Opened base;
    ASSERT_TRUE(base.Open(source));
    const int32_t frames = base.Info().FrameCount;
    const uint32_t at = base.Model->Frames[40].Offset;

    struct DamageCase
    {
        const char* Name;
        Bytes Data;
        int32_t FrameCount;
        int32_t Missing;
        bool FirstMissing;
        bool LastIncomplete;
    };
    Bytes junkBefore(700, 0x00);
    Append(junkBefore, clean);
    Bytes junkBetween(clean.begin(), clean.begin() + at);
    Append(junkBetween, Bytes(20, 0x00));
    junkBetween.insert(junkBetween.end(), clean.begin() + at, clean.end());
    Bytes cut(clean.begin(), clean.end() - 100);
    Bytes trailing = clean;
    Append(trailing, Bytes(500, 0x00));
    const DamageCase cases[] = {
        {"junk before the first frame", junkBefore, frames, 0, true, false},
        {"junk between frames", junkBetween, frames, 1, false, false},
        {"cut last frame", cut, frames - 1, 0, false, true},
        {"trailing junk", trailing, frames, 0, false, true},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFileBytes(Out("damaged.mp3"), c.Data);
        Opened o;
        ASSERT_TRUE(o.Open(Out("damaged.mp3"))) << o.Error;
        EXPECT_EQ(o.Info().FrameCount, c.FrameCount);
        EXPECT_EQ(o.Info().MissingHeaderCount, c.Missing);
        EXPECT_EQ(o.Info().FirstFrameMissing, c.FirstMissing);
        EXPECT_EQ(o.Info().LastFrameIncomplete, c.LastIncomplete);
        EXPECT_FALSE(o.Info().FirstFramesInvalid);
        const auto last = uint32_t(o.Info().FrameCount);
        if (c.LastIncomplete) {
            EXPECT_EQ(o.Model->Frames[last].Offset + o.Model->Frames[last].Length, c.Data.size());
            EXPECT_EQ(o.Model->Frames[last + 1].Offset, c.Data.size());
        }
    }
    // ffprobe agrees on the frames of the file with a gap.
    WriteFileBytes(Out("gap.mp3"), junkBetween);
    EXPECT_EQ(FfprobePacketCount(Out("gap.mp3")), frames);
}

TEST_F(EncodedFiles, FalseSyncAtTheStartIsRetried)
{
    const fs::path source = EncodeWithLame(Wav("stereo44.wav"), Out("retry.mp3"), "-b 128 -t");
    ASSERT_FALSE(source.empty());
    // 3000 bytes of garbage holding three lone 48 kHz headers: each attempt finds a stream
    // that is far too short and starts again 4 bytes after its first header.
    Bytes data(3000, 0x00);
    SynthFrameShape lone;
    lone.SampleRateIndex = 1;
    for (size_t offset : {100u, 1200u, 2400u}) {
        const Bytes f = SynthFrame(lone);
        std::copy(f.begin(), f.begin() + 8, data.begin() + long(offset));
    }
    Append(data, ReadFileBytes(source));
    WriteFileBytes(Out("false-sync.mp3"), data);
    Opened o;
    ASSERT_TRUE(o.Open(Out("false-sync.mp3"))) << o.Error;
    EXPECT_TRUE(o.Info().FirstFramesInvalid);
    EXPECT_EQ(o.Info().Reference.SampleRate, 44100u);
    EXPECT_EQ(o.Model->Frames[0].Offset, 3000u);
    ASSERT_EQ(o.Result.Warnings.size(), 1u);
    EXPECT_EQ(o.Result.Warnings[0],
              "This file seems heavily damaged, at least at the beginning.\n\nZefrin will "
              "automatically skip part of the beginning when editing and permanently delete "
              "that part if the file is saved.\n");
    EXPECT_EQ(o.Result.Display.LabelFirstFrameInvalid, "yes");

    // Garbage of less than 1000 skipped bytes: retried without the warning.
    Bytes shortJunk(300, 0x00);
    const Bytes f = SynthFrame(lone);
    std::copy(f.begin(), f.begin() + 8, shortJunk.begin() + 10);
    Append(shortJunk, ReadFileBytes(source));
    WriteFileBytes(Out("short-false-sync.mp3"), shortJunk);
    Opened s;
    ASSERT_TRUE(s.Open(Out("short-false-sync.mp3"))) << s.Error;
    EXPECT_TRUE(s.Info().FirstFramesInvalid);
    EXPECT_TRUE(s.Result.Warnings.empty());
}

TEST_F(EncodedFiles, WrongCrcIsShownAsBad)
{
    const fs::path source = EncodeWithLame(Wav("stereo44.wav"), Out("crc.mp3"), "-b 128 -p");
    ASSERT_FALSE(source.empty());
    Opened base;
    ASSERT_TRUE(base.Open(source));
    EXPECT_EQ(base.Result.Display.EditCRC, "yes");
    Bytes data = ReadFileBytes(source);
    data[base.Model->Frames[10].Offset + 10] ^= 0x40; // a side-information bit
    WriteFileBytes(Out("crc-bad.mp3"), data);
    Opened o;
    ASSERT_TRUE(o.Open(Out("crc-bad.mp3")));
    EXPECT_EQ(o.Info().BadCrcCount, 1);
    EXPECT_EQ(o.Result.Display.EditCRC, "bad");
}

namespace {

// A synthesised 128 kbit/s stream with `others` frames at 160 kbit/s spread through it.
Bytes NearlyCbr(int total, int others)
{
    Bytes data;
    data.reserve(size_t(total) * 522);
    SynthFrameShape main;
    SynthFrameShape odd;
    odd.BitrateIndex = 10;
    const int every = others > 0 ? total / others : total + 1;
    for (int i = 0; i < total; ++i) {
        SynthFrameShape shape = (i % every == every / 2 && others > 0) ? odd : main;
        shape.Seed = uint32_t(i + 1);
        Append(data, SynthFrame(shape));
    }
    return data;
}

} // namespace

TEST_F(EncodedFiles, NearlyCbrRescan)
{
    const struct
    {
        int Others;
        bool SmartCbr;
        bool Vbr;
        int32_t FrameCount;
        int32_t Missing;
    } cases[] = {
        {50, true, false, 9950, 50},
        {50, false, true, 10000, 0},
        {100, true, true, 10000, 0}, // more than 10000 / 128: stays VBR
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Others << " others, smart " << c.SmartCbr);
        WriteFileBytes(Out("nearly.mp3"), NearlyCbr(10000, c.Others));
        Opened o;
        o.Settings.CheckBoxSmartCBR = c.SmartCbr ? -1 : 0;
        ASSERT_TRUE(o.Open(Out("nearly.mp3"))) << o.Error;
        EXPECT_EQ(IsVariableBitrate(o.Info()), c.Vbr);
        EXPECT_EQ(o.Info().FrameCount, c.FrameCount);
        EXPECT_EQ(o.Info().MissingHeaderCount, c.Missing);
    }
}

namespace {

Bytes LoneHeaderNearTheEnd()
{
    Bytes data(5000, 0x00);
    const Bytes f = SynthFrame(SynthFrameShape{});
    std::copy(f.begin(), f.begin() + 8, data.begin() + 4950);
    return data;
}

} // namespace

TEST_F(EncodedFiles, RefusedFiles)
{
    const struct
    {
        const char* Name;
        Bytes Data;
        const char* Error;
    } cases[] = {
        {"four frames", SynthStream(SynthFrameShape{}, 4),
         "Failed to find a valid MPEG header - this is not an MP3 file!"},
        {"a lone header near the end", LoneHeaderNearTheEnd(),
         "Error analyzing this file - probably not an MPEG audio file"},
        {"text", Bytes(20000, 'x'),
         "Failed to find a valid MPEG header - this is not an MP3 file!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFileBytes(Out("refused.mp3"), c.Data);
        Opened o;
        EXPECT_FALSE(o.Open(Out("refused.mp3")));
        EXPECT_EQ(o.Error, c.Error);
        EXPECT_FALSE(o.Model->AnalysisBusy);
    }
    Opened missing;
    EXPECT_FALSE(missing.Open(Out("no-such-file.mp3")));
    EXPECT_EQ(missing.Error, "Failed to open the file \"" + Out("no-such-file.mp3").string() +
                                 "\" - No such file or directory");
    WriteFileBytes(Out("empty.mp3"), Bytes{});
    Opened empty;
    EXPECT_FALSE(empty.Open(Out("empty.mp3")));
    EXPECT_EQ(empty.Error.rfind("Failed to create file mapping - ", 0), 0u) << empty.Error;
}

TEST_F(EncodedFiles, AbruptEndingAndPreparedFrames)
{
    PcmShape loud;
    loud.Seconds = 3;
    WritePcmWav(Out("loud.wav"), loud);
    const fs::path source = EncodeWithLame(Out("loud.wav"), Out("abrupt.mp3"), "-b 128 -p");
    ASSERT_FALSE(source.empty());
    Opened o;
    o.Levels.AllLoud = true;
    ASSERT_TRUE(o.Open(source)) << o.Error;
    EXPECT_TRUE(o.Info().EndingAbrupt);
    EXPECT_EQ(o.Result.Display.EditEnding, "abrupt");

    // The silent frame: reference header without padding, zero side information, no
    // Huffman data; its CRC is right and the scanner judges it silent.
    const FrameHeader& silent = o.Info().SilentFrameHeader;
    EXPECT_EQ(silent.Bitrate, 128);
    EXPECT_TRUE(silent.HasCrc);
    Bytes frames;
    for (int i = 0; i < 6; ++i)
        frames.insert(frames.end(), o.Info().SilentFrame.begin(),
                      o.Info().SilentFrame.begin() + silent.FrameLength);
    StreamModel model;
    SettingsRecord settings = DefaultSettings();
    MessageTexts texts;
    NullEventPump pump;
    EngineContext context{settings, texts, pump};
    ScanFrames(model, context, frames.data(), uint32_t(frames.size()), 0);
    EXPECT_EQ(model.Info.FrameCount, 6);
    EXPECT_EQ(model.Info.BadCrcCount, 0);
    EXPECT_TRUE(model.Frames[0].Silent);

    // The seek frame header: lowest bitrate with room for the seek table, no CRC.
    const FrameHeader& seek = o.Info().SeekFrameHeader;
    EXPECT_FALSE(seek.HasCrc);
    EXPECT_GE(seek.FrameLength, seek.SideInfoEnd + 120);
    EXPECT_EQ(seek.Bitrate, 48); // 32 and 40 kbit/s frames are too short
}
