// The PCM WAV jobs: interleave mono WAVs into one multichannel WAV, re-pack
// the selected channels of a WAV, convert a WAV's depth and rate keeping its
// channels together (/x), or split a WAV into one mono WAV per channel.
#pragma once
#include <cstdio>

#include "dsp/ssrc/ssrc_parallel.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

// Runs the job for files[settings->file_index] (and its interleave group),
// with the resampler set up when it resamples. Returns 1 when
// the user aborted at the halt prompt (the batch then ends), else 0, also
// when an output or a group input cannot be opened.
int pcm_job(FILE* stream, InputFile* files, SsrcParallel* resampler, JobSettings* settings);
