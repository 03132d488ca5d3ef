#include "Id3v1Record.h"

#include "settings/SettingsTable.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace zefrin {

namespace {

constexpr size_t TextFieldSize = 30;
constexpr size_t TitleAt = 3;
constexpr size_t ArtistAt = 33;
constexpr size_t AlbumAt = 63;
constexpr size_t YearAt = 93;
constexpr size_t CommentAt = 97;
constexpr size_t GenreAt = 127;
constexpr size_t TrackNumberAt = CommentAt + 28; // ID3v1.1: a 0 byte, then the track
constexpr uint8_t NoGenre = 255;
constexpr size_t TitleFromNameLimit = 100;

constexpr uint8_t CreateFromName = 2;
enum Update : uint8_t { Leave = 0, Always = 1, WhenEmpty = 2 };

using Record = std::array<uint8_t, 128>;

bool IsBlank(char c)
{
    return uint8_t(c) <= ' ';
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsContinuation(char c)
{
    return (uint8_t(c) & 0xC0) == 0x80;
}

size_t SequenceLength(uint8_t lead)
{
    return lead >= 0xF0 ? 4 : (lead >= 0xE0 ? 3 : (lead >= 0xC0 ? 2 : 1));
}

// At most one field's worth of bytes. A cut never splits a UTF-8 sequence, so that a name
// taken from the file system does not end in half a character; single bytes of other
// encodings are cut where they fall.
std::string_view FieldBytes(std::string_view text)
{
    if (text.size() <= TextFieldSize)
        return text;
    size_t cut = TextFieldSize;
    if (IsContinuation(text[cut])) {
        size_t lead = cut - 1;
        while (lead > cut - 4 && IsContinuation(text[lead]))
            --lead;
        if (lead + SequenceLength(uint8_t(text[lead])) > cut)
            cut = lead;
    }
    return text.substr(0, cut);
}

// The text's bytes, then a 0 byte when shorter than the field; the rest of the field keeps
// its bytes until the padding.
void PutText(Record& record, size_t at, std::string_view text)
{
    const std::string_view bytes = FieldBytes(text);
    std::memcpy(record.data() + at, bytes.data(), bytes.size());
    if (bytes.size() < TextFieldSize)
        record[at + bytes.size()] = 0;
}

bool FieldEmpty(const Record& record, size_t at)
{
    return record[at] == 0 || record[at] == ' ';
}

bool Wanted(uint8_t update, bool empty)
{
    return update == Always || (update == WhenEmpty && empty);
}

void UpdateText(Record& record, size_t at, uint8_t update, const std::string& text)
{
    if (Wanted(update, FieldEmpty(record, at)))
        PutText(record, at, text);
}

void PutYear(Record& record, int32_t year)
{
    if (year <= 0) {
        std::memset(record.data() + YearAt, ' ', 4);
        return;
    }
    year = std::min(year, 9999);
    for (int digit = 3; digit >= 0; --digit, year /= 10)
        record[YearAt + size_t(digit)] = uint8_t('0' + year % 10);
}

// Artist and title from the file name: "Artist - Title.mp3" or "Artist-Title.mp3"; a name
// without a hyphen is the title alone and leaves the artist as it was.
void NamesFromFileName(Record& record, const std::string& editName)
{
    std::string_view text = editName;
    const size_t last = text.find_last_of(".\\:");
    if (last != std::string_view::npos && text[last] == '.')
        text = text.substr(0, last);

    size_t split = text.find(" - ");
    size_t separator = 3;
    if (split == std::string_view::npos) {
        split = text.find('-');
        separator = 1;
    }
    if (split == std::string_view::npos) {
        PutText(record, TitleAt, Trimmed(text));
        return;
    }
    const std::string title =
        CutToCharacters(std::string(text.substr(split + separator)), TitleFromNameLimit);
    PutText(record, ArtistAt, Trimmed(text.substr(0, split)));
    PutText(record, TitleAt, Trimmed(title));
}

// From the first 0 byte to the end of the field, the fill character.
void Pad(Record& record, size_t at, size_t size, uint8_t fill)
{
    uint8_t* field = record.data() + at;
    uint8_t* end = field + size;
    std::fill(std::find(field, end, uint8_t(0)), end, fill);
}

bool AnyZeroByte(const Record& record)
{
    const auto zeroIn = [&](size_t at) {
        const auto field = record.begin() + std::ptrdiff_t(at);
        return std::find(field, field + TextFieldSize, uint8_t(0)) != field + TextFieldSize;
    };
    return zeroIn(TitleAt) || zeroIn(ArtistAt) || zeroIn(AlbumAt) || zeroIn(CommentAt);
}

} // namespace

uint8_t PrepareId3v1(std::array<uint8_t, 128>& record, int32_t& outId3v1Size,
                     const SettingsRecord& settings, const std::string& editName)
{
    const uint8_t mode = settings.RadioButtonID3Remove;
    if (mode == 0)
        outId3v1Size = 0;

    // Keep the padding the existing record uses: a record padded with zeros stays so.
    const uint8_t fill = outId3v1Size > 0 && AnyZeroByte(record) ? 0 : ' ';

    if (mode == CreateFromName && outId3v1Size == 0) {
        outId3v1Size = 128;
        record.fill(fill);
        std::memcpy(record.data(), "TAG", 3);
        record[GenreAt] = NoGenre;
    }

    if (outId3v1Size > 0) {
        if (mode == CreateFromName)
            NamesFromFileName(record, editName);
        UpdateText(record, TitleAt, settings.CheckBoxID3UpdateTrackName, settings.EditID3Track);
        UpdateText(record, ArtistAt, settings.CheckBoxID3UpdateArtistName, settings.EditID3Artist);
        UpdateText(record, AlbumAt, settings.CheckBoxID3UpdateAlbumName, settings.EditID3Album);
        if (Wanted(settings.CheckBoxID3UpdateAlbumYear, FieldEmpty(record, YearAt)))
            PutYear(record, settings.SpinEditID3Year);
        if (Wanted(settings.CheckBoxID3UpdateGenre, record[GenreAt] == NoGenre))
            record[GenreAt] = uint8_t(std::clamp(settings.ComboBoxID3Genre, 0, 255));
        UpdateText(record, CommentAt, settings.CheckBoxID3UpdateCommentName,
                   settings.EditID3Comment);
    }

    Pad(record, TitleAt, TextFieldSize, fill);
    Pad(record, ArtistAt, TextFieldSize, fill);
    Pad(record, AlbumAt, TextFieldSize, fill);
    const bool trackNumber = record[TrackNumberAt] == 0 && record[TrackNumberAt + 1] != 0;
    Pad(record, CommentAt, trackNumber ? 28 : TextFieldSize, fill);
    return fill;
}

} // namespace zefrin
