// Splitting the opened file into one file per track of its cue sheet — the one beside the
// file or the one embedded in its ID3v2 tag — each track written by the one writer with the
// current volume, fades, added silence and cleanup, into a folder named after the album.
#pragma once

#include "core/EngineContext.h"
#include "core/StreamModel.h"
#include "edit/EditState.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zefrin {

struct CueTrack
{
    std::string Name; // output file name, "03 Artist - Song.mp3"
    int32_t StartFrame = 0;
};

struct CueSheet
{
    std::vector<CueTrack> Tracks; // at most 99
    std::string AlbumTitle;
    std::string AlbumPerformer;
};

// Reads a cue sheet for the opened stream (its frame count and reference header, and
// SaveAsWav for the extension of the names). Raises "invalid CUE file", "invalid CUE file -
// bad index order", "invalid CUE file - index out of range", "invalid CUE file - too many
// tracks", "CUE PERFORMER found after INDEX", a text naming an INDEX time that is not a
// number, and the file's own errors.
CueSheet ReadCueSheet(const std::string& cueName, const StreamModel& model,
                      const SettingsRecord& settings, const EditState& state);

// Replaces the characters a file name may not hold; the last character is never changed.
std::string SanitizeFileName(const std::string& name);

// A folder name from a cue sheet or a tag made safe: the file-name replacements for every
// character, and "." or ".." (or an empty result) refused by returning an empty name.
std::string SanitizeFolderName(const std::string& name);

// The volume and fade controls of the window at the moment of the split.
struct SplitControls
{
    int32_t Amplification = 0;
    int32_t FadeIn = 0;
    int32_t FadeOut = 0;
};

struct SplitResult
{
    bool Found = false; // false: neither a cue sheet file nor an embedded one
    std::string CueName;
    bool CueFromTag = false;        // the cue sheet came from the ID3v2 tag (and is gone again)
    std::string OutputFolder;       // ends with '/'
    std::vector<std::string> Files; // the track files written, in order
};

// SplitByCueSheet for the opened, analysed file `fileName`. The figures in `state` follow
// every track (as the trim controls would) and keep the last track's values.
SplitResult SplitByCueSheet(StreamModel& model, const EngineContext& context, EditState& state,
                            const std::string& fileName, const SplitControls& controls);

} // namespace zefrin
