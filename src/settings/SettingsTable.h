// The settings table: one row per settings control, in record order, holding the control's
// name, its kind, its default and the record field it is bound to. Defaults, both stores, the
// options dialog, the command line's --set and the language layer all walk this one table.
#pragma once

#include "SettingsRecord.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zefrin {

class SettingsStore;

// The store section of the settings (the per-user key and the export file alike).
inline constexpr const char* SettingsSection = "Zefrin";

// Text settings hold at most this many characters (the text boxes accept no more).
inline constexpr size_t SettingTextLimit = 30;

// How a control shows its value; every kind except Text is stored as an integer.
enum class SettingKind {
    Flag,           // two-state check box: 0 = off, -1 = on, any non-zero value reads as on
    ThreeState,     // 8-bit: 0 = unchecked, 1 = checked, 2 = grayed
    Combo,          // drop-down list: the selected item index, -1 = none
    Spin,           // spin box: its value, an empty box gives 0
    TrackBar,       // its position
    Text,           // text box, at most SettingTextLimit characters
    RadioIndex,     // radio group: the selected item index
    RadioFlagItem0, // radio group stored as a flag: on (-1) selects item 0, 0 selects item 1
    RadioFlagItem1, // radio group stored as a flag: 0 selects item 0, on (-1) selects item 1
    Id3Code,        // 8-bit code of the three ID3v1 radio buttons: 0 remove, 1 keep, 2 recreate
    Genre,          // genre combo: the ID3v1 genre number, 255 = none (not the item index)
};

// The record field a row is bound to.
using SettingField = std::variant<int32_t SettingsRecord::*, uint8_t SettingsRecord::*,
                                  std::string SettingsRecord::*>;

struct SettingRow
{
    const char* Name; // the control's name, also the value's name in every store
    SettingKind Kind;
    int32_t Default; // integer kinds; texts default to empty
    SettingField Field;

    bool IsText() const { return Kind == SettingKind::Text; }
};

// Every settings row in record order.
std::span<const SettingRow> SettingsTable();

// The row of a control name, letters compared without regard to case (the stores compare
// names that way too); nullptr when there is none.
const SettingRow* FindSetting(std::string_view name);

// Sets every field to its default; texts become empty.
void LoadDefaultSettings(SettingsRecord& record);
SettingsRecord DefaultSettings();

// Reads every setting from section "Zefrin", the field's current value being the default, so
// a missing value leaves the field as it is. Texts through the string read, cut to
// SettingTextLimit characters; every other kind through the integer read, three-state boxes
// and the ID3v1 code keeping the low 8 bits.
void ReadSettings(SettingsRecord& record, const SettingsStore& store);

// Writes every setting into section "Zefrin" (texts as strings, all else as integers), then
// flushes the store; a store that cannot be written raises its error.
void WriteSettings(const SettingsRecord& record, SettingsStore& store);

// What start-up does after reading the per-user store: the genre keeps its low 8 bits
// (a stored 300 becomes 44).
void ApplyStartupSettingRules(SettingsRecord& record);

// The integer value of an integer row (8-bit fields widened); 0 for a text row.
int32_t SettingInteger(const SettingsRecord& record, const SettingRow& row);
// Stores into an integer row; 8-bit fields keep the low 8 bits. Ignored for a text row.
void SetSettingInteger(SettingsRecord& record, const SettingRow& row, int32_t value);
// The text of a text row; empty for an integer row.
const std::string& SettingText(const SettingsRecord& record, const SettingRow& row);
// Stores into a text row as given. Ignored for an integer row.
void SetSettingText(SettingsRecord& record, const SettingRow& row, const std::string& value);

// The value as the settings listing shows it: integers in decimal, texts as they are.
std::string SettingValueText(const SettingsRecord& record, const SettingRow& row);

// Sets one setting from the command line. Integers in decimal or "0x" hexadecimal; the 8-bit
// settings take 0 to 255. Texts as given, at most SettingTextLimit characters and no line
// breaks. On failure the record is unchanged, false is returned and `error` (when given)
// receives the message.
bool SetSettingByName(SettingsRecord& record, const std::string& name, const std::string& value,
                      std::string* error);

// The names of the settings whose values differ, in record order (texts compared exactly,
// integers by value).
std::vector<std::string> DifferingSettings(const SettingsRecord& a, const SettingsRecord& b);

// Cuts a text to at most `limit` characters, a character being one UTF-8 sequence (a lead
// byte and its continuation bytes), so that a cut never splits a character.
std::string CutToCharacters(const std::string& text, size_t limit);

} // namespace zefrin
