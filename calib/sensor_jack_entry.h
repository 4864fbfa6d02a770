// The OK of the sensor and jack dialog without its window: the checks of the typed texts, then the
// protection limits, the sensor and jack data and the load coefficient into the channel, and the
// running test file's header texts.
#pragma once

#include <string>

#include "calib/load_coefficient.h"
#include "model/parameter.h"

// The five protection fields as typed.
struct ProtectionEntry {
  std::string loadingTime;    // loading protection time, s (item 30)
  std::string maxSettlement;  // maximum settlement allowed, mm (item 28)
  std::string uneven;         // uneven settlement allowed, mm (item 29)
  std::string rangeAlarm;     // displacement range alarm, mm (item 31)
  std::string upliftAlarm;    // anchor-pile uplift alarm, mm (item 32)
};

// The first refusal of the typed texts for the channel's force-sensor type and the mode, in the order
// the dialog checks them; "" when all pass.
std::string CheckSensorJackEntry(int sensorType, const SensorJackEntry& entry, const ProtectionEntry& protection);

struct SensorJackApplyResult {
  bool stored = false;              // the entry went into the channel
  std::string message;              // the refusal, for the message line
  bool headerTextsRewritten = false;
  bool parameterFileSaved = false;  // the stored entry is in the parameter file
};

// Checks everything first; a refusal stores nothing. Otherwise stores the sensor, jacks and load
// coefficient and the protection limits (items 28-32 and header records 8-12), rewrites the header
// texts of the channel's running test file, and packs and saves the parameter file.
SensorJackApplyResult ApplySensorJackEntry(Parameter& channel, const SensorJackEntry& entry,
                                           const ProtectionEntry& protection);
