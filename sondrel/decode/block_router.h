// Routing of decoded 256-sample blocks: the stream latch and its change
// checks, the pick of each selected slot from the decoder's sample buffer,
// and the writes for float, converted and resampled output.
#pragma once
#include <cstdint>
#include <cstdio>

#include "decode/format_hook.h"
#include "dsp/ssrc/ssrc.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"
#include "wav/outputs.h"

constexpr int ROUTE_OK = 0;
constexpr int ROUTE_ERROR = 1;         // stream change, already reported
constexpr int ROUTE_WRITE_FAILED = 2;  // an output could not be written, already reported

struct RouteState {
  int32_t first_block;          // 1 before the first block of the job
  int32_t order[MAX_SELECTED];  // channel j of an interleaved block is selected entry order[j]
  int32_t source_rate;          // the rate the job (and its resampler) was set up for
  int64_t blocks;               // blocks routed so far, decoded or silent
};

// The speaker position (0..17) of a channel label, -1 when it has none.
int32_t label_position(const char* label);

// The channel order and mask of one multichannel output: the selected slots
// by speaker position and the mask of their labels; when a label names no
// position, slot order and the mask of the slot indices.
uint32_t multichannel_layout(const InputFile* file, const JobSettings* settings, int32_t* order);

// Prepares the router for a job (order of the interleaved channels).
void route_start(RouteState* route, const InputFile* file, const JobSettings* settings);

// Routes one decoded block of the library's sample buffer.
int route_block(FormatHook* hook, InputFile* file, const float* samples, RouteState* route,
                filterparms* fp, ssrc* rs, JobSettings* settings, JobOutputs* outputs);

// Routes `count` blocks of silence in place of blocks that could not be
// decoded, so the audio after them keeps its time.
int route_silence(InputFile* file, int64_t count, RouteState* route, filterparms* fp, ssrc* rs,
                  JobSettings* settings, JobOutputs* outputs);

// Drains the resampler at the end of the input (dsp_mode 2 and 3).
int drain_resampler(filterparms* fp, ssrc* rs, JobSettings* settings, JobOutputs* outputs);
