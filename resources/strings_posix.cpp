// LoadText away from Windows: the executable's string table, extracted from the resource
// script at build time (tools/host_rcstrings.cpp), so tests and tools see the same bytes that
// LoadStringA returns on Windows.
#include "resources/strings.h"

#include <cstring>

namespace {

struct StringEntry {
  unsigned id;
  const char* text;
};

const StringEntry kStrings[] = {
#include "string_table.inc"
};

}  // namespace

int LoadText(unsigned id, char* buf, int cap) {
  if (buf == nullptr || cap <= 0) return 0;
  for (const StringEntry& entry : kStrings) {
    if (entry.id != id) continue;
    size_t length = std::strlen(entry.text);
    if (length > static_cast<size_t>(cap - 1)) length = static_cast<size_t>(cap - 1);
    std::memcpy(buf, entry.text, length);
    buf[length] = '\0';
    return static_cast<int>(length);
  }
  buf[0] = '\0';
  return 0;
}
