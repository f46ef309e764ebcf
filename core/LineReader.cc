#include "core/LineReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/FileIo.h"
#include "core/Memory.h"

namespace core {
namespace {

constexpr size_t kChunk = size_t{1} << 20;
constexpr char kShrunkText[] = "the file became shorter while it was read";
constexpr size_t kLineSlack = size_t{64} << 10;

// Appends like std::string::append, but a line that outgrows the headroom
// fails with std::bad_alloc before the system would kill the program for it.
void AppendChecked(std::string* line, const char* p, size_t n) {
  const size_t need = line->size() + n;
  if (need > line->capacity()) {
    const size_t cap = std::max(need, line->capacity() * 2);
    if (cap > kUncheckedLineBytes) ReserveMemory(cap);
    line->reserve(cap);
  }
  line->append(p, n);
}

}  // namespace

FileReader::~FileReader() { Close(); }

bool FileReader::Open(const std::string& path) {
  Close();
  failed_ = false;
  error_.clear();
  // Without O_NONBLOCK a FIFO that nobody writes to would keep the open
  // from returning, for good.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  // Only regular files: a pipe may stall any read, a device may never end.
  struct stat st {};
  const int stat_error = ::fstat(fd_, &st) == 0 ? 0 : errno;
  if (stat_error != 0 || !S_ISREG(st.st_mode)) {
    error_ = std::strerror(stat_error ? stat_error : S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    Close();
    return false;
  }
  ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
  file_size_ = static_cast<uint64_t>(st.st_size);
  bytes_read_ = 0;
  if (buf_.size() < kChunk + kPadding) buf_.assign(kChunk + kPadding, 0);
  pos_ = end_ = 0;
  return true;
}

bool FileReader::Rewind() {
  if (fd_ < 0) return false;
  if (::lseek(fd_, 0, SEEK_SET) != 0) {
    failed_ = true;
    error_ = std::strerror(errno);
    return false;
  }
  pos_ = end_ = 0;
  bytes_read_ = 0;
  failed_ = false;
  return true;
}

void FileReader::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  pos_ = end_ = 0;
}

bool FileReader::Fill() {
  if (fd_ < 0 || failed_) return false;
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
  }
  if (end_ + kPadding >= buf_.size()) {
    // A line longer than the buffer: make room for it. Old and new buffer
    // live side by side for the copy.
    const size_t grown = (buf_.size() - kPadding) * 2 + kPadding;
    ReserveMemory(grown);
    buf_.resize(grown);
  }
  for (;;) {
    const ssize_t r = SysRead(fd_, buf_.data() + end_, buf_.size() - kPadding - end_);
    if (r < 0) {
      if (errno == EINTR) continue;
      failed_ = true;
      error_ = std::strerror(errno);
      return false;
    }
    if (r == 0) {
      // The end came before the size the file had when it was opened: it
      // was cut while we read it, and its last line may be cut too.
      if (bytes_read_ < file_size_) {
        failed_ = true;
        error_ = kShrunkText;
      }
      return false;
    }
    end_ += static_cast<size_t>(r);
    bytes_read_ += static_cast<uint64_t>(r);
    std::memset(buf_.data() + end_, 0, kPadding);
    return true;
  }
}

void LineRegion::Reserve(size_t bytes) { Grow(bytes + kPadding); }

void LineRegion::Grow(size_t need) {
  if (need <= buf_.size()) return;
  // Room for the usual last line behind the range at once; a longer line
  // doubles it. Not zero-filled: only the bytes read are looked at.
  const size_t want = std::max(need + kLineSlack, buf_.size() * 2);
  ReserveMemory(want);
  SpareBytes bigger(want);
  if (size_) std::memcpy(bigger.get(), buf_.get(), size_);
  buf_ = std::move(bigger);
}

LineRegion::Got LineRegion::Fetch(int fd, uint64_t start, size_t n) {
  Grow(size_ + n + kPadding);
  Got got = Got::kAll;
  for (size_t done = 0; done < n;) {
    const ssize_t r = SysPread(fd, buf_.get() + size_, n - done, static_cast<off_t>(start + size_));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      error_ = std::strerror(errno);
      got = Got::kFailed;
      break;
    }
    if (r == 0) {
      got = Got::kEnd;
      break;
    }
    size_ += static_cast<size_t>(r);
    done += static_cast<size_t>(r);
  }
  std::memset(buf_.get() + size_, 0, kPadding);
  return got;
}

