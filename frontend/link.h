// The front-end link: the serial port of the configured link type, the poll thread that sends one
// command frame per poll period to the next channel that needs polling, the reader thread that checks
// the replies and routes each to the channel whose controller number it carries, the link-quality
// check, the alarm output and the alarm texts of a channel.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "frontend/codec.h"
#include "frontend/mainwindow_port.h"
#include "model/parameter.h"
#include "platform/clock/clock.h"
#include "platform/device/device.h"
#include "platform/serial/serial.h"

namespace frontend {

class FrontEndLink {
 public:
  // The three channel records; channel 1 also holds the system-wide values.
  FrontEndLink(Parameter& ch1, Parameter& ch2, Parameter& ch3, MainWindowPort& window);
  ~FrontEndLink();
  FrontEndLink(const FrontEndLink&) = delete;
  FrontEndLink& operator=(const FrontEndLink&) = delete;

  // Opens the wired link ("COM2" on the board with "\nandflash\", else "COM5" with the transmit
  // direction switched through "MSC1:") and starts both threads. Returns 1 on success, 0 on failure.
  int OpenFrontEndPort();
  // The same for the radio link ("COM6").
  int OpenFrontEndPortCom6();
  // Stops both threads (they finish what they do and end), joins them and closes the port.
  void Close();
  // Close, then open the port of the link type of channel 1 (item 57: 0 radio, else wired).
  int Reopen();
  bool portOpen() const { return open_.load(); }

  // User-interface tick: copies what the threads need from user-interface state (the channel shown
  // on screen, the gauges in use, the jack coefficient's header text).
  void RefreshFromUi();

  // Thread bodies' steps (used by the threads; tests may call them on a closed link).
  void PollNextChannel();
  void PollChannel(int n);                 // 1..3
  void OnFrontEndFrame(const std::uint8_t* bytes);  // 32 bytes
  int lastPolled() const { return lastPolled_.load(); }
  // Bytes written to the port, and bytes read from it and handled (for diagnostics and tests).
  std::uint64_t bytesWritten() const { return bytesWritten_.load(); }
  std::uint64_t bytesHandled() const { return bytesHandled_.load(); }

  // User-interface thread.
  void UpdateLinkQuality(int n);
  void AlarmOn();
  // Switches the buzzer off on the device the alarm output uses (the main loop's buzzer step).
  void BuzzerOff();
  void ComposeAlarmText(int n);

  Parameter& channel(int n) { return *ch_[static_cast<size_t>(n - 1)]; }

 private:
  bool eligible(int n) const;
  bool startThreads();
  void pollLoop();
  void readerLoop();
  void send(int n, const CommandFrame& frame);
  bool openMsc();
  bool waitOrStop(std::uint32_t ms);  // true when a stop was asked for

  std::array<Parameter*, 3> ch_;
  MainWindowPort& window_;
  platform::serial::SerialPort port_;
  std::thread pollThread_;
  std::thread readerThread_;
  std::atomic<bool> open_{false};
  std::atomic<bool> stop_{false};
  platform::clock::Event stopEvent_{true, false};
  std::atomic<int> lastPolled_{0};
  std::atomic<bool> radio_{false};
  std::atomic<int> board_{1};
  std::atomic<int> selected_{0};  // channel shown on screen, 0 none
  std::atomic<std::uint64_t> bytesWritten_{0};
  std::atomic<std::uint64_t> bytesHandled_{0};

  std::mutex deviceLock_;
  platform::device::Handle msc_ = platform::device::kInvalidHandle;
  platform::device::Handle udc_ = platform::device::kInvalidHandle;
};

}  // namespace frontend
