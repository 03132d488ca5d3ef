#include "audio/DecoderLevelAnalyser.h"
#include "audio/VolumeAnalysis.h"
#include "core/OpenFile.h"
#include "edit/Fades.h"
#include "platform/Mp3FrameDecoder.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <memory>

namespace zefrin {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::ShellQuote;

CommandResult RunCli(const std::string& arguments)
{
    return test::RunCommand(ShellQuote(ZEFRIN_CLI_PATH) + " " + arguments);
}

std::string Member(const std::string& json, const std::string& key)
{
    const std::string marker = "\n  \"" + key + "\": ";
    const size_t at = json.find(marker);
    if (at == std::string::npos)
        return "<missing " + key + ">";
    const size_t start = at + marker.size();
    size_t end = json.find('\n', start);
    if (json[end - 1] == ',')
        --end;
    return json.substr(start, end - start);
}

// What the Auto button computes, straight from the engine: open, then analyse the kept frames.
NormalisationResult EngineAutoVolume(const fs::path& file, int begin, int end,
                                     const SettingsRecord& settings)
{
    const MessageTexts texts;
    NullEventPump pump;
    const EngineContext context{settings, texts, pump};
    auto model = std::make_unique<StreamModel>();
    Mp3FrameDecoder decoder;
    DecoderLevelAnalyser levels(decoder);
    OpenFile(*model, context, file.string(), levels);
    NormalisationResult result;
    AnalyseVolume(*model, context, decoder, file.string(), begin, model->Info.FrameCount - end,
                  false, &result);
    return result;
}

class AnalyseCommand : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<test::TempDir>();
        test::PcmShape pcm;
        pcm.Seconds = 3.0;
        pcm.SilenceBefore = 0.5;
        pcm.SilenceAfter = 0.5;
        test::WritePcmWav(*s_dir / "quiet.wav", pcm);
        s_quiet = test::EncodeWithLame(*s_dir / "quiet.wav", *s_dir / "quiet.mp3", "-b 128");
        pcm.Amplitude = 30000; // about -0.8 dBFS: above the default target of -3 dB
        test::WritePcmWav(*s_dir / "loud.wav", pcm);
        s_loud = test::EncodeWithLame(*s_dir / "loud.wav", *s_dir / "loud.mp3", "-b 128");
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::unique_ptr<test::TempDir> s_dir;
    static fs::path s_quiet;
    static fs::path s_loud;
};

std::unique_ptr<test::TempDir> AnalyseCommand::s_dir;
fs::path AnalyseCommand::s_quiet;
fs::path AnalyseCommand::s_loud;

