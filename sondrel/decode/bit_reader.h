// A bounds-checked reader of big-endian bit fields, for the frame headers
// that the decoder layer parses itself.
#pragma once
#include <cstdint>

struct BitReader {
  const uint8_t* bytes;
  int32_t size;      // bytes available
  int32_t position;  // next bit
  int32_t overrun;   // 1 once a read went past the end (it then yields zeros)
};

inline void bit_reader_init(BitReader* r, const uint8_t* bytes, int32_t size) {
  r->bytes = bytes;
  r->size = size;
  r->position = 0;
  r->overrun = 0;
}

// Reads `count` (at most 32) bits, most significant first.
inline uint32_t bit_read(BitReader* r, int32_t count) {
  uint32_t value = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t byte = r->position >> 3;
    uint32_t bit = 0;
    if (byte < r->size) {
      bit = (r->bytes[byte] >> (7 - (r->position & 7))) & 1u;
    } else {
      r->overrun = 1;
    }
    value = (value << 1) | bit;
    ++r->position;
  }
  return value;
}

inline void bit_skip(BitReader* r, int32_t count) {
  r->position += count;
  if ((r->position + 7) / 8 > r->size) r->overrun = 1;
}
