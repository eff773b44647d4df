// Drives the resampler over a whole input the way the PCM WAV job does:
// frames asked per call, the flushing flag at the end, skip/count trimming.
#pragma once
#include <cstdint>
#include <vector>

#include "dsp/ssrc/ssrc.h"

struct ResampleRun {
  int32_t status = 0;          // ssrc_configure result
  std::vector<double> frames;  // delivered output, interleaved doubles
  int64_t delivered = 0;       // frames delivered
  int32_t calls = 0;
};

// Resamples interleaved doubles (64-bit float in and out). `bits` is the
// source's stored width as the resampler sees it.
ResampleRun resample(int32_t src_rate, int32_t dst_rate, int32_t channels,
                     const std::vector<double>& input, int32_t bits = 64);
