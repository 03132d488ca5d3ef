#include "FrameScanner.h"

#include "BitReader.h"
#include "Crc16.h"
#include "Errors.h"
#include "Progress.h"

#include <algorithm>
#include <cstring>

namespace zefrin {

namespace {

constexpr uint32_t OneMiB = 1048576;

// Where the part2_3_length fields of a Layer III side information start (12 bits each).
struct Part23Fields
{
    uint32_t First[4];
    int Count;
};

Part23Fields Part23Layout(bool mpeg1, bool mono)
{
    if (mpeg1)
        return mono ? Part23Fields{{18, 77, 0, 0}, 2} : Part23Fields{{20, 79, 138, 197}, 4};
    return mono ? Part23Fields{{9, 0, 0, 0}, 1} : Part23Fields{{10, 73, 0, 0}, 2};
}

// All 4-byte words of the area equal its first four bytes. Words are taken at addresses
// divisible by 4; the mapped file starts on a page boundary, so that is file alignment.
bool UniformWords(const uint8_t* area, uint32_t n)
{
    if (n < 4)
        return false; // too little to tell silence from data
    uint32_t v;
    std::memcpy(&v, area, 4);
    if (std::memcmp(area + n - 4, &v, 4) != 0)
        return false;
    if (n >= 8) {
        const auto start = reinterpret_cast<uintptr_t>(area);
        const uint8_t* word = area + ((4 - start % 4) % 4);
        const uint8_t* last = area + n - 4;
        for (; word <= last; word += 4) {
            uint32_t w;
            std::memcpy(&w, word, 4);
            if (w != v)
                return false;
        }
    }
    return true;
}

// Share of the most frequent byte value, in 1/256 units.
uint32_t DominantByteShare(const uint8_t* area, uint32_t n)
{
    if (n == 0)
        return 0;
    uint32_t counts[256] = {};
    for (uint32_t i = 0; i < n; ++i)
        ++counts[area[i]];
    return MulDiv(*std::max_element(counts, counts + 256), 256, n);
}

class Scanner
{
  public:
    Scanner(StreamModel& model, const EngineContext& context, const uint8_t* data, uint32_t size)
        : m_model(model)
        , m_info(model.Info)
        , m_frames(model.Frames)
        , m_context(context)
        , m_data(data)
        , m_size(size)
        , m_end(data + size)
    {
    }

    void Run(int bitrateIndex);

  private:
    bool IsCandidate(const uint8_t* p, FrameHeader& header) const
    {
        const uint32_t w = LoadHeaderWord(p);
        return (w & m_mask) == m_expected && DecodeFrameHeader(header, w);
    }

    void Reset();
    const uint8_t* FindFirstHeader(uint32_t lookAhead);
    void TakeExtraInfoFrame(const uint8_t* frame);
    void RecordFrame(const uint8_t* frame, const FrameHeader& header);
    bool JudgeSilence(const uint8_t* frame, const FrameHeader& header);
    int8_t ReservoirDepth(const uint8_t* frame, const FrameHeader& header);
    [[noreturn]] void FailNoHeader() const { throw Error(m_context.Texts.MessageStrings[4]); }

    StreamModel& m_model;
    StreamInfo& m_info;
    FrameTable& m_frames;
    const EngineContext& m_context;
    const uint8_t* m_data;
    uint32_t m_size;
    const uint8_t* m_end;

