// Files and folders of the instrument. Code names files as the instrument does ("\nandflash\krv718.ini",
// "\Storage Card\Backup\a.krv"); such a path lives under the device root folder on the host:
// "\Storage Card\a.krv" is <root>/Storage Card/a.krv. Both '\' and '/' separate folders.
//
// The instrument's storage ignores letter case: every lookup, open, replace, copy, move and delete finds
// an existing entry whatever its case (each folder of the path too) and works on that entry, so one file
// never becomes two; a new entry keeps the case it was given. Where two entries differ only in case, the
// exact name wins, else the first in sorted order.
//
// Failures are returned as values (false, -1, an Error); nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::fs {

enum class Error {
  None = 0,
  NotFound,      // the file or a folder of its path does not exist
  Exists,        // the target exists where it must not
  AccessDenied,  // permissions, or a folder where a file is wanted (or the reverse)
  DiskFull,      // no space left
  BadPath,       // empty, or leads out of the device root
  NotOpen,       // the file object is not open
  PowerLost,     // the fault-injecting backend has cut the power
  Injected,      // the fault-injecting backend failed the call on purpose
  Io,            // any other failure of the host
};
const char* errorText(Error e);

// The device root. Set once at start from --root or INSTRUMENT_ROOT; tests set a fresh folder each.
void setRoot(const std::filesystem::path& root);
std::filesystem::path root();

// The host path of an instrument path, resolving each existing component whatever its case.
// Components that do not exist keep the case given. Returns an empty path for a bad path
// (empty, or ".." leading out of the root).
std::filesystem::path hostPath(std::string_view instrumentPath);

// Whether two instrument paths name the same entry as the storage sees it: their components compared
// ignoring letter case, '\' and '/' alike, empty and "." components dropped and ".." resolved. Only the
// texts are compared; nothing is looked up. False when either is empty or bad.
bool samePath(std::string_view a, std::string_view b);

// A run of file operations on the calling thread that looks up many names missing from the same
// folders (the copy of 2000 files into one folder, the numbered alternatives of a taken name). While
// one lives, a name missing under its exact case is looked for among the names its folder held when the
// run first listed it, together with the entries this thread made there since, so each folder is listed
// at most once in the run instead of at every missing name; a name found that way is checked by its
// status before it counts. An entry that another thread makes meanwhile in such a folder is found under
// its exact name only. Runs nest: the outermost holds the listings, and they go with it.
class ListingRun {
 public:
  ListingRun();
  ~ListingRun();
  ListingRun(const ListingRun&) = delete;
  ListingRun& operator=(const ListingRun&) = delete;
};

// Counts of the calls that cost the medium or the kernel most, since the program started, over all
// threads: flushes (a file's or a folder's sync to the medium), file-status calls (stat and the like on a path),
// folder listings, and file opens (failed ones too). Benchmarks and tests take differences.
struct Counters {
  long long flushes = 0;
  long long statCalls = 0;
  long long listings = 0;
  long long opens = 0;
};
Counters counters();

// ---------------------------------------------------------------------------------------------------
// Backend: every operation on the host goes through the current backend, so tests can put a
// fault-injecting one in place (see FaultBackend below). Paths given to a backend are host paths.
class Backend {
 public:
  virtual ~Backend() = default;
  // Opens a file; flags as for POSIX open(2). Returns a descriptor >= 0, or -1 with err set.
  virtual int open(const std::filesystem::path& p, int flags, Error& err) = 0;
  virtual bool close(int fd, Error& err) = 0;
  virtual long long read(int fd, void* buf, std::size_t n, Error& err) = 0;
  virtual long long write(int fd, const void* buf, std::size_t n, Error& err) = 0;
  virtual long long seek(int fd, long long offset, int whence, Error& err) = 0;
  virtual bool truncate(int fd, long long length, Error& err) = 0;
  virtual bool sync(int fd, Error& err) = 0;
  virtual bool syncFolder(const std::filesystem::path& folder, Error& err) = 0;
  virtual bool rename(const std::filesystem::path& from, const std::filesystem::path& to, Error& err) = 0;
  virtual bool remove(const std::filesystem::path& p, Error& err) = 0;  // a file or an empty folder
  virtual bool makeFolder(const std::filesystem::path& p, Error& err) = 0;
};

// The backend in use (the real one unless a test installs another). Not owned by the caller.
Backend& backend();
// Installs a backend for the whole process; nullptr restores the real one. For tests.
void setBackend(Backend* b);

// A backend that forwards to the real one and injects faults, in the manner of a crash test:
//  - failCall(kind, n): the n-th call (counted from 0 after arming) of that kind fails with Injected.
//  - cutPowerAfter(steps): every byte written is one step, and so is each rename, remove, truncate,
//    folder creation and file creation (an open that may create or empty a file). The step numbered `steps` (from 0, counted after arming) and
//    everything after it do not happen: a write is cut at that byte (the bytes before it stay on disk),
//    and from then on every call fails with PowerLost until restorePower(). This leaves what a disk could
//    have kept at that moment.
//  - steps() tells how many steps have run since arming, so a test can replay a write cut at each one.
class FaultBackend : public Backend {
 public:
  enum class Call { Open, Close, Read, Write, Seek, Truncate, Sync, Rename, Remove, MakeFolder };
  FaultBackend();
  ~FaultBackend() override;

  void failCall(Call kind, long long n);
  void cutPowerAfter(long long steps);
  // With this on, a cut also loses the data written to each file since its last sync: the file goes
  // back to what its last sync (or its first open here) left, as a disk cache may drop it. Off by default.
  void loseUnsyncedOnCut(bool on);
  void restorePower();   // power back; no fault armed; counters reset
  bool powerLost() const;
  long long steps() const;

