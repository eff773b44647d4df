// Defaults of the settings record, and allocation of its per-job buffers.
#include "wav/job_settings.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

void init_job_settings(JobSettings* s) {
  std::memset(s, 0, sizeof *s);
  s->out_bits = 32;
  s->out_float = 1;
  s->noise_amplitude = 0.18;
  s->group_limit = 18;
}

static void* zeroed(size_t count, size_t size) {
  return count ? std::calloc(count, size) : nullptr;
}

template <typename T>
static T** zeroed_channels(int32_t channels, size_t length) {
  T** table = static_cast<T**>(zeroed(static_cast<size_t>(channels), sizeof(T*)));
  if (!table) return nullptr;
  for (int32_t c = 0; c < channels; ++c) {
    table[c] = static_cast<T*>(zeroed(length, sizeof(T)));
    if (!table[c]) {
      for (int32_t k = 0; k < c; ++k) std::free(table[k]);
      std::free(table);
      return nullptr;
    }
  }
  return table;
}

template <typename T>
static void release_channels(T**& table, int32_t channels) {
  if (!table) return;
  for (int32_t c = 0; c < channels; ++c) std::free(table[c]);
  std::free(table);
  table = nullptr;
}

int alloc_work_buffers(WorkBuffers* b, int32_t channels, int32_t in_frames, int32_t out_frames) {
  free_work_buffers(b);
  if (channels < 1 || in_frames < 0 || out_frames < 0) return 1;
  const size_t frames = static_cast<size_t>(std::max(in_frames, out_frames));
  const size_t samples = frames * static_cast<size_t>(channels);
  b->channels = channels;
  b->in_frames = in_frames;
  b->out_frames = out_frames;
  b->bytes = static_cast<uint8_t*>(zeroed(samples, 8));
  b->channel_bytes = zeroed_channels<uint8_t>(channels, frames * 8);
  b->floats = static_cast<float*>(zeroed(samples, sizeof(float)));
  b->doubles = static_cast<double*>(zeroed(samples, sizeof(double)));
  b->channel_doubles = zeroed_channels<double>(channels, frames);
  b->input_block = static_cast<uint8_t*>(zeroed(static_cast<size_t>(in_frames) * channels, 8));
  b->output_block = static_cast<uint8_t*>(zeroed(static_cast<size_t>(out_frames) * channels, 8));
  const bool complete = b->bytes && b->channel_bytes && b->floats &&
                        b->doubles && b->channel_doubles && (b->input_block || !in_frames) &&
                        (b->output_block || !out_frames);
  if (!complete) {
    free_work_buffers(b);
    return 1;
  }
  return 0;
}

void free_work_buffers(WorkBuffers* b) {
  std::free(b->bytes);
  std::free(b->floats);
  std::free(b->doubles);
  std::free(b->input_block);
  std::free(b->output_block);
  release_channels(b->channel_bytes, b->channels);
  release_channels(b->channel_doubles, b->channels);
  std::memset(b, 0, sizeof *b);
}

int alloc_out_names(JobSettings* s, int32_t count) {
  free_out_names(s);
  if (count <= 0) return 0;
  char** names = static_cast<char**>(std::calloc(static_cast<size_t>(count), sizeof(char*)));
  if (!names) return 1;
  for (int32_t i = 0; i < count; ++i) {
    names[i] = static_cast<char*>(std::calloc(OUT_NAME_CAPACITY, 1));
    if (!names[i]) {
      for (int32_t k = 0; k < i; ++k) std::free(names[k]);
      std::free(names);
      return 1;
    }
  }
  s->out_names = names;
  s->out_name_slots = count;
  return 0;
}

void free_out_names(JobSettings* s) {
  if (s->out_names) {
    for (int32_t i = 0; i < s->out_name_slots; ++i) std::free(s->out_names[i]);
    std::free(s->out_names);
  }
  s->out_names = nullptr;
  s->out_name_slots = 0;
}
