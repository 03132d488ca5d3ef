// Every user option, one field per settings control of the options dialog, named exactly
// like the control. Flags are 0 (off) or -1 (on; any non-zero value reads as on);
// three-state boxes and the ID3v1 code are 8-bit values; lists store the item index.
// The defaults live in the settings table (SettingsTable.h) alone: LoadDefaultSettings.
#pragma once

#include <cstdint>
#include <string>

namespace zefrin {

struct SettingsRecord
{
    int32_t CheckBoxAskBeforeExiting = 0;
    int32_t CheckBoxOverwriteAsk = 0;
    int32_t CheckBoxWarnWhenMissingFH = 0;
    int32_t CheckBoxCloseAfterSave = 0;
    int32_t CheckBoxSmartCBR = 0;
    int32_t CheckBoxKeepExtraInfo = 0;
    int32_t CheckBoxNoExtraInfoInMPEG2 = 0;
    int32_t CheckBoxAllowPatchedStreams = 0;
    int32_t CheckBoxSaveWAV = 0;
    int32_t CheckBoxSave_WithTime = 0;
    int32_t CheckBoxSaveAs_WithTime = 0;
    int32_t CheckBox_ColorClassicTheme = 0;
    int32_t CheckBoxStayOnTop = 0;
    int32_t CheckBoxResetTrimmingPointsWhenOpen = 0;
    int32_t CheckBoxResetFadeControlsWhenOpen = 0;
    int32_t CheckBoxFileOpenInCurrentDirectory = 0;
    int32_t CheckBoxCreateVBRseekInfo = 0;
    int32_t CheckBoxPreserveDate = 0;
    int32_t CheckBoxCleanup = 0;
    int32_t CheckBoxAutoDetectSilence = 0;
    int32_t CheckBoxFastSilenceDetection = 0;
    int32_t CheckBoxRemoveLastFrame = 0;
    int32_t CheckBoxWarnWhenTrimBeginning_mp3PRO = 0;
    int32_t CheckBoxDisableSilenceDetectionBeginning_mp3PRO = 0;
    int32_t SpinEditMinimumCueTrackLength = 0;
    int32_t RadioGroupCueSplit = 0;
    int32_t RadioGroupTrimAggressivity = 0;
    int32_t ComboBoxAddSilenceBeginning = 0;
    int32_t ComboBoxAddSilenceEnd = 0;
    int32_t CheckBoxResetAddSilenceWhenOpen = 0;
    int32_t CheckBoxAutoNormalizeVolume = 0;
    int32_t ComboBoxNormlizeAt = 0;
    int32_t ComboBoxNormalizeClippingThreshold = 0;
    int32_t CheckBoxNormalizationIncOnly = 0;
    int32_t TrackBarDefaultAmplification = 0;
    int32_t ComboBoxFadeDepth = 0;
    int32_t SpinEditPreviewLength = 0;
    int32_t RadioGroupPreviewPlaysWhat = 0;
    int32_t CheckBoxStickyPreviewButtons = 0;
    int32_t RadioGroupPreviewMode = 0;
    uint8_t RadioButtonID3Remove = 0;
    int32_t CheckBoxKeepID3v2 = 0;
    uint8_t CheckBoxID3UpdateTrackName = 0;
    uint8_t CheckBoxID3UpdateArtistName = 0;
    uint8_t CheckBoxID3UpdateAlbumName = 0;
    uint8_t CheckBoxID3UpdateAlbumYear = 0;
    uint8_t CheckBoxID3UpdateGenre = 0;
    uint8_t CheckBoxID3UpdateCommentName = 0;
    std::string EditID3Track;
    std::string EditID3Artist;
    std::string EditID3Album;
    std::string EditID3Comment;
    int32_t SpinEditID3Year = 0;
    int32_t ComboBoxID3Genre = 0;
};

} // namespace zefrin
