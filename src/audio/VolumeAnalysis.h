// How loud the frames of the opened stream are: decodes a range of frames, stores each
// frame's Level in the frame table and, on request, derives how far the kept part can be
// raised or must be lowered (the normalisation the window shows beside the amplification).
#pragma once

#include "FrameDecoder.h"
#include "core/EngineContext.h"
#include "core/StreamModel.h"

#include <array>
#include <cstdint>
#include <string>

namespace zefrin {

// Frames are decoded this many global-gain steps quieter than stored (a factor of 4 in
// amplitude, about 12 dB), so that loud material does not clip in the decoder; the
// normalisation arithmetic adds the steps back.
inline constexpr int AnalysisGainOffset = 8;

// Counter a = the number of samples whose absolute value is a (-32768 counts at 32768).
using AmplitudeHistogram = std::array<uint64_t, 32769>;

// What the window shows after a normalisation.
struct NormalisationResult
{
    uint32_t PeakAmplitude = 0;    // P, of the attenuated decode
    double Gain = 0.0;             // G in dB
    std::string PanelVolumeMax;    // "+6.1dB", "-6.0dB", or "-0dB" with increase-only
    int AmplificationPosition = 0; // where TrackBarAmplification goes
    // PanelVolumeNormalization is placed under AmplificationPosition and shown; false leaves
    // the marker as it was (increase-only with a negative gain).
    bool MarkerMoved = false;
    int32_t ConversionErrors = 0; // frames the decoder refused
};

// Decodes frames firstFrame .. endFrame - 1 of the opened stream from the file `fileName`
// through `decoder` and fills their Level. With levelsOnly false it then computes the
// normalisation into *result (left unchanged on failure; null is allowed). The range is
// limited to the frames of the stream. Sets AnalysisBusy for the run and clears it in every
// case; the decoder is closed in every case. Frames decoded before a failure keep their Level.
void AnalyseVolume(StreamModel& model, const EngineContext& context, FrameDecoder& decoder,
                   const std::string& fileName, int firstFrame, int endFrame, bool levelsOnly,
                   NormalisationResult* result);

// The normalisation of a run that decoded something: P from the histogram with the
// clipping-threshold setting, G for the target setting, and what the window shows. The
// increase-only setting turns a negative G into "-0dB", position 0 and an untouched marker.
// ConversionErrors is left 0. sampleTotal must be above 0.
NormalisationResult ComputeNormalisation(const AmplitudeHistogram& histogram, uint64_t sampleTotal,
                                         const SettingsRecord& settings);

// P: with k = 0 the highest amplitude present plus 1; with k > 0 (per mille of the samples
// allowed above the target) the amplitude a + 1 at which the samples from a upwards first make
// k per mille. 0 when there are no samples.
uint32_t PeakAmplitude(const AmplitudeHistogram& histogram, uint64_t sampleTotal, int k);

// G in dB for peak P of the attenuated decode and target index t (0, -3, ... -12 dB).
double NormalisationGain(uint32_t peak, int target);

// "+%.1fdB" for G >= 0, "%.1fdB" below; always with "." (the window may localise it).
std::string FormatNormalisationGain(double gain);

// The TrackBarAmplification position (8 down to -8) that brings peak P to target index t
// with a margin of about 0.05 dB below full scale.
int AmplificationStep(uint32_t peak, int target);

// Left edge of PanelVolumeNormalization under position p of a bar at barLeft, barWidth
// pixels wide, on a screen of pixelsPerInch.
int NormalisationMarkerLeft(int barLeft, int barWidth, int pixelsPerInch, int position);

} // namespace zefrin
