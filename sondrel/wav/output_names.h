// Output file names of a job: stem, layout suffix, format suffix, speaker
// suffix and ".wav".
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

// Builds the first output_count entries of out_names for file `index` of
// `files`; a derived stem is stored in out_prefix when it fits there.
// Returns 0, or 1 after printing why: a name would not fit its buffer, or two
// outputs of the job would share a name.
int make_output_names(InputFile* files, int32_t index, JobSettings* settings);
