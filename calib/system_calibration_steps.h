// The steps of the system calibration without its window: the checks and the channel fields of a
// start, the standard column, the live readings (corrected through the table in check mode), the
// recorded rows, zeroing, ending, the table texts shown after an activation, and the estimate of a
// sensitivity or coefficient from the recorded table. The whole state is the "xtbd.ini" record.
#pragma once

#include <array>
#include <string>

#include "calib/system_calibration.h"
#include "model/parameter.h"

inline constexpr int kCalibrationMaxPoints = 10;  // rows 1..10 after the zero row
inline constexpr int kCalibrationShownRows = 11;  // rows 0..10 on screen

// Calibration types.
inline constexpr int kCalibrateLoadSensor = 0;
inline constexpr int kCalibrateSystem = 1;
inline constexpr int kCalibrateOilSensor = 2;

// Texts of the calibration steps.
inline constexpr const char* kCalibrationTestRunning = "已开始试验，请结束试验后进行标定！";
inline constexpr const char* kCalibrationAlreadyStarted = "标定已经开始!";
inline constexpr const char* kCalibrationStarted = "参数输入正确，已自动生成各标定点标准荷载值！按“清零”键清零";
inline constexpr const char* kCalibrationIdle = "请按“开始标定”键进行标定！";
inline constexpr const char* kCalibrationEnded = "请按“开始标定”键开始标定！";
inline constexpr const char* kCalibrationZeroed = "已清零！";
inline constexpr const char* kPointsOutOfRange = "标定点数要求为1至10的整数！";

// The texts of the start's edits.
struct CalibrationInputs {
  std::string maximum;        // 1082
  std::string points;         // 1083
  std::string range;          // 1084: load-sensor range (type 0) or oil-sensor range
  std::string sensitivity;    // 1087: sensitivity, or the load sensor's coefficient (type 0)
  std::string ratedOutput;    // 1085
  std::string ratedPressure;  // 1086
};

// The texts of one table row: standard, force and pressure as shown in calibration or check mode.
struct CalibrationRowTexts {
  std::string standard;
  std::string force;
  std::string pressure;
};
using CalibrationTableTexts = std::array<CalibrationRowTexts, 12>;

// The type chosen by the three type buttons' captions (the chosen one carries "√").
int CalibrationTypeFromButtons(const std::string& oilSensor, const std::string& loadSensor, const std::string& system);

// "%f" and "%d" as the dialog reads its texts: a text that does not start with a number gives false and
// leaves `out` alone. The integer saturates at the limits of int.
bool ScanCalibrationFloat(const std::string& text, float& out);
bool ScanCalibrationInt(const std::string& text, int& out);

// A state read from "xtbd.ini" made safe to use: a type other than 0-2 becomes 0, the points 1..10, the
// counts 0..N + 1 and the flags 0 or 1.
void BoundSystemCalibration(SystemCalibration& c);

// The text of a standard value: "%.2f" for the oil-pressure sensor, else "%.0f".
std::string StandardValueText(int type, float value);

struct CalibrationStartResult {
  bool started = false;
  std::string message;  // the status line: the refusal (shown as a warning) or the start message
};

// The start of a calibration of `type` with the typed texts, for the channel whose force-sensor type is
// read from `channel`. The checks run in the dialog's order; a refusal changes neither `c` nor the
// channel. On success `c` holds the new inputs, the standard column and a cleared table and flags, and
// the channel takes the sensor and jack data of the table of types (a 20S channel keeps its type and
// takes no sensitivity; types 0 and 2 leave it alone).
CalibrationStartResult StartSystemCalibration(SystemCalibration& c, int type, const CalibrationInputs& in,
                                              Parameter& channel);

// Ending: back to idle with an empty table (the inputs stay); the channel's force zero becomes 0.
void EndSystemCalibration(SystemCalibration& c, Parameter& channel);

// Zeroing at the channel's raw force reading (less 800 for a 20S channel); the channel's force zero
// takes the same value.
void ZeroSystemCalibration(SystemCalibration& c, Parameter& channel);

// The live force and pressure texts, in check mode with the force corrected through the table.
struct CalibrationLiveTexts {
  std::string force;
  std::string pressure;
};
CalibrationLiveTexts LiveCalibrationTexts(const SystemCalibration& c, float rawForce, int sensorType);
// The live force (kN) before the check-mode correction.
float LiveCalibrationForce(const SystemCalibration& c, float rawForce, int sensorType, float& pressure);
// The check-mode correction: piece-wise linear through the standard values and calibration forces of
// rows 0..N; a segment whose two calibration forces are equal is skipped.
float CorrectedCalibrationForce(const SystemCalibration& c, float force);

struct CalibrationRecordResult {
  int row = -1;            // the row recorded; -1 when the calibration or check was already finished
  bool finished = false;   // this record (or an earlier one) finished it
  std::string message;     // the status line
};
// Records the live texts into the next row of the mode's columns.
CalibrationRecordResult RecordCalibrationRow(SystemCalibration& c, const std::string& forceText,
                                             const std::string& pressureText);

// The next row to record (0 once the calibration or check is finished).
int NextCalibrationRow(const SystemCalibration& c);

// The table texts of a started calibration as its recorded state gives them: rows 0..N with their
// standard and the recorded values of the mode ("" for rows not recorded yet), "--" beyond N.
CalibrationTableTexts CalibrationTexts(const SystemCalibration& c);

// The estimate on the status line from the cell texts: the coefficient or sensitivity edit, the points
// edit, the standard cells and the measured cells (force for types 0 and 1, pressure for type 2) of
// rows 0..10.
std::string CalibrationEstimateText(int type, const std::string& coefficient, const std::string& points,
                                    const std::array<std::string, kCalibrationShownRows>& standards,
                                    const std::array<std::string, kCalibrationShownRows>& measured);
