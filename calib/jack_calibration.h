// The jack calibration table without its window: the ten calibration groups of "QJDdat.dat" kept in
// channel 1's list, each a jack (or a measuring system) with up to ten calibration points and the zero
// point. For each point the group holds the standard force in kN and the measured value (oil pressure
// in MPa for a jack calibration, force in kN for a system calibration). Here: the texts a group shows,
// the standard forces generated from the maximum force, the checks and the write of a save, paging and
// deleting a group.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/parameter.h"

inline constexpr int kJackMaxPoints = 10;  // calibration points besides the zero point

// Messages of the table.
inline constexpr const char* kJackMaxForceNotNumber = "率定最大力值要求为数字！";
inline constexpr const char* kJackPointsNotNumber = "率定点数要求为数字！";
inline constexpr const char* kJackPointsOutOfRange = "率定点数要求为1至10的整数！";
inline constexpr const char* kJackNumberEmpty = "千斤顶编号不能为空！";
inline constexpr const char* kJackSensorNumberEmpty = "传感器编号不能为空！";
inline constexpr const char* kJackMaxForceZero = "率定最大力值不能为零！";
inline constexpr const char* kSystemMaxForceZero = "标定最大力值不能为零！";
inline constexpr const char* kJackGenerated = "输入完成，已自动生成各率定点的标准荷载值！";
inline constexpr const char* kSystemGenerated = "输入完成，已自动生成各率定点标准荷载值！";
inline constexpr const char* kJackValuesMissing = "各率定点数据必须输满，返回上一组或其他页面取消输入！";
inline constexpr const char* kJackZeroPointWrong = "率定零点数据输入有误！";
inline constexpr const char* kJackStandardForcesWrong = "各率定点标准力值须逐点增大，请先生成标准力值！";
inline constexpr const char* kJackAlreadySaved = "该组数据已经保存过！";
inline constexpr const char* kJackSaved = "率定数据已保存！";
inline constexpr const char* kJackFirstGroup = "已达到首组率定数据!";
inline constexpr const char* kJackLastGroup = "已达到末组率定数据!";
inline constexpr const char* kJackNotSaved = "数据输入有误或未保存该组数据!";
inline constexpr const char* kJackDeleteRunning = "试桩正在进行，无法进行删除操作！";
inline constexpr const char* kJackDeleted = "删除成功！";

// Column head of the measured values by kind.
inline constexpr const char* kJackMeasuredPressure = "实测油压MPa";
inline constexpr const char* kJackMeasuredForce = "实测力值kN";

// The title of group g (1..10).
std::string JackTableTitle(int group);

// Standard force of point k (1..10) and measured value of point k (0..10) of a group's record.
float JackStandardForce(const JackCalibrationGroup& g, int k);
void SetJackStandardForce(JackCalibrationGroup& g, int k, float value);
float JackMeasuredValue(const JackCalibrationGroup& g, int k);
void SetJackMeasuredValue(JackCalibrationGroup& g, int k, float value);

// Channel 1's list made to hold the ten groups (missing ones empty), so that every group number can be
// shown; the first showing also reads "QJDdat.dat" over ten empty groups.
void EnsureJackGroups(Parameter& channel1);
void LoadJackGroups(Parameter& channel1);

// What the table shows of a group.
struct JackGroupView {
  std::string jackNumber;
  std::string sensorNumber;
  bool system = false;  // kind 1: system calibration
  std::string maxForce;
  std::string points;
  int pointCount = 0;   // the rows 1..pointCount that take measured values (0..10)
  std::array<std::string, kJackMaxPoints + 1> standard;  // point 0 always "0"; zeros show empty
  std::array<std::string, kJackMaxPoints + 1> measured;  // point 0 shows "0"; other zeros show empty
  bool saved = false;
};
JackGroupView ViewJackGroup(const JackCalibrationGroup& g);

// A message of the table: its text and whether it is a warning (red) or a confirmation (blue).
struct JackMessage {
  std::string text;
  bool warning = false;
};

// Generating the standard forces from what is typed.
struct JackGenerateEntry {
  bool system = false;
  std::string jackNumber, sensorNumber, maxForce, points;
};
struct JackGenerateResult {
  bool generated = false;
  JackMessage message;
  int pointCount = 0;
  std::array<std::string, kJackMaxPoints + 1> standard;  // points 0..n as "%d", the others empty
};
JackGenerateResult GenerateStandardForces(const JackGenerateEntry& e);

// Saving the shown group from the texts of the table.
struct JackSaveEntry {
  bool system = false;
  std::string jackNumber, sensorNumber, maxForce, points;
  std::array<std::string, kJackMaxPoints + 1> standard;  // [1..10]; [0] is not read
  std::array<std::string, kJackMaxPoints + 1> measured;  // [0..10]
};
struct JackSaveResult {
  bool saved = false;  // the group was replaced and the file written
  bool written = false;  // the file write succeeded
  JackMessage message;
};
// Checks the entry, and when it passes and the group is not saved yet, stores it as group `group`
// (1..10) of channel 1's list, marked saved, and writes all ten groups to "QJDdat.dat".
JackSaveResult SaveJackGroup(Parameter& channel1, int group, const JackSaveEntry& e);

// Paging: the group to show and the message, if any.
struct JackPageResult {
  int group = 1;
  bool changed = false;
  JackMessage message;
};
JackPageResult PreviousJackGroup(int group);
JackPageResult NextJackGroup(const Parameter& channel1, int group);

// Deleting group `group`: refused while channel 1's test runs; otherwise the later groups move up, the
// tenth becomes an empty group and the file is written.
struct JackDeleteResult {
  bool deleted = false;
  JackMessage message;
};
JackDeleteResult DeleteJackGroup(Parameter& channel1, int group);

// Whether the table's actions are there: previous (not at group 1), next (not at group 10), delete
// (channel 1 not testing).
bool JackPreviousAvailable(int group);
bool JackNextAvailable(int group);
bool JackDeleteAvailable(const Parameter& channel1);
