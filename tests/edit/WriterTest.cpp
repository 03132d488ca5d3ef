// What the writer produces: Save gives what Save As gives and keeps the file's mode and date,
// the model after a Save describes the saved file, the predicted size is the written size,
// memory output stays inside its buffer, the frames change only where the gain does, and the
// failures carry their texts.
#include "WriterSession.h"
#include "core/Crc16.h"
#include "core/FrameHeader.h"
#include "core/WavHeader.h"
#include "edit/FileNameLength.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

using namespace zefrin;
using namespace zefrin::test;
using namespace zefrin::test::writer;

namespace {

constexpr const char* DiskFullLine = "\nIs your disk full?";
constexpr timespec OldTime{981173106, 123456789}; // 2001-02-03, with nanoseconds

using Tuning = void (*)(SettingsRecord&);

void SetTimes(const fs::path& path, const timespec& time)
{
    const timespec times[2] = {time, time};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

FileRecipe Tagged(FileRecipe recipe = {})
{
    recipe.Id3v2 = true;
    recipe.Id3v1 = true;
    return recipe;
}

FileRecipe WithJunk(FileRecipe recipe = {})
{
    recipe.JunkEvery = 7;
    recipe.JunkBytes = 13;
    return recipe;
}

FileRecipe WithTail(FileRecipe recipe = {})
{
    recipe.TailBytes = 150;
    return recipe;
}

FileRecipe Vbr(FileRecipe recipe = {})
{
    recipe.Vbr = true;
    recipe.Frames = 300;
    return recipe;
}

FileRecipe WithCrc(FileRecipe recipe = {})
{
    recipe.Shape.Crc = true;
    return recipe;
}

FileRecipe AllTrailingTags(FileRecipe recipe = {})
{
    recipe.Lyrics = true;
    recipe.Ape = true;
    recipe.Id3v1 = true;
    return recipe;
}

// A case's source: a hand-built file, or one encoded by lame when LameOptions is given.
struct Source
{
    FileRecipe Recipe;
    const char* LameOptions = nullptr;

    Bytes Make() const
    {
        if (LameOptions == nullptr)
            return BuildFile(Recipe);
        return ReadFileBytes(LameFixture(std::string("lame") + LameOptions, LameOptions, 8));
    }
};

fs::path PlaceFile(const fs::path& path, const Bytes& bytes)
{
    fs::create_directories(path.parent_path());
    WriteFileBytes(path, bytes);
    return path;
}

// The parts of the stream model that an in-place Save rewrites, compared with what a fresh
// opening of the saved file finds.
void ExpectModelDescribes(const StreamModel& model, const fs::path& saved,
                          const std::string& context)
{
    WriterSession fresh;
    fresh.Open(saved);
    const StreamInfo& is = model.Info;
    const StreamInfo& should = fresh.Model->Info;
    EXPECT_EQ(is.FrameCount, should.FrameCount) << context;
    EXPECT_EQ(is.LastFrameIncomplete, should.LastFrameIncomplete) << context;
    EXPECT_EQ(model.DurationSeconds, fresh.Model->DurationSeconds) << context;
    EXPECT_EQ(is.FileSize, should.FileSize) << context;
    EXPECT_EQ(is.RiffHeaderSize, should.RiffHeaderSize) << context;
    EXPECT_EQ(model.Id3v2.TotalSize, fresh.Model->Id3v2.TotalSize) << context;
    EXPECT_EQ(is.Id3v1Size, should.Id3v1Size) << context;
    if (should.Id3v1Size > 0) {
        EXPECT_TRUE(is.Id3v1 == should.Id3v1) << context;
    }
    EXPECT_EQ(is.LyricsSize, should.LyricsSize) << context;
    if (should.LyricsSize > 0) {
        EXPECT_EQ(is.LyricsOffset, should.LyricsOffset) << context;
    }
    EXPECT_EQ(is.ApeSize, should.ApeSize) << context;
    if (should.ApeSize > 0) {
        EXPECT_EQ(is.ApeOffset, should.ApeOffset) << context;
    }
    // Every record, the incomplete tail's included, and the end offset after them.
    const int32_t records = should.FrameCount + (should.LastFrameIncomplete ? 1 : 0);
    for (int32_t i = 0; i <= std::min(records, is.FrameCount); ++i) {
        const FrameRecord& a = model.Frames[uint32_t(i)];
        const FrameRecord& b = fresh.Model->Frames[uint32_t(i)];
        const bool same = a.Offset == b.Offset &&
                          (i == records || (a.Length == b.Length && a.HeaderSize == b.HeaderSize));
        if (!same) {
            ADD_FAILURE() << context << ": record " << i << " is at " << a.Offset << " ("
                          << a.Length << " bytes), the file has it at " << b.Offset << " ("
                          << b.Length << " bytes)";
            break;
        }
    }
}

} // namespace

TEST(WriterSave, GivesWhatSaveAsGivesAndKeepsModeAndDate)
{
    struct Case
    {
        const char* Name;
        FileRecipe Recipe;
        EditControls Controls;
        Tuning Tune;
        bool PreserveDate;
    };
    const Case cases[] = {
        {"trim", Tagged(), {5, 7, 0, 0, 0}, nullptr, true},
        {"gain and fades on frames with CRC", WithCrc(), {0, 0, 3, 11, 11}, nullptr, false},
        {"a WAV header: the file grows",
         Tagged(),
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.CheckBoxSaveWAV = -1; },
         true},
        {"tags dropped",
         Tagged(),
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) {
             s.CheckBoxKeepID3v2 = 0;
             s.RadioButtonID3Remove = 0;
         },
         true},
        {"ID3v1 made from the name",
         {},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.RadioButtonID3Remove = 2; },
         true},
        {"bytes between frames kept",
         WithJunk(),
         {2, 2, 0, 0, 0},
         [](SettingsRecord& s) { s.CheckBoxCleanup = 0; },
         false},
        {"a seek frame made",
         Vbr(),
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.CheckBoxCreateVBRseekInfo = -1; },
         true},
        {"Lyrics3 and APE moved down", AllTrailingTags(), {10, 0, 0, 0, 0}, nullptr, true},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const Bytes original = BuildFile(c.Recipe);
        const fs::path forSaveAs = PlaceFile(dir / "a" / "Artist - Title.mp3", original);
        const fs::path forSave = PlaceFile(dir / "b" / "Artist - Title.mp3", original);
        for (const fs::path& path : {forSaveAs, forSave}) {
            fs::permissions(path,
                            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
            SetTimes(path, OldTime);
        }

        const fs::path expectedPath = dir / "expected.mp3";
        WriterSession saveAs, save;
        for (WriterSession* session : {&saveAs, &save}) {
            if (c.Tune)
                c.Tune(session->Settings);
            session->Settings.CheckBoxPreserveDate = c.PreserveDate ? -1 : 0;
            session->Controls = c.Controls;
        }
        saveAs.Open(forSaveAs);
        saveAs.SaveAs(expectedPath);
        save.Open(forSave);
        const WriteResult result = save.Save();
        // Both dates, before reading the files can move the access date.
        for (const fs::path& written : {forSave, expectedPath}) {
            struct stat st
            {
            };
            ASSERT_EQ(stat(written.c_str(), &st), 0);
            EXPECT_EQ(SameTime(st.st_mtim, OldTime), c.PreserveDate) << c.Name << ": " << written;
            EXPECT_EQ(SameTime(st.st_atim, OldTime), c.PreserveDate) << c.Name << ": " << written;
        }
        EXPECT_EQ(fs::status(forSave).permissions(),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read)
            << c.Name;
        const Bytes expected = ReadFileBytes(expectedPath);
        EXPECT_FALSE(result.NothingToChange) << c.Name;
        EXPECT_EQ(result.Size, int64_t(expected.size())) << c.Name;
        EXPECT_EQ(result.WrittenName, forSave.string()) << c.Name;
        EXPECT_TRUE(ReadFileBytes(forSave) == expected) << c.Name;
        EXPECT_TRUE(HiddenFiles(forSave.parent_path()).empty()) << c.Name;
    }
}

