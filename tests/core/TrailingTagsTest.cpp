#include "core/TrailingTags.h"

#include "support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace zefrin {
namespace {

using test::Append;
using test::Bytes;

Bytes Text(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

void Put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

// Audio-like filler that never contains a tag marker.
Bytes Filler(size_t n)
{
    return Bytes(n, 0xA5);
}

std::array<uint8_t, 128> Record(const std::string& title, const std::string& artist,
                                const std::string& album, const std::string& year,
                                const Bytes& comment, uint8_t genre)
{
    std::array<uint8_t, 128> r{};
    std::memcpy(r.data(), "TAG", 3);
    std::memcpy(r.data() + 3, title.data(), title.size());
    std::memcpy(r.data() + 33, artist.data(), artist.size());
    std::memcpy(r.data() + 63, album.data(), album.size());
    std::memcpy(r.data() + 93, year.data(), year.size());
    std::copy(comment.begin(), comment.end(), r.begin() + 97);
    r[127] = genre;
    return r;
}

TEST(ProbeId3v1, NeedsTagMarkerAndCopiesTheLast128BytesWhateverTheyAre)
{
    StreamInfo info;
    Bytes short127 = Text("TAG");
    short127.resize(127, 'x');
    EXPECT_EQ(ProbeId3v1(info, short127.data(), uint32_t(short127.size())), 0u);
    EXPECT_EQ(info.Id3v1[0], 0);

    Bytes tagged = Filler(50);
    Append(tagged, Text("TAG"));
    tagged.resize(tagged.size() + 125, 0xFF);
    EXPECT_EQ(ProbeId3v1(info, tagged.data(), uint32_t(tagged.size())), 128u);
    EXPECT_EQ(std::memcmp(info.Id3v1.data(), tagged.data() + 50, 128), 0);

    Bytes untagged = Filler(300);
    untagged[300 - 128] = 'T';
    untagged.back() = 7;
    EXPECT_EQ(ProbeId3v1(info, untagged.data(), uint32_t(untagged.size())), 0u);
    EXPECT_EQ(info.Id3v1[0], 'T');
    EXPECT_EQ(info.Id3v1[127], 7);
}

TEST(TrimTagText, StopsAtFirstZeroAndTrimsBlanksAndControls)
{
    struct Case
    {
        std::string field;
        std::string expected;
    };
    const Case cases[] = {
        {std::string("Word", 4), "Word"},
        {std::string("  Two words \t\r\n", 15), "Two words"},
        {std::string("\x01\x1f"
                     "a b"
                     "\x7f\xe9",
                     7),
         "a b\x7f\xe9"},
        {std::string("Left\0Right", 10), "Left"},
        {std::string(" \0 hidden", 9), ""},
        {std::string("     ", 5), ""},
        {std::string("", 0), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        EXPECT_EQ(TrimTagText(c.field.data(), c.field.size()), c.expected);
    }
    // The field's length bounds the text when no zero byte ends it.
    EXPECT_EQ(TrimTagText("ABCDEF", 3), "ABC");
}

TEST(ReadId3v1Fields, TakesEachFieldUpToItsZeroAndTheId3v11Track)
{
    Bytes comment = Text("  Nice one");
    comment.resize(30, 0);
    comment[29] = 7;
    const auto r = Record(" Title ", "Artist\tX", std::string(30, 'A'), "1999", comment, 17);
    const Id3v1Fields f = ReadId3v1Fields(r);
    EXPECT_EQ(f.Title, "Title");
    EXPECT_EQ(f.Artist, "Artist\tX");
    EXPECT_EQ(f.Album, std::string(30, 'A')); // a full field has no zero byte; the year is apart
    EXPECT_EQ(f.Year, "1999");
    EXPECT_EQ(f.Comment, "Nice one");
    EXPECT_EQ(f.Track, 7);
    EXPECT_EQ(f.Genre, 17);

    // A 30-character comment is ID3v1.0: its last byte is text, not a track.
    const auto full = Record("", "", "", "", Text(std::string(30, 'c')), 255);
    const Id3v1Fields g = ReadId3v1Fields(full);
    EXPECT_EQ(g.Comment, std::string(30, 'c'));
    EXPECT_EQ(g.Track, 0);
    EXPECT_EQ(g.Title, "");
    EXPECT_EQ(g.Genre, 255);
}

TEST(GenreName, IndexOrderAndNoNameAbove202)
{
    const std::pair<int, const char*> cases[] = {
        {0, "Blues"},        {17, "Rock"},      {79, "Hard Rock"}, {80, "Folk"},
        {125, "Dance Hall"}, {147, "Synthpop"}, {191, "Psybient"}, {202, "Soca"},
        {203, ""},           {255, ""},         {-1, ""},
    };
    for (const auto& [index, name] : cases) {
        SCOPED_TRACE(index);
        EXPECT_STREQ(GenreName(index), name);
    }
    for (const char* name : GenreNames) {
        EXPECT_GT(std::strlen(name), 0u);
        EXPECT_LE(std::strlen(name), 23u) << name;
    }
}

// An APE tag (items + footer, with a header in front when `withHeader`) after `audio` bytes.
Bytes WithApeTag(size_t audio, uint32_t version, bool withHeader, bool headerFlag,
                 size_t items = 100)
{
    const uint32_t tagSize = uint32_t(items + 32);
    const uint32_t flags = headerFlag ? 0x80000000u : 0;
    auto block = [&](uint32_t extraFlags) {
        Bytes b = Text("APETAGEX");
        b.resize(32, 0);
        Put32(b.data() + 8, version);
        Put32(b.data() + 12, tagSize);
        Put32(b.data() + 16, 1);
        Put32(b.data() + 20, flags | extraFlags);
        return b;
    };
    Bytes data = Filler(audio);
    if (withHeader)
        Append(data, block(0x20000000u));
    Append(data, Bytes(items, 'i'));
    Append(data, block(0));
    return data;
}

TEST(ProbeApeTag, CountsTheHeaderOnlyWhenTheFlagsAnnounceIt)
{
    struct Case
    {
        const char* name;
        uint32_t version;
        bool withHeader;
        bool headerFlag;
    };
    const Case cases[] = {
        {"APEv2 with header", 2000, true, true},
        {"APEv2 without header", 2000, false, false},
        {"APEv1", 1000, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const size_t audio = 5000;
        const Bytes data = WithApeTag(audio, c.version, c.withHeader, c.headerFlag);
        StreamInfo info;
        const uint32_t length = ProbeApeTag(info, data.data(), uint32_t(data.size()));
        // The tag must start right behind the audio: one byte earlier eats into the last frame.
        EXPECT_EQ(length, data.size() - audio);
        EXPECT_EQ(info.ApeOffset, int32_t(audio));
    }
}

TEST(ProbeApeTag, RejectsShortDataHeadersAndSizesBeforeTheStart)
{
    StreamInfo info;
    info.ApeOffset = -7;
    // 4000 bytes in all: too short to be looked at.
    const Bytes small = WithApeTag(4000 - 132, 2000, false, false);
    ASSERT_EQ(small.size(), 4000u);
    EXPECT_EQ(ProbeApeTag(info, small.data(), 4000), 0u);

    // The last 32 bytes are a header, not a footer.
    Bytes header = WithApeTag(5000, 2000, false, false);
    header[header.size() - 32 + 23] |= 0x20;
    EXPECT_EQ(ProbeApeTag(info, header.data(), uint32_t(header.size())), 0u);

    // A tag size that reaches before the data's first byte, or wraps 32 bits with the header.
    for (uint32_t tagSize : {5000u + 100 + 32 + 1, 0xFFFFFFF0u}) {
        SCOPED_TRACE(tagSize);
        Bytes big = WithApeTag(5000, 2000, false, true);
        Put32(big.data() + big.size() - 32 + 12, tagSize);
        EXPECT_EQ(ProbeApeTag(info, big.data(), uint32_t(big.size())), 0u);
    }
    EXPECT_EQ(info.ApeOffset, -7);
}

TEST(TrailingTags, ApeTagBeforeId3v1IsMeasuredInFrontOfTheRecord)
{
    Bytes file = WithApeTag(6000, 2000, true, true);
    const auto record = Record("T", "A", "", "", {}, 255);
    file.insert(file.end(), record.begin(), record.end());
    const uint32_t size = uint32_t(file.size());

    StreamInfo info;
    const uint32_t id3v1 = ProbeId3v1(info, file.data(), size);
    const uint32_t ape = ProbeApeTag(info, file.data(), size - id3v1);
    EXPECT_EQ(id3v1, 128u);
    EXPECT_EQ(ape, 32u + 100 + 32);
    EXPECT_EQ(info.ApeOffset, int32_t(size - 128 - ape));
    EXPECT_EQ(info.ApeOffset, 6000);
}

Bytes Lyrics3v2(const std::string& lyrics, const std::string& sizeField)
{
    Bytes tag = Text("LYRICSBEGIN" + lyrics + sizeField + "LYRICS200");
    return tag;
}

TEST(ProbeLyrics3v2, SizeFieldCountsFromLyricsBeginToTheDigits)
{
    // "000123": 11 + 112 bytes of lyrics fields, then the 15 bytes of size and end marker.
    Bytes data = Filler(40);
    Append(data, Lyrics3v2(std::string(112, 'L'), "000123"));
    StreamInfo info;
    EXPECT_EQ(ProbeLyrics3v2(info, data.data(), uint32_t(data.size())), 138u);
    EXPECT_EQ(info.LyricsOffset, 40);

    const char* badFields[] = {"000 23", "00012a", "000124", "000122"};
    for (const char* field : badFields) {
        SCOPED_TRACE(field);
        Bytes bad = Filler(40);
        Append(bad, Lyrics3v2(std::string(112, 'L'), field));
        EXPECT_EQ(ProbeLyrics3v2(info, bad.data(), uint32_t(bad.size())), 0u);
    }
}

TEST(ProbeLyrics3v2, SizePastTheDataIsNoTag)
{
    // The bytes in front of the examined data hold "LYRICSBEGIN" where the size field points:
    // a probe that reads before data[0] would take them.
    Bytes buffer = Text("LYRICSBEGIN");
    Append(buffer, Filler(100));
    const size_t start = buffer.size();
    Append(buffer, Text(std::string(20, 'L') + "000131" + "LYRICS200"));
    StreamInfo info;
    info.LyricsOffset = -7;
    EXPECT_EQ(ProbeLyrics3v2(info, buffer.data() + start, uint32_t(buffer.size() - start)), 0u);
    EXPECT_EQ(info.LyricsOffset, -7);

    const Bytes huge = Text("LYRICSBEGIN" + std::string(20, 'L') + "999999LYRICS200");
    EXPECT_EQ(ProbeLyrics3v2(info, huge.data(), uint32_t(huge.size())), 0u);
}

TEST(ProbeLyrics3v1, SearchesAtMost5099BytesBackAndNeverBeforeTheStart)
{
    struct Case
    {
        size_t lyrics;
        uint32_t expected; // 0 = no tag
    };
    const Case cases[] = {{0, 20}, {5, 25}, {5088, 5108}, {5089, 0}, {6000, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lyrics);
        Bytes data = Filler(30);
        Append(data, Text("LYRICSBEGIN" + std::string(c.lyrics, 'l') + "LYRICSEND"));
        StreamInfo info;
        EXPECT_EQ(ProbeLyrics3v1(info, data.data(), uint32_t(data.size())), c.expected);
        if (c.expected != 0) {
            EXPECT_EQ(info.LyricsOffset, 30);
        }
    }

    // Data that begins with the tag is found; data shorter than the search distance must not
    // find the "LYRICSBEGIN" that lies in front of it.
    const Bytes whole = Text("LYRICSBEGINabcLYRICSEND");
    StreamInfo info;
    EXPECT_EQ(ProbeLyrics3v1(info, whole.data(), uint32_t(whole.size())), 23u);
    EXPECT_EQ(info.LyricsOffset, 0);

    Bytes buffer = Text("LYRICSBEGIN");
    const size_t start = buffer.size();
    Append(buffer, Text(std::string(100, 'l') + "LYRICSEND"));
    info.LyricsOffset = -7;
    EXPECT_EQ(ProbeLyrics3v1(info, buffer.data() + start, uint32_t(buffer.size() - start)), 0u);
    EXPECT_EQ(info.LyricsOffset, -7);
}

TEST(ProbeId3v1, ReadsTheRecordThatLameWrites)
{
    test::TempDir dir;
    test::WritePcmWav(dir / "in.wav", {.Seconds = 0.5});
    const auto mp3 = test::EncodeWithLame(dir / "in.wav", dir / "out.mp3",
                                          "--id3v1-only --tt Title --ta Artist --tl Album "
                                          "--ty 2001 --tc Comment --tn 5 --tg Rock");
    ASSERT_FALSE(mp3.empty());
    const Bytes file = test::ReadFileBytes(mp3);
    StreamInfo info;
    ASSERT_EQ(ProbeId3v1(info, file.data(), uint32_t(file.size())), 128u);
    const Id3v1Fields f = ReadId3v1Fields(info.Id3v1);
    EXPECT_EQ(f.Title, "Title");
    EXPECT_EQ(f.Artist, "Artist");
    EXPECT_EQ(f.Album, "Album");
    EXPECT_EQ(f.Year, "2001");
    EXPECT_EQ(f.Comment, "Comment");
    EXPECT_EQ(f.Track, 5);
    EXPECT_STREQ(GenreName(f.Genre), "Rock");
    // The audio ends right before the record: no other trailing tag is seen there.
    EXPECT_EQ(ProbeApeTag(info, file.data(), uint32_t(file.size() - 128)), 0u);
    EXPECT_EQ(ProbeLyrics3v2(info, file.data(), uint32_t(file.size() - 128)), 0u);
    EXPECT_EQ(ProbeLyrics3v1(info, file.data(), uint32_t(file.size() - 128)), 0u);
}

} // namespace
} // namespace zefrin
