// Save must never cost the user the file: a save that fails part-way or is killed leaves the
// original (or, once replaced, the complete result), and Save As refuses to write into the
// file it reads however that file is named.
#include "WriterSession.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <thread>

using namespace zefrin;
using namespace zefrin::test;
using namespace zefrin::test::writer;

namespace {

constexpr const char* DiskFullLine = "\nIs your disk full?";
constexpr const char* SaveAsOntoSourceText =
    "'Save As' cannot overwrite to the source file - use 'Save' instead";

constexpr uid_t NobodyId = 65534;

bool IsRoot()
{
    return geteuid() == 0;
}

// A folder holding song.mp3, opened, with an edit that changes every frame: the output
// differs from the original everywhere, so any mix of the two shows.
struct EditedSong
{
    explicit EditedSong(const FileRecipe& recipe)
    {
        Original = BuildFile(recipe);
        WriteFileBytes(Path, Original);
        Session.Open(Path);
        Session.Controls.Begin = 4;
        Session.Controls.Amplification = 2;
    }

    // Folder untouched: the original byte for byte and no temporary file left behind.
    void ExpectOriginalKept(const std::string& context)
    {
        EXPECT_TRUE(FileHolds(Path, Original)) << context;
        EXPECT_TRUE(HiddenFiles(Dir.Path()).empty()) << context;
    }

    TempDir Dir;
    fs::path Path = Dir / "song.mp3";
    Bytes Original;
    WriterSession Session;
};

FileRecipe TaggedSong(int frames)
{
    FileRecipe recipe;
    recipe.Frames = frames;
    recipe.Id3v2 = true;
    recipe.Id3v1 = true;
    return recipe;
}

// Dies the hard way at the n-th time the writer lets the user interface run.
class KillingPump final : public EventPump
{
  public:
    explicit KillingPump(int at)
        : m_at(at)
    {
    }
    void ProcessMessages() override
    {
        if (++m_calls == m_at)
            raise(SIGKILL);
    }
    void ProgressChanged(int) override {}

  private:
    int m_at;
    int m_calls = 0;
};

} // namespace

TEST(WriterSafety, WriteFailingPartWayLeavesTheOriginal)
{
    // More than the output's 1 MiB buffer, so that failures fall inside the frame loop too.
    EditedSong song(TaggedSong(3000));
    song.Session.Parameters();
    const int64_t predicted = song.Session.State.PredictedSize;
    ASSERT_GT(predicted, int64_t(1) << 20);

    struct Limit
    {
        const char* Name;
        int64_t Bytes;
    };
    const Limit limits[] = {
        {"nothing can be written", 0},
        {"one byte", 1},
        {"the first buffer only in part", (int64_t(1) << 20) - 1000},
        {"the first buffer exactly", int64_t(1) << 20},
        {"all but the last byte", predicted - 1},
    };
    for (const Limit& limit : limits) {
        const std::string text = InChild([&] {
            signal(SIGXFSZ, SIG_IGN);
            const rlimit size{rlim_t(limit.Bytes), rlim_t(limit.Bytes)};
            if (setrlimit(RLIMIT_FSIZE, &size) != 0)
                return std::string("no limit");
            return ErrorText([&] { song.Session.Save(); });
        });
        EXPECT_NE(text.find(" - File too large"), std::string::npos) << limit.Name << ": " << text;
        EXPECT_TRUE(EndsWith(text, DiskFullLine)) << limit.Name << ": " << text;
        song.ExpectOriginalKept(limit.Name);
    }
}

