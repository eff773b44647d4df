// One block of a PCM WAV job: read, interleave or pick channels, convert or
// resample, and write. Blocks are taken from the input chunks in place and
// written into the output stages (block_io), so that a split or interleave
// copies each sample once between the two.
#include <algorithm>
#include <cstring>

#include "dsp/pcm_convert.h"
#include "jobs/block_io.h"
#include "jobs/pcm_job.h"

namespace {

constexpr int32_t BLOCK_FRAMES = 512;

// Room for `bytes` in output k's stage; nullptr (the job's write failed)
// when the stage could not be written out.
uint8_t* stage_reserve(PcmJob* job, int32_t k, size_t bytes) {
  uint8_t* room = outputs_reserve(&job->outputs, k, bytes);
  if (!room) job->write_failed = 1;
  return room;
}

void stage_commit(PcmJob* job, int32_t k, size_t bytes) {
  outputs_commit(&job->outputs, k, bytes);
}

bool write_output(PcmJob* job, int32_t k, const void* data, size_t bytes) {
  if (outputs_write(&job->outputs, k, data, bytes)) return true;
  job->write_failed = 1;
  return false;
}

// Copies channel `channel` of `frames` interleaved frames of `channels`
// samples of `width` bytes into `dst`. A 24-bit sample moves as 4 bytes
// whose last byte the next sample overwrites; the buffers have the slack
// for the last one (block_io pads every chunk and stage).
void pick_channel(uint8_t* dst, const uint8_t* src, int32_t frames, int32_t channels,
                  int32_t channel, int32_t width) {
  const size_t stride = static_cast<size_t>(channels) * width;
  src += static_cast<size_t>(channel) * width;
  // Fixed-width copies, so that each compiles to plain moves.
  switch (width) {
    case 1: for (int32_t f = 0; f < frames; ++f, dst += 1, src += stride) *dst = *src; break;
    case 2: for (int32_t f = 0; f < frames; ++f, dst += 2, src += stride) std::memcpy(dst, src, 2); break;
    case 3: for (int32_t f = 0; f < frames; ++f, dst += 3, src += stride) std::memcpy(dst, src, 4); break;
    case 4: for (int32_t f = 0; f < frames; ++f, dst += 4, src += stride) std::memcpy(dst, src, 4); break;
    default: for (int32_t f = 0; f < frames; ++f, dst += 8, src += stride) std::memcpy(dst, src, 8); break;
  }
}

// Interleaves the channel blocks `blocks` (block g holding got[g] bytes)
// into `frames` frames of `dst`, frame by frame so that the 4-byte moves of
// 24-bit samples only ever spill into the sample written next; samples past
// the end of a shorter block are silence (128 for the unsigned 8-bit
// samples, zero otherwise).
template <int W>
void interleave_fixed(uint8_t* dst, const uint8_t* const* blocks, const size_t* got, int32_t frames,
                      int32_t groups) {
  static const uint8_t zeros[8] = {};
  static const uint8_t unsigned_zeros[8] = {128, 128, 128, 128, 128, 128, 128, 128};
  const uint8_t* silence = W == 1 ? unsigned_zeros : zeros;
  constexpr int MOVE = W == 3 ? 4 : W;
  for (int32_t f = 0; f < frames; ++f)
    for (int32_t g = 0; g < groups; ++g, dst += W) {
      const size_t at = static_cast<size_t>(f) * W;
      std::memcpy(dst, at < got[g] ? blocks[g] + at : silence, MOVE);
    }
}

void interleave_channels(uint8_t* dst, const uint8_t* const* blocks, const size_t* got,
                         int32_t frames, int32_t groups, int32_t width) {
  switch (width) {
    case 1: interleave_fixed<1>(dst, blocks, got, frames, groups); break;
    case 2: interleave_fixed<2>(dst, blocks, got, frames, groups); break;
    case 3: interleave_fixed<3>(dst, blocks, got, frames, groups); break;
    case 4: interleave_fixed<4>(dst, blocks, got, frames, groups); break;
    default: interleave_fixed<8>(dst, blocks, got, frames, groups); break;
  }
}

// Writes `frames` interleaved frames of `channels` output samples: the whole
// block to the one output, or each selected channel to its own output.
bool write_frames(PcmJob* job, const uint8_t* data, int32_t frames, int32_t channels) {
  JobSettings* s = job->settings;
  const int32_t width = s->out_bits / 8;
  if (job->kind != PCM_SPLIT)
    return write_output(job, 0, data, static_cast<size_t>(frames) * channels * width);
  const size_t bytes = static_cast<size_t>(frames) * width;
  for (int32_t k = 0; k < s->selected_count && k < s->output_count; ++k) {
    uint8_t* room = stage_reserve(job, k, bytes);
    if (!room) return false;
    pick_channel(room, data, frames, channels, s->selected_channels[k], width);
    stage_commit(job, k, bytes);
  }
  return true;
}

// Converts `frames` interleaved input frames to the output format and
// writes them.
bool convert_and_write(PcmJob* job, const uint8_t* block, int32_t frames, int32_t channels) {
  JobSettings* s = job->settings;
  WorkBuffers& b = s->work_buffers;
  if (s->dsp_mode == 0) return write_frames(job, block, frames, channels);
  const double* samples = reinterpret_cast<const double*>(block);
  if (job->in_bytes != 8) {
    pcm_to_samples(b.doubles, block, job->in_bytes, job->file->is_float, channels, frames, 0);
    samples = b.doubles;
  }
  if (s->out_bits == 64 && s->out_float)
    return write_frames(job, reinterpret_cast<const uint8_t*>(samples), frames, channels);
  const OutputFormat format = make_output_format(s->out_bits, s->out_float, s->dither_type,
                                                 s->pdf_type, s->noise_amplitude);
  samples_to_pcm(samples, b.output_block, &format, channels, frames);
  return write_frames(job, b.output_block, frames, channels);
}

// Interleave: one block of each group file, shorter files padded with silence.
// Copies go straight into the output stage, or through the input block when
// the samples are converted.
int interleave_block(PcmJob* job) {
  JobSettings* s = job->settings;
  const int32_t width = job->in_bytes, groups = s->group_size;
  const uint8_t* blocks[MAX_SELECTED];
  size_t got[MAX_SELECTED];
  size_t largest = 0;
  for (int32_t g = 0; g < groups; ++g) {
    blocks[g] = take_input(job, g, s->group_files[g], static_cast<size_t>(BLOCK_FRAMES) * width, &got[g]);
    largest = std::max(largest, got[g]);
  }
  if (largest == 0) return 1;
  job->bytes_read += static_cast<int64_t>(largest);
  const int32_t frames = static_cast<int32_t>(largest / width);
  const size_t bytes = static_cast<size_t>(frames) * groups * width;
  const bool copy_only = s->dsp_mode == 0;
  uint8_t* target = copy_only ? stage_reserve(job, 0, bytes) : s->work_buffers.input_block;
  if (!target) return 1;
  for (int32_t g = 0; g < groups; ++g) got[g] -= got[g] % width;  // whole samples only
  interleave_channels(target, blocks, got, frames, groups, width);
  if (copy_only) {
    stage_commit(job, 0, bytes);
    return 0;
  }
  return convert_and_write(job, target, frames, groups) ? 0 : 1;
}

// Re-pack: the selected channels of each frame, interleaved again.
int repack_block(PcmJob* job) {
  JobSettings* s = job->settings;
  const int32_t width = job->in_bytes, channels = job->channels;
  const size_t frame_bytes = static_cast<size_t>(channels) * width;
  size_t got = 0;
  uint8_t* block = take_input(job, 0, job->input, BLOCK_FRAMES * frame_bytes, &got);
  job->bytes_read += static_cast<int64_t>(got);
  const int32_t frames = static_cast<int32_t>(got / frame_bytes);
  const int32_t selected = s->selected_count;
  if (selected < channels) {
    // In place: every sample moves to a position at or below its own.
    for (int32_t f = 0; f < frames; ++f)
      for (int32_t k = 0; k < selected; ++k)
        std::memmove(block + (static_cast<size_t>(f) * selected + k) * width,
                     block + f * frame_bytes + static_cast<size_t>(s->selected_channels[k]) * width,
                     width);
  }
  if (frames > 0 && !convert_and_write(job, block, frames, selected)) return 1;
  return (got == 0 || job->remaining[0] == 0) && job->chunks[0].pos == job->chunks[0].size ? 1 : 0;
}

// Convert and split at the source rate.
int plain_block(PcmJob* job) {
  const size_t frame_bytes = static_cast<size_t>(job->channels) * job->in_bytes;
  size_t got = 0;
  const uint8_t* block = take_input(job, 0, job->input, BLOCK_FRAMES * frame_bytes, &got);
  if (got == 0) return 1;
  job->bytes_read += static_cast<int64_t>(got);
  const int32_t frames = static_cast<int32_t>(got / frame_bytes);
  return convert_and_write(job, block, frames, job->channels) ? 0 : 1;
}

// Resampled convert and split: what the resampler asks for is read and
// pushed (the input ends with the block that exhausts the data), one
// conversion runs, and what comes out after the filter delay is converted
// and written. Every block after the last one converts the held input
// padded with silence, until the resampler has delivered the whole output.
int resample_block(PcmJob* job) {
  JobSettings* s = job->settings;
  WorkBuffers& b = s->work_buffers;
  filterparms* fp = job->fp;
  ssrc* rs = job->rs;
  const int32_t channels = job->channels, width = job->in_bytes;
  int64_t want = ssrc_frames_wanted(fp, rs);
  if (s->dsp_mode == DSP_DOWNSAMPLE)
    want = std::max<int64_t>(0, std::min<int64_t>(want, job->total_frames - job->frames_pushed));
  const size_t frame_bytes = static_cast<size_t>(channels) * width;
  const size_t asked = static_cast<size_t>(want) * frame_bytes;
  const size_t got = read_data(job->input, b.input_block, asked, &job->remaining[0]);
  job->bytes_read += static_cast<int64_t>(got);
  const int32_t frames_read = static_cast<int32_t>(got / frame_bytes);
  job->frames_pushed += frames_read;

  int32_t room = 0;
  double* at = ssrc_input_room(fp, rs, &room);
  if (frames_read > room) return 1;
  if (width == 8)
    std::memcpy(at, b.input_block, static_cast<size_t>(frames_read) * channels * sizeof(double));
  else
    pcm_to_samples(at, b.input_block, width, job->file->is_float, channels, frames_read, 0);
  ssrc_input_commit(fp, rs, frames_read);
  if (got < asked || job->remaining[0] < frame_bytes) ssrc_finish(rs);

  SsrcOutput out;
  if (ssrc_pull(fp, rs, &out) != SSRC_PULLED) return 1;
  const bool doubles = s->out_bits == 64 && s->out_float;
  if (!doubles) {
    const OutputFormat format = make_output_format(s->out_bits, s->out_float, s->dither_type,
                                                   s->pdf_type, s->noise_amplitude);
    samples_to_pcm(out.frames, b.output_block, &format, channels, out.produced);
  }
  if (out.count >= 1) {
    const uint8_t* converted =
        doubles ? reinterpret_cast<const uint8_t*>(out.frames) : b.output_block;
    const size_t offset = static_cast<size_t>(out.skip) * channels * (s->out_bits / 8);
    if (!write_frames(job, converted + offset, out.count, channels)) return 1;
  }
  return rs->flushing == -1 ? 1 : 0;
}

}  // namespace

int pcm_job_block(PcmJob* job) {
  switch (job->kind) {
    case PCM_INTERLEAVE: return interleave_block(job);
    case PCM_REPACK: return repack_block(job);
    default: return job->settings->dsp_mode >= 2 ? resample_block(job) : plain_block(job);
  }
}
