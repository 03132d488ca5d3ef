#include "support/TestSupport.h"

#include <algorithm>
#include <cstring>
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

std::string Q(const fs::path& path)
{
    return ShellQuote(path.string());
}

// The raw text of a top-level member of the JSON save and analyse write ("12", "\"a.mp3\"").
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

long MemberNumber(const std::string& json, const std::string& key)
{
    return std::strtol(Member(json, key).c_str(), nullptr, 10);
}

std::string FfprobeFormat(const fs::path& path)
{
    const CommandResult r = test::RunCommand(
        "ffprobe -v error -show_entries format=format_name:stream=codec_name -of csv=p=0 " +
        Q(path));
    return r.Out;
}

// A 3 s tone between half a second of digital silence at either end, made by lame once.
class SaveCommand : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<test::TempDir>();
        test::PcmShape pcm;
        pcm.Seconds = 3.0;
        pcm.SilenceBefore = 0.5;
        pcm.SilenceAfter = 0.5;
        test::WritePcmWav(*s_dir / "tone.wav", pcm);
        s_source = test::EncodeWithLame(*s_dir / "tone.wav", *s_dir / "tone.mp3", "-b 128");
        s_frames = test::FfprobePacketCount(s_source);
        s_sourceBytes = test::ReadFileBytes(s_source);
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void TearDown() override
    {
        // No test may change the shared source, whatever it asks the tool to do.
        EXPECT_EQ(test::ReadFileBytes(s_source), s_sourceBytes);
    }

    // A copy of the source for a test that saves in place.
    fs::path Copy(const std::string& name) const
    {
        const fs::path copy = m_dir / name;
        fs::copy_file(s_source, copy);
        return copy;
    }

    static std::unique_ptr<test::TempDir> s_dir;
    static fs::path s_source;
    static long s_frames; // as ffprobe counts them; the scanner agrees (see the info tests)
    static test::Bytes s_sourceBytes;
    test::TempDir m_dir;
};

std::unique_ptr<test::TempDir> SaveCommand::s_dir;
fs::path SaveCommand::s_source;
long SaveCommand::s_frames = 0;
test::Bytes SaveCommand::s_sourceBytes;

// The length Save puts into a file name for a number of 44.1 kHz Layer III frames (< 1 h).
std::string LengthInName(long frames)
{
    const long seconds = frames * 1152 / 44100;
    const std::string twoDigits = std::to_string(100 + seconds % 60).substr(1);
    return std::to_string(seconds / 60) + "m " + twoDigits + "s";
}

// Frames of one second at 44.1 kHz as a time spin turns it into frames: 44100 / 1152 rounded up.
constexpr long FramesOfOneSecond = 39;

