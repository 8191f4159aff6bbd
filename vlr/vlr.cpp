#include "vlr/vlr.h"

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/fileio.h"
#include "vlr/vlr_format.h"

namespace {

static_assert(sizeof(vlr::kMagic) == vlr::kMagicSize, "the magic's NUL is part of it");
static_assert(sizeof(vlr::kIdentText) - 1 >= static_cast<size_t>(vlr::kIdentSize),
              "the identification text fills its 30 bytes");
static_assert(vlr::kIdentOffset + vlr::kIdentSize == static_cast<int>(vlr::kDirOffset),
              "the directory follows the identification text");

// Largest directory the file can address: offsets go through `long`, 32 bits on Windows.
constexpr uint64_t kMaxCapacity =
    (static_cast<uint64_t>(INT32_MAX) - vlr::kDirOffset - vlr::kCountSize) / vlr::kEntrySize;

void MarkUnused(VlrEntry* entry) {
  entry->key = vlr::kUnusedWord;
  entry->offset = vlr::kUnusedWord;
  entry->length = static_cast<int32_t>(vlr::kUnusedWord);
  entry->flags = vlr::kFlagsUnused;
}

void EncodeEntry(const VlrEntry& entry, unsigned char* dst) {
  vlr::EncodeFixed32(dst + vlr::kEntryKeyOffset, entry.key);
  vlr::EncodeFixed32(dst + vlr::kEntryOffsetOffset, entry.offset);
  vlr::EncodeFixed32Signed(dst + vlr::kEntryLengthOffset, entry.length);
  vlr::EncodeFixed32(dst + vlr::kEntryFlagsOffset, entry.flags);
}

VlrEntry DecodeEntry(const unsigned char* src) {
  VlrEntry entry;
  entry.key = vlr::DecodeFixed32(src + vlr::kEntryKeyOffset);
  entry.offset = vlr::DecodeFixed32(src + vlr::kEntryOffsetOffset);
  entry.length = vlr::DecodeFixed32Signed(src + vlr::kEntryLengthOffset);
  entry.flags = vlr::DecodeFixed32(src + vlr::kEntryFlagsOffset);
  return entry;
}

bool SeekTo(FILE* stream, uint64_t offset) {
  if (offset > static_cast<uint64_t>(LONG_MAX)) return false;
  return fileio::Seek(stream, static_cast<long>(offset), SEEK_SET) == 0;
}

void NoteExtent(VlrFile* file, uint64_t end) {
  if (end > file->size) file->size = end;
}

// Gives `directory` room for exactly `capacity` entries, keeping the ones it has and filling
// the new ones as unused.
VlrStatus ResizeDirectory(VlrFile* file, uint64_t capacity) {
  if (capacity == file->capacity) return kVlrOk;
  if (capacity > kMaxCapacity) return kVlrNoMemory;
  if (capacity == 0) {
    fileio::Free(file->directory);
    file->directory = nullptr;
    file->capacity = 0;
    return kVlrOk;
  }
  void* grown = fileio::Realloc(file->directory, static_cast<size_t>(capacity) * sizeof(VlrEntry));
  if (!grown) return kVlrNoMemory;
  file->directory = static_cast<VlrEntry*>(grown);
  for (uint64_t i = file->capacity; i < capacity; ++i) MarkUnused(&file->directory[i]);
  file->capacity = static_cast<uint32_t>(capacity);
  return kVlrOk;
}

VlrFile* NewHandle() {
  VlrFile* file = static_cast<VlrFile*>(fileio::Calloc(1, sizeof(VlrFile)));
  if (!file) return nullptr;
  file->stream = nullptr;
  file->directory = nullptr;
  return file;
}

void ReleaseHandle(VlrFile* file) {
  fileio::Free(file->directory);
  fileio::Free(file);
}

VlrStatus ReadHeader(VlrFile* file) {
  unsigned char header[vlr::kHeaderSize];
  if (fileio::Read(header, 1, sizeof header, file->stream) != sizeof header) return kVlrNotStore;
  if (std::memcmp(header, vlr::kMagic, vlr::kMagicSize) != 0) return kVlrNotStore;
  if (header[vlr::kMarkerAOffset] != vlr::kMarkerValue ||
      header[vlr::kMarkerBOffset] != vlr::kMarkerValue ||
      header[vlr::kHeaderSizeOffset] != vlr::kHeaderSize) {
    return kVlrBadLayout;
  }
  int32_t maxRecord = vlr::DecodeFixed32Signed(header + vlr::kMaxRecordOffset);
  if (maxRecord > vlr::kMaxRecordLimit) return kVlrRecordTooLong;
  uint32_t growth = vlr::DecodeFixed32(header + vlr::kGrowthOffset);
  if (growth == 0 || growth > vlr::kMaxGrowth) return kVlrNotStore;
  file->growth = growth;
  file->dirOffset = vlr::DecodeFixed32(header + vlr::kDirOffsetOffset);
  file->maxRecord = maxRecord;

  // The file's length bounds every count and entry read from it.
  if (fileio::Seek(file->stream, 0, SEEK_END) != 0) return kVlrNotStore;
  long end = fileio::Tell(file->stream);
  if (end < 0) return kVlrNotStore;
  file->size = static_cast<uint64_t>(end);
  return kVlrOk;
}

VlrStatus WriteHeader(VlrFile* file) {
  unsigned char header[vlr::kHeaderSize];
  std::memset(header, 0, sizeof header);
  std::memcpy(header, vlr::kMagic, vlr::kMagicSize);
  header[vlr::kMarkerAOffset] = vlr::kMarkerValue;
  header[vlr::kMarkerBOffset] = vlr::kMarkerValue;
  header[vlr::kHeaderSizeOffset] = vlr::kHeaderSize;
  header[vlr::kEntrySizeOffset] = vlr::kEntrySize;
  vlr::EncodeFixed32(header + vlr::kGrowthOffset, file->growth);
  vlr::EncodeFixed32(header + vlr::kDirOffsetOffset, file->dirOffset);
  vlr::EncodeFixed32Signed(header + vlr::kMaxRecordOffset, file->maxRecord);
  if (fileio::Write(header, 1, sizeof header, file->stream) != sizeof header) {
    return kVlrWriteFailed;
  }
  if (fileio::Write(vlr::kIdentText, 1, vlr::kIdentSize, file->stream) !=
      static_cast<size_t>(vlr::kIdentSize)) {
    return kVlrWriteFailed;
  }
  NoteExtent(file, vlr::kIdentOffset + vlr::kIdentSize);
  return kVlrOk;
}

VlrStatus LoadDirectoryEntries(VlrFile* file) {
  if (!SeekTo(file->stream, file->dirOffset)) return kVlrNotStore;
  unsigned char countBytes[vlr::kCountSize];
  if (fileio::Read(countBytes, 1, sizeof countBytes, file->stream) != sizeof countBytes) {
    return kVlrNotStore;
  }
  uint32_t count = vlr::DecodeFixed32(countBytes);
  uint64_t capacity = VlrCapacityFor(count, file->growth);

  // A count is believed only if its entries are in the file: a damaged count must not make
  // us allocate gigabytes before a short read would tell.
  uint64_t entriesStart = static_cast<uint64_t>(file->dirOffset) + vlr::kCountSize;
  if (entriesStart > file->size || capacity > (file->size - entriesStart) / vlr::kEntrySize) {
    return kVlrDirectoryIo;
  }
  VlrStatus status = ResizeDirectory(file, capacity);
  if (status != kVlrOk) return status;
  file->count = count;
  if (file->capacity == 0) return kVlrOk;

  // The entries arrive as file bytes in the array and are decoded in place.
  if (fileio::Read(file->directory, vlr::kEntrySize, file->capacity, file->stream) !=
      file->capacity) {
    return kVlrDirectoryIo;
  }
  for (uint32_t i = 0; i < file->capacity; ++i) {
    unsigned char raw[vlr::kEntrySize];
    std::memcpy(raw, &file->directory[i], sizeof raw);
    file->directory[i] = DecodeEntry(raw);
  }
  return kVlrOk;
}

// The directory indices that VlrFind and VlrRead may look at.
uint32_t EntriesInUseRange(const VlrFile* file) {
  return file->count < file->capacity ? file->count : file->capacity;
}

VlrStatus CopyRecords(VlrFile* from, VlrFile* to, const uint32_t* dropKey, bool keyMustExist,
                      unsigned char* buffer) {
  uint32_t copied = 0;
  if (from) {
    if (dropKey) {
      int32_t index = VlrFind(from, *dropKey);
      if (index < 0 && keyMustExist) return kVlrNotFound;
      // Only the copy in memory: the old file is never written. A damaged store may hold the
      // key twice; all of them go, or the dropped memo would come back from its double.
      for (; index >= 0; index = VlrFind(from, *dropKey)) {
        from->directory[index].flags &= ~vlr::kFlagInUse;
      }
    }
    uint32_t end = EntriesInUseRange(from);
    for (uint32_t i = 0; i < end; ++i) {
      if (!(from->directory[i].flags & vlr::kFlagInUse)) continue;
      // A damaged entry has nothing to give; a read that fails on a sound one stops the copy.
      if (!VlrEntryInFile(from, i)) continue;
      VlrRecord record = {0, buffer, vlr::kMaxRecordLimit};
      VlrStatus status = VlrRead(from, &record, static_cast<int32_t>(i));
      if (status != kVlrOk) return status;
      status = VlrWrite(to, &record, static_cast<int32_t>(copied), false);
      if (status != kVlrOk) return status;
      ++copied;
    }
  }
  to->count = copied;
  return kVlrOk;
}

}  // namespace

