// Windows side of the file layer: durable flush, the two kinds of rename, exclusive creation
// and the lock between programs.
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cerrno>
#include <cstdio>

#include "platform/fileio.h"

namespace fileio {

bool InjectFault();

int Flush(FILE* f) {
  if (InjectFault()) return EOF;
  if (std::fflush(f) != 0) return EOF;
  return _commit(_fileno(f)) == 0 ? 0 : EOF;
}

int ReplaceAtomically(const char* from, const char* to) {
  if (InjectFault()) return -1;
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}

int RenameNoReplace(const char* from, const char* to) {
  if (InjectFault()) return -1;
  // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing target.
  return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) ? 0 : -1;
}

bool Exists(const char* name) {
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

FILE* CreateNew(const char* name) {
  if (InjectFault()) {
    errno = EIO;
    return nullptr;
  }
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
    return nullptr;
  }
  // From here the descriptor, then the stream, owns the handle.
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    DeleteFileA(name);
    return nullptr;
  }
  FILE* f = _fdopen(fd, "wb+");
  if (!f) {
    _close(fd);
    DeleteFileA(name);
  }
  return f;
}

int CopyPermissions(const char*, const char*) { return InjectFault() ? -1 : 0; }

FileLock::Result FileLock::Acquire(const char* name, Mode mode, int waitMs) {
  Release();
  const bool exclusive = mode == kExclusive;
  HANDLE h = CreateFileA(name, GENERIC_READ | (exclusive ? GENERIC_WRITE : 0),
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         exclusive ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return kUnavailable;
  // One byte at offset 0 stands for the whole store; the file itself is never written.
  const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  const DWORD start = GetTickCount();
  for (;;) {
    OVERLAPPED at = {};
    if (LockFileEx(h, flags, 0, 1, 0, &at)) {
      handle_ = reinterpret_cast<intptr_t>(h);
      return kLocked;
    }
    if (GetLastError() != ERROR_LOCK_VIOLATION) {
      CloseHandle(h);
      return kUnavailable;
    }
    if (GetTickCount() - start >= static_cast<DWORD>(waitMs)) {
      CloseHandle(h);
      return kBusy;
    }
    Sleep(20);
  }
}

void FileLock::Release() {
  if (handle_ == kNone) return;
  HANDLE h = reinterpret_cast<HANDLE>(handle_);
  OVERLAPPED at = {};
  UnlockFileEx(h, 0, 1, 0, &at);
  CloseHandle(h);
  handle_ = kNone;
}

long CurrentProcessId() { return static_cast<long>(GetCurrentProcessId()); }

}  // namespace fileio
