// Routing of decoded blocks to the outputs: latch and change checks, the
// routing table pick, and the float, converted and resampled write paths.
#include "decode/block_router.h"

#include <cmath>
#include <cstring>

#include "decode/frame_buffer.h"
#include "decode/stream_layout.h"
#include "dsp/pcm_convert.h"
#include "wav/speakers.h"

namespace {

constexpr int32_t kRows = 11;
constexpr int32_t kSlots = 6;

const float kSilence[BLOCK_SAMPLES] = {};
// A whole library sample buffer of silence: every routing entry reads zeros.
const float kSilentBuffer[LIBRARY_BUFFER_SAMPLES] = {};

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

int write_output(JobOutputs* outputs, int32_t k, const void* data, size_t bytes) {
  if (!outputs || k >= outputs->count || !outputs->files[k]) return ROUTE_OK;
  return outputs_write(outputs, k, data, bytes) ? ROUTE_OK : ROUTE_WRITE_FAILED;
}

// The selected channels as interleaved doubles, in the route's order.
void interleave_doubles(const InputFile* f, const JobSettings* s, const float* samples,
                        const RouteState* route, double* out) {
  const int32_t n = s->selected_count;
  for (int32_t j = 0; j < n; ++j) {
    const float* src = slot_source(f, s, samples, s->selected_channels[route->order[j]]);
    if (!src) src = kSilence;
    for (int32_t i = 0; i < BLOCK_SAMPLES; ++i) out[i * n + j] = src[i];
  }
}

void interleave_floats(const InputFile* f, const JobSettings* s, const float* samples,
                       const RouteState* route, float* out) {
  const int32_t n = s->selected_count;
  for (int32_t j = 0; j < n; ++j) {
    const float* src = slot_source(f, s, samples, s->selected_channels[route->order[j]]);
    if (!src) src = kSilence;
    for (int32_t i = 0; i < BLOCK_SAMPLES; ++i) out[i * n + j] = src[i];
  }
}

// Writes channel k of `frames` interleaved samples of `width` bytes to output k.
int write_split(JobSettings* s, JobOutputs* outputs, const uint8_t* block, int32_t frames,
                int32_t width) {
  const int32_t n = s->selected_count;
  for (int32_t k = 0; k < n; ++k) {
    uint8_t* out = s->work_buffers.channel_bytes[k];
    for (int32_t i = 0; i < frames; ++i)
      std::memcpy(out + i * width, block + (static_cast<int64_t>(i) * n + k) * width,
                  static_cast<size_t>(width));
    const int r = write_output(outputs, k, out, static_cast<size_t>(frames) * width);
    if (r) return r;
  }
  return ROUTE_OK;
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
  if (f->channels != hook->latched_channels) {
    std::fputs("Error: Number of channels in the stream has changed!\n", stderr);
    return ROUTE_ERROR;
  }
  if (f->stream_flags != hook->requested_flags) {
    std::fputs("Error: Channel mode in the stream has changed!\n", stderr);
    return ROUTE_ERROR;
  }
  if (f->channel_mask != hook->latched_mask) {
    std::fputs("Error: Speaker flags in the stream has changed!\n", stderr);
    return ROUTE_ERROR;
  }
  // The outputs and the resampler are made for one rate.
  if (f->sample_rate != route->source_rate) {
    std::fputs("Error: Sample rate in the stream has changed!\n", stderr);
    return ROUTE_ERROR;
  }
  return ROUTE_OK;
}

// 32-bit float output at the source rate.
int route_float(InputFile* f, const float* samples, RouteState* route, JobSettings* s,
                JobOutputs* outputs) {
  const int32_t n = s->selected_count;
  if (s->output_layout == LAYOUT_MULTICHANNEL) {
    interleave_floats(f, s, samples, route, s->work_buffers.floats);
    return write_output(outputs, 0, s->work_buffers.floats,
                        static_cast<size_t>(n) * BLOCK_SAMPLES * sizeof(float));
  }
  for (int32_t k = 0; k < n; ++k) {
    const float* src = slot_source(f, s, samples, s->selected_channels[k]);
    const int r = write_output(outputs, k, src ? src : kSilence, BLOCK_SAMPLES * sizeof(float));
    if (r) return r;
  }
  return ROUTE_OK;
}

// Bit-depth or format conversion at the source rate.
int route_converted(InputFile* f, const float* samples, RouteState* route, JobSettings* s,
                    JobOutputs* outputs) {
  const OutputFormat format = make_output_format(s->out_bits, s->out_float, s->dither_type,
                                                 s->pdf_type, s->noise_amplitude);
  const int32_t n = s->selected_count;
  WorkBuffers* w = &s->work_buffers;
  const bool doubles_out = s->out_bits == 64;
  const int32_t width = s->out_bits / 8;
  if (s->output_layout != LAYOUT_MULTICHANNEL && !doubles_out && s->dither_type == 0) {
    // Without dither no state links the channels: convert each on its own.
    for (int32_t k = 0; k < n; ++k) {
      const float* src = slot_source(f, s, samples, s->selected_channels[k]);
      if (!src) src = kSilence;
      double* x = w->channel_doubles[k];
      for (int32_t i = 0; i < BLOCK_SAMPLES; ++i) x[i] = src[i];
      samples_to_pcm(x, w->channel_bytes[k], &format, 1, BLOCK_SAMPLES);
      const int r = write_output(outputs, k, w->channel_bytes[k],
                                 static_cast<size_t>(BLOCK_SAMPLES) * width);
      if (r) return r;
    }
    return ROUTE_OK;
  }
  interleave_doubles(f, s, samples, route, w->doubles);
  if (doubles_out) {
    if (s->output_layout == LAYOUT_MULTICHANNEL)
      return write_output(outputs, 0, w->doubles,
                          static_cast<size_t>(n) * BLOCK_SAMPLES * sizeof(double));
    return write_split(s, outputs, reinterpret_cast<const uint8_t*>(w->doubles), BLOCK_SAMPLES, 8);
  }
  // With dither, one conversion of all selected channels keeps a noise-shaping
  // history per channel.
  samples_to_pcm(w->doubles, w->bytes, &format, n, BLOCK_SAMPLES);
  if (s->output_layout == LAYOUT_MULTICHANNEL || n == 1)
    return write_output(outputs, 0, w->bytes, static_cast<size_t>(n) * BLOCK_SAMPLES * width);
  return write_split(s, outputs, w->bytes, BLOCK_SAMPLES, width);
}

// Converts and writes what one resampler conversion produced. Every
// produced frame is converted (the dither's noise follows the filters'
// output), the delivered ones are written.
int write_resampled(const SsrcOutput& out, JobSettings* s, JobOutputs* outputs) {
  const int32_t n = s->selected_count;
  const bool doubles_out = s->out_bits == 64;
  const int32_t width = doubles_out ? 8 : s->out_bits / 8;
  if (!doubles_out && out.produced > 0) {
    const OutputFormat format = make_output_format(s->out_bits, s->out_float, s->dither_type,
                                                   s->pdf_type, s->noise_amplitude);
    samples_to_pcm(out.frames, s->work_buffers.output_block, &format, n, out.produced);
  }
  if (out.count <= 0) return ROUTE_OK;
  const uint8_t* block = doubles_out ? reinterpret_cast<const uint8_t*>(out.frames)
                                     : s->work_buffers.output_block;
  const uint8_t* first = block + static_cast<int64_t>(out.skip) * n * width;
  if (s->output_layout == LAYOUT_MULTICHANNEL || n == 1)
    return write_output(outputs, 0, first, static_cast<size_t>(out.count) * n * width);
  return write_split(s, outputs, first, out.count, width);
}

// Runs every conversion the resampler has input for, writing each.
int pull_resampled(filterparms* fp, ssrc* rs, JobSettings* s, JobOutputs* outputs) {
  SsrcOutput out;
  while (ssrc_pull(fp, rs, &out) == SSRC_PULLED) {
    const int r = write_resampled(out, s, outputs);
    if (r) return r;
  }
  return ROUTE_OK;
}

int route_resampled(InputFile* f, const float* samples, RouteState* route, filterparms* fp,
                    ssrc* rs, JobSettings* s, JobOutputs* outputs) {
  int32_t room = 0;
  double* at = ssrc_input_room(fp, rs, &room);
  if (room < BLOCK_SAMPLES) return ROUTE_ERROR;  // every pull leaves room for a block
  interleave_doubles(f, s, samples, route, at);
  ssrc_input_commit(fp, rs, BLOCK_SAMPLES);
  return pull_resampled(fp, rs, s, outputs);
}

// Positions: the speaker bit a label stands for.
struct LabelPosition {
  const char* label;
  int32_t position;
};
const LabelPosition kAliases[] = {{"L", 0}, {"R", 1}, {"C", 2}, {"SL", 4}, {"SR", 5}};

}  // namespace

