// Windows side of the file layer: durable flush and the two kinds of rename.
#include <windows.h>
#include <io.h>
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

}  // namespace fileio
