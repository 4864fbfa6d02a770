#include "app/shizhuang_kongzhi.h"

#include "app/queren.h"
#include "model/datafiles.h"
#include "model/helpers.h"

using namespace platform::ui;
namespace tc = testcontrol;

namespace {

// Both boards' templates carry the same controls at the same places.
DialogTemplate ControlTemplate(int id) {
  DialogTemplate t;
  t.id = id;
  t.rect = {0, 0, kScreenWidth, kScreenHeight};
  const std::uint32_t group = BS_GROUPBOX;
  t.controls = {
      {1310, ControlClass::Static, "试桩控制", {20, 8, 1004, 56}, SS_CENTER | SS_CENTERIMAGE},
      {1293, ControlClass::Button, "试验状态", {20, 60, 1004, 300}, group},
      {1010, ControlClass::Static, "试桩未开始", {40, 96, 984, 288}, SS_CENTER | SS_CENTERIMAGE},
      {1126, ControlClass::List, "", {40, 96, 984, 288}, LVS_REPORT | LVS_NOCOLUMNHEADER | WS_BORDER, false},
      {1294, ControlClass::Button, "手动控制", {20, 308, 504, 568}, group},
      {1274, ControlClass::Button, "本级重做", {40, 344, 256, 448}, 0, true, false},
      {1275, ControlClass::Button, "手动记录", {268, 344, 484, 448}, 0, true, false},
      {1271, ControlClass::Button, "加载下一级", {40, 456, 256, 560}, 0, true, false},
      {1272, ControlClass::Button, "卸载下一级", {268, 456, 484, 560}, 0, true, false},
      {1295, ControlClass::Button, "测试控制", {520, 308, 1004, 568}, group},
      {1276, ControlClass::Button, "系统自检", {540, 344, 756, 448}},
      {1277, ControlClass::Button, "开始预压", {768, 344, 984, 448}},
      {1278, ControlClass::Button, "开始试验", {540, 456, 756, 560}},
      {1279, ControlClass::Button, "暂停试验", {768, 456, 984, 560}, 0, true, false},
      {1296, ControlClass::Button, "软件版本", {20, 576, 504, 660}, group},
      {1011, ControlClass::Static, "", {40, 604, 484, 652}, SS_CENTERIMAGE},
      {1273, ControlClass::Button, "油泵强停", {540, 584, 756, 660}},
      {1125, ControlClass::Button, "退出", {768, 584, 984, 660}},
      {1205, ControlClass::Static, "", {20, 676, 1004, 756}, SS_RIGHT | SS_CENTERIMAGE},
      {1012, ControlClass::Static, "", {0, 0, 10, 10}, 0, false},
      {1008, ControlClass::Static, "试桩控制", {0, 0, 10, 10}, 0, false},
      {1009, ControlClass::Static, "试验状态:", {0, 0, 10, 10}, 0, false},
      {1032, ControlClass::Static, "开始测试", {0, 0, 10, 10}, 0, false},
      {1033, ControlClass::Static, "结束测试", {0, 0, 10, 10}, 0, false},
      {1034, ControlClass::Static, "手动记录", {0, 0, 10, 10}, 0, false},
      {1035, ControlClass::Static, "GPRS测试", {0, 0, 10, 10}, 0, false},
      {1036, ControlClass::Static, "软件更新", {0, 0, 10, 10}, 0, false},
  };
  return t;
}

void registerTemplates() {
  registerTemplate(ControlTemplate(ShiZhuangKongZhi::kTemplateBoard1));
  registerTemplate(ControlTemplate(ShiZhuangKongZhi::kTemplateBoard0));
}

// The dialog's fonts, made once and kept for the whole run.
struct Fonts {
  Font a = Font::create(34, 0, "宋体");
  Font b = Font::create(20, 700, "NULL");
  Font c = Font::create(44, 0, "宋体");
  Font d = Font::create(26, 0, "宋体");
  Font e = Font::create(24, 0, "NULL");
  Font f = Font::create(32, 0, "NULL");
};
const Fonts& fonts() {
  static const Fonts* f = new Fonts();
  return *f;
}

}  // namespace

// ---------------------------------------------------------------------------------------------------

Color SelfTestList::StatusColor(int status) {
  if (status == 0) return RGB(255, 0, 0);
  if (status == 2) return RGB(0, 0, 0);
  return RGB(0, 90, 0);
}

