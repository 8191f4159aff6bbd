#include "platform/fileio.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace fileio {

namespace {
long g_count = 0;
long g_failAt = 0;
bool g_fired = false;
int g_lastOpenErrno = 0;

// True when this operation is the one a test asked to fail.
bool Inject() {
  ++g_count;
  if (g_failAt != 0 && g_count == g_failAt) {
    g_fired = true;
    return true;
  }
  return false;
}
}  // namespace

namespace fault {
void Arm(long failAt) {
  g_failAt = failAt <= 0 ? 0 : g_count + failAt;
  g_fired = false;
}
void Disarm() { g_failAt = 0; }
void ResetCount() {
  g_count = 0;
  g_failAt = 0;
  g_fired = false;
}
long Count() { return g_count; }
bool Fired() { return g_fired; }
}  // namespace fault

// Used by the platform files.
bool InjectFault() { return Inject(); }

FILE* Open(const char* name, const char* mode) {
  if (Inject()) {
    g_lastOpenErrno = EIO;
    errno = EIO;
    return nullptr;
  }
  errno = 0;
  FILE* f = std::fopen(name, mode);
  g_lastOpenErrno = f ? 0 : errno;
  return f;
}

int LastOpenErrno() { return g_lastOpenErrno; }

size_t Read(void* buf, size_t size, size_t count, FILE* f) {
  if (Inject()) return 0;
  return std::fread(buf, size, count, f);
}

size_t Write(const void* buf, size_t size, size_t count, FILE* f) {
  if (Inject()) return 0;
  return std::fwrite(buf, size, count, f);
}

int Seek(FILE* f, long offset, int whence) {
  if (Inject()) return -1;
  return std::fseek(f, offset, whence);
}

long Tell(FILE* f) {
  if (Inject()) return -1;
  return std::ftell(f);
}

char* Gets(char* buf, int cap, FILE* f) {
  if (Inject()) return nullptr;
  return std::fgets(buf, cap, f);
}

int Close(FILE* f) {
  if (Inject()) {
    // The stream must still be released, or the test leaks handles (and Windows keeps the
    // file locked); report the failure as fclose would.
    std::fclose(f);
    return EOF;
  }
  const bool failedBefore = std::ferror(f) != 0;
  const int result = std::fclose(f);
  return failedBefore ? EOF : result;
}

int Remove(const char* name) {
  if (Inject()) return -1;
  return std::remove(name);
}

void* Malloc(size_t n) {
  if (Inject()) return nullptr;
  return std::malloc(n);
}

void* Calloc(size_t count, size_t size) {
  if (Inject()) return nullptr;
  return std::calloc(count, size);
}

void* Realloc(void* p, size_t n) {
  if (Inject()) return nullptr;
  return std::realloc(p, n);
}

void Free(void* p) { std::free(p); }

char* StrDup(const char* s) {
  size_t n = std::strlen(s) + 1;
  char* d = static_cast<char*>(Malloc(n));
  if (d) std::memcpy(d, s, n);
  return d;
}

}  // namespace fileio
