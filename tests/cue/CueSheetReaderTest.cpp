// Reading cue sheets: the lines understood, the names the tracks get, and every way a sheet
// is refused.
#include "CueFixtures.h"
#include "core/Errors.h"
#include "cue/CueSheetGenerator.h"
#include "cue/CueSplitter.h"

#include <gtest/gtest.h>

namespace zefrin {
namespace {

// 250.500 s of MPEG-1 Layer III at 44.1 kHz.
constexpr int32_t FileFrames = 9589;

class CueSheetReaderTest : public ::testing::Test
{
  protected:
    CueSheetReaderTest()
    {
        EXPECT_TRUE(DecodeFrameHeader(m_model->Info.Reference, 0x6490FBFF));
        m_model->Info.FrameCount = FileFrames;
        m_state.FileOpen = true;
    }

    CueSheet Read(const std::string& text)
    {
        test::WriteFileText(m_cue, text);
        return ReadCueSheet(m_cue.string(), *m_model, m_settings, m_state);
    }

    std::string Refusal(const std::string& text)
    {
        try {
            Read(text);
        } catch (const Error& e) {
            return e.what();
        }
        return "accepted";
    }

    test::TempDir m_dir;
    std::filesystem::path m_cue = m_dir / "album.cue";
    std::unique_ptr<StreamModel> m_model = std::make_unique<StreamModel>();
    SettingsRecord m_settings = DefaultSettings();
    EditState m_state;
};

std::vector<std::string> Names(const CueSheet& sheet)
{
    std::vector<std::string> names;
    for (const CueTrack& track : sheet.Tracks)
        names.push_back(track.Name);
    return names;
}

std::vector<int32_t> Starts(const CueSheet& sheet)
{
    std::vector<int32_t> starts;
    for (const CueTrack& track : sheet.Tracks)
        starts.push_back(track.StartFrame);
    return starts;
}

TEST_F(CueSheetReaderTest, AlbumAndTrackLinesNameTheFiles)
{
    // clang-format off
    const CueSheet sheet = Read(test::CueText({
        "REM GENRE Test",
        "PERFORMER \"Album Artist\"",
        "TITLE \"Album Title\"",
        "FILE \"album.mp3\" MP3",
        "  TRACK 01 AUDIO",
        "    TITLE \"Opening\"",
        "    PERFORMER \"First\"",
        "    INDEX 00 00:00:00",
        "    INDEX 01 00:00:00",
        "  TRACK 02 AUDIO",
        "    PERFORMER Second",
        "    INDEX 01 00:10:00",
        "  TRACK 03 AUDIO",
        "    TITLE Unquoted",
        "    INDEX 01 01:00:00",
        "  TRACK 04 AUDIO",
        "    INDEX 01 02:00:00",
        "  TRACK 05 AUDIO",
        "    PERFORMER \"X\"",
        "    TITLE \"Y/Z?\"",
        "    INDEX 01 04:10:50",
    }));
    // clang-format on
    EXPECT_EQ(sheet.AlbumPerformer, "Album Artist");
    EXPECT_EQ(sheet.AlbumTitle, "Album Title");
    // A track without TITLE or PERFORMER lines gets neither from the track before it; a
    // performer without a title keeps the dash of the prefix.
    EXPECT_EQ(Names(sheet),
              (std::vector<std::string>{"01 First - Opening.mp3", "02 Second -.mp3",
                                        "03 Unquoted.mp3", "04.mp3", "05 X - Y-Z .mp3"}));
    // Hundredths of seconds, not CD frames; 04:10:50 is the frame count itself: a start
    // there is accepted and makes an empty last track.
    EXPECT_EQ(Starts(sheet), (std::vector<int32_t>{0, 382, 2296, 4593, FileFrames}));
}

TEST_F(CueSheetReaderTest, GeneratedSheetReadsBackWithNumbersOnly)
{
    // Starts are at least ten frames apart, as the generator leaves them.
    const std::vector<int32_t> starts{0, 10, 1000, 5000};
    const CueSheet sheet = Read(CueSheetText(m_model->Info.Reference, "/music/album.mp3", starts));
    EXPECT_TRUE(sheet.AlbumTitle.empty());
    EXPECT_TRUE(sheet.AlbumPerformer.empty());
    EXPECT_EQ(Names(sheet), (std::vector<std::string>{"01.mp3", "02.mp3", "03.mp3", "04.mp3"}));
    // Times are written truncated to hundredths, so a start may come back a frame early.
    const std::vector<int32_t> read = Starts(sheet);
    ASSERT_EQ(read.size(), starts.size());
    for (size_t i = 0; i < starts.size(); ++i) {
        EXPECT_LE(read[i], starts[i]);
        EXPECT_GE(read[i], starts[i] - 1);
    }
}

TEST_F(CueSheetReaderTest, LineEndsBlanksAndCaseOfKeywords)
{
    const CueSheet sheet = Read("\tPERFORMER \"A\"  \n"
                                "title \"ignored\"\r"
                                "FILE \"a.mp3\" MP3\n\n"
                                " \t TRACK 01 AUDIO \x01\r\n"
                                "Title \"ignored too\"\n"
                                "TITLE \"Song\"\n"
                                "INDEX 01 00:01:00");
    EXPECT_EQ(sheet.AlbumPerformer, "A");
    EXPECT_EQ(sheet.AlbumTitle, "");
    EXPECT_EQ(Names(sheet), std::vector<std::string>{"01 Song.mp3"});
    EXPECT_EQ(Starts(sheet), std::vector<int32_t>{38});
}

TEST_F(CueSheetReaderTest, HostileTitlesBecomePlainNames)
{
    const CueSheet sheet = Read(test::CueText({
        "FILE \"a.mp3\" MP3",
        "TRACK 01 AUDIO",
        "TITLE \"../../x\"",
        "INDEX 01 00:00:00",
        "TRACK 02 AUDIO",
        "PERFORMER \"/etc\"",
        "TITLE \"..\"",
        "INDEX 01 00:01:00",
        "TRACK 03 AUDIO",
        "TITLE \"a\"b*c\\d:e<f>g|h\"",
        "INDEX 01 00:02:00",
    }));
    EXPECT_EQ(Names(sheet), (std::vector<std::string>{"01 ..-..-x.mp3", "02 -etc - ...mp3",
                                                      "03 a''bxc-d e[f]g h.mp3"}));
}

TEST_F(CueSheetReaderTest, WavOutputNamesTheTracksWav)
{
    m_settings.CheckBoxSaveWAV = -1;
    EXPECT_EQ(Names(Read(test::CueText(
                  {"FILE \"a.mp3\" MP3", "TRACK 01 AUDIO", "TITLE \"S\"", "INDEX 01 00:00:00"}))),
              std::vector<std::string>{"01 S.wav"});
    m_state.WavChoiceOverride = true;
    m_state.WavChoice = false;
    EXPECT_EQ(Names(Read(test::CueText({"INDEX 01 00:00:00"}))),
              std::vector<std::string>{"01.mp3"});
}

TEST_F(CueSheetReaderTest, RefusalsName)
{
    // 100 tracks, one a second.
    std::vector<std::string> hundred{"FILE \"a.mp3\" MP3"};
    for (int t = 0; t < 100; ++t) {
        const std::string seconds = std::to_string(100 + t % 60).substr(1);
        hundred.push_back("INDEX 01 0" + std::to_string(t / 60) + ":" + seconds + ":00");
    }
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"TRACK 01 AUDIO", "INDEX 01 00:00:00", "TRACK 03 AUDIO"}, "invalid CUE file"},
        {{"TRACK 02 AUDIO"}, "invalid CUE file"},
        {{"TRACK 01 AUDIO", "TRACK 01 AUDIO", "INDEX 01 00:00:00", "TRACK 01 AUDIO"},
         "invalid CUE file"},
        {{"INDEX 01 00:00:00", "INDEX 01 04:10:50", "INDEX 01 04:10:50"},
         "invalid CUE file - bad index order"},
        {{"INDEX 01 00:00:10", "INDEX 01 00:00:00"}, "invalid CUE file - bad index order"},
        {{"INDEX 01 00:00:00", "INDEX 01 04:10:53"}, "invalid CUE file - index out of range"},
        {{"FILE \"a.mp3\" MP3", "TRACK 01 AUDIO", "INDEX 01 00:00:00", "PERFORMER \"A\"",
          "TRACK 02 AUDIO", "PERFORMER \"B\""},
         "CUE PERFORMER found after INDEX"},
        {hundred, "invalid CUE file - too many tracks"},
        {{"INDEX 01 0x:00:00"}, "'0x' is not a valid integer value"},
        {{"INDEX 01 00:-1:00"}, "'-1' is not a valid integer value"},
        {{"INDEX 01 00:00: 5"}, "' 5' is not a valid integer value"},
        {{"INDEX 01 00:00"}, "'' is not a valid integer value"},
        {{"INDEX 01 100:00:00"}, "':0' is not a valid integer value"},
    };
    for (const auto& [lines, refusal] : cases)
        EXPECT_EQ(Refusal(test::CueText(lines)), refusal) << test::CueText(lines);
}

TEST_F(CueSheetReaderTest, PerformersBeforeTheFileLineAreTheAlbums)
{
    const CueSheet sheet = Read(test::CueText(
        {"PERFORMER \"A\"", "PERFORMER \"B\"", "FILE \"a.mp3\" MP3", "INDEX 01 00:00:00"}));
    EXPECT_EQ(sheet.AlbumPerformer, "B");
    EXPECT_EQ(Names(sheet), std::vector<std::string>{"01.mp3"});
}

TEST_F(CueSheetReaderTest, MissingSheetIsAnError)
{
    try {
        ReadCueSheet((m_dir / "none.cue").string(), *m_model, m_settings, m_state);
        FAIL() << "accepted";
    } catch (const SystemError& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to open the file \"" +
                                             (m_dir / "none.cue").string() +
                                             "\" - No such file or directory");
    }
}

} // namespace
} // namespace zefrin
