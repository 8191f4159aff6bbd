// Arbitrary recipe entries (offsets, title, file name) over arbitrary recipe bases: a fetch
// returns the whole slice (cut at 16,384 bytes) or, when the slice cannot be read whole, the
// error text with the entry's title and file name; never part of a recipe, never bytes from
// outside the slice (an end before the start is no slice at all).
//
// Input: byte 0 picks the file name and how the offsets are read, bytes 1-8 are the raw start
// and end, byte 9 the title's length, then the title and the bytes of the recipe base. By
// default the offsets are folded into the file's size, so most inputs name a slice near it;
// some inputs repeat the base's bytes past 16 KiB so that the cap is reached.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "catalogue/catalogue.h"
#include "fuzz/fuzz_folder.h"
#include "resources/resource.h"
#include "resources/strings.h"

namespace {

constexpr char kTarget[] = "fetch_fuzz";

void Check(bool ok, const char* what) { fuzzfolder::Check(ok, kTarget, what); }

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The error text the user must see: string `id` with the title and the file name.
std::string ErrorText(unsigned id, const char* title, const char* file) {
  char format[128];
  LoadText(id, format, sizeof format);
  std::string out;
  int used = 0;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += used++ == 0 ? title : file;
      ++p;
    } else {
      out += *p;
    }
  }
  return out.substr(0, kRecipeTextCap);
}

// An exact-size heap copy, so that reading past the terminator is caught.
char* HeapText(const std::string& s) {
  char* p = static_cast<char*>(std::malloc(s.size() + 1));
  std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  return fuzzfolder::Initialize(argc, argv, kTarget);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  const uint8_t how = data[0];
  uint32_t start = Le32(data + 1);
  uint32_t end = Le32(data + 5);
  size_t titleLen = data[9];
  if (titleLen > size - 10) titleLen = size - 10;
  const std::string title(reinterpret_cast<const char*>(data + 10), titleLen);
  std::string base(reinterpret_cast<const char*>(data + 10 + titleLen), size - 10 - titleLen);

  // Past the cap: the base's bytes again and again, up to 16,000 .. 81,535 bytes.
  if ((how & 0x10) && !base.empty()) {
    const size_t want = 16000 + (end & 0xFFFF);
    while (base.size() < want) base += base.substr(0, want - base.size());
  }
  if (!(how & 0x08)) {
    // Near the file: starts in 0 .. size + 1, ends up to two bytes past the file or (with
    // 0x20) up to two bytes before the start.
    const uint32_t fileSize = static_cast<uint32_t>(base.size());
    start %= fileSize + 2;
    end = (how & 0x20) ? start - end % 3 : start + end % (fileSize - start + 3);
  }

  std::remove("Gourmix.Dat");
  std::remove("Autre.Dat");
  fuzzfolder::PutFile("Gourmix.Dat", base.data(), base.size());
  fuzzfolder::PutFile("Autre.Dat", base.data(), base.size());
  static const std::string kLongName(300, 'n');
  const char* names[] = {kSharedDataFile, "Autre.Dat", "Absent.Dat", "", ".", kLongName.c_str(),
                         "./Gourmix.Dat", kSharedDataFile};
  const char* name = names[how & 7];
  const bool isBase = (how & 7) != 2 && (how & 7) != 3 && (how & 7) != 4 && (how & 7) != 5;

  RecipeEntry entry = {};
  entry.title = HeapText(title);
  entry.dataFile = name == kSharedDataFile ? kSharedDataFile : HeapText(name);
  entry.recipeId = 1;
  entry.textStart = start;
  entry.textEnd = end;

  // Whatever a previous fetch left must not show through.
  std::memset(RecipeTextBuffer, 'Z', sizeof RecipeTextBuffer);
  const char* text = FetchRecipeText(&entry);
  Check(text == RecipeTextBuffer, "result is not the text buffer");

  uint32_t length = end - start;
  if (length > kRecipeTextCap) length = kRecipeTextCap;
  FILE* probe = std::fopen(name, "rb");
  const bool opens = probe != nullptr;
  if (probe) std::fclose(probe);
  const bool whole = isBase && end >= start && length > 0 && start <= 0x7FFFFFFFu &&
                     uint64_t(start) + length <= base.size();

  if (!opens) {
    Check(text == ErrorText(IDS_OPEN_ERROR, entry.title, entry.dataFile),
          "a file that cannot be opened does not give the opening error text");
  } else if (!whole) {
    Check(text == ErrorText(IDS_READ_ERROR, entry.title, entry.dataFile),
          "a slice that cannot be read whole does not give the reading error text");
  } else {
    Check(std::memcmp(text, base.data() + start, length) == 0, "slice read wrong");
    Check(text[length] == '\0', "slice not ended right after its last byte");
  }

  std::free(entry.title);
  if (entry.dataFile != kSharedDataFile) std::free(const_cast<char*>(entry.dataFile));
  return 0;
}