bool LineRegion::Failed(size_t line_end_from) {
  final_ = false;
  end_ = begin_;
  if (size_ > line_end_from) {
    const void* lf = ::memrchr(buf_.get() + line_end_from, '\n', size_ - line_end_from);
    if (lf) end_ = static_cast<size_t>(static_cast<const char*>(lf) - buf_.get()) + 1;
  }
  return false;
}

bool LineRegion::Shrunk() {
  error_ = kShrunkText;
  return Failed(begin_);
}

bool LineRegion::Read(int fd, uint64_t from, uint64_t to, uint64_t file_size) {
  size_ = begin_ = end_ = 0;
  final_ = false;
  error_.clear();
  const bool last = to >= file_size;
  // From the byte before: whether a line starts at `from` is told by it.
  const uint64_t start = from == 0 ? 0 : from - 1;
  const uint64_t own = last ? (file_size > start ? file_size - start : 0) : to - start;
  Got got = Fetch(fd, start, own);
  while (last && got == Got::kAll) got = Fetch(fd, start, std::max<size_t>(size_, 4096));
  const char* const buf = buf_.get();
  // Where the first line that starts in the range begins; lines starting at
  // `to` or later are the next range's.
  const size_t range = last ? size_ : std::min<size_t>(size_, own);
  if (from > 0) {
    const void* lf = range > 1 ? std::memchr(buf, '\n', range - 1) : nullptr;
    if (!lf) {
      // No line starts here (a line of the range before covers it), or
      // none before the failure.
      end_ = begin_ = size_;
      if (got == Got::kFailed) return false;
      if (got == Got::kEnd && start + size_ < file_size) return Shrunk();
      final_ = last;
      return true;
    }
    begin_ = static_cast<size_t>(static_cast<const char*>(lf) - buf) + 1;
  }
  if (got == Got::kFailed) return Failed(begin_);
  if (got == Got::kEnd && start + size_ < file_size) return Shrunk();
  if (last) {
    end_ = size_;
    final_ = true;
    return true;
  }
  // The range's last line goes on up to the LF at its last byte or after.
  for (size_t look = static_cast<size_t>(own - 1);;) {
    const void* lf = std::memchr(buf_.get() + look, '\n', size_ - look);
    if (lf) {
      end_ = static_cast<size_t>(static_cast<const char*>(lf) - buf_.get()) + 1;
      return true;
    }
    if (got == Got::kEnd) {
      if (start + size_ < file_size) return Shrunk();
      // The line ends the file.
      end_ = size_;
      final_ = true;
      return true;
    }
    look = size_;
    got = Fetch(fd, start, std::max<size_t>(size_, 4096));
    if (got == Got::kFailed) return Failed(begin_);
  }
}

bool FileReader::AtEof() {
  if (pos_ == end_ && !Fill()) return true;
  return buf_[pos_] == kCtrlZ;
}

void FileReader::ReadLine(std::string* line) {
  line->clear();
  if (AtEof()) return;
  bool skipping = false;  // behind a Ctrl-Z: the rest of the line is dropped
  for (;;) {
    if (pos_ == end_ && !Fill()) return;
    const char* p = buf_.data() + pos_;
    const size_t avail = end_ - pos_;
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', avail));
    const size_t seg = lf ? static_cast<size_t>(lf - p) : avail;
    if (!skipping) {
      const char* z = static_cast<const char*>(std::memchr(p, kCtrlZ, seg));
      const size_t take = z ? static_cast<size_t>(z - p) : seg;
      for (size_t i = 0; i < take;) {
        const char* cr = static_cast<const char*>(std::memchr(p + i, '\r', take - i));
        const size_t stop = cr ? static_cast<size_t>(cr - p) : take;
        AppendChecked(line, p + i, stop - i);
        i = stop + 1;
      }
      if (z) skipping = true;
    }
    pos_ += seg;
    if (lf) {
      ++pos_;
      return;
    }
  }
}

}  // namespace core
