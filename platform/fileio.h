// File and memory calls on the user's data (index, recipe bases, memo store).
//
// Every call that can fail goes through here, so that tests can make the n-th call fail and
// check that what was stored before is still whole. The functions behave like their C library
// namesakes; the two rename operations are the only ones that differ per platform
// (env_posix.cpp, env_windows.cpp).
#ifndef SAUCELINS_PLATFORM_FILEIO_H
#define SAUCELINS_PLATFORM_FILEIO_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace fileio {

FILE* Open(const char* name, const char* mode);
size_t Read(void* buf, size_t size, size_t count, FILE* f);
size_t Write(const void* buf, size_t size, size_t count, FILE* f);
int Seek(FILE* f, long offset, int whence);
long Tell(FILE* f);
// Reads one line (fgets semantics). Returns buf, or null at end of file or on error.
char* Gets(char* buf, int cap, FILE* f);
// Flushes the stream and asks the system to put the data on disk; 0 on success.
int Flush(FILE* f);
// Closes the stream. EOF also when an earlier write of the stream failed without anyone
// noticing: a flush inside a seek drops the buffered bytes it could not write, and fclose
// would then report nothing.
int Close(FILE* f);
int Remove(const char* name);
// Replaces `to` by `from` in one step: afterwards `to` is either the old file or the new one,
// never missing. 0 on success, once the new name is on disk; on failure both files are as
// they were, or, when only the folder could not be put on disk, the rename is made but might
// not outlast a crash.
int ReplaceAtomically(const char* from, const char* to);
// Renames `from` to `to` only when no file named `to` exists; 0 on success, as above.
int RenameNoReplace(const char* from, const char* to);
bool Exists(const char* name);
// Creates `name` empty, for reading and writing, only if no file of that name exists: the test
// and the creation are one step, so two programs can never both take the same name. Null when
// the name is taken (errno EEXIST) or the file cannot be made.
FILE* CreateNew(const char* name);
// Gives `to` the permission bits of `from` (POSIX; Windows has none to keep). 0 on success.
int CopyPermissions(const char* from, const char* to);

// A lock shared by readers and held by one writer at a time, between programs, on a file kept
// for that purpose only (fcntl record locks on POSIX, LockFileEx on Windows). Released when
// the object goes. Never counted by the fault injection below.
class FileLock {
 public:
  enum Mode { kShared, kExclusive };
  enum Result {
    kLocked,       // held until Release
    kBusy,         // another program held it for the whole wait
    kUnavailable,  // no lock to take: a reader found no lock file, or the file or the
                   // system refused a lock at all (a read-only folder, a share without locks)
  };
  FileLock() = default;
  ~FileLock() { Release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // Waits up to waitMs for the lock on `name`. A writer creates the file when it is missing;
  // a reader only uses one that exists.
  Result Acquire(const char* name, Mode mode, int waitMs);
  void Release();
  bool Held() const { return handle_ != kNone; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;  // a descriptor, or a HANDLE
};

void* Malloc(size_t n);
void* Calloc(size_t count, size_t size);
void* Realloc(void* p, size_t n);
void Free(void* p);
char* StrDup(const char* s);

// The running process's number.
long CurrentProcessId();

// errno of the last failed Open (EACCES tells "access refused" apart).
int LastOpenErrno();

// Fault injection for tests. Each fallible call above counts as one operation; when the
// counter reaches the armed number, that call fails as its C counterpart would (null, short
// count, -1, EOF) without doing anything. Not thread-safe; tests only.
namespace fault {
void Arm(long failAt);     // fail the failAt-th operation from now (1 = the next one)
void Disarm();             // no failures; the counter keeps counting
void ResetCount();
long Count();              // operations since the last ResetCount
bool Fired();              // whether the armed failure happened
}  // namespace fault

}  // namespace fileio

#endif
