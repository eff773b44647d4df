// The self-overwriting progress line with its time estimate, and the
// duration text of the completion lines.
#pragma once
#include <cstddef>
#include <cstdint>

#include "wav/job_settings.h"

// Seconds since program start (the program's clock).
double now_seconds();

// Sets eta_countdown, tick_limit and eta_interval for a job of `kind` whose
// input holds `size` bytes.
void progress_setup(JobSettings* settings, int32_t kind, int64_t size);

// One call per unit of work; prints the progress line when due.
void progress_tick(int64_t done, int64_t total, JobSettings* settings);

// Writes the job's duration text ("in 1 min, 1 sec]      ") into `buffer`
// and returns it.
char* elapsed_text(char* buffer, size_t size, const JobSettings* settings);
