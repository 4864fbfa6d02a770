#include "app/monitor_dialogs.h"

#include <atomic>
#include <initializer_list>
#include <vector>

MonitorDialogs g_pMonitorDialogs;

namespace {

using S = MonitorSlot;

constexpr MonitorSlotInfo kSlots[kMonitorSlotCount] = {
    {S::ShiZhuangShuJu, "ShiZhuangShuJu", 103, 103, false},
    {S::ShiZhuangMuLu, "ShiZhuangMuLu", 104, 204, false},
    {S::ShiZhuangBuFa, "ShiZhuangBuFa", 153, 153, false},
    {S::CDaiFaShuJu, "CDaiFaShuJu", 174, 207, false},
    {S::GuiFanSheZhi, "GuiFanSheZhi", 180, 205, false},
    {S::GongChengXinXi, "GongChengXinXi", 101, 196, false},
    {S::ChuanGanQi, "ChuanGanQi", 105, 197, false},
    {S::ShiYanGuiFan, "ShiYanGuiFan", 106, 198, false},
    {S::XiTongBaoHu, "XiTongBaoHu", 107, 201, false},
    {S::ShuJuQingLing, "ShuJuQingLing", 108, 200, false},
    {S::ShiZhuangKongZhi, "ShiZhuangKongZhi", 109, 199, false},
    {S::QianJinDingLvDing, "QianJinDingLvDing", 110, 110, false},
    {S::XiTongBiaoDing, "XiTongBiaoDing", 111, 202, false},
    {S::XiTongshijian, "XiTongshijian", 142, 142, false},
    {S::QuXian, "QuXian", 143, 143, false},
    {S::ShiZhuangYuYa, "ShiZhuangYuYa", 146, 146, false},
    {S::CPageHuiZongBiao, "CPageHuiZongBiao", 169, 169, true},
    {S::CPageChenJiangBiao, "CPageChenJiangBiao", 168, 168, true},
    {S::CPageJiLuBiao, "CPageJiLuBiao", 167, 167, true},
    {S::CPageQ_s, "CPageQ_s", 170, 170, true},
    {S::CPages_lgQ, "CPages_lgQ", 171, 171, true},
    {S::CPages_lgt, "CPages_lgt", 172, 172, true},
    {S::Key, "Key", 175, 208, false},
    {S::KeyABC, "KeyABC", 176, 209, false},
    {S::SelCgq, "SelCgq", 177, 206, false},
    {S::CCeKongQi, "CCeKongQi", 173, 173, false},
};

// The six report pages, for the rows that link all of them.
const std::vector<S> kPages = {S::CPageJiLuBiao, S::CPageChenJiangBiao, S::CPageHuiZongBiao,
                               S::CPageQ_s,      S::CPages_lgQ,         S::CPages_lgt};

// Requester codes 1..10 of the keypad request and the dialogs they name.
constexpr S kRequesters[10] = {S::GongChengXinXi, S::ChuanGanQi,   S::ShiYanGuiFan,      S::XiTongBaoHu,
                               S::ShuJuQingLing,  S::ShiZhuangYuYa, S::XiTongshijian,    S::QianJinDingLvDing,
                               S::XiTongBiaoDing, S::CCeKongQi};

struct LinkRow {
  S receiver;
  bool allChannels;
  std::vector<S> dialogs;
};

std::vector<S> withPages(std::initializer_list<S> head) {
  std::vector<S> v(head);
  v.insert(v.end(), kPages.begin(), kPages.end());
  return v;
}

const std::vector<LinkRow>& linkTable() {
  static const std::vector<LinkRow> rows = {
      {S::ShiZhuangShuJu, false,
       {S::GongChengXinXi, S::ShiZhuangMuLu, S::ShiZhuangBuFa, S::ShiZhuangKongZhi, S::QianJinDingLvDing}},
      {S::ShiZhuangMuLu, true,
       {S::ShiZhuangShuJu, S::GongChengXinXi, S::ShiZhuangKongZhi, S::QianJinDingLvDing, S::CDaiFaShuJu}},
      {S::ShiZhuangBuFa, false, {S::ShiZhuangShuJu, S::GongChengXinXi, S::ShiZhuangKongZhi, S::QianJinDingLvDing}},
      {S::CDaiFaShuJu, true, {S::ShiZhuangMuLu}},
      {S::GuiFanSheZhi, true, {S::XiTongBaoHu}},
      {S::GongChengXinXi, false,
       {S::ShiZhuangShuJu, S::ChuanGanQi, S::ShiYanGuiFan, S::XiTongBaoHu, S::ShuJuQingLing, S::ShiZhuangKongZhi,
        S::QianJinDingLvDing, S::Key}},
      {S::ChuanGanQi, false,
       {S::ShiZhuangShuJu, S::GongChengXinXi, S::ShiYanGuiFan, S::XiTongBaoHu, S::ShuJuQingLing, S::ShiZhuangKongZhi,
        S::QianJinDingLvDing, S::Key, S::SelCgq}},
      {S::ShiYanGuiFan, false,
       {S::ShiZhuangShuJu, S::GongChengXinXi, S::ChuanGanQi, S::XiTongBaoHu, S::ShuJuQingLing, S::ShiZhuangKongZhi,
        S::QianJinDingLvDing, S::Key}},
      {S::XiTongBaoHu, true,
       withPages({S::ShiZhuangShuJu, S::GongChengXinXi, S::ChuanGanQi, S::ShiYanGuiFan, S::ShuJuQingLing,
                  S::ShiZhuangKongZhi, S::QianJinDingLvDing, S::GuiFanSheZhi, S::ShiZhuangYuYa, S::Key, S::KeyABC,
                  S::SelCgq})},
      {S::ShuJuQingLing, false,
       {S::ShiZhuangShuJu, S::GongChengXinXi, S::ChuanGanQi, S::ShiYanGuiFan, S::XiTongBaoHu, S::ShiZhuangKongZhi,
        S::QianJinDingLvDing, S::Key}},
      {S::ShiZhuangKongZhi, false,
       {S::GongChengXinXi, S::ShiZhuangShuJu, S::ShiZhuangMuLu, S::CDaiFaShuJu, S::QianJinDingLvDing,
        S::ShiZhuangYuYa}},
      {S::QianJinDingLvDing, false,
       {S::GongChengXinXi, S::ShiZhuangShuJu, S::ShiZhuangKongZhi, S::XiTongBiaoDing, S::Key}},
      {S::XiTongBiaoDing, false,
       {S::GongChengXinXi, S::ShiZhuangShuJu, S::ShiZhuangKongZhi, S::QianJinDingLvDing, S::Key}},
      {S::XiTongshijian, true, {S::Key}},
      {S::QuXian, false,
       {S::ShiZhuangShuJu, S::GongChengXinXi, S::ChuanGanQi, S::ShiYanGuiFan, S::ShuJuQingLing, S::ShiZhuangKongZhi,
        S::QianJinDingLvDing}},
      {S::ShiZhuangYuYa, false, {S::ShiZhuangKongZhi, S::Key}},
      {S::CPageHuiZongBiao, false, {}},
      {S::CPageChenJiangBiao, false, {}},
      {S::CPageJiLuBiao, false, {}},
      {S::CPageQ_s, false, {}},
      {S::CPages_lgQ, false, {}},
      {S::CPages_lgt, false, {}},
      {S::Key, false,
       {S::KeyABC, S::GongChengXinXi, S::ChuanGanQi, S::ShiYanGuiFan, S::XiTongBaoHu, S::ShuJuQingLing,
        S::ShiZhuangYuYa, S::XiTongshijian, S::QianJinDingLvDing, S::XiTongBiaoDing, S::CCeKongQi}},
      {S::KeyABC, false,
       {S::Key, S::GongChengXinXi, S::ChuanGanQi, S::ShiYanGuiFan, S::XiTongBaoHu, S::ShuJuQingLing,
        S::QianJinDingLvDing, S::XiTongBiaoDing}},
      {S::SelCgq, false, {S::ChuanGanQi}},
      {S::CCeKongQi, true,
       withPages({S::ShiZhuangShuJu, S::GongChengXinXi, S::ChuanGanQi, S::ShiYanGuiFan, S::XiTongBaoHu,
                  S::ShuJuQingLing, S::ShiZhuangKongZhi, S::QianJinDingLvDing, S::ShiZhuangYuYa, S::Key, S::KeyABC,
                  S::SelCgq})},
  };
  return rows;
}

std::array<MonitorDialogFactory, kMonitorSlotCount>& factories() {
  static std::array<MonitorDialogFactory, kMonitorSlotCount> f;
  return f;
}

std::atomic<int> gConstructed{0};

}  // namespace