std::optional<Color> SelfTestList::itemTextColor(int row, int) const {
  if (row < 0 || static_cast<std::size_t>(row) >= items_.size()) return std::nullopt;
  return StatusColor(items_[static_cast<std::size_t>(row)].status);
}

// What the procedure shows while the dialog works it: questions through the confirmation dialog, the
// main window's texts where the dialog has a main window, but never the main window's pump text.
class ShiZhuangKongZhi::ProcedurePort : public frontend::MainWindowPort {
 public:
  explicit ProcedurePort(ShiZhuangKongZhi& dlg) : dlg_(dlg) {}
  void showSignalLevel(int level) override {
    if (auto* w = main()) w->showSignalLevel(level);
  }
  void showWiredState(int state) override {
    if (auto* w = main()) w->showWiredState(state);
  }
  void setLinkLabel(const std::string& text) override {
    if (auto* w = main()) w->setLinkLabel(text);
  }
  void messageBox(const std::string& text) override {
    if (auto* w = main()) w->messageBox(text);
  }
  int confirm(const std::string& question) override { return AskConfirmation(question, &dlg_) ? 1 : 2; }
  void setControlText(int id, const std::string& text) override {
    if (id == 1038) return;
    if (auto* w = main()) w->setControlText(id, text);
  }
  void showControl(int id, bool visible) override {
    if (id == 1038) return;
    if (auto* w = main()) w->showControl(id, visible);
  }
  int shownReportPage() const override {
    if (auto* w = main()) return w->shownReportPage();
    return 0;
  }

 private:
  frontend::MainWindowPort* main() const { return dynamic_cast<frontend::MainWindowPort*>(dlg_.parent()); }
  ShiZhuangKongZhi& dlg_;
};

// ---------------------------------------------------------------------------------------------------

ShiZhuangKongZhi::ShiZhuangKongZhi() : MonitorDialog(kTemplateBoard1), list_(selfTest_.selfTestItems) {
  static const bool registered = (registerTemplates(), true);
  (void)registered;
  bindControl(kList, list_);

  onCommand(kExit, BN_CLICKED, [this] { OnBnClickedExit(); });
  onCommand(kSelfTest, BN_CLICKED, [this] { OnBnClickedSelfTest(); });
  onCommand(kPreload, BN_CLICKED, [this] { OnBnClickedPreload(); });
  onCommand(kStartEnd, BN_CLICKED, [this] { OnBnClickedStartTest(); });
  onCommand(kPause, BN_CLICKED, [this] { OnBnClickedPause(); });
  onCommand(kPumpStop, BN_CLICKED, [this] { OnBnClickedPumpStop(); });
  onCommand(kRedo, BN_CLICKED, [this] { OnBnClickedRedoLevel(); });
  onCommand(kManual, BN_CLICKED, [this] { OnBnClickedManualRecord(); });
  onCommand(kLoadNext, BN_CLICKED, [this] { OnBnClickedLoadNext(); });
  onCommand(kUnloadNext, BN_CLICKED, [this] { OnBnClickedUnloadNext(); });
  on(WM_TIMER, [this](Message& m) {
    OnTimer(static_cast<unsigned>(m.wParam));
    return LRESULT{0};
  });
  on(WM_ACTIVATE, [this](Message& m) {
    defWindowProc(m);
    if (static_cast<int>(LOWORD(m.wParam)) == WA_ACTIVE) RefreshOnActivate();
    return LRESULT{0};
  });
  on(WM_CTLCOLOR, [this](Message& m) {
    defWindowProc(m);
    CtlColor& c = CtlColor::of(m);
    if (c.kind == CTLCOLOR_STATIC && c.control && c.control->id() == kMessage)
      c.dc->setTextColor(messageIsError_ ? RGB(255, 0, 0) : RGB(0, 0, 255));
    return LRESULT{0};
  });
}

ShiZhuangKongZhi::~ShiZhuangKongZhi() = default;

