#include "CueFixtures.h"

#include "core/Errors.h"
#include "core/OpenFile.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace zefrin::test {

namespace fs = std::filesystem;

namespace {

void Put(Bytes& to, const std::string& text)
{
    to.insert(to.end(), text.begin(), text.end());
}

void PutLittle(Bytes& to, uint32_t value, int bytes)
{
    for (int b = 0; b < bytes; ++b)
        to.push_back(uint8_t(value >> (8 * b)));
}

void PutBig(Bytes& to, uint32_t value)
{
    for (int b = 3; b >= 0; --b)
        to.push_back(uint8_t(value >> (8 * b)));
}

void WriteMonoWav(const fs::path& path, const std::vector<int16_t>& samples)
{
    const auto dataSize = uint32_t(samples.size() * 2);
    Bytes b;
    Put(b, "RIFF");
    PutLittle(b, 36 + dataSize, 4);
    Put(b, "WAVEfmt ");
    PutLittle(b, 16, 4);
    PutLittle(b, 1, 2); // PCM
    PutLittle(b, 1, 2); // mono
    PutLittle(b, AlbumSampleRate, 4);
    PutLittle(b, AlbumSampleRate * 2, 4);
    PutLittle(b, 2, 2);
    PutLittle(b, 16, 2);
    Put(b, "data");
    PutLittle(b, dataSize, 4);
    for (const int16_t s : samples)
        PutLittle(b, uint16_t(s), 2);
    WriteFileBytes(path, b);
}

void AppendTone(std::vector<int16_t>& samples, double seconds, double frequency)
{
    const auto count = size_t(seconds * AlbumSampleRate);
    for (size_t i = 0; i < count; ++i) {
        const double t = double(i) / AlbumSampleRate;
        samples.push_back(int16_t(std::lround(12000 * std::sin(2 * M_PI * frequency * t))));
    }
}

} // namespace

double AlbumPauseStart(int k)
{
    return k * AlbumToneSeconds + (k - 1) * AlbumPauseSeconds;
}

fs::path MakeAlbum(const TempDir& dir, const std::string& name, const std::string& lameOptions)
{
    std::vector<int16_t> samples;
    for (int k = 1; k <= AlbumTracks; ++k) {
        AppendTone(samples, k < AlbumTracks ? AlbumToneSeconds : AlbumLastToneSeconds,
                   220.0 * std::pow(2.0, (k - 1) / 4.0));
        if (k < AlbumTracks)
            samples.resize(samples.size() + size_t(AlbumPauseSeconds * AlbumSampleRate), 0);
    }
    const fs::path wav = dir / (name + ".wav");
    WriteMonoWav(wav, samples);
    return EncodeWithLame(wav, dir / (name + ".mp3"), lameOptions);
}

fs::path MakeTone(const TempDir& dir, const std::string& name, double seconds,
                  const std::string& lameOptions)
{
    std::vector<int16_t> samples;
    AppendTone(samples, seconds, 440.0);
    const fs::path wav = dir / (name + ".wav");
    WriteMonoWav(wav, samples);
    return EncodeWithLame(wav, dir / (name + ".mp3"), lameOptions);
}

OpenedMp3::OpenedMp3() = default;

bool OpenedMp3::Open(const fs::path& path)
{
    Path = path.string();
    try {
        DecoderLevelAnalyser levels(Decoder);
        OpenFile(*Model, Context(), Path, levels);
    } catch (const Error& e) {
        ADD_FAILURE() << "opening " << Path << ": " << e.what();
        return false;
    }
    State.FileOpen = true;
    return true;
}

std::vector<int16_t> DecodeSamples(const fs::path& path)
{
    const fs::path raw = path.string() + ".raw";
    const CommandResult r =
        RunCommand("mpg123 -q --no-gapless -e s16 -s " + ShellQuote(path.string()) + " > " +
                   ShellQuote(raw.string()));
    EXPECT_EQ(r.ExitCode, 0) << "mpg123 " << path << ": " << r.Err;
    const Bytes bytes = ReadFileBytes(raw);
    fs::remove(raw);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

Bytes Id3v23Tag(const std::vector<std::pair<std::string, Bytes>>& frames)
{
    Bytes body;
    for (const auto& [id, frame] : frames) {
        Put(body, id);
        PutBig(body, uint32_t(frame.size()));
        body.push_back(0);
        body.push_back(0);
        body.insert(body.end(), frame.begin(), frame.end());
    }
    Bytes tag;
    Put(tag, "ID3");
    tag.push_back(3);
    tag.push_back(0);
    tag.push_back(0);
    const auto size = uint32_t(body.size());
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(uint8_t((size >> shift) & 0x7F));
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

Bytes TextFrameBody(const std::string& text)
{
    Bytes body{0};
    Put(body, text);
    return body;
}

Bytes GeobFrameBody(const std::string& text)
{
    Bytes body{3};
    Put(body, "text/plain");
    body.push_back(0);
    Put(body, "album.cue");
    body.push_back(0);
    body.push_back(0);
    Put(body, text);
    return body;
}

std::string CueText(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

} // namespace zefrin::test
