// ITU-R BT.601 luminance of 8-bit colours, alpha over white paper, and
// wider samples brought to 8 bits: the conversions every decoder shares.
#pragma once

#include <cstdint>

// 0.299 R + 0.587 G + 0.114 B, rounded.
inline uint8_t Luminance(uint32_t r, uint32_t g, uint32_t b) {
  return static_cast<uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
}

// A sample of `alpha` coverage over white paper (unassociated alpha).
inline uint8_t OverWhite(uint32_t value, uint32_t alpha) {
  return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

// A sample whose colour is already multiplied by its alpha (associated
// alpha), over white paper.
inline uint8_t PremultipliedOverWhite(uint32_t value, uint32_t alpha) {
  const uint32_t over = value + 255 - alpha;
  return static_cast<uint8_t>(over > 255 ? 255 : over);
}

// A sample from 0..maxValue scaled to 0..255, rounded.
inline uint8_t ScaleTo8(uint32_t value, uint32_t maxValue) {
  if (value >= maxValue) return 255;
  return static_cast<uint8_t>((static_cast<uint64_t>(value) * 255 + maxValue / 2) / maxValue);
}