uint64_t VlrCapacityFor(uint32_t count, uint32_t growth) {
  if (count == 0 || growth == 0) return 0;
  return static_cast<uint64_t>(growth) * ((count - 1) / growth + 1);
}

VlrFile* VlrOpen(const char* name, const char* mode, VlrStatus* status) {
  *status = kVlrOk;
  VlrFile* file = NewHandle();
  if (!file) {
    *status = kVlrNoMemory;
    return nullptr;
  }
  file->stream = fileio::Open(name, mode);
  if (!file->stream) {
    *status = fileio::LastOpenErrno() == EACCES ? kVlrAccessDenied : kVlrOpenFailed;
    ReleaseHandle(file);
    return nullptr;
  }
  VlrStatus result = ReadHeader(file);
  if (result == kVlrOk) result = VlrLoadDirectory(file);
  if (result != kVlrOk) {
    fileio::Close(file->stream);
    ReleaseHandle(file);
    *status = result;
    return nullptr;
  }
  return file;
}

VlrStatus VlrLoadDirectory(VlrFile* file) {
  VlrStatus status = LoadDirectoryEntries(file);
  if (status != kVlrOk) {
    fileio::Free(file->directory);
    file->directory = nullptr;
    file->capacity = 0;
  }
  return status;
}

VlrFile* VlrCreate(const char* name, uint32_t growth, uint32_t initialCount, VlrStatus* status) {
  if (growth == 0 || growth > vlr::kMaxGrowth) {
    *status = kVlrCreateFailed;
    return nullptr;
  }
  VlrFile* file = NewHandle();
  if (!file) {
    *status = kVlrNoMemory;
    return nullptr;
  }
  // Nothing is removed when the open fails: a file we could not open is not ours to delete.
  file->stream = fileio::Open(name, "wb+");
  if (!file->stream) {
    ReleaseHandle(file);
    *status = kVlrCreateFailed;
    return nullptr;
  }
  file->growth = growth;
  file->maxRecord = vlr::kMaxRecordLimit;
  file->capacity = 0;
  file->count = initialCount;
  file->dirOffset = vlr::kDirOffset;
  file->size = 0;

  VlrStatus result = ResizeDirectory(file, VlrCapacityFor(initialCount, growth));
  if (result == kVlrOk) result = WriteHeader(file);
  if (result == kVlrOk) result = VlrWriteDirectory(file);
  if (result != kVlrOk) {
    fileio::Close(file->stream);
    ReleaseHandle(file);
    fileio::Remove(name);
    *status = result;
    return nullptr;
  }
  return file;
}

