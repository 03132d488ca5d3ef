#include "platform/Mp3FrameDecoder.h"

#include "AudioFixtures.h"
#include "core/Errors.h"

#include <cstring>
#include <gtest/gtest.h>

namespace zefrin {
namespace {

using test::Bytes;

struct DecodeCase
{
    const char* Name;
    test::PcmShape Pcm;
    const char* Encoder; // "lame" or "twolame"
    const char* Options;
};

std::ostream& operator<<(std::ostream& out, const DecodeCase& c)
{
    return out << c.Name;
}

class Mp3FrameDecoderOracleTest : public ::testing::TestWithParam<DecodeCase>
{
};

// Fed frame by frame, the decoder gives every sample that mpg123 itself gives for the whole
// file, when neither trims the encoder delay nor skips the information frame.
TEST_P(Mp3FrameDecoderOracleTest, MatchesMpg123SampleForSample)
{
    const DecodeCase& c = GetParam();
    test::TempDir dir;
    const auto wav = dir / "in.wav";
    test::WritePcmWav(wav, c.Pcm);
    const auto file = std::string(c.Encoder) == "lame"
                          ? test::EncodeWithLame(wav, dir / "in.mp3", c.Options)
                          : test::EncodeWithTwolame(wav, dir / "in.mp2", c.Options);
    ASSERT_FALSE(file.empty());
    const Bytes bytes = test::ReadFileBytes(file);
    const auto frames = test::WalkFrames(bytes);
    ASSERT_GT(frames.size(), 10u);

    const test::CommandResult oracle = test::RunCommand(
        "mpg123 -q --no-gapless --no-infoframe -e s16 -s " + test::ShellQuote(file.string()));
    ASSERT_EQ(oracle.ExitCode, 0) << oracle.Err;
    ASSERT_FALSE(oracle.Out.empty());

    Mp3FrameDecoder decoder;
    const int channels = frames[0].Header.ChannelMode == ChannelModeMono ? 1 : 2;
    decoder.Open(frames[0].Header.SampleRate, channels, MessageTexts());
    std::string decoded;
    std::vector<uint8_t> out(32768);
    for (size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i);
        uint32_t sourceUsed = 0;
        uint32_t destUsed = 0;
        const uint32_t length = frames[i].Header.FrameLength;
        ASSERT_EQ(decoder.Convert(bytes.data() + frames[i].Offset, length, out.data(),
                                  uint32_t(out.size()), &sourceUsed, &destUsed),
                  FrameDecoder::ConvertOk);
        EXPECT_EQ(sourceUsed, length);
        decoded.append(reinterpret_cast<const char*>(out.data()), destUsed);
    }
    EXPECT_EQ(decoder.Close(), 0);

    const size_t frameBytes = SamplesPerFrame(frames[0].Header) * size_t(channels) * 2;
    EXPECT_EQ(decoded.size(), frames.size() * frameBytes);
    ASSERT_EQ(decoded.size(), oracle.Out.size());
    EXPECT_TRUE(decoded == oracle.Out)
        << "first difference at byte "
        << std::mismatch(decoded.begin(), decoded.end(), oracle.Out.begin()).first -
               decoded.begin();
}

test::PcmShape Pcm(uint32_t rate, int channels, int amplitude)
{
    test::PcmShape shape;
    shape.SampleRate = rate;
    shape.Channels = channels;
    shape.Seconds = 2.0;
    shape.Amplitude = amplitude;
    return shape;
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, Mp3FrameDecoderOracleTest,
    ::testing::Values(DecodeCase{"Mpeg1Stereo", Pcm(44100, 2, 8000), "lame", "-b 128"},
                      DecodeCase{"Mpeg1VbrCrc", Pcm(48000, 2, 20000), "lame", "-V 2 -p"},
                      DecodeCase{"Mpeg2Mono", Pcm(22050, 1, 12000), "lame", "-m m -b 32"},
                      DecodeCase{"Mpeg25Mono", Pcm(8000, 1, 12000), "lame", "-m m -b 16"},
                      DecodeCase{"LayerIIStereo", Pcm(44100, 2, 8000), "twolame", "-b 192"}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return info.param.Name; });

class Mp3FrameDecoderTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto file = test::MakeMp3(m_dir, "tone", Pcm(44100, 2, 8000), "-b 128");
        ASSERT_FALSE(file.empty());
        m_bytes = test::ReadFileBytes(file);
        m_frames = test::WalkFrames(m_bytes);
        ASSERT_GT(m_frames.size(), 20u);
    }

    const uint8_t* FrameAt(size_t i) const { return m_bytes.data() + m_frames[i].Offset; }
    uint32_t LengthOf(size_t i) const { return m_frames[i].Header.FrameLength; }

    test::TempDir m_dir;
    Bytes m_bytes;
    std::vector<test::WalkedFrame> m_frames;
};

