// Throughput of the frame scanner over a long synthesised stream: MPEG-1 Layer III at
// 128 kbit/s, 44.1 kHz joint stereo, padded the way encoders pad, with pseudo-random side
// information and main data. The bytes/second figure is the scanner's share of opening a
// file whose pages are already in memory.
#include "core/Crc16.h"
#include "core/EngineContext.h"
#include "core/EventPump.h"
#include "core/FrameHeader.h"
#include "core/FrameScanner.h"
#include "core/MessageTexts.h"
#include "core/StreamModel.h"
#include "settings/SettingsRecord.h"
#include "settings/SettingsTable.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

using namespace zefrin;

constexpr uint32_t StreamFrames = 100000;

// Header bytes FF FB 90 44 (no CRC) or FF FA 90 44 (CRC), as the little-endian word.
constexpr uint32_t Layer3Header128k = 0x4490FBFF;

std::vector<uint8_t> SynthesiseStream(uint32_t frames, bool withCrc)
{
    const uint32_t baseRaw = withCrc ? (Layer3Header128k & ~ProtectionBit) : Layer3Header128k;
    std::vector<uint8_t> stream;
    stream.reserve(size_t(frames) * 420);
    std::mt19937 random(12345);
    // 1152 samples of 128 kbit/s at 44.1 kHz are 417.96 bytes: pad when the remainder
    // carried over reaches a whole byte.
    uint32_t remainder = 0;
    for (uint32_t i = 0; i < frames; ++i) {
        remainder += 144 * 128000 % 44100;
        uint32_t raw = baseRaw;
        if (remainder >= 44100) {
            remainder -= 44100;
            raw |= PaddingBit;
        }
        FrameHeader header;
        if (!DecodeFrameHeader(header, raw))
            throw std::logic_error("synthesised header rejected");
        const size_t start = stream.size();
        stream.resize(start + header.FrameLength);
        uint8_t* frame = stream.data() + start;
        StoreHeaderWord(frame, raw);
        for (uint32_t b = header.HeaderSize; b < header.FrameLength; ++b)
            frame[b] = uint8_t(random() >> 24);
        // main_data_begin 0: every frame's data starts in the frame itself.
        frame[header.HeaderSize] = 0;
        frame[header.HeaderSize + 1] &= 0x7F;
        if (header.HasCrc)
            StoreFrameCrc(frame, FrameCrc(header, frame));
    }
    return stream;
}

void BM_ScanFrames(benchmark::State& state)
{
    const bool withCrc = state.range(0) != 0;
    const std::vector<uint8_t> stream = SynthesiseStream(StreamFrames, withCrc);
    const SettingsRecord settings = DefaultSettings();
    const MessageTexts texts;
    NullEventPump pump;
    const EngineContext context{settings, texts, pump};
    // Sized to the file, as the command-line tool does.
    StreamModel model(StreamFrames + 16);

    for (auto _ : state) {
        ScanFrames(model, context, stream.data(), uint32_t(stream.size()), 0);
        benchmark::DoNotOptimize(model.Info.FrameCount);
    }
    if (model.Info.FrameCount < int32_t(StreamFrames) - 1)
        state.SkipWithError("the scanner did not find the synthesised frames");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(stream.size()));
    state.counters["frames"] = double(model.Info.FrameCount);
    state.counters["MB"] = double(stream.size()) / 1e6;
}

} // namespace

BENCHMARK(BM_ScanFrames)->ArgName("crc")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
