// The system calibration's steps without the window: the standard column, the channel a start writes,
// the refusals that leave everything alone, the live readings with and without the check-mode
// correction, recording to the end, the table texts after an activation and the estimate.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "calib/system_calibration_steps.h"

namespace {

CalibrationInputs Inputs(const std::string& maximum, const std::string& points, const std::string& range,
                         const std::string& sensitivity, const std::string& output = "",
                         const std::string& pressure = "") {
  return {maximum, points, range, sensitivity, output, pressure};
}

TEST(SystemCalibrationSteps, StandardColumnInTheStartsFormats) {
  Parameter ch;
  SystemCalibration c;
  ASSERT_TRUE(StartSystemCalibration(c, kCalibrateSystem, Inputs("1000", "3", "60", "2", "1000", "60"), ch).started);
  CalibrationTableTexts t = CalibrationTexts(c);
  const char* forces[] = {"0", "333", "667", "1000"};
  for (int k = 0; k <= 3; ++k) {
    EXPECT_EQ(t[static_cast<std::size_t>(k)].standard, forces[k]) << k;
    EXPECT_EQ(t[static_cast<std::size_t>(k)].force, "") << k;
  }
  for (std::size_t k = 4; k < 12; ++k) EXPECT_EQ(t[k].standard + t[k].force + t[k].pressure, "------") << k;

  ch.forceSensorType = 0;
  ASSERT_TRUE(StartSystemCalibration(c, kCalibrateOilSensor, Inputs("80", "7", "80", "1.5"), ch).started);
  t = CalibrationTexts(c);
  const char* pressures[] = {"0.00", "11.43", "22.86", "34.29", "45.71", "57.14", "68.57", "80.00"};
  for (int k = 0; k <= 7; ++k) EXPECT_EQ(t[static_cast<std::size_t>(k)].standard, pressures[k]) << k;
  EXPECT_EQ(t[8].standard, "--");
  EXPECT_FLOAT_EQ(c.rows[8].standard, 0.0f);
}

TEST(SystemCalibrationSteps, StartWritesTheChannelByTypeAndKeepsA20SChannel) {
  struct Case {
    int type;
    int sensorType;
    int typeAfter;
    float sensitivityAfter;
    int rangeAfter;
    float outputAfter;
    float pressureAfter;
    float kAfter;
  } cases[] = {
      {kCalibrateSystem, 1, 1, 2.0f, 60, 1000.0f, 60.0f, 2.4f},        // P x s x 1200 / (F x range)
      {kCalibrateSystem, 2, 2, 9.0f, 60, 1000.0f, 60.0f, 3.2f},        // P x 3200 / (F x range)
      {kCalibrateLoadSensor, 0, 0, 2.0f, 7, 9.0f, 9.0f, 2.0f},         // K = the coefficient
      {kCalibrateLoadSensor, 2, 2, 9.0f, 7, 9.0f, 9.0f, 9.0f},         // nothing
      {kCalibrateOilSensor, 0, 1, 2.0f, 7, 9.0f, 9.0f, 9.0f},          // type and sensitivity only
      {kCalibrateOilSensor, 2, 2, 9.0f, 7, 9.0f, 9.0f, 9.0f},          // nothing
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.type) + "/" + std::to_string(k.sensorType));
    Parameter ch;
    ch.forceSensorType = k.sensorType;
    ch.sensorCoefficient = 9.0f;
    ch.sensorSetting = 7;
    ch.jackCoefficientB = 9.0f;
    ch.jackCoefficientA = 9.0f;
    ch.headerFloat0 = 9.0f;
    SystemCalibration c;
    const CalibrationInputs in = k.type == kCalibrateLoadSensor ? Inputs("500", "10", "1000", "2")
                                                                : Inputs("50", "10", "60", "2", "1000", "60");
    const CalibrationStartResult r = StartSystemCalibration(c, k.type, in, ch);
    ASSERT_TRUE(r.started) << r.message;
    EXPECT_EQ(r.message, kCalibrationStarted);
    EXPECT_EQ(ch.forceSensorType.load(), k.typeAfter);
    EXPECT_FLOAT_EQ(ch.sensorCoefficient.load(), k.sensitivityAfter);
    EXPECT_EQ(ch.sensorSetting.load(), k.rangeAfter);
    EXPECT_FLOAT_EQ(ch.jackCoefficientB.load(), k.outputAfter);
    EXPECT_FLOAT_EQ(ch.jackCoefficientA.load(), k.pressureAfter);
    EXPECT_FLOAT_EQ(ch.headerFloat0, k.kAfter);
    EXPECT_FLOAT_EQ(c.sensitivity, k.sensorType == 2 ? 2.13f : 2.0f) << "a 20S channel's sensitivity is not read";
  }
}

