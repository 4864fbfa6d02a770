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
// match in sorted order; `name` itself when there is none.
std::string matchChild(const std::filesystem::path& folder, const std::string& name);

// The name a durable write gives its temporary file beside `target`; such files are never listed.
inline constexpr std::string_view kTempSuffix = ".~tmp";
bool isTempName(std::string_view name);

// Writes all n bytes to fd through the backend.
bool writeAll(int fd, const void* buf, std::size_t n, Error& err);

}  // namespace platform::fs::detail
