#include "TextFormatter.h"

#include "TextEncoding.h"

#include <cstdio>

namespace zefrin {

namespace {

// Label and value in two columns; values that come from the file are made printable.
void Field(std::ostream& out, const char* indent, const char* label, int width,
           const std::string& value)
{
    std::string line = std::string(indent) + label;
    if (!value.empty()) {
        line.resize(std::string(indent).size() + size_t(width), ' ');
        line += ToPrintableUtf8(value);
    }
    out << line << '\n';
}

void List(std::ostream& out, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        out << "    " << ToPrintableUtf8(line) << '\n';
}

void TagPageText(std::ostream& out, const char* title, const TagPage& page)
{
    out << '\n' << title << '\n';
    constexpr int Width = 10;
    Field(out, "  ", "Title:", Width, page.Title);
    Field(out, "  ", "Artist:", Width, page.Artist);
    Field(out, "  ", "Album:", Width, page.Album);
    Field(out, "  ", "Year:", Width, page.Year);
    Field(out, "  ", "Comment:", Width, page.Comment);
    Field(out, "  ", "Genre:", Width, page.Genre);
}

void FrameList(std::ostream& out, const StreamModel& model)
{
    out << "\nFrame list\n";
    out << "  Frame     Offset  Length  Header     CRC  Silent  Reservoir       Level\n";
    const auto count = uint32_t(model.Info.FrameCount);
    for (uint32_t i = 0; i < count; ++i) {
        const FrameRecord& r = model.Frames[i];
        char line[128];
        std::snprintf(line, sizeof line, "  %5u %10u %7u %7u  0x%04X  %6s %10d %11lld\n", i,
                      r.Offset, r.Length, unsigned(r.HeaderSize), unsigned(r.Crc),
                      r.Silent ? "yes" : "no", int(r.ReservoirDepth),
                      static_cast<long long>(r.Level));
        out << line;
    }
}

} // namespace

void WriteInfoText(std::ostream& out, const StreamModel& model, const OpenResult& result,
                   bool frames)
{
    const FileInformation& shown = result.Display;
    // In the order of the window's information group.
    constexpr int MainWidth = 10;
    Field(out, "", "Bitrate:", MainWidth, shown.EditBitrate);
    Field(out, "", "Ending:", MainWidth, shown.EditEnding);
    Field(out, "", "Type:", MainWidth, shown.EditType);
    Field(out, "", "Length:", MainWidth, shown.EditLength);
    Field(out, "", "ID3:", MainWidth, shown.EditID3);
    Field(out, "", "CRC:", MainWidth, shown.EditCRC);

    constexpr int FramesWidth = 26;
    out << "\nFrames\n";
    Field(out, "  ", "First frame missing:", FramesWidth, shown.LabelFirstFrameMissing);
    Field(out, "  ", "First frames invalid:", FramesWidth, shown.LabelFirstFrameInvalid);
    Field(out, "  ", "Last frame incomplete:", FramesWidth, shown.LabelLastFrameIncomplete);
    Field(out, "  ", "Missing frame headers:", FramesWidth, shown.LabelNumberMissingFH);
    Field(out, "  ", "Average bitrate:", FramesWidth, shown.LabelNumberAverageBitrate);
    Field(out, "  ", "Frame headers:", FramesWidth, shown.LabelNumberFH);
    Field(out, "  ", "Memory usage:", FramesWidth, shown.LabelMemoryUsage);
    Field(out, "  ", "WAV embedded:", FramesWidth, shown.LabelWAVembedded);

    out << "\nErrors\n  Inconsistent header fields:\n";
    List(out, shown.ListBoxInconsistent);

    TagPageText(out, "ID3v1", shown.Id3v1);
    TagPageText(out, "ID3v2", shown.Id3v2);

    out << "\nMissing FHs\n";
    List(out, shown.ListBoxMissingFH);

    if (frames)
        FrameList(out, model);
}

void WriteWarning(std::ostream& err, const std::string& text)
{
    std::string printable = ToPrintableUtf8(text, true);
    if (printable.empty() || printable.back() != '\n')
        printable += '\n';
    err << "warning: " << printable;
}

} // namespace zefrin
