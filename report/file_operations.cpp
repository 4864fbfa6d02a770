#include "report/file_operations.h"

#include <algorithm>
#include <cstdio>

#include "model/helpers.h"
#include "model/journal.h"
#include "platform/fs/fs.h"
#include "platform/text/text.h"

namespace fs = platform::fs;

namespace file_ops {

namespace {

// Whether `path` names one of `paths` on the storage, which ignores letter case.
bool listed(const std::vector<std::string>& paths, const std::string& path) {
  return std::any_of(paths.begin(), paths.end(), [&](const std::string& p) { return fs::samePath(p, path); });
}

// Copies a data file whole: an overwrite its journal still holds is finished first (else the copy
// would miss it), and a journal left at the target by an older file of that name is dropped, so it can
// never be applied to the copy. False when the file cannot be finished or copied.
bool copyWhole(const std::string& from, const std::string& to) {
  if (!filejournal::Recover(from)) return false;
  filejournal::Discard(to);
  return fs::copyFile(from, to, false);
}

// Copies `from` to folder + a free name there, then deletes `from`. The copy is complete (written,
// flushed and renamed into place) before the source goes, so a power cut at any moment leaves the file
// whole in one folder or the other. False when it stays where it was.
bool moveInto(const std::string& from, const std::string& name, const std::string& folder,
              const std::vector<std::string>& reserved) {
  const std::string free = FreeName(folder, name, reserved);
  if (free.empty() || !copyWhole(from, folder + free)) return false;
  if (!fs::deleteFile(from)) return false;
  filejournal::Discard(from);
  return true;
}

std::string withoutExtension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('\\');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path;
  return path.substr(0, dot);
}

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

NameParts SplitName(const std::string& name) {
  // Four characters back from the end, stepping over the continuation bytes of UTF-8.
  std::size_t at = name.size();
  for (int chars = 0; chars < 4 && at > 0; ++chars) {
    --at;
    while (at > 0 && (static_cast<unsigned char>(name[at]) & 0xC0) == 0x80) --at;
  }
  return {name.substr(0, at), name.substr(at)};
}

std::string FolderOf(const std::string& path, const std::string& name) {
  if (name.size() <= path.size() && path.compare(path.size() - name.size(), name.size(), name) == 0)
    return path.substr(0, path.size() - name.size());
  const std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FreeName(const std::string& folder, const std::string& name, const std::vector<std::string>& reserved) {
  const fs::ListingRun run;  // the folder is listed once for all the numbered names tried
  auto taken = [&](const std::string& candidate) {
    const std::string path = folder + candidate;
    return FileExists(path) || listed(reserved, path);
  };
  if (!taken(name)) return name;
  const NameParts parts = SplitName(name);
  for (int n = 1; n <= kMaxAlternative; ++n) {
    char number[16];
    std::snprintf(number, sizeof number, "(%d)", n);
    const std::string candidate = parts.base + number + parts.extension;
    if (!taken(candidate)) return candidate;
  }
  return {};
}

Outcome ExportFiles(const std::vector<MarkedFile>& files, const std::string& exportFolder) {
  Outcome o;
  const fs::ListingRun run;
  for (const MarkedFile& f : files) {
    const std::string free = FreeName(exportFolder, f.name);
    if (!free.empty() && copyWhole(f.path, exportFolder + free)) o.Done(f.path);
    else ++o.failed;
  }
  return o;
}

Outcome DeleteToBin(const std::vector<MarkedFile>& files, const std::vector<std::string>& currentTests) {
  Outcome o;
  const fs::ListingRun run;
  for (const MarkedFile& f : files) {
    if (listed(currentTests, f.path)) {
      ++o.skipped;
      continue;
    }
    const std::string bin = FolderOf(f.path, f.name) + kBinFolder + "\\";
    fs::createFolder(bin);
    if (moveInto(f.path, f.name, bin, {})) o.Done(f.path);
    else ++o.failed;
  }
  return o;
}

Outcome RestoreFromBin(const std::vector<MarkedFile>& files, const std::vector<std::string>& currentTests) {
  Outcome o;
  const fs::ListingRun run;
  const std::string binTail = std::string(kBinFolder) + "\\";
  for (const MarkedFile& f : files) {
    if (listed(currentTests, f.path)) {
      ++o.skipped;
      continue;
    }
    const std::string bin = FolderOf(f.path, f.name);
    // The folder above the bin; a channel's current test path counts as taken there even before its
    // file exists, so a restore never puts a file where a test writes.
    if (bin.size() <= binTail.size() ||
        !platform::text::equalsIgnoreCase(bin.substr(bin.size() - binTail.size()), binTail)) {
      ++o.failed;
      continue;
    }
    const std::string home = bin.substr(0, bin.size() - binTail.size());
    if (moveInto(f.path, f.name, home, currentTests)) o.Done(f.path);
    else ++o.failed;
  }
  return o;
}

Outcome ClearFiles(const std::vector<MarkedFile>& files) {
  Outcome o;
  const fs::ListingRun run;
  for (const MarkedFile& f : files) {
    if (fs::deleteFile(f.path)) {
      filejournal::Discard(f.path);
      o.Done(f.path);
    } else {
      ++o.failed;
    }
  }
  return o;
}

std::string PromptOf(Operation op) {
  switch (op) {
    case Operation::Export: return "确定要导出所选文件吗？";
    case Operation::Delete: return "确定要删除所选文件吗？";
    case Operation::Restore: return "确定要还原所选文件吗？";
    case Operation::Clear: return "确定要清除所选文件吗？\r\n该操作将永久删除文件！";
  }
  return {};
}

std::string ClosingStatus(Operation op, const Outcome& outcome, bool& error) {
  error = outcome.failed > 0;
  switch (op) {
    case Operation::Export: return error ? "部分文件导出失败！" : "所选文件导出成功！";
    case Operation::Delete: return error ? "部分文件删除失败！" : "所选文件删除成功！";
    case Operation::Restore: return error ? "部分文件还原失败！" : "所选文件还原成功！";
    case Operation::Clear: return error ? "部分文件清除失败！" : "所选文件清除成功！";
  }
  return {};
}

bool ImportJackList(const std::string& usbRoot, const std::string& dataRoot) {
  if (!FileExists(usbRoot)) return false;
  const std::string from = usbRoot + kJackList;
  const long long size = fs::fileSize(from);
  if (size <= 0 || size % kJackRecordBytes != 0) return false;
  // The copy is written beside the old list and renamed over it, so a failed copy keeps the old one.
  return fs::copyFile(from, dataRoot + kJackList, true);
}

LogMove MoveLogFiles(const std::string& dataRoot, const std::string& usbRoot, const std::vector<std::string>& keep) {
  LogMove m;
  // The names are taken first and the search ended before any file moves.
  std::vector<std::string> names;
  for (const fs::Entry& e : fs::find(dataRoot + "*.txt"))
    if (!e.isFolder) names.push_back(e.name);
  if (names.empty()) return m;
  m.found = true;
  if (!FileExists(usbRoot)) {
    m.noUsb = true;
    return m;
  }
  const std::string folder = usbRoot + kLogFolder + "\\";
  const fs::ListingRun run;
  fs::createFolder(folder);
  for (const std::string& name : names) {
    if (std::any_of(keep.begin(), keep.end(), [&](const std::string& k) { return platform::text::equalsIgnoreCase(k, name); }))
      continue;
    if (moveInto(dataRoot + name, name, folder, {})) ++m.moved;
    else ++m.failed;
  }
  return m;
}

std::vector<std::string> CurrentTestPaths(const std::vector<const Parameter*>& channels) {
  std::vector<std::string> paths;
  for (const Parameter* p : channels)
    if (p != nullptr && !p->testFilePath.empty()) paths.push_back(p->testFilePath);
  return paths;
}

std::vector<std::string> RunningTestTexts(const std::vector<const Parameter*>& channels) {
  std::vector<std::string> names;
  for (const Parameter* p : channels) {
    if (p == nullptr || p->testRunning.load() != 1 || p->testFilePath.empty()) continue;
    const std::string base = fileNameOf(withoutExtension(p->testFilePath));
    names.push_back(base + ".txt");
    names.push_back(base + "BL.txt");
  }
  return names;
}

}  // namespace file_ops
