// The one writer: the opened file and the user's edits turned into output — a new file
// (Save As, a cue track, a preview clip), a memory buffer (the internal preview), or the
// opened file itself (Save). Frames go byte for byte from the mapped source to the output;
// only the global_gain fields of frames whose volume changes, and then their CRC, differ.
//
// Output layout: WAV header | ID3v2 tag (TLEN rewritten) | seek frame | silence | frames |
// silence | Lyrics3 | APE | ID3v1.
//
// Save never rewrites the opened file where it lies: the complete result goes to a
// temporary file in the same folder, is flushed to disk and then replaces the original in
// one rename, so that a failure at any point leaves the original as it was.
#pragma once

#include "EditState.h"
#include "core/EngineContext.h"
#include "core/StreamModel.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zefrin {

struct WriteParameters
{
    std::string SourceName;       // the opened file
    std::string DestName;         // a new output file; empty for memory or in place
    uint8_t* MemoryOut = nullptr; // the caller's buffer; null unless the output is memory
    size_t MemoryOutCapacity = 0; // its size: the writer never writes past it
    int32_t GainSteps = 0;        // amplification, global_gain steps on every frame
    bool ShowProgressBar = false;
    int32_t FadeSpan = 0;        // frames of which each fade may take at most half
    int32_t CopyCount = 0;       // source frames to copy
    int32_t FirstFrame = 0;      // FrameTable index of the first one
    int32_t FadeOutPosition = 0; // fade track bar positions 0..32
    int32_t FadeInPosition = 0;
    int32_t SilenceEndFrames = 0;
    int32_t SilenceBeginFrames = 0;
    bool Cleanup = true; // copy frames alone, without the bytes between them
    bool KeepApe = true;
    bool KeepId3v2 = true;
    bool WriteId3v1 = true;
    bool AllowSeekFrame = true;
    bool CloseAfterwards = false;
    std::string EditName; // the name the window shows, for ID3v1 from the name
};

struct WriteResult
{
    // In place: the new size of the file (0 when nothing had to change). Memory: the bytes
    // placed in MemoryOut. New file: 0.
    int64_t Size = 0;
    int64_t BytesWritten = 0; // bytes of the output, whatever it was
    std::string WrittenName;  // the file that holds the result (a Save may rename it)
    bool NothingToChange = false;
    bool CloseFile = false;    // the caller closes the opened file (MenuCloseClick)
    bool ModelUpdated = false; // the model now describes the saved file
};

// EditState's PredictedSize and OutputFrameCount must be current for the same trimming
// points, settings and output type (UpdateDiskSpaceSavingDisplay). Failures raise Error with
// the writer's texts ("Can't change file", "Can't open source file", "Can't create
// destination file", "Can't truncate destination file"); input/output errors get a line
// "Is your disk full?" appended.
WriteResult WriteEditedFile(StreamModel& model, const EngineContext& context, EditState& state,
                            const WriteParameters& parameters);

} // namespace zefrin
