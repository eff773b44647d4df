// Reading a WAVE_FORMAT_EXTENSIBLE channel mask: the mask as 18 base-2
// digits (bit 17 first) and one speaker label per set bit.
#include "report/speaker_mask.h"

#include <cstdio>
#include <cstring>

#include "wav/speakers.h"

constexpr int32_t MASK_BITS = SPEAKER_ROW_CAPACITY - 1;

void speaker_mask_bits(uint32_t mask, char* row) {
  for (int32_t i = 0; i < MASK_BITS; ++i)
    row[i] = (mask >> (MASK_BITS - 1 - i)) & 1u ? '1' : '0';
  row[MASK_BITS] = '\0';
}

int32_t labels_from_mask(InputFile* file, const char* row) {
  const size_t length = strnlen(row, MASK_BITS);
  uint32_t mask = 0;
  for (size_t i = 0; i < length; ++i)
    if (row[i] == '1') mask |= 1u << (length - 1 - i);

  int32_t found = 0;
  for (int32_t bit = 0; bit < static_cast<int32_t>(length); ++bit) {
    if (!(mask & (1u << bit))) continue;
    if (file->channel_names && found < file->channel_slots && file->channel_names[found])
      std::snprintf(file->channel_names[found], LABEL_CAPACITY, "%s", mask_bit_label(bit, mask));
    ++found;
  }
  return found;
}
