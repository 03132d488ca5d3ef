// The opening driver judges the end of the stream by its loudness, which only decoding
// tells. The decoding layer implements this; the driver calls it for the last frames.
#pragma once

#include "EngineContext.h"
#include "StreamModel.h"

#include <string>

namespace zefrin {

class EndLevelAnalyser
{
  public:
    virtual ~EndLevelAnalyser() = default;
    // Decodes frames firstFrame .. endFrame - 1 of the opened stream from the file `fileName`
    // and fills their Level; honours StopRequested; raises the decoder's errors.
    virtual void AnalyseLevels(StreamModel& model, const EngineContext& context,
                               const std::string& fileName, int firstFrame, int endFrame) = 0;
};

} // namespace zefrin
