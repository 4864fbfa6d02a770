// The board buzzer of the 100 ms confirmation beeps: switched on by a step of a dialog and off again
// when the dialog's beep timer runs out ("UDC1:" on board 1, else "MSC1:"). One device handle at a
// time: a beep that is still sounding keeps its device; a device that cannot be opened stays silent.
#pragma once

#include "platform/device/device.h"

class ConfirmationBuzzer {
 public:
  ConfirmationBuzzer() = default;
  ConfirmationBuzzer(const ConfirmationBuzzer&) = delete;
  ConfirmationBuzzer& operator=(const ConfirmationBuzzer&) = delete;
  ~ConfirmationBuzzer() {
    if (device_ != platform::device::kInvalidHandle) platform::device::close(device_);
  }

  void on(int boardFlag) {
    namespace dev = platform::device;
    if (device_ != dev::kInvalidHandle && boardFlag != board_) off();
    if (device_ == dev::kInvalidHandle) {
      device_ = dev::open(boardFlag == 1 ? "UDC1:" : "MSC1:");
      board_ = boardFlag;
    }
    if (device_ == dev::kInvalidHandle) return;
    if (board_ == 1) {
      dev::control(device_, dev::kUdcBuzzerOn);
      dev::control(device_, dev::kUdcBuzzerOnEnd);
    } else {
      dev::control(device_, dev::kMscBuzzer, 1u);
    }
  }

  void off() {
    namespace dev = platform::device;
    if (device_ == dev::kInvalidHandle) return;
    if (board_ == 1) {
      dev::control(device_, dev::kUdcBuzzerOff);
      dev::control(device_, dev::kUdcBuzzerOffEnd);
    } else {
      dev::control(device_, dev::kMscBuzzer, 0u);
    }
    dev::close(device_);
    device_ = dev::kInvalidHandle;
  }

 private:
  platform::device::Handle device_ = platform::device::kInvalidHandle;
  int board_ = 1;
};
