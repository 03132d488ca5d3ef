// The analysis loop and the normalisation arithmetic, with a scripted decoder so that every
// sample, result code and consumed count is under the test's control.
#include "audio/VolumeAnalysis.h"

#include "AudioFixtures.h"
#include "core/Crc16.h"
#include "core/Errors.h"
#include "edit/GainChange.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace zefrin {
namespace {

using test::Bytes;

// Records what it is fed and answers from a script: PCM and a result per call.
class ScriptedDecoder final : public FrameDecoder
{
  public:
    void Open(uint32_t sampleRate, int channels, const MessageTexts& texts) override
    {
        if (OpenFails)
            throw Error(JoinMessageLines(texts.MessageDlgAcmStreamOpenFailed));
        IsOpen = true;
        OpenedRate = sampleRate;
        OpenedChannels = channels;
    }

    uint32_t Convert(const uint8_t* frame, uint32_t length, uint8_t* out, uint32_t outCapacityBytes,
                     uint32_t* sourceUsed, uint32_t* destUsed) override
    {
        const size_t call = Fed.size();
        Fed.emplace_back(frame, frame + length);
        const std::vector<int16_t> pcm = Pcm ? Pcm(call) : std::vector<int16_t>(64, 0);
        const auto bytes = uint32_t(pcm.size() * 2);
        EXPECT_LE(bytes, outCapacityBytes);
        std::memcpy(out, pcm.data(), bytes);
        *destUsed = bytes;
        *sourceUsed = call == ShortConsumeAt ? length - 1 : length;
        const auto status = Status.find(call);
        return status == Status.end() ? ConvertOk : status->second;
    }

    int Close() override
    {
        IsOpen = false;
        return CloseResult;
    }

    bool OpenFails = false;
    int CloseResult = 0;
    size_t ShortConsumeAt = size_t(-1);
    std::map<size_t, uint32_t> Status;
    std::function<std::vector<int16_t>(size_t)> Pcm;

    bool IsOpen = false;
    uint32_t OpenedRate = 0;
    int OpenedChannels = 0;
    std::vector<Bytes> Fed;
};

class RecordingPump final : public EventPump
{
  public:
    void ProcessMessages() override { ++Pumps; }
    void ProgressChanged(int position) override { Positions.push_back(position); }
    int Pumps = 0;
    std::vector<int> Positions;
};

class VolumeAnalysisTest : public ::testing::Test
{
  protected:
    // `count` synthesised frames of `shape` in a file, loaded into the model.
    void MakeStream(const test::SynthFrameShape& shape, int count)
    {
        m_file = (m_dir / "frames.mp3").string();
        m_bytes = test::SynthStream(shape, count);
        test::WriteFileBytes(m_file, m_bytes);
        test::LoadFrames(m_model, m_bytes);
        ASSERT_EQ(m_model.Info.FrameCount, count);
    }

    void Analyse(int first, int end, bool levelsOnly)
    {
        AnalyseVolume(m_model, m_context, m_decoder, m_file, first, end, levelsOnly, &m_result);
    }

    // Runs the analysis expecting an error whose text starts with `text`; afterwards the run
    // must have released everything.
    void ExpectFailure(int first, int end, bool levelsOnly, const std::string& text)
    {
        try {
            Analyse(first, end, levelsOnly);
            ADD_FAILURE() << "no error, expected " << text;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, text.size()), text);
        }
        EXPECT_FALSE(m_model.AnalysisBusy);
        EXPECT_FALSE(m_decoder.IsOpen);
    }

    test::TempDir m_dir;
    std::string m_file;
    Bytes m_bytes;
    StreamModel m_model{64};
    SettingsRecord m_settings;
    MessageTexts m_texts;
    RecordingPump m_pump;
    EngineContext m_context{m_settings, m_texts, m_pump};
    ScriptedDecoder m_decoder;
    NormalisationResult m_result;
};

