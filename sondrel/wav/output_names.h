// Output file names of a job: stem, layout suffix, format suffix, speaker
// suffix and ".wav".
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

// Builds the first output_count entries of out_names for file `index` of
// `files`; may store the derived stem in out_prefix. Returns 0, or 1 after
// printing why when a name would not fit its buffer.
int make_output_names(InputFile* files, int32_t index, JobSettings* settings);
