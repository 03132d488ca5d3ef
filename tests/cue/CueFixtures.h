// Fixtures of the cue sheet tests: an album in one file made at test time, a file opened as
// the window opens it (with the real decoder), ID3v2 tags built by hand, and what mpg123
// decodes.
#pragma once

#include "audio/DecoderLevelAnalyser.h"
#include "core/EngineContext.h"
#include "core/EventPump.h"
#include "core/MessageTexts.h"
#include "core/StreamModel.h"
#include "edit/EditState.h"
#include "platform/Mp3FrameDecoder.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zefrin::test {

// Ten tones of different pitch, each followed by a pause of digital silence but the last.
// The last tone is longer so that the last track start is not too near the end of the file.
inline constexpr int AlbumTracks = 10;
inline constexpr uint32_t AlbumSampleRate = 44100;
inline constexpr double AlbumToneSeconds = 3.0;
inline constexpr double AlbumLastToneSeconds = 6.0;
inline constexpr double AlbumPauseSeconds = 2.0;

// Start of the pause after tone `k` (1 .. 9), in seconds of the PCM.
double AlbumPauseStart(int k);

// The album as a mono WAV file and encoded by lame with `lameOptions`.
std::filesystem::path MakeAlbum(const TempDir& dir, const std::string& name,
                                const std::string& lameOptions = "-b 128");

// One tone of `seconds` without pauses, encoded by lame.
std::filesystem::path MakeTone(const TempDir& dir, const std::string& name, double seconds,
                               const std::string& lameOptions = "-b 128");

// A file opened as the window opens it: the scan, the end-of-stream levels decoded by the
// real decoder, and the figures of the trim controls ready for the file.
class OpenedMp3
{
  public:
    OpenedMp3();
    // Fails the current test when the file does not open.
    bool Open(const std::filesystem::path& path);
    EngineContext Context() { return EngineContext{Settings, Texts, Pump}; }

    SettingsRecord Settings = DefaultSettings();
    MessageTexts Texts;
    NullEventPump Pump;
    std::unique_ptr<StreamModel> Model = std::make_unique<StreamModel>();
    Mp3FrameDecoder Decoder;
    EditState State;
    std::string Path;
};

// Interleaved samples as mpg123 decodes the file: no gapless trimming, no samples for a
// leading Xing/Info frame, one frame's worth for every audio frame.
std::vector<int16_t> DecodeSamples(const std::filesystem::path& path);

// An ID3v2.3 tag of the frames given as (identifier, body).
Bytes Id3v23Tag(const std::vector<std::pair<std::string, Bytes>>& frames);
// The body of a text frame in ISO-8859-1.
Bytes TextFrameBody(const std::string& text);
// The body of a GEOB frame that holds `text` (UTF-8 encoding byte, MIME type, file name,
// empty description).
Bytes GeobFrameBody(const std::string& text);

// The cue sheet from lines joined with CR LF.
std::string CueText(const std::vector<std::string>& lines);

} // namespace zefrin::test
