// Header images against hand-built headers.
#include <gtest/gtest.h>

#include <string>

#include "test_files.h"
#include "wav/wav_writer.h"

namespace {

Bytes image(const uint8_t* bytes, size_t size) { return Bytes(bytes, bytes + size); }

// A plain header as a reader expects it, built field by field.
Bytes expected_plain(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  Bytes b;
  append_text(b, "RIFF");
  append_u32(b, 0);
  append_text(b, "WAVEfmt ");
  append_u32(b, 16);
  append_u16(b, tag);
  append_u16(b, channels);
  append_u32(b, rate);
  append_u32(b, rate * channels * bits / 8);
  append_u16(b, static_cast<uint16_t>(channels * bits / 8));
  append_u16(b, bits);
  append_text(b, "data");
  append_u32(b, 0);
  return b;
}

Bytes expected_extensible(uint16_t channels, uint32_t rate, uint16_t bits, uint32_t mask,
                          uint8_t sub_format) {
  Bytes b;
  append_text(b, "RIFF");
  append_u32(b, 0xFFFFFFF0u);
  append_text(b, "WAVEfmt ");
  append_u32(b, 40);
  append_u16(b, 0xFFFE);
  append_u16(b, channels);
  append_u32(b, rate);
  append_u32(b, rate * channels * bits / 8);
  append_u16(b, static_cast<uint16_t>(channels * bits / 8));
  append_u16(b, bits);
  append_u16(b, 22);
  append_u16(b, bits);
  append_u32(b, mask);
  const uint8_t guid[16] = {sub_format, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                            0x80,       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
  b.insert(b.end(), guid, guid + 16);
  append_text(b, "data");
  append_u32(b, 0xFFFFFFB4u);
  return b;
}

// An output format: bits, float flag, rate.
struct Format {
  int32_t bits, is_float, rate;
};

Format settings_for(int32_t bits, int32_t is_float, int32_t rate) { return {bits, is_float, rate}; }

void fill(int32_t use_extensible, int32_t channels, const Format& f, uint32_t mask) {
  wav_header_fill(wav_plain_header, wav_extensible_header, use_extensible, channels, f.rate, f.bits,
                  f.is_float, mask);
}

}  // namespace

TEST(WavHeaderImages, FilledPlainAndExtensibleImagesMatchHandBuiltHeaders) {
  Format s = settings_for(16, 0, 48000);
  fill(0, 1, s, 0x3F);
  EXPECT_EQ(image(wav_plain_header, PLAIN_HEADER_BYTES), expected_plain(1, 1, 48000, 16));

  s = settings_for(32, 1, 44100);
  fill(0, 2, s, 0);
  EXPECT_EQ(image(wav_plain_header, PLAIN_HEADER_BYTES), expected_plain(3, 2, 44100, 32));

  // Filling the plain image leaves the extensible one alone (and its mask).
  const Bytes before = image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES);
  fill(0, 6, s, 0x3F);
  EXPECT_EQ(image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES), before);

  // 16-bit multichannel: 16 in both bit fields, block align 2 x channels.
  s = settings_for(16, 0, 48000);
  fill(1, 6, s, 0x3F);
  EXPECT_EQ(image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES),
            expected_extensible(6, 48000, 16, 0x3F, 0x01));

  // Float output: sub-format byte 3; the rest of the GUID never changes.
  s = settings_for(64, 1, 96000);
  fill(1, 18, s, 0x3FFFF);
  EXPECT_EQ(image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES),
            expected_extensible(18, 96000, 64, 0x3FFFF, 0x03));

  // 24-bit integer after float: back to byte 1, every field rewritten.
  s = settings_for(24, 0, 44100);
  fill(1, 2, s, 0x3);
  EXPECT_EQ(image(wav_extensible_header, EXTENSIBLE_HEADER_BYTES),
            expected_extensible(2, 44100, 24, 0x3, 0x01));
}
