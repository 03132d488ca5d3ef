#include "FileWriter.h"

#include "Fades.h"
#include "FileNameLength.h"
#include "GainChange.h"
#include "Id3v1Record.h"
#include "OutputSink.h"
#include "SaveCommands.h"
#include "SeekFrame.h"
#include "TrimFigures.h"
#include "core/Crc16.h"
#include "core/Errors.h"
#include "core/Progress.h"
#include "core/SourceFile.h"
#include "core/WavHeader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace zefrin {

namespace {

constexpr const char* DiskFullLine = "\nIs your disk full?";

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a name leads to, links followed, so that Save replaces the file itself and not a
// symbolic link to it.
std::string ResolvedPath(const std::string& name)
{
    char* resolved = realpath(name.c_str(), nullptr);
    if (resolved == nullptr)
        RaiseWithSystemError("Can't change file");
    std::string path(resolved);
    std::free(resolved);
    return path;
}

void SetFileTimes(int handle, const StreamInfo& info)
{
    timespec times[2];
    times[0].tv_sec = time_t(info.FileTimeSeconds);
    times[0].tv_nsec = long(info.FileTimeNanoseconds);
    times[1] = times[0];
    if (futimens(handle, times) != 0)
        RaiseWithSystemError("Can't set file date");
}

// Renames without ever replacing another file: the length in a name must not cost a file
// that already has that name.
bool RenameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag: a second link, then the old name goes.
    if (link(from.c_str(), to.c_str()) != 0)
        return false;
    unlink(from.c_str());
    return true;
}

class Writer
{
  public:
    Writer(StreamModel& model, const EngineContext& context, EditState& state,
           const WriteParameters& p)
        : m_model(model)
        , m_info(model.Info)
        , m_context(context)
        , m_settings(context.Settings)
        , m_state(state)
        , m_p(p)
    {
    }

    WriteResult Run();

  private:
    void CheckParameters() const;
    void CheckSourceRange(uint64_t offset, uint64_t count) const;
    uint32_t CopiedSize(int32_t i) const;
    int64_t BytesAfterLead() const;
    void WriteLead(OutputSink& sink);
    void WriteFrames(OutputSink& sink);
    void WriteTrail(OutputSink& sink);
    void Produce(OutputSink& sink);
    int64_t ProduceFile(int handle);
    void UpdateModel();

    StreamModel& m_model;
    StreamInfo& m_info;
    const EngineContext& m_context;
    const SettingsRecord& m_settings;
    EditState& m_state;
    const WriteParameters& m_p;

    bool m_toMemory = false;
    bool m_inPlace = false;
    bool m_wav = false;
    int32_t m_outRiffHeaderSize = 0;
    int64_t m_outId3v2Size = 0;
    int32_t m_outId3v1Size = 0;
    bool m_updateModel = false;
    bool m_writeSeekFrame = false;
    SeekFrame m_seekFrame;

    SourceFile m_source;
    int64_t m_leadSize = 0;
    int64_t m_lyricsAt = 0;
    int64_t m_apeAt = 0;
    std::vector<uint16_t> m_newCrcs; // CRCs the frames carry after the save, for the model
};

void Writer::CheckParameters() const
{
    const StreamInfo& info = m_info;
    const int64_t last = int64_t(m_p.FirstFrame) + m_p.CopyCount; // one past the last copied
    const int64_t available = int64_t(info.FrameCount) + (info.LastFrameIncomplete ? 1 : 0);
    ZEFRIN_ASSERT("UnitMain", m_p.FirstFrame >= 0 && m_p.CopyCount >= 0 && last <= available);
    ZEFRIN_ASSERT("UnitMain", last + 1 < int64_t(m_model.Frames.Capacity()));
    ZEFRIN_ASSERT("UnitMain", m_p.SilenceBeginFrames >= 0 && m_p.SilenceEndFrames >= 0);
}

