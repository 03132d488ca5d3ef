#include "JsonFormatter.h"

#include "JsonWriter.h"
#include "core/FrameScanner.h"
#include "core/TrailingTags.h"

#include <algorithm>

namespace zefrin {

namespace {

void StringArray(JsonWriter& json, std::string_view name, const std::vector<std::string>& texts)
{
    json.Key(name).BeginArray();
    for (const std::string& text : texts)
        json.String(text);
    json.EndArray();
}

void Reference(JsonWriter& json, const FrameHeader& header)
{
    json.Key("Reference").BeginObject();
    json.Member("Raw", header.Raw);
    json.Member("Version", header.Version);
    json.Member("Layer", header.Layer);
    json.Member("Bitrate", header.Bitrate);
    json.Member("SampleRate", header.SampleRate);
    json.Member("ChannelMode", header.ChannelMode);
    json.Member("HasCrc", header.HasCrc);
    json.Member("HeaderSize", header.HeaderSize);
    json.Member("SideInfoEnd", header.SideInfoEnd);
    json.Member("FrameLength", header.FrameLength);
    json.EndObject();
}

void Id3v2(JsonWriter& json, const TID3v2& tag)
{
    json.Key("Id3v2").BeginObject();
    json.Member("TotalSize", tag.TotalSize);
    json.Member("MajorVersion", tag.MajorVersion);
    json.Member("Title", tag.Title);
    json.Member("Artist", tag.Artist);
    json.Member("Album", tag.Album);
    json.Member("Comment", tag.Comment);
    json.Member("Composer", tag.Composer);
    json.Member("EncodedBy", tag.EncodedBy);
    json.Member("LengthText", tag.LengthText);
    json.Member("GeobLength", tag.GeobLength);
    json.EndObject();
}

void Id3v1(JsonWriter& json, const StreamInfo& info)
{
    json.Key("Id3v1");
    if (info.Id3v1Size <= 0) {
        json.Null();
        return;
    }
    const Id3v1Fields tag = ReadId3v1Fields(info.Id3v1);
    json.BeginObject();
    json.Member("Title", tag.Title);
    json.Member("Artist", tag.Artist);
    json.Member("Album", tag.Album);
    json.Member("Year", tag.Year);
    json.Member("Comment", tag.Comment);
    json.Member("Track", tag.Track);
    json.Member("Genre", tag.Genre);
    json.Member("GenreName", GenreName(tag.Genre));
    json.EndObject();
}

void Display(JsonWriter& json, const OpenResult& result)
{
    const FileInformation& shown = result.Display;
    json.Key("Display").BeginObject();
    json.Member("EditName", result.EditName);
    json.Member("EditType", shown.EditType);
    json.Member("EditBitrate", shown.EditBitrate);
    json.Member("EditLength", shown.EditLength);
    json.Member("EditID3", shown.EditID3);
    json.Member("EditCRC", shown.EditCRC);
    json.Member("EditEnding", shown.EditEnding);
    json.Member("LabelFirstFrameMissing", shown.LabelFirstFrameMissing);
    json.Member("LabelFirstFrameInvalid", shown.LabelFirstFrameInvalid);
    json.Member("LabelLastFrameIncomplete", shown.LabelLastFrameIncomplete);
    json.Member("LabelNumberMissingFH", shown.LabelNumberMissingFH);
    json.Member("LabelNumberAverageBitrate", shown.LabelNumberAverageBitrate);
    json.Member("LabelNumberFH", shown.LabelNumberFH);
    json.Member("LabelMemoryUsage", shown.LabelMemoryUsage);
    json.Member("LabelWAVembedded", shown.LabelWAVembedded);
    StringArray(json, "ListBoxInconsistent", shown.ListBoxInconsistent);
    StringArray(json, "ListBoxMissingFH", shown.ListBoxMissingFH);
    json.EndObject();
}

void Frames(JsonWriter& json, const StreamModel& model)
{
    json.Key("Frames").BeginArray();
    const auto count = uint32_t(std::max(model.Info.FrameCount, 0));
    for (uint32_t i = 0; i < count; ++i) {
        const FrameRecord& r = model.Frames[i];
        json.BeginObject();
        json.Member("Offset", r.Offset);
        json.Member("Length", r.Length);
        json.Member("HeaderSize", r.HeaderSize);
        json.Member("Crc", r.Crc);
        json.Member("Silent", r.Silent);
        json.Member("ReservoirDepth", r.ReservoirDepth);
        json.Member("Level", r.Level);
        json.EndObject();
    }
    json.EndArray();
}

} // namespace

void WriteInfoJson(std::ostream& out, const StreamModel& model, const OpenResult& result,
                   bool frames)
{
    const StreamInfo& info = model.Info;
    JsonWriter json(out);
    json.BeginObject();
    json.Member("FileSize", info.FileSize);
    Reference(json, info.Reference);
    json.Member("FrameCount", info.FrameCount);
    json.Member("FrameTableCapacity", model.Frames.Capacity());
    json.Member("MissingHeaderCount", info.MissingHeaderCount);
    // Only the first ten places are recorded.
    json.Key("MissingHeaderFrames").BeginArray();
    const int listed = std::clamp(info.MissingHeaderCount, 0, int(info.MissingHeaderFrames.size()));
    for (int i = 0; i < listed; ++i)
        json.Number(int64_t(info.MissingHeaderFrames[size_t(i)]));
    json.EndArray();
    json.Member("BadCrcCount", info.BadCrcCount);
    json.Member("FirstFrameMissing", info.FirstFrameMissing);
    json.Member("FirstFramesInvalid", info.FirstFramesInvalid);
    json.Member("LastFrameIncomplete", info.LastFrameIncomplete);
    json.Member("ConstantBits", info.ConstantBits);
    json.Member("IsVariableBitrate", IsVariableBitrate(info));
    json.Key("BitrateUse").BeginArray();
    for (int32_t use : info.BitrateUse)
        json.Number(int64_t(use));
    json.EndArray();
    json.Member("HasExtraInfo", info.HasExtraInfo);
    json.Member("HasXing", info.HasXing);
    json.Member("HasInfo", info.HasInfo);
    json.Member("Mp3Pro", info.Mp3Pro);
    json.Member("EndingAbrupt", info.EndingAbrupt);
    json.Member("Id3v1Size", info.Id3v1Size);
    json.Member("ApeSize", info.ApeSize);
    json.Member("ApeOffset", info.ApeOffset);
    json.Member("LyricsSize", info.LyricsSize);
    json.Member("LyricsOffset", info.LyricsOffset);
    json.Member("RiffHeaderSize", info.RiffHeaderSize);
    Id3v2(json, model.Id3v2);
    Id3v1(json, info);
    json.Member("DurationSeconds", model.DurationSeconds);
    StringArray(json, "Warnings", result.Warnings);
    Display(json, result);
    if (frames)
        Frames(json, model);
    json.EndObject();
    json.Finish();
}

} // namespace zefrin