int VlrClose(VlrFile* file) {
  if (!file) return 0;
  int result = file->stream ? fileio::Close(file->stream) : 0;
  // The memory goes whatever the stream said: the handle is unusable after a failed close.
  ReleaseHandle(file);
  return result;
}

VlrStatus VlrWriteDirectory(VlrFile* file) {
  if (!SeekTo(file->stream, file->dirOffset)) return kVlrNotStore;
  unsigned char countBytes[vlr::kCountSize];
  vlr::EncodeFixed32(countBytes, file->count);
  if (fileio::Write(countBytes, 1, sizeof countBytes, file->stream) != sizeof countBytes) {
    return kVlrWriteFailed;
  }
  uint64_t end = static_cast<uint64_t>(file->dirOffset) + vlr::kCountSize;
  if (file->capacity > 0) {
    size_t bytes = static_cast<size_t>(file->capacity) * vlr::kEntrySize;
    unsigned char* block = static_cast<unsigned char*>(fileio::Malloc(bytes));
    if (!block) return kVlrNoMemory;
    for (uint32_t i = 0; i < file->capacity; ++i) {
      EncodeEntry(file->directory[i], block + static_cast<size_t>(i) * vlr::kEntrySize);
    }
    size_t written = fileio::Write(block, vlr::kEntrySize, file->capacity, file->stream);
    fileio::Free(block);
    if (written != file->capacity) return kVlrDirectoryIo;
    end += bytes;
  }
  NoteExtent(file, end);
  return kVlrOk;
}