TEST(WriterSave, ThroughASymbolicLinkRewritesTheFileItLeadsTo)
{
    TempDir dir;
    const Bytes original = BuildFile(Tagged());
    const fs::path file = PlaceFile(dir / "music" / "song.mp3", original);
    const fs::path link = dir / "link.mp3";
    fs::create_symlink(file, link);
    WriterSession session;
    session.Open(link);
    session.Controls = {3, 0, 1, 0, 0};
    session.SaveAs(dir / "expected.mp3");
    session.Save();
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_TRUE(ReadFileBytes(file) == ReadFileBytes(dir / "expected.mp3"));
    EXPECT_TRUE(HiddenFiles(dir / "music").empty());
    EXPECT_TRUE(HiddenFiles(dir.Path()).empty());
}

TEST(WriterSave, RewritesTheModelAsAFreshOpeningSeesIt)
{
    struct Case
    {
        const char* Name;
        FileRecipe Recipe;
        EditControls Controls;
        Tuning Tune;
    };
    const Case cases[] = {
        {"trim between tags", AllTrailingTags(Tagged()), {3, 4, 0, 0, 0}, nullptr},
        {"gain on frames with CRC", WithCrc(), {0, 0, 2, 0, 0}, nullptr},
        {"bytes between frames kept",
         WithJunk(),
         {2, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.CheckBoxCleanup = 0; }},
        {"a WAV header added",
         Tagged(),
         {1, 1, 0, 0, 0},
         [](SettingsRecord& s) { s.CheckBoxSaveWAV = -1; }},
        {"a seek frame made",
         Vbr(),
         {0, 5, 0, 0, 0},
         [](SettingsRecord& s) { s.CheckBoxCreateVBRseekInfo = -1; }},
        {"incomplete last frame kept",
         WithTail(),
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.CheckBoxRemoveLastFrame = 0; }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path path = PlaceFile(dir / "song.mp3", BuildFile(c.Recipe));
        WriterSession session;
        if (c.Tune)
            c.Tune(session.Settings);
        session.Open(path);
        session.Controls = c.Controls;
        const WriteResult result = session.Save();
        ASSERT_TRUE(result.ModelUpdated) << c.Name;
        EXPECT_FALSE(result.CloseFile) << c.Name;
        ExpectModelDescribes(*session.Model, path, c.Name);

        // Editing goes on from the rewritten model as from a fresh opening of the file.
        const EditControls next{1, 1, -1, 0, 0};
        session.Controls = next;
        session.SaveAs(dir / "from-model.mp3");
        WriterSession reopened;
        if (c.Tune)
            c.Tune(reopened.Settings);
        reopened.Open(path);
        reopened.Controls = next;
        reopened.SaveAs(dir / "from-file.mp3");
        EXPECT_TRUE(ReadFileBytes(dir / "from-model.mp3") == ReadFileBytes(dir / "from-file.mp3"))
            << c.Name;
    }
}

