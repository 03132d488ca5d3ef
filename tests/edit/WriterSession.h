// One file opened for editing the way the window opens it, and the Save and Save As calls the
// window makes on it, for the writer's tests. The ending's loudness is not needed here, so a
// stand-in replaces the decoder. Also: files made of hand-built frames and tags, fixtures
// encoded once by lame, and a child process for the saves that must fail or die part-way.
#pragma once

#include "core/EndLevels.h"
#include "core/Errors.h"
#include "core/FrameHeader.h"
#include "core/OpenFile.h"
#include "edit/FileWriter.h"
#include "edit/SaveCommands.h"
#include "edit/TrimFigures.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zefrin::test::writer {

namespace fs = std::filesystem;

class NoLevels final : public EndLevelAnalyser
{
  public:
    void AnalyseLevels(StreamModel&, const EngineContext&, const std::string&, int, int) override {}
};

struct WriterSession
{
    WriterSession()
    {
        // The window's defaults, except that the file stays open after a save so that the
        // model rewrite can be seen.
        Settings.CheckBoxCloseAfterSave = 0;
    }

    EngineContext Context()
    {
        return EngineContext{Settings, Texts, PumpOverride ? *PumpOverride : Pump};
    }

    void Open(const fs::path& path)
    {
        Model = std::make_unique<StreamModel>();
        FileName = path.string();
        NoLevels levels;
        EditName = OpenFile(*Model, Context(), FileName, levels).EditName;
        State = EditState{};
        State.FileOpen = true;
    }

    // The figures for the current controls and settings, then the writer call Save (dest
    // empty) or Save As makes.
    WriteParameters Parameters(const std::string& dest = {})
    {
        UpdateDiskSpaceSavingDisplay(State, *Model, Settings, Controls.Begin, Controls.End);
        WriteParameters p;
        EXPECT_TRUE(
            SaveWriterParameters(p, *Model, Settings, State, FileName, dest, EditName, Controls));
        return p;
    }

    WriteResult Write(const WriteParameters& p)
    {
        return WriteEditedFile(*Model, Context(), State, p);
    }
    WriteResult Save() { return Write(Parameters()); }
    WriteResult SaveAs(const fs::path& dest) { return Write(Parameters(dest.string())); }

    std::unique_ptr<StreamModel> Model;
    SettingsRecord Settings = DefaultSettings();
    MessageTexts Texts;
    NullEventPump Pump;
    EventPump* PumpOverride = nullptr;
    EditState State;
    EditControls Controls;
    std::string FileName;
    std::string EditName;
};

// The text of the Error that `work` raises; empty when it raises none.
inline std::string ErrorText(const std::function<void()>& work)
{
    try {
        work();
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

inline bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Whether the file holds exactly `bytes`; quick on files of many megabytes.
inline bool FileHolds(const fs::path& path, const Bytes& bytes)
{
    std::error_code error;
    if (fs::file_size(path, error) != bytes.size() || error)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return false;
    auto content = std::make_unique_for_overwrite<uint8_t[]>(bytes.size() + 1);
    const size_t n = std::fread(content.get(), 1, bytes.size() + 1, file);
    std::fclose(file);
    return n == bytes.size() && std::memcmp(content.get(), bytes.data(), n) == 0;
}

inline timespec ModificationTime(const fs::path& path)
{
    struct stat st
    {
    };
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_mtim;
}

inline bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Names in `folder` that start with "." (where the writer keeps its temporary file).
inline std::vector<std::string> HiddenFiles(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("."))
            names.push_back(name);
    }
    return names;
}

// Runs `work` in a child process and returns the text it hands back; the child never returns
// into the test program. A child that dies gives "died: " and its wait status.
inline std::string InChild(const std::function<std::string()>& work)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "died: no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        std::string text;
        try {
            text = work();
        } catch (const std::exception& e) {
            text = e.what();
        }
        const char* at = text.data();
        size_t left = text.size();
        while (left > 0) {
            const ssize_t n = write(pipeEnds[1], at, left);
            if (n <= 0)
                break;
            at += n;
            left -= size_t(n);
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "died: " + std::to_string(status);
    return text;
}

// Hand-built pieces of a file.
inline Bytes TextBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// An ID3v2.3 tag with a TLEN frame holding `lengthText` (none when empty), a TIT2 frame and
// `padding` zero bytes.
inline Bytes Id3v2Tag(const std::string& lengthText, uint32_t padding = 20)
{
    Bytes frames;
    auto addFrame = [&frames](const char* id, const std::string& text) {
        Append(frames, TextBytes(id));
        const auto size = uint32_t(text.size() + 1);
        for (int shift = 24; shift >= 0; shift -= 8)
            frames.push_back(uint8_t(size >> shift));
        frames.push_back(0);
        frames.push_back(0);
        frames.push_back(0); // ISO-8859-1
        Append(frames, TextBytes(text));
    };
    addFrame("TIT2", "Writer test");
    if (!lengthText.empty())
        addFrame("TLEN", lengthText);
    frames.resize(frames.size() + padding, 0);
    Bytes tag = TextBytes("ID3");
    Append(tag, {3, 0, 0});
    const auto size = uint32_t(frames.size());
    for (int shift = 21; shift >= 0; shift -= 7)
        tag.push_back(uint8_t((size >> shift) & 0x7F));
    Append(tag, frames);
    return tag;
}

