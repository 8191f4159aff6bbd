// Memos: one note per recipe, kept in the record store "Gourmix.mem" under the recipe's
// number. Each call opens the store, does its work and closes it again.
#ifndef SAUCELINS_VLR_MEMO_H
#define SAUCELINS_VLR_MEMO_H

#include <cstdint>

#include "platform/fileio.h"
#include "vlr/vlr.h"

extern const char MemoStoreName[];  // "Gourmix.mem", relative to the current directory

// Every memo operation holds a lock on the store for its length, shared to read and exclusive
// to write, so that two programs on one folder (the program and saucelins-cli, or two
// computers on a shared folder) never lose each other's memos. The lock lies on a file of its
// own, the store's name followed by this suffix, made by the first write. An operation that
// cannot have the lock within about 2 seconds fails with kVlrBusy and changes nothing.
// Where no lock can be had at all (a read-only folder, a share without locks), the store is
// used unlocked.
extern const char kMemoLockSuffix[];  // ".lck"

// Takes the store's lock for an operation of the caller's own on the store (listing,
// checking): kVlrOk, with the lock in `lock` when one could be had, or kVlrBusy.
VlrStatus LockMemoStore(const char* store, bool forWriting, fileio::FileLock* lock);

// Reads the memo of recipeId into buffer, at most *length bytes (the stored memo includes its
// NUL); *length receives the number of bytes read. Without a buffer it only tests for a memo:
// 0 when there is one, kVlrNotFound (-896) when not, kVlrOpenFailed (-900) when the store
// does not exist, kVlrBusy (-901) when a writer kept the store. A length must be given
// whenever a buffer is. Never changes any file.
int ReadMemo(const char* store, uint32_t recipeId, char* buffer, int32_t* length);

// Stores text as the memo of recipeId (length bytes, or strlen(text) + 1 when length is 0),
// or deletes the memo when text is null. A memo that fits where the old one lies is written
// in place, a new one is appended while the directory has room; anything else rewrites the
// store into a temporary "vlr<n>.tmp" that then replaces it in one step. Whatever fails, the
// store keeps either all its old memos or all its new ones, and a replaced store keeps the old
// one's permissions. 0 or a negative VlrStatus; kVlrBusy when another program kept the store.
int WriteMemo(const char* store, uint32_t recipeId, const char* text, int32_t length);

#endif
