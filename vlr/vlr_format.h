// Layout of a record store file, byte by byte, and the little-endian coding of its integers.
//
//   offset 0    header (28 bytes)
//   offset 28   identification text (30 bytes, never read back)
//   dirOffset   directory block: record count, then 16-byte entries
//   after it    record bytes, each found only through its entry
//
// Integers are written and read one byte at a time, so the file is the same whatever the
// machine's byte order and whatever padding the compiler gives a struct.
#ifndef SAUCELINS_VLR_VLR_FORMAT_H
#define SAUCELINS_VLR_VLR_FORMAT_H

#include <cstdint>

namespace vlr {

// ---- header ----
constexpr int kHeaderSize = 28;
constexpr char kMagic[] = "Memo Lrn";      // 8 letters; the NUL after them is part of it
constexpr int kMagicSize = 9;              // bytes 0-8: kMagic with its NUL
constexpr int kMarkerAOffset = 9;          // byte 9: size marker, must be 4
constexpr int kMarkerBOffset = 10;         // byte 10: size marker, must be 4
constexpr int kHeaderSizeOffset = 11;      // byte 11: header size, must be kHeaderSize
constexpr int kEntrySizeOffset = 12;       // byte 12: entry size, written 16, not checked
constexpr int kPaddingOffset = 13;         // bytes 13-15: padding, written 0, not read
constexpr int kGrowthOffset = 16;          // u32: directory growth unit, in entries
constexpr int kDirOffsetOffset = 20;       // u32: file offset of the directory block
constexpr int kMaxRecordOffset = 24;       // i32: largest record length, <= kMaxRecordLimit
constexpr uint8_t kMarkerValue = 4;        // value of both size markers

// ---- identification text, written on creation and never read ----
constexpr int kIdentOffset = 28;
constexpr int kIdentSize = 30;
// The text is cut to kIdentSize bytes, with no terminator in the file.
constexpr char kIdentText[] = "@(#)vlr.c 0.912 Written by Tobias Brenner";

// ---- directory block ----
constexpr uint32_t kDirOffset = 58;        // where this module always puts the directory
constexpr int kCountSize = 4;              // u32 at dirOffset: entries in use
constexpr int kEntrySize = 16;             // one entry, right after the count:
constexpr int kEntryKeyOffset = 0;         //   u32 key, compared for equality only
constexpr int kEntryOffsetOffset = 4;      //   u32 file offset of the record's first byte
constexpr int kEntryLengthOffset = 8;      //   i32 record length in bytes
constexpr int kEntryFlagsOffset = 12;      //   u32 flags; only bit 0 (in use) is tested

// An entry slot that was never used: bytes 0-11 all 0xAA, flags 0xAAAA0074.
constexpr uint8_t kUnusedFill = 0xAA;
constexpr uint32_t kUnusedWord = 0xAAAAAAAAu;
constexpr uint32_t kFlagsUnused = 0xAAAA0074u;
constexpr uint32_t kFlagInUse = 0x1u;
// Filling an entry sets its low 16 bits to this and keeps the high 16 bits.
constexpr uint32_t kFlagsLowInUse = 0x00F9u;
constexpr uint32_t kFlagsLowMask = 0xFFFFu;

// ---- limits ----
constexpr int32_t kMaxRecordLimit = 32768; // no store may allow longer records
constexpr uint32_t kDefaultGrowth = 50;    // growth unit of a store made from nothing
// Growth units this module accepts. 0 makes the capacity arithmetic meaningless; a unit
// beyond this one (a directory step of more than 1 MB, read on every probe) is never written
// by this module and is taken as damage rather than allocated.
constexpr uint32_t kMaxGrowth = 65536;

// ---- little-endian coding ----
inline void EncodeFixed32(unsigned char* dst, uint32_t value) {
  dst[0] = static_cast<unsigned char>(value);
  dst[1] = static_cast<unsigned char>(value >> 8);
  dst[2] = static_cast<unsigned char>(value >> 16);
  dst[3] = static_cast<unsigned char>(value >> 24);
}

inline uint32_t DecodeFixed32(const unsigned char* src) {
  return static_cast<uint32_t>(src[0]) | (static_cast<uint32_t>(src[1]) << 8) |
         (static_cast<uint32_t>(src[2]) << 16) | (static_cast<uint32_t>(src[3]) << 24);
}

// Signed fields are stored as their two's-complement bit pattern.
inline void EncodeFixed32Signed(unsigned char* dst, int32_t value) {
  EncodeFixed32(dst, static_cast<uint32_t>(value));
}

inline int32_t DecodeFixed32Signed(const unsigned char* src) {
  return static_cast<int32_t>(DecodeFixed32(src));
}

}  // namespace vlr

#endif