bool ShiZhuangKongZhi::onInitDialog() {
  const Fonts& f = fonts();
  for (int id : {1008, 1009, 1010, 1011, kSelfTest, kPreload, kStartEnd, kPause, kRedo, kManual, kLoadNext,
                 kUnloadNext})
    if (Window* w = getDlgItem(id)) w->setFont(f.a, false);
  if (Window* w = getDlgItem(kStateText)) w->setFont(f.c, false);
  for (int id : {1293, 1294, 1295, 1296, kMessage})
    if (Window* w = getDlgItem(id)) w->setFont(f.b, false);
  list_.setFont(f.d, false);
  if (Window* w = getDlgItem(kTitle)) w->setFont(f.e, false);
  for (int id : {kPumpStop, kExit})
    if (Window* w = getDlgItem(id)) w->setFont(f.f, false);
  list_.setExtendedStyle(list_.getExtendedStyle() | LVS_EX_GRIDLINES);
  list_.insertColumn(0, "信息", LVCFMT_LEFT, 600);
  list_.setBkColor(kColorFace);
  list_.setTextBkColor(kColorFace);
  return true;
}

Font ShiZhuangKongZhi::fontOf(int id) const {
  if (Window* w = getDlgItem(id)) return w->getFont();
  return Font();
}

frontend::ChannelProcedure& ShiZhuangKongZhi::procedure() {
  if (procedure_ != nullptr) return *procedure_;
  if (!ownProcedure_) {
    ownPort_ = std::make_unique<ProcedurePort>(*this);
    Parameter* c1 = Channel(1) ? Channel(1) : channel();
    Parameter* c2 = Channel(2) ? Channel(2) : c1;
    Parameter* c3 = Channel(3) ? Channel(3) : c1;
    ownProcedure_ = std::make_unique<frontend::ChannelProcedure>(*c1, *c2, *c3, *ownPort_, nullptr);
  }
  return *ownProcedure_;
}

float ShiZhuangKongZhi::route() const {
  const Parameter* c1 = Channel(1) ? Channel(1) : channel();
  return c1 ? c1->ParameterList.item(56) : 0.0f;
}

int ShiZhuangKongZhi::shownPage() const {
  if (auto* w = dynamic_cast<frontend::MainWindowPort*>(parent())) return w->shownReportPage();
  return 0;
}

bool ShiZhuangKongZhi::ask(const std::string& question) { return AskConfirmation(question, this); }

void ShiZhuangKongZhi::setMessage(const std::string& text, bool error) {
  messageIsError_ = error;
  setDlgItemText(kMessage, text);
  if (Window* w = getDlgItem(kMessage)) w->invalidate();
}

void ShiZhuangKongZhi::showLinked(MonitorSlot slot) {
  MonitorDialog* d = Linked(slot);
  if (d != nullptr && d->exists()) d->showWindow(SW_SHOW);
}

void ShiZhuangKongZhi::enable(int id, bool on) {
  if (Window* w = getDlgItem(id)) w->enableWindow(on);
}

void ShiZhuangKongZhi::showStateText(const std::string& text) {
  caption(kStateText, text);
  if (Window* w = getDlgItem(kStateText)) w->showWindow(SW_SHOW);
  list_.showWindow(SW_HIDE);
}

void ShiZhuangKongZhi::setRunningButtons() {
  caption(kStartEnd, "结束试验");
  caption(kPause, "暂停试验");
  caption(kManual, "手动记录");
  for (int id : {kStartEnd, kPause, kRedo, kManual, kLoadNext}) enable(id, true);
  for (int id : {kSelfTest, kPreload, kUnloadNext}) enable(id, false);
  showStateText("试验进行中......");
}

void ShiZhuangKongZhi::setIdleButtons() {
  caption(kPreload, "开始预压");
  caption(kStartEnd, "开始试验");
  caption(kPause, "暂停试验");
  caption(kManual, "手动记录");
  for (int id : {kStartEnd, kSelfTest, kPreload}) enable(id, true);
  for (int id : {kPause, kRedo, kManual, kLoadNext, kUnloadNext}) enable(id, false);
  showStateText("试验未开始");
}

void ShiZhuangKongZhi::applyLevelButtons(const Parameter& p) {
  const tc::LevelButtons b = tc::LevelButtonsOf(p);
  if (b.loadNext >= 0) enable(kLoadNext, b.loadNext == 1);
  if (b.unloadNext >= 0) enable(kUnloadNext, b.unloadNext == 1);
}

// ---------------------------------------------------------------------------------------------------

void ShiZhuangKongZhi::OnBnClickedExit() {
  killTimer(kStatusTimer);
  showWindow(SW_HIDE);
}