// Layer III frames reach the decoder 8 global-gain steps quieter with a CRC that matches
// again; Layer I and II frames have no gain fields and reach it exactly as stored.
TEST_F(VolumeAnalysisTest, FramesReachTheDecoderAttenuatedWithAValidCrc)
{
    struct Case
    {
        const char* Name;
        test::SynthFrameShape Shape;
        bool Attenuated;
    };
    test::SynthFrameShape stereoCrc;
    stereoCrc.Crc = true;
    test::SynthFrameShape mpeg2Mono;
    mpeg2Mono.Version = VersionMpeg2;
    mpeg2Mono.ChannelMode = ChannelModeMono;
    mpeg2Mono.BitrateIndex = 8;
    test::SynthFrameShape layerII;
    layerII.Layer = LayerII;
    layerII.Crc = true;
    for (const Case& c : {Case{"MPEG-1 Layer III with CRC", stereoCrc, true},
                          Case{"MPEG-2 Layer III mono", mpeg2Mono, true},
                          Case{"MPEG-1 Layer II with CRC", layerII, false}}) {
        SCOPED_TRACE(c.Name);
        m_decoder = ScriptedDecoder();
        MakeStream(c.Shape, 3);
        Analyse(0, 3, true);

        const FrameHeader& reference = m_model.Info.Reference;
        EXPECT_EQ(m_decoder.OpenedRate, reference.SampleRate);
        EXPECT_EQ(m_decoder.OpenedChannels, reference.ChannelMode == ChannelModeMono ? 1 : 2);
        ASSERT_EQ(m_decoder.Fed.size(), 3u);
        for (uint32_t i = 0; i < 3; ++i) {
            const FrameRecord& record = m_model.Frames[i];
            Bytes expected(m_bytes.begin() + record.Offset,
                           m_bytes.begin() + record.Offset + record.Length);
            if (c.Attenuated) {
                const Bytes stored = expected;
                ApplyGainChange(reference, expected.data() + record.HeaderSize, -8);
                EXPECT_NE(expected, stored);
                if (reference.HasCrc)
                    StoreFrameCrc(expected.data(), FrameCrc(reference, expected.data()));
            }
            EXPECT_EQ(m_decoder.Fed[i], expected);
            if (reference.HasCrc && c.Attenuated) {
                EXPECT_EQ(StoredFrameCrc(m_decoder.Fed[i].data()),
                          FrameCrc(reference, m_decoder.Fed[i].data()));
            }
        }
    }
}

// Level is each frame's own sum of squares >> 16, and the histogram counts -32768 at 32768.
TEST_F(VolumeAnalysisTest, LevelsAreFrameSumsAndFullScaleNegativeCountsAt32768)
{
    MakeStream(test::SynthFrameShape(), 6);
    m_decoder.Pcm = [](size_t call) {
        switch (call) {
        case 0:
            return std::vector<int16_t>(2304, 0);
        case 1:
        case 2:
            return std::vector<int16_t>(2304, 1000);
        case 3: {
            std::vector<int16_t> pcm(2304, 0);
            pcm[17] = -32768;
            return pcm;
        }
        default:
            return std::vector<int16_t>(16384, -32768); // a whole output buffer
        }
    };
    m_model.StopRequested = true; // left over from an earlier run: a new run clears it
    Analyse(0, 6, false);

    const int64_t expected[6] = {0,
                                 (2304LL * 1000000) >> 16,
                                 (2304LL * 1000000) >> 16,
                                 (32768LL * 32768) >> 16,
                                 1LL << 28,
                                 1LL << 28};
    for (uint32_t i = 0; i < 6; ++i)
        EXPECT_EQ(m_model.Frames[i].Level, expected[i]) << "frame " << i;
    EXPECT_EQ(m_result.PeakAmplitude, 32769u);
    EXPECT_EQ(m_result.PanelVolumeMax, "-12.0dB");
    EXPECT_EQ(m_result.AmplificationPosition, -8);
    EXPECT_EQ(m_result.ConversionErrors, 0);
    EXPECT_FALSE(m_model.AnalysisBusy);
}

// Bounds that lie outside the stream (spin boxes without a value give -1) are held to it.
TEST_F(VolumeAnalysisTest, RangeIsHeldToTheFramesOfTheStream)
{
    MakeStream(test::SynthFrameShape(), 5);
    m_model.Frames[5].Level = -1; // the sentinel after the last frame
    Analyse(-1, 40, true);
    EXPECT_EQ(m_decoder.Fed.size(), 5u);
    EXPECT_EQ(m_model.Frames[0].Level, 0);
    EXPECT_EQ(m_model.Frames[5].Level, -1);
}

