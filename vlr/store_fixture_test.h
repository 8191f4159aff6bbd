// Helpers shared by the record-store and memo tests: a fresh working folder per test and
// whole-file byte access.
#ifndef SAUCELINS_VLR_STORE_FIXTURE_TEST_H
#define SAUCELINS_VLR_STORE_FIXTURE_TEST_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "platform/fileio.h"
#include "platform/temp_folder_test.h"
#include "vlr/vlr.h"
#include "vlr/vlr_format.h"

namespace vlrtest {

typedef std::vector<uint8_t> Bytes;

// Every test runs in its own empty folder, as the program runs in the catalogue's folder.
class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fileio::fault::ResetCount();
    ASSERT_TRUE(folder_.Enter());
  }
  void TearDown() override { fileio::fault::ResetCount(); }
  testfiles::TempFolder folder_{"vlr_test"};
};

inline Bytes ReadAll(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteAll(const char* name, const Bytes& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline bool FileExists(const char* name) { return std::filesystem::exists(name); }

inline uint32_t U32At(const Bytes& b, size_t at) { return vlr::DecodeFixed32(&b[at]); }
inline int32_t I32At(const Bytes& b, size_t at) { return vlr::DecodeFixed32Signed(&b[at]); }
inline void PutU32(Bytes* b, size_t at, uint32_t v) { vlr::EncodeFixed32(&(*b)[at], v); }

// File offset of directory entry i in a store whose directory is at the usual place.
inline size_t EntryAt(uint32_t i) { return 62 + 16 * static_cast<size_t>(i); }

// Every record in use, by key, as stored (bytes, NUL included). Fails the test when the
// store cannot be opened or a record cannot be read.
inline std::map<uint32_t, std::string> StoredRecords(const char* name, bool* opened) {
  std::map<uint32_t, std::string> records;
  VlrStatus status;
  VlrFile* file = VlrOpen(name, "rb", &status);
  *opened = file != nullptr;
  if (!file) return records;
  for (uint32_t i = 0; i < file->count; ++i) {
    if (!(file->directory[i].flags & vlr::kFlagInUse)) continue;
    std::string data(vlr::kMaxRecordLimit, '\0');
    VlrRecord record = {0, &data[0], vlr::kMaxRecordLimit};
    EXPECT_EQ(VlrRead(file, &record, static_cast<int32_t>(i)), kVlrOk) << "entry " << i;
    data.resize(record.length > 0 ? record.length : 0);
    EXPECT_EQ(records.count(record.key), 0u) << "key " << record.key << " twice";
    records[record.key] = data;
  }
  VlrClose(file);
  return records;
}

inline std::string Memo(const std::string& text) { return text + std::string(1, '\0'); }

// In place, a shorter record can be fully written while its entry still has the old length:
// the memo then reads as the new text followed by the old one's tail after the NUL. The
// memo dialog shows text up to the NUL, so that is the new memo.
inline std::string AsShown(const std::string& record) {
  return record.substr(0, record.find('\0'));
}

// Whether two stores hold the same memos under the same keys: byte for byte, or with
// `textOnly` as the memo dialog would show them.
inline bool SameMemos(const std::map<uint32_t, std::string>& a,
                      const std::map<uint32_t, std::string>& b, bool textOnly) {
  if (a.size() != b.size()) return false;
  for (const auto& kv : a) {
    auto it = b.find(kv.first);
    if (it == b.end()) return false;
    if (textOnly ? AsShown(kv.second) != AsShown(it->second) : kv.second != it->second) {
      return false;
    }
  }
  return true;
}

}  // namespace vlrtest

#endif
