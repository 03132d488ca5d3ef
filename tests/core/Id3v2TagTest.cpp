#include "core/Id3v2Tag.h"

#include "core/TrailingTags.h"
#include "support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace zefrin {
namespace {

using test::Bytes;

Bytes Text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

Bytes operator+(Bytes a, const Bytes& b)
{
    test::Append(a, b);
    return a;
}

// One frame: version 2 uses 3-letter identifiers and 24-bit sizes, version 3 plain 32-bit
// sizes, version 4 synchsafe sizes.
Bytes Frame(int version, const std::string& id, const Bytes& body)
{
    const uint32_t n = uint32_t(body.size());
    Bytes f = Text(id);
    if (version == 2) {
        f.insert(f.end(), {uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
    } else if (version == 3) {
        f.insert(f.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
        f.insert(f.end(), {0, 0});
    } else {
        f.insert(f.end(), {uint8_t((n >> 21) & 0x7F), uint8_t((n >> 14) & 0x7F),
                           uint8_t((n >> 7) & 0x7F), uint8_t(n & 0x7F), 0, 0});
    }
    test::Append(f, body);
    return f;
}

// A text frame body in ISO-8859-1 (encoding 0).
Bytes Latin1(const std::string& text)
{
    Bytes b{0};
    test::Append(b, Text(text));
    return b;
}

// A tag holding `frames` and `padding` zero bytes; the header's size counts both.
Bytes Tag(int version, const Bytes& frames, size_t padding = 0, uint8_t flags = 0)
{
    const uint32_t n = uint32_t(frames.size() + padding);
    Bytes t = Text("ID3");
    t.insert(t.end(), {uint8_t(version), 0, flags, uint8_t((n >> 21) & 0x7F),
                       uint8_t((n >> 14) & 0x7F), uint8_t((n >> 7) & 0x7F), uint8_t(n & 0x7F)});
    test::Append(t, frames);
    t.resize(t.size() + padding, 0);
    return t;
}

// Audio after the tag, so that the data is longer than the tag as in a file.
TID3v2 Read(Bytes data)
{
    data.insert(data.end(), 64, 0xFF);
    TID3v2 tag;
    tag.ReadId3v2(data.data(), uint32_t(data.size()));
    return tag;
}

TEST(ReadId3v2, HeaderDecidesWhetherThereIsATag)
{
    Bytes v3 = Tag(3, {}, 257);
    ASSERT_EQ(v3[8], 2);
    ASSERT_EQ(v3[9], 1);
    const TID3v2 tag = Read(v3);
    EXPECT_EQ(tag.TotalSize, 267);
    EXPECT_EQ(tag.MajorVersion, 3);

    struct Case
    {
        const char* name;
        size_t offset;
        uint8_t value;
    };
    const Case cases[] = {
        {"size byte with top bit", 7, 0x80}, {"version 5", 3, 5},        {"version 1", 3, 1},
        {"version 0xFF", 3, 0xFF},           {"revision 0xFF", 4, 0xFF}, {"not ID3", 2, 'D'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes b = Tag(3, Frame(3, "TIT2", Latin1("Hidden")), 20);
        b[c.offset] = c.value;
        const TID3v2 t = Read(b);
        EXPECT_EQ(t.TotalSize, 0);
        EXPECT_EQ(t.MajorVersion, 0);
        EXPECT_EQ(t.Title, "");
    }

    // A declared size past the data, and data too short for a header.
    Bytes big = Tag(3, Frame(3, "TIT2", Latin1("Hidden")), 20);
    TID3v2 t;
    t.ReadId3v2(big.data(), uint32_t(big.size() - 1));
    EXPECT_EQ(t.TotalSize, 0);
    EXPECT_EQ(t.Title, "");
    t.ReadId3v2(big.data(), uint32_t(big.size()));
    EXPECT_EQ(t.TotalSize, int32_t(big.size()));
    t.ReadId3v2(big.data(), 5);
    EXPECT_EQ(t.TotalSize, 0);
}

TEST(ReadId3v2, ReadingAgainResetsEverything)
{
    Bytes full = Tag(3, Frame(3, "TIT2", Latin1("Old")) + Frame(3, "TLEN", Latin1("1234")));
    TID3v2 tag = Read(full);
    ASSERT_EQ(tag.Title, "Old");
    ASSERT_EQ(tag.LengthDigits, 4);
    const Bytes none = Text("no tag here at all");
    tag.ReadId3v2(none.data(), uint32_t(none.size()));
    EXPECT_EQ(tag.TotalSize, 0);
    EXPECT_EQ(tag.Title, "");
    EXPECT_EQ(tag.LengthText, "");
    EXPECT_EQ(tag.LengthDigits, 0);
}

class ReadId3v2Versions : public ::testing::TestWithParam<int>
{
  protected:
    Bytes F(const char* id4, const char* id3, const Bytes& body) const
    {
        return Frame(GetParam(), GetParam() == 2 ? id3 : id4, body);
    }
};

TEST_P(ReadId3v2Versions, ReadsTheTextFramesOfTheTable)
{
    const int v = GetParam();
    Bytes frames;
    test::Append(frames, F("TIT1", "TT1", Latin1("Group")));
    test::Append(frames, F("TIT2", "TT2", Latin1(" Word "))); // a later frame replaces
    test::Append(frames, F("TOPE", "TOA", Latin1("Artist\r\n")));
    test::Append(frames, F("TALB", "TAL", Latin1("Album")));
    test::Append(frames, F("TOAL", "TOT", Latin1("Original album")));
    test::Append(frames, F("COMM", "COM", Latin1(std::string("eng\0Said", 8))));
    test::Append(frames, F("TCOM", "TCM", Latin1("Composer")));
    test::Append(frames, F("TENC", "TEN", Latin1("Encoder")));
    test::Append(frames, F("TCOP", "TCR", Latin1("2024 Rights")));
    test::Append(frames, F("TLAN", "TLA", Latin1(std::string("eng\0\0", 5))));
    test::Append(frames, F("WXXX", "WXX", Latin1(std::string("Home\0http://x.example", 21))));
    test::Append(frames, F("TLEN", "TLE", Latin1("26122")));
    test::Append(frames, F("TPE2", "TP2", Latin1("Not read")));
    const Bytes data = Tag(v, frames, 30);
    const TID3v2 tag = Read(data);

    EXPECT_EQ(tag.TotalSize, int32_t(data.size()));
    EXPECT_EQ(tag.MajorVersion, v);
    EXPECT_EQ(tag.Title, "Word");
    EXPECT_EQ(tag.Artist, "Artist");
    EXPECT_EQ(tag.Album, "Original album");
    EXPECT_EQ(tag.Comment, "eng Said");
    EXPECT_EQ(tag.Composer, "Composer");
    EXPECT_EQ(tag.EncodedBy, "Encoder");
    EXPECT_EQ(tag.RightsNotice, "2024 Rights");
    EXPECT_EQ(tag.Language, "eng");
    EXPECT_EQ(tag.Url, "Home http://x.example");
    EXPECT_EQ(tag.LengthText, "26122");
    ASSERT_EQ(tag.LengthDigits, 5);
    EXPECT_EQ(std::string(data.begin() + tag.LengthOffset,
                          data.begin() + tag.LengthOffset + tag.LengthDigits),
              "26122");
}

TEST_P(ReadId3v2Versions, OtherEncodingsAndEmptyFramesLeaveTheTextAlone)
{
    Bytes utf16 = {1, 0xFF, 0xFE, 'X', 0, 0, 0};
    Bytes frames;
    test::Append(frames, F("TALB", "TAL", Latin1("Kept")));
    test::Append(frames, F("TALB", "TAL", utf16));
    test::Append(frames, F("TIT2", "TT2", utf16));
    test::Append(frames, F("TCOM", "TCM", Latin1("After")));
    // Frames without even an encoding byte have no text; the padding behind them is no text.
    test::Append(frames, F("TLEN", "TLE", {}));
    test::Append(frames, F("TPE1", "TP1", {}));
    const TID3v2 tag = Read(Tag(GetParam(), frames, 8));
    EXPECT_EQ(tag.Album, "Kept");
    EXPECT_EQ(tag.Title, "");
    EXPECT_EQ(tag.Artist, "");
    EXPECT_EQ(tag.Composer, "After");
    EXPECT_EQ(tag.LengthDigits, 0);
}

TEST_P(ReadId3v2Versions, FrameSizePastTheTagEndsTheWalk)
{
    Bytes frames = F("TIT2", "TT2", Latin1("First"));
    const size_t lastFrame = frames.size();
    test::Append(frames, F("TALB", "TAL", Latin1("Too long")));
    // The album frame claims one byte more than the tag has left; the TCOM text behind the
    // tag's end must not be read.
    const size_t sizeByte = GetParam() == 2 ? lastFrame + 5 : lastFrame + 7;
    frames[sizeByte] += 1;
    Bytes data = Tag(GetParam(), frames);
    test::Append(data, F("TCOM", "TCM", Latin1("Outside")));
    const TID3v2 tag = Read(data);
    EXPECT_GT(tag.TotalSize, 0);
    EXPECT_EQ(tag.Title, "First");
    EXPECT_EQ(tag.Album, "");
    EXPECT_EQ(tag.Composer, "");
}

TEST_P(ReadId3v2Versions, ZeroBytesAfterTheLastFrameEndTheWalk)
{
    // Padding, then what looks like a frame: the walk stops at the first zero byte.
    Bytes frames = F("TIT2", "TT2", Latin1("Title"));
    frames.resize(frames.size() + 4, 0);
    test::Append(frames, F("TALB", "TAL", Latin1("Behind padding")));
    const TID3v2 tag = Read(Tag(GetParam(), frames));
    EXPECT_EQ(tag.Title, "Title");
    EXPECT_EQ(tag.Album, "");
}

TEST_P(ReadId3v2Versions, LongFrameBeforeTheLengthFrame)
{
    // 200 bytes: a version 4 size read as a plain number would be 328 and stop the walk.
    Bytes comment = Latin1("eng");
    comment.push_back(0);
    comment.resize(200, 'c');
    Bytes frames = F("COMM", "COM", comment);
    test::Append(frames, F("TLEN", "TLE", Latin1("180000")));
    const Bytes data = Tag(GetParam(), frames, 10);
    const TID3v2 tag = Read(data);
    EXPECT_EQ(tag.Comment.size(), 199u);
    EXPECT_EQ(tag.LengthText, "180000");
    EXPECT_EQ(tag.LengthDigits, 6);
    EXPECT_EQ(tag.LengthOffset, int32_t(data.size() - 10 - 6));
}

INSTANTIATE_TEST_SUITE_P(Versions, ReadId3v2Versions, ::testing::Values(2, 3, 4),
                         [](const auto& info) { return "v2_" + std::to_string(info.param); });

TEST(ReadId3v2, Version4FrameSizeWithTopBitsIsAPlainNumber)
{
    // Some writers put plain sizes into version 4 tags: 0x80 cannot be a synchsafe byte.
    Bytes comment = Latin1("eng");
    comment.resize(128, 'c');
    Bytes frames = Frame(3, "COMM", comment); // plain 32-bit size 00 00 00 80
    test::Append(frames, Frame(4, "TIT2", Latin1("After")));
    const TID3v2 tag = Read(Tag(4, frames));
    EXPECT_EQ(tag.Title, "After");
}

TEST(ReadId3v2, FooterAndExtendedHeader)
{
    // A version 4 footer belongs to the tag: the audio starts behind it.
    Bytes v4 = Tag(4, Frame(4, "TIT2", Latin1("Four")), 0, 0x10);
    const size_t withoutFooter = v4.size();
    test::Append(v4, Text("3DI"));
    v4.insert(v4.end(), v4.begin() + 3, v4.begin() + 10);
    TID3v2 tag = Read(v4);
    EXPECT_EQ(tag.TotalSize, int32_t(withoutFooter + 10));
    EXPECT_EQ(tag.Title, "Four");
    // The footer past the data: no tag.
    tag.ReadId3v2(v4.data(), uint32_t(withoutFooter + 9));
    EXPECT_EQ(tag.TotalSize, 0);

    // Extended headers: version 3 counts its size without the 4 size bytes, version 4 with.
    const Bytes ext3 = {0, 0, 0, 6, 0, 0, 0, 0, 0, 0};
    const Bytes ext4 = {0, 0, 0, 6, 1, 0};
    for (int v : {3, 4}) {
        SCOPED_TRACE(v);
        Bytes frames = v == 3 ? ext3 : ext4;
        test::Append(frames, Frame(v, "TIT2", Latin1("Extended")));
        const Bytes data = Tag(v, frames, 0, 0x40);
        tag = Read(data);
        EXPECT_EQ(tag.TotalSize, int32_t(data.size()));
        EXPECT_EQ(tag.Title, "Extended");
    }
}

TEST(ReadId3v2, LengthDigitsAreRewrittenInACopy)
{
    const Bytes data =
        Tag(3, Frame(3, "TIT2", Latin1("T")) + Frame(3, "TLEN", Latin1("0000261220")));
    const TID3v2 tag = Read(data);
    ASSERT_EQ(tag.LengthDigits, 10);

    struct Case
    {
        uint32_t ms;
        const char* digits;
    };
    const Case cases[] = {{1000, "0000001000"}, {0, "0000000000"}, {4294967295u, "4294967295"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ms);
        Bytes copy = data;
        tag.WriteLengthDigits(copy.data(), c.ms);
        EXPECT_EQ(tag.LengthDigitsText(c.ms), c.digits);
        Bytes expected = data;
        std::memcpy(expected.data() + tag.LengthOffset, c.digits, 10);
        EXPECT_EQ(copy, expected);
    }

    // A short field keeps the lowest digits.
    const TID3v2 shortTag = Read(Tag(3, Frame(3, "TLEN", Latin1("999"))));
    EXPECT_EQ(shortTag.LengthDigitsText(123456), "456");

    // Without a TLEN frame nothing is written.
    const TID3v2 noLength = Read(Tag(3, Frame(3, "TIT2", Latin1("T"))));
    Bytes copy = data;
    noLength.WriteLengthDigits(copy.data(), 1000);
    EXPECT_EQ(copy, data);
    EXPECT_EQ(noLength.LengthDigitsText(1000), "");
}

TEST(ReadId3v2, Utf16LengthFrameIsNotRewritten)
{
    // ASCII digits over a UTF-16 text would break the frame; UTF-8 takes them.
    const TID3v2 utf16 = Read(Tag(3, Frame(3, "TLEN", {1, 0xFF, 0xFE, '1', 0, '0', 0})));
    EXPECT_EQ(utf16.LengthDigits, 0);
    const TID3v2 utf8 = Read(Tag(4, Frame(4, "TLEN", {3, '4', '2'})));
    EXPECT_EQ(utf8.LengthDigits, 2);
    EXPECT_EQ(utf8.LengthText, ""); // only ISO-8859-1 texts are shown
}

Bytes Geob(uint8_t encoding, const std::string& object)
{
    Bytes b{encoding};
    test::Append(b, Text(std::string("text/plain\0cue.cue\0Cue sheet\0", 29)));
    test::Append(b, Text(object));
    return b;
}

TEST(ReadId3v2, GeobTextObject)
{
    const std::string cue = "FILE \"a.mp3\" MP3\r\n  TRACK 01 AUDIO\n\tINDEX 01 00:00:00\r\n";
    struct Case
    {
        const char* name;
        uint8_t encoding;
        std::string object;
        bool accepted;
    };
    const Case cases[] = {
        {"a tab is a control character", 3, cue, false},
        {"UTF-8 text with line ends", 3, "FILE \"a.mp3\" MP3\r\nTRACK 01 AUDIO\n", true},
        {"encoding 0 is a fourth zero byte", 0, "FILE \"a.mp3\" MP3\r\n", false},
        {"zero byte inside the object", 3, std::string("AB\0CD", 5), false},
        {"empty object", 3, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes frames = Frame(3, "TIT2", Latin1("Album"));
        const size_t geobStart = 10 + frames.size();
        test::Append(frames, Frame(3, "GEOB", Geob(c.encoding, c.object)));
        const Bytes data = Tag(3, frames, 5);
        const TID3v2 tag = Read(data);
        if (c.accepted) {
            EXPECT_EQ(tag.GeobOffset, int32_t(geobStart + 10 + 30));
            ASSERT_EQ(tag.GeobLength, int32_t(c.object.size()));
            EXPECT_EQ(std::string(data.begin() + tag.GeobOffset,
                                  data.begin() + tag.GeobOffset + tag.GeobLength),
                      c.object);
        } else {
            EXPECT_EQ(tag.GeobLength, 0);
        }
    }

    // A later accepted object replaces an earlier one; a rejected one does not; version 2
    // has no such objects.
    Bytes frames = Frame(3, "GEOB", Geob(3, "first"));
    const size_t second = 10 + frames.size();
    test::Append(frames, Frame(3, "GEOB", Geob(3, "second")));
    test::Append(frames, Frame(3, "GEOB", Geob(0, "third")));
    const TID3v2 tag = Read(Tag(3, frames));
    EXPECT_EQ(tag.GeobOffset, int32_t(second + 40));
    EXPECT_EQ(tag.GeobLength, 6);
    const TID3v2 v2 = Read(Tag(2, Frame(2, "GEO", Geob(3, "text"))));
    EXPECT_EQ(v2.GeobLength, 0);
}

TEST(ReadId3v2, ReadsTheTagThatLameWrites)
{
    test::TempDir dir;
    test::WritePcmWav(dir / "in.wav", {.Seconds = 1.0});
    struct Case
    {
        const char* options;
        bool latin1;
    };
    const Case cases[] = {
        {"--id3v2-only --id3v2-latin1 --tt ' Title ' --ta Artist --tl Album", true},
        {"--add-id3v2 --id3v2-utf16 --tt Title --ta Artist --tl Album", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const auto mp3 = test::EncodeWithLame(dir / "in.wav", dir / "out.mp3", c.options);
        ASSERT_FALSE(mp3.empty());
        const Bytes file = test::ReadFileBytes(mp3);
        TID3v2 tag;
        tag.ReadId3v2(file.data(), uint32_t(file.size()));
        ASSERT_GT(tag.TotalSize, 10);
        EXPECT_EQ(tag.MajorVersion, 3);
        // The audio's first frame starts right behind the tag.
        ASSERT_LT(size_t(tag.TotalSize) + 1, file.size());
        EXPECT_EQ(file[size_t(tag.TotalSize)], 0xFF);
        EXPECT_EQ(file[size_t(tag.TotalSize) + 1] & 0xE0, 0xE0);
        EXPECT_EQ(tag.Title, c.latin1 ? "Title" : "");
        EXPECT_EQ(tag.Artist, c.latin1 ? "Artist" : "");
        EXPECT_EQ(tag.Album, c.latin1 ? "Album" : "");
        // lame stores the length in ISO-8859-1 whatever the texts' encoding.
        EXPECT_EQ(tag.LengthText, "1000");
        ASSERT_EQ(tag.LengthDigits, 4);
        EXPECT_EQ(std::memcmp(file.data() + tag.LengthOffset, "1000", 4), 0);

        StreamInfo info;
        EXPECT_EQ(ProbeId3v1(info, file.data(), uint32_t(file.size())), c.latin1 ? 0u : 128u);
    }
}

} // namespace
} // namespace zefrin
