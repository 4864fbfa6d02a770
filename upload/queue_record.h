// The 128-byte upload record of a reading ("GPRS" ...), built for the built-in module and the external
// module alike.
#pragma once

#include <array>
#include <cstdint>
#include <vector>
#include <string>

class Parameter;

inline constexpr std::size_t kUploadRecordSize = 128;
using UploadRecord = std::array<std::uint8_t, kUploadRecordSize>;

// Which road built the record: the recording routine of the control tick, or the manual-record and
// end-of-test road of the test-control dialog.
enum class UploadRecordKind { Reading, Manual };

// One set of measured values of a channel.
struct MeasuredValues {
  float load = 0.0f;         // kN
  float oilPressure = 0.0f;  // MPa
  std::array<float, 8> gauges{};
};

// Everything the record is built from; texts are UTF-8.
struct UploadRecordInput {
  std::string serialNumber;          // header record 7 value text
  std::string externalSerialNumber;  // header record 8 value text
  std::string pileLabel;             // header record 8 label text (the pile number)
  bool identifierFromRecord8 = false;  // identifier-choice flag: send the external serial number

  int year = 2000, month = 1, day = 1;  // start date of the test
  std::string timeText;                 // "hh:mm" of the reading

  bool readingMark = false;  // L36 0xFF
  bool liveValues = false;   // send the live values (and L36 2)
  MeasuredValues recorded;
  MeasuredValues live;
  float controlLoad = 0.0f;  // target load of the current level
  float derivedValue = 0.0f;  // value the reply parser derives from the force reading
  int cycleCounter = 0;

  int standardCode = 0;
  int testType = 1;
  int loadingPhase = 0;
  int forceSensorType = 0;  // 0 load cell, 1 10S, 2 20S
  std::uint8_t status1 = 0, status2 = 0, status3 = 0;

  bool pressureAlarm = false;
  bool protectionAlarm = false;
  float protectedValue = 0.0f;
  std::array<bool, 4> gaugeAlarm{};
  int commandOption = 0;

  // The channel's parameter list (items 1-8, 10, 11, 13-15, 17, 18, 23, 26-30, 60-63, 85 are read);
  // a missing item reads as 0.
  std::vector<float> items;

  std::string controllerNumber;  // six digits
  std::string softwareVersion;   // "3.3.8"

  float controllerLongitude = 0.0f, controllerLatitude = 0.0f;  // reported by the controller, or 0
  float gpsLongitude = 0.0f, gpsLatitude = 0.0f;                // from the GPS module, or 0
};

// The input as far as the channel record holds it: header texts 7 and 8 of the test-file image, start
// date, time text, control load, codes, parameter items, controller number, software version, GPS
// position and the live values of the last reply. The recording routine adds what it prepares for the
// reading (reading mark, live-values choice, recorded values, derived value, cycle counter, status
// bytes, alarm flags, command option, identifier choice and the controller-reported position).
UploadRecordInput UploadInputFromChannel(const Parameter& channel);

// Builds the record into the channel's build buffer (under its queue lock).
void BuildIntoChannel(Parameter& channel, const UploadRecordInput& in, UploadRecordKind kind);

// Builds the record in its transmission order, checksum in byte 127.
UploadRecord BuildUploadRecord(const UploadRecordInput& in, UploadRecordKind kind);

// The record before reordering (positions L0..L127), for the reorder step and for tests.
UploadRecord BuildUploadRecordLogical(const UploadRecordInput& in, UploadRecordKind kind);
// Reorders a logical record into transmission order and adds the checksum.
UploadRecord ReorderUploadRecord(const UploadRecord& logical);
