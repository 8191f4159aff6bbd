// Memos: one note per recipe, kept in the record store "Gourmix.mem" under the recipe's
// number. Each call opens the store, does its work and closes it again.
#ifndef SAUCELINS_VLR_MEMO_H
#define SAUCELINS_VLR_MEMO_H

#include <cstdint>

#include "vlr/vlr.h"

extern const char MemoStoreName[];  // "Gourmix.mem", relative to the current directory

// Reads the memo of recipeId into buffer, at most *length bytes (the stored memo includes its
// NUL); *length receives the number of bytes read. Without a buffer it only tests for a memo:
// 0 when there is one, kVlrNotFound (-896) when not, kVlrOpenFailed (-900) when the store
// does not exist. A length must be given whenever a buffer is. Never changes any file.
int ReadMemo(const char* store, uint32_t recipeId, char* buffer, int32_t* length);

// Stores text as the memo of recipeId (length bytes, or strlen(text) + 1 when length is 0),
// or deletes the memo when text is null. A memo that fits where the old one lies is written
// in place, a new one is appended while the directory has room; anything else rewrites the
// store into a temporary "vlr<n>.tmp" that then replaces it in one step. Whatever fails, the
// store keeps either all its old memos or all its new ones. 0 or a negative VlrStatus.
int WriteMemo(const char* store, uint32_t recipeId, const char* text, int32_t length);

#endif
