// The driver's decisions about one job, made before its header is printed:
// the samples as the job reads them, the number of outputs and their
// channels, the header kind, and what the samples go through (dsp_mode).
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

// Settles in_bits and in_float (a decoded stream is read as 32-bit float),
// output_count (0 stays 0: every channel is off; -1 becomes the count),
// output_channels, extensible_header and dsp_mode for file `index`, whose
// selection, group and output format are settled.
void settle_job_layout(const InputFile* files, int32_t index, JobSettings* settings);