TEST_F(SaveCommand, UsageErrorsNameTheProblemAndWriteNothing)
{
    ASSERT_GT(s_frames, 100);
    const fs::path out = m_dir / "out.mp3";
    const std::string file = Q(s_source) + " ";
    const long seconds = s_frames * 1152 / 44100;
    struct Case
    {
        std::string Arguments;
        std::string Message;
    };
    const Case cases[] = {
        {"save " + file, "save needs either -o OUT (Save As) or --in-place (Save)"},
        {"save --in-place -o " + Q(out) + " " + file,
         "save needs either -o OUT (Save As) or --in-place (Save)"},
        {"save --in-place --wav " + file,
         "--wav is a choice of Save As; Save follows CheckBoxSaveWAV"},
        {"save --wav --mp3 -o " + Q(out) + " " + file,
         "--wav and --mp3 choose the same file type; give one of them"},
        {"save --begin 3 --begin-time 1 -o " + Q(out) + " " + file,
         "--begin and --begin-time both set the same trimming point; give one of them"},
        {"save --auto-trim --end-time 1 -o " + Q(out) + " " + file,
         "--auto-trim sets both trimming points; it cannot be combined with --end-time"},
        {"save --begin -1 -o " + Q(out) + " " + file,
         "--begin takes a whole number from 0 to 2147483647, not \"-1\""},
        {"save --begin " + std::to_string(s_frames + 1) + " -o " + Q(out) + " " + file,
         "--begin " + std::to_string(s_frames + 1) + " is beyond the " + std::to_string(s_frames) +
             " frames of the file"},
        {"save --begin 100 --end-time 2 -o " + Q(out) + " " + file,
         // Two seconds are 77 frames: 88200 / 1152 rounded up.
         "--begin and --end-time together trim 177 frames, but the file has " +
             std::to_string(s_frames)},
        {"save --end-time " + std::to_string(seconds + 1) + " -o " + Q(out) + " " + file,
         "--end-time " + std::to_string(seconds + 1) + " is beyond the " + std::to_string(seconds) +
             " seconds of the file"},
        {"save --gain 9 -o " + Q(out) + " " + file,
         "--gain takes a whole number from -8 to 8, not \"9\""},
        {"save --gain +x -o " + Q(out) + " " + file,
         "--gain takes a whole number from -8 to 8, not \"+x\""},
        {"save --gain -2 --normalize -o " + Q(out) + " " + file,
         "--gain and --normalize both set the amplification; give one of them"},
        {"save --fade-out 33 -o " + Q(out) + " " + file,
         "--fade-out takes a whole number from 0 to 32, not \"33\""},
        {"analyse --end x " + file, "--end takes a whole number from 0 to 2147483647, not \"x\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments);
        const CommandResult r = RunCli(c.Arguments);
        EXPECT_EQ(r.ExitCode, 2);
        const std::string expected = "zefrin-cli: " + c.Message + "\n\nUsage: ";
        EXPECT_EQ(r.Err.substr(0, expected.size()), expected) << r.Err.substr(0, 300);
        EXPECT_EQ(r.Out, "");
        EXPECT_FALSE(fs::exists(out));
    }
}

TEST_F(SaveCommand, SaveAsKeepsTheFramesBetweenTheTrimmingPoints)
{
    struct Case
    {
        std::string Options;
        long Begin; // -1: found by the silence detection
        long End;
        long Added = 0; // silent frames
    };
    const Case cases[] = {
        {"", 0, 0},
        {"--begin 10 --end 20", 10, 20},
        {"--begin-time 1 --end 5", FramesOfOneSecond, 5},
        {"--auto-trim", -1, -1},
        // The settings apply as given: the reset of the add-silence lists at opening
        // (CheckBoxResetAddSilenceWhenOpen, on by default) is the window's, not the tool's.
        // Entry 10 is one second, 38 whole frames.
        {"--begin 10 --set ComboBoxAddSilenceBeginning=10", 10, 0, 38},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Options);
        const fs::path out = m_dir / "trimmed.mp3";
        const CommandResult r =
            RunCli("save --json " + c.Options + " -o " + Q(out) + " " + Q(s_source));
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(r.Err, "");
        EXPECT_EQ(Member(r.Out, "WrittenName"), "\"" + out.string() + "\"");
        const long begin = MemberNumber(r.Out, "Begin"), end = MemberNumber(r.Out, "End");
        if (c.Begin >= 0) {
            EXPECT_EQ(begin, c.Begin);
            EXPECT_EQ(end, c.End);
        } else {
            // Half a second of silence is 19 frames at either end; the beginning gives a few
            // back to the first kept frame's bit reservoir.
            EXPECT_GT(begin, 5);
            EXPECT_LE(begin, 21);
            EXPECT_GT(end, 5);
            EXPECT_LE(end, 21);
        }
        EXPECT_EQ(test::FfprobePacketCount(out), s_frames - begin - end + c.Added);
        EXPECT_EQ(MemberNumber(r.Out, "OutputFrameCount"), s_frames - begin - end + c.Added);
        const long size = long(fs::file_size(out));
        EXPECT_EQ(MemberNumber(r.Out, "PredictedSize"), size);
        EXPECT_EQ(MemberNumber(r.Out, "ActualSize"), size);
        fs::remove(out);
    }
}

TEST_F(SaveCommand, TextReportNamesTheFileAndBothSizes)
{
    const fs::path out = m_dir / "t.mp3";
    const CommandResult r = RunCli("save --begin 2 --gain -3 -o " + Q(out) + " " + Q(s_source));
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const std::string size = std::to_string(fs::file_size(out));
    EXPECT_EQ(r.Out, "Written:          " + out.string() +
                         "\n"
                         "Trimmed:          2 frames at the beginning, 0 at the end\n"
                         "Amplification:    -3 (-4.5dB)\n"
                         "Output frames:    " +
                         std::to_string(s_frames - 2) +
                         "\n"
                         "Type:             MP3\n"
                         "Predicted size:   " +
                         size + " bytes\nActual size:      " + size + " bytes\n");
}

