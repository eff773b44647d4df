// Payload sniffer: a DTS sync word confirmed by a repeat at a power-of-two
// spacing, or an AC-3 sync word confirmed 6144 bytes later, turns a plain
// 16-bit stereo WAV into a carried stream.
#include "frontend/payload_sniffer.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int64_t SNIFF_LIMIT = 100000;
constexpr int64_t AC3_SPACING = 6144;

const uint8_t DTS14[4] = {0xFF, 0x1F, 0x00, 0xE8};
const uint8_t DTS16[4] = {0xFE, 0x7F, 0x01, 0x80};
const uint8_t AC3[2] = {0x77, 0x0B};

// The bytes of the file from `base` on, as far as the search may look.
struct Window {
  std::vector<uint8_t> bytes;
  int64_t base = 0;
  bool holds(int64_t at, const uint8_t* pattern, size_t length) const {
    const int64_t offset = at - base;
    if (offset < 0 || offset + static_cast<int64_t>(length) > static_cast<int64_t>(bytes.size()))
      return false;
    return std::memcmp(bytes.data() + offset, pattern, length) == 0;
  }
};

// First position p in [start, limit) holding the pattern, or -1.
int64_t find_pattern(const Window& w, int64_t start, int64_t limit, const uint8_t* pattern,
                     size_t length) {
  for (int64_t p = start; p < limit; ++p)
    if (w.holds(p, pattern, length)) return p;
  return -1;
}

// The spacing at which the DTS sync word at s repeats, or 0.
int64_t dts_spacing(const Window& w, int64_t s, int64_t limit, const uint8_t* pattern) {
  for (int64_t d = 256; s + d + 4 <= limit; d *= 2)
    if (w.holds(s + d, pattern, 4)) return d;
  return 0;
}

int32_t confirm_dts(InputFile* file, int64_t s, int64_t d, int32_t word_bits) {
  file->word_bits = word_bits;
  file->sync_offset = static_cast<int32_t>(s);
  file->burst_spacing = static_cast<int32_t>(d);
  file->burst_count = static_cast<int32_t>((static_cast<int64_t>(file->data_size) - s) / d);
  return KIND_DTS_WAV;
}

}  // namespace

int32_t sniff_wav_payload(FILE* stream, InputFile* file) {
  const int64_t data_offset = file->data_offset;
  const int64_t file_size = static_cast<int64_t>(file->file_size);
  const int64_t limit = std::min(file_size, SNIFF_LIMIT);
  file->sync_offset = 0;
  if (data_offset >= limit) return KIND_PCM_WAV;

  // An AC-3 confirmation may look up to 6144 bytes past the limit.
  Window w;
  w.base = data_offset;
  const int64_t end = std::min(file_size, limit + AC3_SPACING + 2);
  w.bytes.resize(static_cast<size_t>(end - data_offset));
  if (fseeko(stream, data_offset, SEEK_SET) != 0) return KIND_PCM_WAV;
  w.bytes.resize(std::fread(w.bytes.data(), 1, w.bytes.size(), stream));

  for (int64_t start = data_offset;;) {
    int64_t s = find_pattern(w, start, limit, DTS14, 4);
    if (s < 0) break;
    if (int64_t d = dts_spacing(w, s, limit, DTS14)) return confirm_dts(file, s, d, 14);
    start = s + 4;
  }
  for (int64_t start = data_offset;;) {
    int64_t s = find_pattern(w, start, limit, DTS16, 4);
    if (s < 0) break;
    if (int64_t d = dts_spacing(w, s, limit, DTS16)) return confirm_dts(file, s, d, 16);
    start = s + 4;
  }
  for (int64_t start = data_offset;;) {
    int64_t p = find_pattern(w, start, limit, AC3, 2);
    if (p < 0) break;
    if (w.holds(p + AC3_SPACING, AC3, 2)) {
      file->sync_offset = static_cast<int32_t>(p);
      file->burst_spacing = static_cast<int32_t>(AC3_SPACING);
      file->burst_count =
          static_cast<int32_t>((static_cast<int64_t>(file->data_size) - p) / AC3_SPACING);
      return KIND_AC3_WAV;
    }
    start = p + 4;
  }
  return KIND_PCM_WAV;
}
