// Hand-built WAV files for tests: any stored format, plain or extensible
// header, odd fmt sizes, extra chunks before and after the data.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "test_files.h"

struct WavLayout {
  int channels = 1;
  int rate = 48000;
  int bits = 16;             // 8, 16, 24, 32 or 64
  bool is_float = false;
  bool extensible = false;   // fmt size 40, tag 0xFFFE
  uint32_t channel_mask = 0; // extensible only
  int fmt_size = 0;          // 0: 16 (plain) or 40 (extensible); 18 adds cbSize 0
  Bytes list_chunk;          // when not empty: a "LIST" chunk with this body before the data
  Bytes trailing_chunk;      // when not empty: a "junk" chunk with this body after the data
  int64_t declared_data_size = -1;  // data chunk size field; -1: the real size
};

// The header and data of a WAV holding `data` (already stored bytes).
Bytes make_wav(const WavLayout& layout, const Bytes& data);

// Stores samples given as doubles in the layout's format (integer formats take
// the values as integers: v is cast to the stored integer type).
Bytes pack_int_samples(const std::vector<int64_t>& values, int bits);
Bytes pack_float_samples(const std::vector<double>& values, int bits);
// Reads stored samples back (integers sign-extended; 8-bit offset removed).
std::vector<int64_t> unpack_int_samples(const Bytes& data, int bits);
std::vector<double> unpack_float_samples(const Bytes& data, int bits);

// A parsed output WAV: chunk walk of RIFF/WAVE.
struct WavFile {
  bool valid = false;
  uint32_t riff_size = 0;
  uint16_t format_tag = 0;
  int channels = 0;
  int rate = 0;
  int bits = 0;
  int block_align = 0;
  uint32_t byte_rate = 0;
  int fmt_size = 0;
  uint16_t valid_bits = 0;
  uint32_t channel_mask = 0;
  uint8_t sub_format = 0;    // first GUID byte of an extensible header
  size_t data_offset = 0;
  uint32_t data_size = 0;    // the data chunk's size field
  Bytes data;                // bytes after the data header up to the end of the file
                             // (less the pad byte after data of odd length)
};
WavFile parse_wav(const Bytes& file);
WavFile load_wav(const std::string& path);
