// Writes over bytes already in a file that survive a power loss whole or not at all.
//
// A patch set is first written to a journal beside the file (the file's name + ".jnl"), flushed, then
// written into the file and flushed, and then the journal is removed. A journal that was written whole
// (it carries its length and a checksum) but not removed is applied again by Recover(); a torn journal
// means the file was never touched and is simply removed. Every writer of a journalled file calls
// Recover() first, so an old journal is never applied over newer bytes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace filejournal {

struct Patch {
  long long offset = 0;
  std::string bytes;
};

std::string JournalPath(std::string_view path);

// Finishes or discards an interrupted patch set of the file. False when a complete journal is there
// but could not be applied (the journal is then kept).
bool Recover(std::string_view path);

// Writes every patch into the existing file, all or nothing across a power loss. False when the file
// cannot be opened or written.
bool PatchFile(std::string_view path, const std::vector<Patch>& patches);

// Reads the whole file as it stands after recovery: the file with any complete journal applied (in
// memory, when the journal could not be applied to the file itself).
bool ReadRecovered(std::string_view path, std::string& out);

// Removes the journal of the file, if any (when the file itself is replaced or deleted).
void Discard(std::string_view path);

}  // namespace filejournal
