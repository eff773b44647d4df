// The path of a block from its source to the outputs: into the resampler
// and out of it, converted to the output format (with dither), and written
// whole to the one output or channel by channel to one output each.
#include <algorithm>
#include <cstring>

#include "jobs/job_engine.h"

namespace {

// Copies channel `channel` of `frames` interleaved frames of `channels`
// samples of `width` bytes into `dst`. A 24-bit sample moves as 4 bytes
// whose last byte the next sample overwrites; the buffers have the slack
// for the last one.
void pick_channel(uint8_t* dst, const uint8_t* src, int32_t frames, int32_t channels,
                  int32_t channel, int32_t width) {
  const size_t stride = static_cast<size_t>(channels) * width;
  src += static_cast<size_t>(channel) * width;
  // Fixed-width copies, so that each compiles to plain moves.
  switch (width) {
    case 1:
      for (int32_t f = 0; f < frames; ++f, dst += 1, src += stride) *dst = *src;
      break;
    case 2:
      for (int32_t f = 0; f < frames; ++f, dst += 2, src += stride) std::memcpy(dst, src, 2);
      break;
    case 3:
      for (int32_t f = 0; f < frames; ++f, dst += 3, src += stride) std::memcpy(dst, src, 4);
      break;
    case 4:
      for (int32_t f = 0; f < frames; ++f, dst += 4, src += stride) std::memcpy(dst, src, 4);
      break;
    default:
      for (int32_t f = 0; f < frames; ++f, dst += 8, src += stride) std::memcpy(dst, src, 8);
      break;
  }
}

// Writes `frames` interleaved frames of `width`-byte samples: all of them to
// output 0, or channel picks[k] to output k.
bool distribute(JobEngine* e, const uint8_t* data, int32_t frames, int32_t width) {
  const JobPlan& plan = e->plan;
  if (frames <= 0) return true;
  if (plan.whole)
    return outputs_write(&e->outputs, 0, data,
                         static_cast<size_t>(frames) * plan.channels * width);
  const size_t bytes = static_cast<size_t>(frames) * width;
  for (int32_t k = 0; k < e->outputs.count; ++k) {
    uint8_t* room = outputs_reserve(&e->outputs, k, bytes);
    if (!room) return false;
    pick_channel(room, data, frames, plan.channels, plan.picks[k], width);
    outputs_commit(&e->outputs, k, bytes);
  }
  return true;
}

int32_t out_width(const JobPlan& plan) { return plan.format.bits / 8; }

// Interleaves frames [from, from + frames) of a block's planes into `dst`.
template <typename T>
void interleave_planes(const Block* b, int32_t channels, int32_t from, int32_t frames, T* dst) {
  for (int32_t c = 0; c < channels; ++c) {
    const float* src = b->planes[c] + from;
    for (int32_t i = 0; i < frames; ++i) dst[static_cast<int64_t>(i) * channels + c] = src[i];
  }
}

// Frames [from, from + frames) of a block as interleaved doubles at `dst`.
void block_to_doubles(const JobPlan& plan, const Block* b, int32_t from, int32_t frames,
                      double* dst) {
  if (b->form == BLOCK_PLANES) {
    interleave_planes(b, plan.channels, from, frames, dst);
    return;
  }
  const uint8_t* at = b->stored + static_cast<size_t>(from) * plan.channels * plan.in_bytes;
  if (plan.in_bytes == 8)
    std::memcpy(dst, at, static_cast<size_t>(frames) * plan.channels * sizeof(double));
  else
    pcm_to_samples(dst, at, plan.in_bytes, plan.in_float, plan.channels, frames, 0);
}

// Doubles to the outputs: every one of the `produced` frames is converted
// (so the dither's noise follows every frame computed), the `count` from
// `skip` on are written.
bool convert_and_write(JobEngine* e, const double* frames, int32_t produced, int32_t skip,
                       int32_t count) {
  const JobPlan& plan = e->plan;
  if (plan.format.bits == 64)
    return distribute(e, reinterpret_cast<const uint8_t*>(frames + static_cast<int64_t>(skip) *
                                                                       plan.channels),
                      count, 8);
  const int32_t width = out_width(plan);
  samples_to_pcm(frames, e->converted, &plan.format, plan.channels, produced);
  return distribute(e, e->converted + static_cast<size_t>(skip) * plan.channels * width, count,
                    width);
}

// A block at the source rate in the output format already (32-bit float
// from a decoder, or a WAV's samples unchanged).
bool write_unconverted(JobEngine* e, const Block* b, const uint8_t* room) {
  const JobPlan& plan = e->plan;
  if (b->frames <= 0) return true;
  if (b->form == BLOCK_STORED) {
    const size_t bytes = static_cast<size_t>(b->frames) * plan.channels * plan.in_bytes;
    if (plan.whole && b->stored == room) {  // built in the output's stage
      outputs_commit(&e->outputs, 0, bytes);
      return true;
    }
    return distribute(e, b->stored, b->frames, plan.in_bytes);
  }
  const size_t plane_bytes = static_cast<size_t>(b->frames) * sizeof(float);
  if (!plan.whole) {
    for (int32_t k = 0; k < e->outputs.count; ++k)
      if (!outputs_write(&e->outputs, k, b->planes[plan.picks[k]], plane_bytes)) return false;
    return true;
  }
  uint8_t* stage = outputs_reserve(&e->outputs, 0, plane_bytes * plan.channels);
  if (!stage) return false;
  interleave_planes(b, plan.channels, 0, b->frames, reinterpret_cast<float*>(stage));
  outputs_commit(&e->outputs, 0, plane_bytes * plan.channels);
  return true;
}

// Runs every conversion the resampler has input for (all that are left once
// the input has ended), writing each.
bool pull_conversions(JobEngine* e, BlockSource* source) {
  SsrcOutput out;
  while (ssrc_parallel_pull(e->rs, &out) == SSRC_PULLED) {
    if (!convert_and_write(e, out.frames, out.produced, out.skip, out.count)) return false;
    if (source->tick_per_conversion && ssrc_parallel_state(e->rs)->flushing != -1)
      job_tick(e, source);
  }
  return true;
}

// A block into the resampler, and what it gives out.
bool resample_block(JobEngine* e, BlockSource* source, const Block* b) {
  for (int32_t done = 0; done < b->frames;) {
    int32_t room = 0;
    double* at = ssrc_parallel_input_room(e->rs, &room);
    if (room <= 0) {
      if (!pull_conversions(e, source)) return false;
      at = ssrc_parallel_input_room(e->rs, &room);
      if (room <= 0) return false;
    }
    const int32_t frames = std::min(room, b->frames - done);
    block_to_doubles(e->plan, b, done, frames, at);
    ssrc_parallel_input_commit(e->rs, frames);
    done += frames;
  }
  if (b->last) ssrc_parallel_finish(e->rs);
  return pull_conversions(e, source);
}

// Decoded planes to one output each, without dither: each plane converted
// on its own (nothing links the channels), so the outputs take whole runs.
bool convert_planes(JobEngine* e, const Block* b) {
  const JobPlan& plan = e->plan;
  const int32_t width = out_width(plan);
  for (int32_t k = 0; k < e->outputs.count; ++k) {
    const float* src = b->planes[plan.picks[k]];
    for (int32_t i = 0; i < b->frames; ++i) e->doubles[i] = src[i];
    const void* data = e->doubles;
    if (plan.format.bits != 64) {
      samples_to_pcm(e->doubles, e->converted, &plan.format, 1, b->frames);
      data = e->converted;
    }
    if (!outputs_write(&e->outputs, k, data, static_cast<size_t>(b->frames) * width)) return false;
  }
  return true;
}

}  // namespace

bool deliver_block(JobEngine* e, BlockSource* source, const Block* b, uint8_t* room) {
  switch (e->plan.dsp_mode) {
    case DSP_COPY:
      return write_unconverted(e, b, room);
    case DSP_CONVERT: {
      if (b->frames <= 0) return true;
      if (b->form == BLOCK_PLANES && !e->plan.whole && e->plan.format.dither_type == 0)
        return convert_planes(e, b);
      const double* doubles = e->doubles;
      if (b->form == BLOCK_STORED && e->plan.in_bytes == 8)
        doubles = reinterpret_cast<const double*>(b->stored);  // 64-bit input as it is
      else
        block_to_doubles(e->plan, b, 0, b->frames, e->doubles);
      return convert_and_write(e, doubles, b->frames, 0, b->frames);
    }
    default:
      return resample_block(e, source, b);
  }
}

bool drain_resampler(JobEngine* e, BlockSource* source) {
  ssrc_parallel_finish(e->rs);
  return pull_conversions(e, source);
}
