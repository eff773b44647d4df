// Output file names of a job: stem, layout suffix, format suffix, speaker
// suffix and ".wav".
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

// Builds the first output_count entries of out_names for file `index` of
// `files`; a derived stem is stored in out_prefix when it fits there.
// Returns 0, or 1 after printing why when a name would not fit its buffer
// (nothing is truncated). Names are not checked against each other here: a
// layout without labels names several outputs alike, which the job driver
// refuses before any output is created.
int make_output_names(InputFile* files, int32_t index, JobSettings* settings);