void Writer::CheckSourceRange(uint64_t offset, uint64_t count) const
{
    ZEFRIN_ASSERT("UnitMain", offset <= m_source.Size && count <= m_source.Size - offset);
}

// Bytes copied for the i-th copied frame: the frame alone with cleanup, else up to the next
// frame. The last one always goes by its own length, so the prediction holds even when
// something lies between it and the frame after it.
uint32_t Writer::CopiedSize(int32_t i) const
{
    const FrameRecord& r = m_model.Frames[uint32_t(m_p.FirstFrame + i)];
    if (m_p.Cleanup || i + 1 >= m_p.CopyCount)
        return r.Length;
    const uint32_t next = m_model.Frames[uint32_t(m_p.FirstFrame + i + 1)].Offset;
    if (next < r.Offset || next - r.Offset < r.Length)
        return r.Length;
    return next - r.Offset;
}

// The bytes the output holds behind a WAV header: seek frame, silence, frames, trailing tags.
int64_t Writer::BytesAfterLead() const
{
    int64_t bytes = m_writeSeekFrame ? m_seekFrame.NewSeekFrameHeader.FrameLength : 0;
    bytes += int64_t(m_p.SilenceBeginFrames + m_p.SilenceEndFrames) *
             m_info.SilentFrameHeader.FrameLength;
    for (int32_t i = 0; i < m_p.CopyCount; ++i)
        bytes += CopiedSize(i);
    bytes += m_info.LyricsSize;
    if (m_p.KeepApe)
        bytes += m_info.ApeSize;
    if (m_p.WriteId3v1 && m_outId3v1Size > 0)
        bytes += std::min<int32_t>(m_outId3v1Size, 128);
    return bytes;
}

void Writer::WriteLead(OutputSink& sink)
{
    const FrameHeader& reference = m_info.Reference;
    if (!m_toMemory) {
        if (m_wav) {
            const uint32_t frames = uint32_t(m_p.CopyCount) + uint32_t(m_p.SilenceBeginFrames) +
                                    uint32_t(m_p.SilenceEndFrames);
            std::array<uint8_t, Mp3WavHeaderSize> header{};
            // The data size is that of what follows here, counted from this call's own items:
            // a cue track leaves out tags that the figures of a Save count.
            const int64_t dataSize = BytesAfterLead();
            // An empty output (a cue track starting at the end) still gets a readable header.
            BuildMp3WavHeader(header, reference.ChannelMode != ChannelModeMono,
                              reference.SampleRate, uint32_t(dataSize), std::max(frames, 1u),
                              std::max(FramesToMilliseconds(reference, frames), 1u));
            std::copy(header.begin(), header.end(), sink.Reserve(header.size()));
        } else if (m_outId3v2Size > 0) {
            const TID3v2& tag = m_model.Id3v2;
            CheckSourceRange(uint32_t(m_info.RiffHeaderSize), uint64_t(m_outId3v2Size));
            const uint8_t* at = m_source.View + m_info.RiffHeaderSize;
            if (tag.LengthDigits > 0) {
                ZEFRIN_ASSERT("UnitMain", tag.LengthDigits <= 256);
                ZEFRIN_ASSERT("UnitMain",
                              int64_t(tag.LengthOffset) + tag.LengthDigits <= m_outId3v2Size);
                const std::string digits = tag.LengthDigitsText(
                    FramesToMilliseconds(reference, uint32_t(m_state.OutputFrameCount)));
                sink.Put(at, uint32_t(tag.LengthOffset));
                std::copy(digits.begin(), digits.end(), sink.Reserve(digits.size()));
                const int64_t after = tag.LengthOffset + tag.LengthDigits;
                sink.Put(at + after, size_t(m_outId3v2Size - after));
            } else {
                sink.Put(at, size_t(m_outId3v2Size));
            }
        }
    }
    if (m_writeSeekFrame) {
        const uint32_t length = m_seekFrame.NewSeekFrameHeader.FrameLength;
        ZEFRIN_ASSERT("UnitMain", length <= ExtraInfoFrameSize);
        std::copy_n(m_seekFrame.NewSeekFrame.begin(), length, sink.Reserve(length));
    }
    const uint32_t silentLength = m_info.SilentFrameHeader.FrameLength;
    ZEFRIN_ASSERT("UnitMain", silentLength <= ExtraInfoFrameSize);
    for (int32_t n = 0; n < m_p.SilenceBeginFrames; ++n)
        std::copy_n(m_info.SilentFrame.begin(), silentLength, sink.Reserve(silentLength));
    m_leadSize = sink.Count();
}

