#include "TrailingTags.h"

#include "FrameHeader.h"

#include <cstring>

namespace zefrin {

namespace {

uint32_t LoadLittle32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

bool BytesAre(const uint8_t* p, const char* text)
{
    return CompareBytes(p, text, int(std::strlen(text))) < 0;
}

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= 0x20;
}

// APE footer flags: the tag carries a 32-byte header in front of its items; this 32-byte
// block is the header itself rather than the footer.
constexpr uint32_t ApeFlagHasHeader = 0x80000000;
constexpr uint32_t ApeFlagIsHeader = 0x20000000;
// APEv1 tags never have a header, whatever their flags say.
constexpr uint32_t ApeVersion1 = 1000;

} // namespace

const std::array<const char*, GenreCount> GenreNames = {
    "Blues",
    "Classic Rock",
    "Country",
    "Dance",
    "Disco",
    "Funk",
    "Grunge",
    "Hip-Hop",
    "Jazz",
    "Metal",
    "New age",
    "Oldies",
    "Other",
    "Pop",
    "R&B",
    "Rap",
    "Reggae",
    "Rock",
    "Techno",
    "Industrial",
    "Alternative",
    "Ska",
    "Death metal",
    "Pranks",
    "Soundtrack",
    "Euro-Techno",
    "Ambient",
    "Trip-Hop",
    "Vocal",
    "Jazz+Funk",
    "Fusion",
    "Trance",
    "Classical",
    "Instrumental",
    "Acid",
    "House",
    "Game",
    "Sound Clip",
    "Gospel",
    "Noise",
    "Alt. Rock",
    "Bass",
    "Soul",
    "Punk",
    "Space",
    "Meditative",
    "Instrumental Pop",
    "Instrumental Rock",
    "Ethnic",
    "Gothic",
    "Darkwave",
    "Techno-Industrial",
    "Electronic",
    "Pop-folk",
    "Eurodance",
    "Dream",
    "Southern Rock",
    "Comedy",
    "Cult",
    "Gangsta Rap",
    "Top 40",
    "Christian Rap",
    "Pop/Funk",
    "Jungle",
    "Native American",
    "Cabaret",
    "New Wave",
    "Psychadelic",
    "Rave",
    "Showtunes",
    "Trailer",
    "Lo-Fi",
    "Tribal",
    "Acid Punk",
    "Acid Jazz",
    "Polka",
    "Retro",
    "Musical",
    "Rock & Roll",
    "Hard Rock",
    "Folk",
    "Folk/Rock",
    "National Folk",
    "Swing",
    "Fast-Fusion",
    "Bebop",
    "Latin",
    "Revival",
    "Celtic",
    "Bluegrass",
    "Avantgarde",
    "Gothic Rock",
    "Progressive Rock",
    "Psychedelic Rock",
    "Symphonic Rock",
    "Slow Rock",
    "Big Band",
    "Chorus",
    "Easy Listening",
    "Acoustic",
    "Humour",
    "Speech",
    "Chanson",
    "Opera",
    "Chamber Music",
    "Sonata",
    "Symphony",
    "Booty Bass",
    "Primus",
    "Porn Groove",
    "Satire",
    "Slow Jam",
    "Club",
    "Tango",
    "Samba",
    "Folklore",
    "Ballad",
    "Power Ballad",
    "Rhytmic Soul",
    "Freestyle",
    "Duet",
    "Punk Rock",
    "Drum Solo",
    "A Capella",
    "Euro-House",
    "Dance Hall",
    "Goa",
    "Drum & Bass",
    "Club-House",
    "Hardcore",
    "Terror",
    "Indie",
    "BritPop",
    "Negerpunk",
    "Polsk Punk",
    "Beat",
    "Christian Gangsta Rap",
    "Heavy Metal",
    "Black Metal",
    "Crossover",
    "Contemporary Christian",
    "Christian Rock",
    "Merengue",
    "Salsa",
    "Thrash Metal",
    "Anime",
    "JPop",
    "Synthpop",
    "Abstract",
    "Art Rock",
    "Baroque",
    "Bhangra",
    "Big beat",
    "Breakbeat",
    "Chillout",
    "Downtempo",
    "Dub",
    "EBM",
    "Eclectic",
    "Electro",
    "Electroclash",
    "Emo",
    "Experimental",
    "Garage",
    "Global",
    "IDM",
    "Illbient",
    "Industro-Goth",
    "Jam Band",
    "Krautrock",
    "Leftfield",
    "Lounge",
    "Math Rock",
    "New Romantic",
    "Nu-Breakz",
    "Post-Punk",
    "Post-Rock",
    "Psytrance",
    "Shoegaze",
    "Space Rock",
    "Trop Rock",
    "World Music",
    "Neoclassical",
    "Audiobook",
    "Audio Theatre",
    "Neue Deutsche Welle",
    "Podcast",
    "Indie-Rock",
    "G-Funk",
    "Dubstep",
    "Garage Rock",
    "Psybient",
    "Bachata",
    "Reggaeton",
    "Trap (Latin)",
    "Trap (Hip Hop)",
    "Trap (Electro)",
    "2-Step",
    "K-Pop",
    "Zydeco",
    "Baltimore (B-More) Club",
    "Jersey Club",
    "Soca",
};

