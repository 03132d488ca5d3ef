#include "Id3v2Tag.h"

#include "FrameHeader.h"

#include <algorithm>
#include <cstring>

namespace zefrin {

namespace {

constexpr uint32_t TagHeaderSize = 10;
constexpr uint32_t TagFooterSize = 10;
constexpr uint8_t FlagExtendedHeader = 0x40;
constexpr uint8_t FlagFooter = 0x10; // version 4 only

// The frames whose texts are kept, in the order in which an identifier is matched.
struct TextFrame
{
    const char* Id4; // versions 3 and 4
    const char* Id3; // version 2
    std::string TID3v2::*Field;
};

constexpr TextFrame TextFrames[] = {
    {"TLEN", "TLE", &TID3v2::LengthText},   {"TIT1", "TT1", &TID3v2::Title},
    {"TIT2", "TT2", &TID3v2::Title},        {"TPE1", "TP1", &TID3v2::Artist},
    {"TOPE", "TOA", &TID3v2::Artist},       {"TALB", "TAL", &TID3v2::Album},
    {"TOAL", "TOT", &TID3v2::Album},        {"COMM", "COM", &TID3v2::Comment},
    {"TCOM", "TCM", &TID3v2::Composer},     {"TENC", "TEN", &TID3v2::EncodedBy},
    {"TCOP", "TCR", &TID3v2::RightsNotice}, {"TLAN", "TLA", &TID3v2::Language},
    {"WXXX", "WXX", &TID3v2::Url},
};

uint32_t LoadBig32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

uint32_t LoadSynchsafe32(const uint8_t* p)
{
    return (uint32_t(p[0] & 0x7F) << 21) | (uint32_t(p[1] & 0x7F) << 14) |
           (uint32_t(p[2] & 0x7F) << 7) | (p[3] & 0x7F);
}

bool IsSynchsafe(const uint8_t* p)
{
    return ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0;
}

// Version 4 frame sizes are synchsafe; some writers put plain numbers there anyway, and a
// byte with its top bit set can only be such a plain number.
uint32_t FrameDataSize(const uint8_t* frame, uint8_t version)
{
    if (version == 2)
        return (uint32_t(frame[3]) << 16) | (uint32_t(frame[4]) << 8) | frame[5];
    if (version == 4 && IsSynchsafe(frame + 4))
        return LoadSynchsafe32(frame + 4);
    return LoadBig32(frame + 4);
}

bool IsBlankOrControl(uint8_t c)
{
    return c <= 0x20;
}

std::string TrimFrameText(const uint8_t* text, uint32_t length)
{
    const uint8_t* begin = text;
    const uint8_t* end = text + length;
    while (begin < end && IsBlankOrControl(*begin))
        ++begin;
    while (end > begin && IsBlankOrControl(end[-1]))
        --end;
    std::string result(begin, end);
    std::replace(result.begin(), result.end(), '\0', ' ');
    return result;
}

// A GEOB frame holds a text object when, after its encoding, MIME type, file name and
// description (three zero bytes in all), only text follows: no further zero byte and no
// control character other than line ends. Returns the object's start within the frame, or 0.
uint32_t TextObjectStart(const uint8_t* frame, uint32_t frameLength)
{
    int zeros = 0;
    uint32_t start = 0;
    for (uint32_t i = TagHeaderSize; i < frameLength; ++i) {
        const uint8_t b = frame[i];
        if (zeros == 3) {
            if (b == 0 || (b < 32 && b != '\n' && b != '\r'))
                return 0;
        } else if (b == 0 && ++zeros == 3) {
            start = i + 1;
        }
    }
    return zeros == 3 ? start : 0;
}

} // namespace

void TID3v2::ReadId3v2(const uint8_t* data, uint32_t size)
{
    TotalSize = 0;
    GeobOffset = 0;
    GeobLength = 0;
    MajorVersion = 0;
    LengthOffset = 0;
    LengthDigits = 0;
    for (const TextFrame& f : TextFrames)
        (this->*f.Field).clear();

    if (size < TagHeaderSize || CompareBytes(data, "ID3", 3) >= 0 || data[3] == 0xFF ||
        data[4] == 0xFF || !IsSynchsafe(data + 6))
        return;
    const uint8_t version = data[3];
    if (version < 2 || version > 4)
        return;
    const uint8_t flags = data[5];
    const uint32_t bodySize = LoadSynchsafe32(data + 6);
    // A footer repeats the header behind the frames; leaving it out of the size would leave
    // it in front of the audio and make a copied tag announce a footer it does not have.
    uint32_t total = TagHeaderSize + bodySize;
    if (version == 4 && (flags & FlagFooter) != 0)
        total += TagFooterSize;
    if (total > size)
        return;
    TotalSize = int32_t(total);
    MajorVersion = version; // only with a tag: a refused header has no version to show

    const uint8_t* p = data + TagHeaderSize;
    uint32_t remaining = bodySize;
    if (version >= 3 && (flags & FlagExtendedHeader) != 0 && remaining >= 4) {
        // Version 3 counts the extended header without its size field, version 4 with it.
        const uint64_t skip = version == 3 ? uint64_t(LoadBig32(p)) + 4 : LoadSynchsafe32(p);
        if (skip > remaining)
            return;
        p += skip;
        remaining -= uint32_t(skip);
    }

    const uint32_t frameHeaderSize = version == 2 ? 6 : 10;
    const int idLength = version == 2 ? 3 : 4;
    while (remaining >= frameHeaderSize && p[0] >= 'A' && p[0] <= 'Z') {
        const uint32_t dataSize = FrameDataSize(p, version);
        const uint64_t frameLength = uint64_t(dataSize) + frameHeaderSize;
        if (frameLength > remaining)
            break;

        const TextFrame* match = nullptr;
        for (const TextFrame& f : TextFrames) {
            if (CompareBytes(p, version == 2 ? f.Id3 : f.Id4, idLength) < 0) {
                match = &f;
                break;
            }
        }
        const uint8_t* text = p + frameHeaderSize;
        if (match != nullptr && dataSize >= 1) {
            const uint8_t encoding = text[0];
            if (encoding == 0)
                this->*match->Field = TrimFrameText(text + 1, dataSize - 1);
            // Digits written over a UTF-16 text would break it; ISO-8859-1 and UTF-8 take them.
            if (match->Field == &TID3v2::LengthText && (encoding == 0 || encoding == 3)) {
                LengthOffset = int32_t(text + 1 - data);
                LengthDigits = int32_t(dataSize - 1);
            }
        } else if (match == nullptr && version >= 3 && CompareBytes(p, "GEOB", 4) < 0) {
            const uint32_t start = TextObjectStart(p, uint32_t(frameLength));
            if (start != 0) {
                GeobOffset = int32_t(p - data) + int32_t(start);
                GeobLength = int32_t(frameLength - start);
            }
        }
        p += frameLength;
        remaining -= uint32_t(frameLength);
    }
}

std::string TID3v2::LengthDigitsText(uint32_t milliseconds) const
{
    if (LengthDigits <= 0)
        return {};
    std::string digits(size_t(LengthDigits), '0');
    for (auto it = digits.rbegin(); it != digits.rend() && milliseconds != 0; ++it) {
        *it = char('0' + milliseconds % 10);
        milliseconds /= 10;
    }
    return digits;
}

void TID3v2::WriteLengthDigits(uint8_t* tagCopy, uint32_t milliseconds) const
{
    const std::string digits = LengthDigitsText(milliseconds);
    std::memcpy(tagCopy + LengthOffset, digits.data(), digits.size());
}

} // namespace zefrin
