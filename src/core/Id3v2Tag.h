// The ID3v2 tag in front of the audio: its size (so that the scan starts behind it), a few
// text frames for display and naming, an embedded text object (a cue sheet), and where the
// track length's digits are, so that the writer can correct them in a copy of the tag.
#pragma once

#include <cstdint>
#include <string>

namespace zefrin {

class TID3v2
{
  public:
    int32_t TotalSize = 0;  // bytes of the tag, its 10-byte header included; 0 = no tag
    int32_t GeobOffset = 0; // start of the embedded text object, from the tag's first byte
    int32_t GeobLength = 0; // 0 = none
    uint8_t MajorVersion = 0;
    std::string Title, Artist, Album, Comment, Composer, EncodedBy, RightsNotice, Language, Url;
    std::string LengthText;   // the TLEN frame's text
    int32_t LengthOffset = 0; // where the TLEN digits start, from the tag's first byte
    int32_t LengthDigits = 0; // bytes of the TLEN text; 0 = no TLEN frame

    // Resets the object and reads a tag that starts at `data`, within `size` bytes. Never
    // reads outside the data: sizes that point past it mean no tag (or end the frame walk).
    // Texts are those of ISO-8859-1 frames (encoding 0), without leading and trailing blanks
    // and control characters; a zero byte inside one (the separator after a comment's or
    // URL's description, between the values of a version 4 text) becomes a blank. A version
    // 4 footer counts in TotalSize. A TLEN text in UTF-16 gets no LengthDigits: digits
    // written over it would break the frame.
    void ReadId3v2(const uint8_t* data, uint32_t size);

    // The track length as the TLEN text holds it in a copied tag: exactly LengthDigits
    // decimal digits, zero-padded on the left, only the lowest digits when it is longer.
    // Empty when there is no TLEN frame.
    std::string LengthDigitsText(uint32_t milliseconds) const;
    // Puts LengthDigitsText(milliseconds) over the TLEN digits of `tagCopy`, a byte-for-byte
    // copy of the TotalSize bytes that were read. Does nothing without a TLEN frame.
    void WriteLengthDigits(uint8_t* tagCopy, uint32_t milliseconds) const;
};

} // namespace zefrin
