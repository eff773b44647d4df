// Reading a WAVE_FORMAT_EXTENSIBLE channel mask: the mask as a row of base-2
// digits, and speaker labels from that row.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

constexpr int32_t SPEAKER_ROW_CAPACITY = 19;  // 18 digits and the terminator

// Writes the mask's bits 17 down to 0 as '0'/'1' characters.
void speaker_mask_bits(uint32_t mask, char* row);

// Writes one label per set bit of `row` (bit 0 first) into the file's label
// slots, stopping at the slot count; returns the number of set bits.
int32_t labels_from_mask(InputFile* file, const char* row);