TEST(WriterSafety, FullDiskLeavesTheOriginal)
{
    // A small file system of its own, mounted where only a child process sees it.
    TempDir dir;
    const fs::path disk = dir / "disk";
    fs::create_directory(disk);
    const Bytes original = BuildFile(TaggedSong(300));
    const std::string report = InChild([&] {
        if (unshare(CLONE_NEWNS) != 0 ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=192k") != 0)
            return std::string("no tmpfs");
        const fs::path path = disk / "song.mp3";
        WriteFileBytes(path, original);
        if (ReadFileBytes(path) != original)
            return std::string("no room for the original");
        WriterSession session;
        session.Open(path);
        session.Controls.Amplification = 2;
        const std::string text = ErrorText([&] { session.Save(); });
        return text + "|" + (ReadFileBytes(path) == original ? "kept" : "changed") + "|" +
               std::to_string(HiddenFiles(disk).size());
    });
    if (report == "no tmpfs")
        GTEST_SKIP() << "no private tmpfs can be mounted here";
    EXPECT_TRUE(report.starts_with("Can't write destination file - No space left on device"))
        << report;
    EXPECT_TRUE(EndsWith(report, std::string(DiskFullLine) + "|kept|0")) << report;
}

TEST(WriterSafety, ReadOnlyFolderLeavesTheOriginal)
{
    if (IsRoot())
        GTEST_SKIP() << "root writes into read-only folders";
    EditedSong song(TaggedSong(200));
    fs::permissions(song.Dir.Path(),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const std::string text = ErrorText([&] { song.Session.Save(); });
    fs::permissions(song.Dir.Path(), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(text, std::string("Can't change file - ") + std::strerror(EACCES) + DiskFullLine);
    song.ExpectOriginalKept("read-only folder");
}

TEST(WriterSafety, ReadOnlyFileIsNotReplaced)
{
    EditedSong song(TaggedSong(200));
    fs::permissions(song.Path,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // Root may write any file, so the save runs in a child that gives root up; the folder
    // stays writable for it, only the file is read-only.
    fs::permissions(song.Dir.Path(), fs::perms::all);
    const std::string text = InChild([&] {
        if (IsRoot() &&
            (setgroups(0, nullptr) != 0 || setgid(NobodyId) != 0 || setuid(NobodyId) != 0))
            return std::string("still root");
        return ErrorText([&] { song.Session.Save(); });
    });
    ASSERT_NE(text, "still root");
    EXPECT_TRUE(text.starts_with(song.Session.Texts.MessageStrings[8])) << text;
    song.ExpectOriginalKept("read-only file");
}

TEST(WriterSafety, KilledSaveLeavesTheOldOrTheNewFile)
{
    // Large enough for a save to take a while: 15000 frames, about 6 MB.
    EditedSong song(TaggedSong(15000));
    song.Session.Controls.FadeIn = 22;
    song.Session.Controls.FadeOut = 22;
    const WriteParameters save = song.Session.Parameters();
    TempDir other;
    song.Session.SaveAs(other / "song.mp3");
    const Bytes expected = ReadFileBytes(other / "song.mp3");
    ASSERT_EQ(int64_t(expected.size()), song.Session.State.PredictedSize);

    // The save in a child that is killed at the `pumpCall`-th time the writer lets the user
    // interface run, or else `delay` after it began. Returns how long the child lived.
    auto saveInChild = [&](int pumpCall, std::chrono::microseconds delay) {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        if (child == 0) {
            close(ready[0]);
            KillingPump pump(pumpCall);
            song.Session.PumpOverride = &pump;
            const char started = 's';
            [[maybe_unused]] const ssize_t n = write(ready[1], &started, 1);
            try {
                song.Session.Write(save);
            } catch (...) {
                _exit(1);
            }
            _exit(0);
        }
        close(ready[1]);
        char started = 0;
        [[maybe_unused]] const ssize_t n = read(ready[0], &started, 1);
        close(ready[0]);
        const auto start = std::chrono::steady_clock::now();
        if (pumpCall == 0 && delay.count() >= 0) {
            std::this_thread::sleep_for(delay);
            kill(child, SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << "the save failed";
        return std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - start);
    };
    // What a killed save may leave besides the file is its own temporary file.
    auto takeTemporaryFiles = [&](const std::string& context) {
        for (const std::string& hidden : HiddenFiles(song.Dir.Path())) {
            EXPECT_TRUE(hidden.starts_with(".song.mp3.")) << context << ": " << hidden;
            fs::remove(song.Dir / hidden);
        }
        EXPECT_EQ(std::distance(fs::directory_iterator(song.Dir.Path()), fs::directory_iterator()),
                  1)
            << context;
    };

    // One save left alone tells how long a save takes here; the kills spread over that time
    // and a little past it, where the result replaces the original.
    const auto whole = saveInChild(0, std::chrono::microseconds(-1));
    EXPECT_TRUE(FileHolds(song.Path, expected));
    takeTemporaryFiles("completed save");

    struct Moment
    {
        int PumpCall; // the child kills itself in the frame loop; 0: killed from outside
        int Percent;  // of the time a whole save takes
    };
    const Moment moments[] = {
        {1, 0},  {7, 0},  {14, 0}, {0, 0},  {0, 10}, {0, 30}, {0, 50},  {0, 70},
        {0, 80}, {0, 85}, {0, 90}, {0, 93}, {0, 96}, {0, 98}, {0, 100}, {0, 103},
    };
    int oldCount = 0, newCount = 0;
    for (const Moment& moment : moments) {
        WriteFileBytes(song.Path, song.Original);
        const std::string name = "pump call " + std::to_string(moment.PumpCall) + ", " +
                                 std::to_string(moment.Percent) + "%";
        saveInChild(moment.PumpCall, whole * moment.Percent / 100);
        const bool isOld = FileHolds(song.Path, song.Original);
        const bool isNew = FileHolds(song.Path, expected);
        EXPECT_TRUE(isOld || isNew) << name << ": " << fs::file_size(song.Path)
                                    << " bytes of neither the old nor the new file";
        // Inside the frame loop the result is not complete, so it cannot be in place yet.
        if (moment.PumpCall > 0) {
            EXPECT_TRUE(isOld) << name;
        }
        oldCount += isOld;
        newCount += isNew;
        takeTemporaryFiles(name);
    }
    RecordProperty("KilledWithOldFile", oldCount);
    RecordProperty("KilledWithNewFile", newCount);
}

TEST(WriterSafety, SaveAsOntoTheSourceIsRefusedHoweverSpelt)
{
    TempDir dir;
    const fs::path music = dir / "music";
    fs::create_directories(music / "sub");
    const fs::path source = music / "song.mp3";
    WriteFileBytes(source, BuildFile(TaggedSong(120)));
    fs::create_symlink(source, dir / "link.mp3");
    fs::create_directory_symlink(music, dir / "alias");
    fs::create_hard_link(source, dir / "hard.mp3");
    const Bytes original = ReadFileBytes(source);
    const timespec originalTime = ModificationTime(source);

    WriterSession session;
    session.Open(source);
    session.Controls.Amplification = 1;
    const std::string spellings[] = {
        source.string(),
        fs::relative(source, fs::current_path()).string(),
        (music / "." / "song.mp3").string(),
        music.string() + "//song.mp3",
        (music / "sub" / ".." / "song.mp3").string(),
        (dir / "link.mp3").string(),
        (dir / "alias" / "song.mp3").string(),
        (dir / "hard.mp3").string(),
    };
    for (const std::string& dest : spellings) {
        EXPECT_EQ(ErrorText([&] { CheckSaveAsTarget(source.string(), dest); }),
                  SaveAsOntoSourceText)
            << dest;
        EXPECT_EQ(ErrorText([&] { session.SaveAs(dest); }), SaveAsOntoSourceText) << dest;
        EXPECT_TRUE(ReadFileBytes(source) == original) << dest;
        EXPECT_TRUE(SameTime(ModificationTime(source), originalTime)) << dest;
    }
}

TEST(WriterSafety, SaveAsToANameDifferingOnlyInCaseWritesThatFile)
{
    TempDir dir;
    const fs::path source = dir / "song.mp3";
    WriteFileBytes(source, BuildFile(TaggedSong(120)));
    WriteFileText(dir / "Song.mp3", "another file");
    const Bytes original = ReadFileBytes(source);

    WriterSession session;
    session.Open(source);
    session.Controls.Amplification = 1;
    for (const char* name : {"Song.mp3", "SONG.MP3"}) {
        const fs::path dest = dir / name;
        EXPECT_EQ(ErrorText([&] { CheckSaveAsTarget(source.string(), dest.string()); }), "")
            << name;
        EXPECT_EQ(ErrorText([&] { session.SaveAs(dest); }), "") << name;
        EXPECT_EQ(int64_t(fs::file_size(dest)), session.State.PredictedSize) << name;
        EXPECT_TRUE(ReadFileBytes(source) == original) << name;
    }
}