void Writer::WriteFrames(OutputSink& sink)
{
    const FrameHeader& reference = m_info.Reference;
    const bool layer3 = reference.Layer == LayerIII;
    const uint32_t gainBytes = GainFieldBytes(reference);
    EventPump& pump = m_context.Pump;
    if (m_p.ShowProgressBar) {
        SetProgressTotal(m_model, uint32_t(m_p.CopyCount));
        ShowProgress(m_model, pump, 0);
    }
    if (m_updateModel)
        m_newCrcs.assign(size_t(m_p.CopyCount), 0);

    for (int32_t i = 0; i < m_p.CopyCount; ++i) {
        const uint32_t index = uint32_t(m_p.FirstFrame + i);
        const FrameRecord& r = m_model.Frames[index];
        const uint32_t size = CopiedSize(i);
        CheckSourceRange(r.Offset, size);
        const uint8_t* frame = m_source.View + r.Offset;
        uint16_t crc = r.Crc;

        int32_t delta = 0;
        if (layer3) {
            delta = m_p.GainSteps + FadeSteps(reference, i, m_p.CopyCount, m_p.FadeSpan,
                                              m_p.FadeInPosition, m_p.FadeOutPosition,
                                              m_settings.ComboBoxFadeDepth);
        }
        // Only whole frames whose side information holds every gain field are changed; the
        // incomplete tail of a stream is copied as it is.
        const uint32_t frameBytes = std::min(r.Length, size);
        const bool alter = delta != 0 && int64_t(index) < m_info.FrameCount &&
                           (r.HeaderSize == 4 || r.HeaderSize == 6) &&
                           frameBytes >= r.HeaderSize + gainBytes;
        if (!alter) {
            sink.Put(frame, size);
        } else {
            uint8_t* out = sink.Reserve(frameBytes);
            std::copy_n(frame, frameBytes, out);
            ApplyGainChange(reference, out + r.HeaderSize, delta);
            // A CRC that was right is made right again; a wrong one stays as it was.
            FrameHeader header;
            if ((frame[1] & 1) == 0 && StoredFrameCrc(frame) == r.Crc &&
                DecodeFrameHeader(header, LoadHeaderWord(frame)) && header.HasCrc &&
                header.SideInfoEnd <= frameBytes) {
                crc = FrameCrc(header, out);
                StoreFrameCrc(out, crc);
            }
            if (size > frameBytes)
                sink.Put(frame + frameBytes, size - frameBytes);
        }
        if (m_updateModel)
            m_newCrcs[size_t(i)] = crc;

        if (m_p.ShowProgressBar)
            ShowProgress(m_model, pump, uint32_t(i));
        if ((i & 1023) == 1023)
            pump.ProcessMessages();
    }
}

