// zefrin-cli cue and split, run as the real program on an album made at test time: ten
// tones of six seconds, each followed by two seconds of digital silence but the last.
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace zefrin {
namespace {

namespace fs = std::filesystem;
using test::CommandResult;
using test::ShellQuote;

std::string Q(const fs::path& path)
{
    return ShellQuote(path.string());
}

CommandResult RunCli(const std::string& arguments, const fs::path& folder = {})
{
    const std::string cd = folder.empty() ? "" : "cd " + Q(folder) + " && ";
    return test::RunCommand(cd + ShellQuote(ZEFRIN_CLI_PATH) + " " + arguments);
}

constexpr int TrackCount = 10;
constexpr double ToneSeconds = 6.0;
constexpr double PauseSeconds = 2.0;
constexpr double FrameSeconds = 1152.0 / 44100.0;
// Tracks of six seconds need a minimum track length below the default minute.
const std::string ShortTracks = "--set SpinEditMinimumCueTrackLength=3";

// The middle of the pause in front of track `track` (1-based, from 2 on), in seconds.
double PauseMiddle(int track)
{
    return (track - 1) * ToneSeconds + (track - 2) * PauseSeconds + PauseSeconds / 2;
}

std::string TwoDigits(long number)
{
    return std::to_string(100 + number).substr(1);
}

// A cue sheet time as the program writes it: mm:ss:hh of the frame's start, truncated.
std::string CueTime(long frame)
{
    const long ms = frame * 1152 * 1000 / 44100;
    return TwoDigits(ms / 60000) + ":" + TwoDigits(ms / 1000 % 60) + ":" +
           TwoDigits(ms % 1000 / 10);
}

// The frame a split starts at for a cue sheet time written for `frame`: the time keeps whole
// hundredths only, and reading it back drops the rest of a frame again, so a start may move
// to the frame before.
long FrameOfCueTime(long frame)
{
    const long hundredths = frame * 1152 * 100 / 44100;
    return hundredths * 10 * 44100 / (1152 * 1000);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// "Label:" padded to the column where the values of the reports start.
std::string Label(const std::string& label)
{
    std::string padded = label;
    padded.resize(18, ' ');
    return padded;
}

class CueCommand : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<test::TempDir>();
        // The tones of the tracks, one after another in one WAV file; each a little higher.
        test::Bytes wav;
        for (int i = 0; i < TrackCount; ++i) {
            test::PcmShape shape;
            shape.Seconds = ToneSeconds;
            shape.Frequency = 300.0 + 60.0 * i;
            shape.SilenceAfter = i + 1 < TrackCount ? PauseSeconds : 0.0;
            const fs::path part = *s_dir / "part.wav";
            test::WritePcmWav(part, shape);
            const test::Bytes bytes = test::ReadFileBytes(part);
            wav.insert(wav.end(), bytes.begin() + (wav.empty() ? 0 : 44), bytes.end());
        }
        const auto put32 = [&](size_t at, uint32_t value) {
            for (int b = 0; b < 4; ++b)
                wav[at + size_t(b)] = uint8_t(value >> (8 * b));
        };
        put32(4, uint32_t(wav.size() - 8));
        put32(40, uint32_t(wav.size() - 44));
        test::WriteFileBytes(*s_dir / "album.wav", wav);
        s_album = test::EncodeWithLame(*s_dir / "album.wav", *s_dir / "album.mp3", "-b 128");
        s_frames = test::FfprobePacketCount(s_album);
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    // A copy of the album in the test's own folder: cue sheets and tracks go beside it.
    fs::path Album() const
    {
        const fs::path copy = m_dir / "album.mp3";
        fs::copy_file(s_album, copy);
        return copy;
    }

    // The track starts `cue` prints for the album, checked line by line against the cue
    // sheet it wrote.
    std::vector<long> GenerateCueSheet(const fs::path& album) const
    {
        const CommandResult r = RunCli("cue " + ShortTracks + " " + Q(album));
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        std::vector<long> starts;
        for (const std::string& line : Lines(r.Out)) {
            const size_t frame = line.find("(frame ");
            if (line.rfind("Track ", 0) == 0 && frame != std::string::npos)
                starts.push_back(std::stol(line.substr(frame + 7)));
        }
        return starts;
    }

    static std::unique_ptr<test::TempDir> s_dir;
    static fs::path s_album;
    static long s_frames;
    test::TempDir m_dir;
};

std::unique_ptr<test::TempDir> CueCommand::s_dir;
fs::path CueCommand::s_album;
long CueCommand::s_frames = 0;

TEST_F(CueCommand, CueSheetMarksATrackInTheMiddleOfEveryPause)
{
    Album();
    // A name relative to the current folder: the FILE line still names the full path.
    const CommandResult r = RunCli("cue " + ShortTracks + " album.mp3", m_dir.Path());
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const fs::path full = fs::canonical(m_dir.Path()) / "album.mp3";
    const fs::path cue = fs::canonical(m_dir.Path()) / "album.cue";

    const std::vector<std::string> lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), size_t(2 + TrackCount)) << r.Out;
    EXPECT_EQ(lines[0], Label("Written:") + cue.string());
    EXPECT_EQ(lines[1], Label("Tracks:") + std::to_string(TrackCount));

    std::string expectedSheet = "FILE \"" + full.string() + "\" BINARY\r\n";
    for (int track = 1; track <= TrackCount; ++track) {
        SCOPED_TRACE(track);
        const std::string& line = lines[size_t(track + 1)];
        const size_t at = line.find("(frame ");
        ASSERT_NE(at, std::string::npos) << line;
        const long frame = std::stol(line.substr(at + 7));
        if (track == 1) {
            EXPECT_EQ(frame, 0);
        } else {
            // The encoder's delay moves the audio by a frame; the pause is 76 frames long.
            EXPECT_NEAR(frame * FrameSeconds, PauseMiddle(track), 3 * FrameSeconds);
        }
        EXPECT_EQ(line, Label("Track " + TwoDigits(track) + ":") + CueTime(frame) + " (frame " +
                            std::to_string(frame) + ")");
        expectedSheet +=
            "  TRACK " + TwoDigits(track) + " AUDIO\r\n    INDEX 01 " + CueTime(frame) + "\r\n";
    }
    EXPECT_EQ(test::ReadFileText(cue), expectedSheet);
}