  int open(const std::filesystem::path& p, int flags, Error& err) override;
  bool close(int fd, Error& err) override;
  long long read(int fd, void* buf, std::size_t n, Error& err) override;
  long long write(int fd, const void* buf, std::size_t n, Error& err) override;
  long long seek(int fd, long long offset, int whence, Error& err) override;
  bool truncate(int fd, long long length, Error& err) override;
  bool sync(int fd, Error& err) override;
  bool syncFolder(const std::filesystem::path& folder, Error& err) override;
  bool rename(const std::filesystem::path& from, const std::filesystem::path& to, Error& err) override;
  bool remove(const std::filesystem::path& p, Error& err) override;
  bool makeFolder(const std::filesystem::path& p, Error& err) override;

 private:
  struct State;
  std::unique_ptr<State> s_;
};

// Installs a backend for the life of the guard (tests).
class ScopedBackend {
 public:
  explicit ScopedBackend(Backend& b) { setBackend(&b); }
  ~ScopedBackend() { setBackend(nullptr); }
  ScopedBackend(const ScopedBackend&) = delete;
  ScopedBackend& operator=(const ScopedBackend&) = delete;
};

// ---------------------------------------------------------------------------------------------------
// An open file, in the manner of the framework's file object. Open modes combine:
//   Read, Write or ReadWrite; Create makes the file (emptying an existing one unless NoTruncate).
class File {
 public:
  enum Mode : unsigned {
    Read = 1,
    Write = 2,
    ReadWrite = 3,
    Create = 4,
    NoTruncate = 8,
  };
  enum class From { Begin, Current, End };

  File() = default;
  ~File();
  File(File&& o) noexcept;
  File& operator=(File&& o) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  bool open(std::string_view instrumentPath, unsigned mode);
  // Opens a host path exactly as given, with no search of its folder for another case: for the files
  // the program names itself (a journal beside its file, a state file of its own), which never need
  // one. A missing file costs one failed open, never a folder listing. Names that come from outside
  // (a user's files, a U-disk) are opened by open(), which finds them whatever their case.
  bool openHost(const std::filesystem::path& host, unsigned mode);
  bool isOpen() const { return fd_ >= 0; }
  bool close();  // flushes nothing to the medium; see flush()

  // Reads up to n bytes; returns the count read (0 at the end), or -1.
  long long read(void* buf, std::size_t n);
  // Reads exactly n bytes; false when fewer are there.
  bool readExact(void* buf, std::size_t n);
  // Writes all n bytes; false on a failed or short write (the file may hold part of them).
  bool write(const void* buf, std::size_t n);
  bool write(std::string_view bytes) { return write(bytes.data(), bytes.size()); }
  // Returns the new position, or -1.
  long long seek(long long offset, From from = From::Begin);
  long long position();
  long long length();
  bool setLength(long long length);
  bool flush();  // forces the data and its length to the medium (fdatasync)

  Error lastError() const { return err_; }
  const std::filesystem::path& host() const { return host_; }

 private:
  bool openResolved(unsigned mode);

  int fd_ = -1;
  Error err_ = Error::None;
  std::filesystem::path host_;
};

// ---------------------------------------------------------------------------------------------------
// Whole-file and folder operations on instrument paths. Each returns false (or an empty value) on
// failure and, where given, sets *err.

bool exists(std::string_view path);        // a file or a folder
bool isFile(std::string_view path);
bool isFolder(std::string_view path);
long long fileSize(std::string_view path);  // -1 when there is no such file

// Reads a whole file; false when it cannot be read.
bool readFile(std::string_view path, std::string& out, Error* err = nullptr);
// Writes a whole file in place (create or empty, write, flush). Not power-safe: see replaceFile.
bool writeFile(std::string_view path, std::string_view bytes, Error* err = nullptr);
// Durable replace: writes a temporary file beside the target, flushes it, renames it over the target
// and flushes the folder, so a power loss at any moment leaves either the old or the new content.
bool replaceFile(std::string_view path, std::string_view bytes, Error* err = nullptr);
// Removes the temporary file that a durable write of `path` (replaceFile, copyFile) leaves behind when
// the power fails before its rename; the file at `path` itself stays. True when no such file is left.
bool removeDurableTemporary(std::string_view path, Error* err = nullptr);

bool copyFile(std::string_view from, std::string_view to, bool overwrite = true, Error* err = nullptr);
bool moveFile(std::string_view from, std::string_view to, Error* err = nullptr);  // file or folder
bool deleteFile(std::string_view path, Error* err = nullptr);
bool createFolder(std::string_view path, Error* err = nullptr);        // one level; true if it exists
bool createFolders(std::string_view path, Error* err = nullptr);       // every missing level
bool deleteFolderTree(std::string_view path, Error* err = nullptr);    // a folder with its contents

// Free space available to the caller on the medium holding the path, in bytes; -1 on failure.
long long freeSpace(std::string_view path);

struct Entry {
  std::string name;        // the entry's own name as stored (UTF-8)
  bool isFolder = false;
  long long size = 0;
  long long createdUnix = 0;  // creation time (host epoch seconds), the modification time where the
                              // file system keeps no creation time
  long long modifiedUnix = 0;
};
// Entries of a folder matching a wildcard pattern, as in "\Storage Card\*.krv" or "\nandflash\*.*":
// '*' any run of characters, '?' one character, letters compared ignoring case; "*.*" matches every
// name, with or without a dot. Sorted by name. "." and ".." are never listed, nor a name with a '\'
// (the host allows one; no instrument path names it). Empty when the folder is missing.
std::vector<Entry> find(std::string_view pattern);
bool wildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace platform::fs
