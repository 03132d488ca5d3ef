#include "SettingsTable.h"

#include "SettingsStore.h"

#include <array>
#include <cctype>

namespace zefrin {

namespace {

using K = SettingKind;
using R = SettingsRecord;

constexpr int32_t On = -1;
constexpr int32_t Off = 0;

// clang-format off
// The control name is the field name: one macro argument gives both.
#define ZEFRIN_SETTING(name, kind, defaultValue) \
    SettingRow{#name, K::kind, defaultValue, &R::name}

constexpr std::array<SettingRow, 54> Rows = {{
    ZEFRIN_SETTING(CheckBoxAskBeforeExiting,                        Flag,           Off),
    ZEFRIN_SETTING(CheckBoxOverwriteAsk,                            Flag,           Off),
    ZEFRIN_SETTING(CheckBoxWarnWhenMissingFH,                       Flag,           On),
    ZEFRIN_SETTING(CheckBoxCloseAfterSave,                          Flag,           On),
    ZEFRIN_SETTING(CheckBoxSmartCBR,                                Flag,           On),
    ZEFRIN_SETTING(CheckBoxKeepExtraInfo,                           Flag,           On),
    ZEFRIN_SETTING(CheckBoxNoExtraInfoInMPEG2,                      Flag,           On),
    ZEFRIN_SETTING(CheckBoxAllowPatchedStreams,                     Flag,           Off),
    ZEFRIN_SETTING(CheckBoxSaveWAV,                                 Flag,           Off),
    ZEFRIN_SETTING(CheckBoxSave_WithTime,                           Flag,           Off),
    ZEFRIN_SETTING(CheckBoxSaveAs_WithTime,                         Flag,           On),
    ZEFRIN_SETTING(CheckBox_ColorClassicTheme,                      Flag,           Off),
    ZEFRIN_SETTING(CheckBoxStayOnTop,                               Flag,           Off),
    ZEFRIN_SETTING(CheckBoxResetTrimmingPointsWhenOpen,             Flag,           On),
    ZEFRIN_SETTING(CheckBoxResetFadeControlsWhenOpen,               Flag,           On),
    ZEFRIN_SETTING(CheckBoxFileOpenInCurrentDirectory,              Flag,           Off),
    ZEFRIN_SETTING(CheckBoxCreateVBRseekInfo,                       Flag,           Off),
    ZEFRIN_SETTING(CheckBoxPreserveDate,                            Flag,           On),
    ZEFRIN_SETTING(CheckBoxCleanup,                                 Flag,           On),
    ZEFRIN_SETTING(CheckBoxAutoDetectSilence,                       Flag,           Off),
    ZEFRIN_SETTING(CheckBoxFastSilenceDetection,                    Flag,           On),
    ZEFRIN_SETTING(CheckBoxRemoveLastFrame,                         Flag,           On),
    ZEFRIN_SETTING(CheckBoxWarnWhenTrimBeginning_mp3PRO,            Flag,           On),
    ZEFRIN_SETTING(CheckBoxDisableSilenceDetectionBeginning_mp3PRO, Flag,           On),
    ZEFRIN_SETTING(SpinEditMinimumCueTrackLength,                   Spin,           60),
    ZEFRIN_SETTING(RadioGroupCueSplit,                              RadioIndex,     0),
    ZEFRIN_SETTING(RadioGroupTrimAggressivity,                      RadioIndex,     0),
    ZEFRIN_SETTING(ComboBoxAddSilenceBeginning,                     Combo,          0),
    ZEFRIN_SETTING(ComboBoxAddSilenceEnd,                           Combo,          0),
    ZEFRIN_SETTING(CheckBoxResetAddSilenceWhenOpen,                 Flag,           On),
    ZEFRIN_SETTING(CheckBoxAutoNormalizeVolume,                     Flag,           Off),
    ZEFRIN_SETTING(ComboBoxNormlizeAt,                              Combo,          1),
    ZEFRIN_SETTING(ComboBoxNormalizeClippingThreshold,              Combo,          1),
    ZEFRIN_SETTING(CheckBoxNormalizationIncOnly,                    Flag,           Off),
    ZEFRIN_SETTING(TrackBarDefaultAmplification,                    TrackBar,       0),
    ZEFRIN_SETTING(ComboBoxFadeDepth,                               Combo,          1),
    ZEFRIN_SETTING(SpinEditPreviewLength,                           Spin,           5),
    ZEFRIN_SETTING(RadioGroupPreviewPlaysWhat,                      RadioFlagItem1, Off),
    ZEFRIN_SETTING(CheckBoxStickyPreviewButtons,                    Flag,           On),
    ZEFRIN_SETTING(RadioGroupPreviewMode,                           RadioFlagItem0, On),
    ZEFRIN_SETTING(RadioButtonID3Remove,                            Id3Code,        1),
    ZEFRIN_SETTING(CheckBoxKeepID3v2,                               Flag,           On),
    ZEFRIN_SETTING(CheckBoxID3UpdateTrackName,                      ThreeState,     0),
    ZEFRIN_SETTING(CheckBoxID3UpdateArtistName,                     ThreeState,     0),
    ZEFRIN_SETTING(CheckBoxID3UpdateAlbumName,                      ThreeState,     0),
    ZEFRIN_SETTING(CheckBoxID3UpdateAlbumYear,                      ThreeState,     0),
    ZEFRIN_SETTING(CheckBoxID3UpdateGenre,                          ThreeState,     0),
    ZEFRIN_SETTING(CheckBoxID3UpdateCommentName,                    ThreeState,     0),
    ZEFRIN_SETTING(EditID3Track,                                    Text,           0),
    ZEFRIN_SETTING(EditID3Artist,                                   Text,           0),
    ZEFRIN_SETTING(EditID3Album,                                    Text,           0),
    ZEFRIN_SETTING(EditID3Comment,                                  Text,           0),
    ZEFRIN_SETTING(SpinEditID3Year,                                 Spin,           0),
    ZEFRIN_SETTING(ComboBoxID3Genre,                                Genre,          255),
}};
#undef ZEFRIN_SETTING
// clang-format on

// Each kind is bound to the field type it needs.
constexpr bool RowTypesAgree()
{
    for (const SettingRow& row : Rows) {
        bool eightBit = row.Kind == K::ThreeState || row.Kind == K::Id3Code;
        size_t expected = row.Kind == K::Text ? 2 : eightBit ? 1 : 0;
        if (row.Field.index() != expected)
            return false;
    }
    return true;
}
static_assert(RowTypesAgree(), "a settings row is bound to a field of the wrong type");

const std::string EmptyText;

} // namespace

std::span<const SettingRow> SettingsTable()
{
    return Rows;
}

const SettingRow* FindSetting(std::string_view name)
{
    for (const SettingRow& row : Rows) {
        if (SameLetters(row.Name, name))
            return &row;
    }
    return nullptr;
}

int32_t SettingInteger(const SettingsRecord& record, const SettingRow& row)
{
    if (auto field = std::get_if<int32_t SettingsRecord::*>(&row.Field))
        return record.**field;
    if (auto field = std::get_if<uint8_t SettingsRecord::*>(&row.Field))
        return record.**field;
    return 0;
}

void SetSettingInteger(SettingsRecord& record, const SettingRow& row, int32_t value)
{
    if (auto field = std::get_if<int32_t SettingsRecord::*>(&row.Field))
        record.** field = value;
    else if (auto field = std::get_if<uint8_t SettingsRecord::*>(&row.Field))
        record.** field = static_cast<uint8_t>(value & 0xFF);
}

const std::string& SettingText(const SettingsRecord& record, const SettingRow& row)
{
    if (auto field = std::get_if<std::string SettingsRecord::*>(&row.Field))
        return record.**field;
    return EmptyText;
}

void SetSettingText(SettingsRecord& record, const SettingRow& row, const std::string& value)
{
    if (auto field = std::get_if<std::string SettingsRecord::*>(&row.Field))
        record.** field = value;
}

void LoadDefaultSettings(SettingsRecord& record)
{
    for (const SettingRow& row : Rows) {
        if (row.IsText())
            SetSettingText(record, row, std::string());
        else
            SetSettingInteger(record, row, row.Default);
    }
}

SettingsRecord DefaultSettings()
{
    SettingsRecord record;
    LoadDefaultSettings(record);
    return record;
}

std::string CutToCharacters(const std::string& text, size_t limit)
{
    size_t characters = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        bool continuation = (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80;
        if (!continuation && characters++ == limit)
            return text.substr(0, i);
    }
    return text;
}

void ReadSettings(SettingsRecord& record, const SettingsStore& store)
{
    for (const SettingRow& row : Rows) {
        if (row.IsText()) {
            // The text boxes hold no more than 30 characters, and the ID3v1 fields these texts
            // go to have no more room; a longer stored text (an edited export file) is cut
            // here, so the record never holds what no control could show.
            std::string text =
                store.ReadString(SettingsSection, row.Name, SettingText(record, row));
            SetSettingText(record, row, CutToCharacters(text, SettingTextLimit));
        } else {
            // 8-bit fields keep the low byte of what was stored (SetSettingInteger).
            SetSettingInteger(
                record, row,
                store.ReadInteger(SettingsSection, row.Name, SettingInteger(record, row)));
        }
    }
}

void WriteSettings(const SettingsRecord& record, SettingsStore& store)
{
    for (const SettingRow& row : Rows) {
        if (row.IsText())
            store.WriteString(SettingsSection, row.Name, SettingText(record, row));
        else
            store.WriteInteger(SettingsSection, row.Name, SettingInteger(record, row));
    }
    store.Flush();
}

void ApplyStartupSettingRules(SettingsRecord& record)
{
    record.ComboBoxID3Genre &= 0xFF;
}

std::string SettingValueText(const SettingsRecord& record, const SettingRow& row)
{
    if (row.IsText())
        return SettingText(record, row);
    return std::to_string(SettingInteger(record, row));
}

bool SetSettingByName(SettingsRecord& record, const std::string& name, const std::string& value,
                      std::string* error)
{
    auto fail = [error](const std::string& message) {
        if (error)
            *error = message;
        return false;
    };
    const SettingRow* row = FindSetting(name);
    if (!row)
        return fail("Unknown setting \"" + name + "\"");

    if (row->IsText()) {
        if (value.find_first_of("\r\n") != std::string::npos)
            return fail(std::string(row->Name) + " takes no line breaks");
        if (CutToCharacters(value, SettingTextLimit).size() != value.size())
            return fail(std::string(row->Name) + " holds at most " +
                        std::to_string(SettingTextLimit) + " characters");
        SetSettingText(record, *row, value);
        return true;
    }

    std::optional<int32_t> number = ParseSettingInteger(value, true);
    if (!number)
        return fail("The value of " + std::string(row->Name) + " must be a whole number (\"" +
                    value + "\" is not)");
    if (std::holds_alternative<uint8_t SettingsRecord::*>(row->Field) &&
        (*number < 0 || *number > 255))
        return fail("The value of " + std::string(row->Name) + " must lie between 0 and 255");
    SetSettingInteger(record, *row, *number);
    return true;
}

std::vector<std::string> DifferingSettings(const SettingsRecord& a, const SettingsRecord& b)
{
    std::vector<std::string> names;
    for (const SettingRow& row : Rows) {
        bool same = row.IsText() ? SettingText(a, row) == SettingText(b, row)
                                 : SettingInteger(a, row) == SettingInteger(b, row);
        if (!same)
            names.push_back(row.Name);
    }
    return names;
}

} // namespace zefrin
