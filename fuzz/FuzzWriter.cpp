// libFuzzer target over the writer's memory output, the road of the internal preview and the
// one output whose room is fixed in advance. The first ParameterBytes of an input are the
// edits and the settings, the rest is the file: it is opened as the window opens it, the
// figures of the result are brought up to date as every change of a trimming point does, and
// the writer puts the result into a buffer that lies between guard bytes.
//
// Findings, besides a crash or a sanitizer report: a guard byte or a byte past the reported
// count changed; an error other than a refused file or "Output buffer too small"; a refusal
// of an output that fits, or an output that does not fit and was not refused; a byte count
// other than the frames, silence and tags asked for, or other than the size prediction; and,
// with cleanup, an output in which the scanner does not find the written frames one after
// another.
#include "QuietEndLevels.h"
#include "core/Errors.h"
#include "core/EventPump.h"
#include "core/FrameHeader.h"
#include "core/FrameScanner.h"
#include "core/MessageTexts.h"
#include "core/OpenFile.h"
#include "core/StreamModel.h"
#include "edit/EditState.h"
#include "edit/FileWriter.h"
#include "edit/OutputSink.h"
#include "edit/SaveCommands.h"
#include "edit/SeekFrame.h"
#include "edit/TrimFigures.h"
#include "settings/SettingsRecord.h"
#include "settings/SettingsTable.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

using namespace zefrin;

// Input layout: the bytes below, then the file.
enum ParameterByte : size_t {
    BeginByte,  // frames trimmed at the beginning, modulo the frames there are
    EndByte,    // frames trimmed at the end, modulo the frames left
    GainByte,   // amplification -8..8
    FadeInByte, // fade positions 0..32
    FadeOutByte,
    SilenceByte,  // add-silence list entries: low nibble beginning, high nibble end
    FlagsByte,    // see WriterFlag
    OptionsByte,  // see OptionFlag
    AnalysisByte, // low nibble: analysis settings; high nibble: how the capacity is chosen
    CapacityByte, // the small capacities
    ParameterBytes
};

enum WriterFlag : uint8_t {
    Cleanup = 1,
    KeepApe = 2,
    KeepId3v2 = 4,
    WriteId3v1 = 8,
    AllowSeekFrame = 16,
    SaveWav = 32,
    KeepExtraInfo = 64,
    CreateSeekInfo = 128,
};

enum OptionFlag : uint8_t {
    FadeDepthBits = 3,
    Id3v1ModeShift = 2, // two bits; 3 reads as 2
    RemoveLastFrame = 16,
    NoExtraInfoInMpeg2 = 32,
    AllowPatchedStreams = 64,
    OtherFileType = 128, // Save As chose the file type the settings do not preset
};

// The internal player's buffer.
constexpr size_t PreviewCapacity = 560000;
constexpr size_t GuardBytes = 64;
constexpr uint8_t Untouched = 0xA5;

[[noreturn]] void Finding(const char* what, const std::string& detail = {})
{
    std::fprintf(stderr, "fuzz-writer finding: %s %s\n", what, detail.c_str());
    __builtin_trap();
}

int32_t Flag(bool on)
{
    return on ? -1 : 0;
}

SettingsRecord SettingsFor(const uint8_t* p)
{
    SettingsRecord settings = DefaultSettings();
    const uint8_t flags = p[FlagsByte];
    const uint8_t options = p[OptionsByte];
    const uint8_t analysis = p[AnalysisByte];
    settings.CheckBoxCleanup = Flag(flags & Cleanup);
    settings.CheckBoxKeepID3v2 = Flag(flags & KeepId3v2);
    settings.CheckBoxSaveWAV = Flag(flags & SaveWav);
    settings.CheckBoxKeepExtraInfo = Flag(flags & KeepExtraInfo);
    settings.CheckBoxCreateVBRseekInfo = Flag(flags & CreateSeekInfo);
    settings.ComboBoxFadeDepth = options & FadeDepthBits;
    settings.RadioButtonID3Remove = uint8_t(std::min((options >> Id3v1ModeShift) & 3, 2));
    settings.CheckBoxRemoveLastFrame = Flag(options & RemoveLastFrame);
    settings.CheckBoxNoExtraInfoInMPEG2 = Flag(options & NoExtraInfoInMpeg2);
    settings.CheckBoxAllowPatchedStreams = Flag(options & AllowPatchedStreams);
    settings.ComboBoxAddSilenceBeginning = p[SilenceByte] & 15;
    settings.ComboBoxAddSilenceEnd = p[SilenceByte] >> 4;
    settings.RadioGroupTrimAggressivity = std::min(analysis & 3, 2);
    settings.CheckBoxFastSilenceDetection = Flag(analysis & 4);
    settings.CheckBoxSmartCBR = Flag(analysis & 8);
    return settings;
}

