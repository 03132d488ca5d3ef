// What save and analyse print: a few labelled lines of text, or one JSON object with the
// same figures. Warnings of the opening go to stderr with the text and into the object
// with --json, as info does.
#pragma once

#include "audio/VolumeAnalysis.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace zefrin {

struct SaveReport
{
    std::string WrittenName; // the file that holds the result
    bool NothingToChange = false;
    bool InPlace = false;
    bool Wav = false; // the result is wrapped in a WAV header
    int32_t Begin = 0;
    int32_t End = 0;
    int32_t Amplification = 0; // TrackBarAmplification
    int32_t OutputFrameCount = 0;
    int64_t PredictedSize = 0;
    int64_t ActualSize = 0; // of the file on disk after the save
    std::vector<std::string> Warnings;
};

void WriteSaveText(std::ostream& out, const SaveReport& report);
void WriteSaveJson(std::ostream& out, const SaveReport& report);

struct AnalyseReport
{
    int32_t FirstFrame = 0;
    int32_t EndFrame = 0; // one past the last frame analysed
    NormalisationResult Normalisation;
    std::vector<std::string> Warnings;
};

void WriteAnalyseText(std::ostream& out, const AnalyseReport& report);
void WriteAnalyseJson(std::ostream& out, const AnalyseReport& report);

} // namespace zefrin
