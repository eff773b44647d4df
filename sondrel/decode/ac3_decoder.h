// Our thin layer around liba52: the byte-order latch (natural order and
// 16-bit-swapped words), the header facts the library does not publish
// (frame-size and rate checks, Surround EX indicator), and frame set-up on
// natural-order bytes.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

struct Ac3Decoder;

constexpr int32_t AC3_ORDER_NATURAL = 0;  // 0B 77
constexpr int32_t AC3_ORDER_SWAPPED = 1;  // 77 0B (16-bit words byte-swapped)
constexpr int32_t AC3_BLOCKS_PER_FRAME = 6;
constexpr int32_t AC3_SAMPLES_PER_FRAME = 1536;
constexpr int32_t AC3_MODE_DOLBY = 10;
constexpr int32_t AC3_LFE = 0x10;
constexpr int32_t AC3_ADJUST_LEVEL = 0x20;

// A new decoder state (library state made with argument 0, latch unset), or
// nullptr when the library could not create one.
Ac3Decoder* ac3_decoder_create();
void ac3_decoder_release(Ac3Decoder* decoder);

void ac3_set_latch(Ac3Decoder* decoder, int32_t packing);
int32_t ac3_latch(const Ac3Decoder* decoder);

// The facts of one frame header.
struct Ac3Sync {
  int32_t order;        // AC3_ORDER_NATURAL or AC3_ORDER_SWAPPED
  int32_t sample_rate;  // Hz, after the half-rate shift
  double bit_rate;      // bits per second
  int32_t coded_mode;   // acmod
  int32_t flags;        // Dolby Surround stereo as mode 10, 0x10 for LFE
};

// The frame length of a header in an order the latch allows, or 0; changes
// nothing (a look at the next frame's header).
int32_t ac3_frame_length(const Ac3Decoder* decoder, const uint8_t* header);

// The frame length of an E-AC-3 (Dolby Digital Plus, bit-stream id 11 to
// 16) header in either byte order, or 0. Such frames are no AC-3 frames.
int32_t ac3_eac3_frame_length(const uint8_t* header);

// Sync test on AC3_HEADER_BYTES bytes. Returns the frame length in bytes, or
// 0 when the bytes are no frame start of an acceptable packing. Stores
// sample_rate and bit_rate; in collect mode also out_flags (the coded mode)
// and stream_flags (Dolby Surround stereo as mode 10, 0x10 for LFE).
int32_t ac3_sync_test(Ac3Decoder* decoder, const uint8_t* header, InputFile* file, int32_t mode);

// Frame set-up on the frame whose header the last sync test accepted: the
// library gets the requested flags from stream_flags, which then holds its
// output flags (Dolby Surround stereo given as plain stereo, mode 2). In
// collect mode ext_audio gets the Surround EX indicator. Returns non-zero
// when the frame cannot be decoded.
int ac3_frame_setup(Ac3Decoder* decoder, const uint8_t* frame, InputFile* file, double* level,
                    double bias, int32_t mode);

// Switches dynamic range compression off for the current frame.
void ac3_dynrng_off(Ac3Decoder* decoder);
// Decodes the next 256-sample block; non-zero on failure.
int ac3_decode_block(Ac3Decoder* decoder);
// The library's sample buffer: 256 singles per output channel, LFE first.
const float* ac3_block_samples(Ac3Decoder* decoder);

// The Surround EX indicator of a natural-order frame: the top two bits of
// the field that follows the second time-code flag, 0 when the flag is
// clear or the header is short.
int32_t ac3_surround_ex(const uint8_t* frame, int32_t size);