// The opening and the writer read the file by its name, as in the window: one file per
// process, rewritten for every input. Its folder entry goes at once and the name used is the
// descriptor's, so that a process that is killed or crashes (libFuzzer's -fork jobs end that
// way) leaves nothing behind.
class BodyFile
{
  public:
    BodyFile()
    {
        const char* folder = std::getenv("TMPDIR");
        std::string name = std::string(folder != nullptr && *folder != 0 ? folder : "/tmp") +
                           "/zefrin-fuzz-writer.XXXXXX";
        m_handle = mkostemp(name.data(), O_CLOEXEC);
        if (m_handle < 0)
            Finding("cannot create the input file", name);
        unlink(name.c_str());
        m_name = "/proc/self/fd/" + std::to_string(m_handle);
    }
    ~BodyFile() { close(m_handle); }
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;

    void Write(const uint8_t* data, size_t size)
    {
        if (ftruncate(m_handle, 0) != 0)
            Finding("cannot empty the input file");
        size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(m_handle, data + done, size - done, off_t(done));
            if (n <= 0)
                Finding("cannot write the input file");
            done += size_t(n);
        }
    }
    const std::string& Name() const { return m_name; }

  private:
    std::string m_name;
    int m_handle = -1;
};

// What the writer must put into memory, worked out from the model without the writer: the
// seek frame, the silence and the copied frames (the frame region), then the trailing tags.
struct ExpectedOutput
{
    int64_t Bytes = 0;
    int64_t FrameRegion = 0;  // bytes of the frame region that the scanner must walk cleanly
    int32_t RegionFrames = 0; // frames written there, the seek frame included
    int32_t AudioFrames = 0;  // of those, frames that are not the seek frame
};

ExpectedOutput Expect(const StreamModel& model, const SettingsRecord& settings,
                      const EditState& state, const WriteParameters& p)
{
    const StreamInfo& info = model.Info;
    ExpectedOutput out;
    const bool seekFrame = p.AllowSeekFrame && SeekFrameWanted(model, settings);
    const int64_t silentLength = info.SilentFrameHeader.FrameLength;
    const int64_t lead = (seekFrame ? SeekFrameLength(info, settings) : 0) +
                         int64_t(p.SilenceBeginFrames) * silentLength;

    int64_t copied = 0;
    int64_t wholeFrames = 0; // bytes of the copied frames up to the incomplete tail
    if (p.CopyCount > 0) {
        const FrameRecord& first = model.Frames[uint32_t(p.FirstFrame)];
        const FrameRecord& last = model.Frames[uint32_t(p.FirstFrame + p.CopyCount - 1)];
        for (int32_t i = 0; i < p.CopyCount; ++i)
            copied += model.Frames[uint32_t(p.FirstFrame + i)].Length;
        wholeFrames = copied - (state.IncludeIncompleteTail != 0 ? last.Length : 0);
        if (!p.Cleanup)
            copied = int64_t(last.Offset) + last.Length - first.Offset;
    }
    const int64_t endSilence = int64_t(p.SilenceEndFrames) * silentLength;

    int64_t id3v1 = 0;
    if (settings.RadioButtonID3Remove != 0) {
        id3v1 = int64_t(info.Id3v1Size) * model.TagsKept;
        if (settings.RadioButtonID3Remove == 2 && id3v1 == 0)
            id3v1 = 128;
    }
    out.Bytes = lead + copied + endSilence + info.LyricsSize + (p.KeepApe ? info.ApeSize : 0) +
                (p.WriteId3v1 ? id3v1 : 0);

    // The incomplete tail is copied as it is, whatever it holds: it is no frame, and with
    // silence after it the scanner would take it for one that runs on into the silence. The
    // frame region then ends where the tail starts.
    const int32_t tail = state.IncludeIncompleteTail != 0 && p.CopyCount > 0 ? 1 : 0;
    out.AudioFrames = p.SilenceBeginFrames + p.CopyCount - tail + (tail ? 0 : p.SilenceEndFrames);
    out.RegionFrames = out.AudioFrames + (seekFrame ? 1 : 0);
    out.FrameRegion = lead + wholeFrames + (tail ? 0 : endSilence);
    return out;
}

