#include "OpenedFile.h"

#include "InfoCommand.h"
#include "audio/DecoderLevelAnalyser.h"

#include <filesystem>

namespace zefrin {

namespace {

uint32_t FrameTableCapacityFor(const std::string& fileName)
{
    // A file that cannot be measured fails in the open, with the window's own text.
    std::error_code error;
    const auto size = std::filesystem::file_size(fileName, error);
    return DefaultFrameTableCapacity(error ? 0 : size);
}

} // namespace

OpenedFile::OpenedFile(const std::string& fileName, const SettingsRecord& settings,
                       std::ostream& err, bool progress)
    : FileName(fileName)
    , Settings(settings)
    , Pump(err, progress)
    , Context{Settings, Texts, Pump}
    , Model(std::make_unique<StreamModel>(FrameTableCapacityFor(fileName)))
{
    DecoderLevelAnalyser levels(Decoder);
    Result = OpenFile(*Model, Context, FileName, levels);
    Pump.Finish();
}

NormalisationResult OpenedFile::AutoVolume(int32_t begin, int32_t end)
{
    NormalisationResult result;
    AnalyseVolume(*Model, Context, Decoder, FileName, begin, Model->Info.FrameCount - end, false,
                  &result);
    Pump.Finish();
    return result;
}

} // namespace zefrin