int32_t VlrFind(const VlrFile* file, uint32_t key) {
  uint32_t end = EntriesInUseRange(file);
  for (uint32_t i = 0; i < end; ++i) {
    const VlrEntry& entry = file->directory[i];
    if ((entry.flags & vlr::kFlagInUse) && entry.key == key) return static_cast<int32_t>(i);
  }
  return -1;
}

bool VlrEntryInFile(const VlrFile* file, uint32_t index) {
  if (index >= file->capacity) return false;
  const VlrEntry& entry = file->directory[index];
  return entry.length >= 0 &&
         static_cast<uint64_t>(entry.offset) + static_cast<uint64_t>(entry.length) <= file->size;
}

VlrStatus VlrRead(VlrFile* file, VlrRecord* record, int32_t index) {
  if (index == -1) {
    index = VlrFind(file, record->key);
    if (index < 0) return kVlrNotFound;
  } else {
    if (index < 0 || static_cast<uint32_t>(index) >= EntriesInUseRange(file)) return kVlrNotFound;
    record->key = file->directory[index].key;
  }
  const VlrEntry& entry = file->directory[index];
  if (!VlrEntryInFile(file, static_cast<uint32_t>(index))) {
    record->length = 0;
    return kVlrRecordRead;
  }
  if (record->length < 0) record->length = 0;
  if (entry.length < record->length) record->length = entry.length;
  if (!record->data) return kVlrOk;

  if (!SeekTo(file->stream, entry.offset)) return kVlrNotStore;
  size_t wanted = static_cast<size_t>(record->length);
  if (fileio::Read(record->data, 1, wanted, file->stream) != wanted) return kVlrRecordRead;
  return kVlrOk;
}

