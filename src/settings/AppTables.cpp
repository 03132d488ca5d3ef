#include "AppTables.h"

#include "SettingsStore.h"
#include "SettingsTable.h"

namespace zefrin {

namespace {

constexpr FadeDurations BuildFadeDurationTable()
{
    FadeDurations table{};
    table[32] = 20000;
    for (int i = 31; i >= 1; --i)
        table[i] = table[i + 1] * 11 / 12 - 110;
    table[0] = 0;
    return table;
}

constexpr FadeDurations FadeTable = BuildFadeDurationTable();

int32_t PlaceCoordinate(int32_t stored, int32_t extent, int32_t screenExtent)
{
    int32_t half = extent / 2;
    if (int64_t(stored) + half > screenExtent)
        return screenExtent - half;
    return stored;
}

} // namespace

const FadeDurations& FadeDurationTable()
{
    return FadeTable;
}

std::string FadeHintText(int32_t milliseconds)
{
    return std::to_string(milliseconds / 1000) + "." + std::to_string(milliseconds % 1000 / 100) +
           "s";
}

WindowPosition PlaceOnScreen(WindowPosition stored, int32_t width, int32_t height,
                             int32_t screenWidth, int32_t screenHeight)
{
    return {PlaceCoordinate(stored.Top, height, screenHeight),
            PlaceCoordinate(stored.Left, width, screenWidth)};
}

WindowPosition RestoreWindowPosition(const SettingsStore& store, const std::string& componentName,
                                     WindowPosition current, int32_t width, int32_t height,
                                     int32_t screenWidth, int32_t screenHeight)
{
    WindowPosition stored{store.ReadInteger(SettingsSection, componentName + "Top", current.Top),
                          store.ReadInteger(SettingsSection, componentName + "Left", current.Left)};
    return PlaceOnScreen(stored, width, height, screenWidth, screenHeight);
}

void SaveWindowPosition(SettingsStore& store, const std::string& componentName,
                        WindowPosition position)
{
    store.WriteInteger(SettingsSection, componentName + "Top", position.Top);
    store.WriteInteger(SettingsSection, componentName + "Left", position.Left);
}

} // namespace zefrin
