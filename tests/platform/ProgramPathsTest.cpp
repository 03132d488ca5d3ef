#include "platform/ProgramPaths.h"

#include "core/Errors.h"
#include "platform/IniFile.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

namespace zefrin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Sets an environment variable for one scope.
class ScopedEnvironment
{
  public:
    ScopedEnvironment(const char* name, const std::string& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

  private:
    const char* m_name;
    std::optional<std::string> m_old;
};

TEST(ProgramPaths, ProgramFolderHoldsTheRunningProgram)
{
    const std::string& folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::exists(folder + program_invocation_short_name));
    EXPECT_EQ(SettingsExportPath(), folder + "Zefrin.ini");
}

TEST(ProgramPaths, PreviewFileGoesToTheFirstUsableDataFolder)
{
    TempDir dir;
    ScopedEnvironment home("HOME", (dir / "home").string());
    ScopedEnvironment config("XDG_CONFIG_HOME", (dir / "config").string());
    {
        ScopedEnvironment data("XDG_DATA_HOME", (dir / "data").string());
        EXPECT_EQ(FindPreviewFilePath(), (dir / "data" / "Zefrin.preview.mp3").string());
        EXPECT_TRUE(fs::is_directory(dir / "data")) << "the data folder is made when missing";
    }
    {
        // A file in the way of the data folder: the documents folder takes the preview.
        std::ofstream(dir / "blocked") << "x";
        ScopedEnvironment data("XDG_DATA_HOME", (dir / "blocked").string());
        EXPECT_EQ(FindPreviewFilePath(),
                  (dir / "home" / "Documents" / "Zefrin.preview.mp3").string());
    }
}

TEST(SettingsExport, ExportThenImportGivesTheSameRecord)
{
    TempDir dir;
    const fs::path path = dir / "Zefrin.ini";
    std::ofstream(path) << "[FormMain]\nCaption=kept\n[Zefrin]\nSomethingElse=kept too\n";

    SettingsRecord exported = DefaultSettings();
    exported.CheckBoxCleanup = 0;
    exported.RadioGroupPreviewPlaysWhat = -1;
    exported.CheckBoxID3UpdateGenre = 2;
    exported.RadioButtonID3Remove = 0;
    exported.TrackBarDefaultAmplification = -3;
    exported.EditID3Track = "  Title with \"quotes\"  ";
    exported.EditID3Artist = "\"Quoted artist\"";
    exported.EditID3Comment = "a=b; c";
    ExportSettings(exported, path);

    const std::string text = test::ReadFileText(path);
    EXPECT_NE(text.find("[FormMain]\nCaption=kept\n"), std::string::npos);
    EXPECT_NE(text.find("SomethingElse=kept too\n"), std::string::npos);
    EXPECT_NE(text.find("CheckBoxCleanup=0\n"), std::string::npos);
    EXPECT_NE(text.find("RadioGroupPreviewMode=-1\n"), std::string::npos);
    EXPECT_NE(text.find("ComboBoxID3Genre=255\n"), std::string::npos);
    EXPECT_NE(text.find("EditID3Album=\n"), std::string::npos);

    SettingsRecord imported = DefaultSettings();
    ImportSettings(imported, path);
    EXPECT_EQ(DifferingSettings(imported, exported), std::vector<std::string>{});
}

TEST(SettingsExport, ImportTakesOnlyTheKeysPresent)
{
    TempDir dir;
    const fs::path path = dir / "Zefrin.ini";
    std::ofstream(path) << "[zefrin]\n"
                           "checkboxcleanup=0\n"
                           "CheckBoxID3UpdateArtistName=0x0101\n"
                           "ComboBoxFadeDepth=0x3\n"
                           "SpinEditPreviewLength=ten\n"
                           "EditID3Album=\"1234567890123456789012345678901234567890\"\n";
    SettingsRecord record = DefaultSettings();
    record.EditID3Track = "unchanged";
    ImportSettings(record, path);

    SettingsRecord expected = DefaultSettings();
    expected.EditID3Track = "unchanged";
    expected.CheckBoxCleanup = 0;
    expected.CheckBoxID3UpdateArtistName = 1;
    expected.ComboBoxFadeDepth = 3;
    expected.EditID3Album = "123456789012345678901234567890";
    EXPECT_EQ(DifferingSettings(record, expected), std::vector<std::string>{});
}

TEST(SettingsExport, FailuresAreReported)
{
    TempDir dir;
    SettingsRecord record = DefaultSettings();
    const fs::path missing = dir / "Zefrin.ini";
    try {
        ImportSettings(record, missing);
        FAIL() << "importing a missing file succeeded";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), missing.string() + " not found");
    }
    EXPECT_THROW(ExportSettings(record, dir / "no folder" / "Zefrin.ini"), Error);
    EXPECT_FALSE(fs::exists(dir / "no folder"));
}

} // namespace
} // namespace zefrin
