// The header printed before each job, from what the driver settled.
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

// Input names and attributes, output attributes, extra processing, comment.
void print_job_header(const InputFile* files, int32_t index, const JobSettings* settings);
// The message of a job whose selection left no channel (no line end).
void print_selection_cancelled();
// The output names, once made.
void print_output_names(const JobSettings* settings);
