// Files of a folder listed by time: the folder search of the file lists (upgrade files on the U-disk,
// test files on the storages), with each file's creation time in local time and the list sorted oldest
// first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FoundFile {
  std::string name;       // the file name with its extension, as found
  std::int64_t time = 0;  // creation time in local time (seconds since 1970 counted in local time); 0
                          // when its year is before 1900
  int isFile = 1;
  std::int64_t size = 0;  // bytes
};

// The local time of a host file time (seconds since 1970 UTC); 0 when its year is before 1900.
std::int64_t LocalFileTime(long long hostSeconds);

// Sorts oldest first: a selection sort that takes the first of the oldest remaining files each time,
// so files of equal time keep their order.
void SortFilesByTime(std::vector<FoundFile>& files);

// The time of a listed file as the lists show it: "%y-%m-%d %H:%M".
std::string FileTimeText(std::int64_t time);

// The files (no folders) that a search for the pattern ("\Hard Disk\*.msi") finds, sorted oldest first.
// Empty when the folder is missing or nothing matches.
std::vector<FoundFile> ListFilesByTime(const std::string& pattern);