const char* GenreName(int index)
{
    if (index < 0 || index >= GenreCount)
        return "";
    return GenreNames[size_t(index)];
}

std::string TrimTagText(const char* text, size_t length)
{
    const char* end = static_cast<const char*>(std::memchr(text, 0, length));
    if (end == nullptr)
        end = text + length;
    const char* begin = text;
    while (begin < end && IsBlankOrControl(*begin))
        ++begin;
    while (end > begin && IsBlankOrControl(end[-1]))
        --end;
    return std::string(begin, end);
}

Id3v1Fields ReadId3v1Fields(const std::array<uint8_t, 128>& record)
{
    const char* r = reinterpret_cast<const char*>(record.data());
    Id3v1Fields fields;
    fields.Title = TrimTagText(r + 3, 30);
    fields.Artist = TrimTagText(r + 33, 30);
    fields.Album = TrimTagText(r + 63, 30);
    fields.Year = TrimTagText(r + 93, 4);
    fields.Comment = TrimTagText(r + 97, 30);
    if (record[97 + 28] == 0 && record[97 + 29] != 0)
        fields.Track = record[97 + 29];
    fields.Genre = record[127];
    return fields;
}

uint32_t ProbeId3v1(StreamInfo& info, const uint8_t* data, uint32_t size)
{
    if (size < Id3v1RecordSize)
        return 0;
    const uint8_t* record = data + size - Id3v1RecordSize;
    std::memcpy(info.Id3v1.data(), record, Id3v1RecordSize);
    return BytesAre(record, "TAG") ? Id3v1RecordSize : 0;
}

uint32_t ProbeApeTag(StreamInfo& info, const uint8_t* data, uint32_t size)
{
    if (size < ApeMinimumDataSize)
        return 0;
    const uint8_t* footer = data + size - ApeFooterSize;
    if (!BytesAre(footer, "APETAGEX"))
        return 0;
    const uint32_t version = LoadLittle32(footer + 8);
    const uint32_t tagSize = LoadLittle32(footer + 12);
    const uint32_t flags = LoadLittle32(footer + 20);
    if ((flags & ApeFlagIsHeader) != 0 || tagSize < ApeFooterSize)
        return 0;
    // The tag size covers the items and the footer. Counting a header that the flags do not
    // announce would swallow the end of the last audio frame.
    uint64_t total = tagSize;
    if (version != ApeVersion1 && (flags & ApeFlagHasHeader) != 0)
        total += ApeFooterSize;
    if (total > size)
        return 0;
    info.ApeOffset = int32_t(size - total);
    return uint32_t(total);
}

uint32_t ProbeLyrics3v2(StreamInfo& info, const uint8_t* data, uint32_t size)
{
    if (size < 26)
        return 0;
    if (!BytesAre(data + size - 9, "LYRICS200"))
        return 0;
    uint32_t n = 0;
    for (const uint8_t* d = data + size - 15; d < data + size - 9; ++d) {
        if (*d < '0' || *d > '9')
            return 0;
        n = n * 10 + uint32_t(*d - '0');
    }
    const uint32_t total = n + 15; // n counts from "LYRICSBEGIN" up to the size digits
    if (total > size)
        return 0;
    const uint32_t start = size - total;
    if (total < 26 || !BytesAre(data + start, "LYRICSBEGIN"))
        return 0;
    info.LyricsOffset = int32_t(start);
    return total;
}

uint32_t ProbeLyrics3v1(StreamInfo& info, const uint8_t* data, uint32_t size)
{
    if (size < 20)
        return 0;
    if (!BytesAre(data + size - 9, "LYRICSEND"))
        return 0;
    for (uint32_t i = 11; i < Lyrics3v1MaxDistance && i <= size - 9; ++i) {
        const uint32_t start = size - 9 - i;
        if (BytesAre(data + start, "LYRICSBEGIN")) {
            info.LyricsOffset = int32_t(start);
            return i + 9;
        }
    }
    return 0;
}

} // namespace zefrin
