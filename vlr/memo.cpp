#include "vlr/memo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fileio.h"

const char MemoStoreName[] = "Gourmix.mem";

namespace {

constexpr size_t kTempNameSize = 123;
// rand() & 0xFFFF gives 65536 names; a folder holding this many of them in a row is
// not one to write into.
constexpr int kTempNameTries = 256;

// Formats into `name` a temporary name that no file bears yet, so that no file of the user's
// is ever truncated by the rewrite.
bool PickTempName(char* name) {
  for (int i = 0; i < kTempNameTries; ++i) {
    std::snprintf(name, kTempNameSize, "vlr%u.tmp", static_cast<unsigned>(std::rand() & 0xFFFF));
    if (!fileio::Exists(name)) return true;
  }
  return false;
}

// Tries to settle the write inside the existing store: over the old record when the new one
// is no longer, or appended while the directory has a free entry. Returns false, with the
// store closed and untouched, when the store must be rewritten instead.
bool WriteInStore(const char* store, VlrRecord* record, int* result) {
  VlrStatus status;
  VlrFile* file = VlrOpen(store, "rb+", &status);
  if (!file) return false;
  int32_t index = VlrFind(file, record->key);
  bool inPlace = index >= 0 && record->length <= file->directory[index].length &&
                 VlrCanUpdateInPlace(file, index);
  bool append = index < 0 && file->count < file->capacity && VlrCanUpdateInPlace(file, -1);
  if (!inPlace && !append) {
    VlrClose(file);
    return false;
  }
  bool positioned = inPlace
      ? fileio::Seek(file->stream, static_cast<long>(file->directory[index].offset), SEEK_SET) == 0
      : fileio::Seek(file->stream, 0, SEEK_END) == 0;
  // Writing at whatever position a failed seek left would overwrite another record.
  status = positioned ? VlrWrite(file, record, inPlace ? index : -1, true) : kVlrNotStore;
  // The close pushes the buffered bytes out; a failure there means they may not be stored.
  if (VlrClose(file) != 0 && status == kVlrOk) status = kVlrWriteFailed;
  *result = status;
  return true;
}

// Copies the store without the old memo of `key` and with `record` (if any) into a temporary
// file, then puts that file in the store's place.
int RewriteStore(const char* store, uint32_t key, VlrRecord* record) {
  char* tempName = static_cast<char*>(fileio::Malloc(kTempNameSize));
  if (!tempName) return kVlrNoMemory;
  int result;
  if (!PickTempName(tempName)) {
    result = kVlrCreateFailed;
  } else {
    int copied = VlrCopy(tempName, store, &key, record, true, false);
    if (copied == 0) {
      // One step, so the store is the old file or the new one and never missing.
      if (fileio::ReplaceAtomically(tempName, store) == 0) {
        result = kVlrOk;
      } else {
        fileio::Remove(tempName);
        result = kVlrReplaceFailed;
      }
    } else if (copied == 1) {
      // Nothing could be opened as a store. If something of the store's name is there all
      // the same (damaged, foreign, locked), it is not ours to overwrite: the rename refuses,
      // and the new store stays under its temporary name.
      result = fileio::RenameNoReplace(tempName, store) == 0 ? kVlrOk : kVlrReplaceFailed;
    } else {
      fileio::Remove(tempName);
      result = copied;
    }
  }
  fileio::Free(tempName);
  return result;
}

}  // namespace

int ReadMemo(const char* store, uint32_t recipeId, char* buffer, int32_t* length) {
  VlrStatus status;
  VlrFile* file = VlrOpen(store, "rb", &status);
  if (!file) return status;
  VlrRecord record = {recipeId, buffer, length ? *length : 0};
  status = VlrRead(file, &record, -1);
  if (length) *length = record.length;
  VlrClose(file);
  return status;
}

int WriteMemo(const char* store, uint32_t recipeId, const char* text, int32_t length) {
  // VlrWrite only reads from data; the record type serves reads and writes alike.
  VlrRecord record = {recipeId, const_cast<char*>(text), length};
  if (text && length == 0) {
    size_t bytes = std::strlen(text) + 1;
    record.length = bytes > INT32_MAX ? INT32_MAX : static_cast<int32_t>(bytes);  // cut later
  }
  if (text) {
    int result;
    if (WriteInStore(store, &record, &result)) return result;
  }
  return RewriteStore(store, recipeId, text ? &record : nullptr);
}
