// Bounded reads from the open media file: exact reads at an offset, a
// windowed reader for long sequential walks (index tables, chunk scans),
// RIFF chunk headers and little-endian fields.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/media_file.h"

// Reads exactly `count` bytes at `offset`; 0 on success, 1 when the bytes
// are not all in the file or the read fails.
int file_read_at(const AviFile* file, int64_t offset, void* out, size_t count);

// A window over the file that serves small sequential reads.
struct WindowReader {
  const AviFile* file = nullptr;
  std::vector<uint8_t> window;
  int64_t start = 0;  // file offset of window[0]
  int64_t length = 0; // valid bytes in the window
};
void window_init(WindowReader* reader, const AviFile* file);
// As file_read_at, through the window (count at most the window's size).
int window_read(WindowReader* reader, int64_t offset, void* out, size_t count);

struct ChunkHeader {
  uint32_t id = 0;
  uint32_t size = 0;
  int64_t pos = 0;   // offset of the header
  int64_t data = 0;  // offset of the payload (pos + 8)
  int64_t end = 0;   // offset after the payload (data + size)
  int64_t next = 0;  // offset of the following chunk (end, padded to even)
};
// Reads the chunk header at `pos` within a parent that ends at `limit`.
// Fails when the header does not fit, or when `contained` is set and the
// payload runs past `limit`.
int read_chunk_header(WindowReader* reader, int64_t pos, int64_t limit, bool contained,
                      ChunkHeader* chunk);

inline uint16_t le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t le64(const uint8_t* p) {
  return static_cast<uint64_t>(le32(p)) | static_cast<uint64_t>(le32(p + 4)) << 32;
}
