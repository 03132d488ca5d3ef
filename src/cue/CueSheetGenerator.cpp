#include "CueSheetGenerator.h"

#include "CueFiles.h"
#include "core/Errors.h"
#include "core/FileInformation.h"
#include "edit/SaveCommands.h"

#include <cstdio>
#include <filesystem>

namespace zefrin {

namespace {

namespace fs = std::filesystem;

// The name as a full path, so that the cue sheet still finds its audio file when it is read
// from another folder. Links are not resolved: the path is the one the file was opened by.
std::string FullPath(const std::string& fileName)
{
    std::error_code error;
    const fs::path absolute = fs::absolute(fs::path(fileName), error);
    if (error)
        return fileName;
    fs::path full;
    for (const fs::path& part : absolute) {
        if (part != ".")
            full /= part;
    }
    return full.string();
}

} // namespace

std::string CueSheetText(const FrameHeader& reference, const std::string& fileName,
                         const std::vector<int32_t>& starts)
{
    std::string text = "FILE \"" + fileName + "\" BINARY\r\n";
    int track = 0;
    for (const int32_t start : starts) {
        char number[16];
        std::snprintf(number, sizeof number, "%02d", ++track);
        text += std::string("  TRACK ") + number + " AUDIO\r\n";
        text += "    INDEX 01 " + FormatCueTime(reference, uint32_t(start)) + "\r\n";
    }
    return text;
}

std::string CueSheetName(const std::string& fileName)
{
    return fs::path(fileName).replace_extension(".cue").string();
}

CueGeneration GenerateCueSheet(StreamModel& model, const EngineContext& context,
                               FrameDecoder& decoder, const std::string& fileName, int32_t begin,
                               int32_t end, bool levelsCurrent)
{
    if (model.Info.FrameCount <= 0)
        throw Error("A cue sheet needs an opened and analysed file");

    CueGeneration generation;
    generation.CueName = CueSheetName(fileName);
    // An audio file that itself ends in ".cue" would be overwritten by its own cue sheet.
    if (generation.CueName == fileName || SameFile(generation.CueName, fileName))
        throw Error("The cue sheet of \"" + fileName + "\" would replace the file itself");

    if (!levelsCurrent) {
        AnalyseVolume(model, context, decoder, fileName, begin, model.Info.FrameCount - end, false,
                      &generation.Normalisation);
        generation.VolumeAnalysed = true;
    }

    generation.Starts = FindSplitPoints(model, context.Settings);
    WriteTextFile(generation.CueName,
                  CueSheetText(model.Info.Reference, FullPath(fileName), generation.Starts));
    return generation;
}

} // namespace zefrin
