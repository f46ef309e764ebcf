#include "core/FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "core/FileIo.h"

namespace core {
namespace {

constexpr size_t kWriteBuffer = size_t{1} << 20;

bool IsDelimiter(char c) { return c == '/' || c == '\\'; }

Result SystemError(Code code, int err) {
  const std::string text = std::strerror(err ? err : EIO);
  return Result::Error(code, text, text);
}

// Makes the folder's entries durable (after a rename into it). Best effort:
// the new file is in place already, so there is nothing left to undo.
void SyncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  SysFsync(fd);
  ::close(fd);
}

// File systems on a local disk, where writing past the page cache is
// plain: network ones send each such write on its own and wait for it,
// FUSE ones may not take it at all.
bool OnLocalDisk(int fd) {
  struct statfs fs {};
  if (::fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case 0xEF53:      // ext2, ext3, ext4
    case 0x58465342:  // XFS
    case 0x9123683E:  // Btrfs
    case 0xF2F52010:  // F2FS
      return true;
    default:
      return false;
  }
}

size_t NameMax(const std::string& dir) {
  const long n = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  return n > 0 ? static_cast<size_t>(n) : 255;
}

}  // namespace

bool FileExistsWait(const std::string& path) {
  std::error_code ec;
  const bool found =
      !path.empty() && std::filesystem::exists(std::filesystem::symlink_status(path, ec));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  return found && !ec;
}

std::string DirectoryPart(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsDelimiter(path[i - 1])) --i;
  if (i == 0) return {};
  if (i == 1) return std::string(path.substr(0, 1));  // the root directory
  return std::string(path.substr(0, i - 1));
}

std::string NamePart(std::string_view path) {
  size_t i = path.size();
  while (i > 0 && !IsDelimiter(path[i - 1])) --i;
  return std::string(path.substr(i));
}

std::string UpperExt(std::string_view path) {
  if (path.empty()) return {};
  const size_t i = path.find_last_of(".\\/:");
  if (i == std::string_view::npos || path[i] != '.') return {};
  std::string ext(path.substr(i));
  for (char& c : ext) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return ext;
}

AtomicFileWriter::~AtomicFileWriter() { Abort(); }

std::string TempPattern(const std::string& target, size_t name_max) {
  static constexpr std::string_view kSuffix = ".XXXXXX";
  std::string dir = DirectoryPart(target);
  if (dir.empty()) dir = ".";
  std::string name = NamePart(target);
  const size_t room = name_max > kSuffix.size() + 1 ? name_max - kSuffix.size() - 1 : 0;
  if (name.size() > room) {
    size_t cut = room;
    // Never leave half a UTF-8 letter at the end.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return (dir == "/" ? std::string("/") : dir + "/") + "." + name + std::string(kSuffix);
}

AlignedBytes NewAlignedBytes(size_t bytes) {
  return AlignedBytes(
      static_cast<char*>(std::aligned_alloc(AtomicFileWriter::kDirectAlign, bytes)));
}

Result AtomicFileWriter::Open(const std::string& target, bool direct) {
  Abort();
  failed_ = false;
  direct_ = false;
  error_ = 0;
  used_ = 0;
  if (!buffer_) {
    buffer_ = NewAlignedBytes(kWriteBuffer);
    if (!buffer_) return SystemError(Code::kCreateFailed, ENOMEM);
    capacity_ = kWriteBuffer;
  }
  target_ = target;
  std::string real = target;
  struct stat st {};
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    in_place_ = true;
    // A FIFO nobody reads from fails here instead of blocking for good.
    fd_ = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) return SystemError(Code::kCreateFailed, errno);
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    return Result::Ok();
  }
  if (exists) {
    // Replace what a link points to, not the link.
    std::error_code ec;
    auto canonical = std::filesystem::canonical(target, ec);
    if (!ec) real = canonical.string();
  }
  in_place_ = false;
  std::string dir = DirectoryPart(real);
  if (dir.empty()) dir = ".";
  const std::string pattern = TempPattern(real, NameMax(dir));
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) return SystemError(Code::kCreateFailed, errno);
  temp_ = name.data();
  dir_ = dir;
  // mkstemp makes the file private; give it the mode the target has, or the
  // mode a newly created file would get.
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  ::fchmod(fd_, mode);
  target_ = real;
  if (direct && OnLocalDisk(fd_)) {
    const int flags = ::fcntl(fd_, F_GETFL);
    direct_ = flags >= 0 && ::fcntl(fd_, F_SETFL, flags | O_DIRECT) == 0;
  }
  return Result::Ok();
}

