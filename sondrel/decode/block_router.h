// Routing of decoded 256-sample blocks: the stream latch and its change
// checks, and the pick of each selected slot from the decoder's sample
// buffer by the routing table, in the order the outputs take them.
#pragma once
#include <cstdint>

#include "decode/format_hook.h"
#include "jobs/block_source.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

constexpr int ROUTE_OK = 0;
constexpr int ROUTE_ERROR = 1;  // the stream changed, already reported

struct RouteState {
  int32_t first_block;          // 1 before the first block of the job
  int32_t order[MAX_SELECTED];  // channel j of a block is selected entry order[j]
  int32_t source_rate;          // the rate the job (and its resampler) was set up for
};

// The channel order and mask of one multichannel output: the selected slots
// by speaker position and the mask of their labels; when a label names no
// position, slot order and the mask of the slot indices.
uint32_t multichannel_layout(const InputFile* file, const JobSettings* settings, int32_t* order);

// Prepares the router for a job (order of the channels of a block).
void route_start(RouteState* route, const InputFile* file, const JobSettings* settings);

// Routes one decoded block of the library's sample buffer into `block`
// (BLOCK_PLANES, one plane per selected slot) after checking the stream
// against the first block's layout. Returns ROUTE_OK or ROUTE_ERROR.
int route_block(FormatHook* hook, InputFile* file, const float* samples, RouteState* route,
                const JobSettings* settings, Block* block);

// A block of silence in place of one that could not be decoded.
void route_silence(const JobSettings* settings, Block* block);
