#include "CueReports.h"

#include "TextEncoding.h"
#include "core/FileInformation.h"

#include <string>

namespace zefrin {

namespace {

constexpr size_t LabelWidth = 18;

void Line(std::ostream& out, const std::string& label, const std::string& value)
{
    std::string line = label;
    line.resize(LabelWidth, ' ');
    out << line << value << '\n';
}

} // namespace

void WriteCueText(std::ostream& out, const FrameHeader& reference, const CueGeneration& made)
{
    Line(out, "Written:", ToPrintableUtf8(made.CueName));
    Line(out, "Tracks:", std::to_string(made.Starts.size()));
    for (size_t i = 0; i < made.Starts.size(); ++i) {
        const std::string number = std::to_string(101 + i).substr(1);
        const auto start = uint32_t(made.Starts[i]);
        Line(out, "Track " + number + ":",
             FormatCueTime(reference, start) + " (frame " + std::to_string(start) + ")");
    }
}

void WriteSplitText(std::ostream& out, const SplitResult& result)
{
    // Names come from the cue sheet's TITLE and PERFORMER lines: any bytes at all.
    Line(out, "Cue sheet:",
         ToPrintableUtf8(result.CueName) +
             (result.CueFromTag ? " (embedded in the ID3v2 tag, removed again)" : ""));
    Line(out, "Folder:", ToPrintableUtf8(result.OutputFolder));
    for (const std::string& file : result.Files)
        Line(out, "Written:", ToPrintableUtf8(file));
}

} // namespace zefrin
