// Helpers shared by the files of platform_fs (not part of its interface).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/fs.h"

namespace platform::fs::detail {

// The error a host errno stands for.
Error fromErrno(int e);

// Splits an instrument path into its components ('\' and '/' separate; empty and "." components are
// dropped; ".." goes up one). False for an empty path or one that leads out of the root.
bool splitPath(std::string_view path, std::vector<std::string>& parts);

// The entry of `folder` named `name` whatever its case: the exact name if it is there, else the first
// match in sorted order; `name` itself when there is none. *found (when given) tells whether an entry
// was found. An exact name costs one file-status call; only a missed one lists the folder (once in a
// listing run, see ListingRun).
std::string matchChild(const std::filesystem::path& folder, const std::string& name, bool* found = nullptr);

// Tells the listing run of this thread (if any) that the entry `host` now exists, so a later lookup in
// its folder finds it whatever case it is asked for.
void noteEntry(const std::filesystem::path& host);

// The type of a host entry: following links (status) or not (symlink_status); not_found on failure.
// Every file-status call of this layer goes through here, so it is counted.
std::filesystem::file_type statType(const std::filesystem::path& p, bool followLinks = true);

// Counting the costly calls (see fs::Counters).
void countFlush();
void countStat();
void countListing();
void countOpen();

// The name a durable write gives its temporary file beside `target`; such files are never listed.
inline constexpr std::string_view kTempSuffix = ".~tmp";
bool isTempName(std::string_view name);

// Writes all n bytes to fd through the backend.
bool writeAll(int fd, const void* buf, std::size_t n, Error& err);

}  // namespace platform::fs::detail
