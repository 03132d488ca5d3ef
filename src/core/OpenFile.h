// Opening a file: map it, peel off what is not MPEG audio (trailing tags, a WAV header, an
// ID3v2 tag), find where the audio really starts even in damaged files, scan it, refine the
// CBR/VBR judgement, rebase the frame offsets, prepare the seek and silent frames, judge the
// ending by its loudness, and describe the result.
#pragma once

#include "EndLevels.h"
#include "EngineContext.h"
#include "FileInformation.h"
#include "StreamModel.h"

#include <string>
#include <vector>

namespace zefrin {

// Fills the stream model from the mapped file. Warnings that the window shows in a box
// (the damage warning) are appended to `warnings`; failures raise Error.
void AnalyseFile(StreamModel& model, const EngineContext& context, const std::string& fileName,
                 const uint8_t* view, uint32_t size, EndLevelAnalyser& levels,
                 std::vector<std::string>& warnings);

struct OpenResult
{
    std::string EditName;              // the file's name without its folder
    std::vector<std::string> Warnings; // texts of the warning boxes the open shows
    FileInformation Display;           // what the information fields show
};

// Opens, analyses and describes one file. The mapping lives only during the call;
// AnalysisBusy brackets it and is cleared whatever happens.
OpenResult OpenFile(StreamModel& model, const EngineContext& context, const std::string& fileName,
                    EndLevelAnalyser& levels);

} // namespace zefrin
