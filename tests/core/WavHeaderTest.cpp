#include "core/WavHeader.h"

#include "core/Errors.h"
#include "core/FrameHeader.h"
#include "support/TestSupport.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace zefrin {
namespace {

using test::Bytes;

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

TEST(BuildMp3WavHeader, WritesTheMpegLayer3Header)
{
    // 1000 frames of 417 bytes lasting 26122 ms.
    std::array<uint8_t, Mp3WavHeaderSize> h{};
    BuildMp3WavHeader(h, true, 44100, 417000, 1000, 26122);
    const std::array<uint8_t, Mp3WavHeaderSize> expected = {
        'R',  'I',  'F', 'F', 0x1A, 0x5D, 0x06, 0x00,              // 417000 + 50
        'W',  'A',  'V', 'E', 'f',  'm',  't',  ' ',  30, 0, 0, 0, // format block length
        0x55, 0,    2,   0,                                        // MPEG Layer-3, stereo
        0x44, 0xAC, 0,   0,                                        // 44100 Hz
        0x5B, 0x3E, 0,   0,                                        // 15963 bytes per second
        1,    0,    0,   0,   12,   0,                             // block align, bits, cbSize
        1,    0,    2,   0,   0,    0,                             // MPEG, padding off
        0xA1, 0x01, 1,   0,   0,    0,                // block size 417, 1 frame, no delay
        'd',  'a',  't', 'a', 0xE8, 0x5C, 0x06, 0x00, // 417000
    };
    EXPECT_EQ(h, expected);

    BuildMp3WavHeader(h, false, 22050, 417000, 1000, 26122);
    EXPECT_EQ(h[22], 1);
    EXPECT_EQ(h[24] | (h[25] << 8), 22050);

    // Recognised with its own length once audio follows.
    Bytes file(h.begin(), h.end());
    file.resize(200, 0xFF);
    EXPECT_EQ(ProbeWavHeader(file.data(), uint32_t(file.size())), Mp3WavHeaderSize);
}

TEST(BuildMp3WavHeader, RejectsCountsThatCannotDescribeAStream)
{
    struct Case
    {
        const char* name;
        uint32_t sampleRate, dataSize, frameCount, durationMs;
    };
    const Case cases[] = {
        {"no frames", 44100, 1000, 0, 26},
        {"no duration", 44100, 1000, 1, 0},
        {"no sample rate", 0, 1000, 1, 26},
        {"frames above 65535 bytes", 44100, 65536, 1, 26},
        {"file longer than RIFF can say", 44100, 0xFFFFFFF0u, 0x10000, 1000},
    };
    std::array<uint8_t, Mp3WavHeaderSize> h{};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            BuildMp3WavHeader(h, true, c.sampleRate, c.dataSize, c.frameCount, c.durationMs);
            ADD_FAILURE() << "no assertion failure";
        } catch (const AssertionFailure& e) {
            EXPECT_NE(std::string(e.what()).find("Unit_MP3_RIFF"), std::string::npos) << e.what();
        }
    }
    EXPECT_NO_THROW(BuildMp3WavHeader(h, true, 44100, 65535, 1, 26));
}

TEST(BuildPcmFormat, Describes16BitPcm)
{
    std::array<uint8_t, PcmFormatSize> f{};
    BuildPcmFormat(f, true, 48000);
    const std::array<uint8_t, PcmFormatSize> stereo = {
        1, 0, 2, 0, 0x80, 0xBB, 0, 0, 0x00, 0xEE, 0x02, 0, 4, 0, 16, 0, 0, 0,
    };
    EXPECT_EQ(f, stereo);
    BuildPcmFormat(f, false, 44100);
    const std::array<uint8_t, PcmFormatSize> mono = {
        1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 0x01, 0, 2, 0, 16, 0, 0, 0,
    };
    EXPECT_EQ(f, mono);
}

// A RIFF header with a format chunk of `formatLength` bytes and the data chunk right after.
Bytes Riff(uint32_t formatLength, size_t total)
{
    Bytes b(total, 0xFF);
    std::memcpy(b.data(), "RIFF", 4);
    std::memcpy(b.data() + 8, "WAVEfmt ", 8);
    Put32(b.data() + 16, formatLength);
    std::memset(b.data() + 20, 0, formatLength);
    std::memcpy(b.data() + 20 + formatLength, "data", 4);
    return b;
}

