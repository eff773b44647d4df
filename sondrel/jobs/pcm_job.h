// The PCM WAV jobs: interleave, re-pack, convert and split.
#pragma once
#include <cstdio>

#include "dsp/ssrc/ssrc.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

// Runs the job for files[settings->file_index]. Returns 1 when the user
// aborted at the halt prompt, else 0.
int pcm_job(FILE* stream, InputFile* files, filterparms* fp, ssrc* state, JobSettings* settings,
            FILE** outputs);
