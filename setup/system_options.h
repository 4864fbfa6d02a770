// The system options without windows: the choices of each option button and the order in which a press
// moves through them, what the system-settings dialog shows for a channel, the writing of the chosen
// options into the channels and their header records, the controller in use for the link, and the
// battery text of a front-end controller.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "model/parameter.h"

// ---- channels in use --------------------------------------------------------------------------------

// The channel (1-3) that channel 1's selected-channel text names, or 0.
int SelectedChannelNumber(const Parameter& channel1);

// Whether the link serves channel n (1-3) now: its test runs, it is the selected channel, or it is
// polled although idle. `channels` are channels 1-3.
bool ChannelInUse(const std::array<const Parameter*, 3>& channels, int n);

// ---- options ----------------------------------------------------------------------------------------

// The option buttons of the system settings.
enum class SystemOption {
  Link,          // item 57 of channel 1
  Remote,        // item 56
  SendInterval,  // item 74
  OilCircuit,    // item 10, header record 32
  LoadingMode,   // automatic-loading flag, header record 30
  ForceSensor,   // item 11, header record 12
  Displacement,  // item 85
  Stability,     // item 98
  ZeroLevel,     // item 99
  PromptTone,    // item 88 of channel 1
};
inline constexpr int kSystemOptionCount = 10;

// The captions of an option in pressing order (the force sensor's own order is NextForceSensorCaption's).
const std::vector<std::string>& OptionCaptions(SystemOption option);
// The caption a press moves to: the next of the option's captions; a caption not among them moves to
// the first.
std::string NextOptionCaption(SystemOption option, const std::string& caption);
// The force sensor's press, by the channel's stored item 11: a 20S oil-pressure sensor (2) stays; a
// load cell or 10S sensor (0, 1) alternates between the two; any other value goes round all three.
std::string NextForceSensorCaption(float item11, const std::string& caption);

inline constexpr const char* kRemoteDisabled = "禁止远程传输";
inline constexpr const char* kWiredLink = "有线通信";
inline constexpr const char* kSensorModel = "CYB-10S";

// The captions of every option, indexed by SystemOption, with the oil-pressure sensor model.
struct SystemOptionCaptions {
  std::array<std::string, kSystemOptionCount> caption;
  std::string sensorModel = kSensorModel;
  std::string& operator[](SystemOption o) { return caption[static_cast<std::size_t>(o)]; }
  const std::string& operator[](SystemOption o) const { return caption[static_cast<std::size_t>(o)]; }
};

// The captions of a dialog just created (nothing read yet).
SystemOptionCaptions InitialOptionCaptions();

// What the dialog shows for a channel: each option's caption from the stored values and whether its
// button takes presses. Link type and prompt tone come from channel 1, the rest from `current`.
// `shown` are the captions on screen, kept where a stored value names no caption.
struct SystemOptionsView {
  SystemOptionCaptions captions;
  std::array<bool, kSystemOptionCount> enabled{};
  bool isEnabled(SystemOption o) const { return enabled[static_cast<std::size_t>(o)]; }
};
SystemOptionsView ViewOptions(const Parameter& current, const Parameter& channel1, const SystemOptionCaptions& shown);

// The dialog's title line for a channel: tag "# 编号：" number, the serial part and the pile part.
std::string SystemSettingsTitle(const Parameter& p);
// The caption of the settings group for a channel.
std::string SystemSettingsGroupCaption(const Parameter& p);

// Writes the chosen options: items 56 and 88 into all three channels (every reader finds them where it
// looks), item 57 into channel 1, and the options of `current` with its fields and header records 12,
// 30 and 32. Returns true when item 57 changed (the link is to be reopened). Saves nothing.
bool WriteSystemOptions(const std::array<Parameter*, 3>& channels, Parameter& current,
                        const SystemOptionCaptions& captions);

// The refusal of the wired link while controller 2 or 3 is in use, or an empty text.
inline constexpr const char* kWiredLinkRefused = "有线通信只能连接1#前端测控器！";
std::string CheckLinkChoice(const std::string& linkCaption, const std::array<const Parameter*, 3>& channels);

// ---- battery ------------------------------------------------------------------------------------------

// The two-line battery text of a front-end controller, from its last report: empty while the controller
// is silent or sent no battery report.
std::string BatteryText(const Parameter& p);