TEST(WriterSave, LengthInTheNameNeverReplacesAnotherFile)
{
    for (const bool nameTaken : {false, true}) {
        TempDir dir;
        const fs::path path = PlaceFile(dir / "song.mp3", BuildFile({}));
        WriterSession session;
        session.Settings.CheckBoxSave_WithTime = -1;
        session.Open(path);
        session.Controls.Begin = 10;
        session.Parameters();
        const LengthInsertion renamed = InsertLengthIntoFileName(
            "song.mp3", session.Model->Info.Reference, uint32_t(session.State.OutputFrameCount));
        ASSERT_TRUE(renamed.Done);
        const fs::path lengthName = dir / renamed.NewName;
        if (nameTaken)
            WriteFileText(lengthName, "another file");

        const WriteResult result = session.Save();
        EXPECT_TRUE(result.CloseFile) << nameTaken;
        EXPECT_FALSE(result.ModelUpdated) << nameTaken;
        const fs::path saved = nameTaken ? path : lengthName;
        EXPECT_EQ(result.WrittenName, saved.string()) << nameTaken;
        EXPECT_EQ(int64_t(fs::file_size(saved)), session.State.PredictedSize) << nameTaken;
        if (nameTaken) {
            EXPECT_EQ(ReadFileText(lengthName), "another file");
        } else {
            EXPECT_FALSE(fs::exists(path));
        }
    }
}