bool AtomicFileWriter::LeaveDirect() {
  direct_ = false;
  const int flags = ::fcntl(fd_, F_GETFL);
  if (flags < 0 || ::fcntl(fd_, F_SETFL, flags & ~O_DIRECT) != 0) {
    error_ = errno;
    return false;
  }
  return true;
}

bool AtomicFileWriter::Put(const char* p, size_t n) {
  while (n > 0) {
    const ssize_t w = SysWrite(fd_, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      // Refused past the cache (alignment the device wants bigger, or a
      // short write before that left an odd offset): through the cache.
      if (errno == EINVAL && direct_ && LeaveDirect()) continue;
      error_ = errno;
      failed_ = true;
      return false;
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool AtomicFileWriter::Flush() {
  if (failed_) return false;
  if (used_ && !Put(buffer_.get(), used_)) return false;
  used_ = 0;
  return true;
}

bool AtomicFileWriter::WriteSlow(const char* data, size_t n) {
  if (fd_ < 0) return false;
  if (!direct_) {
    if (!Flush()) return false;
    if (n >= capacity_) return Put(data, n);
    std::memcpy(buffer_.get(), data, n);
    used_ = n;
    return true;
  }
  while (n > 0) {
    if (used_ == 0 && n >= kDirectAlign && reinterpret_cast<uintptr_t>(data) % kDirectAlign == 0) {
      const size_t whole = n & ~(kDirectAlign - 1);
      if (!Put(data, whole)) return false;
      data += whole;
      n -= whole;
      continue;
    }
    const size_t take = std::min(n, capacity_ - used_);
    std::memcpy(buffer_.get() + used_, data, take);
    used_ += take;
    data += take;
    n -= take;
    if (used_ == capacity_ && !Flush()) return false;
  }
  return true;
}

Result AtomicFileWriter::Commit(bool sync) {
  if (fd_ < 0) return SystemError(Code::kWriteFailed, EBADF);
  // The last piece is rarely whole: it goes through the cache.
  if (direct_ && !failed_ && !LeaveDirect()) failed_ = true;
  bool ok = Flush();
  if (ok && sync && !in_place_ && SysFsync(fd_) != 0) {
    error_ = errno;
    ok = false;
  }
  if (::close(fd_) != 0 && ok) {
    error_ = errno;
    ok = false;
  }
  fd_ = -1;
  if (ok && !in_place_ && ::rename(temp_.c_str(), target_.c_str()) != 0) {
    error_ = errno;
    ok = false;
  }
  if (!ok && !in_place_ && !temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  if (!ok) return SystemError(Code::kWriteFailed, error_);
  if (sync && !in_place_) SyncDirectory(dir_);
  return Result::Ok();
}

void AtomicFileWriter::Abort() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

Result ReadWholeFile(const std::string& path, std::string* out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return SystemError(Code::kOpenFailed, errno);
  out->clear();
  char buf[65536];
  for (;;) {
    const ssize_t r = SysRead(fd, buf, sizeof buf);
    if (r < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      ::close(fd);
      return SystemError(Code::kReadFailed, err);
    }
    if (r == 0) break;
    out->append(buf, static_cast<size_t>(r));
  }
  ::close(fd);
  return Result::Ok();
}

FileStamp StampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
          static_cast<int64_t>(st.st_size),
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

}  // namespace core
