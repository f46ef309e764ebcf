// File names, existence checks and safe replacement of files.
#ifndef MARVESK_CORE_FILEUTIL_H_
#define MARVESK_CORE_FILEUTIL_H_

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

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

// Writes a file so that the old one survives any failure: the bytes go to a
// temporary file beside the target, which replaces the target only in
// Commit(). Targets that are not regular files (devices, pipes) are written
// in place, since they cannot be replaced.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  // False (with errno's text in *error) when the file cannot be created.
  bool Open(const std::string& target, std::string* error);
  // Buffered; false once any write has failed.
  bool Write(const char* data, size_t n) {
    if (failed_) return false;
    if (n <= buffer_.size() - used_) {
      std::memcpy(buffer_.data() + used_, data, n);
      used_ += n;
      return true;
    }
    return WriteSlow(data, n);
  }
  bool Write(std::string_view s) { return Write(s.data(), s.size()); }
  // Flushes, optionally syncs to disk, and puts the file in place.
  bool Commit(bool sync, std::string* error);
  // Throws the temporary file away; the target stays as it was.
  void Abort();
  const std::string& target() const { return target_; }

 private:
  bool WriteSlow(const char* data, size_t n);
  bool Flush();

  int fd_ = -1;
  bool in_place_ = false;
  bool failed_ = false;
  int error_ = 0;
  std::string target_;
  std::string temp_;
  std::vector<char> buffer_;
  size_t used_ = 0;
};

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string* out);

}  // namespace core

#endif  // MARVESK_CORE_FILEUTIL_H_