VlrStatus VlrWrite(VlrFile* file, VlrRecord* record, int32_t index, bool persist) {
  if (record->length > file->maxRecord) record->length = file->maxRecord;
  if (record->length < 0 || (record->length > 0 && !record->data)) return kVlrWriteFailed;

  if (index == -1) {
    if (file->count >= static_cast<uint32_t>(INT32_MAX)) return kVlrDirectoryIo;
    VlrStatus status = ResizeDirectory(file, VlrCapacityFor(file->count + 1, file->growth));
    if (status != kVlrOk) return status;
    index = static_cast<int32_t>(file->count);
    ++file->count;
  } else if (index < 0 || static_cast<uint32_t>(index) >= file->capacity) {
    return kVlrDirectoryIo;
  }

  long position = fileio::Tell(file->stream);
  if (position < 0) return kVlrNotStore;
  if (static_cast<uint64_t>(position) > UINT32_MAX) return kVlrWriteFailed;
  VlrEntry& entry = file->directory[index];
  entry.key = record->key;
  entry.offset = static_cast<uint32_t>(position);
  entry.length = record->length;
  entry.flags = (entry.flags & ~vlr::kFlagsLowMask) | vlr::kFlagsLowInUse;

  // The record's bytes reach the file before any directory byte that points at them.
  size_t bytes = static_cast<size_t>(record->length);
  if (bytes > 0 && fileio::Write(record->data, 1, bytes, file->stream) != bytes) {
    return kVlrWriteFailed;
  }
  uint64_t recordEnd = static_cast<uint64_t>(position) + bytes;
  NoteExtent(file, recordEnd);
  if (!persist) return kVlrOk;

  // The record is on disk before the entry that describes it is written: a power cut in
  // between leaves the old entry, never a new length over bytes that are not the record's.
  // Every flush is checked: a write that fails inside a seek or a close is otherwise lost
  // without a word.
  if (fileio::Flush(file->stream) != 0) return kVlrWriteFailed;
  if (!SeekTo(file->stream, file->dirOffset)) return kVlrNotStore;
  unsigned char countBytes[vlr::kCountSize];
  vlr::EncodeFixed32(countBytes, file->count);
  if (fileio::Write(countBytes, 1, sizeof countBytes, file->stream) != sizeof countBytes) {
    return kVlrWriteFailed;
  }
  if (fileio::Seek(file->stream, static_cast<long>(index) * vlr::kEntrySize, SEEK_CUR) != 0) {
    return kVlrNotStore;
  }
  unsigned char entryBytes[vlr::kEntrySize];
  EncodeEntry(entry, entryBytes);
  if (fileio::Write(entryBytes, 1, sizeof entryBytes, file->stream) != sizeof entryBytes ||
      fileio::Flush(file->stream) != 0) {
    return kVlrDirectoryIo;
  }
  // Back to just after the record, so that further records follow it.
  return SeekTo(file->stream, recordEnd) ? kVlrOk : kVlrNotStore;
}

bool VlrCanUpdateInPlace(const VlrFile* file, int32_t index) {
  const uint64_t head = vlr::kIdentOffset + vlr::kIdentSize;
  const uint64_t dirStart = file->dirOffset;
  const uint64_t dirEnd =
      dirStart + vlr::kCountSize + static_cast<uint64_t>(file->capacity) * vlr::kEntrySize;
  if (dirStart < head) return false;
  if (index == -1) return true;
  if (index < 0 || static_cast<uint32_t>(index) >= EntriesInUseRange(file)) return false;
  const VlrEntry& entry = file->directory[index];
  if (entry.length < 0) return false;
  const uint64_t start = entry.offset;
  const uint64_t end = start + static_cast<uint64_t>(entry.length);
  if (end > file->size || start < head) return false;
  return end <= dirStart || start >= dirEnd;
}

int VlrCopy(const char* newName, const char* oldName, const uint32_t* dropKey,
            VlrRecord* append, bool createIfMissing, bool keyMustExist) {
  // Nothing of the new name is removed before this call has created it.
  unsigned char* buffer = static_cast<unsigned char*>(fileio::Malloc(vlr::kMaxRecordLimit));
  if (!buffer) return kVlrNoMemory;

  VlrStatus status;
  VlrFile* from = VlrOpen(oldName, "rb", &status);
  if (!from && !createIfMissing) {
    fileio::Free(buffer);
    return status;
  }
  bool hadOld = from != nullptr;
  uint32_t growth = hadOld ? from->growth : vlr::kDefaultGrowth;
  // Room for every old record and the one appended: the directory never moves in a file.
  uint32_t initialCount = hadOld ? from->count + 1 : 1;
  VlrFile* to = VlrCreate(newName, growth, initialCount, &status);
  if (!to) {
    VlrClose(from);
    fileio::Free(buffer);
    return status;  // VlrCreate removed what it had made
  }

  status = CopyRecords(from, to, dropKey, keyMustExist, buffer);
  if (status == kVlrOk && append) status = VlrWrite(to, append, -1, false);
  if (status == kVlrOk) status = VlrWriteDirectory(to);
  // The copy counts as made only once it is on disk: it is about to replace the store.
  if (status == kVlrOk && fileio::Flush(to->stream) != 0) status = kVlrWriteFailed;
  VlrClose(from);
  if (VlrClose(to) != 0 && status == kVlrOk) status = kVlrWriteFailed;
  fileio::Free(buffer);
  if (status != kVlrOk) {
    fileio::Remove(newName);
    return status;
  }
  return hadOld ? 0 : 1;
}
