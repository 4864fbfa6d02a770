#include "calib_ui/calib_dialogs.h"

#include <memory>

#include "app/monitor_dialogs.h"
#include "calib_ui/chuanganqi.h"
#include "calib_ui/qianjinding_lvding.h"
#include "calib_ui/selcgq.h"
#include "calib_ui/shuju_qingling.h"
#include "calib_ui/xitong_biaoding.h"

void RegisterCalibrationDialogs() {
  SetMonitorDialogFactory(MonitorSlot::ChuanGanQi, [] { return std::make_unique<ChuanGanQi>(); });
  SetMonitorDialogFactory(MonitorSlot::SelCgq, [] { return std::make_unique<SelCgq>(); });
  SetMonitorDialogFactory(MonitorSlot::QianJinDingLvDing, [] { return std::make_unique<QianJinDingLvDing>(); });
  SetMonitorDialogFactory(MonitorSlot::XiTongBiaoDing, [] { return std::make_unique<XiTongBiaoDing>(); });
  SetMonitorDialogFactory(MonitorSlot::ShuJuQingLing, [] { return std::make_unique<ShuJuQingLing>(); });
}
