// The decode job: one compressed input into mono WAVs per selected channel or
// one multichannel WAV.
#pragma once
#include <cstdio>

#include "dsp/ssrc/ssrc_parallel.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

// Returns 1 when an output cannot be created, else 0 (it reports the outcome
// of the decoding itself).
int decode_job(FILE* stream, InputFile* file, SsrcParallel* resampler, JobSettings* settings);
