// Buffered reading of 8-bit text files with the program's line rules: a line
// ends at LF; CR is dropped wherever it stands; Ctrl-Z (26) ends the line's
// text (the rest up to the LF is skipped) and, at the start of a line, the
// file. The last line needs no line end; lines may be of any length.
#ifndef MARVESK_CORE_LINEREADER_H_
#define MARVESK_CORE_LINEREADER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Memory.h"

namespace core {

inline constexpr char kCtrlZ = 26;

class FileReader {
 public:
  // Bytes after the buffered data that are always readable (and zero), so
  // block-wise scanners may read past the end.
  static constexpr size_t kPadding = 64;

  FileReader() = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader();

  // False when the file cannot be opened or is not a regular file (a pipe
  // or a device); error() then says why.
  bool Open(const std::string& path);
  // Reads from the start again.
  bool Rewind();
  void Close();
  bool is_open() const { return fd_ >= 0; }
  // For LineRegion, which reads at offsets of its own.
  int fd() const { return fd_; }

  // True at the end of the file or before a Ctrl-Z.
  bool AtEof();
  // The next line under the rules above; the empty text at the end. Throws
  // std::bad_alloc when the line does not fit into the memory headroom.
  void ReadLine(std::string* line);

  // A read error happened, or the file ended before the size it had when it
  // was opened (the reading then behaves as at the end).
  bool failed() const { return failed_; }
  const std::string& error() const { return error_; }
  uint64_t file_size() const { return file_size_; }
  // Bytes read since the last Open or Rewind.
  uint64_t bytes_read() const { return bytes_read_; }

  // Raw access for fast scanners: the unread bytes are data()[pos()..end()).
  const char* data() const { return buf_.data(); }
  size_t pos() const { return pos_; }
  size_t end() const { return end_; }
  void set_pos(size_t pos) { pos_ = pos; }
  // Reads more bytes behind end(), moving the unread bytes to the front of the
  // buffer first (so positions change) and growing it when it is full.
  // False when nothing more could be read: end of file or a read error.
  // Throws std::bad_alloc when a grown buffer would not fit the headroom.
  bool Fill();

 private:
  int fd_ = -1;
  std::vector<char> buf_;
  size_t pos_ = 0;
  size_t end_ = 0;
  bool failed_ = false;
  std::string error_;
  uint64_t file_size_ = 0;
  uint64_t bytes_read_ = 0;  // since the last Open or Rewind
};

// The lines of a file that start at a byte of a given range, read with
// pread: two threads may each read a range of the same open file. A line
// belongs to the range its first byte lies in, so ranges side by side
// give every line once.
class LineRegion {
 public:
  static constexpr size_t kPadding = FileReader::kPadding;

  // Reads the lines that start in [from, to) of the file open as fd, whose
  // size was file_size when it was opened. A range that reaches file_size
  // goes on to the file's end, and its last line needs no line end. True
  // when all was read; false on a read error or a file that ended before
  // file_size, and then [begin, end) holds the lines complete before the
  // failure. Throws std::bad_alloc when a line does not fit the headroom.
  bool Read(int fd, uint64_t from, uint64_t to, uint64_t file_size);
  // Room for ranges of `bytes` and their last lines, so that Read need not
  // copy what it read to a bigger buffer. Throws std::bad_alloc.
  void Reserve(size_t bytes);

  // The lines read are data()[begin()..end()), followed by at least
  // kPadding readable bytes; final: they end with the file's end.
  const char* data() const { return buf_.get(); }
  size_t begin() const { return begin_; }
  size_t end() const { return end_; }
  bool final() const { return final_; }
  const std::string& error() const { return error_; }

 private:
  enum class Got { kAll, kEnd, kFailed };
  // Appends up to n bytes of the file, which start at byte start + size_.
  Got Fetch(int fd, uint64_t start, size_t n);
  // A failure after size_ bytes: the lines complete before it stay.
  bool Failed(size_t line_end_from);
  bool Shrunk();

  void Grow(size_t need);

  SpareBytes buf_;
  size_t size_ = 0;  // bytes read into buf_
  size_t begin_ = 0;
  size_t end_ = 0;
  bool final_ = false;
  std::string error_;
};

}  // namespace core

#endif  // MARVESK_CORE_LINEREADER_H_
