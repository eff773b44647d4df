// The sample-rate converter: filter design (`filterparms`) and running state
// (`ssrc`) of one resampling job, and the job's block buffers.
#pragma once
#include <cstdint>

#include "wav/input_file.h"
#include "wav/job_settings.h"

struct filterparms;  // the job's filter design (fields: see ssrc.cc's owner)
struct ssrc;         // the job's running state and buffers

// Clears both records for a new resampling job; for a PCM source records its
// number of sample frames in total_frames.
void ssrc_reset(filterparms* fp, ssrc* state, const InputFile* file);

// Allocates the job's block buffers in settings->work_buffers, and for
// dsp_mode 2 or 3 designs the filters and allocates the resampler's buffers.
// Returns 0, or 1 after printing why the ratio cannot be handled.
int ssrc_configure(InputFile* file, filterparms* fp, ssrc* state, JobSettings* settings);

// Converts what the caller put into the input buffer (see ssrc.cc).
void ssrc_process(int32_t channels, int32_t source_rate, JobSettings* settings,
                  int32_t frames_read, int32_t frames_appended, filterparms* fp, ssrc* state,
                  int32_t* all_delayed, int32_t* skip, int32_t* count);

// Releases the tables and buffers of both records (not the records).
void ssrc_free(filterparms* fp, ssrc* state);