TEST_F(SaveCommand, SaveInPlaceRewritesTheFileAndSavingAgainChangesNothing)
{
    const fs::path file = Copy("song.mp3");
    const CommandResult first = RunCli("save --json --in-place --begin 10 " + Q(file));
    ASSERT_EQ(first.ExitCode, 0) << first.Err;
    EXPECT_EQ(Member(first.Out, "WrittenName"), "\"" + file.string() + "\"");
    EXPECT_EQ(Member(first.Out, "NothingToChange"), "false");
    EXPECT_EQ(test::FfprobePacketCount(file), s_frames - 10);
    EXPECT_EQ(MemberNumber(first.Out, "ActualSize"), long(fs::file_size(file)));
    EXPECT_EQ(MemberNumber(first.Out, "PredictedSize"), long(fs::file_size(file)));

    // Without an ID3v1 record to keep, a saved file has nothing left to change.
    const test::Bytes saved = test::ReadFileBytes(file);
    const CommandResult again = RunCli("save --in-place --set RadioButtonID3Remove=0 " + Q(file));
    ASSERT_EQ(again.ExitCode, 0) << again.Err;
    EXPECT_EQ(again.Out.substr(0, 18 + file.string().size() + 21),
              "Unchanged:        " + file.string() + " (nothing to change)\n");
    EXPECT_EQ(test::ReadFileBytes(file), saved);

    // With CheckBoxSave_WithTime the saved file takes its length into its name.
    const CommandResult renamed =
        RunCli("save --json --in-place --end-time 1 --set CheckBoxSave_WithTime=-1 " + Q(file));
    ASSERT_EQ(renamed.ExitCode, 0) << renamed.Err;
    const fs::path named =
        m_dir / ("song (" + LengthInName(s_frames - 10 - FramesOfOneSecond) + ").mp3");
    EXPECT_EQ(Member(renamed.Out, "WrittenName"), "\"" + named.string() + "\"");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(MemberNumber(renamed.Out, "ActualSize"), long(fs::file_size(named)));
}

// The window asks before it saves a .wav file that has a WAV header without one; the tool
// says what the question says and goes on.
TEST_F(SaveCommand, SavingAWavFileWithoutItsHeaderWarnsAndWritesPlainMp3)
{
    const fs::path wav = m_dir / "song.wav";
    const CommandResult made = RunCli("save --wav -o " + Q(wav) + " " + Q(s_source));
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    EXPECT_EQ(FfprobeFormat(wav), "mp3\nwav\n");

    const CommandResult saved = RunCli("save --in-place " + Q(wav));
    ASSERT_EQ(saved.ExitCode, 0) << saved.Err;
    EXPECT_EQ(saved.Err, "warning: The file 'song.wav' is going to be saved without WAV header, "
                         "since the option setting 'Save with .WAV extension' is currently "
                         "un-checked.\nSuch a file may need to be renamed manually from '.WAV' to "
                         "'.MP3' before playback is possible.\n");
    EXPECT_EQ(FfprobeFormat(wav), "mp3\nmp3\n");
    EXPECT_EQ(test::FfprobePacketCount(wav), s_frames);
}

