// Drives the resampler over a whole input through its streaming interface:
// frames pushed as they fit (or in pieces of a given size), every
// conversion pulled, the end of input announced.
#pragma once
#include <cstdint>
#include <vector>

#include "dsp/ssrc/ssrc.h"

struct ResampleRun {
  int32_t status = 0;          // ssrc_configure result
  std::vector<double> frames;  // delivered output, interleaved doubles
  int64_t delivered = 0;       // frames delivered
  int32_t calls = 0;           // conversions pulled
};

// Resamples interleaved doubles. `bits` is the source's stored width as the
// resampler sees it; `piece` frames are pushed at a time (0: all that fit).
ResampleRun resample(int32_t src_rate, int32_t dst_rate, int32_t channels,
                     const std::vector<double>& input, int32_t bits = 64, int32_t piece = 0);
