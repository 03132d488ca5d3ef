#include "FileInformation.h"

#include "FrameScanner.h"
#include "TrailingTags.h"

#include <algorithm>
#include <cstdio>

namespace zefrin {

namespace {

const char* const VersionNames[4] = {"2.5", "?", "2", "1"};
const char* const LayerNames[4] = {"?", "III", "II", "I"};
const char* const ChannelModeNames[4] = {"stereo", "joint-stereo", "dual-channel",
                                         "single-channel"};

struct VaryingBits
{
    uint32_t Mask;
    const char* Text;
};

// The header fields that may vary between frames, in the order they are listed.
const VaryingBits VaryingFields[] = {
    {EmphasisMask, "Emphasis setting"}, {OriginalBit, "Original music"},
    {CopyrightBit, "Copyright bit"},    {ChannelModeMask, "Channel Mode"},
    {PrivateBit, "Private bit"},        {ProtectionBit, "CRC protection"},
    {LayerMask, "MPEG layer"},          {SampleRateMask, "Sampling freq."},
};

std::string TwoDigits(uint32_t v)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02u", v % 100);
    return text;
}

std::string TrimmedText(const std::string& text)
{
    return TrimTagText(text.data(), text.size());
}

} // namespace

FileInformation ShowFileInformation(StreamModel& model, const MessageTexts& texts)
{
    const StreamInfo& info = model.Info;
    const FrameHeader& reference = info.Reference;
    const auto& strings = texts.MessageStrings;
    const std::string yesNo[2] = {strings[12], strings[11]};
    const std::string tagPresence[4] = {strings[12], "v1", "v2", "1&2"};
    const auto frameCount = uint32_t(info.FrameCount);
    FileInformation shown;

    model.DurationSeconds = FramesToSeconds(reference, frameCount);

    shown.EditType = "MPEG " + std::string(VersionNames[reference.Version & 3]) + " layer " +
                     LayerNames[reference.Layer & 3] + " " + std::to_string(reference.SampleRate) +
                     "Hz";
    if (info.Mp3Pro)
        shown.EditType += " or mp3PRO " + std::to_string(2 * reference.SampleRate) + "Hz";
    shown.EditType += std::string(" - ") + ChannelModeNames[reference.ChannelMode & 3];

    const int a = info.Id3v1Size * model.TagsKept > 0 ? 1 : 0;
    const int b = model.Id3v2.TotalSize * model.TagsKept > 0 ? 1 : 0;
    shown.EditID3 = tagPresence[a + 2 * b];

    shown.EditCRC = info.BadCrcCount > 0 ? strings[13] : yesNo[reference.HasCrc ? 1 : 0];
    shown.EditLength = FormatLength(reference, frameCount);

    shown.LabelFirstFrameMissing = yesNo[info.FirstFrameMissing ? 1 : 0];
    shown.LabelFirstFrameInvalid = yesNo[info.FirstFramesInvalid ? 1 : 0];
    shown.LabelLastFrameIncomplete = yesNo[info.LastFrameIncomplete ? 1 : 0];
    shown.LabelNumberMissingFH = std::to_string(info.MissingHeaderCount);
    const uint32_t milliseconds = FramesToMilliseconds(reference, frameCount);
    char average[64];
    std::snprintf(average, sizeof average, "%.1f Kbps",
                  milliseconds > 0 ? double(info.FileSize) * 8.0 / milliseconds : 0.0);
    shown.LabelNumberAverageBitrate = average;
    shown.LabelNumberFH = std::to_string(frameCount);
    shown.LabelMemoryUsage =
        std::to_string(MulDivCeil(frameCount, 100, model.Frames.Capacity() - 1)) + "%";
    shown.LabelWAVembedded = yesNo[info.RiffHeaderSize > 0 ? 1 : 0];

    for (const VaryingBits& field : VaryingFields) {
        if ((info.ConstantBits & field.Mask) != field.Mask)
            shown.ListBoxInconsistent.push_back(field.Text);
    }
    if (shown.ListBoxInconsistent.empty())
        shown.ListBoxInconsistent.push_back(strings[3]);

    if (info.Id3v1Size > 0) {
        const Id3v1Fields tag = ReadId3v1Fields(info.Id3v1);
        shown.Id3v1 = {true,     tag.Title,   tag.Artist,          tag.Album,
                       tag.Year, tag.Comment, GenreName(tag.Genre)};
    } else {
        shown.Id3v1.Title = strings[2];
    }
    if (model.Id3v2.TotalSize > 0) {
        const TID3v2& tag = model.Id3v2;
        shown.Id3v2 = {true,
                       TrimmedText(tag.Title),
                       TrimmedText(tag.Artist),
                       TrimmedText(tag.Album),
                       "",
                       TrimmedText(tag.Comment),
                       ""};
    } else {
        shown.Id3v2.Title = strings[2];
    }

    if (info.MissingHeaderCount == 0)
        shown.ListBoxMissingFH.push_back(strings[3]);
    const int listed = std::min(info.MissingHeaderCount, 10);
    for (int i = 0; i < listed; ++i)
        shown.ListBoxMissingFH.push_back(
            FormatMinutes(reference, uint32_t(info.MissingHeaderFrames[size_t(i)])));
    if (info.MissingHeaderCount > 9)
        shown.ListBoxMissingFH.push_back("...");

    shown.EditBitrate = IsVariableBitrate(info) ? "VBR" : "CBR";
    if (info.HasExtraInfo)
        shown.EditBitrate += "+";
    if (IsVariableBitrate(info))
        shown.EditBitrate += " (" + shown.LabelNumberAverageBitrate + " average)";
    else
        shown.EditBitrate += " " + std::to_string(reference.Bitrate) + "Kbps";

    shown.EditEnding = info.EndingAbrupt ? "abrupt" : "natural";
    return shown;
}

std::string FormatSeconds(const FrameHeader& reference, uint32_t frames, int decimals)
{
    const uint32_t ms = FramesToMilliseconds(reference, frames);
    std::string text = std::to_string(ms / 1000);
    if (decimals > 0) {
        text += ".";
        const uint32_t divisors[3] = {100, 10, 1};
        for (int i = 0; i < decimals && i < 3; ++i)
            text += char('0' + (ms / divisors[i]) % 10);
    }
    return text + "s";
}

std::string FormatMinutes(const FrameHeader& reference, uint32_t frames)
{
    const uint32_t c = FramesToMilliseconds(reference, frames) / 10;
    const uint32_t t = c / 100;
    return std::to_string(t / 60) + ":" + TwoDigits(t % 60) + "." + TwoDigits(c % 100);
}

std::string FormatCueTime(const FrameHeader& reference, uint32_t frames)
{
    const uint32_t c = FramesToMilliseconds(reference, frames) / 10;
    const uint32_t t = c / 100;
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", t / 60, t % 60, c % 100);
    return text;
}

std::string FormatLength(const FrameHeader& reference, uint32_t frames)
{
    const uint32_t s = FramesToSeconds(reference, frames);
    if (s >= 3600)
        return std::to_string(s / 3600) + "h" + TwoDigits((s / 60) % 60);
    return std::to_string(s / 60) + ":" + TwoDigits(s % 60);
}

std::string FormatLengthForFileName(const FrameHeader& reference, uint32_t frames)
{
    const uint32_t s = FramesToSeconds(reference, frames);
    if (s >= 3600)
        return std::to_string(s / 3600) + "h " + TwoDigits((s / 60) % 60);
    return std::to_string(s / 60) + "m " + TwoDigits(s % 60) + "s";
}

} // namespace zefrin
