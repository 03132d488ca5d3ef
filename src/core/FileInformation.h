// What the information fields of the main window and the pages of the Advanced info window
// show for the opened file, as texts; and the five texts that turn a frame count into a time.
#pragma once

#include "MessageTexts.h"
#include "StreamModel.h"

#include <string>
#include <vector>

namespace zefrin {

struct TagPage
{
    bool Enabled = false;
    std::string Title, Artist, Album, Year, Comment, Genre;
};

struct FileInformation
{
    // Main window
    std::string EditType;
    std::string EditBitrate;
    std::string EditLength;
    std::string EditID3;
    std::string EditCRC;
    std::string EditEnding; // "abrupt" (shown in red) or "natural"
    // Advanced info: Frames page
    std::string LabelFirstFrameMissing;
    std::string LabelFirstFrameInvalid;
    std::string LabelLastFrameIncomplete;
    std::string LabelNumberMissingFH;
    std::string LabelNumberAverageBitrate;
    std::string LabelNumberFH;
    std::string LabelMemoryUsage;
    std::string LabelWAVembedded;
    // Errors page, tag pages, Missing FHs page
    std::vector<std::string> ListBoxInconsistent;
    TagPage Id3v1;
    TagPage Id3v2;
    std::vector<std::string> ListBoxMissingFH;
};

// Describes the opened file; also stores DurationSeconds in the model.
FileInformation ShowFileInformation(StreamModel& model, const MessageTexts& texts);

// Whole seconds, up to 3 decimals, "s": 26.12s.
std::string FormatSeconds(const FrameHeader& reference, uint32_t frames, int decimals);
// Minutes:seconds.hundredths: 0:26.12.
std::string FormatMinutes(const FrameHeader& reference, uint32_t frames);
// Cue sheet time mm:ss:hh: 00:26:12.
std::string FormatCueTime(const FrameHeader& reference, uint32_t frames);
// 0:26, or 1h02 from one hour on.
std::string FormatLength(const FrameHeader& reference, uint32_t frames);
// 3m 07s, or 1h 02 from one hour on.
std::string FormatLengthForFileName(const FrameHeader& reference, uint32_t frames);

} // namespace zefrin