size_t CapacityFor(const uint8_t* p, int64_t needed)
{
    const size_t small = p[CapacityByte];
    const auto exact = size_t(std::max<int64_t>(needed, 0));
    switch (p[AnalysisByte] >> 4) {
    case 8:
        return small;
    case 9:
        return small * 16;
    case 10:
        return exact > 0 ? exact - 1 : 0;
    case 11:
        return exact;
    case 12:
        return exact + 1;
    case 13:
        return 0;
    case 14:
        return small * 256;
    default:
        return PreviewCapacity;
    }
}

// The buffer the writer gets, inside a larger block whose other bytes must stay as they are.
// The block is kept from input to input and compared with a block of untouched bytes, so
// that the fuzzer's time goes to the writer and not to the buffer.
class GuardedBuffer
{
  public:
    void Prepare(size_t capacity)
    {
        m_capacity = capacity;
        const size_t size = capacity + 2 * GuardBytes;
        if (m_block.size() < size) {
            m_block.resize(size);
            m_untouched.assign(size, Untouched);
        }
        std::memset(m_block.data(), Untouched, size);
    }
    uint8_t* Data() { return m_block.data() + GuardBytes; }
    size_t Capacity() const { return m_capacity; }

    void CheckGuards() const
    {
        if (!Unchanged(0, GuardBytes))
            Finding("guard before the buffer changed");
        if (!Unchanged(GuardBytes + m_capacity, GuardBytes))
            Finding("guard after the buffer changed");
    }
    // After a successful write: the room past what the writer says it wrote.
    void CheckRoomAfter(size_t written) const
    {
        if (!Unchanged(GuardBytes + written, m_capacity - written))
            Finding("bytes past the reported count changed");
    }

  private:
    bool Unchanged(size_t at, size_t count) const
    {
        return std::memcmp(m_block.data() + at, m_untouched.data(), count) == 0;
    }

    size_t m_capacity = 0;
    std::vector<uint8_t> m_block;
    std::vector<uint8_t> m_untouched;
};

// The scanner's test for an extra-information frame at the start of a stream.
bool StartsWithTag(const uint8_t* output, uint32_t size)
{
    FrameHeader header;
    if (size < 4 || !DecodeFrameHeader(header, LoadHeaderWord(output)))
        return false;
    for (uint32_t at : {header.SideInfoEnd, header.SideInfoEnd - 2}) {
        if (at + 4 <= size &&
            (std::memcmp(output + at, "Xing", 4) == 0 || std::memcmp(output + at, "Info", 4) == 0))
            return true;
    }
    return false;
}

