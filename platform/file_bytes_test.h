// Whole files as bytes, for the tests on both systems: what a test writes before the program
// reads it, and what it reads back after the program has written.
#ifndef SAUCELINS_PLATFORM_FILE_BYTES_TEST_H
#define SAUCELINS_PLATFORM_FILE_BYTES_TEST_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace testfiles {

// Makes `bytes` the whole of file `name`.
inline void Put(const std::string& name, const std::string& bytes) {
  FILE* f = std::fopen(name.c_str(), "wb");
  ASSERT_NE(f, nullptr) << "cannot write " << name;
  const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), f);
  const int closed = std::fclose(f);
  EXPECT_TRUE(written == bytes.size() && closed == 0) << "cannot write " << name;
}

// The whole of file `name`, or `missing` when it cannot be opened: a test that must tell an
// absent file from an empty one passes a marker.
inline std::string Slurp(const std::string& name, const char* missing = "") {
  FILE* f = std::fopen(name.c_str(), "rb");
  if (!f) return missing;
  std::string bytes;
  char block[4096];
  for (size_t n; (n = std::fread(block, 1, sizeof block, f)) > 0;) bytes.append(block, n);
  std::fclose(f);
  return bytes;
}

}  // namespace testfiles

#endif
