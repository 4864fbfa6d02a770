// A power cut at every step of an upgrade: "Main.exe" is always whole, the old or the new program, and
// the settings are gone only when the new program is in place.
#include <algorithm>

#include "refit_fixture.h"

using namespace refittest;
using refit::CRefitDlg;

namespace {

const std::string kOld = "#!/bin/sh\necho old main program > old.started\n";
const std::string kNew = "#!/bin/sh\nexit 0\n";

class PowerCut : public RefitTest {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Board1, PowerCut, ::testing::Values(kBoards[0]));

TEST_P(PowerCut, MainIsWholeAndSettingsGoOnlyWithTheNewProgram) {
  for (bool loseUnsynced : {false, true}) {
    SCOPED_TRACE(loseUnsynced ? "unsynced data lost" : "unsynced data kept");
    bool completed = false;
    int oldKept = 0;
    int newWithSettings = 0;  // cut after the new program was in place, before every setting was gone
    for (long long cut = 0; !completed && cut < 2000; ++cut) {
      SCOPED_TRACE(cut);
      // The instrument as it was before the upgrade.
      for (const fsys::path& f : {program(), data(), usb()}) fsys::remove_all(f);
      writeAll(program() / "Main.exe", kOld);
      for (const fsys::path& root : {data(), program()})
        for (const char* name : refit::kSettingsFiles) writeAll(root / name, "setting");
      writeAll(usb() / "Main3.3.9.msi", kNew);
      refit::ResetUpgradeState();
      open();
      ASSERT_EQ(tapAnswering(CRefitDlg::kUpgrade, true).size(), 1u);

      platform::fs::FaultBackend fault;
      fault.loseUnsyncedOnCut(loseUnsynced);
      {
        platform::fs::ScopedBackend use(fault);
        fault.cutPowerAfter(cut);
        drv::run(200, 10);
        completed = !fault.powerLost();
        fault.restorePower();
      }
      // What the disk holds after the cut (or after a whole upgrade).
      const std::string main = readAll(program() / "Main.exe");
      EXPECT_TRUE(main == kOld || main == kNew) << "Main.exe: " << main.size() << " bytes";
      int left = 0;
      for (const fsys::path& root : {data(), program()})
        for (const char* name : refit::kSettingsFiles) left += fsys::exists(root / name) ? 1 : 0;
      if (main == kOld) {
        EXPECT_EQ(left, 20);
        ++oldKept;
      } else if (left > 0) {
        ++newWithSettings;
      }
      // The next start of the upgrade program leaves nothing of the cut upgrade but "Main.exe".
      refit::RemoveUpgradeLeftovers(board_.flag);
      for (const auto& e : fsys::directory_iterator(program())) {
        const std::string name = e.path().filename().string();
        const bool setting = std::find(refit::kSettingsFiles.begin(), refit::kSettingsFiles.end(), name) !=
                             refit::kSettingsFiles.end();
        EXPECT_TRUE(name == "Main.exe" || setting) << name;
      }
      if (completed) {
        EXPECT_EQ(main, kNew);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(refit::g_bUpgraded, 1);
      }
    }
    EXPECT_TRUE(completed);
    // The cuts fell on both sides of the replace.
    EXPECT_GT(oldKept, 20);
    EXPECT_GE(newWithSettings, 10);
  }
}
