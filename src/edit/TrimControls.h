// The four linked trimming values of the trim group — frames trimmed at the beginning and
// at the end, the end position and the duration — as frame spin edits with a time spin and
// a time label each. Changing one moves the others exactly as the window's change handlers
// do, and every change recomputes the figures of the result.
#pragma once

#include "EditState.h"
#include "core/StreamModel.h"
#include "settings/SettingsRecord.h"

#include <cstdint>
#include <string>

namespace zefrin {

enum class TrimValue {
    Begin = 0,       // SpinEdit_F_begin, TimeSpin_S_begin, LabelBeginTime
    End = 1,         // SpinEdit_F_end, TimeSpin_S_end, LabelEndTime
    EndPosition = 2, // SpinEdit_F_endP, TimeSpin_S_endP, LabelEndP
    Duration = 3,    // SpinEdit_F_duration, TimeSpin_S_Duration, LabelDurationTime
};

class TrimControls
{
  public:
    TrimControls(const StreamModel& model, const SettingsRecord& settings, EditState& state);

    // The value of a frame spin edit, read from its text: -1 when it is not an integer.
    int32_t Value(TrimValue which) const;
    const std::string& Text(TrimValue which) const;
    uint32_t Seconds(TrimValue which) const;         // the time spin
    const std::string& Label(TrimValue which) const; // "(12.34s)" or empty

    // The user types into a frame spin edit (any text, at most 6 characters kept). A number
    // outside 0 .. FrameCount is brought within the limits at once.
    void SetText(TrimValue which, const std::string& text);
    // The spin edit's value is set: clamped to 0 .. FrameCount, then its handler runs.
    void SetFrames(TrimValue which, int32_t frames);
    // The user sets a time spin, in whole seconds (limited to DurationSeconds).
    void SetSeconds(TrimValue which, uint32_t seconds);

    // The trim part of RefreshTrimControls(open): after an analysis (true) or a close (false).
    // TagsKept belongs to the model, which is read-only here: the caller sets it to 1.
    void Refresh(bool open);

    // True once after begin became positive on an mp3PRO stream with the warning setting on;
    // the window then shows the mp3PRO warning. Cleared at every opening.
    bool TakeMp3ProWarning();

  private:
    void FrameChanged(int which);
    void UpdateLabel(int which);
    void Update();
    void SetValue(int which, int64_t frames);

    const StreamModel& m_model;
    const SettingsRecord& m_settings;
    EditState& m_state;
    std::string m_text[4];
    uint32_t m_seconds[4] = {};
    uint32_t m_maxSeconds = 0;
    int32_t m_maxFrames = 0; // the frame spin edits' upper limit, FrameCount of the last opening
    std::string m_label[4];
    uint32_t m_guard = 0; // TrimChangeGuard
    bool m_mp3ProWarningShown = false;
    bool m_mp3ProWarningDue = false;
};

} // namespace zefrin