TEST(WriterSave, SavesThatEndWithTheFileClosed)
{
    struct Case
    {
        const char* Name;
        Tuning Tune;
    };
    const Case cases[] = {
        {"silence added at the beginning",
         [](SettingsRecord& s) { s.ComboBoxAddSilenceBeginning = 2; }},
        {"silence added at the end", [](SettingsRecord& s) { s.ComboBoxAddSilenceEnd = 2; }},
        {"close after saving", [](SettingsRecord& s) { s.CheckBoxCloseAfterSave = -1; }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path path = PlaceFile(dir / "song.mp3", BuildFile({}));
        WriterSession session;
        c.Tune(session.Settings);
        session.Open(path);
        session.Controls.End = 3;
        const int32_t framesBefore = session.Model->Info.FrameCount;
        const WriteResult result = session.Save();
        EXPECT_TRUE(result.CloseFile) << c.Name;
        EXPECT_FALSE(result.ModelUpdated) << c.Name;
        EXPECT_EQ(session.Model->Info.FrameCount, framesBefore) << c.Name;
        EXPECT_EQ(int64_t(fs::file_size(path)), session.State.PredictedSize) << c.Name;
    }
}

TEST(WriterSave, WithoutAnyChangeTouchesNothing)
{
    for (const bool closeAfterwards : {false, true}) {
        TempDir dir;
        const fs::path path = PlaceFile(dir / "song.mp3", BuildFile({}));
        SetTimes(path, OldTime);
        struct stat before
        {
        };
        ASSERT_EQ(stat(path.c_str(), &before), 0);
        WriterSession session;
        session.Settings.RadioButtonID3Remove = 0;
        session.Settings.CheckBoxPreserveDate = 0;
        session.Settings.CheckBoxCloseAfterSave = closeAfterwards ? -1 : 0;
        session.Open(path);

        const WriteResult result = session.Save();
        EXPECT_TRUE(result.NothingToChange);
        EXPECT_EQ(result.Size, 0);
        EXPECT_EQ(result.CloseFile, closeAfterwards);
        struct stat after
        {
        };
        ASSERT_EQ(stat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_TRUE(SameTime(after.st_mtim, before.st_mtim));
        EXPECT_TRUE(HiddenFiles(dir.Path()).empty());
    }
}

TEST(WriterSave, EditsThatKeepTheSizeAreStillSaved)
{
    struct Case
    {
        const char* Name;
        EditControls Controls;
        Tuning Tune;
    };
    // 0.1 s of silence is 3 frames here, as long as the 3 frames trimmed.
    const Case cases[] = {
        {"gain", {0, 0, 1, 0, 0}, nullptr},
        {"fade-in", {0, 0, 0, 11, 0}, nullptr},
        {"frames trimmed and as many silent ones added",
         {3, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.ComboBoxAddSilenceEnd = 1; }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const Bytes original = BuildFile({});
        const fs::path path = PlaceFile(dir / "a" / "song.mp3", original);
        const fs::path other = PlaceFile(dir / "b" / "song.mp3", original);
        WriterSession save, saveAs;
        for (WriterSession* session : {&save, &saveAs}) {
            session->Settings.RadioButtonID3Remove = 0;
            if (c.Tune)
                c.Tune(session->Settings);
            session->Controls = c.Controls;
        }
        saveAs.Open(other);
        saveAs.SaveAs(dir / "expected.mp3");
        save.Open(path);
        ASSERT_EQ(save.Parameters().CopyCount, 120 - c.Controls.Begin);
        ASSERT_EQ(save.State.PredictedSize, int64_t(original.size())) << c.Name;

        const WriteResult result = save.Save();
        EXPECT_FALSE(result.NothingToChange) << c.Name;
        EXPECT_TRUE(ReadFileBytes(path) == ReadFileBytes(dir / "expected.mp3")) << c.Name;
    }
}

TEST(WriterMemory, GetsTheFileOutputWithoutWavHeaderOrId3v2)
{
    for (const bool wav : {false, true}) {
        TempDir dir;
        const fs::path path = PlaceFile(dir / "song.mp3", BuildFile(AllTrailingTags(Tagged())));
        WriterSession session;
        session.Settings.CheckBoxSaveWAV = wav ? -1 : 0;
        session.Open(path);
        session.Controls = {2, 3, 1, 11, 0};
        const WriteParameters toFile = session.Parameters((dir / "out.mp3").string());
        session.Write(toFile);
        const Bytes file = ReadFileBytes(dir / "out.mp3");
        const size_t lead = wav ? Mp3WavHeaderSize : size_t(session.Model->Id3v2.TotalSize);
        ASSERT_GT(lead, 0u);

        Bytes memory(file.size(), 0);
        WriteParameters toMemory = toFile;
        toMemory.DestName.clear();
        toMemory.MemoryOut = memory.data();
        toMemory.MemoryOutCapacity = memory.size();
        const WriteResult result = session.Write(toMemory);
        EXPECT_EQ(result.Size, int64_t(file.size() - lead)) << wav;
        EXPECT_TRUE(std::equal(file.begin() + long(lead), file.end(), memory.begin())) << wav;
    }
}

TEST(WriterMemory, NeverWritesPastItsCapacity)
{
    TempDir dir;
    const fs::path path = PlaceFile(dir / "song.mp3", BuildFile(Tagged()));
    WriterSession session;
    session.Open(path);
    session.Controls = {0, 0, 2, 0, 0};
    WriteParameters p = session.Parameters();
    p.AllowSeekFrame = false;
    const auto needed = size_t(session.State.PredictedSize - session.Model->Id3v2.TotalSize);

    constexpr size_t Guard = 64;
    for (const size_t capacity :
         {size_t(0), size_t(1), needed / 2, needed - 1, needed, needed + 1}) {
        Bytes buffer(capacity + Guard, 0xA5);
        p.MemoryOut = buffer.data();
        p.MemoryOutCapacity = capacity;
        WriteResult result;
        const std::string text = ErrorText([&] { result = session.Write(p); });
        if (capacity < needed) {
            EXPECT_EQ(text, "Output buffer too small (" + std::to_string(capacity) + " bytes)");
        } else {
            EXPECT_EQ(text, "") << capacity;
            EXPECT_EQ(result.Size, int64_t(needed)) << capacity;
        }
        EXPECT_TRUE(std::all_of(buffer.begin() + long(capacity), buffer.end(),
                                [](uint8_t b) { return b == 0xA5; }))
            << "written past " << capacity << " bytes";
    }
}

TEST(WriterErrors, CarryTheirTexts)
{
    using Damage = void (*)(const fs::path&);
    struct Case
    {
        const char* Name;
        bool InPlace;
        const char* Dest;
        Damage Harm;      // done to the source after it was opened
        std::string Text; // "%s" stands for the source's path
    };
    const Damage removed = [](const fs::path& p) { fs::remove(p); };
    const Damage grown = [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) + 100); };
    const Damage emptied = [](const fs::path& p) { fs::resize_file(p, 0); };
    const std::string noFile = std::strerror(ENOENT);
    const Case cases[] = {
        {"destination folder missing", false, "missing/out.mp3", nullptr,
         "Can't create destination file - " + noFile + DiskFullLine},
        {"source removed, Save As", false, "out.mp3", removed,
         "Failed to open the file \"%s\" - " + noFile + DiskFullLine},
        {"source removed, Save", true, "", removed,
         "Failed to open the file \"%s\" - " + noFile + DiskFullLine},
        {"source grown, Save As", false, "out.mp3", grown,
         "Can't open source file - it has changed since it was opened"},
        {"source grown, Save", true, "", grown,
         "Can't open source file - it has changed since it was opened"},
        {"source emptied, Save", true, "", emptied,
         std::string("Failed to create file mapping - ") + std::strerror(EINVAL) + DiskFullLine},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path path = PlaceFile(dir / "song.mp3", BuildFile(Tagged()));
        WriterSession session;
        session.Open(path);
        session.Controls.Amplification = 1;
        if (c.Harm)
            c.Harm(path);
        const Bytes left = fs::exists(path) ? ReadFileBytes(path) : Bytes();
        const fs::path dest = c.InPlace ? fs::path() : dir / c.Dest;

        const std::string text =
            ErrorText([&] { c.InPlace ? session.Save() : session.SaveAs(dest); });
        std::string expected = c.Text;
        if (const size_t at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, path.string());
        EXPECT_EQ(text, expected) << c.Name;
        EXPECT_TRUE(!fs::exists(path) || ReadFileBytes(path) == left) << c.Name;
        EXPECT_TRUE(HiddenFiles(dir.Path()).empty()) << c.Name;
        if (!c.InPlace && c.Harm) {
            EXPECT_FALSE(fs::exists(dest)) << c.Name;
        }
    }
}

TEST(WriterSizes, PredictedSizeIsWrittenSize)
{
    struct Case
    {
        const char* Name;
        Source From;
        EditControls Controls;
        Tuning Tune;
    };
    const Tuning keepTail = [](SettingsRecord& s) { s.CheckBoxRemoveLastFrame = 0; };
    const Tuning noCleanup = [](SettingsRecord& s) { s.CheckBoxCleanup = 0; };
    const Tuning wav = [](SettingsRecord& s) { s.CheckBoxSaveWAV = -1; };
    const Tuning createSeekFrame = [](SettingsRecord& s) { s.CheckBoxCreateVBRseekInfo = -1; };
    const Case cases[] = {
        {"bytes between frames dropped", {WithJunk()}, {2, 3, 0, 0, 0}, nullptr},
        {"bytes between frames kept", {WithJunk()}, {2, 3, 0, 0, 0}, noCleanup},
        {"bytes between frames kept, nothing trimmed", {WithJunk()}, {0, 0, 0, 0, 0}, noCleanup},
        {"incomplete last frame kept", {WithTail()}, {0, 0, 0, 0, 0}, keepTail},
        {"incomplete last frame removed", {WithTail()}, {0, 0, 0, 0, 0}, nullptr},
        {"incomplete last frame trimmed with the end", {WithTail()}, {0, 2, 0, 0, 0}, keepTail},
        {"incomplete last frame and bytes between frames kept",
         {WithTail(WithJunk())},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) {
             s.CheckBoxRemoveLastFrame = 0;
             s.CheckBoxCleanup = 0;
         }},
        {"WAV header", {Tagged()}, {1, 1, 0, 0, 0}, wav},
        {"seek frame made", {Vbr()}, {4, 4, 0, 0, 0}, createSeekFrame},
        {"seek frame made, silence added",
         {Vbr()},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) {
             s.CheckBoxCreateVBRseekInfo = -1;
             s.ComboBoxAddSilenceBeginning = 5;
             s.ComboBoxAddSilenceEnd = 3;
         }},
        {"lame's Xing frame kept", {{}, "-V4"}, {10, 10, 0, 0, 0}, nullptr},
        {"lame's Info frame kept", {{}, "-b128"}, {10, 10, 0, 0, 0}, nullptr},
        {"WAV header before lame's Info frame", {{}, "-b128"}, {0, 0, 0, 0, 0}, wav},
        {"an Info frame too short for a variable bitrate's table",
         {[] {
             FileRecipe r = Vbr();
             r.InfoFrameBitrate = 1;
             return r;
         }()},
         {0, 0, 0, 0, 0},
         nullptr},
        {"ID3v1 removed",
         {Tagged()},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.RadioButtonID3Remove = 0; }},
        {"ID3v1 kept",
         {Tagged()},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.RadioButtonID3Remove = 1; }},
        {"ID3v1 kept, but the source has none",
         {},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.RadioButtonID3Remove = 1; }},
        {"ID3v1 made from the name",
         {},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.RadioButtonID3Remove = 2; }},
        {"ID3v1 remade over the source's",
         {Tagged()},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.RadioButtonID3Remove = 2; }},
        {"ID3v2 dropped",
         {Tagged()},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) { s.CheckBoxKeepID3v2 = 0; }},
        {"silence at both ends",
         {},
         {0, 0, 0, 0, 0},
         [](SettingsRecord& s) {
             s.ComboBoxAddSilenceBeginning = 3;
             s.ComboBoxAddSilenceEnd = 5;
         }},
        {"Lyrics3 and APE", {AllTrailingTags(Tagged())}, {5, 5, 2, 0, 0}, nullptr},
    };
    for (const Case& c : cases) {
        TempDir dir;
        const fs::path path = PlaceFile(dir / "Artist - Title.mp3", c.From.Make());
        WriterSession session;
        if (c.Tune)
            c.Tune(session.Settings);
        session.Open(path);
        session.Controls = c.Controls;
        const fs::path out = dir / "out.mp3";
        const WriteResult result = session.SaveAs(out);
        EXPECT_EQ(int64_t(fs::file_size(out)), session.State.PredictedSize) << c.Name;
        EXPECT_EQ(result.BytesWritten, session.State.PredictedSize) << c.Name;

        WriterSession reopened;
        reopened.Open(out);
        EXPECT_EQ(reopened.Model->Info.FrameCount, session.State.OutputFrameCount) << c.Name;
        EXPECT_EQ(reopened.Model->Info.LastFrameIncomplete,
                  session.State.IncludeIncompleteTail == 1)
            << c.Name;
    }
}

