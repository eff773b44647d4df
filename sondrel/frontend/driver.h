// The job driver: a first pass that describes every input, then a second
// pass that settles each file's (or interleave group's) output and runs the
// information report, the decode job or the PCM WAV job.
#pragma once
#include <cstdint>

#include "frontend/run_values.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

void run_job_driver(JobSettings* settings, InputFile* files, RunValues* run);

// Releases the job's output names; the user prefix names the first job
// only, so it is cleared here.
void free_job_buffers(JobSettings* settings);

// Refuses a job, before any output is created, whose outputs would share a
// name or be one of the job's inputs (same device and inode). Returns 0 when
// the job may run, 1 after printing why it may not.
int check_output_names(const JobSettings* settings, const InputFile* files, int32_t index);

// The status label of a run ("Processing" or "Batch processing"), and
// whether the whole list is one interleave group.
void choose_status_label(JobSettings* settings, const InputFile* files);
