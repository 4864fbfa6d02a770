#include "setup_ui/guifan_shezhi.h"

#include "setup/offered_standards.h"
#include "setup/standards.h"

using namespace platform::ui;

namespace {

using G = GuiFanSheZhi;

DialogTemplate CheckListTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  t.controls = {
      {G::kTitle, ControlClass::Static, "规范设置", {20, 8, 1004, 64}, SS_CENTER | SS_CENTERIMAGE},
      {G::kList, ControlClass::List, "", {20, 70, 1004, 620}, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER},
      {G::kStatus, ControlClass::Static, "", {20, 628, 1004, 664}, SS_CENTERIMAGE},
      {G::kOk, ControlClass::Button, "确定", {600, 672, 792, 756}},
      {G::kExit, ControlClass::Button, "退出", {812, 672, 1004, 756}},
  };
  return t;
}

TemplateRegistration registrationA{CheckListTemplate(G::kTemplateBoard1)};
TemplateRegistration registrationB{CheckListTemplate(G::kTemplateBoard0)};

}  // namespace

GuiFanSheZhi::GuiFanSheZhi() : SettingsDialog(kTemplateBoard1, kStatus) {
  auto click = [this](Notify& n) {
    if (n.item >= 0) {
      const bool onBox = (n.hitFlags & LVHT_ONITEMSTATEICON) != 0;
      OnClickRow(n.item, onBox);
      n.checkSet = onBox;  // the handler has decided the box: the list leaves it as it is
    }
    return LRESULT{0};
  };
  onNotify(kList, NM_CLICK, click);
  onNotify(kList, NM_DBLCLK, click);
  onCommand(kOk, BN_CLICKED, [this] { OnBnClickedOk(); });
  onCommand(kExit, BN_CLICKED, [this] { OnBnClickedExit(); });
}

ListCtrl* GuiFanSheZhi::list() const { return dynamic_cast<ListCtrl*>(getDlgItem(kList)); }

bool GuiFanSheZhi::onInitDialog() {
  const Font big = Font::create(42, 300);
  const Font status = Font::create(24, 300);
  for (int id : {kList, kTitle, kOk, kExit})
    if (Window* w = getDlgItem(id)) w->setFont(big, false);
  if (Window* w = getDlgItem(kStatus)) w->setFont(status, false);
  if (ListCtrl* l = list()) {
    l->setExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
    l->insertColumn(0, "规范名称", LVCFMT_CENTER, 600);
    l->insertColumn(1, "地区", LVCFMT_CENTER, 180);
    l->insertColumn(2, "类型", LVCFMT_CENTER, 180);
    l->insertColumn(3, "加入时间", LVCFMT_CENTER, 0);
  }
  return true;
}

void GuiFanSheZhi::FillList() {
  ListCtrl* l = list();
  const Parameter* first = Channel(1);
  if (l == nullptr || first == nullptr) return;
  l->deleteAllItems();
  const int rows = static_cast<int>(first->standards.size());
  for (int i = 0; i < rows; ++i) {
    const StandardEntry& e = first->standards[static_cast<std::size_t>(i)];
    l->insertItem(i, e.name);
    l->setItemText(i, 1, e.region);
    l->setItemText(i, 2, StandardTypeText(e.testType));
  }
  for (int i = 0; i < rows; ++i) l->setCheck(i, first->ParameterList.item(kOfferedFlagItem + i) == 1.0f);
  SetStatus("", warning());
  l->setFocus();
  if (rows > 0) {
    l->setItemState(rows - 1, LVNI_SELECTED | LVNI_FOCUSED, LVNI_SELECTED | LVNI_FOCUSED);
    l->ensureVisible(rows - 1);
    l->setSelectionMark(rows - 1);
  }
}

bool GuiFanSheZhi::inUse(int row) const {
  const Parameter* first = Channel(1);
  if (first == nullptr || row < 0 || static_cast<std::size_t>(row) >= first->standards.size()) return false;
  return IsStandardInUse(first->standards[static_cast<std::size_t>(row)].standardCode,
                         {Channel(1), Channel(2), Channel(3)});
}

void GuiFanSheZhi::OnClickRow(int row, bool onBox) {
  ListCtrl* l = list();
  if (l == nullptr || row < 0 || row >= l->getItemCount()) return;
  if (onBox) {
    for (int i = 0; i < l->getItemCount(); ++i) l->setItemState(i, 0, LVNI_SELECTED);
    l->setItemState(row, LVNI_SELECTED | LVNI_FOCUSED, LVNI_SELECTED | LVNI_FOCUSED);
    l->ensureVisible(row);
    l->setSelectionMark(row);
  }
  // One change a tap, on the box or on the row; a standard in use stays checked.
  if (l->getCheck(row) && inUse(row)) {
    SetStatus(kStandardInUse, true);
    return;
  }
  l->setCheck(row, !l->getCheck(row));
  SetStatus(onBox ? "" : kOfferChanged, true);
}

void GuiFanSheZhi::OnBnClickedOk() {
  ListCtrl* l = list();
  Parameter* first = Channel(1);
  if (l == nullptr || first == nullptr) return;
  SetStatus("", warning());
  std::vector<bool> checks(static_cast<std::size_t>(l->getItemCount()));
  for (int i = 0; i < l->getItemCount(); ++i) checks[static_cast<std::size_t>(i)] = l->getCheck(i);
  // Every row is looked at before any flag is set.
  if (SetOfferedFlags(*first, checks, {Channel(1), Channel(2), Channel(3)}) >= 0) {
    SetStatus(kInUseUnchecked, true);
    return;
  }
  // Saved with the channel's test file path: a test set up and not started yet keeps it.
  if (JDQFile::SaveChannelSettings(*first) != 1) {
    SetStatus(kSaveFailed, true);
    return;
  }
  backToSettings();
  SetStatus(kOfferSaved, false);
}

void GuiFanSheZhi::OnBnClickedExit() { backToSettings(); }

void GuiFanSheZhi::backToSettings() {
  showWindow(SW_HIDE);
  if (MonitorDialog* settings = Linked(MonitorSlot::XiTongBaoHu); settings != nullptr && settings->exists())
    settings->showWindow(SW_SHOW);
}
