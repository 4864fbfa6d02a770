// Which standards of the catalogue the selection dialog offers, without windows: the type text of a
// catalogue entry, whether a standard is in use by a running test, and the setting of the offered flags
// (channel 1's items 130 + position) from the operator's checks.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "model/parameter.h"

inline constexpr const char* kOfferChanged = "规范选择已改变，按确定键选择有效！";
inline constexpr const char* kStandardInUse = "该规范正在使用，无法取消！";
inline constexpr const char* kInUseUnchecked = "有正在使用的规范未选中，保存失败!";
inline constexpr const char* kOfferSaved = "保存成功!";

// The type text of a catalogue entry's test type: "桩基" (0, 1), "自平衡" (2), "锚杆" (3), "水平" (4),
// empty for any other.
std::string StandardTypeText(int testType);

// Whether a standard code is in use: one of the channels runs a test (running flag 1) under it.
bool IsStandardInUse(int code, std::initializer_list<const Parameter*> channels);

// Sets channel 1's offered flags from the checks of the catalogue positions (item 130 + position: 1.0
// checked, 0.0 not). Every position is looked at first: when a standard in use is unchecked nothing is
// set and its position is returned; otherwise the flags are set and -1 is returned. Positions past the
// catalogue are left alone.
int SetOfferedFlags(Parameter& first, const std::vector<bool>& checks, std::initializer_list<const Parameter*> channels);
