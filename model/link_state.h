// State of a channel's front-end link, its readings and its alarms, kept in the channel record
// (`Parameter::link`). Written by the link's poll and reader threads and by the user-interface thread:
// every field that crosses threads is an atomic; the displacement filter state is guarded by
// `filterLock` (the reader thread filters, the poll thread may reset it).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

struct LinkState {
  using byte = std::uint8_t;

  // Readings of the force channel (reader thread).
  std::atomic<int> rawForce{0};
  std::atomic<float> rawForceValue{0.0f};
  std::atomic<float> netForce{0.0f};
  std::atomic<float> measuredLoad{0.0f};      // kN (kPa in a plate test)
  std::atomic<float> measuredPressure{0.0f};  // MPa
  std::atomic<float> jackK{1.0f};             // raw counts per load unit, used by the command frames
  std::atomic<byte> forceConfigError{0};      // a divisor of the force conversion is 0 or below

  // Displacement channels 1..8 (reader thread).
  std::array<std::atomic<int>, 8> rawHundredths{};
  std::array<std::atomic<float>, 8> displacement{};   // mm
  std::array<std::atomic<float>, 4> unfiltered{};     // mm, channels 1..4
  std::array<std::atomic<byte>, 8> valid{};
  std::array<std::atomic<byte>, 8> stuck{};
  std::array<std::atomic<byte>, 8> nearRange{};
  std::array<std::atomic<byte>, 8> sensorFault{};
  std::atomic<float> meanDisplacement{0.0f};
  std::atomic<float> meanGroup1{0.0f};
  std::atomic<float> meanGroup2{0.0f};
  // Copies of user-interface settings the link threads read, refreshed by the user-interface tick:
  // whether each gauge is on (from the header records), the plate area, whether the jack text names
  // jacks in parallel, and the number of points of the selected jack's rating table.
  std::array<std::atomic<byte>, 8> gaugeOn{};
  std::atomic<float> plateArea{0.0f};
  std::atomic<byte> jacksInParallel{0};
  std::atomic<int> ratingPoints{11};

  // Plausibility filter of the displacements (under filterLock).
  struct Filter {
    int rejects = 0;
    int historyCount = 0;
    std::array<int, 16> history{};
    float lastAccepted = 0.0f;
    int filterCount = 0;
  };
  std::array<Filter, 8> filters{};
  std::int64_t filterReplyMs = -1;  // instrument time of the last reply the filter judged; -1: none
  std::mutex filterLock;

  // Controller state from the replies.
  std::atomic<byte> pumpState{0};
  std::atomic<byte> valveReply{0};
  std::atomic<byte> valveByte{17};  // valve byte of the next command (17 or 18)
  std::atomic<int> status27{0};
  std::atomic<int> status28{0};
  std::atomic<int> chargeBits{0};
  std::atomic<int> positionCounter{0};
  // The controller's own position from its text replies (degrees), kept apart from the GPS module's.
  std::atomic<float> controllerLatitude{0.0f};
  std::atomic<float> controllerLongitude{0.0f};

  // Link counters.
  std::atomic<int> errorCount{0};
  std::atomic<int> goodReplies1{0};  // watched by the link-quality check
  std::atomic<int> goodReplies2{0};  // watched by the main loop's silence check
  std::atomic<int> goodCount{0};     // good replies since the last reset, up to 30
  std::atomic<byte> replyAlive{0};
  std::atomic<byte> pressureDeviation{0};

  // Command step (poll thread; user-interface writes of these hold the channel's loadLock).
  std::atomic<int> reloadPercent{0};    // the re-load limit (item 25) is a percentage of the step load
  std::atomic<byte> pumpBlock{0};
  std::atomic<byte> manualOverride{0};
  std::atomic<byte> autoLoading{0};
  std::atomic<byte> auxOutput{0};
  std::atomic<int> auxCountdown{0};
  std::atomic<int> rotatingCounter{0};
  std::atomic<byte> stateCode{0};        // byte 12 of this channel's last command
  std::atomic<int> levelNumber{0};       // level number of the test (control tick)
  std::atomic<int> unloadStepCounter{0};
  std::atomic<int> stopState{0};         // 2 pause, 3 controller pump stop, 4 warning, 5 stop request
  std::atomic<byte> pauseRequested{0};
  // Phase changes that the user-interface tick finishes (level index, timing, reading list):
  // 1 a new loading level, 2 a new unloading level; 0 none pending.
  std::atomic<int> levelChange{0};
  std::atomic<byte> reached{0};

  // Alarms (user-interface thread).
  enum Alarm { Uneven, Settlement, NoPressure, Range, ForceSensor, kPersistent };
  std::array<int, kPersistent> persistence{};
  std::array<byte, kPersistent> pauseRequest{};
  std::array<std::string, kPersistent> alarmText{};  // texts of the persistent conditions
  std::string deviationText, moduleText, boxText, gaugeText, commText, batteryText, configText;
  std::string storageText;  // readings the storage did not take (set and cleared by the recording)
  int pumpOnCounter = 0;
  byte cannotBuildPressure = 0;
  int commCycle = 0;

  // Link quality (user-interface thread).
  int refreshCounter = 0;
  int signalLevel = 0;
  int goodSnapshot = 0;
  int timeoutTicks = 0;
  byte timedOut = 0;
  std::atomic<byte> linkLost{0};
  int linkState = 1;  // channel 1: 1 normal, 2 a running channel's controller timed out
};
