// Conversion between stored PCM samples and the program's double sample
// blocks (interleaved, nominal full scale +-1.0), with rounding, clamping and,
// when the output format asks for it, dither through the noise shaper.
// Stored formats: unsigned 8-bit, signed 16, 24 and 32-bit integer, IEEE
// single; 64-bit float is copied by the jobs, never converted here.
#pragma once
#include <cstdint>

// The stored form of a job's output samples and how doubles are quantised to it.
struct OutputFormat {
  int32_t bits;            // 8, 16, 24, 32 or 64 bits per sample
  int32_t is_float;        // 1: IEEE float (32 or 64 bits); 0: integer PCM
  int32_t dither_type;     // 0 none, 1 noise, 2 noise with first-order shaping, 3 ATH shaping
  int32_t pdf_type;        // dither noise: 0 rectangular, 1 triangular, 2 gaussian
  double noise_amplitude;  // dither noise amplitude, in output LSBs
  int32_t clip_min;        // integer range the dithered samples are clamped to
  int32_t clip_max;        //   (32-bit float output uses the 32-bit integer range)
};

// The record for an output of `bits` bits (is_float for IEEE float) with the
// given dither settings.
OutputFormat make_output_format(int32_t bits, int32_t is_float, int32_t dither_type,
                                int32_t pdf_type, double noise_amplitude);

// True when the format is dithered, so the job opens the noise shaper (never
// for 64-bit float, which is written as computed).
bool output_is_dithered(const OutputFormat* format);

// Converts channels x frames stored samples (1 to 4 bytes each; 4 with
// is_float set reads IEEE singles) into doubles written from element
// channels x frame_offset of `dst`. Other widths write nothing.
void pcm_to_samples(double* dst, const uint8_t* src, int32_t bytes_per_sample, int32_t is_float,
                    int32_t channels, int32_t frames, int32_t frame_offset);

// Converts channels x frames doubles into `format`, packed into `dst`;
// dithered through the noise shaper when the format asks for dither and the
// shaper is open. Writes nothing for 64-bit float output: the jobs write
// 64-bit output from their doubles.
void samples_to_pcm(const double* src, void* dst, const OutputFormat* format, int32_t channels,
                    int32_t frames);

// R(): rounding half away from zero.
int64_t round_half_away(double x);
