// The "Xing" / "Info" frame of a saved file: when one is written, what it holds, and whether
// it differs from the source's. Frames are read back with a small reader that follows the
// flags the way players do and never reads past the frame's own length.
#include "edit/SeekFrame.h"

#include "core/OpenFile.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>

using namespace zefrin;
using namespace zefrin::test;
namespace fs = std::filesystem;

namespace {

constexpr uint32_t VbrBits = 0xFF0DFFFF; // the bitrate bits were not constant
constexpr uint32_t CbrBits = 0xFFFDFFFF;

uint32_t LoadBigEndian32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void StoreBigEndian32(uint8_t* p, uint32_t value)
{
    p[0] = uint8_t(value >> 24);
    p[1] = uint8_t(value >> 16);
    p[2] = uint8_t(value >> 8);
    p[3] = uint8_t(value);
}

struct XingTag
{
    std::string Id;
    uint32_t Flags = 0;
    uint32_t Frames = 0;
    uint32_t Bytes = 0;
    std::vector<uint8_t> Table;
};

// The tag after the side information of the frame's own header; fails when the frame is
// not a frame, has no tag, or the fields the flags announce do not fit in it.
bool ReadXingTag(const uint8_t* frame, XingTag& tag)
{
    FrameHeader header;
    if (!DecodeFrameHeader(header, LoadHeaderWord(frame)))
        return false;
    uint32_t at = header.SideInfoEnd;
    const auto fits = [&](uint32_t n) { return at + n <= header.FrameLength; };
    if (!fits(8))
        return false;
    tag.Id.assign(reinterpret_cast<const char*>(frame + at), 4);
    if (tag.Id != "Xing" && tag.Id != "Info")
        return false;
    tag.Flags = LoadBigEndian32(frame + at + 4);
    at += 8;
    if (tag.Flags & 1) {
        if (!fits(4))
            return false;
        tag.Frames = LoadBigEndian32(frame + at);
        at += 4;
    }
    if (tag.Flags & 2) {
        if (!fits(4))
            return false;
        tag.Bytes = LoadBigEndian32(frame + at);
        at += 4;
    }
    if (tag.Flags & 4) {
        if (!fits(100))
            return false;
        tag.Table.assign(frame + at, frame + at + 100);
    }
    return true;
}

XingTag ReadBack(const SeekFrame& frame)
{
    XingTag tag;
    EXPECT_TRUE(ReadXingTag(frame.NewSeekFrame.data(), tag));
    EXPECT_EQ(LoadHeaderWord(frame.NewSeekFrame.data()), frame.NewSeekFrameHeader.Raw);
    return tag;
}

void ExpectUsableTable(const std::vector<uint8_t>& table)
{
    ASSERT_EQ(table.size(), 100u);
    for (size_t k = 1; k < table.size(); ++k)
        EXPECT_LE(table[k - 1], table[k]) << "entry " << k;
}

FrameHeader Decoded(uint32_t raw)
{
    FrameHeader header;
    EXPECT_TRUE(DecodeFrameHeader(header, raw));
    return header;
}

// MPEG-1 Layer III, 44.1 kHz joint stereo, no CRC.
SynthFrameShape Shape(int bitrateIndex, uint8_t version = VersionMpeg1)
{
    SynthFrameShape shape;
    shape.Version = version;
    shape.BitrateIndex = bitrateIndex;
    return shape;
}

// A stream model as the analysis leaves it, without a file: `frames` records of
// `frameLength` bytes, and records beyond them that must never be read.
std::unique_ptr<StreamModel> ModelOf(int32_t frames, bool vbr, uint8_t version = VersionMpeg1,
                                     uint32_t frameLength = 500)
{
    auto model = std::make_unique<StreamModel>();
    StreamInfo& info = model->Info;
    info.Reference = Decoded(SynthHeaderWord(Shape(9, version)));
    info.FrameCount = frames;
    info.ConstantBits = vbr ? VbrBits : CbrBits;
    // A fresh seek frame at the lowest bitrate that holds side information and 120 bytes.
    info.SeekFrameHeader = Decoded(SynthHeaderWord(Shape(3, version)) | ProtectionBit);
    info.SilentFrameHeader = Decoded(SynthHeaderWord(Shape(1, version)));
    for (int32_t i = 0; i < frames; ++i)
        model->Frames[uint32_t(i)].Length = frameLength;
    for (uint32_t i = uint32_t(frames); i < model->Frames.Capacity(); ++i)
        model->Frames[i].Length = 0x40000000;
    return model;
}

// A save of `copied` frames of 500 bytes between inserted silent frames of 104 bytes.
EditState StateFor(const StreamModel& model, int32_t copied, int32_t silenceBegin = 0,
                   int32_t silenceEnd = 0, int64_t tags = 0, int64_t frameLength = 500)
{
    EditState state;
    state.FileOpen = true;
    state.AddSilenceBeginFrames = silenceBegin;
    state.AddSilenceEndFrames = silenceEnd;
    state.OutputFrameCount = copied + silenceBegin + silenceEnd;
    state.PredictedSize = model.Info.SeekFrameHeader.FrameLength + tags + copied * frameLength +
                          int64_t(silenceBegin + silenceEnd) * 104;
    return state;
}

// A position at the very end of the output is the last value a byte holds.
uint8_t Scaled(int64_t position, int64_t predictedSize)
{
    return uint8_t(std::min<int64_t>(position * 256 / predictedSize, 255));
}

TEST(SeekFrameWanted, FollowsTheStreamAndTheSettings)
{
    const struct
    {
        const char* Name;
        uint8_t Version;
        int32_t Frames;
        bool Vbr, Xing, Info;
        int32_t Keep, Create, NoMpeg2;
        bool Wanted;
    } cases[] = {
        {"VBR with Xing, 256 frames", VersionMpeg1, 256, true, true, false, 0, 0, 0, true},
        {"VBR with Xing, 255 frames", VersionMpeg1, 255, true, true, false, 0, 0, 0, false},
        {"VBR with Xing, 255 frames, kept", VersionMpeg1, 255, true, true, false, -1, 0, 0, true},
        {"VBR without a frame", VersionMpeg1, 256, true, false, false, -1, 0, 0, false},
        {"VBR without a frame, created", VersionMpeg1, 256, true, false, false, 0, -1, 0, true},
        {"VBR, created, 255 frames", VersionMpeg1, 255, true, false, false, 0, -1, 0, false},
        {"CBR without a frame, created", VersionMpeg1, 5000, false, false, false, -1, -1, 0, false},
        {"CBR with Info, kept", VersionMpeg1, 10, false, false, true, -1, 0, 0, true},
        {"CBR with Info, not kept", VersionMpeg1, 5000, false, false, true, 0, -1, 0, false},
        {"MPEG-2 VBR with Xing", VersionMpeg2, 5000, true, true, false, -1, -1, 0, true},
        {"MPEG-2 VBR with Xing, excluded", VersionMpeg2, 5000, true, true, false, -1, -1, -1,
         false},
        {"MPEG-2 CBR with Info, excluded", VersionMpeg2, 5000, false, false, true, -1, 0, -1,
         false},
        {"MPEG-2.5 VBR with Xing, not excluded", VersionMpeg25, 5000, true, true, false, 0, 0, -1,
         true},
    };
    for (const auto& c : cases) {
        auto model = ModelOf(c.Frames, c.Vbr, c.Version);
        model->Info.HasXing = c.Xing;
        model->Info.HasInfo = c.Info;
        model->Info.HasExtraInfo = c.Xing || c.Info;
        SettingsRecord settings = DefaultSettings();
        settings.CheckBoxKeepExtraInfo = c.Keep;
        settings.CheckBoxCreateVBRseekInfo = c.Create;
        settings.CheckBoxNoExtraInfoInMPEG2 = c.NoMpeg2;
        EXPECT_EQ(SeekFrameWanted(*model, settings), c.Wanted) << c.Name;
    }
}

TEST(BuildSeekFrame, AFreshXingFrameDescribesTheOutput)
{
    auto model = ModelOf(300, true);
    SettingsRecord settings = DefaultSettings();
    settings.CheckBoxCreateVBRseekInfo = -1;
    // Frames 10..289 kept, with 1000 bytes of tags that the byte count and the table's scale
    // leave out.
    const EditState state = StateFor(*model, 280, 0, 0, 1000);
    SeekFrame frame;
    frame.NewSeekFrame.fill(0xEE);
    BuildSeekFrame(frame, *model, settings, state, 10, 1000);

    const FrameHeader& header = model->Info.SeekFrameHeader;
    EXPECT_EQ(frame.NewSeekFrameHeader.Raw, header.Raw);
    EXPECT_EQ(frame.NewSeekFrameHeader.FrameLength, header.FrameLength);
    EXPECT_EQ(SeekFrameLength(model->Info, settings), header.FrameLength);
    const XingTag tag = ReadBack(frame);
    EXPECT_EQ(tag.Id, "Xing");
    EXPECT_EQ(tag.Flags, 7u);
    EXPECT_EQ(tag.Frames, 281u);
    EXPECT_EQ(tag.Bytes, uint32_t(state.PredictedSize - 1000));
    ExpectUsableTable(tag.Table);
    EXPECT_EQ(tag.Table[0], MulDiv(header.FrameLength, 256, uint32_t(state.PredictedSize - 1000)));

    // The side information and everything after the tag are zero, up to the end of the array.
    const uint8_t* bytes = frame.NewSeekFrame.data();
    for (uint32_t i = 4; i < header.SideInfoEnd; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
    for (uint32_t i = header.SideInfoEnd + 116; i < ExtraInfoFrameSize; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_FALSE(SeekFrameChanged(frame, model->Info));
}

TEST(BuildSeekFrame, EntryKIsTheFirstFrameAtKPercent)
{
    // 250 frames of 1000 bytes: entry k is frame ceil(k x 2.5), one frame is about one unit.
    auto model = ModelOf(250, true, VersionMpeg1, 1000);
    SettingsRecord settings = DefaultSettings();
    settings.CheckBoxCreateVBRseekInfo = -1;
    const EditState state = StateFor(*model, 250, 0, 0, 0, 1000);
    SeekFrame frame;
    BuildSeekFrame(frame, *model, settings, state, 0, 0);
    const XingTag tag = ReadBack(frame);
    ExpectUsableTable(tag.Table);
    const int64_t first = frame.NewSeekFrameHeader.FrameLength;
    const struct
    {
        int Entry;
        int64_t Frame;
    } entries[] = {{0, 0}, {1, 3}, {2, 5}, {3, 8}, {50, 125}, {98, 245}, {99, 248}};
    for (const auto& e : entries)
        EXPECT_EQ(tag.Table[size_t(e.Entry)], Scaled(first + e.Frame * 1000, state.PredictedSize))
            << "entry " << e.Entry;
}

TEST(BuildSeekFrame, ShortOutputsAndSilenceFillTheWholeTableFromWrittenFramesOnly)
{
    SettingsRecord settings = DefaultSettings();
    settings.CheckBoxCreateVBRseekInfo = -1;
    // The last entry is the position of output frame LastEntryFrame: the copied frames
    // (500 bytes) and silent frames (104 bytes) written before it.
    const struct
    {
        const char* Name;
        int32_t SourceFrames, FirstFrame, Copied, SilenceBegin, SilenceEnd;
        int64_t CopiedBefore, SilentBefore;
    } cases[] = {
        {"10 frames", 300, 0, 10, 0, 0, 9, 0},
        {"1 frame", 300, 299, 1, 0, 0, 0, 0},
        {"no frame", 300, 300, 0, 0, 0, 0, 0},
        {"50 frames after 100 silent ones", 300, 250, 50, 100, 0, 49, 100},
        {"20 frames between silence", 300, 5, 20, 40, 40, 20, 79},
    };
    for (const auto& c : cases) {
        auto model = ModelOf(c.SourceFrames, true);
        // Frames before FirstFrame must not count either.
        for (int32_t i = 0; i < c.FirstFrame; ++i)
            model->Frames[uint32_t(i)].Length = 0x40000000;
        const EditState state = StateFor(*model, c.Copied, c.SilenceBegin, c.SilenceEnd);
        SeekFrame frame;
        BuildSeekFrame(frame, *model, settings, state, c.FirstFrame, 0);
        const XingTag tag = ReadBack(frame);
        SCOPED_TRACE(c.Name);
        ExpectUsableTable(tag.Table);
        const int64_t first = frame.NewSeekFrameHeader.FrameLength;
        EXPECT_EQ(tag.Table[0], Scaled(first, state.PredictedSize));
        EXPECT_EQ(tag.Table[99],
                  Scaled(first + 500 * c.CopiedBefore + 104 * c.SilentBefore, state.PredictedSize));
    }
}

// A source frame as an encoder writes it: the tag after the side information, then an
// encoder's own bytes that a save must keep.
Bytes ExtraInfoSourceFrame(const SynthFrameShape& shape, const char* id, uint32_t frames,
                           uint32_t bytes)
{
    SynthFrameShape silent = shape;
    silent.RandomPayload = false;
    silent.SilentSideInfo = true;
    silent.Fill = 0;
    Bytes frame = SynthFrame(silent);
    const size_t length = frame.size();
    frame.resize(ExtraInfoFrameSize); // room to write the whole tag, cut back below
    const FrameHeader header = Decoded(SynthHeaderWord(silent));
    uint8_t* tag = frame.data() + header.SideInfoEnd;
    std::memcpy(tag, id, 4);
    const bool xing = std::string(id) == "Xing";
    StoreBigEndian32(tag + 4, xing ? 7 : 3);
    StoreBigEndian32(tag + 8, frames);
    StoreBigEndian32(tag + 12, bytes);
    for (int k = 0; k < 100; ++k)
        tag[16 + k] = uint8_t(k * 2);
    std::memcpy(tag + 120, "ENC1.0", 6);
    for (size_t i = header.SideInfoEnd + 126; i < length; ++i)
        frame[i] = uint8_t(i);
    frame.resize(length);
    return frame;
}

struct QuietLevels : EndLevelAnalyser
{
    void AnalyseLevels(StreamModel& model, const EngineContext&, const std::string&, int first,
                       int end) override
    {
        for (int i = first; i < end; ++i)
            model.Frames[uint32_t(i)].Level = 0;
    }
};

// Opens a synthesised file with the real analysis.
class SeekFrameOfOpenedFile : public testing::Test
{
  protected:
    void Open(const Bytes& bytes)
    {
        const fs::path path = m_dir / "source.mp3";
        WriteFileBytes(path, bytes);
        Open(path);
    }
    void Open(const fs::path& path)
    {
        MessageTexts texts;
        NullEventPump pump;
        QuietLevels levels;
        const EngineContext context{m_settings, texts, pump};
        OpenFile(*m_model, context, path.string(), levels);
    }
    // The state of a save that keeps frames begin .. FrameCount - 1 and no tag.
    EditState Keeping(int32_t begin, uint32_t seekFrameLength) const
    {
        EditState state;
        state.FileOpen = true;
        state.OutputFrameCount = m_model->Info.FrameCount - begin;
        state.PredictedSize = seekFrameLength;
        for (int32_t i = begin; i < m_model->Info.FrameCount; ++i)
            state.PredictedSize += m_model->Frames[uint32_t(i)].Length;
        return state;
    }

    TempDir m_dir;
    SettingsRecord m_settings = DefaultSettings();
    std::unique_ptr<StreamModel> m_model = std::make_unique<StreamModel>();
};

TEST_F(SeekFrameOfOpenedFile, AKeptInfoFrameGetsNewCountsAndKeepsEverythingElse)
{
    // 400 frames of 128 kbit/s (417 bytes) after an "Info" frame.
    const SynthFrameShape shape = Shape(9);
    Bytes file = ExtraInfoSourceFrame(shape, "Info", 401, 401 * 417);
    for (int i = 0; i < 400; ++i) {
        SynthFrameShape audio = shape;
        audio.Seed = uint32_t(i + 1);
        Append(file, SynthFrame(audio));
    }
    Open(file);
    const StreamInfo& info = m_model->Info;
    ASSERT_TRUE(info.HasInfo);
    ASSERT_EQ(info.FrameCount, 400);
    m_settings.CheckBoxKeepExtraInfo = -1;
    ASSERT_TRUE(SeekFrameWanted(*m_model, m_settings));
    const uint32_t length = SeekFrameLength(info, m_settings);
    EXPECT_EQ(length, 417u);

    // Saving all of it unchanged gives the source's own frame back.
    SeekFrame frame;
    BuildSeekFrame(frame, *m_model, m_settings, Keeping(0, length), 0, 0);
    EXPECT_FALSE(SeekFrameChanged(frame, info));

    // Trimming 100 frames changes the counts and nothing else.
    const EditState trimmed = Keeping(100, length);
    BuildSeekFrame(frame, *m_model, m_settings, trimmed, 100, 0);
    EXPECT_TRUE(SeekFrameChanged(frame, info));
    EXPECT_EQ(frame.NewSeekFrameHeader.FrameLength, 417u);
    const XingTag tag = ReadBack(frame);
    EXPECT_EQ(tag.Id, "Info");
    EXPECT_EQ(tag.Flags, 3u);
    EXPECT_EQ(tag.Frames, 301u);
    EXPECT_EQ(tag.Bytes, uint32_t(trimmed.PredictedSize));
    const uint32_t counts = info.ExtraInfoHeader.SideInfoEnd + 8;
    for (uint32_t i = 0; i < 417; ++i) {
        if (i < counts || i >= counts + 8) {
            ASSERT_EQ(frame.NewSeekFrame[i], info.ExtraInfoFrame[i]) << i;
        }
    }
    EXPECT_EQ(std::memcmp(frame.NewSeekFrame.data() + info.ExtraInfoHeader.SideInfoEnd + 120,
                          "ENC1.0", 6),
              0);
}

TEST_F(SeekFrameOfOpenedFile, ASourceFrameTooShortForTheSeekTableIsReplaced)
{
    // A variable-bitrate stream whose "Info" frame is a 32 kbit/s one (104 bytes): no room
    // for the 116 bytes of a "Xing" tag after 32 bytes of side information.
    Bytes file = ExtraInfoSourceFrame(Shape(1), "Info", 0, 0);
    for (int i = 0; i < 300; ++i) {
        SynthFrameShape audio = Shape(i % 2 ? 9 : 11);
        audio.Seed = uint32_t(i + 1);
        Append(file, SynthFrame(audio));
    }
    Open(file);
    const StreamInfo& info = m_model->Info;
    ASSERT_TRUE(info.HasInfo);
    ASSERT_EQ(info.ExtraInfoHeader.FrameLength, 104u);
    m_settings.CheckBoxKeepExtraInfo = -1;
    const uint32_t length = SeekFrameLength(info, m_settings);
    EXPECT_EQ(length, info.SeekFrameHeader.FrameLength);

    SeekFrame frame;
    BuildSeekFrame(frame, *m_model, m_settings, Keeping(0, length), 0, 0);
    EXPECT_EQ(frame.NewSeekFrameHeader.FrameLength, length);
    const XingTag tag = ReadBack(frame);
    EXPECT_EQ(tag.Id, "Xing");
    EXPECT_EQ(tag.Frames, 301u);
    ExpectUsableTable(tag.Table);
    EXPECT_TRUE(SeekFrameChanged(frame, info));
}

TEST_F(SeekFrameOfOpenedFile, AnEncodersXingFrameIsKeptWithItsExtension)
{
    PcmShape pcm;
    pcm.Seconds = 8;
    pcm.SilenceBefore = 2; // silence takes the lowest bitrate: the stream is variable
    const fs::path wav = m_dir / "source.wav";
    WritePcmWav(wav, pcm);
    const fs::path mp3 = EncodeWithLame(wav, m_dir / "vbr.mp3", "-V 5");
    ASSERT_FALSE(mp3.empty());
    Open(mp3);
    const StreamInfo& info = m_model->Info;
    ASSERT_TRUE(info.HasXing);
    ASSERT_GE(info.FrameCount, 256);
    m_settings.CheckBoxKeepExtraInfo = -1;
    ASSERT_TRUE(SeekFrameWanted(*m_model, m_settings));

    const EditState state = Keeping(40, SeekFrameLength(info, m_settings));
    SeekFrame frame;
    BuildSeekFrame(frame, *m_model, m_settings, state, 40, 0);
    EXPECT_EQ(frame.NewSeekFrameHeader.FrameLength, info.ExtraInfoHeader.FrameLength);
    const XingTag tag = ReadBack(frame);
    EXPECT_EQ(tag.Id, "Xing");
    EXPECT_EQ(tag.Frames, uint32_t(state.OutputFrameCount + 1));
    EXPECT_EQ(tag.Bytes, uint32_t(state.PredictedSize));
    ExpectUsableTable(tag.Table);
    EXPECT_GT(tag.Table[99], 200);
    // The encoder's extension after the table stays as it was.
    const uint32_t extension = info.ExtraInfoHeader.SideInfoEnd + 116;
    const uint32_t end = info.ExtraInfoHeader.FrameLength;
    EXPECT_EQ(std::memcmp(frame.NewSeekFrame.data() + extension,
                          info.ExtraInfoFrame.data() + extension, end - extension),
              0);
}

} // namespace
