// Saved files judged by tools that know MPEG audio independently of this editor: mp3val and
// ffprobe check the stream and the container, mpg123 decodes it, mp3gain changes the gain
// its own way, mutagen reads the seek frame and the tags. The sources are encoded by lame at
// test time, a few seconds each.
#include "OpenedForSaving.h"
#include "SavedFileOracles.h"
#include "core/Crc16.h"
#include "core/FrameScanner.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace zefrin;
using namespace zefrin::test;
namespace fs = std::filesystem;

namespace {

// ID3v2.3 text frames (ISO-8859-1) followed by `padding` zero bytes.
Bytes Id3v2Tag(const std::vector<std::pair<std::string, std::string>>& frames, uint32_t padding)
{
    Bytes body;
    for (const auto& [id, text] : frames) {
        const auto size = uint32_t(text.size() + 1);
        Append(body, Bytes(id.begin(), id.end()));
        Append(body, {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size),
                      0, 0, 0});
        Append(body, Bytes(text.begin(), text.end()));
    }
    body.resize(body.size() + padding, 0);
    const auto size = uint32_t(body.size());
    Bytes tag{'I', 'D', '3', 3, 0, 0};
    for (int shift : {21, 14, 7, 0})
        tag.push_back(uint8_t((size >> shift) & 0x7F)); // seven bits a byte
    Append(tag, body);
    return tag;
}

// An ID3v1 record with zero-padded fields and genre 12.
Bytes Id3v1Record(const std::string& title, const std::string& artist)
{
    Bytes record(128, 0);
    std::memcpy(record.data(), "TAG", 3);
    std::memcpy(record.data() + 3, title.data(), std::min<size_t>(title.size(), 30));
    std::memcpy(record.data() + 33, artist.data(), std::min<size_t>(artist.size(), 30));
    std::memcpy(record.data() + 93, "1999", 4);
    record[127] = 12;
    return record;
}

// The sources, each encoded once per test program when a test first asks for it.
//   vbr:     lame -V 4 with a "Xing" frame, 7 s (more than 256 frames, so a fresh seek
//            frame may be made), silence around a tone so that the bitrate varies
//   cbr:     lame -b 128 with an "Info" frame, 3 s
//   crc:     as cbr, every frame with a CRC
//   mono22:  MPEG-2 mono at 22.05 kHz, 32 kbit/s: one granule, one channel
//   shortxing: vbr whose "Xing" frame is too short for a seek table, so a save that keeps
//            the source's frame must make a fresh one of another length instead
//   tagged:  cbr behind an ID3v2 tag with a TLEN frame
//   tagged1: tagged with an ID3v1 record as well
//   vbrtagged1: vbr between the same two tags
fs::path Source(const std::string& name)
{
    static TempDir dir;
    static std::map<std::string, fs::path> made;
    if (const auto found = made.find(name); found != made.end())
        return found->second;

    const fs::path mp3 = dir / (name + ".mp3");
    PcmShape shape;
    shape.Seconds = 3;
    std::string options = "-b 128";
    if (name == "vbr") {
        shape.Seconds = 6;
        shape.SilenceBefore = 0.5;
        shape.SilenceAfter = 0.5;
        options = "-V 4";
    } else if (name == "crc") {
        options = "-b 128 -p";
    } else if (name == "mono22") {
        shape.SampleRate = 22050;
        shape.Channels = 1;
        options = "-b 32";
    }
    if (name == "shortxing") {
        // The Xing frame replaced by the shortest one of the stream's kind (32 kbit/s, 104
        // bytes), holding frame and byte counts but no room for a seek table.
        const Bytes vbr = ReadFileBytes(Source("vbr"));
        const std::vector<WalkedFrame> frames = WalkFrames(vbr, 0, vbr.size());
        Bytes file(104, 0);
        std::copy_n(vbr.begin(), 4, file.begin());
        file[1] |= 1;                               // no CRC
        file[2] = uint8_t((file[2] & 0x0C) | 0x10); // 32 kbit/s, no padding
        const auto audio = uint32_t(vbr.size() - frames[1].Offset);
        const uint32_t fields[] = {3, uint32_t(frames.size() - 1), audio + 104};
        std::memcpy(file.data() + 36, "Xing", 4);
        for (size_t i = 0; i < 3; ++i) {
            for (int b = 0; b < 4; ++b)
                file[40 + 4 * i + size_t(b)] = uint8_t(fields[i] >> (24 - 8 * b));
        }
        file.insert(file.end(), vbr.begin() + long(frames[1].Offset), vbr.end());
        WriteFileBytes(mp3, file);
    } else if (name == "tagged" || name == "tagged1" || name == "vbrtagged1") {
        Bytes file = Id3v2Tag({{"TIT2", "Tagged Title"}, {"TLEN", "99999999"}}, 64);
        Append(file, ReadFileBytes(Source(name == "vbrtagged1" ? "vbr" : "cbr")));
        if (name != "tagged")
            Append(file, Id3v1Record("Old Title", "Old Artist"));
        WriteFileBytes(mp3, file);
    } else {
        const fs::path wav = dir / (name + ".wav");
        WritePcmWav(wav, shape);
        if (EncodeWithLame(wav, mp3, options).empty())
            return {};
    }
    made[name] = mp3;
    return mp3;
}

