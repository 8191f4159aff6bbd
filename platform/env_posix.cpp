// POSIX side of the file layer: durable flush and the two kinds of rename.
#include <cstdio>
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

int ReplaceAtomically(const char* from, const char* to) {
  if (InjectFault()) return -1;
  return std::rename(from, to) == 0 ? 0 : -1;
}

int RenameNoReplace(const char* from, const char* to) {
  if (InjectFault()) return -1;
  // link() refuses an existing target, so no window exists in which `to` could be replaced.
  if (::link(from, to) != 0) return -1;
  ::unlink(from);
  return 0;
}

bool Exists(const char* name) {
  struct stat st;
  return ::stat(name, &st) == 0;
}

}  // namespace fileio