TEST(SystemCalibrationSteps, RefusalsChangeNeitherTheStateNorTheChannel) {
  struct Case {
    int type;
    int sensorType;
    CalibrationInputs in;
    const char* message;
  } cases[] = {
      {kCalibrateSystem, 1, Inputs("0", "10", "60", "2", "1000", "60"), "标定最大力值不能为零！"},
      {kCalibrateSystem, 1, Inputs("1000.5", "10", "60", "2", "1000", "60"), "标定最大力值不允许超过千斤顶的额定出力！"},
      {kCalibrateLoadSensor, 0, Inputs("1000.5", "10", "1000", "2"), "标定最大力值不允许超过荷载传感器量程！"},
      {kCalibrateLoadSensor, 0, Inputs("-1", "10", "1000", "2"), "标定最大力值不能为零！"},
      {kCalibrateOilSensor, 1, Inputs("81", "10", "80", "2"), "标定最大力值不允许超过千斤顶的额定出力！"},
      {kCalibrateSystem, 1, Inputs("100", "0", "60", "2", "1000", "60"), kPointsOutOfRange},
      {kCalibrateSystem, 1, Inputs("100", "11", "60", "2", "1000", "60"), kPointsOutOfRange},
      {kCalibrateSystem, 1, Inputs("100", "1.5", "60", "2", "1000", "60"), kPointsOutOfRange},
      {kCalibrateSystem, 1, Inputs("100", "99999999999", "60", "2", "1000", "60"), kPointsOutOfRange},
      {kCalibrateSystem, 1, Inputs("100", "10", "0", "2", "1000", "60"), "传感器量程要求大于零！"},
      {kCalibrateSystem, 1, Inputs("100", "10", "60", "2", "1000", "0"), "千斤顶额定油压要求大于零！"},
      {kCalibrateSystem, 1, Inputs("100", "10", "60", "0", "1000", "60"), "传感器灵敏度要求大于零！"},
      {kCalibrateLoadSensor, 0, Inputs("100", "10", "1000", "0"), "传感器标定系数要求大于零！"},
      {kCalibrateSystem, 2, Inputs("100", "10", "60", "", "", "60"), "千斤顶额定出力要求为数字！"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.in.maximum + " " + k.in.points + " " + k.message);
    Parameter ch;
    ch.forceSensorType = k.sensorType;
    ch.headerFloat0 = 5.0f;
    SystemCalibration c;
    c.rows[3].force = 12.0f;
    const CalibrationStartResult r = StartSystemCalibration(c, k.type, k.in, ch);
    EXPECT_FALSE(r.started);
    EXPECT_EQ(r.message, k.message);
    EXPECT_EQ(EncodeSystemCalibration(c), EncodeSystemCalibration([] {
                SystemCalibration d;
                d.rows[3].force = 12.0f;
                return d;
              }()));
    EXPECT_EQ(ch.forceSensorType.load(), k.sensorType);
    EXPECT_FLOAT_EQ(ch.headerFloat0, 5.0f);
  }
}

TEST(SystemCalibrationSteps, LiveReadingsByTypeAndSensor) {
  SystemCalibration c;
  c.oilSensorRange = 60.0f;
  c.loadSensorRange = 1000.0f;
  c.ratedOutput = 1000.0f;
  c.ratedPressure = 50.0f;
  c.sensitivity = 2.0f;
  c.zero = 100.0f;
  struct Case {
    int type;
    int sensorType;
    float raw;
    const char* force;
    const char* pressure;
  } cases[] = {
      {kCalibrateSystem, 1, 2100.0f, "1000.0", "50.00"},     // 60 / 2400 x 2000, then 1000 / 50 x
      {kCalibrateSystem, 2, 4100.0f, "1200.0", "60.00"},     // (4000 - 800) x 60 / 3200
      {kCalibrateOilSensor, 2, 1700.0f, "--", "15.00"},      // (1600 - 800) x 60 / 3200
      {kCalibrateLoadSensor, 0, 300.0f, "100.0", "--"},      // 200 / 2
      {kCalibrateLoadSensor, 2, 1700.0f, "250.0", "--"},     // 800 x 1000 / 3200
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.type * 10 + k.sensorType);
    c.type = k.type;
    const CalibrationLiveTexts t = LiveCalibrationTexts(c, k.raw, k.sensorType);
    EXPECT_EQ(t.force, k.force);
    EXPECT_EQ(t.pressure, k.pressure);
  }
  // Texts that are no numbers.
  c.type = kCalibrateSystem;
  c.ratedPressure = 0.0f;
  c.sensitivity = 0.0f;
  const CalibrationLiveTexts t = LiveCalibrationTexts(c, 2500.0f, 1);
  EXPECT_EQ(t.force, "0.0");
  EXPECT_EQ(t.pressure, "0.00");
}