TEST_F(AnalyseCommand, ShowsWhatTheEngineComputesForTheKeptFrames)
{
    struct Case
    {
        const fs::path* File;
        int Begin;
        int End;
        std::string Setting; // NAME=VALUE, or empty
    };
    const Case cases[] = {
        {&s_quiet, 0, 0, ""},
        {&s_quiet, 30, 40, "ComboBoxNormlizeAt=0"},
        {&s_loud, 20, 20, ""},
        // A negative proposal with the increase-only setting leaves the bar at 0.
        {&s_loud, 20, 20, "CheckBoxNormalizationIncOnly=-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.File->filename().string() + " " + c.Setting);
        SettingsRecord settings;
        LoadDefaultSettings(settings);
        std::string arguments = "analyse --json --begin " + std::to_string(c.Begin) + " --end " +
                                std::to_string(c.End) + " ";
        if (!c.Setting.empty()) {
            const size_t equals = c.Setting.find('=');
            ASSERT_TRUE(SetSettingByName(settings, c.Setting.substr(0, equals),
                                         c.Setting.substr(equals + 1), nullptr));
            arguments += "--set " + c.Setting + " ";
        }
        const NormalisationResult engine = EngineAutoVolume(*c.File, c.Begin, c.End, settings);

        const CommandResult r = RunCli(arguments + ShellQuote(c.File->string()));
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(Member(r.Out, "FirstFrame"), std::to_string(c.Begin));
        EXPECT_EQ(Member(r.Out, "PeakAmplitude"), std::to_string(engine.PeakAmplitude));
        EXPECT_EQ(Member(r.Out, "PanelVolumeMax"), "\"" + engine.PanelVolumeMax + "\"");
        EXPECT_EQ(Member(r.Out, "AmplificationPosition"),
                  std::to_string(engine.AmplificationPosition));
        EXPECT_EQ(Member(r.Out, "PanelVolume"),
                  "\"" + AmplificationText(engine.AmplificationPosition) + "\"");
    }

    // The decode is made 12 dB (a factor of 4) below the stored level: a tone of amplitude
    // 8000 peaks near 2000, and 30000 near 7500.
    SettingsRecord defaults;
    LoadDefaultSettings(defaults);
    const NormalisationResult quiet = EngineAutoVolume(s_quiet, 0, 0, defaults);
    EXPECT_NEAR(double(quiet.PeakAmplitude), 2000.0, 150.0);
    const NormalisationResult loud = EngineAutoVolume(s_loud, 0, 0, defaults);
    EXPECT_NEAR(double(loud.PeakAmplitude), 7500.0, 500.0);
    EXPECT_LT(loud.Gain, 0.0);
}

TEST_F(AnalyseCommand, TextFormAndFailures)
{
    SettingsRecord defaults;
    LoadDefaultSettings(defaults);
    const NormalisationResult engine = EngineAutoVolume(s_quiet, 0, 0, defaults);
    const CommandResult r = RunCli("analyse " + ShellQuote(s_quiet.string()));
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const long frames = test::FfprobePacketCount(s_quiet);
    EXPECT_EQ(r.Out, "Analysed frames:  0 to " + std::to_string(frames - 1) + " (" +
                         std::to_string(frames) +
                         " frames)\n"
                         "Peak amplitude:   " +
                         std::to_string(engine.PeakAmplitude) +
                         "\n"
                         "Normalisation:    " +
                         engine.PanelVolumeMax +
                         "\n"
                         "Amplification:    " +
                         std::to_string(engine.AmplificationPosition) + " (" +
                         AmplificationText(engine.AmplificationPosition) + ")\n");

    // The leading half second is digital silence: nothing to measure there.
    const CommandResult silent =
        RunCli("analyse --end " + std::to_string(frames - 12) + " " + ShellQuote(s_quiet.string()));
    EXPECT_EQ(silent.ExitCode, 1);
    EXPECT_EQ(silent.Err,
              "Unable to determine the volume (the MP3 codec did not decode the file?)\n");
    EXPECT_EQ(silent.Out, "");

    const CommandResult beyond = RunCli("analyse --begin-time 60 " + ShellQuote(s_quiet.string()));
    EXPECT_EQ(beyond.ExitCode, 2);
    EXPECT_EQ(beyond.Err.substr(0, 37), "zefrin-cli: --begin-time 60 is beyond");
}

// --normalize takes the position analyse shows, and gives the bytes --gain would.
TEST_F(AnalyseCommand, SaveNormalizeUsesTheProposedPosition)
{
    const CommandResult analysed =
        RunCli("analyse --json --begin 25 " + ShellQuote(s_quiet.string()));
    ASSERT_EQ(analysed.ExitCode, 0) << analysed.Err;
    const std::string position = Member(analysed.Out, "AmplificationPosition");
    ASSERT_NE(position, "0"); // the quiet tone is raised

    test::TempDir dir;
    const fs::path normalized = dir / "normalized.mp3";
    const fs::path gained = dir / "gained.mp3";
    const CommandResult saved =
        RunCli("save --json --normalize --begin 25 -o " + ShellQuote(normalized.string()) + " " +
               ShellQuote(s_quiet.string()));
    ASSERT_EQ(saved.ExitCode, 0) << saved.Err;
    EXPECT_EQ(Member(saved.Out, "Amplification"), position);
    ASSERT_EQ(RunCli("save --begin 25 --gain " + position + " -o " + ShellQuote(gained.string()) +
                     " " + ShellQuote(s_quiet.string()))
                  .ExitCode,
              0);
    EXPECT_EQ(test::ReadFileBytes(normalized), test::ReadFileBytes(gained));
}

} // namespace
} // namespace zefrin