void Writer::WriteTrail(OutputSink& sink)
{
    const uint32_t silentLength = m_info.SilentFrameHeader.FrameLength;
    for (int32_t n = 0; n < m_p.SilenceEndFrames; ++n)
        std::copy_n(m_info.SilentFrame.begin(), silentLength, sink.Reserve(silentLength));
    m_lyricsAt = sink.Count();
    if (m_info.LyricsSize > 0) {
        CheckSourceRange(uint32_t(m_info.LyricsOffset), uint32_t(m_info.LyricsSize));
        sink.Put(m_source.View + m_info.LyricsOffset, uint32_t(m_info.LyricsSize));
    }
    m_apeAt = sink.Count();
    if (m_p.KeepApe && m_info.ApeSize > 0) {
        CheckSourceRange(uint32_t(m_info.ApeOffset), uint32_t(m_info.ApeSize));
        sink.Put(m_source.View + m_info.ApeOffset, uint32_t(m_info.ApeSize));
    }
    if (m_p.WriteId3v1 && m_outId3v1Size > 0) {
        const auto size = uint32_t(std::min<int32_t>(m_outId3v1Size, 128));
        std::copy_n(m_info.Id3v1.begin(), size, sink.Reserve(size));
    }
    if (m_p.ShowProgressBar)
        ShowProgress(m_model, m_context.Pump, uint32_t(m_p.CopyCount));
}

void Writer::Produce(OutputSink& sink)
{
    WriteLead(sink);
    WriteFrames(sink);
    WriteTrail(sink);
    sink.Flush();
}

int64_t Writer::ProduceFile(int handle)
{
    OutputSink sink(handle);
    const int source = open(m_p.SourceName.c_str(), O_RDONLY | O_CLOEXEC);
    if (source >= 0)
        sink.SetSourceFile(source, m_source.View);
    try {
        Produce(sink);
    } catch (...) {
        if (source >= 0)
            close(source);
        throw;
    }
    if (source >= 0)
        close(source);
    return sink.Count();
}

void Writer::UpdateModel()
{
    // The table is compacted to start at index 0; each record is read before its index is
    // written, and a later record is never overwritten before it is read.
    int64_t at = m_leadSize;
    for (int32_t i = 0; i < m_p.CopyCount; ++i) {
        const uint32_t size = CopiedSize(i);
        FrameRecord r = m_model.Frames[uint32_t(m_p.FirstFrame + i)];
        r.Offset = uint32_t(at);
        r.Crc = m_newCrcs[size_t(i)];
        m_model.Frames[uint32_t(i)] = r;
        at += size;
    }
    // An incomplete last frame that was copied stays what it is: the tail behind the frames,
    // as a fresh opening of the saved file finds it.
    const bool tailCopied = m_p.CopyCount > 0 && m_info.LastFrameIncomplete &&
                            m_p.FirstFrame + m_p.CopyCount > m_info.FrameCount;
    const int32_t frames = tailCopied ? m_p.CopyCount - 1 : m_p.CopyCount;
    FrameRecord& end = m_model.Frames[uint32_t(m_p.CopyCount)];
    end = FrameRecord{};
    end.Offset = uint32_t(at);

    m_info.FrameCount = frames;
    m_model.DurationSeconds = FramesToSeconds(m_info.Reference, uint32_t(frames));
    m_info.RiffHeaderSize = m_outRiffHeaderSize;
    m_info.Id3v1Size = m_outId3v1Size;
    m_model.Id3v2.TotalSize = m_wav ? 0 : int32_t(m_outId3v2Size);
    m_info.LyricsOffset = int32_t(m_lyricsAt);
    m_info.ApeOffset = int32_t(m_apeAt);
    m_info.FirstFrameMissing = false;
    m_info.FirstFramesInvalid = false;
    m_info.LastFrameIncomplete = tailCopied;
    m_info.MissingHeaderCount = 0;
}

