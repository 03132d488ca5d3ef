// Small tables and rules the windows share: the fade durations of the fade track bars, the
// window colours, and where a window goes when its stored position is restored.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace zefrin {

class SettingsStore;

// Fade length in milliseconds for each position 0 .. 32 of a fade track bar: 0 = no fade,
// 32 = 20 s, each step below 32 being 11/12 of the one above less 110 ms.
using FadeDurations = std::array<int32_t, 33>;
const FadeDurations& FadeDurationTable();

// A fade track bar's hint: whole seconds, a point, the tenths digit (truncated) and "s";
// 18223 ms shows as "18.2s".
std::string FadeHintText(int32_t milliseconds);

struct FormColor
{
    uint8_t Red;
    uint8_t Green;
    uint8_t Blue;

    friend bool operator==(const FormColor&, const FormColor&) = default;
};

// The colour windows take while CheckBox_ColorClassicTheme is off.
inline constexpr FormColor DefaultFormColor{238, 237, 228};
// The colour while it is on: the system's button face. This is the light grey that the usual
// desktop themes give to buttons; a window may ask its style for the live button colour
// instead, this constant being what the engine and the tests know of it.
inline constexpr FormColor ClassicFormColor{240, 240, 240};

// The window colour CheckBox_ColorClassicTheme selects.
inline FormColor FormColorFor(int32_t colorClassicTheme)
{
    return colorClassicTheme != 0 ? ClassicFormColor : DefaultFormColor;
}

struct WindowPosition
{
    int32_t Top;
    int32_t Left;

    friend bool operator==(const WindowPosition&, const WindowPosition&) = default;
};

// Where a window with a stored position goes: a coordinate whose window would reach more than
// half its extent (halved, remainder dropped) beyond the screen's far edge is pulled back so
// that exactly that half lies inside; smaller and negative coordinates stay as they are
// (a screen left of or above the main one has negative coordinates).
WindowPosition PlaceOnScreen(WindowPosition stored, int32_t width, int32_t height,
                             int32_t screenWidth, int32_t screenHeight);

// RestoreWindowPosition without the window: reads `<componentName>Top` and
// `<componentName>Left` from section "Zefrin", the current position being the default, and
// places the result with PlaceOnScreen.
WindowPosition RestoreWindowPosition(const SettingsStore& store, const std::string& componentName,
                                     WindowPosition current, int32_t width, int32_t height,
                                     int32_t screenWidth, int32_t screenHeight);

// Writes `<componentName>Top` and `<componentName>Left` into section "Zefrin"; the caller
// flushes the store once every window has saved.
void SaveWindowPosition(SettingsStore& store, const std::string& componentName,
                        WindowPosition position);

} // namespace zefrin
