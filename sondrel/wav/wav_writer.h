// The two header images every output WAV starts with (44-byte plain and
// 68-byte WAVE_FORMAT_EXTENSIBLE), their completion for a job, and the RF64
// form of either for outputs too large for 32-bit sizes. The files
// themselves, and the size fix at the end of a job, are wav/outputs.
#pragma once
#include <cstdint>

constexpr int32_t PLAIN_HEADER_BYTES = 44;
constexpr int32_t EXTENSIBLE_HEADER_BYTES = 68;

// RF64: "RF64" in place of "RIFF", and a ds64 chunk after "WAVE" holding the
// 64-bit RIFF size, data size and sample count (frames), then a table length
// (0: no table). The 32-bit RIFF and data sizes stay at 0xFFFFFFFF.
constexpr int32_t DS64_CHUNK_BYTES = 36;        // id, size 28, the fields
constexpr int32_t DS64_RIFF_SIZE_AT = 20;       // offsets in an RF64 header
constexpr int32_t DS64_DATA_SIZE_AT = 28;
constexpr int32_t DS64_SAMPLE_COUNT_AT = 36;
constexpr int32_t RF64_HEADER_MAX_BYTES = EXTENSIBLE_HEADER_BYTES + DS64_CHUNK_BYTES;

// The program-wide images, refilled for every job.
extern uint8_t wav_plain_header[PLAIN_HEADER_BYTES];
extern uint8_t wav_extensible_header[EXTENSIBLE_HEADER_BYTES];

// Completes the plain image (use_extensible 0) or the extensible image
// (use_extensible 1) for `channels` channels of `bits` bits (IEEE float when
// is_float is 1) at `rate` Hz; the mask goes into the extensible image only.
void wav_header_fill(uint8_t* plain, uint8_t* extensible, int32_t use_extensible,
                     int32_t channels, int32_t rate, int32_t bits, int32_t is_float,
                     uint32_t channel_mask);

// Writes the RF64 form of a completed plain or extensible image (`riff_bytes`
// long) to `rf64`, which holds RF64_HEADER_MAX_BYTES; the ds64 values are 0
// until the size fix. Returns its length: riff_bytes + DS64_CHUNK_BYTES.
int32_t wav_rf64_image(const uint8_t* riff, int32_t riff_bytes, uint8_t* rf64);