WriteResult Writer::Run()
{
    ZEFRIN_ASSERT("UnitMain", m_p.DestName.empty() || m_p.MemoryOut == nullptr);
    CheckParameters();
    WriteResult result;
    m_toMemory = m_p.MemoryOut != nullptr;
    m_inPlace = !m_toMemory && m_p.DestName.empty();
    m_wav = SaveAsWav(m_model, m_settings, m_state);
    m_outRiffHeaderSize = m_wav ? int32_t(Mp3WavHeaderSize) : 0;
    m_outId3v2Size = m_p.KeepId3v2 ? int64_t(m_model.Id3v2.TotalSize) * m_model.TagsKept : 0;
    m_outId3v1Size = m_settings.RadioButtonID3Remove != 0 ? m_info.Id3v1Size * m_model.TagsKept : 0;
    m_updateModel = m_inPlace && !m_p.CloseAfterwards && m_p.SilenceBeginFrames == 0 &&
                    m_p.SilenceEndFrames == 0 && m_settings.CheckBoxSave_WithTime == 0;

    bool seekFrameChanged = false;
    m_writeSeekFrame = m_p.AllowSeekFrame && SeekFrameWanted(m_model, m_settings);
    if (m_writeSeekFrame) {
        BuildSeekFrame(m_seekFrame, m_model, m_settings, m_state, m_p.FirstFrame,
                       PredictedTagBytes(m_model, m_settings, m_state));
        seekFrameChanged = SeekFrameChanged(m_seekFrame, m_info);
    }

    // Equal sizes alone do not make an unchanged file: trimmed frames may have been traded
    // for added silence, or a WAV header for a tag.
    const bool allFramesKept = m_p.FirstFrame == 0 && m_p.CopyCount >= m_info.FrameCount &&
                               m_p.SilenceBeginFrames == 0 && m_p.SilenceEndFrames == 0 &&
                               m_outRiffHeaderSize == m_info.RiffHeaderSize;
    if (m_inPlace && allFramesKept && m_state.PredictedSize == m_info.FileSize &&
        m_p.GainSteps == 0 && m_p.FadeInPosition == 0 && m_p.FadeOutPosition == 0 &&
        m_settings.RadioButtonID3Remove == 0 && m_info.Id3v1Size == 0 &&
        (m_model.Id3v2.TotalSize == 0 || m_settings.CheckBoxKeepID3v2 != 0) &&
        m_settings.CheckBoxSave_WithTime == 0 && !seekFrameChanged) {
        result.NothingToChange = true;
        result.CloseFile = m_settings.CheckBoxCloseAfterSave != 0;
        result.WrittenName = m_p.SourceName;
        return result;
    }

    if (m_p.WriteId3v1)
        PrepareId3v1(m_info.Id3v1, m_outId3v1Size, m_settings, m_p.EditName);

    std::string tempName;
    int handle = -1;
    try {
        // Only the copied range is read: a cue track of a long file must not cost the
        // mapping of the whole file.
        m_source = OpenAndMapFile(m_p.SourceName, false, false, m_context.Texts, false);
        if (m_source.View == nullptr)
            throw Error("Can't open source file");
        if (int64_t(m_source.Size) != m_info.FileSize)
            throw Error("Can't open source file - it has changed since it was opened");
        // Frames whose gain changes are read through the mapping, all of them when the
        // amplification changes; the others go from file to file in the kernel.
        const bool altered = m_info.Reference.Layer == LayerIII && m_p.GainSteps != 0;
        if (m_p.CopyCount > 0 && (altered || m_toMemory)) {
            const FrameRecord& first = m_model.Frames[uint32_t(m_p.FirstFrame)];
            const FrameRecord& last = m_model.Frames[uint32_t(m_p.FirstFrame + m_p.CopyCount - 1)];
            PopulateRange(m_source, first.Offset,
                          uint64_t(last.Offset) + CopiedSize(m_p.CopyCount - 1) - first.Offset);
        }

        if (m_toMemory) {
            OutputSink sink(m_p.MemoryOut, m_p.MemoryOutCapacity);
            Produce(sink);
            result.Size = sink.Count();
            result.BytesWritten = sink.Count();
            result.CloseFile = m_p.CloseAfterwards;
            return result;
        }

        std::string target;
        if (m_inPlace) {
            target = ResolvedPath(m_p.SourceName);
            struct stat original
            {
            };
            if (stat(target.c_str(), &original) != 0)
                RaiseWithSystemError("Can't change file");
            // A file the user may not write stays as it is, although its folder would let
            // the new file take its place.
            const int writable = open(target.c_str(), O_RDWR | O_CLOEXEC);
            if (writable < 0)
                RaiseWithSystemError(m_context.Texts.MessageStrings[8]);
            close(writable);
            tempName = FolderOf(target) + "/." + NameOf(target) + ".XXXXXX";
            handle = mkostemp(tempName.data(), O_CLOEXEC);
            if (handle < 0) {
                tempName.clear();
                RaiseWithSystemError("Can't change file");
            }
            // The new file takes the place of the old one: same permissions and, when
            // possible, the same owner.
            if (fchmod(handle, original.st_mode & 07777) != 0)
                RaiseWithSystemError("Can't change file");
            [[maybe_unused]] const int owned = fchown(handle, original.st_uid, original.st_gid);
        } else {
            if (SameFile(m_p.SourceName, m_p.DestName))
                throw Error("'Save As' cannot overwrite to the source file - use 'Save' instead");
            target = m_p.DestName;
            handle = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
            if (handle < 0)
                RaiseWithSystemError("Can't create destination file");
        }

        try {
            result.BytesWritten = ProduceFile(handle);
            if (m_settings.CheckBoxPreserveDate != 0)
                SetFileTimes(handle, m_info);
            if (m_inPlace && fsync(handle) != 0)
                RaiseWithSystemError("Can't change file");
        } catch (...) {
            close(handle);
            handle = -1;
            throw;
        }
        const int closed = close(handle);
        handle = -1;
        if (closed != 0)
            RaiseWithSystemError(m_inPlace ? "Can't change file" : "Can't create destination file");

        if (m_inPlace) {
            if (rename(tempName.c_str(), target.c_str()) != 0)
                RaiseWithSystemError("Can't change file");
            tempName.clear();
            const int folder = open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (folder >= 0) {
                fsync(folder);
                close(folder);
            }
        }
        result.WrittenName = m_inPlace ? m_p.SourceName : target;
    } catch (const SystemError& failure) {
        if (handle >= 0)
            close(handle);
        if (!tempName.empty())
            unlink(tempName.c_str());
        throw SystemError(failure.what() + std::string(DiskFullLine));
    } catch (...) {
        if (handle >= 0)
            close(handle);
        if (!tempName.empty())
            unlink(tempName.c_str());
        throw;
    }
    m_source.Unmap();

    if (!m_inPlace) {
        result.CloseFile = m_p.CloseAfterwards;
        return result;
    }

    result.Size = result.BytesWritten;
    if (m_settings.CheckBoxSave_WithTime != 0) {
        const std::string name = NameOf(m_p.SourceName);
        const LengthInsertion renamed =
            InsertLengthIntoFileName(name, m_info.Reference, uint32_t(m_state.OutputFrameCount));
        if (renamed.Done && renamed.NewName != name) {
            const size_t slash = m_p.SourceName.find_last_of('/');
            const std::string newPath = slash == std::string::npos
                                            ? renamed.NewName
                                            : m_p.SourceName.substr(0, slash + 1) + renamed.NewName;
            if (RenameWithoutReplacing(m_p.SourceName, newPath))
                result.WrittenName = newPath;
        }
    }
    if (m_p.CloseAfterwards || !m_updateModel) {
        result.CloseFile = true;
    } else {
        UpdateModel();
        m_info.FileSize = result.BytesWritten;
        result.ModelUpdated = true;
    }
    return result;
}

} // namespace

WriteResult WriteEditedFile(StreamModel& model, const EngineContext& context, EditState& state,
                            const WriteParameters& parameters)
{
    return Writer(model, context, state, parameters).Run();
}

} // namespace zefrin