// One refused frame is tolerated (its output still counts); two spoil the normalisation;
// other results and a frame not wholly consumed stop the run, keeping the Levels so far.
TEST_F(VolumeAnalysisTest, ConversionResultsAreCountedOrRaised)
{
    MakeStream(test::SynthFrameShape(), 4);
    m_decoder.Pcm = [](size_t call) { return std::vector<int16_t>(64, call == 1 ? 4095 : 100); };

    m_decoder.Status = {{1, FrameDecoder::ConvertImpossible}};
    Analyse(0, 4, false);
    EXPECT_EQ(m_result.ConversionErrors, 1);
    EXPECT_EQ(m_result.PeakAmplitude, 4096u);
    EXPECT_EQ(m_result.PanelVolumeMax, "+6.1dB");

    struct Case
    {
        const char* Name;
        std::map<size_t, uint32_t> Status;
        size_t ShortConsumeAt;
        std::string Text;
        int LevelsKept;
    };
    const Case cases[] = {
        {"two refused",
         {{1, 512}, {3, 512}},
         size_t(-1),
         "acm codec had trouble decoding the file",
         4},
        {"other result", {{2, 0x1234}}, size_t(-1), "acmStreamConvert failed (0x1234)", 2},
        {"small result", {{2, 5}}, size_t(-1), "acmStreamConvert failed (0x0005)", 2},
        {"part consumed", {}, 1, "Assertion failure (UnitMain, line ", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        m_decoder.Fed.clear();
        m_decoder.Status = c.Status;
        m_decoder.ShortConsumeAt = c.ShortConsumeAt;
        for (uint32_t i = 0; i < 4; ++i)
            m_model.Frames[i].Level = -1;
        m_result.PanelVolumeMax = "unchanged";
        ExpectFailure(0, 4, false, c.Text);
        EXPECT_EQ(m_result.PanelVolumeMax, "unchanged");
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(m_model.Frames[uint32_t(i)].Level >= 0, i < c.LevelsKept) << "frame " << i;
    }
}

TEST_F(VolumeAnalysisTest, FailuresAroundTheLoopReleaseEverything)
{
    MakeStream(test::SynthFrameShape(), 4);
    m_texts.MessageDlgAcmStreamOpenFailed = {"no decoder", "", "install one"};

    m_decoder.OpenFails = true;
    ExpectFailure(0, 4, true, "no decoder\n\ninstall one\n");
    m_decoder.OpenFails = false;

    m_file = (m_dir / "missing.mp3").string();
    ExpectFailure(0, 4, true, "Assertion failure (UnitMain, line ");
    m_file = (m_dir / "frames.mp3").string();

    // Longer than any MPEG audio frame and than the input buffer.
    m_model.Frames[2].Length = 5000;
    ExpectFailure(0, 4, true, "Assertion failure (UnitMain, line ");
    EXPECT_EQ(m_decoder.Fed.size(), 2u);
    m_model.Frames[2].Length = m_model.Frames[1].Length;

    m_decoder.CloseResult = 1;
    ExpectFailure(0, 4, true, "acmStreamClose failed");
}

// The run pumps messages at every frame index i with i mod 128 = 127, and the progress bar
// moves only for runs of 1000 frames or more, from 0 to the end.
TEST_F(VolumeAnalysisTest, ProgressForLongRunsOnlyAndPumpingEvery128Frames)
{
    StreamModel big(1100);
    MakeStream(test::SynthFrameShape(), 1);
    const Bytes frame = m_bytes;
    m_bytes.clear();
    for (int i = 0; i < 1000; ++i)
        test::Append(m_bytes, frame);
    test::WriteFileBytes(m_file, m_bytes);
    test::LoadFrames(big, m_bytes);
    ASSERT_EQ(big.Info.FrameCount, 1000);

    for (const int end : {999, 1000}) {
        SCOPED_TRACE(end);
        m_pump = RecordingPump();
        big.Progress = ProgressBar();
        AnalyseVolume(big, m_context, m_decoder, m_file, 0, end, true, nullptr);
        EXPECT_EQ(m_pump.Pumps, 7); // frames 127, 255, ... 895
        if (end < 1000) {
            EXPECT_TRUE(m_pump.Positions.empty());
            continue;
        }
        ASSERT_EQ(m_pump.Positions.size(), 63u);
        for (int p = 0; p <= 62; ++p)
            EXPECT_EQ(m_pump.Positions[size_t(p)], p);
    }
}

struct NormalisationCase
{
    int Amplitude; // highest absolute sample of the attenuated decode
    int Target;
    bool IncOnly;
    const char* Text;
    int Position;
    bool MarkerMoved;
};

class NormalisationTest : public ::testing::TestWithParam<NormalisationCase>
{
};

TEST_P(NormalisationTest, GainTextAndAmplificationStep)
{
    const NormalisationCase& c = GetParam();
    auto histogram = std::make_unique<AmplitudeHistogram>();
    (*histogram)[0] = 999;
    (*histogram)[uint32_t(c.Amplitude)] = 1;
    SettingsRecord settings;
    settings.ComboBoxNormlizeAt = c.Target;
    settings.CheckBoxNormalizationIncOnly = c.IncOnly ? -1 : 0;
    const NormalisationResult r = ComputeNormalisation(*histogram, 1000, settings);
    EXPECT_EQ(r.PeakAmplitude, uint32_t(c.Amplitude + 1));
    EXPECT_EQ(r.PanelVolumeMax, c.Text);
    EXPECT_EQ(r.AmplificationPosition, c.Position);
    EXPECT_EQ(r.MarkerMoved, c.MarkerMoved);
}

INSTANTIATE_TEST_SUITE_P(EdgeCases, NormalisationTest,
                         ::testing::Values(NormalisationCase{8191, 0, false, "+0.0dB", 0, true},
                                           NormalisationCase{4095, 0, false, "+6.1dB", 4, true},
                                           NormalisationCase{4095, 1, false, "+3.1dB", 2, true},
                                           NormalisationCase{4095, 1, true, "+3.1dB", 2, true},
                                           NormalisationCase{2047, 0, false, "+12.1dB", 8, true},
                                           NormalisationCase{16383, 0, false, "-6.0dB", -4, true},
                                           NormalisationCase{16383, 0, true, "-0dB", 0, false},
                                           NormalisationCase{32767, 0, false, "-12.0dB", -8, true},
                                           NormalisationCase{32768, 4, false, "-24.0dB", -8,
                                                             true}));

TEST(NormalisationArithmeticTest, GainIsExactBeforeRounding)
{
    EXPECT_NEAR(NormalisationGain(8192, 0), 0.0412, 1e-4);
    EXPECT_NEAR(NormalisationGain(16384, 2), -5.9794 - 6.0, 1e-4);
    EXPECT_EQ(FormatNormalisationGain(-5.97), "-6.0dB");
    EXPECT_EQ(FormatNormalisationGain(0.0), "+0.0dB");
}

// With k > 0 the loudest k per mille of the samples may lie above the target; the per-mille
// figure truncates.
TEST(NormalisationArithmeticTest, ClippingThresholdWalk)
{
    auto histogram = std::make_unique<AmplitudeHistogram>();
    (*histogram)[100] = 990;
    (*histogram)[20000] = 5;
    (*histogram)[30000] = 5;
    const std::pair<int, uint32_t> walk[] = {
        {0, 30001}, {1, 30001}, {5, 30001}, {6, 20001}, {10, 20001}};
    for (const auto& [k, peak] : walk)
        EXPECT_EQ(PeakAmplitude(*histogram, 1000, k), peak) << "k = " << k;

    // 1 of 1999 samples is 0.5 per mille, which truncates to 0: the walk goes on to 400.
    auto truncating = std::make_unique<AmplitudeHistogram>();
    (*truncating)[0] = 1997;
    (*truncating)[500] = 1;
    (*truncating)[400] = 1;
    EXPECT_EQ(PeakAmplitude(*truncating, 1999, 1), 401u);
    EXPECT_EQ(PeakAmplitude(*truncating, 1999, 0), 501u);
    EXPECT_EQ(PeakAmplitude(*truncating, 0, 1), 0u);
}

TEST(NormalisationArithmeticTest, MarkerLeftEdge)
{
    struct Case
    {
        int Left, Width, Dpi, Position, Expected;
    };
    for (const Case& c :
         {Case{8, 151, 96, 0, 82}, Case{8, 151, 96, 8, 146}, Case{8, 151, 96, -8, 19},
          Case{8, 151, 96, -4, 50}, Case{10, 189, 120, 0, 102}}) {
        EXPECT_EQ(NormalisationMarkerLeft(c.Left, c.Width, c.Dpi, c.Position), c.Expected)
            << c.Left << " " << c.Width << " " << c.Dpi << " " << c.Position;
    }
}

} // namespace
} // namespace zefrin
