#include "SeekFrame.h"

#include "core/FrameScanner.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zefrin {

namespace {

constexpr int SeekTableEntries = 100;
constexpr uint32_t XingTagSize = 16 + SeekTableEntries;
constexpr uint32_t InfoTagSize = 16;
constexpr uint32_t XingFlags = 7; // frames, bytes and seek table
constexpr uint32_t InfoFlags = 3; // frames and bytes

void StoreBigEndian32(uint8_t* p, uint32_t value)
{
    p[0] = uint8_t(value >> 24);
    p[1] = uint8_t(value >> 16);
    p[2] = uint8_t(value >> 8);
    p[3] = uint8_t(value);
}

uint32_t ClampToUint32(int64_t value)
{
    return uint32_t(std::clamp<int64_t>(value, 0, std::numeric_limits<uint32_t>::max()));
}

uint32_t TagSize(const StreamInfo& info)
{
    return IsVariableBitrate(info) ? XingTagSize : InfoTagSize;
}

// The source's frame is kept only when it can hold the tag whole: a frame too short for it
// would cut the seek table off, and one longer than the copy would be written from beyond it.
bool KeepsSourceFrame(const StreamInfo& info, const SettingsRecord& settings)
{
    const FrameHeader& header = info.ExtraInfoHeader;
    return info.HasExtraInfo && settings.CheckBoxKeepExtraInfo != 0 &&
           header.FrameLength <= ExtraInfoFrameSize &&
           header.SideInfoEnd + TagSize(info) <= header.FrameLength;
}

// Entry k is the position of the first output frame at k percent of the output, scaled to
// 0..255 over the bytes of the audio. The positions count every frame written before it:
// silent frames inserted in front, the copied frames, silent frames appended. Copied frames
// are taken from the records of the copied range only, never from records beyond it.
void FillSeekTable(uint8_t* table, const StreamModel& model, const EditState& state,
                   uint32_t frameLength, int32_t firstFrame, int64_t audioBytes)
{
    const int64_t outputFrames = std::max<int32_t>(state.OutputFrameCount, 0);
    const int64_t silenceBegin = std::max(state.AddSilenceBeginFrames, 0);
    const int64_t silenceEnd = std::max(state.AddSilenceEndFrames, 0);
    const int64_t available =
        firstFrame >= 0 ? std::max<int64_t>(model.Info.FrameCount - firstFrame, 0) : 0;
    const int64_t copied =
        std::clamp<int64_t>(outputFrames - silenceBegin - silenceEnd, 0, available);
    const int64_t silentLength = model.Info.SilentFrameHeader.FrameLength;

    int64_t position = frameLength;
    int64_t frame = 0;
    for (int k = 0; k < SeekTableEntries; ++k) {
        // The first frame i with i x 100 / outputFrames >= k, never past the last frame.
        const int64_t wanted =
            std::min((k * outputFrames + SeekTableEntries - 1) / SeekTableEntries,
                     std::max<int64_t>(outputFrames - 1, 0));
        for (; frame < wanted; ++frame) {
            const int64_t copiedIndex = frame - silenceBegin;
            if (copiedIndex >= 0 && copiedIndex < copied)
                position += model.Frames[uint32_t(firstFrame + copiedIndex)].Length;
            else
                position += silentLength;
        }
        const int64_t scaled = audioBytes > 0 ? position * 256 / audioBytes : 0;
        table[k] = uint8_t(std::min<int64_t>(scaled, 255));
    }
}

} // namespace

bool SeekFrameWanted(const StreamModel& model, const SettingsRecord& settings)
{
    const StreamInfo& info = model.Info;
    if (settings.CheckBoxNoExtraInfoInMPEG2 != 0 && info.Reference.Version == VersionMpeg2)
        return false;
    const bool seekTable = IsVariableBitrate(info) && info.FrameCount >= 256 &&
                           (info.HasXing || settings.CheckBoxCreateVBRseekInfo != 0);
    return seekTable || (info.HasExtraInfo && settings.CheckBoxKeepExtraInfo != 0);
}

uint32_t SeekFrameLength(const StreamInfo& info, const SettingsRecord& settings)
{
    return KeepsSourceFrame(info, settings) ? info.ExtraInfoHeader.FrameLength
                                            : info.SeekFrameHeader.FrameLength;
}

void BuildSeekFrame(SeekFrame& out, const StreamModel& model, const SettingsRecord& settings,
                    const EditState& state, int32_t firstFrame, int64_t tagBytes)
{
    const StreamInfo& info = model.Info;
    const bool xing = IsVariableBitrate(info);
    uint8_t* frame = out.NewSeekFrame.data();
    out.NewSeekFrame.fill(0);

    if (KeepsSourceFrame(info, settings)) {
        out.NewSeekFrameHeader = info.ExtraInfoHeader;
        std::memcpy(frame, info.ExtraInfoFrame.data(), info.ExtraInfoHeader.FrameLength);
    } else {
        out.NewSeekFrameHeader = info.SeekFrameHeader;
        StoreHeaderWord(frame, info.SeekFrameHeader.Raw);
    }

    uint8_t* tag = frame + out.NewSeekFrameHeader.SideInfoEnd;
    std::memcpy(tag, xing ? "Xing" : "Info", 4);
    StoreBigEndian32(tag + 4, xing ? XingFlags : InfoFlags);
    StoreBigEndian32(tag + 8, ClampToUint32(int64_t(state.OutputFrameCount) + 1));
    const int64_t audioBytes = state.PredictedSize - tagBytes;
    StoreBigEndian32(tag + 12, ClampToUint32(audioBytes));
    if (xing) {
        FillSeekTable(tag + 16, model, state, out.NewSeekFrameHeader.FrameLength, firstFrame,
                      audioBytes);
    }
}

bool SeekFrameChanged(const SeekFrame& frame, const StreamInfo& info)
{
    if (!info.HasExtraInfo)
        return false;
    const uint32_t length = frame.NewSeekFrameHeader.FrameLength;
    if (length != info.ExtraInfoHeader.FrameLength)
        return true;
    const uint32_t compared = std::min<uint32_t>(length, ExtraInfoFrameSize);
    return std::memcmp(frame.NewSeekFrame.data(), info.ExtraInfoFrame.data(), compared) != 0;
}

} // namespace zefrin
