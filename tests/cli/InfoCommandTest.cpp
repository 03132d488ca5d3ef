#include "cli/Cli.h"
#include "core/FrameHeader.h"
#include "platform/UserSettingsStore.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace zefrin {
namespace {

namespace fs = std::filesystem;
using test::Append;
using test::Bytes;
using test::CommandResult;
using test::ShellQuote;
using test::SynthFrameShape;

CommandResult RunInProcess(std::vector<std::string> args)
{
    args.insert(args.begin(), "zefrin-cli");
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    std::ostringstream out, err;
    CommandResult result;
    result.ExitCode = RunCli(int(argv.size()), argv.data(), out, err);
    result.Out = out.str();
    result.Err = err.str();
    return result;
}

CommandResult RunBinary(const std::string& arguments)
{
    return test::RunCommand(ShellQuote(ZEFRIN_CLI_PATH) + " " + arguments);
}

// The raw text of a member of the JSON the info command writes ("3", "\"CBR\"", "true"),
// found by its indentation: two spaces for top-level members, four inside "Display".
std::string MemberText(const std::string& json, const std::string& key, size_t indent)
{
    const std::string marker = "\n" + std::string(indent, ' ') + "\"" + key + "\": ";
    const size_t at = json.find(marker);
    if (at == std::string::npos)
        return "<missing " + key + ">";
    const size_t start = at + marker.size();
    size_t end = json.find('\n', start);
    if (json[end - 1] == ',')
        --end;
    return json.substr(start, end - start);
}

std::string TopLevel(const std::string& json, const std::string& key)
{
    return MemberText(json, key, 2);
}

std::string DisplayText(const std::string& json, const std::string& key)
{
    return MemberText(json, key, 4);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

Bytes TextBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Id3v1Record(const std::string& title, const std::string& artist, uint8_t genre)
{
    Bytes record(128, 0);
    std::memcpy(record.data(), "TAG", 3);
    std::memcpy(record.data() + 3, title.data(), std::min<size_t>(title.size(), 30));
    std::memcpy(record.data() + 33, artist.data(), std::min<size_t>(artist.size(), 30));
    std::memcpy(record.data() + 93, "1999", 4);
    record[127] = genre;
    return record;
}

// A version 2.3 tag with one ISO-8859-1 title frame.
Bytes Id3v2WithTitle(const std::string& title)
{
    Bytes frame = TextBytes("TIT2");
    const auto size = uint32_t(title.size() + 1);
    for (int shift : {24, 16, 8, 0})
        frame.push_back(uint8_t(size >> shift));
    frame.insert(frame.end(), {0, 0, 0});
    Append(frame, TextBytes(title));
    Bytes tag = TextBytes("ID3");
    tag.insert(tag.end(), {3, 0, 0});
    const auto tagSize = uint32_t(frame.size());
    for (int shift : {21, 14, 7, 0})
        tag.push_back(uint8_t((tagSize >> shift) & 0x7F));
    Append(tag, frame);
    return tag;
}

// Fixtures shared by the tests: lame output is made once.
class InfoCommand : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        s_dir = std::make_unique<test::TempDir>();
        test::PcmShape pcm;
        pcm.Seconds = 2.0;
        pcm.SilenceAfter = 0.5;
        test::WritePcmWav(*s_dir / "tone.wav", pcm);
        s_lameCbr = test::EncodeWithLame(*s_dir / "tone.wav", *s_dir / "cbr.mp3", "-b 128");
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    static std::unique_ptr<test::TempDir> s_dir;
    static fs::path s_lameCbr;
};

std::unique_ptr<test::TempDir> InfoCommand::s_dir;
fs::path InfoCommand::s_lameCbr;

TEST_F(InfoCommand, ExitCodesAndMessagesOfTheBinary)
{
    const fs::path missing = *s_dir / "missing.mp3";
    const fs::path text = *s_dir / "notes.txt";
    std::ofstream(text) << std::string(5000, 'x') << "\nnot audio at all\n";
    const fs::path empty = *s_dir / "empty.mp3";
    std::ofstream{empty};

    struct Case
    {
        std::string Arguments;
        int ExitCode;
        std::string ErrStart; // the whole text unless WholeErr is false
        bool WholeErr;
        std::string OutStart;
    };
    const Case cases[] = {
        {"info " + ShellQuote(missing.string()), 1,
         "Failed to open the file \"" + missing.string() + "\" - No such file or directory.\n",
         true, ""},
        {"info " + ShellQuote(text.string()), 1,
         "Failed to find a valid MPEG header - this is not an MP3 file!\n", true, ""},
        {"info " + ShellQuote(empty.string()), 1, "Failed to create file mapping", false, ""},
        {"", 2, "zefrin-cli: no command given\n\nUsage: zefrin-cli ", false, ""},
        {"info", 2, "zefrin-cli: info needs FILE\n\nUsage: ", false, ""},
        {"info --set NoSuchSetting=1 " + ShellQuote(s_lameCbr.string()), 2,
         "zefrin-cli: Unknown setting \"NoSuchSetting\"\n\nUsage: ", false, ""},
        {"info --max-frames 0 " + ShellQuote(s_lameCbr.string()), 2,
         "zefrin-cli: --max-frames takes a whole number from 16 to ", false, ""},
        {"--help", 0, "", true, "Usage: zefrin-cli COMMAND"},
        {"info " + ShellQuote(s_lameCbr.string()), 0, "", true, "Bitrate:  CBR+ 128Kbps\n"},
        {"info --json " + ShellQuote(s_lameCbr.string()) + " >/dev/full", 1,
         "Failed to write the output.\n", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Arguments);
        const CommandResult r = RunBinary(c.Arguments);
        EXPECT_EQ(r.ExitCode, c.ExitCode);
        if (c.WholeErr) {
            EXPECT_EQ(r.Err, c.ErrStart);
        } else {
            EXPECT_EQ(r.Err.substr(0, c.ErrStart.size()), c.ErrStart) << r.Err;
        }
        EXPECT_EQ(r.Out.substr(0, c.OutStart.size()), c.OutStart);
        if (c.ExitCode != 0) {
            EXPECT_EQ(r.Out, "");
        }
    }
}

TEST_F(InfoCommand, JsonOfALameFileParsesAndCountsTheFramesAsFfprobe)
{
    // lame writes an "Info" frame first; neither the scanner nor ffprobe counts it as audio.
    const long packets = test::FfprobePacketCount(s_lameCbr);
    ASSERT_GT(packets, 50);

    const std::string check =
        "import json, sys\n"
        "d = json.load(sys.stdin)\n"
        "keys = ['FileSize', 'Reference', 'FrameCount', 'MissingHeaderCount',\n"
        "  'MissingHeaderFrames', 'BadCrcCount', 'FirstFrameMissing', 'FirstFramesInvalid',\n"
        "  'LastFrameIncomplete', 'ConstantBits', 'IsVariableBitrate', 'BitrateUse',\n"
        "  'HasExtraInfo', 'HasXing', 'HasInfo', 'Mp3Pro', 'EndingAbrupt', 'Id3v1Size',\n"
        "  'ApeSize', 'ApeOffset', 'LyricsSize', 'LyricsOffset', 'RiffHeaderSize', 'Id3v2',\n"
        "  'Id3v1', 'DurationSeconds', 'Warnings', 'Display', 'Frames']\n"
        "sub = {'Reference': ['Raw', 'Version', 'Layer', 'Bitrate', 'SampleRate',\n"
        "  'ChannelMode', 'HasCrc', 'FrameLength'],\n"
        "  'Id3v2': ['TotalSize', 'MajorVersion', 'Title', 'Artist', 'Album', 'Comment',\n"
        "  'LengthText', 'GeobLength'],\n"
        "  'Display': ['EditType', 'EditBitrate', 'EditLength', 'EditID3', 'EditCRC',\n"
        "  'EditEnding', 'ListBoxInconsistent', 'ListBoxMissingFH',\n"
        "  'LabelNumberAverageBitrate', 'LabelMemoryUsage']}\n"
        "missing = [k for k in keys if k not in d]\n"
        "missing += [k + '.' + s for k in sub for s in sub[k] if s not in d.get(k, {})]\n"
        "frames = d['Frames']\n"
        "joined = all(a['Offset'] + a['Length'] == b['Offset'] for a, b in zip(frames, "
        "frames[1:]))\n"
        "print(d['FrameCount'], len(frames), d['HasInfo'], d['IsVariableBitrate'],\n"
        "  d['Reference']['Bitrate'], d['Display']['EditBitrate'], d['Id3v1'],\n"
        "  joined, frames[0]['Offset'] == d['Reference']['FrameLength'] or\n"
        "  frames[0]['Offset'] == d['Reference']['FrameLength'] - 1, missing)\n";
    const CommandResult r = RunBinary("info --json --frames " + ShellQuote(s_lameCbr.string()) +
                                      " | python3 -c " + ShellQuote(check));
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, std::to_string(packets) + " " + std::to_string(packets) +
                         " True False 128 CBR+ 128Kbps None True True []\n");
}

