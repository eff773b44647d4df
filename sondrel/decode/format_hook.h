// The output-format hook: asked before every frame for the flags, level
// and bias that go to the decoder; the decode job also latches the first
// block's layout in it.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

struct FormatHook;
// Returns 1 to refuse the frame, else 0 with level and bias set.
typedef int (*FormatHookSetup)(FormatHook* hook, InputFile* file, double* level, double* bias);

struct FormatHook {
  FormatHookSetup setup;
  int32_t sample_rate;      // 0 when created
  int32_t set_parameters;   // 1 when created
  int32_t requested_flags;  // negative: the stream's own configuration
  int32_t latched_channels;
  uint32_t latched_mask;
  int32_t byte_counter;  // not used
};

constexpr int32_t HOOK_STREAM_FLAGS = -1;

// The native hook for a file of `kind`, or nullptr when memory ran out. Both
// families start by requesting the stream's own configuration; for AC-3
// that is the coded channel mode with its LFE bit.
FormatHook* format_hook_create(int32_t kind);
void format_hook_release(FormatHook* hook);
