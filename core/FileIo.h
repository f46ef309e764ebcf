// The system calls the core's file code reads and writes through. Tests
// install hooks here to make a read fail, come back short, or see a file
// shrink while it is read, and to make a write fail as on a full disk;
// without hooks the calls go straight to the system.
#ifndef MARVESK_CORE_FILEIO_H_
#define MARVESK_CORE_FILEIO_H_

#include <sys/types.h>

#include <cstddef>
#include <functional>

namespace core {

// Same contract as ::read / ::write / ::fsync (errno set on -1).
using ReadFn = std::function<ssize_t(int fd, void* buf, size_t n)>;
using WriteFn = std::function<ssize_t(int fd, const void* buf, size_t n)>;
using SyncFn = std::function<int(int fd)>;

ssize_t SysRead(int fd, void* buf, size_t n);
// As ::pread. With a read hook installed it seeks and reads through the
// hook, one call at a time, so that the hook sees the offset with lseek.
ssize_t SysPread(int fd, void* buf, size_t n, off_t offset);
ssize_t SysWrite(int fd, const void* buf, size_t n);
int SysFsync(int fd);

// Installs hooks for the life of the object; the previous ones come back
// afterwards. An empty function means the system call itself.
class ScopedFileIo {
 public:
  explicit ScopedFileIo(ReadFn read, WriteFn write = {}, SyncFn sync = {});
  ~ScopedFileIo();
  ScopedFileIo(const ScopedFileIo&) = delete;
  ScopedFileIo& operator=(const ScopedFileIo&) = delete;

 private:
  ReadFn saved_read_;
  WriteFn saved_write_;
  SyncFn saved_sync_;
};

}  // namespace core

#endif  // MARVESK_CORE_FILEIO_H_
