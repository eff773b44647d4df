// The native output-format hook of both decoder families.
#include "decode/format_hook.h"

#include <cstdlib>

#include "decode/ac3_decoder.h"

namespace {

// Shared part: the rate check, the requested flags, level 1 and bias 0.
int common_setup(FormatHook* hook, InputFile* file, double* level, double* bias) {
  if (hook->set_parameters == 0 && file->sample_rate != hook->sample_rate) return 1;
  hook->sample_rate = file->sample_rate;
  if (hook->requested_flags >= 0) file->stream_flags = hook->requested_flags;
  *level = 1.0;
  *bias = 0.0;
  return 0;
}

int dts_setup(FormatHook* hook, InputFile* file, double* level, double* bias) {
  return common_setup(hook, file, level, bias);
}

// A stereo stream flagged Dolby Surround is always requested as plain
// stereo: asked for the Dolby mode, the library would matrix any other
// layout down to two channels instead of reporting the change.
int ac3_setup(FormatHook* hook, InputFile* file, double* level, double* bias) {
  if (common_setup(hook, file, level, bias)) return 1;
  if ((file->stream_flags & 15) == AC3_MODE_DOLBY)
    file->stream_flags = (file->stream_flags & ~15) | 2;
  return 0;
}

}  // namespace

FormatHook* format_hook_create(int32_t kind) {
  FormatHook* hook = static_cast<FormatHook*>(std::calloc(1, sizeof(FormatHook)));
  if (!hook) return nullptr;
  hook->setup = is_ac3_family(kind) ? ac3_setup : dts_setup;
  hook->sample_rate = 0;
  hook->set_parameters = 1;
  hook->requested_flags = HOOK_STREAM_FLAGS;
  return hook;
}

void format_hook_release(FormatHook* hook) { std::free(hook); }
