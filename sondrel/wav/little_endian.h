// Little-endian integers in byte buffers: the one place that reads and writes
// the byte order of WAV header fields and stored PCM samples, whatever the
// host's own order.
#pragma once
#include <cstdint>

inline uint16_t get_le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t get_le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline uint64_t get_le64(const uint8_t* p) {
  return static_cast<uint64_t>(get_le32(p)) | (static_cast<uint64_t>(get_le32(p + 4)) << 32);
}

// A 24-bit two's complement sample, sign-extended (written so that sample
// loops vectorise well).
inline int32_t get_le24_signed(const uint8_t* p) {
  return static_cast<int32_t>(p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16) |
                              (p[2] & 0x80 ? 0xFF000000u : 0u));
}

// The low 16, 24 or 32 bits of `value`.
inline void put_le16(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

inline void put_le24(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
}

inline void put_le32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

inline void put_le64(uint8_t* p, uint64_t value) {
  put_le32(p, static_cast<uint32_t>(value));
  put_le32(p + 4, static_cast<uint32_t>(value >> 32));
}
