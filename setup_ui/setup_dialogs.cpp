#include "setup_ui/setup_dialogs.h"

#include <memory>

#include "app/monitor_dialogs.h"
#include "setup_ui/cekongqi.h"
#include "setup_ui/gongcheng_xinxi.h"
#include "setup_ui/guifan_shezhi.h"
#include "setup_ui/shiyan_guifan.h"
#include "setup_ui/shizhuang_yuya.h"
#include "setup_ui/xitong_baohu.h"
#include "setup_ui/xitong_shijian.h"

void RegisterSetupDialogs() {
  SetMonitorDialogFactory(MonitorSlot::CCeKongQi, [] { return std::make_unique<CCeKongQi>(); });
  SetMonitorDialogFactory(MonitorSlot::GongChengXinXi, [] { return std::make_unique<GongChengXinXi>(); });
  SetMonitorDialogFactory(MonitorSlot::ShiYanGuiFan, [] { return std::make_unique<ShiYanGuiFan>(); });
  SetMonitorDialogFactory(MonitorSlot::GuiFanSheZhi, [] { return std::make_unique<GuiFanSheZhi>(); });
  SetMonitorDialogFactory(MonitorSlot::XiTongBaoHu, [] { return std::make_unique<XiTongBaoHu>(); });
  SetMonitorDialogFactory(MonitorSlot::XiTongshijian, [] { return std::make_unique<XiTongshijian>(); });
  SetMonitorDialogFactory(MonitorSlot::ShiZhuangYuYa, [] { return std::make_unique<ShiZhuangYuYa>(); });
}