TEST_F(CueCommand, SplitByTheGeneratedCueSheetWritesEveryFrameOnce)
{
    const fs::path album = Album();
    const std::vector<long> starts = GenerateCueSheet(album);
    ASSERT_EQ(starts.size(), size_t(TrackCount));

    const CommandResult r = RunCli("split " + Q(album));
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const fs::path folder = m_dir / "album";
    std::string expected = Label("Cue sheet:") + (m_dir / "album.cue").string() + "\n" +
                           Label("Folder:") + folder.string() + "/\n";
    long total = 0;
    for (int track = 1; track <= TrackCount; ++track) {
        SCOPED_TRACE(track);
        const fs::path file = folder / (TwoDigits(track) + ".mp3");
        expected += Label("Written:") + file.string() + "\n";
        const long end = track < TrackCount ? FrameOfCueTime(starts[size_t(track)]) : s_frames;
        const long frames = test::FfprobePacketCount(file);
        EXPECT_EQ(frames, end - FrameOfCueTime(starts[size_t(track - 1)]));
        total += frames;
    }
    EXPECT_EQ(r.Out, expected);
    EXPECT_EQ(total, s_frames);
}

// A cue sheet written by hand: the album's performer and title name the folder beside the
// audio file (not in the current folder), each track's performer and title its file; gain and
// fades reach every track.
TEST_F(CueCommand, HandWrittenCueSheetNamesFolderAndFilesAndTracksTakeTheVolume)
{
    const fs::path album = Album();
    test::WriteFileText(m_dir / "album.cue", "PERFORMER \"Band\"\r\n"
                                             "TITLE \"Live\"\r\n"
                                             "FILE \"album.mp3\" MP3\r\n"
                                             "  TRACK 01 AUDIO\r\n"
                                             "    TITLE \"Opening\"\r\n"
                                             "    INDEX 01 00:00:00\r\n"
                                             "  TRACK 02 AUDIO\r\n"
                                             "    PERFORMER \"X\"\r\n"
                                             "    TITLE \"Y/Z?\"\r\n"
                                             "    INDEX 01 00:07:00\r\n");
    const fs::path work = m_dir / "work";
    fs::create_directory(work);
    const fs::path folder = m_dir / "Band - Live";
    const fs::path first = folder / "01 Opening.mp3";
    const fs::path second = folder / "02 X - Y-Z .mp3";

    const CommandResult plain = RunCli("split --gain 0 " + Q(album), work);
    ASSERT_EQ(plain.ExitCode, 0) << plain.Err;
    EXPECT_EQ(plain.Out, Label("Cue sheet:") + (m_dir / "album.cue").string() + "\n" +
                             Label("Folder:") + folder.string() + "/\n" + Label("Written:") +
                             first.string() + "\n" + Label("Written:") + second.string() + "\n");
    EXPECT_TRUE(fs::is_empty(work));
    // 7 s are 267.97 frames: the second track starts at frame 267.
    EXPECT_EQ(test::FfprobePacketCount(first), 267);
    EXPECT_EQ(test::FfprobePacketCount(second), s_frames - 267);
    const int tone = test::PeakSample(test::DecodeWithMpg123(first), 3.0, 5.5);
    ASSERT_GT(tone, 6000);

    // Four steps of 1.5 dB double the amplitude; the fade-in of 2.1 s holds the start down.
    const CommandResult louder = RunCli("split --gain 4 --fade-in 11 " + Q(album), work);
    ASSERT_EQ(louder.ExitCode, 0) << louder.Err;
    for (const fs::path& track : {first, second}) {
        SCOPED_TRACE(track.filename().string());
        const std::vector<int16_t> pcm = test::DecodeWithMpg123(track);
        const int late = test::PeakSample(pcm, 3.0, 5.5);
        EXPECT_NEAR(double(late) / tone, 2.0, 0.05);
        EXPECT_LT(test::PeakSample(pcm, 0.0, 0.5), late / 4);
    }
}

