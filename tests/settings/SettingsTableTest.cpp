#include "settings/SettingsTable.h"

#include "SettingsFakeStore.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <set>

namespace zefrin {
namespace {

using test::FakeSettingsStore;

// Counts the fields of an aggregate: the most initialisers a braced initialisation takes.
struct AnyField
{
    template <class T> operator T() const;
};
template <class T, class... Fields> constexpr size_t FieldCount()
{
    if constexpr (requires { T{Fields{}..., AnyField{}}; })
        return FieldCount<T, Fields..., AnyField>();
    else
        return sizeof...(Fields);
}

ptrdiff_t OffsetOf(const SettingsRecord& record, const SettingRow& row)
{
    const char* base = reinterpret_cast<const char*>(&record);
    return std::visit(
        [&](auto field) { return reinterpret_cast<const char*>(&(record.*field)) - base; },
        row.Field);
}

TEST(SettingsTable, HasOneRowPerRecordFieldInRecordOrder)
{
    auto table = SettingsTable();
    ASSERT_EQ(table.size(), FieldCount<SettingsRecord>());

    SettingsRecord record;
    std::set<std::string> lowerNames;
    for (size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(table[i].Name);
        if (i > 0) {
            EXPECT_LT(OffsetOf(record, table[i - 1]), OffsetOf(record, table[i]));
        }
        std::string lower = table[i].Name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        EXPECT_TRUE(lowerNames.insert(lower).second) << "names must differ in more than case";
        EXPECT_EQ(FindSetting(lower), &table[i]);
    }
    EXPECT_EQ(FindSetting("CheckBoxNoSuchThing"), nullptr);
}

TEST(SettingsTable, DefaultsAreTheDocumentedOnes)
{
    const SettingsRecord r = DefaultSettings();
    // The flags that start on; every other flag starts off.
    const std::set<std::string> onFlags = {"CheckBoxWarnWhenMissingFH",
                                           "CheckBoxCloseAfterSave",
                                           "CheckBoxSmartCBR",
                                           "CheckBoxKeepExtraInfo",
                                           "CheckBoxNoExtraInfoInMPEG2",
                                           "CheckBoxSaveAs_WithTime",
                                           "CheckBoxResetTrimmingPointsWhenOpen",
                                           "CheckBoxResetFadeControlsWhenOpen",
                                           "CheckBoxPreserveDate",
                                           "CheckBoxCleanup",
                                           "CheckBoxFastSilenceDetection",
                                           "CheckBoxRemoveLastFrame",
                                           "CheckBoxWarnWhenTrimBeginning_mp3PRO",
                                           "CheckBoxDisableSilenceDetectionBeginning_mp3PRO",
                                           "CheckBoxResetAddSilenceWhenOpen",
                                           "CheckBoxStickyPreviewButtons",
                                           "CheckBoxKeepID3v2"};
    int flags = 0;
    for (const SettingRow& row : SettingsTable()) {
        if (row.Kind != SettingKind::Flag)
            continue;
        ++flags;
        EXPECT_EQ(SettingInteger(r, row), onFlags.count(row.Name) ? -1 : 0) << row.Name;
    }
    EXPECT_EQ(flags, 29);

    // The other kinds, read from the record's own fields.
    struct Case
    {
        const char* Name;
        int32_t Expected;
        int32_t Actual;
    };
    const Case cases[] = {
        {"SpinEditMinimumCueTrackLength", 60, r.SpinEditMinimumCueTrackLength},
        {"RadioGroupCueSplit", 0, r.RadioGroupCueSplit},
        {"RadioGroupTrimAggressivity", 0, r.RadioGroupTrimAggressivity},
        {"ComboBoxAddSilenceBeginning", 0, r.ComboBoxAddSilenceBeginning},
        {"ComboBoxAddSilenceEnd", 0, r.ComboBoxAddSilenceEnd},
        {"ComboBoxNormlizeAt", 1, r.ComboBoxNormlizeAt},
        {"ComboBoxNormalizeClippingThreshold", 1, r.ComboBoxNormalizeClippingThreshold},
        {"TrackBarDefaultAmplification", 0, r.TrackBarDefaultAmplification},
        {"ComboBoxFadeDepth", 1, r.ComboBoxFadeDepth},
        {"SpinEditPreviewLength", 5, r.SpinEditPreviewLength},
        {"RadioGroupPreviewPlaysWhat", 0, r.RadioGroupPreviewPlaysWhat},
        {"RadioGroupPreviewMode", -1, r.RadioGroupPreviewMode},
        {"RadioButtonID3Remove", 1, r.RadioButtonID3Remove},
        {"CheckBoxID3UpdateTrackName", 0, r.CheckBoxID3UpdateTrackName},
        {"CheckBoxID3UpdateCommentName", 0, r.CheckBoxID3UpdateCommentName},
        {"SpinEditID3Year", 0, r.SpinEditID3Year},
        {"ComboBoxID3Genre", 255, r.ComboBoxID3Genre},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.Actual, c.Expected) << c.Name;
        ASSERT_NE(FindSetting(c.Name), nullptr) << c.Name;
        EXPECT_EQ(SettingValueText(r, *FindSetting(c.Name)), std::to_string(c.Expected)) << c.Name;
    }
    for (const std::string* text :
         {&r.EditID3Track, &r.EditID3Artist, &r.EditID3Album, &r.EditID3Comment})
        EXPECT_EQ(*text, "");

