// How a slider's track position becomes a value.
#pragma once

namespace tov::panel {

// The press position's fraction of the track, clamped to 0..1.
float trackFraction(float x, float trackLeft, float trackRight);

// Highest bitrate offered on the slider in Mbps: the phone's highest, never below 9.
int bitrateSliderMax(int maxBitrateBps);
// round(8 + (max - 8) x t) Mbps.
int bitrateFromFraction(float t, int maxBitrateBps);
// Where a bitrate sits on the track (inverse of the above, clamped).
float fractionFromBitrate(int bitrateBps, int maxBitrateBps);

// 0.25 x 16^t, snapped to 1 within 0.06 of it, else rounded to a multiple of 0.05.
float volumeFromFraction(float t);
float fractionFromVolume(float gain);

}  // namespace tov::panel
