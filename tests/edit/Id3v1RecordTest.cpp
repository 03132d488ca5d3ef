// The ID3v1 record a save writes: kept, created, named from the file, updated from the
// ID3 settings, and padded the way the record already was.
#include "edit/Id3v1Record.h"

#include "core/TrailingTags.h"
#include "settings/SettingsTable.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace zefrin;

namespace {

using Record = std::array<uint8_t, 128>;

constexpr uint8_t RemoveTag = 0;
constexpr uint8_t KeepTag = 1;
constexpr uint8_t CreateTag = 2;
constexpr uint8_t Leave = 0;
constexpr uint8_t Always = 1;
constexpr uint8_t WhenEmpty = 2;

std::string Field(const Record& r, size_t at, size_t size = 30)
{
    return std::string(reinterpret_cast<const char*>(r.data()) + at, size);
}

std::string Spaces(size_t n)
{
    return std::string(n, ' ');
}

// `text` padded to `size` with `fill`.
std::string Padded(const std::string& text, char fill, size_t size = 30)
{
    return text + std::string(size - text.size(), fill);
}

// A record as an older tagger left it: fields padded with `fill`.
Record ExistingRecord(char fill)
{
    Record r;
    r.fill(uint8_t(fill));
    std::memcpy(r.data(), "TAG", 3);
    std::memcpy(r.data() + 3, "Old Title", 9);
    std::memcpy(r.data() + 33, "Old Artist", 10);
    std::memcpy(r.data() + 63, "Old Album", 9);
    std::memcpy(r.data() + 93, "2001", 4);
    std::memcpy(r.data() + 97, "Old Comment", 11);
    r[127] = 17;
    return r;
}

class Id3v1Record : public testing::Test
{
  protected:
    Id3v1Record()
    {
        m_settings.RadioButtonID3Remove = KeepTag;
        m_settings.CheckBoxID3UpdateTrackName = Leave;
        m_settings.CheckBoxID3UpdateArtistName = Leave;
        m_settings.CheckBoxID3UpdateAlbumName = Leave;
        m_settings.CheckBoxID3UpdateAlbumYear = Leave;
        m_settings.CheckBoxID3UpdateGenre = Leave;
        m_settings.CheckBoxID3UpdateCommentName = Leave;
        m_record.fill(0x77); // whatever the last bytes of a file without a tag hold
    }

    uint8_t Prepare(const std::string& editName = "track.mp3")
    {
        return PrepareId3v1(m_record, m_outSize, m_settings, editName);
    }