TEST(WriterFrames, GainChangesOnlyGainFieldsAndMendsOnlyCorrectCrcs)
{
    TempDir dir;
    const fs::path path =
        PlaceFile(dir / "song.mp3", ReadFileBytes(LameFixture("crc.mp3", "-b128 -p", 3)));
    constexpr int32_t Broken = 20;
    {
        // One frame's stored CRC made wrong.
        WriterSession probe;
        probe.Open(path);
        Bytes bytes = ReadFileBytes(path);
        bytes[probe.Model->Frames[Broken].Offset + 4] ^= 0x5A;
        WriteFileBytes(path, bytes);
    }
    const Bytes source = ReadFileBytes(path);
    WriterSession session;
    session.Open(path);
    ASSERT_EQ(session.Model->Info.BadCrcCount, 1);
    const StreamModel& in = *session.Model;

    struct Case
    {
        const char* Name;
        EditControls Controls;
    };
    const Case cases[] = {
        {"gain", {0, 0, 2, 0, 0}},
        {"fade-in", {0, 0, 0, 11, 0}},
    };
    for (const Case& c : cases) {
        session.Controls = c.Controls;
        const fs::path outPath = dir / (std::string(c.Name) + ".mp3");
        session.SaveAs(outPath);
        const Bytes output = ReadFileBytes(outPath);
        WriterSession saved;
        saved.Open(outPath);
        const StreamModel& out = *saved.Model;
        ASSERT_EQ(out.Info.FrameCount, in.Info.FrameCount) << c.Name;

        int changed = 0;
        for (int32_t i = 0; i < in.Info.FrameCount; ++i) {
            const uint8_t* before = source.data() + in.Frames[uint32_t(i)].Offset;
            const uint8_t* after = output.data() + out.Frames[uint32_t(i)].Offset;
            const uint32_t length = in.Frames[uint32_t(i)].Length;
            FrameHeader header;
            ASSERT_TRUE(DecodeFrameHeader(header, LoadHeaderWord(after)));
            ASSERT_TRUE(header.HasCrc);
            const std::string frame = std::string(c.Name) + ", frame " + std::to_string(i);
            if (std::memcmp(before, after, length) == 0)
                continue;
            ++changed;
            // Header, and everything after the side information, as they were.
            EXPECT_EQ(std::memcmp(before, after, 4), 0) << frame;
            EXPECT_EQ(std::memcmp(before + header.SideInfoEnd, after + header.SideInfoEnd,
                                  length - header.SideInfoEnd),
                      0)
                << frame;
            if (i == Broken) {
                EXPECT_EQ(StoredFrameCrc(after), StoredFrameCrc(before)) << frame;
                EXPECT_NE(StoredFrameCrc(after), FrameCrc(header, after)) << frame;
            } else {
                EXPECT_EQ(StoredFrameCrc(after), FrameCrc(header, after)) << frame;
            }
        }
        if (c.Controls.Amplification != 0) {
            EXPECT_EQ(changed, in.Info.FrameCount) << c.Name;
        } else {
            // A fade takes at most half of the frames; the rest go out untouched.
            EXPECT_GT(changed, 0) << c.Name;
            EXPECT_LE(changed, in.Info.FrameCount / 2) << c.Name;
        }
    }
}

