// The jack calibration table as its dialog reads it: "QJDdat.dat" of any bytes loads into channel 1's
// ten groups without writing the file; every group shows its number texts and at most ten point rows
// and pages without fault; a group chosen for a channel's load gives finite values only; a group deleted
// (no test running) leaves a file that loads back into the list the table holds.
#include <cmath>

#include "calib/jack_calibration.h"
#include "model/datafiles.h"
#include "model/parameter.h"
#include "tests/fuzz/fuzz_root.h"

namespace {

const std::string kPath = "\\Storage Card\\QJDdat.dat";

// What the table shows of every group, as one text.
std::string shown(const Parameter& channel1) {
  std::string all;
  for (const JackCalibrationGroup& g : channel1.jackGroups) {
    const JackGroupView v = ViewJackGroup(g);
    fuzz::check(v.pointCount >= 0 && v.pointCount <= kJackMaxPoints, "a group shows more rows than the table has");
    fuzz::check(v.standard[0] == "0", "the zero point's standard force is not 0");
    all += v.jackNumber + '|' + v.sensorNumber + '|' + v.maxForce + '|' + v.points + '|' + (v.saved ? "s" : "-");
    for (int k = 0; k <= kJackMaxPoints; ++k) all += '|' + v.standard[static_cast<std::size_t>(k)] + ':' + v.measured[static_cast<std::size_t>(k)];
    all += '\n';
  }
  return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::freshRoot();
  const std::vector<std::string> in = fuzz::parts(data, size, 3);
  fuzz::put(kPath, in[2]);
  Parameter channel1;
  channel1.boardFlag = 1;
  LoadJackGroups(channel1);
  fuzz::check(channel1.jackGroups.size() == static_cast<std::size_t>(kJackGroupCount), "the table lost its ten groups");
  fuzz::check(fuzz::read(kPath) == in[2], "reading the table wrote the file");
  shown(channel1);
  for (int g = 1; g <= kJackGroupCount; ++g) {
    const JackPageResult prev = PreviousJackGroup(g), next = NextJackGroup(channel1, g);
    fuzz::check(prev.group >= 1 && prev.group <= kJackGroupCount && next.group >= 1 && next.group <= kJackGroupCount,
                "paging left the table");
  }

  // The channel's load from the group that fits its jack: finite values only.
  Parameter channel;
  channel.boardFlag = 1;
  const std::string text = in[0].substr(0, 40);
  for (int type : {0, 1})
    for (int option : {0, 1}) {
      if (JDQFile::SelectJackGroup(type, option, text, text, channel) != 1) continue;
      for (float v : channel.jackCalibration) fuzz::check(std::isfinite(v), "a chosen group gives a value that is no number");
    }

  // A group deleted: the file written loads back into what the table holds.
  const int group = in[1].empty() ? 1 : static_cast<unsigned char>(in[1][0]) % kJackGroupCount + 1;
  const JackDeleteResult d = DeleteJackGroup(channel1, group);
  fuzz::check(d.deleted, "a group cannot be deleted with no test running");
  Parameter again;
  again.boardFlag = 1;
  LoadJackGroups(again);
  fuzz::check(shown(again) == shown(channel1), "the file written does not load back into the table");
  return 0;
}
