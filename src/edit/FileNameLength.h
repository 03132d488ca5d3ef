// The length of the result in a file name: "song (2m 59s).mp3". Old lengths in parentheses
// are replaced; other parenthesised texts stay.
#pragma once

#include "core/FrameHeader.h"

#include <cstdint>
#include <string>

namespace zefrin {

// Whether characters first..last (1-based, inclusive) of text are a length as
// FormatLengthForFileName writes it.
bool LooksLikeLength(const std::string& text, int first, int last);

struct LengthInsertion
{
    bool Done = false; // false when the name has no '.'
    std::string NewName;
};

// Inserts the length of outputFrames frames of the reference stream before the last '.'.
LengthInsertion InsertLengthIntoFileName(const std::string& name, const FrameHeader& reference,
                                         uint32_t outputFrames);

} // namespace zefrin
