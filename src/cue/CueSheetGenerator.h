// Finding the tracks inside one long file: the longest quiet stretches, one after another,
// each at least a minimum track length from the others, become track starts of a cue sheet
// written next to the audio file.
#pragma once

#include "audio/FrameDecoder.h"
#include "audio/VolumeAnalysis.h"
#include "core/EngineContext.h"
#include "core/StreamModel.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zefrin {

inline constexpr int MaxCueTracks = 99;

// Track starts (frame numbers, the first 0) from the frames' Level values and the
// SpinEditMinimumCueTrackLength setting; empty when the last rule removes the only start.
std::vector<int32_t> FindSplitPoints(const StreamModel& model, const SettingsRecord& settings);

// The cue sheet text: the FILE line naming fileName, then TRACK nn AUDIO / INDEX 01 mm:ss:hh
// for every start; lines end in CR LF.
std::string CueSheetText(const FrameHeader& reference, const std::string& fileName,
                         const std::vector<int32_t>& starts);

// The audio file's name with its extension replaced by ".cue".
std::string CueSheetName(const std::string& fileName);

struct CueGeneration
{
    std::string CueName;         // the file written
    std::vector<int32_t> Starts; // the track starts written
    bool VolumeAnalysed = false; // the volume analysis ran (Normalisation is valid)
    NormalisationResult Normalisation;
};

// GenerateCueSheet: writes the cue sheet of the opened, analysed file `fileName`. Unless
// levelsCurrent (a completed normalisation already left the kept frames' Levels, the window's
// marker showing), the volume analysis runs first over the frames begin .. FrameCount - end
// as the Auto volume button does. Raises Error when no analysed file is there, with the
// analysis' errors, and with the file's errors when the cue sheet cannot be written.
CueGeneration GenerateCueSheet(StreamModel& model, const EngineContext& context,
                               FrameDecoder& decoder, const std::string& fileName, int32_t begin,
                               int32_t end, bool levelsCurrent);

} // namespace zefrin