    uint32_t m_mask = SyncMask;
    uint32_t m_expected = SyncMask;
    uint32_t m_constantMask = 0;
    uint32_t m_constantValue = 0;
    int32_t m_lastMissing = -1;
    uint32_t m_ring[256] = {};
    uint8_t m_ringPosition = 0;
    uint64_t m_mainDataBytes = 0;
    uint64_t m_huffmanBits = 0;
    bool m_fastSilence = false;
    int m_aggressivity = 0;
};

void Scanner::Reset()
{
    m_info.FrameCount = 0;
    m_info.MissingHeaderCount = 0;
    m_info.BadCrcCount = 0;
    m_info.BitrateUse.fill(0);
    m_info.LastFrameIncomplete = false;
    m_info.FirstFrameMissing = false;
    m_info.HasExtraInfo = false;
    m_info.HasXing = false;
    m_info.HasInfo = false;
    m_info.Mp3Pro = false;
    m_lastMissing = -1;
    std::fill(std::begin(m_ring), std::end(m_ring), 0u);
    m_ringPosition = 0;
    m_mainDataBytes = 0;
    m_huffmanBits = 0;
    m_fastSilence = m_context.Settings.CheckBoxFastSilenceDetection != 0;
    m_aggressivity = m_context.Settings.RadioGroupTrimAggressivity;
    m_model.Progress.Position = -1;
    SetProgressTotal(m_model, m_size);
    ShowProgress(m_model, m_context.Pump, 0);
}

void Scanner::TakeExtraInfoFrame(const uint8_t* frame)
{
    const FrameHeader& reference = m_info.Reference;
    m_info.HasExtraInfo = true;
    DecodeFrameHeader(m_info.ExtraInfoHeader, reference.Raw | ProtectionBit);
    if (frame + reference.FrameLength > m_end)
        return;
    // The copy holds at most ExtraInfoFrameSize bytes; only Layer II at the lowest sample
    // rates has longer frames, and their tail is not needed.
    const uint32_t length = std::min<uint32_t>(reference.FrameLength, ExtraInfoFrameSize);
    uint8_t* copy = m_info.ExtraInfoFrame.data();
    std::memcpy(copy, frame, length);
    copy[1] |= 1;
    const uint32_t at = m_info.ExtraInfoHeader.SideInfoEnd;
    if (at + 4 > length)
        return;
    if (std::memcmp(copy + at, "Xing", 4) != 0 && std::memcmp(copy + at, "Info", 4) != 0) {
        // The frame had a CRC and the tag followed it: close the 2-byte gap so that the
        // tag stands right after the header and the side information.
        const uint32_t extraLength =
            std::min<uint32_t>(m_info.ExtraInfoHeader.FrameLength, ExtraInfoFrameSize);
        if (extraLength > at + 2)
            std::memmove(copy + at, copy + at + 2, extraLength - at - 2);
    }
}

const uint8_t* Scanner::FindFirstHeader(uint32_t lookAhead)
{
    const uint8_t* limit = m_data + lookAhead;
    const uint8_t* p = m_data;
    bool tagTested = false;
    FrameHeader header;
    while (p < limit) {
        // A frame too short to hold a side information is no frame to the main loop either,
        // so it must not become the reference (nor the model of the silent frame).
        if (!IsCandidate(p, header) || header.FrameLength <= header.SideInfoEnd) {
            ++p;
            m_info.FirstFrameMissing = true;
            continue;
        }
        m_info.Reference = header;
        if (tagTested)
            return p;
        tagTested = true;
        // "Xing" or "Info" right after the side information, or two bytes earlier.
        auto tagAt = [&](const char* tag) {
            for (uint32_t offset : {header.SideInfoEnd, header.SideInfoEnd - 2}) {
                if (p + offset + 4 <= m_end && std::memcmp(p + offset, tag, 4) == 0)
                    return true;
            }
            return false;
        };
        m_info.HasXing = tagAt("Xing");
        m_info.HasInfo = !m_info.HasXing && tagAt("Info");
        if (!m_info.HasXing && !m_info.HasInfo)
            return p;
        TakeExtraInfoFrame(p);
        p += header.FrameLength;
    }
    FailNoHeader();
}

bool Scanner::JudgeSilence(const uint8_t* frame, const FrameHeader& header)
{
    const FrameHeader& reference = m_info.Reference;
    const bool layer3 = reference.Layer == LayerIII;
    if (layer3) {
        const bool mpeg1 = reference.Version == VersionMpeg1;
        const Part23Fields fields = Part23Layout(mpeg1, header.ChannelMode == ChannelModeMono);
        const uint8_t* sideInfo = frame + header.HeaderSize;
        const uint32_t available = header.FrameLength - header.HeaderSize;
        uint32_t bits = 0;
        for (int i = 0; i < fields.Count; ++i)
            bits += ReadBits(sideInfo, available, fields.First[i], 12);
        if (!mpeg1) {
            m_mainDataBytes += header.FrameLength - header.SideInfoEnd;
            m_huffmanBits += bits;
        }
        if (bits == 0)
            return true;
    }
    const bool nearEnds = frame <= m_data + OneMiB || (m_size >= OneMiB && frame >= m_end - OneMiB);
    if (m_fastSilence && !nearEnds)
        return false;
    const uint32_t start = layer3 ? header.SideInfoEnd : header.HeaderSize;
    const uint8_t* area = frame + start;
    const uint32_t n = header.FrameLength - start;
    if (m_aggressivity == 0)
        return UniformWords(area, layer3 ? n * 3 / 4 : n);
    if (!layer3 && !nearEnds)
        return UniformWords(area, n);
    return DominantByteShare(area, n) >= (m_aggressivity == 1 ? 150u : 20u);
}

int8_t Scanner::ReservoirDepth(const uint8_t* frame, const FrameHeader& header)
{
    const uint8_t* sideInfo = frame + header.HeaderSize;
    const bool mpeg1 = m_info.Reference.Version == VersionMpeg1;
    const uint32_t available = header.FrameLength - header.HeaderSize;
    int32_t remaining = int32_t(ReadBits(sideInfo, available, 0, mpeg1 ? 9 : 8));
    m_ring[m_ringPosition] = header.FrameLength - header.SideInfoEnd;
    // The field is at most 511 bytes, but tiny frames could make the walk longer than the
    // ring or the signed 8-bit depth; both limits are far beyond any real reservoir.
    int depth = 0;
    uint8_t position = m_ringPosition;
    int32_t earlier = m_info.FrameCount;
    while (earlier > 0 && remaining > 0 && depth < 127) {
        position = uint8_t(position - 1);
        ++depth;
        remaining -= int32_t(m_ring[position]);
        --earlier;
    }
    m_ringPosition = uint8_t(m_ringPosition + 1);
    return int8_t(depth);
}

void Scanner::RecordFrame(const uint8_t* frame, const FrameHeader& header)
{
    FrameRecord& record = m_frames[uint32_t(m_info.FrameCount)];
    record.Length = header.FrameLength;
    record.HeaderSize = uint16_t(header.HeaderSize);
    record.Crc = 0;
    record.ReservoirDepth = 0;
    record.Level = 0;
    ++m_info.BitrateUse[(header.Raw >> 20) & 15];
    if (header.HasCrc) {
        record.Crc = FrameCrc(header, frame);
        if (record.Crc != StoredFrameCrc(frame))
            ++m_info.BadCrcCount;
    }
    record.Silent = JudgeSilence(frame, header);
    if (m_info.Reference.Layer == LayerIII)
        record.ReservoirDepth = ReservoirDepth(frame, header);
    const uint32_t w = header.Raw;
    if ((w & m_constantMask) != m_constantValue) {
        m_constantMask &= ~(w ^ m_constantValue);
        m_constantValue &= m_constantMask;
    }
}

void Scanner::Run(int bitrateIndex)
{
    Reset();
    if (m_size < 4)
        FailNoHeader();
    m_mask = SyncMask;
    m_expected = SyncMask;
    if (bitrateIndex != 0) {
        m_mask |= BitrateMask;
        m_expected |= uint32_t(bitrateIndex & 15) << 20;
    }
    const uint32_t lookAhead = std::min<uint32_t>(m_size - 4, OneMiB);
    const uint8_t* p = FindFirstHeader(lookAhead);

    m_constantMask = 0xFFFDFFFF;
    m_constantValue = m_info.Reference.Raw & m_constantMask;
    const bool patched = m_context.Settings.CheckBoxAllowPatchedStreams != 0;
    if (!patched) {
        m_mask |= LayerMask | SampleRateMask;
        m_expected = m_info.Reference.Raw & m_mask;
    }

    const uint32_t lastEntry = m_frames.Capacity() - 1;
    const uint8_t* expectedAt = p; // where the header after the last frame was expected
    FrameHeader header;
    for (;;) {
        const auto count = uint32_t(m_info.FrameCount);
        expectedAt = p;
        if (count <= lastEntry)
            m_frames[count].Offset = uint32_t(p - m_data);
        if (p + 4 >= m_end)
            break;
        const bool missing = (LoadHeaderWord(p) & m_mask) != m_expected;
        if (missing) {
            m_lastMissing = m_info.FrameCount;
            if (m_info.MissingHeaderCount <= 9)
                m_info.MissingHeaderFrames[size_t(m_info.MissingHeaderCount)] = m_info.FrameCount;
            ++m_info.MissingHeaderCount;
        }
        const uint8_t* limit = std::min(p + lookAhead, m_end - 4);
        const uint8_t* candidate = p;
        for (; candidate < limit; ++candidate) {
            if (!IsCandidate(candidate, header))
                continue;
            if (patched || !missing || (header.Raw & m_constantMask) == m_constantValue)
                break;
        }
        if (candidate >= limit)
            break;
        if (count <= lastEntry)
            m_frames[count].Offset = uint32_t(candidate - m_data);
        if (candidate + header.FrameLength > m_end) {
            m_info.LastFrameIncomplete = true;
            // The tail starts at this header; bytes before it stay with the last frame.
            if (!missing)
                expectedAt = candidate;
            break;
        }
        if (header.FrameLength <= header.SideInfoEnd) {
            // Too short to hold side information: not a frame.
            p = candidate + 1;
            continue;
        }
        if (count <= lastEntry)
            RecordFrame(candidate, header);
        p = candidate + header.FrameLength;
        // The next frames most likely follow at the same distance; fetching them early
        // hides the memory latency that otherwise dominates the scan of a cached file.
        __builtin_prefetch(p + 8 * header.FrameLength);
        ++m_info.FrameCount;
        if (m_model.StopRequested)
            throw Error("Stopped at user request");
        ShowProgress(m_model, m_context.Pump, uint32_t(p - m_data));
        if ((m_info.FrameCount & 1023) == 1023)
            m_context.Pump.ProcessMessages();
    }

    ShowProgress(m_model, m_context.Pump, m_size);
    const auto maxFrames = int32_t(m_frames.MaxFrames());
    if (m_info.FrameCount > maxFrames) {
        const auto& texts = m_context.Texts.MessageStrings;
        throw Error(texts[5] + " (" +
                    std::to_string(MulDivCeil(uint32_t(m_info.FrameCount), 100, lastEntry)) +
                    "%)\n\n" + texts[6]);
    }
    m_info.ConstantBits = m_constantMask;
    const int32_t frameCount = m_info.FrameCount;
    if (frameCount >= 2 && m_frames[uint32_t(frameCount - 2)].Silent)
        m_frames[uint32_t(frameCount - 1)].Silent = true;

    const FrameHeader& reference = m_info.Reference;
    if (reference.Version == VersionMpeg2 && reference.Layer == LayerIII && frameCount > 0) {
        const int64_t unused = (int64_t(m_mainDataBytes) - int64_t(m_huffmanBits / 8)) / frameCount;
        m_info.Mp3Pro = unused >= (reference.ChannelMode == ChannelModeMono ? 5 : 10);
    }

    if (m_info.MissingHeaderCount > 0 && m_lastMissing == frameCount) {
        // Trailing garbage: the last gap was never followed by a frame.
        --m_info.MissingHeaderCount;
        m_info.LastFrameIncomplete = true;
    }
    if (m_info.LastFrameIncomplete) {
        FrameRecord& partial = m_frames[uint32_t(frameCount)];
        partial.Offset = uint32_t(expectedAt - m_data);
        partial.Length = uint32_t(m_end - expectedAt);
        m_frames[uint32_t(frameCount) + 1].Offset = m_size;
    }
}

} // namespace

void ScanFrames(StreamModel& model, const EngineContext& context, const uint8_t* data,
                uint32_t size, int bitrateIndex)
{
    Scanner(model, context, data, size).Run(bitrateIndex);
}

bool IsVariableBitrate(const StreamInfo& info)
{
    return (info.ConstantBits & BitrateMask) != BitrateMask;
}

int DominantBitrateIndex(const StreamInfo& info)
{
    if (info.FrameCount <= 0)
        return 0;
    const int32_t threshold = info.FrameCount - info.FrameCount / 128;
    for (int i = 15; i >= 1; --i) {
        if (info.BitrateUse[size_t(i)] >= threshold)
            return i;
    }
    return 0;
}

} // namespace zefrin
