// The test-file operations without their window: export to the U-disk, delete into a storage's
// recycle bin "rev\", restore from it, clear for good, the import of the jack list "qjd.qjd" and the
// move of the log texts to the U-disk. Every copy is durable (a failed copy leaves no partial target)
// and is checked; a source is deleted only after its copy is complete, and no file is ever written over
// (a taken name gets the first free numbered alternative).
#pragma once

#include <string>
#include <vector>

#include "model/parameter.h"

namespace file_ops {

// Status texts of the operations.
inline constexpr const char* kNoUsbDisk = "错误！仪器没有检测到U盘！";
inline constexpr const char* kCancelled = "用户取消本次操作！";
inline constexpr const char* kImportDone = "参数导入成功！";
inline constexpr const char* kImportFailed = "参数导入失败，源数据文件可能丢失或损坏！";

// Folders of the U-disk and of a storage.
inline constexpr const char* kExportFolder = "718C测试数据文件";
inline constexpr const char* kLogFolder = "718C日志文件";
inline constexpr const char* kBinFolder = "rev";
inline constexpr const char* kJackList = "qjd.qjd";
inline constexpr int kJackRecordBytes = 40;

// Numbered alternatives are tried from "(1)" up to this bound.
inline constexpr int kMaxAlternative = 999;

// Base and extension of a file name: the extension is its last four characters (the dot and three
// letters), the base the rest; a name of four characters or fewer is all extension.
struct NameParts {
  std::string base;
  std::string extension;
};
NameParts SplitName(const std::string& name);

// The folder of a listed file: its path less its name (with the trailing backslash).
std::string FolderOf(const std::string& path, const std::string& name);

// The name a file takes in `folder` (ending in a backslash): `name` when no file of that name is there
// and its path is not in `reserved`, else base + "(n)" + extension for the first free n from 1 to
// kMaxAlternative. Empty when every one is taken. Names and paths compare ignoring letter case, as the
// storage does.
std::string FreeName(const std::string& folder, const std::string& name, const std::vector<std::string>& reserved = {});

// A marked file of the list.
struct MarkedFile {
  std::string name;
  std::string path;
};

// What an operation did with the marked files.
struct Outcome {
  int done = 0;     // copied, moved or deleted
  int skipped = 0;  // a channel's current test file, left where it is
  int failed = 0;   // left where it was: a copy or delete failed, or no free name
  std::vector<std::string> donePaths;  // the paths of the files done, in order
  void Done(const std::string& path) {
    ++done;
    donePaths.push_back(path);
  }
};

// The operations of the list's marked files. `currentTests` are the current test file paths of the
// channels (empty ones are ignored): those files, whatever the letter case of their paths, are neither
// moved to the bin nor restored over. Each operation lists a folder at most once (fs::ListingRun).
Outcome ExportFiles(const std::vector<MarkedFile>& files, const std::string& exportFolder);
Outcome DeleteToBin(const std::vector<MarkedFile>& files, const std::vector<std::string>& currentTests);
Outcome RestoreFromBin(const std::vector<MarkedFile>& files, const std::vector<std::string>& currentTests);
Outcome ClearFiles(const std::vector<MarkedFile>& files);

// The kinds of file operation and their texts: the prompt, and the closing status (a failure text with
// the error flag when any file failed).
enum class Operation { Export, Delete, Restore, Clear };
std::string PromptOf(Operation op);
std::string ClosingStatus(Operation op, const Outcome& outcome, bool& error);

// Copies the U-disk's "qjd.qjd" over the data root's, taking only a file whose size is a positive
// multiple of 40 bytes. False when there is no U-disk, no such file or the copy failed (the old list then
// stays as it was).
bool ImportJackList(const std::string& usbRoot, const std::string& dataRoot);

// The move of the data root's text files to the U-disk's log folder.
struct LogMove {
  bool found = false;  // the data root holds text files
  bool noUsb = false;  // ... and there is no U-disk
  int moved = 0;
  int failed = 0;
};
// `keep` names text files that stay where they are (a running test's, still being written), compared
// ignoring case.
LogMove MoveLogFiles(const std::string& dataRoot, const std::string& usbRoot, const std::vector<std::string>& keep);

// The current test file paths of the channels (null channels left out), and the names of the text files
// that the running tests among them are writing.
std::vector<std::string> CurrentTestPaths(const std::vector<const Parameter*>& channels);
std::vector<std::string> RunningTestTexts(const std::vector<const Parameter*>& channels);

}  // namespace file_ops
