// Sets the typed members of a channel from the header records of its test.
#include <cstring>
#include <string>
#include <vector>

#include "model/header_fields.h"
#include "model/helpers.h"
#include "model/opened_test.h"
#include "model/restore.h"
#include "platform/text/text.h"

using namespace header_fields;

namespace {

// The header keeps an identifier only as the number `value` ("%.0f"); keep the operator's text when
// the header holds nothing more than that number (or nothing at all).
void restoreIdentifier(std::string& member, float value, const std::string& header) {
  if (header.empty() || header == platform::text::format("%.0f", static_cast<double>(value))) return;
  member = header;
}

}  // namespace

void JDQFile::RestoreSettingsFromHeader(Parameter& p, std::vector<TestRecord>& records) {
  const int n = static_cast<int>(records.size());
  auto rec = [&](int i) -> const TestRecord* { return i < n ? &records[i] : nullptr; };

  // 1. Record counts: the first record without a reading, by each of its three marks.
  CountRecords(p, records);

  // 2. Displacement channels.
  {
    int mask = 0;
    for (int k = 0; k < 8; ++k) {
      const TestRecord* r = rec(k < 4 ? 31 + k : 17 + k);
      if (r) p.displacementOn[k] = (k < 4 ? first(r->text1) : first(r->text2)) == '1' ? 1 : 0;
      if (p.displacementOn[k] == 1) mask |= 1 << k;
    }
    p.channelMask = mask;
    for (int k = 0; k < 8; ++k) p.displacementOnCopy[k] = p.displacementOn[k];
  }

  // 3. Identity texts.
  if (const TestRecord* r = rec(7)) p.serialNumber = text(r->text3);
  if (const TestRecord* r = rec(8)) {
    p.externalSerialNumber = text(r->text3);
    p.pileLabel = text(r->text1);
  }

  // 4. Test type.
  if (const TestRecord* r = rec(36)) {
    switch (first(r->text1)) {
      case '0': p.testType = 0; break;
      case '1': p.testType = 1; break;
      case '2': p.testType = 2; break;
      case '4': p.testType = 4; break;
      case '5': p.testType = 5; break;
      default: break;
    }
  }

  // 5. Set-up values and load steps.
  if (const TestRecord* r = rec(3)) p.setupValue = toFloat(r->text2);
  if (const TestRecord* r = rec(4)) {
    std::lock_guard<std::mutex> g(p.loadLock);
    p.controlLoad = toFloat(r->text2);
  }
  if (const TestRecord* r = rec(5)) p.stepLoad1 = toFloat(r->text2);
  if (const TestRecord* r = rec(6)) p.stepLoad2 = toFloat(r->text2);
  if (const TestRecord* r = rec(7)) p.stepLoad3 = toFloat(r->text2);
  if (const TestRecord* r = rec(20)) p.stepLoad4 = toFloat(r->text3);
  if (const TestRecord* r = rec(71)) p.levelMinutesLast = toFloat(r->text3);

  // 6. Criteria flags.
  if (const TestRecord* r = rec(67)) p.criterionMode2 = first(r->text3) == '0' ? 0 : 1;
  if (const TestRecord* r = rec(65)) p.altCriterion5 = first(r->text1) == '0' ? 0 : 1;
  if (const TestRecord* r = rec(69)) p.altCriterion6 = first(r->text1) == '0' ? 0 : 1;
  if (const TestRecord* r = rec(30)) p.criteriaFlag = first(r->text2) == '1' ? 1 : 0;

  // 7. Standard and the level loads of the standards with fixed levels.
  if (const TestRecord* r = rec(69)) {
    p.standardCode = toInt(r->text3);
    const float l2 = p.stepLoad2, l3 = p.stepLoad3, l4 = p.stepLoad4;
    switch (p.standardCode) {
      case 0: {
        const float f[] = {3, 5, 7, 8, 9, 10, 5, 3, 0};
        for (int k = 0; k < 9; ++k) p.levelLoads[k] = l2 * f[k];
        break;
      }
      case 149: {
        const float f[] = {2, 5, 7, 9, 10, 5, 2, 0};
        for (int k = 0; k < 8; ++k) p.levelLoads[k] = l2 * f[k];
        break;
      }
      case 72: {
        const float a[] = {0.2f, 0.4f, 0.6f, 0.8f, 1.0f, 0.5f, 0.0f};
        const float b[] = {0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1.0f, 0.8f, 0.6f, 0.4f, 0.2f, 0.0f};
        for (int k = 0; k < 7; ++k) p.levelLoads[k] = l3 * a[k];
        for (int k = 0; k < 13; ++k) p.levelLoads[7 + k] = l4 * b[k];
        break;
      }
      default:
        break;
    }
  }

  // 8. Criteria and timing.
  if (const TestRecord* r = rec(13)) p.holdMinutes = toInt(r->text2);
  if (const TestRecord* r = rec(14)) p.judgeIntervalMinutes = toInt(r->text2);
  if (const TestRecord* r = rec(15)) p.judgeCount = toInt(r->text2);
  if (const TestRecord* r = rec(17)) p.criterionMode1 = toInt(r->text2);
  if (const TestRecord* r = rec(18)) p.criterionMode3 = toInt(r->text2);
  for (int k = 0; k < 3; ++k) {
    if (const TestRecord* r = rec(66 + k)) p.altCriteria[k] = toInt(r->text1);
  }
  if (const TestRecord* r = rec(64)) p.altCriterion4 = toInt(r->text1);
  for (int k = 0; k < 3; ++k) {
    if (const TestRecord* r = rec(28 + k)) p.levelMinutes[14 + k] = toInt(r->text1);
  }
  if (const TestRecord* r = rec(16)) p.stableSettlement = toFloat(r->text2);
  if (const TestRecord* r = rec(63)) p.altSettlement = toFloat(r->text1);
  for (int k = 0; k < 6; ++k) {
    if (const TestRecord* r = rec(16 + k)) p.levelMinutes[k] = intPart(toFloat(r->text1));
    if (const TestRecord* r = rec(22 + k)) p.levelMinutes[7 + k] = intPart(toFloat(r->text1));
  }
  if (const TestRecord* r = rec(57)) p.levelMinutes[6] = intPart(toFloat(r->text1));
  if (const TestRecord* r = rec(58)) p.levelMinutes[13] = intPart(toFloat(r->text1));

  // 9. Protection.
  if (const TestRecord* r = rec(8)) p.protection1 = toFloat(r->text2);
  if (const TestRecord* r = rec(9)) p.protection2 = toFloat(r->text2);
  if (const TestRecord* r = rec(10)) p.protectionSetting = intPart(toFloat(r->text2));
  if (const TestRecord* r = rec(11)) p.protection3 = toFloat(r->text2);
  if (const TestRecord* r = rec(12)) p.protection4 = toFloat(r->text2);
  if (const TestRecord* r = rec(19)) {
    const float v = toFloat(r->text2);
    p.extraValue82 = v;
    std::string shown = platform::text::format("%0.2f", static_cast<double>(v));
    while (!shown.empty() && shown.back() == '0') shown.pop_back();
    if (!shown.empty() && shown.back() == '.') shown.pop_back();
    p.extraValue82Set = (shown.empty() || shown == "0") ? 0 : 1;
  }

  // 10. Controller number: item 83 as six digits.
  {
    const std::string whole = platform::text::format("%.0f", static_cast<double>(p.ParameterList.item(83)));
    long long v = std::strtoll(whole.c_str(), nullptr, 10);
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    p.controllerNumber = platform::text::format("%.6d", static_cast<int>(v));
  }

  // 11. Loading mode.
  if (const TestRecord* r = rec(32)) {
    const char c = first(r->text2);
    p.loadingMode = (c == '1' || c == '2' || c == '3') ? c - '0' : 0;
  }

  // 12. Sensor and jack.
  if (const TestRecord* r = rec(12)) p.forceSensorType = toInt(r->text3);
  if (const TestRecord* r = rec(13)) p.pressureMethod = toInt(r->text3);
  if (const TestRecord* r = rec(14)) p.pressureOption = toInt(r->text3);
  if (const TestRecord* r = rec(10)) p.sensorSetting = toInt(r->text3);
  if (const TestRecord* r = rec(9)) restoreIdentifier(p.sensorText, StrToFloat(p.sensorText), text(r->text3));
  if (const TestRecord* r = rec(11)) p.sensorCoefficient = toFloat(r->text3);
  if (const TestRecord* r = rec(6)) p.jackSetting = toInt(r->text1);
  if (const TestRecord* r = rec(14)) p.jackCoefficientA = toFloat(r->text1);
  if (const TestRecord* r = rec(15)) p.jackCoefficientB = toFloat(r->text1);
  if (const TestRecord* r = rec(0)) p.headerFloat0 = toFloat(r->text2);
  if (const TestRecord* r = rec(15)) {
    const std::string s = raw(r->text3);
    p.jackCoefficientC = IsValidNumber(s) ? StrToFloat(s) : 0.0f;
  }
  if (const TestRecord* r = rec(16)) {
    const std::string s = raw(r->text3);
    p.jackCoefficientD = IsValidNumber(s) ? StrToFloat(s) : 0.0f;
  }
  if (const TestRecord* r = rec(12)) {
    // text1 of record 12 runs on into text3 of record 19: one text of at most 80 bytes.
    std::string jack(r->text1, sizeof r->text1);
    if (const TestRecord* r19 = rec(19)) jack.append(r19->text3, sizeof r19->text3);
    jack.resize(strnlen(jack.data(), jack.size()));
    restoreIdentifier(p.jackText, JackTextNumber(p.jackText), platform::text::gbkToUtf8(jack));
  }

  // 14.
  if (const TestRecord* r = rec(0)) p.headerValue0 = toInt(r->text2);
  if (const TestRecord* r = rec(2)) p.headerValue2 = toInt(r->text2);

}