    // Loading the defaults over a changed record brings every field back.
    SettingsRecord changed = r;
    changed.CheckBoxCleanup = 0;
    changed.EditID3Album = "Album";
    changed.CheckBoxID3UpdateGenre = 2;
    LoadDefaultSettings(changed);
    EXPECT_TRUE(DifferingSettings(changed, r).empty());
}

TEST(SettingsTable, EachRowMovesItsOwnFieldOnly)
{
    const SettingsRecord defaults = DefaultSettings();
    for (const SettingRow& row : SettingsTable()) {
        SCOPED_TRACE(row.Name);
        SettingsRecord record = defaults;
        std::string error;
        ASSERT_TRUE(SetSettingByName(record, row.Name, row.IsText() ? "x" : "7", &error)) << error;
        EXPECT_EQ(SettingValueText(record, row), row.IsText() ? "x" : "7");
        EXPECT_EQ(DifferingSettings(defaults, record), std::vector<std::string>{row.Name});
    }
}

// A non-default value in every setting.
SettingsRecord UnusualSettings()
{
    SettingsRecord record = DefaultSettings();
    int32_t value = 3;
    for (const SettingRow& row : SettingsTable()) {
        if (row.IsText())
            SetSettingText(record, row, std::string(row.Name).substr(6) + " \"x\"");
        else
            SetSettingInteger(record, row, row.Default == 0 ? value++ : 0);
    }
    record.TrackBarDefaultAmplification = -8;
    return record;
}

TEST(SettingsReadWrite, WriteThenReadGivesTheSameRecord)
{
    const SettingsRecord written = UnusualSettings();
    FakeSettingsStore store;
    WriteSettings(written, store);
    EXPECT_EQ(store.FlushCount, 1);
    EXPECT_EQ(store.Values.size(), SettingsTable().size());
    // Texts go as strings, everything else as integers, all in section "Zefrin".
    EXPECT_EQ(store.Values.at({"Zefrin", "EditID3Album"}),
              FakeSettingsStore::Value(written.EditID3Album));
    EXPECT_EQ(store.Values.at({"Zefrin", "CheckBoxID3UpdateGenre"}),
              FakeSettingsStore::Value(int32_t(written.CheckBoxID3UpdateGenre)));

    SettingsRecord read = DefaultSettings();
    ReadSettings(read, store);
    EXPECT_EQ(DifferingSettings(read, written), std::vector<std::string>{});
}

TEST(SettingsReadWrite, MissingValuesKeepTheCurrentOnes)
{
    const SettingsRecord current = UnusualSettings();
    FakeSettingsStore store;
    store.WriteInteger("Other", "CheckBoxCleanup", 0); // another section counts for nothing
    store.WriteString("Zefrin", "SpinEditPreviewLength", "not a number");
    SettingsRecord record = current;
    ReadSettings(record, store);
    EXPECT_TRUE(DifferingSettings(record, current).empty());

    store.WriteInteger("Zefrin", "ComboBoxFadeDepth", 3);
    ReadSettings(record, store);
    EXPECT_EQ(DifferingSettings(record, current), std::vector<std::string>{"ComboBoxFadeDepth"});
    EXPECT_EQ(record.ComboBoxFadeDepth, 3);
}

TEST(SettingsReadWrite, StoredValuesAreTakenByKind)
{
    struct Case
    {
        const char* Name;
        FakeSettingsStore::Value Stored;
        std::string Expected; // SettingValueText after reading
    };
    const std::string thirtyFive = "12345678901234567890123456789012345";
    // "é" is two bytes: thirty of them are sixty bytes and still thirty characters.
    std::string accents;
    for (int i = 0; i < 32; ++i)
        accents += "\xC3\xA9";
    const Case cases[] = {
        {"CheckBoxCleanup", int32_t(1), "1"}, // any non-zero flag is on
        {"CheckBoxStayOnTop", std::string("-1"), "-1"},
        {"CheckBoxID3UpdateTrackName", int32_t(0x0101), "1"}, // the low byte alone counts
        {"CheckBoxID3UpdateGenre", int32_t(0x7FFFFF02), "2"},
        {"RadioButtonID3Remove", int32_t(0x0100), "0"},
        {"RadioGroupPreviewPlaysWhat", int32_t(1), "1"},
        {"RadioGroupPreviewMode", int32_t(0), "0"},
        {"ComboBoxID3Genre", int32_t(300), "300"}, // cut by the start-up rules, not here
        {"TrackBarDefaultAmplification", std::string("-8"), "-8"},
        {"EditID3Track", thirtyFive, thirtyFive.substr(0, 30)},
        {"EditID3Artist", accents, accents.substr(0, 60)},
        {"EditID3Comment", std::string(""), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        FakeSettingsStore store;
        store.Values[{"Zefrin", c.Name}] = c.Stored;
        SettingsRecord record = DefaultSettings();
        ReadSettings(record, store);
        EXPECT_EQ(SettingValueText(record, *FindSetting(c.Name)), c.Expected);
        EXPECT_EQ(DifferingSettings(record, DefaultSettings()).size(),
                  c.Expected == SettingValueText(DefaultSettings(), *FindSetting(c.Name)) ? 0u
                                                                                          : 1u);
    }
}

TEST(SettingsReadWrite, StartupRulesKeepTheGenresLowByte)
{
    SettingsRecord record = DefaultSettings();
    for (auto [stored, expected] : {std::pair{300, 44}, {255, 255}, {17, 17}, {-1, 255}}) {
        record.ComboBoxID3Genre = stored;
        ApplyStartupSettingRules(record);
        EXPECT_EQ(record.ComboBoxID3Genre, expected) << stored;
    }
}

TEST(SetSettingByName, TakesNumbersAndTexts)
{
    struct Case
    {
        const char* Name;
        const char* Value;
        const char* Listed; // SettingValueText afterwards
    };
    const Case cases[] = {
        {"CheckBoxCleanup", "0", "0"},
        {"checkboxcleanup", "-1", "-1"},
        {"SpinEditPreviewLength", "0x0A", "10"},
        {"SpinEditID3Year", " 1999 ", "1999"},
        {"TrackBarDefaultAmplification", "-8", "-8"},
        {"RadioGroupPreviewMode", "0xFFFFFFFF", "-1"},
        {"CheckBoxID3UpdateAlbumYear", "2", "2"},
        {"ComboBoxID3Genre", "0xff", "255"},
        {"EditID3Comment", "  spaced \"quoted\"  ", "  spaced \"quoted\"  "},
        {"EditID3Track", "123456789012345678901234567890", "123456789012345678901234567890"},
        {"EditID3Album", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + "=" + c.Value);
        SettingsRecord record = DefaultSettings();
        std::string error;
        ASSERT_TRUE(SetSettingByName(record, c.Name, c.Value, &error)) << error;
        EXPECT_EQ(SettingValueText(record, *FindSetting(c.Name)), c.Listed);
    }
}

TEST(SetSettingByName, RefusesWhatNoControlHolds)
{
    struct Case
    {
        const char* Name;
        const char* Value;
        const char* Error;
    };
    const Case cases[] = {
        {"CheckBoxCleanUpAll", "0", "Unknown setting \"CheckBoxCleanUpAll\""},
        {"CheckBoxCleanup", "yes",
         "The value of CheckBoxCleanup must be a whole number (\"yes\" is not)"},
        {"CheckBoxCleanup", "",
         "The value of CheckBoxCleanup must be a whole number (\"\" is not)"},
        {"SpinEditPreviewLength", "5s",
         "The value of SpinEditPreviewLength must be a whole number (\"5s\" is not)"},
        {"SpinEditPreviewLength", "0x",
         "The value of SpinEditPreviewLength must be a whole number (\"0x\" is not)"},
        {"SpinEditID3Year", "4294967296",
         "The value of SpinEditID3Year must be a whole number (\"4294967296\" is not)"},
        {"CheckBoxID3UpdateGenre", "256",
         "The value of CheckBoxID3UpdateGenre must lie between 0 and 255"},
        {"RadioButtonID3Remove", "-1",
         "The value of RadioButtonID3Remove must lie between 0 and 255"},
        {"EditID3Track", "1234567890123456789012345678901",
         "EditID3Track holds at most 30 characters"},
        {"EditID3Artist", "two\nlines", "EditID3Artist takes no line breaks"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Name) + "=" + c.Value);
        SettingsRecord record = DefaultSettings();
        std::string error;
        EXPECT_FALSE(SetSettingByName(record, c.Name, c.Value, &error));
        EXPECT_EQ(error, c.Error);
        EXPECT_TRUE(DifferingSettings(record, DefaultSettings()).empty());
        EXPECT_FALSE(SetSettingByName(record, c.Name, c.Value, nullptr));
    }
}

TEST(ParseSettingInteger, DecimalAndHexadecimalText)
{
    struct Case
    {
        const char* Text;
        bool AllowHex;
        std::optional<int32_t> Expected;
    };
    const Case cases[] = {
        {"42", false, 42},
        {"-2147483648", false, INT32_MIN},
        {"4294967295", false, -1}, // a 32-bit register value
        {"4294967296", false, std::nullopt},
        {"-2147483649", false, std::nullopt},
        {"\t7 ", false, 7},
        {"+7", false, std::nullopt},
        {"7 7", false, std::nullopt},
        {"", false, std::nullopt},
        {"0x10", false, std::nullopt}, // the per-user store converts decimal text only
        {"0x10", true, 16},
        {"0XfF", true, 255},
        {"0x80000000", true, INT32_MIN},
        {"0x123456789", true, std::nullopt},
        {"0x-1", true, std::nullopt},
        {"0x", true, std::nullopt},
        {"12abc", true, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseSettingInteger(c.Text, c.AllowHex), c.Expected)
            << "\"" << c.Text << "\" hex " << c.AllowHex;
}

TEST(CutToCharacters, NeverSplitsACharacter)
{
    EXPECT_EQ(CutToCharacters("abcdef", 4), "abcd");
    EXPECT_EQ(CutToCharacters("abc", 4), "abc");
    EXPECT_EQ(CutToCharacters("a\xC3\xA9\xE2\x82\xAC"
                              "b",
                              3),
              "a\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(CutToCharacters("a\xC3\xA9\xE2\x82\xAC"
                              "b",
                              2),
              "a\xC3\xA9");
    EXPECT_EQ(CutToCharacters("abc", 0), "");
}

} // namespace
} // namespace zefrin
