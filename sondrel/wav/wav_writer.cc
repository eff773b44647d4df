// The output header images (44-byte plain, 68-byte extensible), their
// completion for a job, and their RF64 form.
#include "wav/wav_writer.h"

#include <cstring>

#include "wav/little_endian.h"

uint8_t wav_plain_header[PLAIN_HEADER_BYTES] = {
    'R', 'I', 'F', 'F', 0x00, 0x00, 0x00, 0x00,  // RIFF size: set by the size fix
    'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
    0x10, 0x00, 0x00, 0x00,                      // fmt size 16
    0x01, 0x00,                                  // format tag
    0x01, 0x00,                                  // channels
    0x44, 0xAC, 0x00, 0x00,                      // sample rate
    0x88, 0x58, 0x01, 0x00,                      // bytes per second
    0x02, 0x00,                                  // block align
    0x10, 0x00,                                  // bits per sample
    'd', 'a', 't', 'a', 0x00, 0x00, 0x00, 0x00   // data size: set by the size fix
};

uint8_t wav_extensible_header[EXTENSIBLE_HEADER_BYTES] = {
    'R', 'I', 'F', 'F', 0xF0, 0xFF, 0xFF, 0xFF,  // RIFF size placeholder
    'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
    0x28, 0x00, 0x00, 0x00,                      // fmt size 40
    0xFE, 0xFF,                                  // WAVE_FORMAT_EXTENSIBLE
    0x01, 0x00,                                  // channels
    0x44, 0xAC, 0x00, 0x00,                      // sample rate
    0x10, 0xB1, 0x02, 0x00,                      // bytes per second
    0x04, 0x00,                                  // block align
    0x20, 0x00,                                  // bits per sample
    0x16, 0x00,                                  // extension size 22
    0x20, 0x00,                                  // valid bits per sample
    0x00, 0x00, 0x00, 0x00,                      // channel mask
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,  // sub-format GUID
    0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71,
    'd', 'a', 't', 'a', 0xB4, 0xFF, 0xFF, 0xFF   // data size placeholder
};

void wav_header_fill(uint8_t* plain, uint8_t* extensible, int32_t use_extensible,
                     int32_t channels, int32_t out_rate, int32_t out_bits, int32_t is_float,
                     uint32_t channel_mask) {
  const uint32_t rate = static_cast<uint32_t>(out_rate);
  const uint32_t bits = static_cast<uint32_t>(out_bits);
  const uint32_t count = static_cast<uint32_t>(channels);
  const uint32_t byte_rate = static_cast<uint32_t>(
      static_cast<uint64_t>(rate) * count * bits / 8u);
  const uint32_t block_align = bits * count / 8u;
  if (!use_extensible) {
    put_le16(plain + 20, is_float ? 3u : 1u);
    put_le16(plain + 22, count);
    put_le32(plain + 24, rate);
    put_le32(plain + 28, byte_rate);
    put_le16(plain + 32, block_align);
    put_le16(plain + 34, bits);
    return;
  }
  put_le16(extensible + 20, 0xFFFEu);
  put_le16(extensible + 22, count);
  put_le32(extensible + 24, rate);
  put_le32(extensible + 28, byte_rate);
  put_le16(extensible + 32, block_align);
  put_le16(extensible + 34, bits);
  put_le16(extensible + 38, bits);
  put_le32(extensible + 40, channel_mask);
  extensible[44] = is_float ? 3 : 1;
  extensible[45] = 0;
}

int32_t wav_rf64_image(const uint8_t* riff, int32_t riff_bytes, uint8_t* rf64) {
  std::memcpy(rf64, "RF64", 4);
  put_le32(rf64 + 4, 0xFFFFFFFFu);
  std::memcpy(rf64 + 8, "WAVE", 4);
  std::memcpy(rf64 + 12, "ds64", 4);
  put_le32(rf64 + 16, DS64_CHUNK_BYTES - 8);
  std::memset(rf64 + DS64_RIFF_SIZE_AT, 0, DS64_CHUNK_BYTES - 8);
  // The fmt chunk and the data chunk's id follow as in the RIFF image.
  std::memcpy(rf64 + 12 + DS64_CHUNK_BYTES, riff + 12, static_cast<size_t>(riff_bytes - 12));
  const int32_t bytes = riff_bytes + DS64_CHUNK_BYTES;
  put_le32(rf64 + bytes - 4, 0xFFFFFFFFu);
  return bytes;
}