TEST(ProbeWavHeader, MeasuresFormatChunkFollowedDirectlyByData)
{
    const Bytes pcm16 = Riff(16, 100);
    EXPECT_EQ(ProbeWavHeader(pcm16.data(), 100), 44u);
    EXPECT_EQ(ProbeWavHeader(pcm16.data(), 69), 0u); // too short to be a wrapper at all

    const Bytes exact = Riff(42, 70); // the data chunk header ends on the last byte
    EXPECT_EQ(ProbeWavHeader(exact.data(), 70), 70u);
    const Bytes beyond = Riff(43, 71);
    EXPECT_EQ(ProbeWavHeader(beyond.data(), 70), 0u);

    struct Case
    {
        const char* name;
        size_t offset;
        const char* text;
    };
    const Case broken[] = {
        {"not RIFF", 0, "RIFX"},
        {"not WAVE", 8, "AVI "},
        {"no format chunk first", 12, "LIST"},
        {"a chunk between format and data", 36, "fact"},
    };
    for (const Case& c : broken) {
        SCOPED_TRACE(c.name);
        Bytes b = Riff(16, 100);
        std::memcpy(b.data() + c.offset, c.text, 4);
        EXPECT_EQ(ProbeWavHeader(b.data(), 100), 0u);
    }
}

TEST(ProbeWavHeader, HugeFormatLengthIsNoHeader)
{
    // With 32-bit sums this length wraps to a 12-byte header whose "data" is the RIFF length.
    Bytes b = Riff(16, 100);
    Put32(b.data() + 16, 0xFFFFFFF0u);
    std::memcpy(b.data() + 4, "data", 4);
    EXPECT_EQ(ProbeWavHeader(b.data(), 100), 0u);
    Put32(b.data() + 16, 0xFFFFFFFFu);
    EXPECT_EQ(ProbeWavHeader(b.data(), 100), 0u);
}

TEST(BuildMp3WavHeader, FfprobeReadsTheWrappedLameStreamAsMp3)
{
    test::TempDir dir;
    test::WritePcmWav(dir / "in.wav", {.SampleRate = 32000, .Channels = 1, .Seconds = 1.0});
    const auto mp3 = test::EncodeWithLame(dir / "in.wav", dir / "in.mp3", "-b 64 -t");
    ASSERT_FALSE(mp3.empty());
    const Bytes audio = test::ReadFileBytes(mp3);

    uint32_t frames = 0;
    FrameHeader header;
    FrameHeader first;
    for (size_t pos = 0; pos + 4 <= audio.size();) {
        const uint32_t raw = LoadHeaderWord(audio.data() + pos);
        ASSERT_EQ(raw & SyncMask, SyncMask) << "frame " << frames;
        ASSERT_TRUE(DecodeFrameHeader(header, raw));
        if (frames == 0)
            first = header;
        pos += header.FrameLength;
        ++frames;
    }
    ASSERT_GT(frames, 10u);
    const uint32_t durationMs = FramesToMilliseconds(first, frames);

    std::array<uint8_t, Mp3WavHeaderSize> h{};
    BuildMp3WavHeader(h, first.ChannelMode != ChannelModeMono, first.SampleRate,
                      uint32_t(audio.size()), frames, durationMs);
    Bytes wav(h.begin(), h.end());
    test::Append(wav, audio);
    test::WriteFileBytes(dir / "out.wav", wav);
    EXPECT_EQ(ProbeWavHeader(wav.data(), uint32_t(wav.size())), Mp3WavHeaderSize);

    const auto probe =
        test::RunCommand("ffprobe -v error -show_entries stream=codec_name,channels,sample_rate "
                         "-of default=noprint_wrappers=1 " +
                         test::ShellQuote((dir / "out.wav").string()));
    ASSERT_EQ(probe.ExitCode, 0) << probe.Err;
    EXPECT_NE(probe.Out.find("codec_name=mp3"), std::string::npos) << probe.Out;
    EXPECT_NE(probe.Out.find("sample_rate=32000"), std::string::npos) << probe.Out;
    EXPECT_NE(probe.Out.find("channels=1"), std::string::npos) << probe.Out;
}

} // namespace
} // namespace zefrin
