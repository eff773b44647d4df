// Our thin layer around libdca: the byte-order latch over the four packings
// (14- and 16-bit words, either byte order), the header facts the library
// does not publish (frame size, sample count, arrangement, LFE, source
// resolution, bit-rate code, extension audio), and frame set-up on a copy
// of the frame in 16-bit big-endian words.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

struct DtsDecoder;

constexpr int32_t DTS_PACK_16_BE = 0;  // 7F FE 80 01
constexpr int32_t DTS_PACK_16_LE = 1;  // FE 7F 01 80
constexpr int32_t DTS_PACK_14_BE = 2;  // 1F FF E8 00
constexpr int32_t DTS_PACK_14_LE = 3;  // FF 1F 00 E8
constexpr int32_t DTS_LFE = 0x80;
constexpr int32_t DTS_ADJUST_LEVEL = 0x100;

// The 16-bit word at p in the stream's byte order.
inline uint32_t dts_word(const uint8_t* p, bool little_endian) {
  return little_endian ? (p[0] | (p[1] << 8)) : ((p[0] << 8) | p[1]);
}

// Bit rates stored for the open, variable and lossless rate codes.
constexpr double DTS_RATE_OPEN = 1.0;
constexpr double DTS_RATE_VARIABLE = 2.0;
constexpr double DTS_RATE_LOSSLESS = 3.0;

// The facts of one core frame header.
struct DtsHeader {
  int32_t frame_type;
  int32_t sample_count;   // (NBLKS + 1) x 32
  int32_t payload_bytes;  // FSIZE + 1: bytes of the frame in 16-bit words
  int32_t amode;
  int32_t sample_rate;  // 0 for an invalid code
  int32_t rate_code;
  double bit_rate;  // bits per second, or one of the DTS_RATE_ codes
  int32_t ext_audio_id;
  int32_t ext_audio;
  int32_t lfe;             // LFF field, non-zero when the stream has an LFE
  int32_t pcm_resolution;  // source bits from the PCMR code, 0 for a reserved code
  int32_t complete;        // 1 when the header bytes covered every field above
};

// Parses a header given in 16-bit big-endian words.
void dts_parse_header(const uint8_t* bytes, int32_t size, DtsHeader* header);

// Bytes of a frame in its packing for `payload_bytes` bytes of 16-bit words.
int32_t dts_packed_length(int32_t payload_bytes, int32_t packing);

// Converts `size` bytes of `packing` into 16-bit big-endian words; returns
// the bytes written (a partial 14-bit word is dropped).
int32_t dts_unpack(const uint8_t* in, int32_t size, int32_t packing, uint8_t* out);

// The packing whose sync word starts `bytes` (at least DTS_HEADER_BYTES), or
// PACKING_ANY when there is none.
int32_t dts_find_packing(const uint8_t* bytes);

DtsDecoder* dts_decoder_create();
void dts_decoder_release(DtsDecoder* decoder);

void dts_set_latch(DtsDecoder* decoder, int32_t packing);
int32_t dts_latch(const DtsDecoder* decoder);

// The frame length of a frame start in a packing the latch allows, or 0;
// changes nothing (a look at the next frame's header).
int32_t dts_frame_length(const DtsDecoder* decoder, const uint8_t* header);

// Sync test on DTS_HEADER_BYTES bytes. Returns the frame length in bytes or
// 0, and the frame's sample count through `sample_count`. Except in count
// mode it stores stream_flags (arrangement, 0x80 for LFE), sample_rate,
// bit_rate, and word_bits when the packing was newly found.
int32_t dts_sync_test(DtsDecoder* decoder, const uint8_t* header, InputFile* file, int32_t mode,
                      int32_t* sample_count);

// Frame set-up on the frame the last sync test accepted: requested flags
// from stream_flags, output flags back there; also frame_size, sample_rate,
// bits, bit_rate, has_lfe, channels, ext_audio_id, ext_audio. Returns
// non-zero when the frame cannot be decoded or the library complained.
int dts_frame_setup(DtsDecoder* decoder, const uint8_t* frame, InputFile* file, double* level,
                    double bias);

// 256-sample blocks in the current frame.
int32_t dts_frame_blocks(DtsDecoder* decoder);
void dts_dynrng_off(DtsDecoder* decoder);
// Decodes the next 256-sample block; non-zero on failure, or when the
// library complained about the block (its text never reaches the console).
int dts_decode_block(DtsDecoder* decoder);
// The library's sample buffer: 256 singles per output channel, centre
// first in the three-front modes, LFE last.
const float* dts_block_samples(DtsDecoder* decoder);
