// Channel count and speaker mask of a decoded stream, derived from the
// decoders' flag words, and the layout tables behind them.
#pragma once
#include <cstdint>

#include "wav/input_file.h"

// From stream_flags: out_flags (arrangement code), channels, channel_mask and
// has_lfe (set, never cleared). Modes without a count leave channels as is.
void derive_ac3_layout(InputFile* file);
// From stream_flags: channels and channel_mask.
void derive_dts_layout(InputFile* file);

// A decoder flag word of a stream of `kind` without its LFE flag: the
// channel mode, which is also the row of the routing table.
int32_t flags_without_lfe(int32_t kind, int32_t flags);

// Channels of a DTS arrangement before LFE (0 above 15) and its speaker mask
// (0 where none is defined: arrangements 10 and up).
int32_t dts_arrangement_channels(int32_t amode);
uint32_t dts_arrangement_mask(int32_t amode);
