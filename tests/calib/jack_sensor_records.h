// Records of the jack and sensor calibration database ("qjd.qjd") for the selection tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "model/parameter.h"

// A record: kind 0 a jack, 1 a sensor; its number, type and first two values, and the jack's a and b.
inline JackSensorEntry Rec(int kind, const char* number, int type, float v0, float v1, float a = 0.0f,
                           float b = 0.0f) {
  JackSensorEntry e;
  e.number = static_cast<std::int16_t>(kind);
  std::memcpy(e.name, number, std::min(std::strlen(number), sizeof e.name));
  e.value = static_cast<std::int16_t>(type);
  e.values[0] = v0;
  e.values[1] = v1;
  e.values[2] = a;
  e.values[3] = b;
  return e;
}
