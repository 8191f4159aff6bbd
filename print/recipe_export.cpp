#include "print/recipe_export.h"

#include <cstdio>
#include <cstring>

#include "app/cp1252.h"
#include "platform/fileio.h"

namespace {

bool IsRefusedInName(unsigned char c) {
  return c < 32 || std::strchr("\\/:*?\"<>|", c) != nullptr;
}

bool IsDeviceName(const std::string& stem) {
  std::string upper;
  for (char c : stem) upper += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  // The device names hold even with an extension after them: "CON.tarte" is CON too.
  upper = upper.substr(0, upper.find('.'));
  while (!upper.empty() && upper.back() == ' ') upper.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$"};
  for (const char* d : kDevices)
    if (upper == d) return true;
  return upper.size() == 4 && (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
         upper[3] >= '0' && upper[3] <= '9';
}

constexpr size_t kMaxStem = 196;  // 200 with ".txt"

}  // namespace

std::string WithMemo(const std::string& text, const std::string& memo, const std::string& heading) {
  std::string note = memo.substr(0, memo.find('\0'));
  if (note.find_first_not_of(" \t\r\n") == std::string::npos) return text;
  std::string out = text;
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += "\r\n";
  if (!out.empty()) out += "\r\n";
  out += heading;
  out += "\r\n";
  out += note;
  return out;
}

std::string ToCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else if (c != '\0') {
      out += c;
    }
  }
  return out;
}

std::u16string Cp1252ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  // Every Windows-1252 character lies in the Basic Multilingual Plane: one unit each.
  for (unsigned char c : text) out += static_cast<char16_t>(Cp1252ToUnicode(c));
  return out;
}

std::string FileNameForTitle(const std::string& title) {
  std::string stem;
  for (unsigned char c : title) stem += IsRefusedInName(c) ? '_' : static_cast<char>(c);
  if (stem.size() > kMaxStem) stem.resize(kMaxStem);
  while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) stem.pop_back();
  const size_t first = stem.find_first_not_of(' ');
  stem = first == std::string::npos ? std::string() : stem.substr(first);
  if (stem.empty()) stem = "Recette";
  if (IsDeviceName(stem)) stem += '_';
  return stem + ".txt";
}

bool SaveFileReplacing(const std::string& path, const std::string& bytes) {
  // A name beside the target, so that putting it in place is a rename within one folder.
  std::string temp;
  FILE* f = nullptr;
  for (int n = 0; n < 100 && !f; ++n) {
    temp = path + "." + std::to_string(n) + ".tmp";
    if (fileio::Exists(temp.c_str())) continue;
    f = fileio::Open(temp.c_str(), "wb");
    if (!f) return false;
  }
  if (!f) return false;
  bool ok = bytes.empty() || fileio::Write(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = fileio::Flush(f) == 0 && ok;
  ok = fileio::Close(f) == 0 && ok;
  if (ok && fileio::ReplaceAtomically(temp.c_str(), path.c_str()) == 0) return true;
  fileio::Remove(temp.c_str());
  return false;
}
