#include "app/main_app.h"

#include "app/monitor_dlg.h"
#include "model/helpers.h"
#include "platform/fs/fs.h"

using namespace platform::ui;

int DetectBoardFlag() { return FileExists("\\nandflash\\") ? 1 : 0; }

CMainApp::~CMainApp() {
  if (mainWindow_) setPreTranslateHook(nullptr);
}

bool CMainApp::InitInstance() {
  registryKey_ = kRegistryKey;
  boardFlag_ = DetectBoardFlag();
  // The program folder is the board's built-in storage: it is always there on an instrument, so a bare
  // device root gets one rather than a start-up that cannot keep its settings.
  platform::fs::createFolders(GetProgramRoot(boardFlag_));
  mainTemplate_ = boardFlag_ == 1 ? CMonitorDlg::kTemplateBoard1 : CMonitorDlg::kTemplateBoard0;
  CMonitorDlg dlg(mainTemplate_);
  channel1 = &dlg.channel(1);
  channel2 = &dlg.channel(2);
  channel3 = &dlg.channel(3);
  mainWindow_ = &dlg;
  for (Parameter* p : {channel1, channel2, channel3}) p->boardFlag = boardFlag_;
  setPreTranslateHook([this](Message& m) { return PreTranslateMessage(m); });
  dlg.doModal();
  setPreTranslateHook(nullptr);
  mainWindow_ = nullptr;
  channel1 = channel2 = channel3 = nullptr;
  return false;
}

bool CMainApp::PreTranslateMessage(Message& msg) {
  if (msg.message == WM_KEYDOWN && channel1) ShortBeep(channel1->boardFlag.load());
  return false;
}
