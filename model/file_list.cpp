#include "model/file_list.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <utility>

#include "platform/clock/clock.h"
#include "platform/fs/fs.h"

std::int64_t LocalFileTime(long long hostSeconds) {
  const std::time_t t = static_cast<std::time_t>(hostSeconds);
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr) return 0;
  platform::clock::DateTime d;
  d.year = tm.tm_year + 1900;
  if (d.year < 1900) return 0;
  d.month = tm.tm_mon + 1;
  d.day = tm.tm_mday;
  d.hour = tm.tm_hour;
  d.minute = tm.tm_min;
  d.second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
  return platform::clock::toSeconds(d);
}

void SortFilesByTime(std::vector<FoundFile>& files) {
  for (std::size_t i = 0; i + 1 < files.size(); ++i) {
    std::size_t smallest = i;
    for (std::size_t j = i + 1; j < files.size(); ++j) {
      if (files[j].time < files[smallest].time) smallest = j;
    }
    // Moved into place with the entries between shifted on (not swapped), so that a file of equal
    // time never jumps over another.
    if (smallest != i) std::rotate(files.begin() + static_cast<std::ptrdiff_t>(i),
                                   files.begin() + static_cast<std::ptrdiff_t>(smallest),
                                   files.begin() + static_cast<std::ptrdiff_t>(smallest) + 1);
  }
}

std::string FileTimeText(std::int64_t time) {
  const platform::clock::DateTime d = platform::clock::fromSeconds(time);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%02d %02d:%02d", d.year % 100, d.month, d.day, d.hour, d.minute);
  return buf;
}

std::vector<FoundFile> ListFilesByTime(const std::string& pattern) {
  std::vector<FoundFile> files;
  for (const platform::fs::Entry& e : platform::fs::find(pattern)) {
    if (e.isFolder) continue;
    FoundFile f;
    f.name = e.name;
    f.time = LocalFileTime(e.createdUnix);
    f.isFile = 1;
    f.size = e.size;
    files.push_back(std::move(f));
  }
  SortFilesByTime(files);
  return files;
}
