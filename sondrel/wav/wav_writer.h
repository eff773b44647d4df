// The two header images every output WAV starts with (44-byte plain and
// 68-byte WAVE_FORMAT_EXTENSIBLE), their completion for a job, and the size
// fix at the end of a job.
#pragma once
#include <cstdint>
#include <cstdio>

#include "wav/job_settings.h"

constexpr int32_t PLAIN_HEADER_BYTES = 44;
constexpr int32_t EXTENSIBLE_HEADER_BYTES = 68;

// The program-wide images, refilled for every job.
extern uint8_t wav_plain_header[PLAIN_HEADER_BYTES];
extern uint8_t wav_extensible_header[EXTENSIBLE_HEADER_BYTES];

// Completes the plain image (use_extensible 0) or the extensible image
// (use_extensible 1) for `channels` channels with the settings' out_rate,
// out_bits and out_float; the mask goes into the extensible image only.
void wav_header_fill(uint8_t* plain, uint8_t* extensible, int32_t use_extensible,
                     int32_t channels, const JobSettings* settings, uint32_t channel_mask);

// Flushes every open output and checks it for write errors. Returns 0, or 1
// after naming the output that failed.
int wav_outputs_flush(JobSettings* settings, FILE** outputs);

// For each open entry of the job's output_count outputs, in order: reopens
// the file by name for update, closes the job's handle (the entry becomes
// null) and writes the RIFF and data sizes from the file's length (sizes that
// do not fit 32 bits are written as 0xFFFFFFFF). Null entries (never opened,
// or already fixed) are passed over. Returns 0, or 1 at the first output that
// could not be fixed, after printing why; the outputs after it keep their
// open entries, and so does that output when it could not be reopened, so a
// later call can retry them.
int wav_fix_sizes(JobSettings* settings, FILE** outputs);

// Closes every open entry of the job's output_count outputs and sets it to
// null. Returns 0, or 1 after naming an output whose close failed.
int wav_outputs_close(JobSettings* settings, FILE** outputs);
