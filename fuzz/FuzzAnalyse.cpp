// libFuzzer target over everything that reads an opened file before decoding: the trailing
// tag probes, the ID3v2 reader, the WAV header probe and the whole opening analysis (damage
// recovery, scans, CBR/VBR refinement, seek and silent frames) followed by the information
// texts. A zefrin::Error is an expected outcome of bad data; a crash, a sanitizer report or
// any other exception is a finding.
#include "QuietEndLevels.h"
#include "core/Errors.h"
#include "core/EventPump.h"
#include "core/FileInformation.h"
#include "core/Id3v2Tag.h"
#include "core/MessageTexts.h"
#include "core/OpenFile.h"
#include "core/StreamModel.h"
#include "core/TrailingTags.h"
#include "core/WavHeader.h"
#include "settings/SettingsRecord.h"
#include "settings/SettingsTable.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace zefrin;

// The options that change the analysis, picked from the low bits of the input's length so
// that every combination is reached without taking bytes away from the file itself.
SettingsRecord SettingsFor(size_t size)
{
    SettingsRecord settings = DefaultSettings();
    if (size & 1)
        settings.CheckBoxFastSilenceDetection = 0;
    if (size & 2)
        settings.CheckBoxAllowPatchedStreams = -1;
    if (size & 4)
        settings.RadioGroupTrimAggressivity = 2;
    if (size & 8)
        settings.CheckBoxSmartCBR = 0;
    return settings;
}

void ProbeTrailingTags(const uint8_t* data, uint32_t size)
{
    StreamInfo info;
    ProbeId3v1(info, data, size);
    ProbeApeTag(info, data, size);
    ProbeLyrics3v2(info, data, size);
    ProbeLyrics3v1(info, data, size);
    if (size >= Id3v1RecordSize)
        ReadId3v1Fields(info.Id3v1);
}

void ReadTags(const uint8_t* data, uint32_t size)
{
    TID3v2 tag;
    tag.ReadId3v2(data, size);
    ProbeWavHeader(data, size);
}

void Analyse(const uint8_t* data, uint32_t size)
{
    static const MessageTexts texts;
    const SettingsRecord settings = SettingsFor(size);
    NullEventPump pump;
    const EngineContext context{settings, texts, pump};
    QuietEndLevels levels;
    // The window's table size, so that "File too big" is reachable with small inputs.
    StreamModel model(FrameTableCapacity);
    model.Info.FileSize = size;
    std::vector<std::string> warnings;
    try {
        AnalyseFile(model, context, "fuzz.mp3", data, size, levels, warnings);
        ShowFileInformation(model, texts);
    } catch (const zefrin::Error&) {
        // Refusing a file is a valid answer.
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > std::numeric_limits<uint32_t>::max())
        return 0;
    const auto size32 = uint32_t(size);
    ProbeTrailingTags(data, size32);
    ReadTags(data, size32);
    // An empty file never gets this far: mapping it fails first.
    if (size32 > 0)
        Analyse(data, size32);
    return 0;
}
