#include "refit/refit_app.h"

#include "model/helpers.h"
#include "refit/refit_dlg.h"

using namespace platform::ui;

namespace refit {

bool CRefitApp::InitInstance() {
  m_strRegistryKey = kRegistryKey;
  m_nBoardFlag = FileExists("\\nandflash\\") ? 1 : 0;
  RemoveUpgradeLeftovers(m_nBoardFlag);
  CRefitDlg dlg(m_nBoardFlag == 1 ? CRefitDlg::kTemplateBoard1 : CRefitDlg::kTemplateBoard0);
  dlg.SetBoardFlag(m_nBoardFlag);
  m_pMainWnd = &dlg;
  setPreTranslateHook([this](Message& m) { return PreTranslateMessage(m); });
  dlg.doModal();
  setPreTranslateHook(nullptr);
  m_pMainWnd = nullptr;
  return false;
}

bool CRefitApp::PreTranslateMessage(Message& msg) {
  if (msg.message == WM_KEYDOWN) ShortBeep(m_nBoardFlag);
  return false;
}

}  // namespace refit
