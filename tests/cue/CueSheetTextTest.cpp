// The cue sheet text as it is written, the name it is written under, and the names the
// split makes safe.
#include "cue/CueSheetGenerator.h"
#include "cue/CueSplitter.h"

#include <gtest/gtest.h>

namespace zefrin {
namespace {

FrameHeader Mpeg1Layer3()
{
    FrameHeader header;
    EXPECT_TRUE(DecodeFrameHeader(header, 0x6490FBFF));
    return header;
}

TEST(CueSheetText, FileLineThenTwoLinesPerTrackInCrLf)
{
    // Frame 9589 starts at 250.486 s; frame 1 at 26.12 ms: hundredths, truncated.
    EXPECT_EQ(CueSheetText(Mpeg1Layer3(), "/music/My Album.mp3", {0, 1, 9589, 229687}),
              "FILE \"/music/My Album.mp3\" BINARY\r\n"
              "  TRACK 01 AUDIO\r\n"
              "    INDEX 01 00:00:00\r\n"
              "  TRACK 02 AUDIO\r\n"
              "    INDEX 01 00:00:02\r\n"
              "  TRACK 03 AUDIO\r\n"
              "    INDEX 01 04:10:48\r\n"
              "  TRACK 04 AUDIO\r\n"
              "    INDEX 01 99:59:98\r\n");
    EXPECT_EQ(CueSheetText(Mpeg1Layer3(), "/a.mp3", {}), "FILE \"/a.mp3\" BINARY\r\n");
}

TEST(CueSheetName, ExtensionReplacedOrAdded)
{
    EXPECT_EQ(CueSheetName("/music/album.mp3"), "/music/album.cue");
    EXPECT_EQ(CueSheetName("album.live.MP3"), "album.live.cue");
    EXPECT_EQ(CueSheetName("/music.d/album"), "/music.d/album.cue");
}

TEST(SanitizeFileName, ReplacesWhatNamesMayNotHoldButTheLastCharacter)
{
    EXPECT_EQ(SanitizeFileName("05 X - Y/Z? .mp3"), "05 X - Y-Z  .mp3");
    EXPECT_EQ(SanitizeFileName("01 a\"b*c/d\\e:f?g<h>i|j.mp3"), "01 a''bxc-d-e f g[h]i j.mp3");
    EXPECT_EQ(SanitizeFileName("01 ..-..-x.mp3"), "01 ..-..-x.mp3");
    EXPECT_EQ(SanitizeFileName("a?"), "a?");
    EXPECT_EQ(SanitizeFileName(std::string("a\0b.mp3", 7)), "a b.mp3");
    EXPECT_EQ(SanitizeFileName(""), "");
}

TEST(SanitizeFolderName, EveryCharacterReplacedAndDotNamesRefused)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Artist - Album", "Artist - Album"},
        {"../../x", "..-..-x"},
        {"/etc", "-etc"},
        {"..", ""},
        {".", ""},
        {"", ""},
        {"...", "..."},
        {"AC/DC: Live?", "AC-DC  Live "},
        {"a\\..", "a-.."},
        {std::string("..\0", 3), ".. "},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(SanitizeFolderName(name), expected) << name;
}

} // namespace
} // namespace zefrin
