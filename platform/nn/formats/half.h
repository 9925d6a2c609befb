// IEEE 754 half precision to single precision, for float16 weights widened at load. Exact for
// every half value, NaN and infinities included.
#pragma once

#include "platform/nn/internal_only.h"

#include <cstdint>
#include <cstring>

namespace platform::nn {

inline float halfToFloat(uint16_t half) {
  uint32_t sign = static_cast<uint32_t>(half & 0x8000) << 16;
  uint32_t exponent = (half >> 10) & 0x1f;
  uint32_t mantissa = half & 0x3ff;
  uint32_t bits;
  if (exponent == 0x1f) {
    bits = sign | 0x7f800000 | (mantissa << 13);  // infinity or NaN
  } else if (exponent != 0) {
    bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
  } else if (mantissa == 0) {
    bits = sign;
  } else {
    // Subnormal half: normalise the mantissa.
    exponent = 113;
    while ((mantissa & 0x400) == 0) {
      mantissa <<= 1;
      --exponent;
    }
    bits = sign | (exponent << 23) | ((mantissa & 0x3ff) << 13);
  }
  float value;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

}  // namespace platform::nn