void ShiZhuangKongZhi::OnBnClickedStartTest() {
  Parameter* p = channel();
  if (p == nullptr || p->preloadRunning.load() != 0) return;
  if (p->testRunning.load() == 0) StartTest();
  else EndTest();
}

int ShiZhuangKongZhi::StartTest() {
  Parameter* p = channel();
  if (p == nullptr) return 0;
  if (p->testRunning.load() != 0) return 1;
  if (!tc::HasStartEntries(*p)) {
    setMessage("请正确输入流水号，桩号，当前控载值！", true);
    return 0;
  }
  if (tc::IsFileMissing(p->testFilePath) == 0) {
    const bool yes = ask("该桩号流水号已存在，\r\n请先将原始数据拷出并删除\r\n否则无法开始试验！");
    showWindow(SW_HIDE);
    showLinked(yes ? MonitorSlot::ShiZhuangMuLu : MonitorSlot::GongChengXinXi);
    return 0;
  }
  setMessage("", false);
  const int board = p->boardFlag.load();
  const tc::StorageCounts counts = tc::CountStorageFiles(board);
  switch (tc::JudgeBackupFiles(counts.backupFiles)) {
    case tc::BackupVerdict::Fine:
      break;
    case tc::BackupVerdict::Warn:
      setMessage("存储器上的备份文件过多，请及时整理！", true);
      break;
    case tc::BackupVerdict::AskToClean:
      if (!ask("备份文件个数已经达到上限!\r\n确认后开始清理存储器上的备份文件。")) {
        setMessage("无法开始，请先清理备份文件！", true);
        return 0;
      }
      tc::RemoveBackupFolder(board);
      break;
  }
  const tc::DataVerdict data = tc::JudgeDataFiles(counts.dataFiles);
  if (data == tc::DataVerdict::Refuse) {
    if (ask("数据文件个数已经达到上限!\r\n请先清理存储器上的文件。")) {
      showWindow(SW_HIDE);
      showLinked(MonitorSlot::ShiZhuangMuLu);
    } else {
      setMessage("无法开始，请先清理数据文件！", true);
    }
    return 0;
  }
  if (!tc::BeginTest(*p)) {
    setMessage("无法创建试验数据文件，请检查存储卡！", true);
    return 0;
  }
  setRunningButtons();
  BuzzerOn();
  setTimer(kStartBeepTimer, 1000);
  if (data == tc::DataVerdict::StartWithWarning) setMessage("存储器上的数据文件过多，请及时清理！", true);
  else setTimer(kHideTimer, 3000);
  return 1;
}

void ShiZhuangKongZhi::EndTest() {
  Parameter* p = channel();
  if (p == nullptr || p->testRunning.load() != 1) return;
  if (!ask("结束试验后则无法恢复本次试验\r\n确定要结束试验吗？")) return;
  tc::FinishTestFromDialog(*p, route());
  setIdleButtons();
  for (int id : {1033, 1034})
    if (Window* w = getDlgItem(id)) w->invalidate();
  invalidate();
  setMessage("本次试桩已经结束。", false);
  BuzzerOn();
  setTimer(kStartBeepTimer, 1000);
}

void ShiZhuangKongZhi::OnBnClickedManualRecord() {
  if (getDlgItemText(kManual) == "手动记录") {
    enable(kManual, false);
    ManualRecord();
  } else {
    DisplacementMemory();
  }
}

void ShiZhuangKongZhi::ManualRecord() {
  Parameter* p = channel();
  if (p == nullptr || p->testRunning.load() == 0) return;
  const bool levelOnly = p->nextReadingText == frontend::kNoReadingText && p->pumpForcedStop.load() == 64 &&
                         (p->loadingPhase.load() == 1 || p->loadingPhase.load() == 5);
  if (!levelOnly) {
    BuzzerOn();
    setTimer(kManualBeepTimer, 1000);
  }
  tc::ManualRecord(*p, route(), shownPage());
}

void ShiZhuangKongZhi::OnBnClickedPause() { TogglePause(); }

