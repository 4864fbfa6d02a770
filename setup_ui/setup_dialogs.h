// The set-up dialogs of the main window: the controller selection (cekongqi), the test information
// (gongcheng_xinxi), the standard selection (shiyan_guifan), the standards check-list (guifan_shezhi),
// the system settings (xitong_baohu), the date and time (xitong_shijian) and the preload (shizhuang_yuya).
#pragma once

// Makes these dialogs the objects of their places in the registry; call before CreateMonitorDialogs().
void RegisterSetupDialogs();
