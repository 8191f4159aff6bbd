#include "vlr/memo.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "platform/fileio.h"

const char MemoStoreName[] = "Gourmix.mem";

namespace {

constexpr size_t kTempNameSize = 123;
// The name generator gives 65536 names; a folder holding this many of them in a row is not
// one to write into.
constexpr int kTempNameTries = 256;
// How long a memo operation waits for another program to let go of the store.
constexpr int kLockWaitMs = 2000;

// The temporary names' generator, seeded once per process (again after a fork): two
// programs that drew the same sequence would race for the same names.
struct TempNameGenerator {
  long seededFor = 0;  // the process that seeded it
  std::minstd_rand draw;
};
TempNameGenerator g_tempNames;

unsigned NextTempNumber() {
  const long process = fileio::CurrentProcessId();
  if (g_tempNames.seededFor != process) {
    const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
    std::seed_seq seed{static_cast<uint32_t>(process), static_cast<uint32_t>(now),
                       static_cast<uint32_t>(static_cast<uint64_t>(now) >> 32)};
    g_tempNames.draw.seed(seed);
    g_tempNames.seededFor = process;
  }
  return static_cast<unsigned>(g_tempNames.draw() & 0xFFFF);
}

// Creates, empty, a temporary file of a name that no file bore, and formats that name into
// `name`. The name is taken by the creation itself, so no file of the user's or of another
// program is ever truncated by the rewrite.
bool CreateTempFile(char* name) {
  for (int i = 0; i < kTempNameTries; ++i) {
    std::snprintf(name, kTempNameSize, "vlr%u.tmp", NextTempNumber());
    FILE* f = fileio::CreateNew(name);
    if (f) {
      if (fileio::Close(f) == 0) return true;
      fileio::Remove(name);
      return false;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

// The lock that keeps two programs from working on the same store at once. It is taken on a
// file of its own beside the store, never on the store itself: a rewrite puts a new file in
// the store's place, and a lock on the old one would then guard a file nobody reads, while a
// program waiting for it would go on with the old contents; on POSIX, closing any descriptor
// of a file also drops the process's locks on it, which every VlrClose would do; and on
// Windows a program waiting with the store open would make the replacement fail.
VlrStatus LockStore(const char* store, fileio::FileLock::Mode mode, fileio::FileLock* lock) {
  const std::string name = std::string(store) + kMemoLockSuffix;
  // No lock to take (a reader before any writer, a read-only folder, a share without locks):
  // the store is used as it was before locks existed.
  return lock->Acquire(name.c_str(), mode, kLockWaitMs) == fileio::FileLock::kBusy ? kVlrBusy
                                                                                   : kVlrOk;
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
  if (!CreateTempFile(tempName)) {
    result = kVlrCreateFailed;
  } else {
    int copied = VlrCopy(tempName, store, &key, record, true, false);
    if (copied == 0) {
      // The store keeps its permissions (a read-only store stays read-only), and the
      // replacement is one step, so the store is the old file or the new one and never missing.
      if (fileio::CopyPermissions(store, tempName) == 0 &&
          fileio::ReplaceAtomically(tempName, store) == 0) {
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

const char kMemoLockSuffix[] = ".lck";

VlrStatus LockMemoStore(const char* store, bool forWriting, fileio::FileLock* lock) {
  return LockStore(store, forWriting ? fileio::FileLock::kExclusive : fileio::FileLock::kShared,
                   lock);
}

int ReadMemo(const char* store, uint32_t recipeId, char* buffer, int32_t* length) {
  fileio::FileLock lock;
  VlrStatus status = LockMemoStore(store, false, &lock);
  if (status != kVlrOk) return status;
  VlrFile* file = VlrOpen(store, "rb", &status);
  if (!file) return status;
  VlrRecord record = {recipeId, buffer, length ? *length : 0};
  status = VlrRead(file, &record, -1);
  if (length) *length = record.length;
  VlrClose(file);
  return status;
}

int WriteMemo(const char* store, uint32_t recipeId, const char* text, int32_t length) {
  // Held from the first read of the store to the end of its replacement: another program's
  // change can neither be lost under ours nor land between our read and our write.
  fileio::FileLock lock;
  const VlrStatus locked = LockMemoStore(store, true, &lock);
  if (locked != kVlrOk) return locked;
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