TEST_F(CueCommand, CueSheetEmbeddedInTheTagIsUsedAndRemovedAgain)
{
    const fs::path album = Album();
    const std::vector<long> starts = GenerateCueSheet(album);
    ASSERT_EQ(starts.size(), size_t(TrackCount));
    const fs::path cue = m_dir / "album.cue";
    const fs::path sheet = m_dir / "sheet.txt";
    fs::rename(cue, sheet);

    // python3 on PATH may be an interpreter without mutagen; the system's own one has it.
    const std::string script = "import sys\n"
                               "from mutagen.id3 import ID3, GEOB\n"
                               "tag = ID3()\n"
                               "tag.add(GEOB(encoding=3, mime='application/x-cue', "
                               "filename='album.cue', desc='CUE', "
                               "data=open(sys.argv[2], 'rb').read()))\n"
                               "tag.save(sys.argv[1])\n";
    const CommandResult tagged =
        test::RunCommand("/usr/bin/env -i PATH=/usr/bin:/bin python3 -c " + ShellQuote(script) +
                         " " + Q(album) + " " + Q(sheet));
    ASSERT_EQ(tagged.ExitCode, 0) << tagged.Err;

    const CommandResult r = RunCli("split " + Q(album));
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    const std::vector<std::string> lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), size_t(2 + TrackCount)) << r.Out;
    EXPECT_EQ(lines[0],
              Label("Cue sheet:") + cue.string() + " (embedded in the ID3v2 tag, removed again)");
    EXPECT_FALSE(fs::exists(cue));
    EXPECT_EQ(test::FfprobePacketCount(m_dir / "album" / "10.mp3"),
              s_frames - FrameOfCueTime(starts[TrackCount - 1]));
}

TEST_F(CueCommand, WithoutACueSheetSplitSaysSoAndWritesNothing)
{
    const fs::path album = Album();
    const CommandResult r = RunCli("split " + Q(album));
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "no cue sheet found\n");
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(CueCommand, RefusedCueSheetsEndTheSplitWithTheirMessage)
{
    const fs::path album = Album();
    const std::string head =
        "FILE \"album.mp3\" MP3\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n";
    struct Case
    {
        std::string Tracks;
        std::string Message;
    };
    const Case cases[] = {
        {"  TRACK 03 AUDIO\r\n    INDEX 01 00:07:00\r\n", "invalid CUE file."},
        {"  TRACK 02 AUDIO\r\n    INDEX 01 00:07:00\r\n  TRACK 03 AUDIO\r\n"
         "    INDEX 01 00:07:00\r\n",
         "invalid CUE file - bad index order."},
        {"  TRACK 02 AUDIO\r\n    INDEX 01 09:00:00\r\n", "invalid CUE file - index out of range."},
        {"  TRACK 02 AUDIO\r\n    PERFORMER \"A\"\r\n    INDEX 01 00:07:00\r\n"
         "    PERFORMER \"B\"\r\n    PERFORMER \"C\"\r\n",
         "CUE PERFORMER found after INDEX."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Message);
        test::WriteFileText(m_dir / "album.cue", head + c.Tracks);
        const CommandResult r = RunCli("split " + Q(album));
        EXPECT_EQ(r.ExitCode, 1);
        EXPECT_EQ(r.Err, c.Message + "\n");
        EXPECT_EQ(r.Out, "");
        EXPECT_FALSE(fs::exists(m_dir / "album"));
    }
}