int32_t label_position(const char* label) {
  if (!label || !label[0]) return -1;
  for (const LabelPosition& a : kAliases)
    if (!std::strcmp(label, a.label)) return a.position;
  for (int32_t p = 0; p < 18; ++p) {
    const char* name = speaker_position_label(p);
    if (name && !std::strcmp(label, name)) return p;
  }
  return -1;
}

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
        slot >= 0 && slot < file->channel_slots ? label_position(file->channel_names[slot]) : -1;
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
  route->blocks = 0;
  for (int32_t k = 0; k < MAX_SELECTED; ++k) route->order[k] = k;
  if (s->output_layout == LAYOUT_MULTICHANNEL) multichannel_layout(file, s, route->order);
}

namespace {

// The selected channels of one block to the outputs, by dsp_mode.
int route_samples(InputFile* f, const float* samples, RouteState* route, filterparms* fp,
                  ssrc* rs, JobSettings* s, JobOutputs* outputs) {
  if (s->selected_count < 1 || s->selected_count > MAX_SELECTED) return ROUTE_OK;
  // The job's blocks must hold every selected channel and a whole block.
  const WorkBuffers& w = s->work_buffers;
  if (w.channels < s->selected_count || !w.floats || !w.doubles || !w.bytes || !w.channel_bytes ||
      !w.channel_doubles || (w.in_frames < BLOCK_SAMPLES && w.out_frames < BLOCK_SAMPLES))
    return ROUTE_ERROR;
  route->blocks += 1;
  switch (s->dsp_mode) {
    case 0:
      return route_float(f, samples, route, s, outputs);
    case 1:
      return route_converted(f, samples, route, s, outputs);
    default:
      if (!fp || !rs) return ROUTE_ERROR;
      return route_resampled(f, samples, route, fp, rs, s, outputs);
  }
}

}  // namespace

int route_block(FormatHook* hook, InputFile* f, const float* samples, RouteState* route,
                filterparms* fp, ssrc* rs, JobSettings* s, JobOutputs* outputs) {
  if (check_stream(hook, f, route)) return ROUTE_ERROR;
  f->out_flags = flags_without_lfe(f->kind, f->stream_flags);
  return route_samples(f, samples, route, fp, rs, s, outputs);
}

int route_silence(InputFile* f, int64_t count, RouteState* route, filterparms* fp, ssrc* rs,
                  JobSettings* s, JobOutputs* outputs) {
  for (int64_t b = 0; b < count; ++b) {
    const int r = route_samples(f, kSilentBuffer, route, fp, rs, s, outputs);
    if (r) return r;
  }
  return ROUTE_OK;
}

int drain_resampler(filterparms* fp, ssrc* rs, JobSettings* s, JobOutputs* outputs) {
  ssrc_finish(rs);
  return pull_resampled(fp, rs, s, outputs);
}
