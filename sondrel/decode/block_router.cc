// Routing of decoded blocks: the latch and change checks, and the routing
// table pick of every selected slot.
#include "decode/block_router.h"

#include <cstdio>
#include <cstring>

#include "decode/frame_buffer.h"
#include "decode/stream_layout.h"
#include "wav/speakers.h"

namespace {

constexpr int32_t kRows = 11;
constexpr int32_t kSlots = 6;

const float kSilence[BLOCK_SAMPLES] = {};

// The 256 samples of selected slot `slot`, or nullptr when the slot has no
// routing entry (it then delivers silence).
const float* slot_source(const InputFile* f, const JobSettings* s, const float* samples,
                         int32_t slot) {
  const int32_t row = f->out_flags;
  if (row < 0 || row >= kRows || slot < 0 || slot >= kSlots) return nullptr;
  const int32_t offset = s->channel_offsets[(row * kSlots + slot) * 2 + (f->has_lfe ? 1 : 0)];
  if (offset < 0 || offset > LIBRARY_BUFFER_SAMPLES - BLOCK_SAMPLES) return nullptr;
  return samples + offset;
}

int check_stream(FormatHook* hook, InputFile* f, RouteState* route) {
  if (is_ac3_family(f->kind))
    derive_ac3_layout(f);
  else
    derive_dts_layout(f);
  if (route->first_block) {
    route->first_block = 0;
    hook->set_parameters = 1;
    hook->latched_mask = f->channel_mask;
    hook->latched_channels = f->channels;
    hook->requested_flags = f->stream_flags;
  }
  // The outputs and the resampler are made for one layout and one rate.
  const struct {
    bool changed;
    const char* message;
  } checks[] = {
      {f->channels != hook->latched_channels,
       "Error: Number of channels in the stream has changed!\n"},
      {f->stream_flags != hook->requested_flags,
       "Error: Channel mode in the stream has changed!\n"},
      {f->channel_mask != hook->latched_mask,
       "Error: Speaker flags in the stream has changed!\n"},
      {f->sample_rate != route->source_rate,
       "Error: Sample rate in the stream has changed!\n"}};
  for (const auto& check : checks)
    if (check.changed) {
      std::fputs(check.message, stderr);
      return ROUTE_ERROR;
    }
  return ROUTE_OK;
}

}  // namespace

uint32_t multichannel_layout(const InputFile* file, const JobSettings* s, int32_t* order) {
  const int32_t n = s->selected_count;
  int32_t position[MAX_SELECTED];
  uint32_t label_mask = 0;
  bool labelled = true;
  uint32_t slot_mask = 0;
  for (int32_t k = 0; k < n; ++k) {
    order[k] = k;
    const int32_t slot = s->selected_channels[k];
    if (slot >= 0 && slot < 32) slot_mask |= 1u << slot;
    position[k] =
        slot >= 0 && slot < file->channel_slots ? speaker_label_position(file->channel_names[slot]) : -1;
    if (position[k] < 0 || (label_mask & (1u << position[k]))) labelled = false;
    if (position[k] >= 0) label_mask |= 1u << position[k];
  }
  if (!labelled) return slot_mask;
  // Channels of an extensible WAV follow the speaker positions upward.
  for (int32_t a = 1; a < n; ++a)
    for (int32_t b = a; b > 0 && position[order[b]] < position[order[b - 1]]; --b) {
      const int32_t t = order[b];
      order[b] = order[b - 1];
      order[b - 1] = t;
    }
  return label_mask;
}

void route_start(RouteState* route, const InputFile* file, const JobSettings* s) {
  route->first_block = 1;
  route->source_rate = file->sample_rate;
  for (int32_t k = 0; k < MAX_SELECTED; ++k) route->order[k] = k;
  if (s->output_layout == LAYOUT_MULTICHANNEL) multichannel_layout(file, s, route->order);
}

int route_block(FormatHook* hook, InputFile* f, const float* samples, RouteState* route,
                const JobSettings* s, Block* block) {
  if (check_stream(hook, f, route)) return ROUTE_ERROR;
  f->out_flags = flags_without_lfe(f->kind, f->stream_flags);
  block->form = BLOCK_PLANES;
  block->frames = BLOCK_SAMPLES;
  for (int32_t j = 0; j < s->selected_count && j < MAX_BLOCK_CHANNELS; ++j) {
    const float* src = slot_source(f, s, samples, s->selected_channels[route->order[j]]);
    block->planes[j] = src ? src : kSilence;
  }
  return ROUTE_OK;
}

void route_silence(const JobSettings* s, Block* block) {
  block->form = BLOCK_PLANES;
  block->frames = BLOCK_SAMPLES;
  for (int32_t j = 0; j < s->selected_count && j < MAX_BLOCK_CHANNELS; ++j)
    block->planes[j] = kSilence;
}
