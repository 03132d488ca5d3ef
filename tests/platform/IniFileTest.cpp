#include "platform/IniFile.h"

#include "core/Errors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zefrin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(IniFile, ReadsByTheProfileRules)
{
    const std::string longValue(3000, 'v');
    const IniFile file = IniFile::FromText("orphan=before any section\n"
                                           "[Global]\n"
                                           "FontName = Tahoma  \n"
                                           "FontSize=8\n"
                                           "; Quoted=comment\n"
                                           "Quoted=\"  a b  \"\n"
                                           "Twice=\"\"x\"\"\n"
                                           "HalfOpen=\"x\n"
                                           "Inner=a \"b\" c\n"
                                           "Empty=\n"
                                           "Equals=a=b\n"
                                           "FontSize=9\n"
                                           "  [ formmain ]  \r\n"
                                           "Caption=Main\r\n"
                                           "Long=" +
                                           longValue +
                                           "\n"
                                           "LongQuoted=\"" +
                                           longValue +
                                           "\"\n"
                                           "[GLOBAL]\n"
                                           "Late=in a repeated section\n"
                                           "FontName=second\n");
    struct Case
    {
        const char* Section;
        const char* Key;
        std::optional<std::string> Expected;
    };
    const Case cases[] = {
        {"Global", "FontName", "Tahoma"},
        {"global", "FONTNAME", "Tahoma"},
        {"Global", "FontSize", "8"}, // the first of two keys
        {"Global", "Quoted", "  a b  "},
        {"Global", "; Quoted", std::nullopt},
        {"Global", "Twice", "\"x\""}, // one pair only
        {"Global", "HalfOpen", "\"x"},
        {"Global", "Inner", "a \"b\" c"},
        {"Global", "Empty", ""},
        {"Global", "Equals", "a=b"},
        {"Global", "Missing", std::nullopt},
        {"Global", "orphan", std::nullopt},
        {"Other", "FontName", std::nullopt},
        {"FormMain", "Caption", "Main"},
        {"FormMain", "FontName", std::nullopt},
        {"FormMain", "Long", longValue.substr(0, 2047)},
        {"FormMain", "LongQuoted", longValue.substr(0, 2047)},
        {"Global", "Late", "in a repeated section"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Section) + "/" + c.Key);
        EXPECT_EQ(file.Read(c.Section, c.Key), c.Expected);
    }
    EXPECT_EQ(file.ReadString("Global", "Missing", "fallback"), "fallback");
}

TEST(IniFile, WritingReplacesOrAddsAndKeepsEverythingElse)
{
    IniFile file = IniFile::FromText("; settings\n"
                                     "[Zefrin]\n"
                                     "CheckBoxCleanup = 0\n"
                                     "Unknown=kept\n"
                                     "\n"
                                     "[FormMain]\n"
                                     "Caption=Main\n");
    file.Write("zefrin", "checkboxcleanup", "-1");
    file.Write("Zefrin", "CheckBoxSaveWAV", "0");
    file.Write("Language", "Name", "\"quoted\"");
    EXPECT_EQ(file.Text(), "; settings\n"
                           "[Zefrin]\n"
                           "checkboxcleanup=-1\n"
                           "Unknown=kept\n"
                           "CheckBoxSaveWAV=0\n"
                           "\n"
                           "[FormMain]\n"
                           "Caption=Main\n"
                           "\n"
                           "[Language]\n"
                           "Name=\"quoted\"\n");
    EXPECT_EQ(file.Read("Zefrin", "CheckBoxCleanup"), "-1");
    EXPECT_EQ(file.Read("Language", "Name"), "quoted");

    IniFile empty;
    empty.Write("Zefrin", "A", "1");
    EXPECT_EQ(empty.Text(), "[Zefrin]\nA=1\n");

    IniFile windows = IniFile::FromText("[A]\r\nx=1\r\n");
    windows.Write("A", "y", "2");
    EXPECT_EQ(windows.Text(), "[A]\r\nx=1\r\ny=2\r\n");
}

