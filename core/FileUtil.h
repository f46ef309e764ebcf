// File names, existence checks and safe replacement of files.
#ifndef MARVESK_CORE_FILEUTIL_H_
#define MARVESK_CORE_FILEUTIL_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/Result.h"

namespace core {

// True when an entry of that name exists (file, directory or anything else);
// any failure counts as missing. Always pauses 100 ms, as callers expect a
// settled file system afterwards.
bool FileExistsWait(const std::string& path);

// The directory of a path, without a trailing separator (but "/" for a file
// in the root directory); empty when the path has no directory part.
std::string DirectoryPart(std::string_view path);
// The file name without its directory.
std::string NamePart(std::string_view path);
// The extension, dot included, in capitals ("x.Csv" gives ".CSV"); empty when
// the last dot belongs to a directory name or there is none.
std::string UpperExt(std::string_view path);

// Memory that writes past the page cache can take as it is: aligned to
// AtomicFileWriter::kDirectAlign. Null when there is none; `bytes` must be a
// multiple of the alignment.
struct FreeBytes {
  void operator()(char* p) const { std::free(p); }
};
using AlignedBytes = std::unique_ptr<char, FreeBytes>;
AlignedBytes NewAlignedBytes(size_t bytes);

// Writes a file so that the old one survives any failure: the bytes go to a
// temporary file beside the target, which replaces the target only in
// Commit(). With `sync` the file is on the disk before it replaces the
// target and the folder's entry after, so a power cut leaves the old or the
// new file, never an empty one. Targets that are not regular files (devices,
// pipes) are written in place, since they cannot be replaced. Failures give
// the system's text as message and reason.
class AtomicFileWriter {
 public:
  // Writes to the disk without the page cache go in pieces of this size, at
  // offsets of it, from memory aligned to it.
  static constexpr size_t kDirectAlign = 4096;

  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  // kCreateFailed when the file cannot be created. `direct`, for a file
  // that is synced in Commit anyway: its bytes go straight to the disk,
  // past the page cache, where the file system allows it. Filling the page
  // cache first needs as much fresh memory as the file is big, which a
  // virtual machine may have to get from its host page by page (a synced
  // 1 GB file took 6.7-10.9 s that way, against 0.6 s straight to the
  // disk). Only on local disk file systems (ext4, XFS, Btrfs, F2FS); any
  // write the file system refuses so goes on through the cache.
  Result Open(const std::string& target, bool direct = false);
  // Buffered; false once any write has failed. Aligned data of whole
  // kDirectAlign pieces, handed over when nothing is buffered, goes to the
  // disk without being copied.
  bool Write(const char* data, size_t n) {
    if (failed_) return false;
    if (n <= capacity_ - used_) {
      std::memcpy(buffer_.get() + used_, data, n);
      used_ += n;
      return true;
    }
    return WriteSlow(data, n);
  }
  bool Write(std::string_view s) { return Write(s.data(), s.size()); }
  // Flushes, optionally syncs to disk, and puts the file in place;
  // kWriteFailed when any of it (or an earlier Write) failed, and then the
  // target is as it was.
  Result Commit(bool sync);
  // Throws the temporary file away; the target stays as it was.
  void Abort();
  const std::string& target() const { return target_; }
  // Whether the bytes still go past the page cache (for tests).
  bool direct() const { return direct_; }

 private:
  bool WriteSlow(const char* data, size_t n);
  // Writes the buffer: in direct mode it is full then, or direct mode left.
  bool Flush();
  // Writes n bytes at p to the file, leaving direct mode where the file
  // system refuses a write in it.
  bool Put(const char* p, size_t n);
  bool LeaveDirect();

  int fd_ = -1;
  bool in_place_ = false;
  bool failed_ = false;
  bool direct_ = false;
  int error_ = 0;
  std::string target_;
  std::string temp_;
  std::string dir_;  // the folder the file is put into
  AlignedBytes buffer_;
  size_t capacity_ = 0;
  size_t used_ = 0;
};

// The name of the temporary file beside `target` for mkstemp: "." + the
// target's name + ".XXXXXX", the borrowed name shortened (at a character
// boundary) so that the whole stays within `name_max` bytes.
std::string TempPattern(const std::string& target, size_t name_max);

// Reads a whole file: kOpenFailed or kReadFailed with the system's text.
Result ReadWholeFile(const std::string& path, std::string* out);

// What tells one state of a file from another: which file it is, its size
// and when it was last written. A missing file has `exists` false.
struct FileStamp {
  bool exists = false;
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = 0;
  int64_t modified_ns = 0;
  bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::string& path);

}  // namespace core

#endif  // MARVESK_CORE_FILEUTIL_H_
