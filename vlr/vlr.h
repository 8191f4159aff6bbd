// The record store: variable-length records in one file, each found through a 32-bit key.
//
// A store is opened, used and closed within one operation; nothing is kept between calls.
// Every operation returns 0 or a negative VlrStatus and never shows anything to the user.
// After a failing operation the handle must only be closed.
#ifndef SAUCELINS_VLR_VLR_H
#define SAUCELINS_VLR_VLR_H

#include <cstdint>
#include <cstdio>

// 0 for success, or one of the codes below.
typedef int VlrStatus;

constexpr VlrStatus kVlrOk = 0;
// The header's size markers are not 4, 4, 28: a store of another layout.
constexpr VlrStatus kVlrBadLayout = -889;
// Writing the header, the identification text, the record count or record data failed;
// also a record length that cannot be written (negative, or bytes missing).
constexpr VlrStatus kVlrWriteFailed = -890;
// The store could not be replaced by its rewritten copy, or a file of the store's name that
// could not be opened as a store is in the way (it is never overwritten).
constexpr VlrStatus kVlrReplaceFailed = -891;
// A new store file could not be created (or no free temporary name was found).
constexpr VlrStatus kVlrCreateFailed = -892;
constexpr VlrStatus kVlrNoMemory = -893;
// The directory entries could not all be read or written. Also given, before anything is
// allocated, for a count whose directory would not fit in the file (a truncated file, or a
// count too large to be real), and for a write into an index outside the directory.
constexpr VlrStatus kVlrDirectoryIo = -894;
// A record's data could not be read. Also given, with nothing copied into the caller's
// buffer, for an entry whose length is negative or whose bytes run past the end of the file.
constexpr VlrStatus kVlrRecordRead = -895;
// No entry in use has the key (or a read by index names no entry).
constexpr VlrStatus kVlrNotFound = -896;
// The header's maxRecord exceeds 32768.
constexpr VlrStatus kVlrRecordTooLong = -897;
// Not a store: header short or magic wrong, growth unit 0 or beyond vlr::kMaxGrowth, the
// record count could not be read, or a seek (or a position query) failed.
constexpr VlrStatus kVlrNotStore = -898;
// The file could not be opened: access refused (EACCES).
constexpr VlrStatus kVlrAccessDenied = -899;
// The file could not be opened for any other reason, for instance because it does not exist.
constexpr VlrStatus kVlrOpenFailed = -900;
// Another program kept the store locked for the whole wait (memo layer only).
constexpr VlrStatus kVlrBusy = -901;

// One directory entry, 16 bytes in the file (key, offset, length, flags, little-endian).
struct VlrEntry {
  uint32_t key;     // compared for equality only
  uint32_t offset;  // file offset of the record's first byte
  int32_t length;   // record length in bytes; negative only in a damaged file
  uint32_t flags;   // bit 0: in use
};
static_assert(sizeof(VlrEntry) == 16, "a directory entry is read in place from 16 file bytes");

// An open store. Owned by the caller from VlrOpen/VlrCreate to VlrClose.
struct VlrFile {
  FILE* stream;
  uint32_t growth;      // growth unit of the directory, in entries
  int32_t maxRecord;    // longer writes are cut to it
  uint32_t capacity;    // entries in `directory`
  uint32_t count;       // entries in use: 0 .. count - 1
  uint32_t dirOffset;   // file offset of the directory block
  VlrEntry* directory;  // `capacity` entries, none while capacity is 0
  // Bytes known to be in the file: measured on opening, pushed forward by every write.
  // Reads check entries against it so that a damaged entry can never send a read past the
  // end of the file or a partial record into the caller's buffer.
  uint64_t size;
};

// A record to read or write.
struct VlrRecord {
  uint32_t key;    // filled in by a read by index
  void* data;      // the caller's buffer (read) or the bytes to store (write); may be null
  int32_t length;  // read: capacity in, bytes read (or readable) out; write: bytes to store
};

// Directory entries held in memory for `count` entries in use: count rounded up to a
// multiple of growth (0 for 0). growth must not be 0.
uint64_t VlrCapacityFor(uint32_t count, uint32_t growth);

// Opens an existing store; mode is "rb" or "rb+". `status` is set to 0, then to the failure
// code. Returns null on failure, with the file untouched.
VlrFile* VlrOpen(const char* name, const char* mode, VlrStatus* status);
// Creates (or truncates) `name` and writes an empty store whose directory has room for
// `initialCount` records; the count field holds initialCount with every entry unused. The
// stream is left just after the directory. On failure `status` receives the code, a file this
// call created is removed, and null is returned; on success `status` is not touched.
VlrFile* VlrCreate(const char* name, uint32_t growth, uint32_t initialCount, VlrStatus* status);
// Closes the stream and releases the handle (always). 0, or the stream's close failure.
int VlrClose(VlrFile* file);
// The last step of VlrOpen: reads the count and `capacity` entries at dirOffset.
VlrStatus VlrLoadDirectory(VlrFile* file);
// Writes the count and all `capacity` entries at dirOffset; the stream is left after them.
// The entries are encoded into one block first (kVlrNoMemory when it cannot be had).
VlrStatus VlrWriteDirectory(VlrFile* file);

// Index of the first entry in use among 0 .. count - 1 with this key, or -1.
int32_t VlrFind(const VlrFile* file, uint32_t key);
// Whether entry `index` (in use or not) describes bytes that lie inside the file: a length that
// is not negative and an end not past the file's end. A read of any other entry gives
// kVlrRecordRead without touching the file.
bool VlrEntryInFile(const VlrFile* file, uint32_t index);
// Reads entry `index`, or with index -1 the entry found by record->key. record->length is cut
// to the entry's length (a negative capacity counts as 0); with no data nothing is read from
// the file. A damaged entry gives kVlrRecordRead with length 0 and the buffer untouched.
VlrStatus VlrRead(VlrFile* file, VlrRecord* record, int32_t index);
// Writes the record's bytes at the stream's position and describes them in entry `index`, or
// with -1 in a new entry (count grows by one). The length is cut to maxRecord first, in the
// caller's record too. With persist, the record's bytes are flushed to disk first, then the
// count and that one entry are written and flushed: a power cut leaves the entry old or new,
// and a new entry never points at bytes that are not there.
VlrStatus VlrWrite(VlrFile* file, VlrRecord* record, int32_t index, bool persist);
// Whether a write in place cannot damage the store's structure, however damaged the file:
// the directory block lies clear of the header and the identification text, and, for an
// index other than -1 (an append), that entry's bytes lie inside the file, outside the header,
// the identification text and the directory block.
bool VlrCanUpdateInPlace(const VlrFile* file, int32_t index);
// Copies the store `oldName` into a new file `newName`, leaving out the record of *dropKey
// (when given) and appending `append` (when given). Entries whose bytes lie outside the old
// file (VlrEntryInFile) are left out too: they hold nothing that could be read, and keeping
// them would block every rewrite for good. Without an old store, and with
// createIfMissing, the new store is made from nothing. The new file is flushed to disk
// before success is returned. 0 when an old store was copied, 1 when the new one was made
// from nothing, else a negative status with the new file removed.
int VlrCopy(const char* newName, const char* oldName, const uint32_t* dropKey,
            VlrRecord* append, bool createIfMissing, bool keyMustExist);

#endif
