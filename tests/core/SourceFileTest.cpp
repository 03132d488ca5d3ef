#include "core/SourceFile.h"

#include "core/Errors.h"
#include "support/TestSupport.h"

#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zefrin;
using namespace zefrin::test;

namespace {

std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(SourceFile, MapsTheWholeFileWithItsTime)
{
    TempDir dir;
    WriteFileBytes(dir / "a.mp3", Bytes{1, 2, 3, 4, 5});
    const timespec times[2] = {{1000000000, 0}, {1234567890, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, (dir / "a.mp3").c_str(), times, 0), 0);
    MessageTexts texts;
    SourceFile file = OpenAndMapFile((dir / "a.mp3").string(), false, true, texts);
    ASSERT_EQ(file.Size, 5u);
    EXPECT_EQ(file.View[4], 5);
    EXPECT_EQ(file.FileTimeSeconds, 1234567890);
    EXPECT_EQ(file.FileTimeNanoseconds, 500);

    // Writable: changes reach the file.
    SourceFile writable = OpenAndMapFile((dir / "a.mp3").string(), true, false, texts);
    writable.View[0] = 9;
    writable.Unmap();
    EXPECT_EQ(ReadFileBytes(dir / "a.mp3")[0], 9);
}

TEST(SourceFile, FailureTexts)
{
    TempDir dir;
    MessageTexts texts;
    const std::string missing = (dir / "missing.mp3").string();
    EXPECT_EQ(ErrorOf([&] { OpenAndMapFile(missing, false, false, texts); }),
              "Failed to open the file \"" + missing + "\" - No such file or directory");
    EXPECT_EQ(ErrorOf([&] { OpenAndMapFile(missing, true, false, texts); }),
              "Access to file is denied (read only?) - No such file or directory");
    WriteFileBytes(dir / "empty.mp3", Bytes{});
    EXPECT_EQ(ErrorOf([&] {
                  OpenAndMapFile((dir / "empty.mp3").string(), false, false, texts);
              }).rfind("Failed to create file mapping - ", 0),
              0u);
    if (geteuid() != 0) { // root may write anything
        WriteFileBytes(dir / "ro.mp3", Bytes{1, 2, 3});
        chmod((dir / "ro.mp3").c_str(), 0444);
        EXPECT_EQ(ErrorOf([&] { OpenAndMapFile((dir / "ro.mp3").string(), true, false, texts); }),
                  "Access to file is denied (read only?) - Permission denied");
    }
}

TEST(SourceFile, HandleHelpersRefuseShortTransfers)
{
    TempDir dir;
    WriteFileBytes(dir / "data", Bytes(200, 7));
    const int fd = open((dir / "data").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    uint8_t buffer[100];
    SeekFile(fd, 50);
    ReadExact(fd, buffer, 100);
    EXPECT_EQ(buffer[99], 7);
    SeekFile(fd, 150);
    const std::string failure = ErrorOf([&] { ReadExact(fd, buffer, 100); });
    EXPECT_EQ(failure.rfind("Assertion failure (UnitMain, line ", 0), 0u) << failure;
    // Writing to a descriptor opened for reading fails the same way.
    EXPECT_EQ(ErrorOf([&] { WriteExact(fd, buffer, 10); }).rfind("Assertion failure", 0), 0u);
    CloseFile(fd);
}

TEST(Errors, PeriodRule)
{
    EXPECT_EQ(WithClosingPeriod("File too big (100%)"), "File too big (100%)");
    EXPECT_EQ(WithClosingPeriod("No such file or directory"), "No such file or directory.");
    EXPECT_EQ(WithClosingPeriod("Done."), "Done.");
    EXPECT_EQ(WithClosingPeriod("not an MP3 file!"), "not an MP3 file!");
}
