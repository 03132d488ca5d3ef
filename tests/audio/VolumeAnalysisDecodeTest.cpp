// The volume analysis over the real decoder and files that lame and twolame encode here.
#include "AudioFixtures.h"
#include "audio/DecoderLevelAnalyser.h"
#include "audio/VolumeAnalysis.h"
#include "core/Errors.h"
#include "platform/Mp3FrameDecoder.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace zefrin {
namespace {

using test::Bytes;

class ScriptedPump final : public EventPump
{
  public:
    void ProcessMessages() override
    {
        ++Pumps;
        if (OnPump)
            OnPump();
    }
    void ProgressChanged(int) override {}
    int Pumps = 0;
    std::function<void()> OnPump;
};

// 1 s of digital silence, 2 s of a 440 Hz sine at 18000, 1 s of silence.
test::PcmShape ToneBetweenSilences()
{
    test::PcmShape shape;
    shape.Seconds = 2.0;
    shape.Amplitude = 18000;
    shape.SilenceBefore = 1.0;
    shape.SilenceAfter = 1.0;
    return shape;
}

class VolumeAnalysisDecodeTest : public ::testing::Test
{
  protected:
    void Load(const std::filesystem::path& file)
    {
        ASSERT_FALSE(file.empty());
        m_file = file.string();
        m_bytes = test::ReadFileBytes(file);
        test::LoadFrames(m_model, m_bytes);
        ASSERT_GT(m_model.Info.FrameCount, 0);
    }

    void Analyse(bool levelsOnly)
    {
        AnalyseVolume(m_model, m_context, m_decoder, m_file, 0, m_model.Info.FrameCount, levelsOnly,
                      &m_result);
    }

    std::string AnalyseExpectingError(bool levelsOnly)
    {
        try {
            Analyse(levelsOnly);
        } catch (const Error& e) {
            EXPECT_FALSE(m_model.AnalysisBusy);
            return e.what();
        }
        return "no error";
    }

    // Frame index at `seconds` into the stream.
    int FrameAt(double seconds) const
    {
        const FrameHeader& h = m_model.Info.Reference;
        return int(seconds * h.SampleRate / SamplesPerFrame(h));
    }