TEST_F(SaveCommand, SaveAsRefusesTheSourceHoweverItIsSpelt)
{
    const fs::path folder = s_source.parent_path();
    fs::create_directories(folder / "x");
    const fs::path symlink = m_dir / "link.mp3";
    const fs::path hardLink = m_dir / "hard.mp3";
    fs::create_symlink(s_source, symlink);
    fs::create_hard_link(s_source, hardLink);
    struct Case
    {
        std::string Name;
        std::string Output;
    };
    const Case cases[] = {
        {"dot-dot", Q(folder / "x" / ".." / "tone.mp3")},
        {"symbolic link", Q(symlink)},
        {"hard link", Q(hardLink)},
        // The name Save As proposes in the source's own folder is the source's name.
        {"folder", Q(folder) + " --set CheckBoxSaveAs_WithTime=0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const CommandResult r = RunCli("save --begin 5 -o " + c.Output + " " + Q(s_source));
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_EQ(r.Err, "'Save As' cannot overwrite to the source file - use 'Save' instead.\n");
        EXPECT_EQ(r.Out, "");
    }
}

TEST_F(SaveCommand, SaveAsIntoAFolderUsesTheProposedName)
{
    const std::string length = LengthInName(s_frames - FramesOfOneSecond);
    struct Case
    {
        std::string Options;
        std::string Name;
        std::string Format; // ffprobe's codec and container
    };
    const Case cases[] = {
        {"--set CheckBoxSaveAs_WithTime=-1", "tone (" + length + ").mp3", "mp3\nmp3\n"},
        {"--set CheckBoxSaveAs_WithTime=-1 --wav", "tone (" + length + ").wav", "mp3\nwav\n"},
        {"--set CheckBoxSaveAs_WithTime=0", "tone.mp3", "mp3\nmp3\n"},
        // The dialog's type wins over the setting.
        {"--set CheckBoxSaveAs_WithTime=0 --set CheckBoxSaveWAV=-1 --mp3", "tone.mp3",
         "mp3\nmp3\n"},
        {"--set CheckBoxSaveAs_WithTime=0 --set CheckBoxSaveWAV=-1", "tone.wav", "mp3\nwav\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Options);
        const fs::path folder = m_dir / "out";
        fs::create_directory(folder);
        const CommandResult r = RunCli("save --json --begin-time 1 " + c.Options + " -o " +
                                       Q(folder) + " " + Q(s_source));
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        const fs::path expected = folder / c.Name;
        EXPECT_EQ(Member(r.Out, "WrittenName"), "\"" + expected.string() + "\"");
        ASSERT_TRUE(fs::exists(expected));
        EXPECT_EQ(FfprobeFormat(expected), c.Format);
        EXPECT_EQ(MemberNumber(r.Out, "ActualSize"), long(fs::file_size(expected)));
        EXPECT_EQ(MemberNumber(r.Out, "PredictedSize"), long(fs::file_size(expected)));
        fs::remove_all(folder);
    }
}

TEST_F(SaveCommand, GainAndFadesChangeTheDecodedAudio)
{
    const fs::path plain = m_dir / "plain.mp3";
    ASSERT_EQ(RunCli("save --gain 0 -o " + Q(plain) + " " + Q(s_source)).ExitCode, 0);
    const std::vector<int16_t> reference = test::DecodeWithMpg123(plain);
    const int tonePeak = test::PeakSample(reference, 1.0, 3.0);
    ASSERT_GT(tonePeak, 6000);

    // Four steps of 1.5 dB double the amplitude; the default comes from the settings.
    for (const std::string options : {"--gain 4", "--set TrackBarDefaultAmplification=4"}) {
        SCOPED_TRACE(options);
        const fs::path louder = m_dir / "louder.mp3";
        const CommandResult r = RunCli("save " + options + " -o " + Q(louder) + " " + Q(s_source));
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(fs::file_size(louder), fs::file_size(plain));
        const int peak = test::PeakSample(test::DecodeWithMpg123(louder), 1.0, 3.0);
        EXPECT_NEAR(double(peak) / tonePeak, 2.0, 0.04);
    }

    // Fades of 2.1 s: the first or the last half of the file, lowered by 30 dB at its end
    // and less further in; the other half keeps its level.
    struct Case
    {
        const char* Option;
        bool BeginQuieter;
    };
    for (const Case c : {Case{"--fade-in 11", true}, Case{"--fade-out 11", false}}) {
        SCOPED_TRACE(c.Option);
        const fs::path faded = m_dir / "faded.mp3";
        ASSERT_EQ(RunCli(std::string("save ") + c.Option + " -o " + Q(faded) + " " + Q(s_source))
                      .ExitCode,
                  0);
        const std::vector<int16_t> pcm = test::DecodeWithMpg123(faded);
        const int begin = test::PeakSample(pcm, 0.6, 1.0), end = test::PeakSample(pcm, 3.0, 3.4);
        EXPECT_NEAR(c.BeginQuieter ? end : begin, tonePeak, tonePeak / 50);
        EXPECT_LT(c.BeginQuieter ? begin : end, tonePeak / 2);
    }
}

TEST_F(SaveCommand, VolumeOptionsOnALayerIIFileAreRefused)
{
    const fs::path mp2 =
        test::EncodeWithTwolame(s_source.parent_path() / "tone.wav", m_dir / "tone.mp2", "");
    const fs::path out = m_dir / "out.mp2";
    const CommandResult gain = RunCli("save --gain 2 -o " + Q(out) + " " + Q(mp2));
    EXPECT_EQ(gain.ExitCode, 2);
    const std::string message =
        "zefrin-cli: --gain changes the volume of MPEG Layer III files only\n\nUsage: ";
    EXPECT_EQ(gain.Err.substr(0, message.size()), message);
    const CommandResult normalize = RunCli("save --normalize -o " + Q(out) + " " + Q(mp2));
    EXPECT_EQ(normalize.ExitCode, 1);
    EXPECT_EQ(normalize.Err,
              "Unable to determine the volume (the file needs to be MPEG layer III)\n");
    EXPECT_FALSE(fs::exists(out));
    // Trimming works on every layer.
    const CommandResult trimmed = RunCli("save --begin 3 -o " + Q(out) + " " + Q(mp2));
    ASSERT_EQ(trimmed.ExitCode, 0) << trimmed.Err;
    EXPECT_EQ(test::FfprobePacketCount(out), test::FfprobePacketCount(mp2) - 3);
}

} // namespace
} // namespace zefrin
