// The two header images every output WAV starts with (44-byte plain and
// 68-byte WAVE_FORMAT_EXTENSIBLE) and their completion for a job. The files
// themselves, and the size fix at the end of a job, are wav/outputs.
#pragma once
#include <cstdint>

constexpr int32_t PLAIN_HEADER_BYTES = 44;
constexpr int32_t EXTENSIBLE_HEADER_BYTES = 68;

// The program-wide images, refilled for every job.
extern uint8_t wav_plain_header[PLAIN_HEADER_BYTES];
extern uint8_t wav_extensible_header[EXTENSIBLE_HEADER_BYTES];

// Completes the plain image (use_extensible 0) or the extensible image
// (use_extensible 1) for `channels` channels of `bits` bits (IEEE float when
// is_float is 1) at `rate` Hz; the mask goes into the extensible image only.
void wav_header_fill(uint8_t* plain, uint8_t* extensible, int32_t use_extensible,
                     int32_t channels, int32_t rate, int32_t bits, int32_t is_float,
                     uint32_t channel_mask);