    test::TempDir m_dir;
    std::string m_file;
    Bytes m_bytes;
    StreamModel m_model{1024};
    SettingsRecord m_settings;
    MessageTexts m_texts;
    ScriptedPump m_pump;
    EngineContext m_context{m_settings, m_texts, m_pump};
    Mp3FrameDecoder m_decoder;
    NormalisationResult m_result;
};

// Silence decodes to Level 0 and the tone to positive Levels. Eight global-gain steps are a
// factor of exactly 4, so P is a quarter of the peak mpg123 decodes from the stored file
// (about 17470 for the sine at 18000), which the bar can raise by 3 steps (4120 < P < 4899).
TEST_F(VolumeAnalysisDecodeTest, ToneGivesLevelsPeakAndAmplification)
{
    Load(test::MakeMp3(m_dir, "tone", ToneBetweenSilences(), "-b 192"));
    Analyse(false);

    for (int i = 0; i < FrameAt(0.8); ++i)
        EXPECT_EQ(m_model.Frames[uint32_t(i)].Level, 0) << "frame " << i;
    for (int i = FrameAt(1.2); i < FrameAt(2.8); ++i)
        EXPECT_GT(m_model.Frames[uint32_t(i)].Level, 1000) << "frame " << i;
    for (int i = FrameAt(3.3); i < m_model.Info.FrameCount - 2; ++i)
        EXPECT_EQ(m_model.Frames[uint32_t(i)].Level, 0) << "frame " << i;

    const test::CommandResult oracle =
        test::RunCommand("mpg123 -q --no-gapless -e s16 -s " + test::ShellQuote(m_file));
    ASSERT_EQ(oracle.ExitCode, 0) << oracle.Err;
    int storedPeak = 0;
    for (size_t at = 0; at + 1 < oracle.Out.size(); at += 2) {
        int16_t s = 0;
        std::memcpy(&s, oracle.Out.data() + at, 2);
        storedPeak = std::max(storedPeak, s < 0 ? -int(s) : int(s));
    }
    EXPECT_NEAR(double(m_result.PeakAmplitude), storedPeak / 4.0 + 1.0, 3.0) << storedPeak;
    EXPECT_NEAR(m_result.Gain, 5.25, 0.4);
    EXPECT_EQ(m_result.PanelVolumeMax, FormatNormalisationGain(m_result.Gain));
    EXPECT_EQ(m_result.AmplificationPosition, 3);
    EXPECT_TRUE(m_result.MarkerMoved);
    EXPECT_EQ(m_result.ConversionErrors, 0);
    EXPECT_FALSE(m_model.AnalysisBusy);
}

TEST_F(VolumeAnalysisDecodeTest, DigitalSilenceCannotBeNormalised)
{
    test::PcmShape silence;
    silence.Amplitude = 0;
    Load(test::MakeMp3(m_dir, "silence", silence, "-b 128"));
    m_result.PanelVolumeMax = "?dB";
    EXPECT_EQ(AnalyseExpectingError(false),
              "Unable to determine the volume (the MP3 codec did not decode the file?)");
    EXPECT_EQ(m_result.PanelVolumeMax, "?dB");
    for (int i = 0; i < m_model.Info.FrameCount; ++i)
        EXPECT_EQ(m_model.Frames[uint32_t(i)].Level, 0) << "frame " << i;
}

// A frame whose header no longer fits its place is refused by the decoder: one is
// tolerated, two make the normalisation fail.
TEST_F(VolumeAnalysisDecodeTest, RefusedFramesAreCounted)
{
    Load(test::MakeMp3(m_dir, "tone", ToneBetweenSilences(), "-b 192"));
    const auto corrupt = [&](int frame) {
        m_bytes[m_model.Frames[uint32_t(frame)].Offset + 2] |= 0xF0; // bitrate index 15
        test::WriteFileBytes(m_file, m_bytes);
    };
    corrupt(FrameAt(1.5));
    Analyse(false);
    EXPECT_EQ(m_result.ConversionErrors, 1);
    EXPECT_TRUE(m_result.MarkerMoved);

    corrupt(FrameAt(2.5));
    EXPECT_EQ(AnalyseExpectingError(false), "acm codec had trouble decoding the file");
}

// Esc handled during the pump stops the run at the next frame; the frames before keep their
// Levels and the busy flag is cleared.
TEST_F(VolumeAnalysisDecodeTest, StopRequestEndsTheRun)
{
    Load(test::MakeMp3(m_dir, "tone", ToneBetweenSilences(), "-b 192"));
    ASSERT_GT(m_model.Info.FrameCount, 130);
    bool busyWhilePumping = false;
    m_pump.OnPump = [&] {
        busyWhilePumping = m_model.AnalysisBusy;
        m_model.StopRequested = true;
    };
    EXPECT_EQ(AnalyseExpectingError(true), "Stopped at user request");
    EXPECT_TRUE(busyWhilePumping);
    EXPECT_EQ(m_pump.Pumps, 1);
    EXPECT_GE(m_model.Frames[127].Level, 0);
    EXPECT_EQ(m_model.Frames[128].Level, -1);
}

// Layer II has no gain fields: its frames are decoded as stored, yet their Levels come out
// on the scale of Layer III's attenuated decode, and no normalisation is offered.
TEST_F(VolumeAnalysisDecodeTest, LayerIILevelsShareTheScaleButCannotBeNormalised)
{
    const test::PcmShape shape = ToneBetweenSilences();
    Load(test::MakeMp3(m_dir, "tone", shape, "-b 192"));
    Analyse(true);
    const int64_t layerIIILevel = m_model.Frames[uint32_t(FrameAt(2.0))].Level;

    const auto wav = m_dir / "tone2.wav";
    test::WritePcmWav(wav, shape);
    Load(test::EncodeWithTwolame(wav, m_dir / "tone.mp2", "-b 192"));
    ASSERT_EQ(m_model.Info.Reference.Layer, LayerII);
    Analyse(true);
    const int64_t layerIILevel = m_model.Frames[uint32_t(FrameAt(2.0))].Level;
    EXPECT_NEAR(double(layerIILevel) / double(layerIIILevel), 1.0, 0.2)
        << layerIILevel << " vs " << layerIIILevel;

    EXPECT_EQ(AnalyseExpectingError(false),
              "Unable to determine the volume (the file needs to be MPEG layer III)");
}

// The opening driver's view: only the frames asked for get a Level.
TEST_F(VolumeAnalysisDecodeTest, EndLevelAnalyserFillsTheAskedRange)
{
    Load(test::MakeMp3(m_dir, "tone", ToneBetweenSilences(), "-b 192"));
    DecoderLevelAnalyser analyser(m_decoder);
    EndLevelAnalyser& driverView = analyser;
    const int count = m_model.Info.FrameCount;
    driverView.AnalyseLevels(m_model, m_context, m_file, std::max(0, count - 105), count);
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(m_model.Frames[uint32_t(i)].Level >= 0, i >= count - 105) << "frame " << i;
    EXPECT_GT(m_model.Frames[uint32_t(FrameAt(2.0))].Level, 0);
    EXPECT_EQ(m_model.Frames[uint32_t(count - 3)].Level, 0);
    EXPECT_FALSE(m_model.AnalysisBusy);
}

} // namespace
} // namespace zefrin