fs::path CopySource(const std::string& name, const fs::path& to)
{
    fs::copy_file(Source(name), to, fs::copy_options::overwrite_existing);
    return to;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// Encoders and players look for the tag behind the side information as if the frame had no
// CRC (lame sets the CRC bit in the seek frame of a file with CRCs and still puts it there).
bool HasSeekTag(const Bytes& file, const WalkedFrame& frame, const char* id)
{
    const size_t at = frame.Offset + 4 + frame.Header.SideInfoEnd - frame.Header.HeaderSize;
    return at + 4 <= file.size() && std::memcmp(file.data() + at, id, 4) == 0;
}

// The settings in which the cases below differ.
struct SaveSettings
{
    int KeepExtraInfo = 1;
    int SaveWav = 0;
    int SilenceBegin = 0; // entries of the add-silence lists
    int SilenceEnd = 0;
    int Cleanup = 1;
    int Id3v1Mode = 1;

    void ApplyTo(SettingsRecord& settings) const
    {
        settings.CheckBoxKeepExtraInfo = KeepExtraInfo;
        settings.CheckBoxSaveWAV = SaveWav;
        settings.ComboBoxAddSilenceBeginning = SilenceBegin;
        settings.ComboBoxAddSilenceEnd = SilenceEnd;
        settings.CheckBoxCleanup = Cleanup;
        settings.RadioButtonID3Remove = uint8_t(Id3v1Mode);
        settings.CheckBoxCloseAfterSave = 0;
    }
};

// --- Every kind of output is a stream that mp3val accepts and ffprobe counts right. -------

// InPlaceTwice: a second Save on the model that the first one rewrote, without opening again.
enum class Target { NewFile, InPlace, InPlaceTwice, Memory };

struct OutputCase
{
    const char* Name;
    const char* Source;
    Target To;
    EditControls Controls;
    SaveSettings Settings;
    const char* SeekTag; // "Xing", "Info" or "" for none
};

void PrintTo(const OutputCase& c, std::ostream* out)
{
    *out << c.Name;
}

class SavedOutputs : public testing::TestWithParam<OutputCase>
{
};

TEST_P(SavedOutputs, AreCleanStreamsWithTheExpectedFrames)
{
    const OutputCase& c = GetParam();
    TempDir dir;
    const fs::path source = CopySource(c.Source, dir / "source.mp3");
    OpenedForSaving opened;
    ASSERT_TRUE(opened.Open(source));
    c.Settings.ApplyTo(opened.Settings);
    const bool inPlace = c.To == Target::InPlace || c.To == Target::InPlaceTwice;
    const fs::path output = inPlace ? source : dir / (c.Settings.SaveWav ? "out.wav" : "out.mp3");

    if (c.To == Target::Memory) {
        // Room for exactly the predicted size: the source has no tag that memory leaves out.
        UpdateDiskSpaceSavingDisplay(opened.State, *opened.Model, opened.Settings, c.Controls.Begin,
                                     c.Controls.End);
        Bytes memory(size_t(opened.State.PredictedSize));
        const WriteResult result = opened.Save({}, c.Controls, &memory);
        ASSERT_EQ(result.Size, int64_t(memory.size()));
        WriteFileBytes(output, memory);
    } else {
        if (c.To == Target::InPlaceTwice) {
            ASSERT_TRUE(opened.Save({}, c.Controls).ModelUpdated);
        }
        ASSERT_FALSE(opened.Save(inPlace ? fs::path() : output, c.Controls).NothingToChange);
    }
    const int32_t audioFrames = opened.State.OutputFrameCount;
    const Bytes file = ReadFileBytes(output);
    EXPECT_EQ(int64_t(file.size()), opened.State.PredictedSize);

    // The stream itself: the seek frame when one is due, then exactly the audio frames.
    const std::vector<WalkedFrame> frames = WalkFrames(file, AudioStart(file), file.size());
    const bool seek = *c.SeekTag != 0;
    ASSERT_EQ(frames.size(), size_t(audioFrames) + (seek ? 1 : 0));
    if (seek) {
        EXPECT_TRUE(HasSeekTag(file, frames[0], c.SeekTag));
    } else {
        EXPECT_FALSE(HasSeekTag(file, frames[0], "Xing") || HasSeekTag(file, frames[0], "Info"));
    }

    EXPECT_EQ(Joined(Mp3valComplaints(output)), "");
    // In a WAV file ffprobe takes the frames as they come: the seek frame is one of them.
    if (c.Settings.SaveWav) {
        EXPECT_EQ(FfprobeFormatAndCodec(output), "wav/mp3");
        EXPECT_EQ(FfprobePacketCount(output), audioFrames + (seek ? 1 : 0));
    } else {
        EXPECT_EQ(FfprobePacketCount(output), audioFrames);
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    WriterOracles, SavedOutputs,
    testing::Values(
        OutputCase{"NewFileVbrKeptXing", "vbr", Target::NewFile, {30, 20}, {}, "Xing"},
        OutputCase{"NewFileVbrFreshXing", "vbr", Target::NewFile, {0, 10}, {.KeepExtraInfo = 0}, "Xing"},
        OutputCase{"NewFileCbrKeptInfo", "cbr", Target::NewFile, {10, 10}, {}, "Info"},
        OutputCase{"NewFileCbrNoSeekFrame", "cbr", Target::NewFile, {10, 10}, {.KeepExtraInfo = 0}, ""},
        OutputCase{"InPlaceVbr", "vbr", Target::InPlace, {25, 25}, {}, "Xing"},
        OutputCase{"InPlaceTwiceVbr", "vbr", Target::InPlaceTwice, {10, 10}, {}, "Xing"},
        OutputCase{"InPlaceTwiceCbrWithGain", "crc", Target::InPlaceTwice, {4, 4, 2}, {}, "Info"},
        OutputCase{"InPlaceCbrWithSilence", "cbr", Target::InPlace, {5, 0},
                   {.SilenceBegin = 5, .SilenceEnd = 10}, "Info"},
        OutputCase{"NewFileVbrBetweenTags", "vbrtagged1", Target::NewFile, {10, 10}, {}, "Xing"},
        OutputCase{"WavWrapperVbr", "vbr", Target::NewFile, {10, 10}, {.SaveWav = 1}, "Xing"},
        OutputCase{"WavWrapperDropsId3v2", "vbrtagged1", Target::NewFile, {10, 10}, {.SaveWav = 1},
                   "Xing"},
        OutputCase{"WavWrapperCbrInPlace", "cbr", Target::InPlace, {0, 0},
                   {.KeepExtraInfo = 0, .SaveWav = 1}, ""},
        OutputCase{"SilenceBothEndsVbr", "vbr", Target::NewFile, {20, 20},
                   {.SilenceBegin = 5, .SilenceEnd = 10}, "Xing"},
        OutputCase{"NewFileVbrShortXing", "shortxing", Target::NewFile, {10, 10}, {}, "Xing"},
        OutputCase{"MemoryVbrWithSilence", "vbr", Target::Memory, {15, 15},
                   {.SilenceBegin = 3, .SilenceEnd = 3}, "Xing"},
        OutputCase{"GainFadesWithoutCleanup", "crc", Target::NewFile, {3, 3, 4, 10, 10},
                   {.Cleanup = 0}, "Info"}),
    [](const testing::TestParamInfo<OutputCase>& info) { return info.param.Name; });
// clang-format on

// --- Lossless: the kept frames decode to the samples the same frames of the source give. -----

struct DecodeCase
{
    const char* Name;
    const char* Source;
    bool InPlace;
    EditControls Controls;
    SaveSettings Settings;
};

void PrintTo(const DecodeCase& c, std::ostream* out)
{
    *out << c.Name;
}

class KeptFrames : public testing::TestWithParam<DecodeCase>
{
};

// A decoder's output for a granule depends on the main data of that granule and of the two
// before it (the overlap of the transform and the history of the synthesis filter): for
// MPEG-1, with two granules a frame, on frames n - 1 and n; for the lower sample rates, with
// one, on frames n - 2 to n. Main data may start up to ReservoirDepth frames earlier (the bit
// reservoir). So a kept frame decodes as in the source exactly when none of the frames it
// depends on reaches back before the first kept frame; only the first few do. Silent frames in
// front decode to zeros; behind the audio, the first ones still carry the end of the last
// kept frame, and every one after them is zeros.
TEST_P(KeptFrames, DecodeAsInTheSourceAndSilenceAsZeros)
{
    const DecodeCase& c = GetParam();
    TempDir dir;
    const fs::path source = CopySource(c.Source, dir / "source.mp3");
    OpenedForSaving opened;
    ASSERT_TRUE(opened.Open(source));
    c.Settings.ApplyTo(opened.Settings);
    const int channels = opened.Info().Reference.ChannelMode == ChannelModeMono ? 1 : 2;
    const size_t frameSamples = SamplesPerFrame(opened.Info().Reference) * size_t(channels);
    const DecodedPcm original = DecodeWithMpg123(source, channels);
    ASSERT_TRUE(original.Ok);
    ASSERT_EQ(original.Samples.size(), size_t(opened.Info().FrameCount) * frameSamples);
    const int32_t first = c.Controls.Begin;
    std::vector<bool> reachesBefore; // main data of kept frame j starts before the first kept
    for (int32_t j = 0; first + j < opened.Info().FrameCount; ++j)
        reachesBefore.push_back(opened.Model->Frames[uint32_t(first + j)].ReservoirDepth > j);

    const fs::path output = c.InPlace ? source : dir / "out.mp3";
    opened.Save(c.InPlace ? fs::path() : output, c.Controls);
    const int32_t before = opened.State.AddSilenceBeginFrames;
    const int32_t after = opened.State.AddSilenceEndFrames;
    const int32_t kept = opened.State.OutputFrameCount - before - after;
    const DecodedPcm saved = DecodeWithMpg123(output, channels);
    ASSERT_TRUE(saved.Ok);
    ASSERT_EQ(saved.Samples.size(), size_t(opened.State.OutputFrameCount) * frameSamples);

    const auto outFrame = [&](int32_t n) { return saved.Samples.begin() + n * frameSamples; };
    const auto sourceFrame = [&](int32_t n) { return original.Samples.begin() + n * frameSamples; };
    const auto silent = [&](int32_t n) {
        return std::all_of(outFrame(n), outFrame(n + 1), [](int16_t s) { return s == 0; });
    };
    const int32_t overlap = opened.Info().Reference.Version == VersionMpeg1 ? 1 : 2;
    int32_t compared = 0;
    for (int32_t j = overlap; j < kept; ++j) {
        if (std::any_of(reachesBefore.begin() + (j - overlap), reachesBefore.begin() + j + 1,
                        [](bool reaches) { return reaches; }))
            continue;
        ++compared;
        EXPECT_TRUE(
            std::equal(outFrame(before + j), outFrame(before + j + 1), sourceFrame(first + j)))
            << "kept frame " << j << " (source frame " << first + j << ")";
    }
    // The reservoir holds at most 511 bytes, a few frames even of the shortest kind.
    EXPECT_GE(compared, kept - 12) << "too few frames could be compared";
    EXPECT_TRUE(std::any_of(outFrame(before + 1), outFrame(before + kept),
                            [](int16_t s) { return s != 0; }));
    for (int32_t n = 0; n < before; ++n)
        EXPECT_TRUE(silent(n)) << "silent frame " << n << " in front";
    for (int32_t n = before + kept + overlap; n < before + kept + after; ++n)
        EXPECT_TRUE(silent(n)) << "silent frame " << n - before - kept << " behind";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    WriterOracles, KeptFrames,
    testing::Values(
        DecodeCase{"VbrWithSilenceBothEnds", "vbr", false, {40, 30},
                   {.SilenceBegin = 5, .SilenceEnd = 10}},
        DecodeCase{"CbrInPlaceWithoutCleanup", "cbr", true, {20, 5}, {.Cleanup = 0}},
        DecodeCase{"Mpeg2MonoSilenceBehind", "mono22", false, {12, 0},
                   {.KeepExtraInfo = 0, .SilenceEnd = 5}}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return info.param.Name; });
// clang-format on

// --- The gain change is the one mp3gain makes. ---------------------------------------------

struct GainCase
{
    const char* Name;
    const char* Source;
    int32_t Steps;
};

void PrintTo(const GainCase& c, std::ostream* out)
{
    *out << c.Name;
}

class GainChange : public testing::TestWithParam<GainCase>
{
};

// mp3gain -g adds the steps to every global_gain of every granule and recomputes the CRC; its
// file must equal ours frame for frame, CRC included, wherever no gain is 0 (a gain of 0 is
// left as it is here, whatever mp3gain does with it). The seek frame is not compared: ours
// carries updated counts (lame writes none in the shortest frames).
TEST_P(GainChange, AgreesWithMp3gainFrameByFrame)
{
    const GainCase& c = GetParam();
    TempDir dir;
    const fs::path source = CopySource(c.Source, dir / "source.mp3");
    const fs::path theirs = CopySource(c.Source, dir / "mp3gain.mp3");
    const CommandResult r = RunCommand("mp3gain -q -c -s s -g " + std::to_string(c.Steps) + " " +
                                       ShellQuote(theirs.string()));
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    OpenedForSaving opened;
    ASSERT_TRUE(opened.Open(source));
    const fs::path ours = dir / "ours.mp3";
    opened.Save(ours, {0, 0, c.Steps});

    const Bytes original = ReadFileBytes(source), a = ReadFileBytes(ours),
                b = ReadFileBytes(theirs);
    const auto walk = [](const Bytes& file) { return WalkFrames(file, 0, file.size()); };
    const std::vector<WalkedFrame> sourceFrames = walk(original), ourFrames = walk(a),
                                   theirFrames = walk(b);
    ASSERT_EQ(ourFrames.size(), sourceFrames.size());
    ASSERT_EQ(theirFrames.size(), sourceFrames.size());
    const bool seekFrame = HasSeekTag(original, sourceFrames[0], "Info");
    ASSERT_EQ(HasSeekTag(a, ourFrames[0], "Info"), seekFrame);

    size_t agreeing = 0;
    for (size_t k = seekFrame ? 1 : 0; k < sourceFrames.size(); ++k) {
        const WalkedFrame& s = sourceFrames[k];
        const uint32_t length = s.Header.FrameLength;
        const std::vector<int> before = GlobalGains(original.data() + s.Offset, s.Header);
        if (std::find(before.begin(), before.end(), 0) == before.end()) {
            ++agreeing;
            EXPECT_TRUE(std::equal(a.begin() + ourFrames[k].Offset,
                                   a.begin() + ourFrames[k].Offset + length,
                                   b.begin() + theirFrames[k].Offset))
                << "frame " << k;
        } else {
            std::vector<int> expected = before;
            for (int& gain : expected)
                gain = gain == 0 ? 0 : std::clamp(gain + c.Steps, 0, 255);
            EXPECT_EQ(GlobalGains(a.data() + ourFrames[k].Offset, ourFrames[k].Header), expected)
                << "frame " << k;
        }
    }
    EXPECT_GT(agreeing, sourceFrames.size() * 3 / 4);
}

INSTANTIATE_TEST_SUITE_P(WriterOracles, GainChange,
                         testing::Values(GainCase{"Mpeg1StereoWithCrcUp", "crc", 4},
                                         GainCase{"Mpeg2MonoDown", "mono22", -3}),
                         [](const testing::TestParamInfo<GainCase>& info) {
                             return info.param.Name;
                         });

// --- CRCs: recomputed where the gain changed, a wrong one left wrong. -------------------------

// One frame of a CRC-protected source gets a wrong CRC; the save changes the gain of every
// frame, by varying amounts through a fade-in. Each saved frame's CRC must verify, except that
// one, which keeps the bytes it had. mp3val, which checks CRCs itself, must agree.
TEST(WriterOracles, RecomputedCrcsVerifyAndAWrongOneStaysWrong)
{
    TempDir dir;
    const fs::path source = CopySource("crc", dir / "source.mp3");
    Bytes original = ReadFileBytes(source);
    const std::vector<WalkedFrame> sourceFrames = WalkFrames(original, 0, original.size());
    ASSERT_GT(sourceFrames.size(), 60u);
    ASSERT_TRUE(HasSeekTag(original, sourceFrames[0], "Info"));
    constexpr int32_t Damaged = 20; // audio frame index; walked frame Damaged + 1
    const size_t damagedAt = sourceFrames[Damaged + 1].Offset;
    ASSERT_TRUE(sourceFrames[Damaged + 1].Header.HasCrc);
    original[damagedAt + 4] ^= 0x5A;
    const uint8_t wrongCrc[2] = {original[damagedAt + 4], original[damagedAt + 5]};
    WriteFileBytes(source, original);
    ASSERT_NE(Joined(Mp3valComplaints(source)), "");

    OpenedForSaving opened;
    ASSERT_TRUE(opened.Open(source));
    EXPECT_EQ(opened.Info().BadCrcCount, 1);
    const int32_t first = 5;
    const fs::path output = dir / "out.mp3";
    opened.Save(output, {first, 0, 2, 12, 0});

    const Bytes saved = ReadFileBytes(output);
    const std::vector<WalkedFrame> frames = WalkFrames(saved, 0, saved.size());
    ASSERT_EQ(frames.size(), sourceFrames.size() - size_t(first));
    std::vector<int> deltas;
    for (size_t j = 1; j < frames.size(); ++j) {
        const WalkedFrame& f = frames[j];
        const WalkedFrame& s = sourceFrames[j + size_t(first)];
        const uint8_t* frame = saved.data() + f.Offset;
        ASSERT_TRUE(f.Header.HasCrc);
        const std::vector<int> gains = GlobalGains(frame, f.Header);
        const std::vector<int> before = GlobalGains(original.data() + s.Offset, s.Header);
        deltas.push_back(gains[0] - before[0]);
        if (int32_t(j) - 1 + first == Damaged) {
            EXPECT_EQ(frame[4], wrongCrc[0]);
            EXPECT_EQ(frame[5], wrongCrc[1]);
            EXPECT_NE(StoredFrameCrc(frame), FrameCrc(f.Header, frame));
        } else {
            EXPECT_EQ(StoredFrameCrc(frame), FrameCrc(f.Header, frame)) << "frame " << j;
        }
    }
    // The fade made the changes differ, so CRCs were recomputed for different contents; the
    // damaged frame's gain changed too.
    EXPECT_GT(std::set<int>(deltas.begin(), deltas.end()).size(), 2u);
    EXPECT_NE(deltas[size_t(Damaged - first)], 0);
    const std::vector<std::string> complaints = Mp3valComplaints(output);
    ASSERT_EQ(complaints.size(), 1u) << Joined(complaints);
    EXPECT_TRUE(complaints[0].ends_with("Wrong CRC in 1 frames")) << complaints[0];
}

// --- The seek frame reads back as written. -----------------------------------------------------

struct SeekCase
{
    const char* Name;
    const char* Source;
    bool InPlace;
    EditControls Controls;
    SaveSettings Settings;
    bool Xing; // else "Info"
};

void PrintTo(const SeekCase& c, std::ostream* out)
{
    *out << c.Name;
}

class SeekFrameOf : public testing::TestWithParam<SeekCase>
{
};

// mutagen finds the frame right behind the ID3v2 tag and reads: the audio frames plus the seek
// frame itself; the bytes of those frames, tags not counted; for "Xing", entry k of the
// table is the position of the first frame at k percent of the frames, counted from the seek
// frame and scaled to 0..255 over those bytes.
TEST_P(SeekFrameOf, SavedFileReadsBackWithMutagen)
{
    const SeekCase& c = GetParam();
    TempDir dir;
    const fs::path source = CopySource(c.Source, dir / "source.mp3");
    OpenedForSaving opened;
    ASSERT_TRUE(opened.Open(source));
    c.Settings.ApplyTo(opened.Settings);
    const fs::path output = c.InPlace ? source : dir / "out.mp3";
    opened.Save(c.InPlace ? fs::path() : output, c.Controls);

    const Bytes file = ReadFileBytes(output);
    const size_t id3v2Size = AudioStart(file);
    const std::vector<WalkedFrame> frames = WalkFrames(file, id3v2Size, file.size());
    const auto audioFrames = int64_t(frames.size()) - 1;
    ASSERT_EQ(audioFrames, opened.State.OutputFrameCount);

    const MutagenXing xing = ReadXingWithMutagen(output);
    ASSERT_TRUE(xing.Found);
    EXPECT_EQ(xing.IsInfo, !c.Xing);
    EXPECT_EQ(xing.FrameOffset, long(id3v2Size));
    EXPECT_EQ(xing.Frames, audioFrames + 1);
    const WalkedFrame& last = frames.back();
    const auto frameBytes = int64_t(last.Offset + last.Header.FrameLength - frames[0].Offset);
    EXPECT_EQ(xing.Bytes, frameBytes);
    if (!c.Xing) {
        EXPECT_TRUE(xing.Toc.empty());
        return;
    }
    std::vector<int> expected;
    for (int64_t k = 0; k < 100; ++k) {
        const int64_t i = std::min((k * audioFrames + 99) / 100, audioFrames - 1);
        const auto position = int64_t(frames[size_t(i) + 1].Offset - frames[0].Offset);
        expected.push_back(int(position * 256 / frameBytes));
    }
    EXPECT_EQ(xing.Toc, expected);
    EXPECT_TRUE(std::is_sorted(xing.Toc.begin(), xing.Toc.end()));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    WriterOracles, SeekFrameOf,
    testing::Values(
        SeekCase{"VbrKeptXingTrimmed", "vbr", false, {30, 20}, {}, true},
        SeekCase{"VbrFreshXingInPlace", "vbr", true, {0, 15}, {.KeepExtraInfo = 0}, true},
        SeekCase{"VbrXingBetweenTags", "vbrtagged1", false, {10, 10}, {}, true},
        // The inserted silent frames are frames of the file like any other: the table points
        // into them and past them.
        SeekCase{"VbrXingWithSilenceBothEnds", "vbr", false, {10, 10},
                 {.SilenceBegin = 10, .SilenceEnd = 13}, true},
        SeekCase{"CbrInfoBetweenTags", "tagged1", false, {10, 10}, {}, false}),
    [](const testing::TestParamInfo<SeekCase>& info) { return info.param.Name; });
// clang-format on

// --- Tags: the ID3v2 tag kept with its length rewritten, the ID3v1 record by its mode. -------

struct TagCase
{
    const char* Name;
    const char* Source; // "tagged" (ID3v2 only) or "tagged1" (and an ID3v1 record)
    int Id3v1Mode;      // RadioButtonID3Remove: 0 remove, 1 keep, 2 create from the name
    bool Id3v1Expected;
    const char* Title; // of the ID3v1 record read back
    const char* Artist;
};

void PrintTo(const TagCase& c, std::ostream* out)
{
    *out << c.Name;
}

class SavedTags : public testing::TestWithParam<TagCase>
{
};

// The source's TLEN holds 8 digits; the saved one holds the new length in milliseconds in as
// many, zero-padded, and the tag keeps its size. The file is named as the mode that creates
// a record from the name expects.
TEST_P(SavedTags, ReadBackWithMutagen)
{
    const TagCase& c = GetParam();
    TempDir dir;
    const fs::path source = CopySource(c.Source, dir / "Artist - Title.mp3");
    OpenedForSaving opened;
    ASSERT_TRUE(opened.Open(source));
    ASSERT_EQ(opened.EditName, "Artist - Title.mp3");
    opened.Settings.RadioButtonID3Remove = uint8_t(c.Id3v1Mode);
    const fs::path output = dir / "out.mp3";
    opened.Save(output, {10, 10});

    const MutagenTags tags = ReadTagsWithMutagen(output);
    ASSERT_TRUE(tags.Ok);
    const uint32_t milliseconds =
        FramesToMilliseconds(opened.Info().Reference, uint32_t(opened.State.OutputFrameCount));
    std::string length = std::to_string(milliseconds);
    length.insert(0, 8 - length.size(), '0');
    EXPECT_EQ(tags.Id3v2.at("TLEN"), length);
    EXPECT_EQ(tags.Id3v2.at("TIT2"), "Tagged Title");
    EXPECT_EQ(AudioStart(ReadFileBytes(output)), AudioStart(ReadFileBytes(source)));

    ASSERT_EQ(tags.HasId3v1, c.Id3v1Expected);
    if (c.Id3v1Expected) {
        EXPECT_EQ(tags.Id3v1.at("TIT2"), c.Title);
        EXPECT_EQ(tags.Id3v1.at("TPE1"), c.Artist);
    }
}

INSTANTIATE_TEST_SUITE_P(
    WriterOracles, SavedTags,
    testing::Values(TagCase{"RecordRemoved", "tagged1", 0, false, "", ""},
                    TagCase{"RecordKept", "tagged1", 1, true, "Old Title", "Old Artist"},
                    TagCase{"NoRecordToKeep", "tagged", 1, false, "", ""},
                    TagCase{"RecordCreatedFromTheName", "tagged", 2, true, "Title", "Artist"}),
    [](const testing::TestParamInfo<TagCase>& info) { return info.param.Name; });

} // namespace
