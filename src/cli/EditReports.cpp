#include "EditReports.h"

#include "JsonWriter.h"
#include "TextEncoding.h"
#include "edit/Fades.h"

namespace zefrin {

namespace {

constexpr size_t LabelWidth = 18;

void Line(std::ostream& out, const std::string& label, const std::string& value)
{
    std::string line = label;
    line.resize(LabelWidth, ' ');
    out << line << value << '\n';
}

// "3 (+4.5dB)": the bar position and what PanelVolume shows for it.
std::string AmplificationLine(int32_t position)
{
    return std::to_string(position) + " (" + AmplificationText(position) + ")";
}

void Warnings(JsonWriter& json, const std::vector<std::string>& warnings)
{
    json.Key("Warnings").BeginArray();
    for (const std::string& warning : warnings)
        json.String(warning);
    json.EndArray();
}

} // namespace

void WriteSaveText(std::ostream& out, const SaveReport& report)
{
    const std::string name = ToPrintableUtf8(report.WrittenName);
    if (report.NothingToChange)
        Line(out, "Unchanged:", name + " (nothing to change)");
    else
        Line(out, "Written:", name);
    Line(out, "Trimmed:",
         std::to_string(report.Begin) + " frames at the beginning, " + std::to_string(report.End) +
             " at the end");
    Line(out, "Amplification:", AmplificationLine(report.Amplification));
    Line(out, "Output frames:", std::to_string(report.OutputFrameCount));
    Line(out, "Type:", report.Wav ? "MP3 in a WAV header" : "MP3");
    Line(out, "Predicted size:", std::to_string(report.PredictedSize) + " bytes");
    Line(out, "Actual size:", std::to_string(report.ActualSize) + " bytes");
}

void WriteSaveJson(std::ostream& out, const SaveReport& report)
{
    JsonWriter json(out);
    json.BeginObject();
    json.Member("WrittenName", report.WrittenName);
    json.Member("NothingToChange", report.NothingToChange);
    json.Member("InPlace", report.InPlace);
    json.Member("Wav", report.Wav);
    json.Member("Begin", report.Begin);
    json.Member("End", report.End);
    json.Member("Amplification", report.Amplification);
    json.Member("PanelVolume", AmplificationText(report.Amplification));
    json.Member("OutputFrameCount", report.OutputFrameCount);
    json.Member("PredictedSize", report.PredictedSize);
    json.Member("ActualSize", report.ActualSize);
    Warnings(json, report.Warnings);
    json.EndObject();
    json.Finish();
}

void WriteAnalyseText(std::ostream& out, const AnalyseReport& report)
{
    const NormalisationResult& n = report.Normalisation;
    Line(out, "Analysed frames:",
         std::to_string(report.FirstFrame) + " to " + std::to_string(report.EndFrame - 1) + " (" +
             std::to_string(report.EndFrame - report.FirstFrame) + " frames)");
    Line(out, "Peak amplitude:", std::to_string(n.PeakAmplitude));
    Line(out, "Normalisation:", n.PanelVolumeMax);
    Line(out, "Amplification:", AmplificationLine(n.AmplificationPosition));
}

void WriteAnalyseJson(std::ostream& out, const AnalyseReport& report)
{
    const NormalisationResult& n = report.Normalisation;
    JsonWriter json(out);
    json.BeginObject();
    json.Member("FirstFrame", report.FirstFrame);
    json.Member("EndFrame", report.EndFrame);
    json.Member("PeakAmplitude", n.PeakAmplitude);
    json.Member("Gain", n.Gain);
    json.Member("PanelVolumeMax", n.PanelVolumeMax);
    json.Member("AmplificationPosition", n.AmplificationPosition);
    json.Member("PanelVolume", AmplificationText(n.AmplificationPosition));
    json.Member("MarkerMoved", n.MarkerMoved);
    json.Member("ConversionErrors", n.ConversionErrors);
    Warnings(json, report.Warnings);
    json.EndObject();
    json.Finish();
}

} // namespace zefrin
