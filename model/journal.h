// Writes over bytes already in a file that survive a power loss whole or not at all.
//
// A set of overwrites is first written as one entry into the file's journal beside it (the file's own
// name + ".jrn") and flushed, then written into the file and flushed, and then the entry is marked
// done. An entry that was written whole (it carries its length, a generation number at both ends and a
// checksum) but not marked done is applied again by Recover(); a torn entry means the file was never
// touched and is ignored. Every writer of a journalled file calls Recover() first, so an old entry is
// never applied over newer bytes.
//
// The journal file stays beside its file and is written over in place by the next set: creating,
// flushing the folder of and deleting a journal for every set would cost the medium far more than the
// set itself. Only the first set of a file creates it (and flushes its folder entry). The done mark is
// not flushed on its own: an entry that comes back after a power cut holds only bytes the file already
// holds (it was applied and the file flushed before it was marked), so applying it again changes
// nothing; and the next entry is flushed before the file is touched, which makes the one before it
// gone first. Bytes appended past the file's whole records never go through the journal, and every
// entry patches only bytes within them, so an entry applied again never reaches appended bytes.
//
// The journal is the program's own file: it is looked up by its exact name beside the file as stored,
// so a look for a journal that is not there costs one failed open, never a search of the folder. A
// journal of the older kind (name + ".jnl", created for one set and deleted after it) can only be left
// from before the program started: it is looked for once per file and finished or dropped as before.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fs/fs.h"

namespace filejournal {

struct Patch {
  long long offset = 0;
  std::string bytes;
};

// The journal of the file (instrument path).
std::string JournalPath(std::string_view path);

// Finishes or discards an interrupted patch set of the file. False when a complete journal entry is
// there but could not be applied (the entry is then kept).
bool Recover(std::string_view path);

// Whether the file's journal holds a complete entry not yet marked done (one a Recover() would apply).
bool Pending(std::string_view path);

// Writes every patch into the existing file, all or nothing across a power loss. False when the file
// cannot be opened or written.
bool PatchFile(std::string_view path, const std::vector<Patch>& patches);

// Reads the whole file as it stands after recovery: the file with any complete entry applied (in
// memory, when the entry could not be applied to the file itself).
bool ReadRecovered(std::string_view path, std::string& out);

// Removes the journal of the file, if any (when the file itself is replaced or deleted).
void Discard(std::string_view path);

// One set of writes to an existing file, all made at commit(): overwrites of bytes the file holds,
// which reach it all or none across a power loss (one journal entry for the whole set), and bytes put
// at or past its end (appended records), which need no journal: a torn tail is the readers' to ignore.
// The file and its journal stay open from open() to commit(), so the set can be compared with what the
// file holds.
class Writer {
 public:
  // Finishes or discards an interrupted set, then opens the existing file for reading and writing.
  // False when the file is missing or cannot be opened, or an interrupted set cannot be finished.
  bool open(std::string_view path);
  long long length() const { return length_; }
  // Reads n bytes of the file at offset (within its length).
  bool read(long long offset, std::size_t n, std::string& out);
  // Overwrites bytes the file holds. An overwrite past the file's length fails the commit.
  void overwrite(long long offset, std::string bytes);
  // Writes bytes from offset, at or past the end of the whole records the file holds.
  void append(long long offset, std::string bytes);
  std::size_t overwrites() const { return over_.size(); }
  // Makes the writes: the overwrites as one journal entry (flushed; its folder too when the journal
  // is new), then the overwrites and the appended bytes into the file, flushed once, then the entry
  // marked done. True when all of it reached the file. Nothing to write is no failure.
  bool commit();

 private:
  platform::fs::File file_;
  platform::fs::File journal_;  // open when the journal exists
  std::uint64_t generation_ = 0;  // of the journal's last entry
  std::filesystem::path host_;
  long long length_ = -1;
  std::vector<Patch> over_;
  std::vector<Patch> appended_;
};

}  // namespace filejournal