// Output that does not fit the caller's buffer is kept for the next call, in order, and the
// buffer is never overrun.
TEST_F(Mp3FrameDecoderTest, SmallOutputBufferKeepsTheRestInOrder)
{
    Mp3FrameDecoder whole;
    Mp3FrameDecoder small;
    whole.Open(44100, 2, MessageTexts());
    small.Open(44100, 2, MessageTexts());
    std::string all;
    std::string piecewise;
    std::vector<uint8_t> out(32768);
    constexpr uint32_t SmallCapacity = 1000;
    for (size_t i = 0; i < m_frames.size(); ++i) {
        uint32_t sourceUsed = 0;
        uint32_t destUsed = 0;
        ASSERT_EQ(whole.Convert(FrameAt(i), LengthOf(i), out.data(), uint32_t(out.size()),
                                &sourceUsed, &destUsed),
                  FrameDecoder::ConvertOk);
        all.append(reinterpret_cast<const char*>(out.data()), destUsed);
        std::fill(out.begin(), out.end(), 0xA5);
        ASSERT_EQ(small.Convert(FrameAt(i), LengthOf(i), out.data(), SmallCapacity, &sourceUsed,
                                &destUsed),
                  FrameDecoder::ConvertOk);
        EXPECT_EQ(sourceUsed, LengthOf(i));
        ASSERT_EQ(destUsed, SmallCapacity);
        EXPECT_EQ(out[SmallCapacity], 0xA5);
        piecewise.append(reinterpret_cast<const char*>(out.data()), destUsed);
    }
    ASSERT_LT(piecewise.size(), all.size());
    EXPECT_TRUE(all.compare(0, piecewise.size(), piecewise) == 0);
}

// Bytes that are not one whole frame of the stream are refused and consumed without being
// fed, so the frames after them decode exactly as if the bad one had never been there.
TEST_F(Mp3FrameDecoderTest, RefusesWhatIsNotOneFrameOfTheStreamAndStaysInStep)
{
    const size_t bad = 12;
    Bytes broken(FrameAt(bad), FrameAt(bad) + LengthOf(bad));
    broken[2] |= 0xF0; // bitrate index 15: no valid header
    Bytes otherRate(FrameAt(bad), FrameAt(bad) + LengthOf(bad));
    otherRate[2] = uint8_t((otherRate[2] & ~0x0C) | 0x04); // 48000 Hz
    struct Refused
    {
        const char* Name;
        const uint8_t* Data;
        uint32_t Length;
    };
    const Refused cases[] = {
        {"invalid header", broken.data(), uint32_t(broken.size())},
        {"other sample rate", otherRate.data(), uint32_t(otherRate.size())},
        {"truncated", FrameAt(bad), LengthOf(bad) - 100},
        {"two frames at once", FrameAt(bad), LengthOf(bad) + LengthOf(bad + 1)},
        {"shorter than a header", FrameAt(bad), 3},
    };
    std::vector<uint8_t> out(32768);
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.Name);
        Mp3FrameDecoder reference;
        Mp3FrameDecoder decoder;
        reference.Open(44100, 2, MessageTexts());
        decoder.Open(44100, 2, MessageTexts());
        uint32_t sourceUsed = 0;
        uint32_t destUsed = 0;
        std::string expected;
        std::string actual;
        for (size_t i = 0; i < m_frames.size(); ++i) {
            ASSERT_EQ(reference.Convert(FrameAt(i), LengthOf(i), out.data(), uint32_t(out.size()),
                                        &sourceUsed, &destUsed),
                      FrameDecoder::ConvertOk);
            expected.append(reinterpret_cast<const char*>(out.data()), destUsed);
            if (i == bad) {
                EXPECT_EQ(decoder.Convert(c.Data, c.Length, out.data(), uint32_t(out.size()),
                                          &sourceUsed, &destUsed),
                          FrameDecoder::ConvertImpossible);
                EXPECT_EQ(sourceUsed, c.Length);
                EXPECT_EQ(destUsed, 0u);
            }
            ASSERT_EQ(decoder.Convert(FrameAt(i), LengthOf(i), out.data(), uint32_t(out.size()),
                                      &sourceUsed, &destUsed),
                      FrameDecoder::ConvertOk);
            actual.append(reinterpret_cast<const char*>(out.data()), destUsed);
        }
        EXPECT_TRUE(actual == expected);
    }
}

TEST(Mp3FrameDecoderOpenTest, UnusableFormatRaisesTheOpenFailedMessage)
{
    MessageTexts texts;
    texts.MessageDlgAcmStreamOpenFailed = {"first line", "second line"};
    for (const auto& [rate, channels] :
         {std::pair{44100u, 3}, std::pair{44100u, 0}, std::pair{12345u, 2}, std::pair{0u, 2}}) {
        SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " channels");
        Mp3FrameDecoder decoder;
        try {
            decoder.Open(rate, channels, texts);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), "first line\nsecond line\n");
        }
        uint8_t frame[4] = {};
        uint8_t out[16];
        uint32_t sourceUsed = 1;
        uint32_t destUsed = 1;
        const uint32_t status = decoder.Convert(frame, 4, out, sizeof out, &sourceUsed, &destUsed);
        EXPECT_NE(status, FrameDecoder::ConvertOk);
        EXPECT_NE(status, FrameDecoder::ConvertImpossible);
        EXPECT_EQ(destUsed, 0u);
        EXPECT_EQ(decoder.Close(), 0);
    }
}

} // namespace
} // namespace zefrin
