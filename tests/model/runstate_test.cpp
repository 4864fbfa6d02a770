#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/datafiles.h"
#include "model_fixture.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace {

void runningState(Parameter& p) {
  p.testRecords.assign(74, JDQFile::BlankTestRecord());
  p.readingCount = 12;
  p.controlLoad = 250.0f;
  p.stepLoad3 = 12.5f;
  p.loadingPhase = 2;
  p.runCounters = {7, 0, 31};
  p.runCounter4 = 4;
  p.runSwitch1 = 5;
  p.runSwitch2 = 0;
  p.runValue = 1.005f;
  p.nextReadingSeconds = 3600;
  p.runCounter5 = 0;
  p.stampTime.year = 2026;
  p.stampTime.month = 3;
  p.stampTime.day = 9;
  p.elapsedCounter = 2240611200LL;  // 2041-01-01: beyond 32 signed bits
  p.procedure.levelClockAt = 2240610000LL;
  p.stableSettlement = 0.1f;
  p.judgeIntervalMinutes = 30;
  p.criterionMode3 = 0;
  p.holdMinutes = 120;
  p.judgeCount = 2;
}

std::string text(const Parameter& p, int rec, int field) { return JDQFile::HeaderText(p.testRecords, rec, field); }

}  // namespace

TEST(RunningState, WritesTheStateIntoItsHeaderTexts) {
  Parameter p;
  runningState(p);
  p.standardCode = 0;
  ASSERT_EQ(UpdateStateRecords(p), 1);
  const struct {
    int rec, field;
    const char* want;
  } cases[] = {
      {31, 2, "12"},   {4, 2, "250.00"}, {7, 2, "12.50"}, {41, 1, "2"},  {41, 3, "7"},
      {42, 3, ""},     {43, 3, "31"},    {44, 3, "4"},    {42, 1, "1"},  {43, 1, "1.00"},
      {44, 1, ""},     {45, 1, "3600"},  {46, 1, ""},     {47, 1, "2026-03-09"},
      {56, 1, "2240611200"}, {56, 3, "2240610000"}, {16, 2, "0.10"},  {14, 2, "30"},   {18, 2, ""},   {13, 2, "120"},
      {15, 2, "2"},
  };
  for (const auto& c : cases) EXPECT_EQ(text(p, c.rec, c.field), c.want) << c.rec << "/" << c.field;

  p.readingCount = 0;
  UpdateStateRecords(p);
  EXPECT_EQ(std::string(p.testRecords[31].text2, 20), std::string(20, '\0'));
}

TEST(RunningState, CriteriaAreWrittenOnlyForTheirStandards) {
  struct Case {
    int standard, uploadOption, secondOption;
    bool written;
  };
  const Case cases[] = {{0, 0, 0, true},  {53, 0, 0, true}, {72, 0, 0, true}, {4, 0, 0, false},
                        {4, 1, 0, true},  {4, 0, 1, true},  {5, 1, 1, false}};
  for (const Case& c : cases) {
    Parameter p;
    runningState(p);
    p.standardCode = c.standard;
    p.uploadOption = c.uploadOption;
    p.secondOption = c.secondOption;
    UpdateStateRecords(p);
    EXPECT_EQ(text(p, 13, 2), c.written ? "120" : "") << c.standard;
    EXPECT_EQ(text(p, 16, 2), c.written ? "0.10" : "") << c.standard;
  }
  Parameter shortList;
  runningState(shortList);
  shortList.testRecords.resize(40);  // records 41.. missing: skipped, no crash
  EXPECT_EQ(UpdateStateRecords(shortList), 1);
}

class TextExport : public DeviceRoot {
 protected:
  void SetUp() override {
    DeviceRoot::SetUp();
    makeFolder("\\Storage Card\\");
    p_.testFilePath = "\\Storage Card\\S1.krv";
    p_.runCounters = {0, 0, 9};
  }
  TestRecord sample(int i, const char* stamp) {
    TestRecord r = JDQFile::BlankTestRecord();
    std::memcpy(r.text4, stamp, std::strlen(stamp));
    for (int k = 0; k < 18; ++k) r.valuesA[k] = static_cast<float>(i * 10 + k) + 0.125f;
    return r;
  }
  std::string utf16(const std::string& s) { return platform::text::utf8ToUtf16le(s); }
  Parameter p_;
};

TEST_F(TextExport, EvenSamplesGoToTxtAndOddOnesToBlTxt) {
  p_.exportRecords = {sample(0, "08:00:01"), sample(1, "08:00:02"), sample(2, "08:0")};
  ASSERT_EQ(AppendTextExport(p_), 1);
  EXPECT_EQ(readAll("\\Storage Card\\S1.txt"),
            utf16("000,9,08:00:01,0.12,1.12,2.12,3.12,4.12,5.12\r\n\n"
                  "001,9,08:0    ,20.12,21.12,22.12,23.12,24.12,25.12\r\n\n"));
  EXPECT_EQ(readAll("\\Storage Card\\S1BL.txt"), utf16("000,9,08:00:02,10.12,11.12,12.12,13.12,14.12,15.12\r\n\n"));

  // A second call appends, its line counter starting again at 0.
  p_.exportRecords = {sample(3, "09:00:00")};
  ASSERT_EQ(AppendTextExport(p_), 1);
  const std::string txt = readAll("\\Storage Card\\S1.txt");
  EXPECT_EQ(txt.substr(txt.size() - utf16("000,9,09:00:00,30.12,31.12,32.12,33.12,34.12,35.12\r\n\n").size()),
            utf16("000,9,09:00:00,30.12,31.12,32.12,33.12,34.12,35.12\r\n\n"));
  EXPECT_EQ(readAll("\\Storage Card\\S1BL.txt").size(), utf16("000,9,08:00:02,10.12,11.12,12.12,13.12,14.12,15.12\r\n\n").size());
}

TEST_F(TextExport, EmptyListCreatesBothFilesAndBadPathsFail) {
  ASSERT_EQ(AppendTextExport(p_), 1);
  EXPECT_EQ(readAll("\\Storage Card\\S1.txt"), "");
  EXPECT_EQ(readAll("\\Storage Card\\S1BL.txt"), "");

  p_.testFilePath = "krv";
  EXPECT_EQ(AppendTextExport(p_), 0);
  p_.testFilePath = "\\No Card\\S1.krv";  // folder missing: cannot be created
  EXPECT_EQ(AppendTextExport(p_), 0);
}
