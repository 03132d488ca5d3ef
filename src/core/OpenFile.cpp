#include "OpenFile.h"

#include "Crc16.h"
#include "Errors.h"
#include "FrameScanner.h"
#include "SourceFile.h"
#include "TrailingTags.h"
#include "WavHeader.h"

#include <algorithm>

namespace zefrin {

namespace {

constexpr int MaxAttempts = 25;
constexpr int64_t QuietLevel = 12;

void PrepareSeekFrameHeader(StreamInfo& info)
{
    // Room for "Xing", flags, frame count, byte count, a 100-entry table and a quality word.
    constexpr uint32_t SeekPayload = 4 + 4 + 4 + 4 + 100 + 4;
    uint32_t raw = (info.Reference.Raw & 0xCF0FFFFF) | 0x100100;
    FrameHeader& header = info.SeekFrameHeader;
    bool valid = DecodeFrameHeader(header, raw);
    while (!valid || header.FrameLength < header.SideInfoEnd + SeekPayload) {
        const uint32_t index = (raw >> 20) & 15;
        ZEFRIN_ASSERT("UnitMain", index < 15);
        raw = (raw & ~BitrateMask) | ((index + 1) << 20);
        valid = DecodeFrameHeader(header, raw);
    }
    ZEFRIN_ASSERT("UnitMain", header.FrameLength <= ExtraInfoFrameSize);
}

void PrepareSilentFrame(StreamInfo& info)
{
    uint32_t raw = info.Reference.Raw & ~PaddingBit;
    FrameHeader& header = info.SilentFrameHeader;
    if (IsVariableBitrate(info)) {
        // The lowest bitrate whose frame still holds a side information: the scanner (and
        // any player) takes a shorter one for no frame at all.
        for (uint32_t index = 1; index <= 14; ++index) {
            raw = (raw & ~BitrateMask) | (index << 20);
            if (DecodeFrameHeader(header, raw) && header.FrameLength > header.SideInfoEnd)
                break;
        }
    }
    ZEFRIN_ASSERT("UnitMain", DecodeFrameHeader(header, raw));
    ZEFRIN_ASSERT("UnitMain", header.FrameLength <= ExtraInfoFrameSize);
    uint8_t* frame = info.SilentFrame.data();
    info.SilentFrame.fill(0);
    StoreHeaderWord(frame, raw);
    // Layer III: no Huffman data at all, zero side information and main data bytes of 0xFF.
    // Layers I and II: every bit allocation 0 is silence, so the frame stays zero; 0xFF
    // there would be allocations a decoder refuses.
    if (header.Layer == LayerIII && header.FrameLength > header.SideInfoEnd)
        std::fill(frame + header.SideInfoEnd, frame + header.FrameLength, uint8_t(0xFF));
    if (header.HasCrc)
        StoreFrameCrc(frame, FrameCrc(header, frame));
}

void JudgeEnding(StreamModel& model, const EngineContext& context, const std::string& fileName,
                 EndLevelAnalyser& levels)
{
    StreamInfo& info = model.Info;
    const int32_t count = info.FrameCount;
    if (context.Settings.RadioGroupTrimAggressivity == 2 && count >= 510) {
        levels.AnalyseLevels(model, context, fileName, count - 505, count);
        for (int32_t i = count - 500; i < count; ++i) {
            FrameRecord& r = model.Frames[uint32_t(i)];
            if (r.Level < QuietLevel)
                r.Silent = true;
        }
    } else {
        levels.AnalyseLevels(model, context, fileName, std::max(0, count - 105), count);
    }
    info.EndingAbrupt = true;
    for (int32_t i = std::max(0, count - 100); i < count; ++i) {
        if (model.Frames[uint32_t(i)].Level < QuietLevel) {
            info.EndingAbrupt = false;
            break;
        }
    }
}

} // namespace

void AnalyseFile(StreamModel& model, const EngineContext& context, const std::string& fileName,
                 const uint8_t* view, uint32_t size, EndLevelAnalyser& levels,
                 std::vector<std::string>& warnings)
{
    StreamInfo& info = model.Info;
    info.Id3v1Size = ProbeId3v1(info, view, size);
    size -= uint32_t(info.Id3v1Size);
    info.ApeSize = ProbeApeTag(info, view, size);
    size -= uint32_t(info.ApeSize);
    info.LyricsSize = ProbeLyrics3v2(info, view, size);
    if (info.LyricsSize == 0)
        info.LyricsSize = ProbeLyrics3v1(info, view, size);
    size -= uint32_t(info.LyricsSize);

    info.RiffHeaderSize = int32_t(ProbeWavHeader(view, size));
    const uint8_t* start = view + info.RiffHeaderSize;
    size -= uint32_t(info.RiffHeaderSize);
    uint32_t skipped = uint32_t(info.RiffHeaderSize);

    model.Id3v2.ReadId3v2(start, size);
    const auto id3v2Size = uint32_t(model.Id3v2.TotalSize);
    start += id3v2Size;
    size -= id3v2Size;
    skipped += id3v2Size;

    for (int attempt = 1;; ++attempt) {
        info.FirstFramesInvalid = attempt > 1;
        ScanFrames(model, context, start, size, 0);
        const int32_t count = info.FrameCount;
        if (int64_t(size / 2000) < count && count >= 5 &&
            int64_t(info.MissingHeaderCount) * 9 < int64_t(count) * 8)
            break;
        uint32_t skip = model.Frames[0].Offset + 4;
        if (attempt >= 4)
            skip += 4u << (attempt - 4);
        skipped += skip;
        start += skip;
        if (size < uint64_t(skip) + 100 || attempt == MaxAttempts)
            throw Error(context.Texts.MessageStrings[10]);
        size -= skip;
    }

    if (IsVariableBitrate(info) && context.Settings.CheckBoxSmartCBR != 0 && !info.HasXing) {
        const int dominant = DominantBitrateIndex(info);
        if (dominant != 0)
            ScanFrames(model, context, start, size, dominant);
    }

    if (uint64_t(skipped) > uint64_t(id3v2Size) + uint32_t(info.RiffHeaderSize) + 1000)
        warnings.push_back(JoinMessageLines(context.Texts.MessageDlgRemovedBeginning));

    if (skipped > 0) {
        for (int32_t i = 0; i <= info.FrameCount + 1; ++i)
            model.Frames[uint32_t(i)].Offset += skipped;
    }

    PrepareSeekFrameHeader(info);
    PrepareSilentFrame(info);
    JudgeEnding(model, context, fileName, levels);
}

OpenResult OpenFile(StreamModel& model, const EngineContext& context, const std::string& fileName,
                    EndLevelAnalyser& levels)
{
    OpenResult result;
    const size_t slash = fileName.find_last_of('/');
    result.EditName = slash == std::string::npos ? fileName : fileName.substr(slash + 1);

    SourceFile file = OpenAndMapFile(fileName, false, true, context.Texts);
    model.Info.FileSize = file.Size;
    model.Info.FileTimeSeconds = file.FileTimeSeconds;
    model.Info.FileTimeNanoseconds = file.FileTimeNanoseconds;
    model.AnalysisBusy = true;
    model.StopRequested = false;
    // The mapping goes with `file` on every way out.
    try {
        AnalyseFile(model, context, fileName, file.View, file.Size, levels, result.Warnings);
        result.Display = ShowFileInformation(model, context.Texts);
    } catch (...) {
        model.AnalysisBusy = false;
        throw;
    }
    model.AnalysisBusy = false;
    return result;
}

} // namespace zefrin