TEST(SystemCalibrationSteps, CheckModeCorrectsPieceWiseAndSkipsEqualForces) {
  SystemCalibration c;
  c.points = 2;
  const float a[] = {0.0f, 100.0f, 200.0f};
  const float b[] = {0.0f, 90.0f, 210.0f};
  for (std::size_t k = 0; k < 3; ++k) {
    c.rows[k].standard = a[k];
    c.rows[k].force = b[k];
  }
  EXPECT_FLOAT_EQ(CorrectedCalibrationForce(c, 150.0f), 150.0f);
  EXPECT_NEAR(CorrectedCalibrationForce(c, 250.0f), 233.333f, 1e-3f);
  EXPECT_NEAR(CorrectedCalibrationForce(c, 45.0f), 50.0f, 1e-4f);
  EXPECT_NEAR(CorrectedCalibrationForce(c, -9.0f), -10.0f, 1e-4f);
  // The live text of a load-sensor check at 250 kN.
  c.type = kCalibrateLoadSensor;
  c.mode = 1;
  c.sensitivity = 1.0f;
  EXPECT_EQ(LiveCalibrationTexts(c, 250.0f, 0).force, "233.3");
  // Equal forces at both ends: the force stays as it is beyond them, and inside the table the segments
  // between other forces still correct it.
  c.points = 3;
  const float a2[] = {0.0f, 100.0f, 200.0f, 300.0f};
  const float b2[] = {0.0f, 0.0f, 190.0f, 190.0f};
  for (std::size_t k = 0; k < 4; ++k) {
    c.rows[k].standard = a2[k];
    c.rows[k].force = b2[k];
  }
  EXPECT_FLOAT_EQ(CorrectedCalibrationForce(c, -5.0f), -5.0f);
  EXPECT_FLOAT_EQ(CorrectedCalibrationForce(c, 250.0f), 250.0f);
  EXPECT_FLOAT_EQ(CorrectedCalibrationForce(c, 95.0f), 150.0f);
  EXPECT_EQ(LiveCalibrationTexts(c, 250.0f, 0).force, "250.0");
}

TEST(SystemCalibrationSteps, RecordsToTheEndThenOnlyRepeatTheFinishedMessage) {
  for (int mode : {0, 1}) {
    SCOPED_TRACE(mode);
    SystemCalibration c;
    c.points = 2;
    c.calibrating = 1;
    c.mode = mode;
    for (int r = 0; r <= 2; ++r) {
      const CalibrationRecordResult res = RecordCalibrationRow(c, std::to_string(r * 10) + ".5", "--");
      EXPECT_EQ(res.row, r);
      EXPECT_EQ(res.finished, r == 2);
      EXPECT_EQ(res.message, r < 2 ? "" : mode == 0 ? "本次标定已经完成，请您及时记录下标定的数据！" : "标定检测已经完成！");
      EXPECT_EQ(NextCalibrationRow(c), r < 2 ? r + 1 : 0);
    }
    EXPECT_FLOAT_EQ(mode == 0 ? c.rows[2].force : c.rows[2].checkForce, 20.5f);
    EXPECT_FLOAT_EQ(mode == 0 ? c.rows[2].pressure : c.rows[2].checkPressure, 0.0f) << "\"--\" is no number";
    EXPECT_EQ(c.completed, 1);
    EXPECT_EQ(mode == 0 ? c.calibrationFinished : c.checkFinished, 1);
    const CalibrationRecordResult again = RecordCalibrationRow(c, "99", "99");
    EXPECT_EQ(again.row, -1);
    EXPECT_EQ(again.message, mode == 0 ? "标定已完成，若想重新标定，请选择“新标定”键！"
                                       : "标定检测已完成，若想重新标定，请选择“新标定”键！");
    EXPECT_EQ(mode == 0 ? c.calibrationCount : c.checkCount, 3);
  }
}

