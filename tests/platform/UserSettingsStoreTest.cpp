#include "platform/UserSettingsStore.h"

#include "core/Errors.h"
#include "settings/SettingsTable.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>

namespace zefrin {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// A non-default value in every setting, texts with blanks and quotes included.
SettingsRecord UnusualSettings()
{
    SettingsRecord record = DefaultSettings();
    int32_t value = 2;
    for (const SettingRow& row : SettingsTable()) {
        if (row.IsText())
            SetSettingText(record, row, " \"" + std::string(row.Name).substr(4) + "\", é ");
        else
            SetSettingInteger(record, row, row.Default == 0 ? value++ : 0);
    }
    record.TrackBarDefaultAmplification = -8;
    return record;
}

class UserSettingsStoreTest : public ::testing::Test
{
  protected:
    void SetUp() override { SetUserSettingsFolderForTests(m_dir.Path()); }
    TempDir m_dir;
};

TEST_F(UserSettingsStoreTest, WriteThenReadGivesTheSameRecord)
{
    const SettingsRecord written = UnusualSettings();
    {
        UserSettingsStore store;
        EXPECT_EQ(fs::path(store.Location()).parent_path(), m_dir.Path());
        WriteSettings(written, store);
        EXPECT_TRUE(fs::exists(store.Location()));
    }
    UserSettingsStore store;
    SettingsRecord read = DefaultSettings();
    ReadSettings(read, store);
    EXPECT_EQ(DifferingSettings(read, written), std::vector<std::string>{});
}

TEST_F(UserSettingsStoreTest, EmptyStoreLeavesTheDefaults)
{
    UserSettingsStore store;
    SettingsRecord record = DefaultSettings();
    ReadSettings(record, store);
    ApplyStartupSettingRules(record);
    EXPECT_TRUE(DifferingSettings(record, DefaultSettings()).empty());
    EXPECT_EQ(record.RadioButtonID3Remove, 1);
    EXPECT_EQ(record.ComboBoxID3Genre, 255);
}

TEST_F(UserSettingsStoreTest, IntegerReadsOfStringsTakeTheirDecimalText)
{
    {
        UserSettingsStore store;
        store.WriteString("Zefrin", "Decimal", "42");
        store.WriteString("Zefrin", "Negative", "-1");
        store.WriteString("Zefrin", "Word", "forty-two");
        store.WriteString("Zefrin", "Hex", "0x10"); // not decimal
        store.WriteInteger("Zefrin", "Integer", -7);
        store.WriteInteger("Group", "Integer", 5);
        store.Flush();
    }
    // Read back both from the same store and from a new one (which finds only text in the file).
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        UserSettingsStore store;
        if (pass == 1)
            store.WriteString("Zefrin", "Late", "3");
        const std::pair<const char*, int32_t> cases[] = {
            {"Decimal", 42}, {"Negative", -1}, {"Word", 99},
            {"Hex", 99},     {"Integer", -7},  {"Missing", 99},
        };
        for (auto [name, expected] : cases)
            EXPECT_EQ(store.ReadInteger("Zefrin", name, 99), expected) << name;
        EXPECT_EQ(store.ReadString("Zefrin", "Integer", ""), "-7");
        EXPECT_EQ(store.ReadInteger("Group", "Integer", 99), 5);
        EXPECT_EQ(store.ReadInteger("Group", "Decimal", 99), 99);
    }
}

TEST_F(UserSettingsStoreTest, AStoreThatCannotBeWrittenRaisesAtFlush)
{
    // A file where the store's folder should be: nothing can be made inside it.
    std::ofstream(m_dir / "blocked") << "x";
    SetUserSettingsFolderForTests(m_dir / "blocked");
    UserSettingsStore store;
    store.WriteInteger("Zefrin", "CheckBoxCleanup", 0);
    try {
        store.Flush();
        FAIL() << "the flush succeeded";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to write the settings to " + store.Location());
    }
}

} // namespace
} // namespace zefrin