TEST_F(CueCommand, RefusedCommandLinesAndLayersNameTheProblem)
{
    const fs::path album = Album();
    test::PcmShape shape;
    shape.Seconds = 1.0;
    test::WritePcmWav(m_dir / "tone.wav", shape);
    const fs::path mp2 = test::EncodeWithTwolame(m_dir / "tone.wav", m_dir / "tone.mp2", "");
    struct Case
    {
        std::string Arguments;
        std::string Message;
    };
    const Case cases[] = {
        {"split --gain 9 " + Q(album), "--gain takes a whole number from -8 to 8, not \"9\""},
        {"split --fade-out 33 " + Q(album),
         "--fade-out takes a whole number from 0 to 32, not \"33\""},
        {"split --gain 2 " + Q(mp2), "--gain changes the volume of MPEG Layer III files only"},
        {"split --fade-in 1 " + Q(mp2),
         "--fade-in changes the volume of MPEG Layer III files only"},
        {"cue --gain 2 " + Q(album), "unknown option \"--gain\" for cue"},
        {"cue", "cue needs FILE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments);
        const CommandResult r = RunCli(c.Arguments);
        EXPECT_EQ(r.ExitCode, 2);
        const std::string expected = "zefrin-cli: " + c.Message + "\n\nUsage: ";
        EXPECT_EQ(r.Err.substr(0, expected.size()), expected) << r.Err.substr(0, 300);
        EXPECT_EQ(r.Out, "");
    }
    EXPECT_FALSE(fs::exists(m_dir / "album.cue"));

    // The volume analysis that finds the pauses decodes Layer III only; no cue sheet is begun.
    const CommandResult layerII = RunCli("cue " + Q(mp2));
    EXPECT_EQ(layerII.ExitCode, 1);
    EXPECT_EQ(layerII.Err,
              "Unable to determine the volume (the file needs to be MPEG layer III)\n");
    EXPECT_FALSE(fs::exists(m_dir / "tone.cue"));
}

// The same cue sheet split by mp3splt. Its INDEX times are whole seconds, so that both read
// them alike: the last field is hundredths here and CD frames (1/75 s) to mp3splt. The track
// boundaries may differ by one frame: a start becomes the frame it falls in here, the next
// frame boundary at or after it there. mp3splt also puts an Info frame in front of every
// track, which carries no audio and which ffprobe does not count as a packet.
TEST_F(CueCommand, TrackBoundariesAgreeWithMp3spltWithinOneFrame)
{
    const fs::path album = Album();
    std::string sheet = "FILE \"album.mp3\" MP3\r\n";
    for (int track = 1; track <= TrackCount; ++track) {
        const long second = track == 1 ? 0 : std::lround(PauseMiddle(track));
        sheet += "  TRACK " + TwoDigits(track) + " AUDIO\r\n    INDEX 01 " +
                 TwoDigits(second / 60) + ":" + TwoDigits(second % 60) + ":00\r\n";
    }
    const fs::path cue = m_dir / "album.cue";
    test::WriteFileText(cue, sheet);

    const CommandResult ours = RunCli("split " + Q(album));
    ASSERT_EQ(ours.ExitCode, 0) << ours.Err;
    const fs::path theirFolder = m_dir / "mp3splt";
    const CommandResult theirs = test::RunCommand("mp3splt -q -f -o @n -c " + Q(cue) + " -d " +
                                                  Q(theirFolder) + " " + Q(album));
    ASSERT_EQ(theirs.ExitCode, 0) << theirs.Out << theirs.Err;

    long ourEnd = 0, theirEnd = 0;
    for (int track = 1; track <= TrackCount; ++track) {
        SCOPED_TRACE(track);
        const long our = test::FfprobePacketCount(m_dir / "album" / (TwoDigits(track) + ".mp3"));
        const long their = test::FfprobePacketCount(theirFolder / (TwoDigits(track) + ".mp3"));
        EXPECT_GT(our, 250);
        EXPECT_LE(std::abs(our - their), 1);
        ourEnd += our;
        theirEnd += their;
        EXPECT_LE(std::abs(ourEnd - theirEnd), 1);
    }
    EXPECT_EQ(ourEnd, s_frames);
    EXPECT_EQ(theirEnd, s_frames);
}

} // namespace
} // namespace zefrin
