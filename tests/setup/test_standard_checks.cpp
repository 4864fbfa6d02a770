// The standard dialog's OK checks in their order, and the working values read from the typed texts.
#include <gtest/gtest.h>

#include "setup/standard_checks.h"

namespace {

// Texts that pass every check for any standard, with the user-input schedule filled in.
StandardFieldTexts Passing() {
  StandardFieldTexts f;
  f.controlLoad = "300";
  f.refillLower = "10";
  f.singleStep = "300";
  f.maxLoad = "1500";
  f.characteristic = "250";
  f.extraValue = "900";
  f.holdTime = "60";
  f.judgeTime = "15";
  f.judgeCount = "1";
  f.loadIntervals.fill("5");
  f.unloadIntervals.fill("10");
  f.unloadSteps = "2";
  f.nonZeroTime = "15";
  f.zeroTime = "60";
  f.overHoldTime = "0";
  f.overJudgeTime = "0";
  f.overJudgeCount = "0";
  return f;
}

TEST(StandardChecks, EachRefusalInItsOrder) {
  struct Case {
    const char* what;
    int code;
    bool running;
    void (*spoil)(StandardFieldTexts&);
    std::string message;
  };
  const Case cases[] = {
      {"control load", 1, false, [](StandardFieldTexts& f) { f.controlLoad = "3.5."; f.refillLower = ""; },
       kControlLoadInvalid},
      {"empty control load", 1, true, [](StandardFieldTexts& f) { f.controlLoad = ""; }, kControlLoadInvalid},
      {"zero", 1, false, [](StandardFieldTexts& f) { f.controlLoad = "0"; f.refillLower = ""; }, kControlLoadZero},
      {"zero typed long", 1, false, [](StandardFieldTexts& f) { f.controlLoad = "0.000"; }, kControlLoadZero},
      {"zero typed 00", 5, false, [](StandardFieldTexts& f) { f.controlLoad = "00"; }, kControlLoadZero},
      {"zero during a test", 1, true, [](StandardFieldTexts& f) { f.controlLoad = "0"; }, ""},
      {"refill", 1, false, [](StandardFieldTexts& f) { f.refillLower = ""; f.singleStep = "x"; }, kRefillLowerInvalid},
      {"single step", 1, false, [](StandardFieldTexts& f) { f.singleStep = "."; f.maxLoad = ""; }, kSingleStepInvalid},
      {"maximum", 1, false, [](StandardFieldTexts& f) { f.maxLoad = "1-5"; }, kMaxLoadInvalid},
      {"characteristic of 10", 10, false, [](StandardFieldTexts& f) { f.characteristic = ""; }, kCharacteristicInvalid},
      {"characteristic of 1", 1, false, [](StandardFieldTexts& f) { f.characteristic = ""; }, ""},
      {"Pg of 72", 72, false, [](StandardFieldTexts& f) { f.extraValue = "9."; }, kSecondMaxLoadInvalid},
      {"Pg of 73", 73, false, [](StandardFieldTexts& f) { f.extraValue = ""; }, ""},
      {"timing of 1", 1, false, [](StandardFieldTexts& f) { f.loadIntervals[0] = "0"; }, ""},
      {"hold time of 9", 9, false, [](StandardFieldTexts& f) { f.holdTime = "6.5"; }, "维荷时间(分)输入有误！"},
      {"empty count of 9", 9, false, [](StandardFieldTexts& f) { f.judgeCount = ""; }, "判稳次数输入有误！"},
      {"negative of 9", 9, false, [](StandardFieldTexts& f) { f.zeroTime = "-1"; }, "回零测试时间输入有误！"},
      {"interval 0 of 9", 9, false, [](StandardFieldTexts& f) { f.loadIntervals[2] = "0"; }, "加载间隔(分)3不能小于1！"},
      {"unload interval 7", 9, false, [](StandardFieldTexts& f) { f.unloadIntervals[6] = "00"; },
       "卸载间隔(分)7不能小于1！"},
      {"over count of 9", 9, false, [](StandardFieldTexts& f) { f.overJudgeCount = "1.0"; }, "超特征值判稳次数输入有误！"},
      {"counts of 0 pass", 9, false, [](StandardFieldTexts& f) { f.judgeCount = "0"; f.unloadSteps = "0"; }, ""},
      {"numbers first", 9, false, [](StandardFieldTexts& f) { f.maxLoad = ""; f.holdTime = ""; }, kMaxLoadInvalid},
  };
  for (const Case& c : cases) {
    StandardFieldTexts f = Passing();
    c.spoil(f);
    EXPECT_EQ(CheckStandardFields(c.code, f, c.running), c.message) << c.what;
  }
}

TEST(StandardChecks, WorkingValuesReadFromTheTexts) {
  StandardForm form;
  form.judgementMode = 1;
  form.crossFlag = 1;
  form.overJudgementMode = 2;
  form.overCrossFlag = 0;
  form.soilType = 1;
  StandardFieldTexts f = Passing();
  f.stableSettlement = "";  // a field the standard left empty reads 0
  f.loadIntervals[6] = "30";
  float extra = 7.0f;
  StandardSettings s = ReadStandardSettings(1, f, form, 1, extra);
  EXPECT_EQ(s.code, 1);
  EXPECT_EQ(s.controlLoad, 300.0f);
  EXPECT_EQ(s.maxLoad, 1500.0f);
  EXPECT_EQ(s.stableSettlement, 0.0f);
  EXPECT_EQ(s.loadIntervals[6], 30.0f);
  EXPECT_EQ(s.unloadIntervals[0], 10.0f);
  EXPECT_EQ(s.characteristic, 250.0f);
  EXPECT_EQ(s.extraValue, 7.0f) << "standard 1 keeps the dialog's last extra value";
  EXPECT_EQ(extra, 7.0f);
  EXPECT_EQ(s.judgementMode, 1);
  EXPECT_EQ(s.overJudgementMode, 2);
  EXPECT_EQ(s.soilType, 1);
  EXPECT_EQ(s.refillUnitMode, 1);
  for (int code : {72, 73, 74}) {
    extra = 7.0f;
    EXPECT_EQ(ReadStandardSettings(code, f, form, 0, extra).extraValue, 900.0f) << code;
    EXPECT_EQ(extra, 900.0f);
  }
}

}  // namespace
