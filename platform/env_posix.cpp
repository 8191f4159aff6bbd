// POSIX side of the file layer: durable flush, the two kinds of rename, exclusive creation,
// permissions and the lock between programs.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fileio.h"

namespace fileio {

bool InjectFault();

int Flush(FILE* f) {
  if (InjectFault()) return EOF;
  if (std::fflush(f) != 0) return EOF;
  return ::fsync(::fileno(f)) == 0 ? 0 : EOF;
}

namespace {

// A rename is on disk only once the folder that holds the names is: syncing the file itself
// does not carry its new name. A folder that cannot be opened, or a file system that offers no
// sync of folders (EINVAL), leaves nothing more to be done; any other failure is reported.
int SyncFolderOf(const char* name) {
  const char* slash = std::strrchr(name, '/');
  const std::string folder = !slash ? "." : slash == name ? "/" : std::string(name, slash);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  const int synced = ::fsync(fd) == 0 || errno == EINVAL ? 0 : -1;
  ::close(fd);
  return synced;
}

}  // namespace

int ReplaceAtomically(const char* from, const char* to) {
  if (InjectFault()) return -1;
  if (std::rename(from, to) != 0) return -1;
  return SyncFolderOf(to);
}

int RenameNoReplace(const char* from, const char* to) {
  if (InjectFault()) return -1;
  // link() refuses an existing target, so no window exists in which `to` could be replaced.
  if (::link(from, to) != 0) return -1;
  if (::unlink(from) != 0) {
    // Left so, the temporary name would stay as a second name of the file, which nothing
    // would ever remove: the link is taken back, and the rename did not happen. Should that
    // fail too, the file is in place under `to`, as asked, and keeps both names.
    if (::unlink(to) == 0) return -1;
  }
  return SyncFolderOf(to);
}

bool Exists(const char* name) {
  struct stat st;
  return ::stat(name, &st) == 0;
}

FILE* CreateNew(const char* name) {
  if (InjectFault()) {
    errno = EIO;
    return nullptr;
  }
  int fd = ::open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return nullptr;
  FILE* f = ::fdopen(fd, "wb+");
  if (!f) {
    ::close(fd);
    ::unlink(name);
  }
  return f;
}

int CopyPermissions(const char* from, const char* to) {
  if (InjectFault()) return -1;
  struct stat st;
  if (::stat(from, &st) != 0) return -1;
  return ::chmod(to, st.st_mode & 07777) == 0 ? 0 : -1;
}

namespace {
long NowMs() {
  timespec ts;
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
constexpr long kLockPollMs = 20;
}  // namespace

FileLock::Result FileLock::Acquire(const char* name, Mode mode, int waitMs) {
  Release();
  const bool exclusive = mode == kExclusive;
  int fd = exclusive ? ::open(name, O_RDWR | O_CREAT | O_CLOEXEC, 0666)
                     : ::open(name, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kUnavailable;
  // One byte at offset 0 stands for the whole store. The file is never written, so the lock
  // is the only thing it carries.
  struct flock region = {};
  region.l_type = exclusive ? F_WRLCK : F_RDLCK;
  region.l_whence = SEEK_SET;
  region.l_start = 0;
  region.l_len = 1;
  const long deadline = NowMs() + waitMs;
  for (;;) {
    if (::fcntl(fd, F_SETLK, &region) == 0) {
      handle_ = fd;
      return kLocked;
    }
    if (errno != EACCES && errno != EAGAIN && errno != EINTR) {
      ::close(fd);
      return kUnavailable;  // no locks on this file system
    }
    if (NowMs() >= deadline) {
      ::close(fd);
      return kBusy;
    }
    ::usleep(kLockPollMs * 1000);
  }
}

void FileLock::Release() {
  if (handle_ == kNone) return;
  // Closing the only descriptor this process has on the file releases its locks.
  ::close(static_cast<int>(handle_));
  handle_ = kNone;
}

long CurrentProcessId() { return static_cast<long>(::getpid()); }

}  // namespace fileio
