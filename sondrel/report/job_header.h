// The header printed before each job; it also settles the job's output
// layout and has the output names made.
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

// Returns 1 when the job must be skipped (no output left), else 0.
int print_job_header(InputFile* files, int32_t index, JobSettings* settings);