const MonitorSlotInfo& SlotInfo(MonitorSlot slot) { return kSlots[static_cast<int>(slot)]; }

int TemplateFor(MonitorSlot slot, int boardFlag) {
  const MonitorSlotInfo& info = SlotInfo(slot);
  return boardFlag == 1 ? info.templateBoard1 : info.templateBoard0;
}

MonitorDialog::MonitorDialog(int templateId) : Dialog(templateId) { gConstructed.fetch_add(1); }

MonitorDialog::~MonitorDialog() = default;

void MonitorDialog::SetChannels(Parameter* ch1, Parameter* ch2, Parameter* ch3) {
  channels_ = {ch1, ch2, ch3};
}

Parameter* MonitorDialog::Channel(int n) const {
  if (n < 1 || n > 3) return nullptr;
  return channels_[static_cast<std::size_t>(n - 1)];
}

void MonitorDialog::Link(MonitorSlot slot, MonitorDialog* dialog) { linked_[static_cast<int>(slot)] = dialog; }

int MonitorDialog::ConstructedCount() { return gConstructed.load(); }

void SetMonitorDialogFactory(MonitorSlot slot, MonitorDialogFactory factory) {
  factories()[static_cast<int>(slot)] = std::move(factory);
}

bool CreateMonitorDialogs() {
  if (g_pMonitorDialogs.created_) return false;
  for (int i = 0; i < kMonitorSlotCount; ++i) {
    const auto slot = static_cast<MonitorSlot>(i);
    auto& f = factories()[i];
    std::unique_ptr<MonitorDialog> d = f ? f() : nullptr;
    if (!d) d = MakeDefaultMonitorDialog(slot);
    d->setTemplateId(SlotInfo(slot).templateBoard1);
    g_pMonitorDialogs.slots_[i] = std::move(d);
  }
  g_pMonitorDialogs.created_ = true;
  return true;
}

void DeleteMonitorDialogs() {
  // Pages first (they are children of the main window's tab), then the dialogs.
  for (auto& d : g_pMonitorDialogs.slots_)
    if (d && d->exists()) d->destroyWindow();
  for (auto& d : g_pMonitorDialogs.slots_) d.reset();
  g_pMonitorDialogs.created_ = false;
}

void LinkMonitorDialog(MonitorSlot slot, Parameter& ch1, Parameter& ch2, Parameter& ch3) {
  MonitorDialog* d = g_pMonitorDialogs.at(slot);
  if (!d) return;
  for (const LinkRow& row : linkTable()) {
    if (row.receiver != slot) continue;
    if (row.allChannels) d->SetChannels(&ch1, &ch2, &ch3);
    else d->SetChannels(&ch1, nullptr, nullptr);
    for (S s : row.dialogs) d->Link(s, g_pMonitorDialogs.at(s));
    return;
  }
}

MonitorDialog* KeypadRequester(const MonitorDialog& keypad, int code) {
  if (code < 1 || code > 10) return nullptr;
  return keypad.Linked(kRequesters[code - 1]);
}