TEST(SystemCalibrationSteps, TablesFromTheFileAreBoundedAndShownByMode) {
  SystemCalibration c;
  c.type = 7;
  c.points = 40;
  c.calibrationCount = 1000;
  c.checkCount = -3;
  c.mode = 4;
  BoundSystemCalibration(c);
  EXPECT_EQ(c.type, 0);
  EXPECT_EQ(c.points, 10);
  EXPECT_EQ(c.calibrationCount, 11);
  EXPECT_EQ(c.checkCount, 0);
  EXPECT_EQ(c.mode, 0);
  c.points = -2;
  BoundSystemCalibration(c);
  EXPECT_EQ(c.points, 1);
  EXPECT_EQ(c.calibrationCount, 2);

  // A system check with one row recorded: check force and pressure, the rest empty, "--" beyond N.
  SystemCalibration s;
  s.type = kCalibrateSystem;
  s.points = 2;
  s.mode = 1;
  s.checkCount = 1;
  s.rows[0] = {0.0f, 1.0f, 2.0f, 0.26f, 0.126f};
  s.rows[1].standard = 500.0f;
  CalibrationTableTexts t = CalibrationTexts(s);
  EXPECT_EQ(t[0].standard + "|" + t[0].force + "|" + t[0].pressure, "0|0.3|0.13");
  EXPECT_EQ(t[1].standard + "|" + t[1].force + "|" + t[1].pressure, "500||");
  EXPECT_EQ(t[3].standard, "--");
  // Calibration mode of an oil-pressure sensor: no force, pressures in hundredths.
  s.type = kCalibrateOilSensor;
  s.mode = 0;
  s.calibrationCount = 1;
  t = CalibrationTexts(s);
  EXPECT_EQ(t[0].standard + "|" + t[0].force + "|" + t[0].pressure, "0.00|--|2.00");
  EXPECT_EQ(t[1].standard, "500.00");
}

TEST(SystemCalibrationSteps, EstimateAveragesTheRatiosAndShowsZeroForNoRows) {
  std::array<std::string, kCalibrationShownRows> standards{"0", "100", "200"};
  std::array<std::string, kCalibrationShownRows> measured{"0", "110", "230"};
  // (1.1 + 1.15) x 2 / 2
  EXPECT_EQ(CalibrationEstimateText(kCalibrateSystem, "2", "2", standards, measured), "估算灵敏度为：2.250");
  EXPECT_EQ(CalibrationEstimateText(kCalibrateLoadSensor, "2", "1", standards, measured), "估算标定系数为：2.200");
  EXPECT_EQ(CalibrationEstimateText(kCalibrateOilSensor, "2", "0", standards, measured), "估算标定系数为：0.000");
  // At most ten rows; empty cells keep the values of the row before.
  EXPECT_EQ(CalibrationEstimateText(kCalibrateSystem, "2", "99999999999", standards, measured), "估算灵敏度为：2.290");
  EXPECT_EQ(CalibrationEstimateText(kCalibrateSystem, "", "2", standards, measured), "估算灵敏度为：0.000");
}

TEST(SystemCalibrationSteps, IntegersSaturateAndTypesComeFromTheMarkedButton) {
  int v = 5;
  EXPECT_FALSE(ScanCalibrationInt("--", v));
  EXPECT_EQ(v, 5);
  ASSERT_TRUE(ScanCalibrationInt("99999999999999999999", v));
  EXPECT_EQ(v, INT_MAX);
  ASSERT_TRUE(ScanCalibrationInt(" -99999999999999999999", v));
  EXPECT_EQ(v, INT_MIN);
  ASSERT_TRUE(ScanCalibrationInt("7.9", v));
  EXPECT_EQ(v, 7);
  EXPECT_EQ(CalibrationTypeFromButtons("√油压传感器", "荷载传感器", "系统"), 2);
  EXPECT_EQ(CalibrationTypeFromButtons("油压传感器", "√荷载传感器", "系统"), 0);
  EXPECT_EQ(CalibrationTypeFromButtons("油压传感器", "荷载传感器", "√系统"), 1);
  EXPECT_EQ(CalibrationTypeFromButtons("", "", ""), 1);
}

}  // namespace
