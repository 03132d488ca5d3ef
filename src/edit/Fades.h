// The fade curve (gain steps that fall off towards the ends, linear in decibels) and the
// texts of the amplification and fade controls.
#pragma once

#include "core/FrameHeader.h"

#include <cstdint>
#include <string>

namespace zefrin {

// The (zero or negative) step count of the fade curve for output frame i of count frames.
// Each fade takes at most span / 2 frames; fadeDepth is ComboBoxFadeDepth (0..3, 15 dB
// each); the fade positions index FadeDurationTable. Frame counts use the reference header.
int32_t FadeSteps(const FrameHeader& reference, int32_t i, int32_t count, int32_t span,
                  int32_t fadeInPosition, int32_t fadeOutPosition, int32_t fadeDepth);

// PanelVolume's text for an amplification position -8..8: "-12.0dB" .. "0.0dB" .. "+12.0dB".
std::string AmplificationText(int32_t position);

// The fade track bar's hint for a position 0..32: "18.2s".
std::string FadeTrackBarHint(int32_t position);

// The fade track bar position a click at height y of the black fade image picks.
int32_t FadeImagePosition(int32_t y);

} // namespace zefrin
