// The identity of a test, without windows: the front-end controller numbers and their storing, the test
// information the operator types (serial, external serial and pile numbers, test type, plate area,
// gauges) with its checks, the file names it gives the test, the labels the information dialog shows
// for a test type, and the commit of it all into a channel and its header records.
#pragma once

#include <array>
#include <string>

#include "model/parameter.h"

// ---- controller numbers ---------------------------------------------------------------------------

inline constexpr const char* kDuplicateControllerNumbers = "测控器编号不能相同！";

// Checks the three typed controller numbers of front-ends 1#-3# before any is stored: each must be one
// to six digits, and no two may name the same controller (the link sends each as six digits, so "012"
// and "12" are one controller). Returns the refusal text, or an empty text when all three are fine.
std::string CheckControllerNumbers(const std::array<std::string, 3>& numbers);

// Stores the channel's controller number: item 83 becomes the number, the parameter file is saved (with
// the channel's test file path: the running test's, or the one a set-up named), and a running test's
// file gets the header texts of the channel again. Returns the result of the parameter-file save (1 saved).
int StoreControllerNumber(Parameter& p, const std::string& tag);

// Whether a channel keeps its controller number whatever is typed: its test runs or is paused (the link
// addresses its controller by that number).
bool KeepsControllerNumber(const Parameter& p);
// Takes the typed numbers of front-ends 1#-3# into channels 1-3, except into a channel that keeps its
// own: all three are checked first (with a kept number in place of the typed one) and nothing is stored
// on a refusal. A channel takes its number in the six-digit form the link sends ("1" becomes
// "000001"). Returns the refusal text, or an empty text when the numbers were taken.
std::string TakeControllerNumbers(const std::array<Parameter*, 3>& channels, const std::array<std::string, 3>& typed);
// StoreControllerNumber for channels 1-3 (tags "1"-"3"); true when all three parameter files were saved.
bool StoreControllerNumbers(const std::array<Parameter*, 3>& channels);

// ---- test information -----------------------------------------------------------------------------

// What the operator entered in the test information dialog.
struct TestIdentityEntry {
  std::string serial;          // serial number (流水号)
  std::string externalSerial;  // serial number of the external upload module
  std::string pile;            // pile number (桩号)
  std::string plateArea;       // plate area text (plate tests only)
  std::array<bool, 8> gauges{};  // gauges 1-8 in use
};

struct TestIdentityResult {
  bool accepted = false;
  std::string message;          // status line text
  bool warning = false;         // red status line
  bool showStandardDialog = false;  // a new test is set up: the standard and load-control dialog is next
  bool hide = false;            // the dialog goes away
  bool headerTextsRewritten = false;  // the running test's file got the new header texts
  bool parameterFileSaved = false;    // an accepted entry is in the parameter file
};

inline constexpr const char* kSerialLengthRefused = "请输入正确的流水号(2位至20位)！";
inline constexpr const char* kPileLengthRefused = "请输入正确的桩号(1位至10位)！";
inline constexpr const char* kNameCharacterRefused = "流水号和桩号不能含有\\ / : * ? \" < > |及首尾空格！";
inline constexpr const char* kNoGaugeRefused = "位移必须有一个为开！";
inline constexpr const char* kPlateAreaRefused = "压板面积输入有误！";
inline constexpr const char* kSelfBalancedGaugesRefused = "下沉和上拔位移分别必须有一个为开！";
inline constexpr const char* kLateralGaugesRefused = "上位移和下位移分别必须有一个为开！";
inline constexpr const char* kTestFileExists = "该流水号桩号已存在，请输入其他号码！";
inline constexpr const char* kIdentityCommitted = "输入完成，设置传感器及千斤顶参数请按监控页面传感器按钮！";

// True when a typed serial or pile number may become part of a file name: none of \ / : * ? " < > |
// and no blank at either end.
bool IsFileNameText(const std::string& text);

// Extension of the test file by test type and standard: ".krv", ".zph" (self-balanced) or ".krs"
// (lateral, except under the standards 77, 93 and 145); empty for a type that names no file.
std::string TestFileExtension(int testType, int standardCode);

// The four names a test set-up gives the channel.
struct TestFileNames {
  std::string testFile;
  std::string moduleQueue;  // ".gps"
  std::string boxQueue;     // ".gpsw"
  std::string sdCopy;
};
// `route` is the upload route (item 56 of channel 1): under route 3 a non-empty external serial number
// names the box queue file.
TestFileNames MakeTestFileNames(int boardFlag, int testType, int standardCode, const std::string& serial,
                                const std::string& externalSerial, const std::string& pile, float route);

// Commits the entry to the channel (OK of the test information dialog). While the channel's set-up is
// open, everything is checked before anything changes; an accepted entry stores the numbers, the plate
// area, the four file names, the gauges and the header records of the test. Once the test has started,
// only the gauges are taken again (gauges 1-4 all off are refused as in a set-up) and the running
// file's header texts are rewritten. An accepted entry is packed and saved in the parameter file.
TestIdentityResult CommitTestIdentity(Parameter& p, const TestIdentityEntry& e, float route);

// ---- labels of the information dialog ---------------------------------------------------------------

// Captions of the five test-type buttons in button order 1246, 1250, 1247, 1248, 1249, and the test
// type each stands for.
inline constexpr std::array<int, 5> kTestTypeOfButton = {1, 5, 0, 2, 4};
inline constexpr std::array<const char*, 5> kTestTypeCaption = {"单桩抗压", "单桩抗拔", "压板", "自平衡", "水平"};
// The caption of a type button: its "√" form for the current type.
std::string TestTypeCaption(int button, int currentType);

// Labels of gauges 1-8 for a test type and standard; false (labels untouched) for a type that has none.
bool GaugeLabels(int testType, int standardCode, std::array<std::string, 8>& labels);
