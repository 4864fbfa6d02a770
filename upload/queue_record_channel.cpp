// The upload record's input from the channel record.
#include <mutex>

#include "model/datafiles.h"
#include "model/parameter.h"
#include "upload/queue_record.h"

UploadRecordInput UploadInputFromChannel(const Parameter& p) {
  UploadRecordInput in;
  in.serialNumber = JDQFile::HeaderText(p.testRecords, 7, 3);
  in.externalSerialNumber = JDQFile::HeaderText(p.testRecords, 8, 3);
  in.pileLabel = JDQFile::HeaderText(p.testRecords, 8, 1);
  in.year = p.stampTime.year;
  in.month = p.stampTime.month;
  in.day = p.stampTime.day;
  in.timeText = p.timeText;
  in.controlLoad = p.controlLoad.load();
  in.standardCode = p.standardCode.load();
  in.testType = p.testType.load();
  in.loadingPhase = p.loadingPhase.load();
  in.forceSensorType = p.forceSensorType.load();
  in.items = p.ParameterList.snapshot();
  in.controllerNumber = p.controllerNumber.get();
  in.softwareVersion = p.versionText;
  in.gpsLongitude = p.longitude.load();
  in.gpsLatitude = p.latitude.load();
  in.live.load = p.link.measuredLoad.load();
  in.live.oilPressure = p.link.measuredPressure.load();
  for (std::size_t g = 0; g < 8; ++g) in.live.gauges[g] = p.link.displacement[g].load();
  return in;
}

void BuildIntoChannel(Parameter& p, const UploadRecordInput& in, UploadRecordKind kind) {
  const UploadRecord r = BuildUploadRecord(in, kind);
  std::lock_guard<std::mutex> lock(p.queueLock);
  static_assert(kUploadRecordSize == kQueueRecordSize);
  std::copy(r.begin(), r.end(), p.queueBuild.begin());
}
