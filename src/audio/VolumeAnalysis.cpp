#include "VolumeAnalysis.h"

#include "core/Crc16.h"
#include "core/Errors.h"
#include "core/Progress.h"
#include "core/SourceFile.h"
#include "edit/GainChange.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <memory>

namespace zefrin {

namespace {

// No MPEG audio frame the header tables allow is longer than 2881 bytes (Layer II at 160
// kbit/s and 8 kHz, padded); a longer record is damage and stops the run.
constexpr uint32_t InputBufferSize = 4096;
constexpr uint32_t OutputBufferSize = 32768;
constexpr uint32_t OutputBufferSamples = OutputBufferSize / 2;

// Full scale with a margin of about 0.05 dB.
constexpr double AmplificationCeiling = 32957.0;

// Level is the sum of squares >> 16 of the attenuated decode. Layer I and II frames have no
// global gain to lower, so they are decoded as stored and their sum is divided by the
// square of the attenuation (4 x 4) as well, to keep one scale for every layer.
constexpr int LevelShiftAttenuated = 16;
constexpr int LevelShiftUnattenuated = 20;

std::string ConvertFailureText(uint32_t status)
{
    char text[48];
    std::snprintf(text, sizeof text, "acmStreamConvert failed (0x%04X)", status);
    return text;
}

} // namespace

void AnalyseVolume(StreamModel& model, const EngineContext& context, FrameDecoder& decoder,
                   const std::string& fileName, int firstFrame, int endFrame, bool levelsOnly,
                   NormalisationResult* result)
{
    const FrameHeader& reference = model.Info.Reference;
    const bool layerIII = reference.Layer == LayerIII;
    const int levelShift = layerIII ? LevelShiftAttenuated : LevelShiftUnattenuated;

    // Spin boxes without a valid value give -1; the table has no entries before 0 or past
    // the stream.
    const int frameLimit = std::clamp(model.Info.FrameCount, 0, int(model.Frames.Capacity()));
    const int first = std::clamp(firstFrame, 0, frameLimit);
    const int end = std::clamp(endFrame, first, frameLimit);
    const auto count = uint32_t(end - first);

    auto input = std::make_unique<uint8_t[]>(InputBufferSize);
    auto output = std::make_unique<int16_t[]>(OutputBufferSamples);
    auto histogram = std::make_unique<AmplitudeHistogram>();
    uint64_t sampleTotal = 0;
    int64_t highestLevel = 0;
    int32_t conversionErrors = 0;

    int handle = -1;
    const auto release = [&] {
        if (handle >= 0)
            CloseFile(handle);
        handle = -1;
        model.AnalysisBusy = false;
    };

    try {
        decoder.Open(reference.SampleRate, reference.ChannelMode == ChannelModeMono ? 1 : 2,
                     context.Texts);
        const bool showProgress = count >= 1000;
        if (showProgress) {
            SetProgressTotal(model, count);
            ShowProgress(model, context.Pump, 0);
        }
        handle = open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
        ZEFRIN_ASSERT("UnitMain", handle >= 0);
        model.AnalysisBusy = true;
        model.StopRequested = false;

        uint8_t* const frame = input.get();
        for (int i = first; i < end; ++i) {
            FrameRecord& record = model.Frames[uint32_t(i)];
            ZEFRIN_ASSERT("UnitMain", record.Length <= InputBufferSize &&
                                          (record.HeaderSize == 4 || record.HeaderSize == 6));
            SeekFile(handle, record.Offset);
            ReadExact(handle, frame, record.Length);

            // Only Layer III has global gains; the same bits of a Layer I or II frame are
            // allocation and scale data that must not change.
            if (layerIII) {
                ApplyGainChange(reference, frame + record.HeaderSize, -AnalysisGainOffset);
                FrameHeader own;
                if ((frame[1] & 1) == 0 && DecodeFrameHeader(own, LoadHeaderWord(frame)))
                    StoreFrameCrc(frame, FrameCrc(own, frame));
            }

            uint32_t sourceUsed = 0;
            uint32_t destUsed = 0;
            const uint32_t status =
                decoder.Convert(frame, record.Length, reinterpret_cast<uint8_t*>(output.get()),
                                OutputBufferSize, &sourceUsed, &destUsed);
            if (status == FrameDecoder::ConvertImpossible)
                ++conversionErrors;
            else if (status != FrameDecoder::ConvertOk)
                throw Error(ConvertFailureText(status));
            ZEFRIN_ASSERT("UnitMain", sourceUsed == record.Length);

            const uint32_t n = std::min(destUsed / 2, OutputBufferSamples);
            sampleTotal += n;
            uint64_t sum = 0;
            for (uint32_t j = 0; j < n; ++j) {
                const int s = output[j];
                ++(*histogram)[uint32_t(s < 0 ? -s : s)];
                sum += uint64_t(int64_t(s) * s);
            }
            // The sum is the frame's own: at most 16384 x 2^30, so Level stays below 2^28.
            record.Level = int64_t(sum >> levelShift);
            highestLevel = std::max(highestLevel, record.Level);

            if (showProgress)
                ShowProgress(model, context.Pump, uint32_t(i - first));
            if (i % 128 == 127)
                context.Pump.ProcessMessages();
            if (model.StopRequested)
                throw Error("Stopped at user request");
        }
        if (showProgress)
            ShowProgress(model, context.Pump, count);
    } catch (...) {
        release();
        decoder.Close(); // the first failure is the one to report
        throw;
    }
    release();
    if (decoder.Close() != 0)
        throw Error("acmStreamClose failed");

    if (levelsOnly)
        return;

    // The amplification can only be applied to Layer III, so other layers get no figure.
    if (!layerIII || (*histogram)[0] == sampleTotal || highestLevel == 0) {
        throw Error(layerIII
                        ? "Unable to determine the volume (the MP3 codec did not decode the file?)"
                        : "Unable to determine the volume (the file needs to be MPEG layer III)");
    }
    if (conversionErrors >= 2)
        throw Error("acm codec had trouble decoding the file");

    if (result != nullptr) {
        *result = ComputeNormalisation(*histogram, sampleTotal, context.Settings);
        result->ConversionErrors = conversionErrors;
    }
}

NormalisationResult ComputeNormalisation(const AmplitudeHistogram& histogram, uint64_t sampleTotal,
                                         const SettingsRecord& settings)
{
    // Indices out of the lists' ranges (a hand-edited settings file) are held to them.
    const int k = std::clamp(settings.ComboBoxNormalizeClippingThreshold, 0, 10);
    const int t = std::clamp(settings.ComboBoxNormlizeAt, 0, 4);

    NormalisationResult normalisation;
    normalisation.PeakAmplitude = PeakAmplitude(histogram, sampleTotal, k);
    normalisation.Gain = NormalisationGain(normalisation.PeakAmplitude, t);
    if (normalisation.Gain < 0 && settings.CheckBoxNormalizationIncOnly != 0) {
        normalisation.PanelVolumeMax = "-0dB";
        normalisation.AmplificationPosition = 0;
        normalisation.MarkerMoved = false;
    } else {
        normalisation.PanelVolumeMax = FormatNormalisationGain(normalisation.Gain);
        normalisation.AmplificationPosition = AmplificationStep(normalisation.PeakAmplitude, t);
        normalisation.MarkerMoved = true;
    }
    return normalisation;
}

uint32_t PeakAmplitude(const AmplitudeHistogram& histogram, uint64_t sampleTotal, int k)
{
    if (sampleTotal == 0)
        return 0;
    if (k <= 0) {
        for (uint32_t a = 32769; a-- > 0;) {
            if (histogram[a] != 0)
                return a + 1;
        }
        return 0;
    }
    // c x 1000 / total >= k, truncating, without the product overflowing.
    using Wide = unsigned __int128;
    uint64_t c = 0;
    for (uint32_t a = 32769; a-- > 0;) {
        c += histogram[a];
        if (Wide(c) * 1000 >= Wide(uint64_t(k)) * sampleTotal)
            return a + 1;
    }
    return 1;
}

double NormalisationGain(uint32_t peak, int target)
{
    return -(20.0 * std::log10(double(peak) / 32768.0) + 1.5 * AnalysisGainOffset) - 3.0 * target;
}

std::string FormatNormalisationGain(double gain)
{
    char text[32];
    std::snprintf(text, sizeof text, gain >= 0 ? "+%.1fdB" : "%.1fdB", gain);
    return text;
}

int AmplificationStep(uint32_t peak, int target)
{
    for (int p = 8; p > -8; --p) {
        if (double(peak) * std::exp2((p + AnalysisGainOffset + 2 * target) / 4.0) <
            AmplificationCeiling)
            return p;
    }
    return -8;
}

int NormalisationMarkerLeft(int barLeft, int barWidth, int pixelsPerInch, int position)
{
    const auto dpi = uint32_t(pixelsPerInch);
    return barLeft + int(MulDiv(11, dpi, 96)) +
           ((barWidth - int(MulDiv(24, dpi, 96))) * (position + 8)) / 16;
}

} // namespace zefrin