inline Bytes Id3v1Tag(const std::string& title)
{
    Bytes tag(128, ' ');
    std::copy_n("TAG", 3, tag.begin());
    std::copy(title.begin(), title.end(), tag.begin() + 3);
    tag[127] = 255;
    return tag;
}

// An APE tag of one item, footer only.
inline Bytes ApeTag()
{
    auto little32 = [](Bytes& b, uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            b.push_back(uint8_t(v >> shift));
    };
    Bytes item;
    little32(item, 5);
    little32(item, 0);
    Append(item, TextBytes("Title"));
    item.push_back(0);
    Append(item, TextBytes("hello"));
    Bytes tag = item;
    Append(tag, TextBytes("APETAGEX"));
    little32(tag, 2000);
    little32(tag, uint32_t(item.size() + 32));
    little32(tag, 1);
    little32(tag, 0);
    tag.resize(tag.size() + 8, 0);
    return tag;
}

inline Bytes Lyrics3v2Block()
{
    const std::string body = "LYRICSBEGININD0000210LYR00012[00:01]hello";
    char size[8];
    std::snprintf(size, sizeof size, "%06zu", body.size());
    return TextBytes(body + size + "LYRICS200");
}

// What a hand-built file holds: frames with a different payload each, optionally bytes that
// belong to no frame after some of them, an incomplete last frame, and tags.
struct FileRecipe
{
    int Frames = 120;
    SynthFrameShape Shape;
    bool Vbr = false;         // every third frame one bitrate step higher
    int InfoFrameBitrate = 0; // bitrate index of an "Info" frame before the audio; 0: none
    int JunkEvery = 0;        // after every n-th frame, JunkBytes stray bytes
    uint32_t JunkBytes = 0;
    uint32_t TailBytes = 0; // the first bytes of one more frame
    bool Id3v2 = false;
    std::string LengthText = "0";
    bool Lyrics = false;
    bool Ape = false;
    bool Id3v1 = false;
};

inline Bytes BuildFile(const FileRecipe& recipe)
{
    Bytes file;
    if (recipe.Id3v2)
        file = Id3v2Tag(recipe.LengthText);
    if (recipe.InfoFrameBitrate > 0) {
        SynthFrameShape shape = recipe.Shape;
        shape.BitrateIndex = recipe.InfoFrameBitrate;
        shape.RandomPayload = false;
        shape.SilentSideInfo = true;
        shape.Fill = 0;
        Bytes frame = SynthFrame(shape);
        FrameHeader header;
        DecodeFrameHeader(header, SynthHeaderWord(shape));
        const uint32_t fields[] = {3, uint32_t(recipe.Frames), 0};
        Bytes tag = TextBytes("Info");
        for (uint32_t field : fields) {
            for (int shift = 24; shift >= 0; shift -= 8)
                tag.push_back(uint8_t(field >> shift));
        }
        std::copy(tag.begin(), tag.end(), frame.begin() + header.SideInfoEnd);
        Append(file, frame);
    }
    for (int i = 0; i <= recipe.Frames; ++i) {
        SynthFrameShape shape = recipe.Shape;
        shape.Seed = uint32_t(i + 1);
        if (recipe.Vbr && i % 3 == 2)
            ++shape.BitrateIndex;
        Bytes frame = SynthFrame(shape);
        if (i == recipe.Frames) {
            if (recipe.TailBytes == 0)
                break;
            frame.resize(recipe.TailBytes);
        }
        Append(file, frame);
        if (recipe.JunkEvery > 0 && i % recipe.JunkEvery == recipe.JunkEvery - 1 &&
            i + 1 < recipe.Frames)
            file.resize(file.size() + recipe.JunkBytes, 0);
    }
    if (recipe.Lyrics)
        Append(file, Lyrics3v2Block());
    if (recipe.Ape)
        Append(file, ApeTag());
    if (recipe.Id3v1)
        Append(file, Id3v1Tag("Hand built"));
    return file;
}

// A sine encoded by lame with `options`, made once per test program: the same name gives
// the same file.
inline fs::path LameFixture(const std::string& name, const std::string& options, double seconds)
{
    static TempDir folder; // lives as long as the test program
    const fs::path mp3 = folder / name;
    if (fs::exists(mp3))
        return mp3;
    PcmShape shape;
    shape.Seconds = seconds;
    shape.SilenceAfter = 0.5;
    const fs::path wav = folder / (name + ".wav");
    WritePcmWav(wav, shape);
    return EncodeWithLame(wav, mp3, options);
}

} // namespace zefrin::test::writer
