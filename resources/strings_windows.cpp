// LoadText on Windows: the string table of the running executable.
#include <windows.h>

#include "resources/strings.h"

int LoadText(unsigned id, char* buf, int cap) {
  // LoadStringA with a zero length would hand back a pointer to the resource instead.
  if (buf == nullptr || cap <= 0) return 0;
  int length = LoadStringA(GetModuleHandleA(nullptr), id, buf, cap);
  if (length <= 0) {
    buf[0] = '\0';
    return 0;
  }
  return length;
}
