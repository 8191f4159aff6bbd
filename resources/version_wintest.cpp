// Reads the version resources of the two shipped executables, built beside this test program,
// as Explorer's Properties does: the numbers and texts must be the build's version, and each
// file must name itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "saucelins_version.h"

namespace {

// The folder of this test executable, with its final backslash.
std::string OwnFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

class VersionInfo {
 public:
  explicit VersionInfo(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return;
    data_.resize(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data_.data())) data_.clear();
  }

  bool Present() const { return !data_.empty(); }

  const VS_FIXEDFILEINFO* Fixed() const {
    void* value = nullptr;
    UINT length = 0;
    if (!Present() || !VerQueryValueA(data_.data(), "\\", &value, &length)) return nullptr;
    return length >= sizeof(VS_FIXEDFILEINFO) ? static_cast<VS_FIXEDFILEINFO*>(value) : nullptr;
  }

  // The first language and code page of the translation list, as 0xLLLLCCCC; 0 when none.
  DWORD Translation() const {
    void* value = nullptr;
    UINT length = 0;
    if (!Present() || !VerQueryValueA(data_.data(), "\\VarFileInfo\\Translation", &value, &length) ||
        length < 4) {
      return 0;
    }
    const WORD* pair = static_cast<const WORD*>(value);
    return (static_cast<DWORD>(pair[0]) << 16) | pair[1];
  }

  // A text of the string block named by the translation list; "" when missing.
  std::wstring Text(const char* name) const {
    wchar_t query[128];
    DWORD t = Translation();
    wsprintfW(query, L"\\StringFileInfo\\%04X%04X\\%S", t >> 16, t & 0xFFFF, name);
    void* value = nullptr;
    UINT length = 0;
    if (!Present() || !VerQueryValueW(data_.data(), query, &value, &length) || length == 0) {
      return L"";
    }
    return static_cast<const wchar_t*>(value);
  }

 private:
  std::vector<char> data_;
};

std::wstring Wide(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }

TEST(VersionResource, BothExecutablesCarryTheBuildVersionAndTheirOwnName) {
  const DWORD kVersionHigh = MAKELONG(SAUCELINS_VERSION_MINOR, SAUCELINS_VERSION_MAJOR);
  const DWORD kVersionLow = MAKELONG(0, SAUCELINS_VERSION_PATCH);
  std::wstring descriptions[2];
  const char* const kFiles[] = {"saucelins.exe", "saucelins-cli.exe"};
  for (int i = 0; i < 2; ++i) {
    const char* file = kFiles[i];
    SCOPED_TRACE(file);
    VersionInfo info(OwnFolder() + file);
    ASSERT_TRUE(info.Present()) << "no version resource";
    const VS_FIXEDFILEINFO* fixed = info.Fixed();
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, kVersionHigh);
    EXPECT_EQ(fixed->dwFileVersionLS, kVersionLow);
    EXPECT_EQ(fixed->dwProductVersionMS, kVersionHigh);
    EXPECT_EQ(fixed->dwProductVersionLS, kVersionLow);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);  // neither debug nor prerelease

    EXPECT_EQ(info.Translation(), 0x040C04B0u);  // French, Unicode
    EXPECT_EQ(info.Text("FileVersion"), Wide(SAUCELINS_VERSION));
    EXPECT_EQ(info.Text("ProductVersion"), Wide(SAUCELINS_VERSION));
    EXPECT_EQ(info.Text("ProductName"), L"Saucelins");
    EXPECT_EQ(info.Text("OriginalFilename"), Wide(file));
    descriptions[i] = info.Text("FileDescription");
    EXPECT_GT(descriptions[i].size(), 10u);
  }
  EXPECT_NE(descriptions[0], descriptions[1]);
}

}  // namespace