TEST(WriterFrames, LengthTextKeepsItsDigitCount)
{
    // 120 frames of 1152 samples at 44.1 kHz last 3134 ms.
    struct Case
    {
        const char* Source;
        const char* Written;
    };
    const Case cases[] = {
        {"0", "4"},
        {"12", "34"},
        {"5000", "3134"},
        {"00000000", "00003134"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        FileRecipe recipe = Tagged();
        recipe.LengthText = c.Source;
        const Bytes original = BuildFile(recipe);
        const fs::path path = PlaceFile(dir / "song.mp3", original);
        WriterSession session;
        session.Open(path);
        const TID3v2 tag = session.Model->Id3v2;
        ASSERT_EQ(tag.LengthDigits, int32_t(std::strlen(c.Source))) << c.Source;
        session.SaveAs(dir / "out.mp3");
        const Bytes output = ReadFileBytes(dir / "out.mp3");

        Bytes expectedTag(original.begin(), original.begin() + tag.TotalSize);
        std::copy_n(c.Written, tag.LengthDigits, expectedTag.begin() + tag.LengthOffset);
        ASSERT_GE(output.size(), expectedTag.size());
        EXPECT_TRUE(std::equal(expectedTag.begin(), expectedTag.end(), output.begin()))
            << c.Source << " -> " << c.Written;
        WriterSession reopened;
        reopened.Open(dir / "out.mp3");
        EXPECT_EQ(reopened.Model->Id3v2.TotalSize, tag.TotalSize) << c.Source;
        EXPECT_EQ(reopened.Model->Id3v2.LengthText, c.Written) << c.Source;
    }
}
