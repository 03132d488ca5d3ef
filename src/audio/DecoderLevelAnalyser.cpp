#include "DecoderLevelAnalyser.h"

#include "VolumeAnalysis.h"

namespace zefrin {

void DecoderLevelAnalyser::AnalyseLevels(StreamModel& model, const EngineContext& context,
                                         const std::string& fileName, int firstFrame, int endFrame)
{
    AnalyseVolume(model, context, m_decoder, fileName, firstFrame, endFrame, true, nullptr);
}

} // namespace zefrin