    SettingsRecord m_settings = DefaultSettings();
    Record m_record;
    int32_t m_outSize = 0;
};

TEST_F(Id3v1Record, CreatedFromAFileNameWithArtistAndTitle)
{
    m_settings.RadioButtonID3Remove = CreateTag;
    EXPECT_EQ(Prepare("Artist - Some Title.mp3"), ' ');
    EXPECT_EQ(m_outSize, 128);
    EXPECT_EQ(Field(m_record, 0, 3), "TAG");
    EXPECT_EQ(Field(m_record, 3), Padded("Some Title", ' '));
    EXPECT_EQ(Field(m_record, 33), Padded("Artist", ' '));
    EXPECT_EQ(Field(m_record, 63), Spaces(30));
    EXPECT_EQ(Field(m_record, 93, 4), Spaces(4));
    EXPECT_EQ(Field(m_record, 97), Spaces(30));
    EXPECT_EQ(m_record[127], 255);
}

TEST_F(Id3v1Record, NamesFromTheFileName)
{
    m_settings.RadioButtonID3Remove = CreateTag;
    const struct
    {
        const char* Name;
        const char* Artist;
        const char* Title;
    } cases[] = {
        {"Artist-Title.mp3", "Artist", "Title"},
        {"Just a title.mp3", "", "Just a title"},
        {"AC-DC - Thunder.mp3", "AC-DC", "Thunder"},
        {"A - B - C.mp3", "A", "B - C"},
        {"  Spaced  -  Out  .mp3", "Spaced", "Out"},
        {"No extension", "", "No extension"},
        {"Dots.in.name.mp3", "", "Dots.in.name"},
        {"- Title only.mp3", "", "Title only"},
        {"Artist only -.mp3", "Artist only", ""},
        {"A title of more than thirty characters.mp3", "", "A title of more than thirty ch"},
    };
    for (const auto& c : cases) {
        m_outSize = 0;
        Prepare(c.Name);
        const std::string artist = c.Artist;
        const std::string title = c.Title;
        EXPECT_EQ(Field(m_record, 33), Padded(artist, ' ')) << c.Name;
        EXPECT_EQ(Field(m_record, 3), Padded(title, ' ')) << c.Name;
    }
}

TEST_F(Id3v1Record, ANameWithoutAHyphenLeavesTheArtistOfAKeptRecord)
{
    m_settings.RadioButtonID3Remove = CreateTag;
    m_record = ExistingRecord(' ');
    m_outSize = 128;
    Prepare("New Title.mp3");
    EXPECT_EQ(Field(m_record, 3), Padded("New Title", ' '));
    EXPECT_EQ(Field(m_record, 33), Padded("Old Artist", ' '));
}

TEST_F(Id3v1Record, ACutNeverSplitsACharacter)
{
    // 29 letters and a two-byte character: the character does not fit and is left out.
    m_settings.RadioButtonID3Remove = CreateTag;
    const std::string letters(29, 'a');
    Prepare(letters + "\xC3\xA9" + "tail.mp3");
    EXPECT_EQ(Field(m_record, 3), Padded(letters, ' '));
}

TEST_F(Id3v1Record, KeptRecordsKeepTheirPadding)
{
    m_settings.CheckBoxID3UpdateTrackName = Always;
    m_settings.CheckBoxID3UpdateCommentName = Always;
    m_settings.EditID3Track = "New";
    m_settings.EditID3Comment = "Note";
    for (char fill : {'\0', ' '}) {
        m_record = ExistingRecord(fill);
        m_outSize = 128;
        EXPECT_EQ(Prepare(), uint8_t(fill));
        EXPECT_EQ(Field(m_record, 3), Padded("New", fill));
        EXPECT_EQ(Field(m_record, 33), Padded("Old Artist", fill));
        EXPECT_EQ(Field(m_record, 97), Padded("Note", fill));
        EXPECT_EQ(Field(m_record, 93, 4), "2001");
        EXPECT_EQ(m_record[127], 17);
    }
}

TEST_F(Id3v1Record, UpdatesWhenEmptyTouchOnlyEmptyFields)
{
    m_settings.CheckBoxID3UpdateTrackName = WhenEmpty;
    m_settings.CheckBoxID3UpdateArtistName = WhenEmpty;
    m_settings.CheckBoxID3UpdateAlbumName = WhenEmpty;
    m_settings.CheckBoxID3UpdateGenre = WhenEmpty;
    m_settings.EditID3Artist = "A";
    m_settings.EditID3Album = "B";
    // An empty field starts with a 0 byte or a blank, whatever follows it.
    for (char fill : {'\0', ' '}) {
        m_settings.EditID3Track = "T";
        m_settings.ComboBoxID3Genre = 80;
        m_record = ExistingRecord(fill);
        m_record[3] = uint8_t(fill);
        m_record[33] = uint8_t(fill);
        m_record[127] = 255; // no genre
        m_outSize = 128;
        Prepare();
        EXPECT_EQ(Field(m_record, 3), Padded("T", fill));
        EXPECT_EQ(Field(m_record, 33), Padded("A", fill));
        EXPECT_EQ(Field(m_record, 63), Padded("Old Album", fill));
        EXPECT_EQ(m_record[127], 80);

        // Once filled, nothing changes again.
        m_settings.EditID3Track = "Other";
        m_settings.ComboBoxID3Genre = 9;
        Prepare();
        EXPECT_EQ(Field(m_record, 3), Padded("T", fill));
        EXPECT_EQ(m_record[127], 80);
    }
}

TEST_F(Id3v1Record, YearWhenEmpty)
{
    m_settings.CheckBoxID3UpdateAlbumYear = WhenEmpty;
    const struct
    {
        const char* Before;
        int32_t Setting;
        const char* After;
    } cases[] = {
        {"2001", 1999, "2001"}, {"    ", 1999, "1999"}, {"\0\0\0\0", 1999, "1999"},
        {"    ", 0, "    "},    {"    ", 7, "0007"},
    };
    for (const auto& c : cases) {
        m_record = ExistingRecord(' ');
        std::memcpy(m_record.data() + 93, c.Before, 4);
        m_settings.SpinEditID3Year = c.Setting;
        m_outSize = 128;
        Prepare();
        EXPECT_EQ(Field(m_record, 93, 4), c.After) << c.Setting;
    }
    m_settings.CheckBoxID3UpdateAlbumYear = Always;
    m_settings.SpinEditID3Year = 0;
    m_record = ExistingRecord(' ');
    Prepare();
    EXPECT_EQ(Field(m_record, 93, 4), Spaces(4));
}

TEST_F(Id3v1Record, ACommentUpTo28CharactersKeepsTheTrackNumber)
{
    m_record = ExistingRecord(' ');
    m_record[97 + 28] = 0;
    m_record[97 + 29] = 5;
    m_settings.CheckBoxID3UpdateCommentName = Always;
    m_settings.EditID3Comment = std::string(28, 'c');
    m_outSize = 128;
    Prepare();
    EXPECT_EQ(m_record[97 + 28], 0);
    EXPECT_EQ(m_record[97 + 29], 5);
    EXPECT_EQ(ReadId3v1Fields(m_record).Track, 5);
    EXPECT_EQ(Field(m_record, 97, 28), std::string(28, 'c'));

    // A shorter comment is padded up to the track number only.
    m_settings.EditID3Comment = "short";
    Prepare();
    EXPECT_EQ(Field(m_record, 97, 30), Padded("short", '\0', 28) + std::string("\0\5", 2));
}

TEST_F(Id3v1Record, OnlyTheCreatingModeMakesANewRecord)
{
    m_settings.CheckBoxID3UpdateTrackName = Always;
    m_settings.EditID3Track = "Title";
    const Record before = m_record;

    m_settings.RadioButtonID3Remove = KeepTag; // no record in the source, or tags not kept
    m_outSize = 0;
    Prepare();
    EXPECT_EQ(m_outSize, 0);
    EXPECT_EQ(Field(m_record, 0, 3), Field(before, 0, 3));

    m_settings.RadioButtonID3Remove = RemoveTag;
    m_record = ExistingRecord(' ');
    m_outSize = 128;
    Prepare();
    EXPECT_EQ(m_outSize, 0);
    EXPECT_EQ(Field(m_record, 3), Padded("Old Title", ' '));
}

} // namespace
