// One file opened the way the window opens it, for the commands that edit or measure it:
// the settings, the message texts, the event pump, the stream model with a frame table sized
// to the file, and the decoder that judged the ending and serves the volume analysis. The
// members refer to each other, so the object stays where it was made.
#pragma once

#include "CliEventPump.h"
#include "audio/VolumeAnalysis.h"
#include "core/EngineContext.h"
#include "core/OpenFile.h"
#include "core/StreamModel.h"
#include "platform/Mp3FrameDecoder.h"

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

namespace zefrin {

class OpenedFile
{
  public:
    // Opens and analyses `fileName` (OpenFile with the decoder's level analysis). The
    // damage warnings of the opening are in Result.Warnings. Failures raise Error.
    OpenedFile(const std::string& fileName, const SettingsRecord& settings, std::ostream& err,
               bool progress);
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    // The volume group's Auto button: the volume analysis of the frames the trimming points
    // keep, and the normalisation it proposes. Failures raise Error with the analysis' texts.
    NormalisationResult AutoVolume(int32_t begin, int32_t end);

    const std::string FileName;
    const SettingsRecord Settings;
    const MessageTexts Texts;
    CliEventPump Pump;
    const EngineContext Context;
    std::unique_ptr<StreamModel> Model;
    Mp3FrameDecoder Decoder;
    OpenResult Result;
};

} // namespace zefrin