TEST_F(InfoCommand, TextShowsTheSixFieldsThenThePages)
{
    const CommandResult r = RunInProcess({"info", s_lameCbr.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const std::vector<std::string> lines = Lines(r.Out);
    ASSERT_GT(lines.size(), 10u);
    const std::vector<std::string> head(lines.begin(), lines.begin() + 6);
    const std::vector<std::string> expected = {
        "Bitrate:  CBR+ 128Kbps",
        "Ending:   natural", // the tone ends in half a second of digital silence
        "Type:     MPEG 1 layer III 44100Hz - joint-stereo",
        "Length:   0:02",
        "ID3:      no",
        "CRC:      no",
    };
    EXPECT_EQ(head, expected);
    // The pages in the window's order.
    size_t at = 0;
    for (const char* page :
         {"\nFrames\n", "\nErrors\n", "\nID3v1\n", "\nID3v2\n", "\nMissing FHs\n"}) {
        const size_t found = r.Out.find(page, at);
        ASSERT_NE(found, std::string::npos) << page;
        at = found + 1;
    }
    EXPECT_NE(r.Out.find("  Inconsistent header fields:\n    - none -\n"), std::string::npos);
    EXPECT_NE(r.Out.find("\nID3v1\n  Title:    - no tag found -\n  Artist:\n"), std::string::npos);
    EXPECT_NE(r.Out.find("  Last frame incomplete:    no\n"), std::string::npos);

    // --frames adds one line per frame at the end.
    const CommandResult listed = RunInProcess({"info", "--frames", s_lameCbr.string()});
    ASSERT_EQ(listed.ExitCode, 0) << listed.Err;
    const size_t table = listed.Out.find("\nFrame list\n");
    ASSERT_NE(table, std::string::npos);
    EXPECT_EQ(listed.Out.substr(0, table), r.Out);
    const std::vector<std::string> rows = Lines(listed.Out.substr(table + 12));
    const long packets = test::FfprobePacketCount(s_lameCbr);
    ASSERT_EQ(long(rows.size()), 1 + packets); // the column titles, then the frames
    EXPECT_EQ(rows[1].substr(0, 8), "      0 ");
}

// The window's table of 16384 records holds at most 16381 frames; by default the tool's
// table fits the file.
TEST_F(InfoCommand, MaxFramesReproducesTheWindowsLimit)
{
    SynthFrameShape shape; // MPEG-1 Layer III, 128 kbit/s
    const Bytes frame = test::SynthFrame(shape);
    for (int frames : {16381, 16382}) {
        SCOPED_TRACE(frames);
        Bytes data;
        data.reserve(frame.size() * size_t(frames));
        for (int i = 0; i < frames; ++i)
            Append(data, frame);
        const fs::path file = *s_dir / ("frames" + std::to_string(frames) + ".mp3");
        test::WriteFileBytes(file, data);

        const CommandResult limited =
            RunInProcess({"info", "--json", "--max-frames", "16384", file.string()});
        if (frames == 16381) {
            EXPECT_EQ(limited.ExitCode, 0) << limited.Err;
            EXPECT_EQ(TopLevel(limited.Out, "FrameCount"), "16381");
            EXPECT_EQ(DisplayText(limited.Out, "LabelMemoryUsage"), "\"100%\"");
        } else {
            EXPECT_EQ(limited.ExitCode, 1);
            EXPECT_EQ(limited.Err, "File too big (100%)\n\nCheck Zefrin FAQ for more info.\n");
            EXPECT_EQ(limited.Out, "");
        }
        const CommandResult sized = RunInProcess({"info", "--json", file.string()});
        EXPECT_EQ(sized.ExitCode, 0) << sized.Err;
        EXPECT_EQ(TopLevel(sized.Out, "FrameCount"), std::to_string(frames));
    }
}

TEST_F(InfoCommand, AnHourLongFileOpens)
{
    SynthFrameShape shape;
    shape.BitrateIndex = 1;    // 32 kbit/s: 104-byte frames keep the file small
    const int frames = 140000; // 60 min 57 s at 26.122 ms a frame
    const Bytes frame = test::SynthFrame(shape);
    Bytes data;
    data.reserve(frame.size() * size_t(frames));
    for (int i = 0; i < frames; ++i)
        Append(data, frame);
    const fs::path file = *s_dir / "hour.mp3";
    test::WriteFileBytes(file, data);

    const CommandResult r = RunInProcess({"info", "--json", file.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(TopLevel(r.Out, "FrameCount"), std::to_string(frames));
    EXPECT_EQ(DisplayText(r.Out, "EditLength"), "\"1h00\"");
    EXPECT_EQ(TopLevel(r.Out, "DurationSeconds"), "3657");

    const CommandResult limited = RunInProcess({"info", "--max-frames=16384", file.string()});
    EXPECT_EQ(limited.ExitCode, 1);
    // 140000 x 100 / 16383, rounded up.
    EXPECT_EQ(limited.Err, "File too big (855%)\n\nCheck Zefrin FAQ for more info.\n");
}

// 1000 frames at 128 kbit/s with 5 at 160 kbit/s among them, no "Xing" frame.
fs::path WriteNearlyCbrFile(const fs::path& file)
{
    SynthFrameShape common;
    SynthFrameShape odd;
    odd.BitrateIndex = 10;
    const Bytes usual = test::SynthFrame(common), other = test::SynthFrame(odd);
    Bytes data;
    for (int i = 0; i < 1000; ++i)
        Append(data, i % 200 == 100 ? other : usual);
    test::WriteFileBytes(file, data);
    return file;
}

TEST_F(InfoCommand, SettingsSourcesChangeTheAnalysis)
{
    const fs::path file = WriteNearlyCbrFile(*s_dir / "nearly-cbr.mp3");
    const fs::path ini = *s_dir / "Zefrin.ini";
    std::ofstream(ini) << "; exported settings\n[Zefrin]\nCheckBoxSmartCBR=0\n";

    struct Case
    {
        std::vector<std::string> Options;
        const char* Bitrate;
        const char* MissingHeaders;
    };
    const Case cases[] = {
        // The rescan at the dominant bitrate turns the odd frames into missing headers.
        {{}, "\"CBR 128Kbps\"", "5"},
        {{"--set", "CheckBoxSmartCBR=0"}, "\"VBR (127.9 Kbps average)\"", "0"},
        {{"--set", "checkboxsmartcbr=0"}, "\"VBR (127.9 Kbps average)\"", "0"},
        {{"--settings", ini.string()}, "\"VBR (127.9 Kbps average)\"", "0"},
        {{"--settings", ini.string(), "--set", "CheckBoxSmartCBR=-1"}, "\"CBR 128Kbps\"", "5"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"info", "--json"};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        args.push_back(file.string());
        SCOPED_TRACE(::testing::PrintToString(c.Options));
        const CommandResult r = RunInProcess(args);
        ASSERT_EQ(r.ExitCode, 0) << r.Err;
        EXPECT_EQ(DisplayText(r.Out, "EditBitrate"), c.Bitrate);
        EXPECT_EQ(TopLevel(r.Out, "MissingHeaderCount"), c.MissingHeaders);
    }
}

TEST_F(InfoCommand, JsonListsTheFirstTenMissingHeaderPlaces)
{
    // 12 frames at 160 kbit/s among 2000 at 128: few enough for the rescan at 128 kbit/s.
    SynthFrameShape odd;
    odd.BitrateIndex = 10;
    const Bytes usual = test::SynthFrame(SynthFrameShape{}), other = test::SynthFrame(odd);
    Bytes data;
    for (int i = 0; i < 2000; ++i)
        Append(data, i % 160 == 80 ? other : usual);
    const fs::path file = *s_dir / "twelve-gaps.mp3";
    test::WriteFileBytes(file, data);

    const CommandResult r = RunInProcess({"info", "--json", file.string()});
    ASSERT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(TopLevel(r.Out, "MissingHeaderCount"), "12");
    // Each gap is recorded at the count of frames before it: 80, then 159 frames further on.
    std::string places;
    for (int k = 0; k < 10; ++k)
        places += std::string(k ? ",\n" : "\n") + "    " + std::to_string(80 + 159 * k);
    EXPECT_NE(r.Out.find("\"MissingHeaderFrames\": [" + places + "\n  ],"), std::string::npos)
        << r.Out.substr(0, 1500);
    // The window's list: ten places and "..." on lines of their own, then the closing line.
    const size_t list = r.Out.find("\"ListBoxMissingFH\": [");
    ASSERT_NE(list, std::string::npos);
    const std::string listed = r.Out.substr(list, r.Out.find(']', list) - list);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 11 + 1);
    EXPECT_NE(listed.find("\"...\""), std::string::npos);
}

TEST_F(InfoCommand, UserSettingsAreReadOnlyWhenAskedFor)
{
    // The only test of this program that makes a per-user store, so it may redirect it.
    SetUserSettingsFolderForTests(s_dir->Path() / "config");
    {
        UserSettingsStore store;
        store.WriteInteger("Zefrin", "CheckBoxSmartCBR", 0);
        store.Flush();
    }
    const fs::path file = WriteNearlyCbrFile(*s_dir / "nearly-cbr-user.mp3");
    const CommandResult defaults = RunInProcess({"info", "--json", file.string()});
    const CommandResult user = RunInProcess({"info", "--json", "--user-settings", file.string()});
    ASSERT_EQ(defaults.ExitCode, 0) << defaults.Err;
    ASSERT_EQ(user.ExitCode, 0) << user.Err;
    EXPECT_EQ(DisplayText(defaults.Out, "EditBitrate"), "\"CBR 128Kbps\"");
    EXPECT_EQ(DisplayText(user.Out, "EditBitrate"), "\"VBR (127.9 Kbps average)\"");
}

// Tag texts are bytes from the file: ISO-8859-1, and possibly control characters.
TEST_F(InfoCommand, TagTextsReachTerminalAndJsonSafely)
{
    Bytes data = Id3v2WithTitle("Caf\xE9 \x1b[31mred");
    Append(data, test::ReadFileBytes(s_lameCbr));
    Append(data, Id3v1Record("Bad\x1b]0;pwned\x07Title \"q\"", "Sigur R\xF3s", 17));
    const fs::path file = *s_dir / "tagged.mp3";
    test::WriteFileBytes(file, data);

    const CommandResult text = RunInProcess({"info", file.string()});
    ASSERT_EQ(text.ExitCode, 0) << text.Err;
    EXPECT_EQ(text.Out.find('\x1b'), std::string::npos);
    EXPECT_EQ(text.Out.find('\x07'), std::string::npos);
    EXPECT_NE(text.Out.find("ID3:      1&2\n"), std::string::npos);
    EXPECT_NE(text.Out.find("\nID3v2\n  Title:    Caf\xC3\xA9 ?[31mred\n"), std::string::npos);
    EXPECT_NE(text.Out.find("\nID3v1\n  Title:    Bad?]0;pwned?Title \"q\"\n"
                            "  Artist:   Sigur R\xC3\xB3s\n"),
              std::string::npos);
    EXPECT_NE(text.Out.find("  Genre:    Rock\n"), std::string::npos);

    const std::string check = "import json, sys\n"
                              "d = json.load(sys.stdin)\n"
                              "print(repr(d['Id3v2']['Title']), repr(d['Id3v1']['Title']),\n"
                              "  d['Id3v1']['Artist'] == 'Sigur R\\u00f3s',\n"
                              "  d['Id3v1']['GenreName'], d['Display']['EditID3'])\n";
    const CommandResult json = RunBinary("info --json " + ShellQuote(file.string()) +
                                         " | python3 -c " + ShellQuote(check));
    ASSERT_EQ(json.ExitCode, 0) << json.Err;
    EXPECT_EQ(json.Out, "'Café \\x1b[31mred' 'Bad\\x1b]0;pwned\\x07Title \"q\"' True Rock 1&2\n");
}

// Garbage in front of the audio that holds a few frames of another stream: the analysis
// retries further in and the window would warn about the damage.
TEST_F(InfoCommand, DamageWarningGoesToStderrOrIntoTheJson)
{
    SynthFrameShape foreign;
    foreign.Layer = 2;        // Layer II: a later Layer III frame cannot continue its stream
    foreign.BitrateIndex = 9; // 160 kbit/s: 522-byte frames
    Bytes data = test::SynthStream(foreign, 4);
    Append(data, test::ReadFileBytes(s_lameCbr));
    const fs::path file = *s_dir / "damaged.mp3";
    test::WriteFileBytes(file, data);

    const std::string warning =
        "warning: This file seems heavily damaged, at least at the beginning.\n\n"
        "Zefrin will automatically skip part of the beginning when editing and permanently "
        "delete that part if the file is saved.\n";
    const CommandResult text = RunInProcess({"info", file.string()});
    EXPECT_EQ(text.ExitCode, 0);
    EXPECT_EQ(text.Err, warning);
    EXPECT_NE(text.Out.find("  First frames invalid:     yes\n"), std::string::npos);

    const CommandResult json = RunInProcess({"info", "--json", file.string()});
    EXPECT_EQ(json.ExitCode, 0);
    EXPECT_EQ(json.Err, "");
    EXPECT_NE(json.Out.find("\"Warnings\": [\n    \"This file seems heavily damaged, at least at "
                            "the beginning.\\u000a\\u000aZefrin will"),
              std::string::npos)
        << json.Out.substr(0, 2000);
}

} // namespace
} // namespace zefrin
