// File and memory calls on the user's data (index, recipe bases, memo store).
//
// Every call that can fail goes through here, so that tests can make the n-th call fail and
// check that what was stored before is still whole. The functions behave like their C library
// namesakes; the two rename operations are the only ones that differ per platform
// (env_posix.cpp, env_windows.cpp).
#ifndef SAUCELINS_PLATFORM_FILEIO_H
#define SAUCELINS_PLATFORM_FILEIO_H

#include <cstddef>
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
int Close(FILE* f);
int Remove(const char* name);
// Replaces `to` by `from` in one step: afterwards `to` is either the old file or the new one,
// never missing. 0 on success; on failure both files are as they were.
int ReplaceAtomically(const char* from, const char* to);
// Renames `from` to `to` only when no file named `to` exists; 0 on success.
int RenameNoReplace(const char* from, const char* to);
bool Exists(const char* name);

void* Malloc(size_t n);
void* Calloc(size_t count, size_t size);
void* Realloc(void* p, size_t n);
void Free(void* p);
char* StrDup(const char* s);

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
