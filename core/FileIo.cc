#include "core/FileIo.h"

#include <unistd.h>

#include <mutex>
#include <utility>

namespace core {
namespace {

struct Hooks {
  ReadFn read;
  WriteFn write;
  SyncFn sync;
};

Hooks& Installed() {
  static Hooks hooks;
  return hooks;
}

}  // namespace

ssize_t SysRead(int fd, void* buf, size_t n) {
  const Hooks& h = Installed();
  return h.read ? h.read(fd, buf, n) : ::read(fd, buf, n);
}

ssize_t SysPread(int fd, void* buf, size_t n, off_t offset) {
  const Hooks& h = Installed();
  if (!h.read) return ::pread(fd, buf, n, offset);
  static std::mutex one_at_a_time;
  std::lock_guard<std::mutex> lock(one_at_a_time);
  if (::lseek(fd, offset, SEEK_SET) != offset) return -1;
  return h.read(fd, buf, n);
}

ssize_t SysWrite(int fd, const void* buf, size_t n) {
  const Hooks& h = Installed();
  return h.write ? h.write(fd, buf, n) : ::write(fd, buf, n);
}

int SysFsync(int fd) {
  const Hooks& h = Installed();
  return h.sync ? h.sync(fd) : ::fsync(fd);
}

ScopedFileIo::ScopedFileIo(ReadFn read, WriteFn write, SyncFn sync) {
  Hooks& h = Installed();
  saved_read_ = std::exchange(h.read, std::move(read));
  saved_write_ = std::exchange(h.write, std::move(write));
  saved_sync_ = std::exchange(h.sync, std::move(sync));
}

ScopedFileIo::~ScopedFileIo() {
  Hooks& h = Installed();
  h.read = std::move(saved_read_);
  h.write = std::move(saved_write_);
  h.sync = std::move(saved_sync_);
}

}  // namespace core