TEST(IniFile, RefusesWritesThatWouldNotReadBack)
{
    struct Case
    {
        const char* Section;
        const char* Key;
        const char* Value;
    };
    const Case cases[] = {
        {"Zefrin", "Key", "two\nlines"},
        {"Zefrin", "Key", "carriage\rreturn"},
        {"Zefrin", "", "1"},
        {"Zefrin", "a=b", "1"},
        {"Zefrin", "[Key", "1"},
        {"Zefrin", ";Key", "1"},
        {"Zefrin", " Key", "1"},
        {"Zef]rin", "Key", "1"},
        {"Zef\nrin", "Key", "1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Section) + "/" + c.Key + "=" + c.Value);
        IniFile file = IniFile::FromText("[Zefrin]\nKey=old\n");
        EXPECT_THROW(file.Write(c.Section, c.Key, c.Value), Error);
        EXPECT_EQ(file.Text(), "[Zefrin]\nKey=old\n");
    }
}

TEST(IniFile, SaveReplacesTheFileWholeAndLoadReadsItBack)
{
    TempDir dir;
    const fs::path path = dir / "Zefrin.ini";
    EXPECT_EQ(IniFile::Load(path).Text(), ""); // a missing file is an empty one

    test::WriteFileText(path, "[Other]\nKey=1\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    IniFile file = IniFile::Load(path);
    file.Write("Zefrin", "Value", "x");
    file.Save(path);
    EXPECT_EQ(test::ReadFileText(path), "[Other]\nKey=1\n\n[Zefrin]\nValue=x\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";

    // Saving through a link writes the linked file and keeps the link.
    fs::create_symlink(path, dir / "link.ini");
    IniFile::Load(dir / "link.ini").Save(dir / "link.ini");
    EXPECT_TRUE(fs::is_symlink(dir / "link.ini"));
}

TEST(IniFile, FailuresCarryThePathAndTheSystemsText)
{
    TempDir dir;
    try {
        IniFile().Save(dir / "missing folder" / "Zefrin.ini");
        FAIL() << "saving into a missing folder succeeded";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write " +
                                                 (dir / "missing folder" / "Zefrin.ini").string() +
                                                 " - No such file or directory");
    }
    try {
        IniFile::Load(dir.Path()); // a folder cannot be read as a file
        FAIL() << "loading a folder succeeded";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Unable to read " + dir.Path().string() + " - Is a directory");
    }
}

TEST(IniSettingsStore, IntegersInDecimalOrHexadecimal)
{
    TempDir dir;
    test::WriteFileText(dir / "Zefrin.ini", "[Zefrin]\n"
                                            "Decimal=-12\n"
                                            "Hex=0x1F\n"
                                            "HexUpper=0XFFFFFFFF\n"
                                            "Quoted=\"7\"\n"
                                            "Word=seven\n"
                                            "Trailing=7 apples\n"
                                            "Empty=\n");
    IniSettingsStore store(dir / "Zefrin.ini");
    const std::pair<const char*, int32_t> cases[] = {
        {"Decimal", -12}, {"hex", 31},      {"HexUpper", -1}, {"Quoted", 7},
        {"Word", 99},     {"Trailing", 99}, {"Empty", 99},    {"Missing", 99},
    };
    for (auto [name, expected] : cases)
        EXPECT_EQ(store.ReadInteger("Zefrin", name, 99), expected) << name;
    EXPECT_EQ(store.ReadInteger("Other", "Decimal", 99), 99);
}

TEST(IniSettingsStore, TextsReadBackAsWritten)
{
    TempDir dir;
    const std::string texts[] = {
        "plain", "", "  leading and trailing  ", "\"quoted\"", "\"", "\"half", "a=b; c", "\ttab",
    };
    {
        IniSettingsStore store(dir / "Zefrin.ini");
        for (size_t i = 0; i < std::size(texts); ++i)
            store.WriteString("Zefrin", "Text" + std::to_string(i), texts[i]);
        store.WriteInteger("Zefrin", "Number", -1);
        // Nothing reaches the disk before the flush.
        EXPECT_FALSE(fs::exists(dir / "Zefrin.ini"));
        store.Flush();
    }
    IniSettingsStore store(dir / "Zefrin.ini");
    for (size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(store.ReadString("Zefrin", "Text" + std::to_string(i), "default"), texts[i]) << i;
    EXPECT_EQ(store.ReadInteger("Zefrin", "Number", 0), -1);
    EXPECT_EQ(store.ReadString("Zefrin", "Missing", "default"), "default");
    EXPECT_NE(test::ReadFileText(dir / "Zefrin.ini").find("Text0=plain\n"), std::string::npos);
}

TEST(IniSettingsStore, DestroyingTheStoreWritesWhatIsPending)
{
    TempDir dir;
    {
        IniSettingsStore store(dir / "Zefrin.ini");
        store.WriteInteger("Zefrin", "FormOptionsTop", 120);
    }
    EXPECT_EQ(test::ReadFileText(dir / "Zefrin.ini"), "[Zefrin]\nFormOptionsTop=120\n");
}

} // namespace
} // namespace zefrin