void ShiZhuangKongZhi::TogglePause() {
  Parameter* p = channel();
  if (p == nullptr || p->testRunning.load() != 1) return;
  procedure().TogglePause(*p);
  if (p->paused.load() != 0) {
    caption(kPause, "恢复试验");
    caption(kManual, "位移记忆");
    for (int id : {kSelfTest, kPreload, kRedo, kLoadNext, kUnloadNext}) enable(id, false);
    enable(kManual, true);
    showStateText("试验暂停");
  } else {
    caption(kPause, "暂停试验");
    caption(kManual, "手动记录");
    for (int id : {kSelfTest, kPreload}) enable(id, false);
    for (int id : {kRedo, kManual}) enable(id, true);
    applyLevelButtons(*p);
    showStateText("试验进行中......");
  }
  setMessage("", messageIsError_);
}

void ShiZhuangKongZhi::OnBnClickedPumpStop() {
  if (Parameter* p = channel()) procedure().TogglePumpStop(*p);
}

void ShiZhuangKongZhi::OnBnClickedPreload() { TogglePreload(); }

void ShiZhuangKongZhi::TogglePreload() {
  Parameter* p = channel();
  if (p == nullptr) return;
  if (p->preloadRunning.load() != 0) {
    if (!ask("确定结束预压？")) return;
    setIdleButtons();
    tc::EndPreload(*p);
    return;
  }
  if (p->testRunning.load() == 0) showLinked(MonitorSlot::ShiZhuangYuYa);
}

void ShiZhuangKongZhi::DisplacementMemory() {
  Parameter* p = channel();
  if (p == nullptr) return;
  if (getDlgItemText(kManual) == "位移记忆") {
    if (ask("确认进行位移记忆？\r\n该操作将记忆所有位移")) {
      setMessage("调表完成后按“记忆中..”键完成操作！", true);
      rememberedDisplacements_ = tc::CurrentDisplacements(*p);
      memoryPending_ = true;
      memoryChannel_ = p;
    } else {
      memoryPending_ = false;
    }
    caption(kManual, "记忆中..");
    return;
  }
  // The gauges are re-set: each channel goes on from its remembered displacement.
  if (memoryPending_ && memoryChannel_ == p) tc::ApplyDisplacementMemory(*p, rememberedDisplacements_);
  memoryPending_ = false;
  tc::WriteCorrectionHeaders(*p);
  if (!p->testFilePath.empty() && p->testRunning.load() == 1 && p->fileLoaded.load() == 0)
    JDQFile::UpdateAllHeaderTexts(p->testFilePath, 31, p->testRecords, *p);
  setMessage("调表完成！", false);
  caption(kManual, "位移记忆");
}

void ShiZhuangKongZhi::OnBnClickedRedoLevel() {
  Parameter* p = channel();
  if (p == nullptr || !tc::CanRedoLevel(*p)) return;
  if (ask("确定本级重做？")) tc::RedoLevel(*p);
}

void ShiZhuangKongZhi::OnBnClickedLoadNext() {
  Parameter* p = channel();
  if (p == nullptr || !tc::CanLoadNext(*p)) return;
  if (!ask("确定加载下一级？")) return;
  tc::LoadNext(*p, [this](Parameter& q) { return procedure().RequestNextLevel(q); });
}

void ShiZhuangKongZhi::OnBnClickedUnloadNext() {
  Parameter* p = channel();
  if (p == nullptr || !tc::CanUnloadNext(*p)) return;
  if (ask("确定卸载下一级？")) tc::UnloadNext(*p);
}

// ---------------------------------------------------------------------------------------------------

void ShiZhuangKongZhi::OnBnClickedSelfTest() {
  Parameter* p = channel();
  if (p == nullptr || p->preloadRunning.load() != 0) return;
  if (Window* w = getDlgItem(kStateText)) w->showWindow(SW_HIDE);
  list_.showWindow(SW_SHOW);
  setMessage("正在进行系统自检...", true);
  selfTestChannel_ = p;
  selfTest_.Start(*p, route());
  syncList();
  setTimer(kSelfTestTimer, 1000);
}

void ShiZhuangKongZhi::syncList() {
  const auto& items = selfTest_.selfTestItems;
  const int n = static_cast<int>(items.size());
  while (list_.getItemCount() > n) list_.deleteItem(list_.getItemCount() - 1);
  for (int row = 0; row < n; ++row) {
    const std::string& text = items[static_cast<std::size_t>(row)].text;
    if (row < list_.getItemCount()) {
      if (list_.getItemText(row, 0) != text) list_.setItemText(row, 0, text);
    } else {
      list_.insertItem(row, text);
    }
  }
  if (n > 0) list_.ensureVisible(n - 1);
  list_.invalidate();
}

