// The calibration dialogs of the main window: the sensor and jack dialog (chuanganqi) with its
// selection from the jack and sensor files (selcgq), the jack calibration table (qianjinding_lvding),
// the system calibration (xitong_biaoding) and the zeroing (shuju_qingling).
#pragma once

// Makes these dialogs the objects of their places in the registry; call before CreateMonitorDialogs().
void RegisterCalibrationDialogs();
