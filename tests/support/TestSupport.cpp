#include "TestSupport.h"

#include "core/Crc16.h"
#include "core/FrameHeader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace zefrin::test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "zefrin-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    // Read-only folders made by tests must not keep their contents alive.
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(m_path, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_directory(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(m_path, ignored);
}

Bytes ReadFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string ReadFileText(const fs::path& path)
{
    const Bytes bytes = ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteFileText(const fs::path& path, const std::string& text)
{
    WriteFileBytes(path, Bytes(text.begin(), text.end()));
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

CommandResult RunCommand(const std::string& commandLine)
{
    TempDir dir;
    const fs::path out = dir / "out", err = dir / "err";
    const std::string full = "(" + commandLine + ") >" + ShellQuote(out.string()) + " 2>" +
                             ShellQuote(err.string()) + " </dev/null";
    CommandResult result;
    const int status = std::system(full.c_str());
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const Bytes o = ReadFileBytes(out), e = ReadFileBytes(err);
    result.Out.assign(o.begin(), o.end());
    result.Err.assign(e.begin(), e.end());
    return result;
}

namespace {

void Put16(Bytes& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

} // namespace

void WritePcmWav(const fs::path& path, const PcmShape& shape)
{
    const auto before = uint32_t(shape.SilenceBefore * shape.SampleRate);
    const auto tone = uint32_t(shape.Seconds * shape.SampleRate);
    const auto after = uint32_t(shape.SilenceAfter * shape.SampleRate);
    const uint32_t frames = before + tone + after;
    const uint32_t dataSize = frames * uint32_t(shape.Channels) * 2;
    Bytes b;
    b.reserve(44 + dataSize);
    for (char c : std::string("RIFF"))
        b.push_back(uint8_t(c));
    Put32(b, 36 + dataSize);
    for (char c : std::string("WAVEfmt "))
        b.push_back(uint8_t(c));
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, uint32_t(shape.Channels));
    Put32(b, shape.SampleRate);
    Put32(b, shape.SampleRate * uint32_t(shape.Channels) * 2);
    Put16(b, uint32_t(shape.Channels) * 2);
    Put16(b, 16);
    for (char c : std::string("data"))
        b.push_back(uint8_t(c));
    Put32(b, dataSize);
    for (uint32_t i = 0; i < frames; ++i) {
        int16_t sample = 0;
        if (i >= before && i < before + tone) {
            const double t = double(i - before) / shape.SampleRate;
            sample =
                int16_t(std::lround(shape.Amplitude * std::sin(2 * M_PI * shape.Frequency * t)));
        }
        for (int c = 0; c < shape.Channels; ++c)
            Put16(b, uint16_t(sample));
    }
    WriteFileBytes(path, b);
}

fs::path EncodeWithLame(const fs::path& wav, const fs::path& mp3, const std::string& options)
{
    const CommandResult r = RunCommand("lame --quiet " + options + " " + ShellQuote(wav.string()) +
                                       " " + ShellQuote(mp3.string()));
    EXPECT_EQ(r.ExitCode, 0) << "lame " << options << ": " << r.Err;
    return r.ExitCode == 0 ? mp3 : fs::path();
}

fs::path EncodeWithTwolame(const fs::path& wav, const fs::path& mp2, const std::string& options)
{
    const CommandResult r = RunCommand("twolame --quiet " + options + " " +
                                       ShellQuote(wav.string()) + " " + ShellQuote(mp2.string()));
    EXPECT_EQ(r.ExitCode, 0) << "twolame " << options << ": " << r.Err;
    return r.ExitCode == 0 ? mp2 : fs::path();
}

uint32_t SynthHeaderWord(const SynthFrameShape& shape)
{
    uint32_t raw = 0xE0FF;
    raw |= uint32_t(shape.Crc ? 0 : 1) << 8;
    raw |= uint32_t(shape.Layer & 3) << 9;
    raw |= uint32_t(shape.Version & 3) << 11;
    raw |= uint32_t(shape.Padding ? 1 : 0) << 17;
    raw |= uint32_t(shape.SampleRateIndex & 3) << 18;
    raw |= uint32_t(shape.BitrateIndex & 15) << 20;
    raw |= uint32_t(shape.ChannelMode & 3) << 30;
    return raw;
}

Bytes SynthFrame(const SynthFrameShape& shape)
{
    FrameHeader h;
    const uint32_t raw = SynthHeaderWord(shape);
    if (!DecodeFrameHeader(h, raw))
        throw std::runtime_error("SynthFrame: not a valid header");
    Bytes frame(h.FrameLength, shape.Fill);
    StoreHeaderWord(frame.data(), raw);
    if (shape.RandomPayload) {
        uint32_t state = shape.Seed * 2654435761u + 12345u;
        for (uint32_t i = h.SideInfoEnd; i < frame.size(); ++i) {
            state = state * 1103515245u + 12345u;
            frame[i] = uint8_t(state >> 16);
        }
    }
    for (uint32_t i = h.HeaderSize; i < h.SideInfoEnd && i < frame.size(); ++i)
        frame[i] = shape.SilentSideInfo ? 0 : uint8_t(0x21 + i * 7);
    if (shape.Crc)
        StoreFrameCrc(frame.data(), FrameCrc(h, frame.data()));
    return frame;
}

Bytes SynthStream(const SynthFrameShape& shape, int count)
{
    Bytes out;
    const Bytes frame = SynthFrame(shape);
    for (int i = 0; i < count; ++i)
        Append(out, frame);
    return out;
}

void Append(Bytes& to, const Bytes& from)
{
    to.insert(to.end(), from.begin(), from.end());
}

long FfprobePacketCount(const fs::path& path)
{
    const CommandResult r = RunCommand(
        "ffprobe -v error -select_streams a:0 -count_packets -show_entries stream=nb_read_packets"
        " -of csv=p=0 " +
        ShellQuote(path.string()));
    if (r.ExitCode != 0)
        return -1;
    return std::strtol(r.Out.c_str(), nullptr, 10);
}

std::vector<int16_t> DecodeWithMpg123(const fs::path& path)
{
    const CommandResult r = RunCommand("mpg123 -q -s " + ShellQuote(path.string()));
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    std::vector<int16_t> samples(r.Out.size() / 2);
    std::memcpy(samples.data(), r.Out.data(), samples.size() * 2);
    return samples;
}

int PeakSample(const std::vector<int16_t>& pcm, double from, double to)
{
    const auto first = std::min(pcm.size(), size_t(from * 44100) * 2);
    const auto last = std::min(pcm.size(), size_t(to * 44100) * 2);
    int peak = 0;
    for (size_t i = first; i < last; ++i)
        peak = std::max(peak, std::abs(int(pcm[i])));
    return peak;
}

} // namespace zefrin::test
