// Conversion between stored PCM samples and the program's double sample
// blocks (interleaved, nominal full scale +-1.0), with rounding, clamping and,
// when the settings ask for it, dither through the noise shaper.
#pragma once
#include <cstdint>

#include "wav/job_settings.h"

// Converts channels x frames stored samples (1 to 4 bytes each; 4 with
// is_float set reads IEEE singles) into doubles written from element
// channels x frame_offset of `dst`. Other widths write nothing.
void pcm_to_samples(double* dst, const uint8_t* src, int32_t bytes_per_sample, int32_t is_float,
                    int32_t channels, int32_t frames, int32_t frame_offset);

// Converts channels x frames doubles into the output format of the settings
// (out_bits, out_float, dither_type, gain), packed into `dst`. Writes nothing
// for 64-bit float output: the jobs write 64-bit output from their doubles.
void samples_to_pcm(const double* src, void* dst, const JobSettings* settings, int32_t channels,
                    int32_t frames);

// R(): rounding half away from zero.
int64_t round_half_away(double x);
