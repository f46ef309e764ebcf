#include "core/FileIo.h"

#include <unistd.h>

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
