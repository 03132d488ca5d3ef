#include "SettingsFakeStore.h"
#include "settings/AppTables.h"

#include <gtest/gtest.h>

namespace zefrin {
namespace {

TEST(FadeDurationTable, HoldsTheThirtyThreeSteps)
{
    const FadeDurations expected = {0,     111,   242,   385,   540,   710,  895,  1097,  1317,
                                    1557,  1819,  2105,  2417,  2757,  3128, 3533, 3975,  4457,
                                    4983,  5556,  6182,  6864,  7608,  8420, 9306, 10273, 11327,
                                    12477, 13732, 15101, 16594, 18223, 20000};
    EXPECT_EQ(FadeDurationTable(), expected);
}

TEST(FadeDurationTable, HintShowsSecondsAndTruncatedTenths)
{
    const std::pair<int32_t, const char*> cases[] = {
        {18223, "18.2s"}, {111, "0.1s"},  {0, "0.0s"},  {20000, "20.0s"},
        {1097, "1.0s"},   {1999, "1.9s"}, {99, "0.0s"},
    };
    for (auto [milliseconds, text] : cases)
        EXPECT_EQ(FadeHintText(milliseconds), text) << milliseconds;
}

TEST(FormColors, ClassicThemeFlagChoosesTheColour)
{
    EXPECT_EQ(DefaultFormColor, (FormColor{238, 237, 228}));
    EXPECT_EQ(FormColorFor(0), DefaultFormColor);
    EXPECT_EQ(FormColorFor(-1), ClassicFormColor);
    EXPECT_EQ(FormColorFor(1), ClassicFormColor);
    EXPECT_NE(ClassicFormColor, DefaultFormColor);
}

TEST(WindowPosition, AtLeastHalfTheWindowStaysOnTheScreen)
{
    struct Case
    {
        const char* What;
        WindowPosition Stored;
        WindowPosition Expected;
    };
    // A 301 x 201 window on a 1920 x 1080 screen: half of it is 150 wide and 100 high.
    const Case cases[] = {
        {"inside", {100, 200}, {100, 200}},
        {"exactly half below", {980, 200}, {980, 200}},
        {"one pixel more below", {981, 200}, {980, 200}},
        {"entirely below", {5000, 200}, {980, 200}},
        {"exactly half right", {100, 1770}, {100, 1770}},
        {"beyond the right", {100, 1771}, {100, 1770}},
        {"both", {3000, 4000}, {980, 1770}},
        {"negative stays", {-500, -900}, {-500, -900}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        EXPECT_EQ(PlaceOnScreen(c.Stored, 301, 201, 1920, 1080), c.Expected);
    }
}

TEST(WindowPosition, RestoreReadsTheComponentsValuesAndSaveWritesThem)
{
    test::FakeSettingsStore store;
    // Nothing stored: the current position stays.
    EXPECT_EQ(RestoreWindowPosition(store, "FormOptions", {10, 20}, 400, 300, 1024, 768),
              (WindowPosition{10, 20}));

    store.WriteInteger("Zefrin", "FormOptionsTop", 2000);
    EXPECT_EQ(RestoreWindowPosition(store, "FormOptions", {10, 20}, 400, 300, 1024, 768),
              (WindowPosition{768 - 150, 20}));

    SaveWindowPosition(store, "FormAdvancedInfo", {-5, 33});
    EXPECT_EQ(store.Values.at({"Zefrin", "FormAdvancedInfoTop"}),
              test::FakeSettingsStore::Value(int32_t(-5)));
    EXPECT_EQ(store.Values.at({"Zefrin", "FormAdvancedInfoLeft"}),
              test::FakeSettingsStore::Value(int32_t(33)));
}

} // namespace
} // namespace zefrin
