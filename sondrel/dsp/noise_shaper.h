// The process-wide noise shaper: dither noise from a precomputed table and
// error-feedback noise shaping for integer (and 32-bit float) output.
#pragma once
#include <cstdint>

// The integer range an output of `bits` bits is clipped to (32-bit integer
// and 32-bit float outputs share the 32-bit range).
void shaper_clip_range(int32_t bits, int32_t* clip_min, int32_t* clip_max);

// Prepares the shaper for one job. Returns 0, or 1 when memory ran out.
int shaper_open(int32_t out_rate, int32_t channels, int32_t clip_min, int32_t clip_max,
                int32_t dither_type, int32_t pdf_type, double noise_amplitude);
// Quantises one sample already scaled to output integer units.
int32_t shaper_quantize(double sample, int32_t channel);
// Releases the histories and the noise table.
void shaper_close();
// 1 while the shaper is open.
int shaper_is_open();
// Entry `index` (modulo the table size) of the open shaper's noise table, 0
// when closed (tests).
double shaper_noise_entry(uint32_t index);