void ShiZhuangKongZhi::OnTimer(unsigned id) {
  switch (id) {
    case kStartBeepTimer:
      BuzzerOff();
      killTimer(kStartBeepTimer);
      break;
    case kManualBeepTimer:
      BuzzerOff();
      enable(kManual, true);
      killTimer(kManualBeepTimer);
      break;
    case kHideTimer:
      showWindow(SW_HIDE);
      killTimer(kHideTimer);
      break;
    case kSelfTestTimer: {
      Parameter* p = selfTestChannel_ ? selfTestChannel_ : channel();
      Parameter* system = Channel(1) ? Channel(1) : p;
      if (p == nullptr || !selfTest_.Tick(*p, *system)) {
        killTimer(kSelfTestTimer);
        setMessage("系统自检完成！", false);
      }
      syncList();
      break;
    }
    case kStatusTimer: {
      Parameter* p = channel();
      if (p == nullptr) break;
      if (p->pumpForcedStop.load() == 64) caption(kPumpStop, "油泵强停");
      else caption(kPumpStop, p->pumpCommand.load() > 0 ? "油泵工作" : "油泵停止");
      const std::string signal = (Channel(1) ? Channel(1) : p)->signalText.get();
      const std::string shown = getDlgItemText(kMessage);
      if (!signal.empty() && (shown.empty() || shown == "系统自检完成！"))
        setMessage(tc::SignalLine(signal), messageIsError_);
      // A stable level that waits for the operator takes the next level by hand.
      if (tc::StateOf(*p) == tc::ChannelState::Running && p->procedure.waitingAfterStable != 0)
        applyLevelButtons(*p);
      break;
    }
    default:
      break;
  }
}

void ShiZhuangKongZhi::RefreshOnActivate() {
  Parameter* p = channel();
  if (p == nullptr) return;
  // The module's signal is system-wide: channel 1 asks for it.
  Parameter* system = Channel(1) ? Channel(1) : p;
  system->signalRequest.store(1);
  system->signalText.clear();
  caption(kTitle, tc::TitleText(*p));
  killTimer(kSelfTestTimer);
  selfTest_.Clear();
  syncList();

  switch (tc::StateOf(*p)) {
    case tc::ChannelState::Running:
      showStateText("试验进行中......");
      caption(kStartEnd, "结束试验");
      caption(kPause, "暂停试验");
      caption(kManual, "手动记录");
      for (int id : {kStartEnd, kPause, kManual, kRedo}) enable(id, true);
      for (int id : {kPreload, kSelfTest}) enable(id, false);
      applyLevelButtons(*p);
      break;
    case tc::ChannelState::Paused:
      showStateText("试验暂停");
      caption(kStartEnd, "结束试验");
      caption(kPause, "恢复试验");
      caption(kManual, "位移记忆");
      for (int id : {kStartEnd, kPause, kManual}) enable(id, true);
      for (int id : {kPreload, kSelfTest, kRedo, kLoadNext, kUnloadNext}) enable(id, false);
      break;
    case tc::ChannelState::Preloading:
      showStateText("预压中......");
      caption(kStartEnd, "开始试验");
      caption(kPreload, "结束预压");
      caption(kPause, "暂停试验");
      enable(kPreload, true);
      for (int id : {kStartEnd, kPause, kSelfTest, kManual, kRedo, kLoadNext, kUnloadNext}) enable(id, false);
      break;
    case tc::ChannelState::NotStarted:
      showStateText("试验未开始");
      caption(kStartEnd, "开始试验");
      caption(kPreload, "开始预压");
      caption(kPause, "暂停试验");
      for (int id : {kStartEnd, kPreload, kSelfTest}) enable(id, true);
      for (int id : {kPause, kManual, kRedo, kLoadNext, kUnloadNext}) enable(id, false);
      break;
  }
  caption(kVersion, tc::VersionText(*p));
  caption(kEdition, tc::EditionCode(*p));
  setMessage("", messageIsError_);
  setTimer(kStatusTimer, 1000);
}

// ---------------------------------------------------------------------------------------------------

void ShiZhuangKongZhi::BuzzerOn() {
  const Parameter* p = channel();
  buzzer_.on(p != nullptr ? p->boardFlag.load() : 1);
}

void ShiZhuangKongZhi::BuzzerOff() { buzzer_.off(); }