// With cleanup the frame region holds whole frames back to back, so the scanner must find
// every one of them at once: no missing header, nothing before the first or after the last.
void Rescan(const uint8_t* output, const ExpectedOutput& expected, const EngineContext& context)
{
    // A stream without audio frames is not one the scanner accepts.
    if (expected.AudioFrames == 0)
        return;
    // A copied frame with a "Xing" or "Info" tag after its side information is audio where it
    // stood in the source, but first in the output the scanner takes it for an
    // extra-information frame (which the count below allows for); alone, it leaves the
    // scanner no audio to find.
    if (expected.RegionFrames == 1 && StartsWithTag(output, uint32_t(expected.FrameRegion)))
        return;
    StreamModel model(uint32_t(expected.RegionFrames) + 8);
    try {
        ScanFrames(model, context, output, uint32_t(expected.FrameRegion), 0);
    } catch (const Error& failure) {
        Finding("rescan of the output failed:", failure.what());
    }
    const StreamInfo& info = model.Info;
    // The scanner does not count a "Xing" or "Info" frame at the start as audio: the seek
    // frame, or a copied frame that carries such a tag and now comes first.
    const int32_t found = info.FrameCount + (info.HasExtraInfo ? 1 : 0);
    if (info.MissingHeaderCount != 0 || info.FirstFrameMissing || info.LastFrameIncomplete ||
        found != expected.RegionFrames) {
        Finding("rescan differs:", "frames " + std::to_string(found) + " of " +
                                       std::to_string(expected.RegionFrames) + ", missing " +
                                       std::to_string(info.MissingHeaderCount) +
                                       ", first missing " + std::to_string(info.FirstFrameMissing) +
                                       ", incomplete " + std::to_string(info.LastFrameIncomplete));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size <= ParameterBytes || size > (size_t(1) << 24))
        return 0;
    const uint8_t* p = data;
    static BodyFile body;
    body.Write(data + ParameterBytes, size - ParameterBytes);

    static const MessageTexts texts;
    const SettingsRecord settings = SettingsFor(p);
    NullEventPump pump;
    const EngineContext context{settings, texts, pump};
    QuietEndLevels levels;
    StreamModel model(FrameTableCapacity);
    try {
        OpenFile(model, context, body.Name(), levels);
    } catch (const Error&) {
        return 0; // a file the program refuses to open
    }
    const StreamInfo& info = model.Info;

    const int32_t begin = p[BeginByte] % (info.FrameCount + 1);
    const int32_t end = p[EndByte] % (info.FrameCount + 1 - begin);
    EditState state;
    state.FileOpen = true;
    if (p[OptionsByte] & OtherFileType) {
        state.WavChoiceOverride = true;
        state.WavChoice = settings.CheckBoxSaveWAV == 0;
    }
    UpdateDiskSpaceSavingDisplay(state, model, settings, begin, end);

    const EditControls controls{begin, end, p[GainByte] % 17 - 8, p[FadeInByte] % 33,
                                p[FadeOutByte] % 33};
    WriteParameters parameters;
    if (!SaveWriterParameters(parameters, model, settings, state, body.Name(), "", "fuzz.mp3",
                              controls))
        Finding("valid trimming points refused");
    // Only the internal preview writes to memory, and it always cleans up and keeps no tags;
    // the other callers' choices are fuzzed all the same, since the writer takes every one of
    // them from its parameters.
    const uint8_t flags = p[FlagsByte];
    parameters.KeepApe = (flags & KeepApe) != 0;
    parameters.WriteId3v1 = (flags & WriteId3v1) != 0;
    parameters.AllowSeekFrame = (flags & AllowSeekFrame) != 0;
    parameters.CloseAfterwards = false;

    const ExpectedOutput expected = Expect(model, settings, state, parameters);
    if (parameters.KeepApe && parameters.WriteId3v1 && parameters.AllowSeekFrame) {
        // Save's own choices: the prediction the window shows must be what is written, less
        // the WAV header and the ID3v2 tag that memory never gets.
        const bool wav = SaveAsWav(model, settings, state);
        const int64_t id3v2 = !wav && settings.CheckBoxKeepID3v2 != 0
                                  ? int64_t(model.Id3v2.TotalSize) * model.TagsKept
                                  : 0;
        const int64_t predicted = state.PredictedSize - (wav ? 58 : 0) - id3v2;
        if (predicted != expected.Bytes)
            Finding("prediction differs:", std::to_string(predicted) + " predicted, " +
                                               std::to_string(expected.Bytes) + " to write");
    }

    static GuardedBuffer buffer;
    buffer.Prepare(CapacityFor(p, expected.Bytes));
    parameters.MemoryOut = buffer.Data();
    parameters.MemoryOutCapacity = buffer.Capacity();
    const bool fits = expected.Bytes <= int64_t(buffer.Capacity());
    WriteResult result;
    try {
        result = WriteEditedFile(model, context, state, parameters);
    } catch (const Error& failure) {
        if (!std::string_view(failure.what()).starts_with(MemoryOutputTooSmallText))
            Finding("writer failed:", failure.what());
        buffer.CheckGuards();
        if (fits)
            Finding("output refused although it fits:", std::to_string(expected.Bytes));
        return 0;
    }
    buffer.CheckGuards();
    buffer.CheckRoomAfter(
        size_t(std::clamp<int64_t>(result.BytesWritten, 0, int64_t(buffer.Capacity()))));
    if (!fits)
        Finding("output written although it does not fit");
    if (result.BytesWritten != expected.Bytes || result.Size != result.BytesWritten)
        Finding("byte count differs:", std::to_string(result.BytesWritten) + " written, " +
                                           std::to_string(expected.Bytes) + " expected");
    if (parameters.Cleanup)
        Rescan(buffer.Data(), expected, context);
    return 0;
}
