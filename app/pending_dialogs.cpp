// The default objects of the registry's places (pending_dialogs.h) and their templates: a full-screen
// window with its exit button, and for the report pages a child window that the main window places
// inside its tab.
#include "app/pending_dialogs.h"

#include "app/keypads.h"
#include "app/queren.h"
#include "app/shizhuang_kongzhi.h"

namespace {

using namespace platform::ui;

DialogTemplate Screen(int id) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.controls = {{IDCANCEL, ControlClass::Button, "退出", {844, 678, 1014, 758}, 0, true, true, 34, 700}};
  return t;
}

// The test-data frame: its title, the captions of its lists and buttons and the heads of a record
// table, all static.
DialogTemplate TestDataFrame() {
  DialogTemplate t;
  t.id = 103;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  auto caption = [&](const char* text, Rect r, std::uint32_t style = SS_LEFT | SS_CENTERIMAGE) {
    t.controls.push_back({-1, ControlClass::Static, text, r, style, true, true, 26});
  };
  caption("试桩数据", {10, 4, 1014, 58}, SS_CENTER | SS_CENTERIMAGE);
  caption("试桩目录", {10, 70, 300, 110});
  const char* heads[] = {"ID", "荷 载", "油 压", "时 间", "位移1", "位移2", "位移3", "位移4", "平均"};
  int x = 10;
  for (const char* head : heads) {
    caption(head, {x, 120, x + 108, 160}, SS_CENTER | SS_CENTERIMAGE | WS_BORDER);
    x += 112;
  }
  caption("汇总表", {10, 600, 300, 640});
  x = 10;
  for (const char* text : {"待发数据", "导入参数", "删除文件2"}) {
    caption(text, {x, 688, x + 200, 760}, SS_CENTER | SS_CENTERIMAGE | WS_BORDER);
    x += 210;
  }
  return t;
}

DialogTemplate Page(int id) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, 500, 500};
  t.style = WS_CHILD;
  return t;
}

struct Registration {
  Registration() {
    registerTemplate(TestDataFrame());  // ShiZhuangShuJu
    registerTemplate(Screen(104));  // ShiZhuangMuLu
    registerTemplate(Screen(204));  // ShiZhuangMuLu
    // ShiZhuangBuFa and CDaiFaShuJu, until the upload windows register their own.
    registerTemplate(Screen(153));
    registerTemplate(Screen(174));
    registerTemplate(Screen(207));
    registerTemplate(Page(169));  // CPageHuiZongBiao
    registerTemplate(Page(168));  // CPageChenJiangBiao
    registerTemplate(Page(167));  // CPageJiLuBiao
    registerTemplate(Page(170));  // CPageQ_s
    registerTemplate(Page(171));  // CPages_lgQ
    registerTemplate(Page(172));  // CPages_lgt
  }
} registration;

}  // namespace

EmptyScreenDialog::EmptyScreenDialog(MonitorSlot slot) : MonitorDialog(SlotInfo(slot).templateBoard1), slot_(slot) {
  for (int id : {SlotInfo(slot).templateBoard1, SlotInfo(slot).templateBoard0}) {
    DialogTemplate existing;
    if (!findTemplate(id, existing)) registerTemplate(Screen(id));
  }
}

std::unique_ptr<MonitorDialog> MakeDefaultMonitorDialog(MonitorSlot slot) {
  switch (slot) {
    case MonitorSlot::ShiZhuangShuJu: return std::make_unique<ShiZhuangShuJu>();
    case MonitorSlot::ShiZhuangMuLu: return std::make_unique<EmptyScreenDialog>(slot);
    case MonitorSlot::ShiZhuangBuFa:
    case MonitorSlot::CDaiFaShuJu:
    case MonitorSlot::GuiFanSheZhi:
    case MonitorSlot::GongChengXinXi:
    case MonitorSlot::ChuanGanQi:
    case MonitorSlot::ShiYanGuiFan:
    case MonitorSlot::XiTongBaoHu:
    case MonitorSlot::ShuJuQingLing:
    case MonitorSlot::QianJinDingLvDing:
    case MonitorSlot::XiTongBiaoDing:
    case MonitorSlot::XiTongshijian:
    case MonitorSlot::ShiZhuangYuYa:
    case MonitorSlot::SelCgq:
    case MonitorSlot::CCeKongQi: return std::make_unique<EmptyScreenDialog>(slot);
    case MonitorSlot::ShiZhuangKongZhi: return std::make_unique<ShiZhuangKongZhi>();
    case MonitorSlot::QuXian: return std::make_unique<QuXian>();
    case MonitorSlot::CPageHuiZongBiao:
    case MonitorSlot::CPageChenJiangBiao:
    case MonitorSlot::CPageJiLuBiao:
    case MonitorSlot::CPageQ_s:
    case MonitorSlot::CPages_lgQ:
    case MonitorSlot::CPages_lgt: return std::make_unique<EmptyReportPage>(slot);
    case MonitorSlot::Key: return std::make_unique<Key>();
    case MonitorSlot::KeyABC: return std::make_unique<KeyABC>();
  }
  return nullptr;
}
