// One block of a PCM WAV job: read, interleave or pick channels, convert or
// resample, and write. Reads never go past an input's data chunk, and a
// short read ends the input, so a header that announces more data than the
// file holds ends the job at the real end of the data.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "dsp/pcm_convert.h"
#include "jobs/pcm_job.h"

namespace {

constexpr int32_t BLOCK_FRAMES = 512;

// Reads up to `want` bytes of an input's remaining data.
size_t read_data(FILE* stream, uint8_t* dst, size_t want, uint64_t* remaining) {
  if (want > *remaining) want = static_cast<size_t>(*remaining);
  const size_t got = want ? std::fread(dst, 1, want, stream) : 0;
  *remaining -= got;
  if (got < want) *remaining = 0;  // the file ended before its data chunk did
  return got;
}

bool write_output(PcmJob* job, int32_t output, const void* data, size_t bytes) {
  if (bytes == 0) return true;
  FILE* out = job->outputs[output];
  if (out && std::fwrite(data, 1, bytes, out) == bytes) return true;
  std::fprintf(stderr, "Error: Unable to write to file: %s\n", job->settings->out_names[output]);
  job->write_failed = 1;
  return false;
}

// Copies channel `channel` of `frames` interleaved frames of `channels`
// samples of `width` bytes into `dst`.
void pick_channel(uint8_t* dst, const uint8_t* src, int32_t frames, int32_t channels,
                  int32_t channel, int32_t width) {
  const size_t stride = static_cast<size_t>(channels) * width;
  src += static_cast<size_t>(channel) * width;
  // Fixed-width copies, so that each compiles to plain moves.
  switch (width) {
    case 1: for (int32_t f = 0; f < frames; ++f, dst += 1, src += stride) *dst = *src; break;
    case 2: for (int32_t f = 0; f < frames; ++f, dst += 2, src += stride) std::memcpy(dst, src, 2); break;
    case 3: for (int32_t f = 0; f < frames; ++f, dst += 3, src += stride) std::memcpy(dst, src, 3); break;
    case 4: for (int32_t f = 0; f < frames; ++f, dst += 4, src += stride) std::memcpy(dst, src, 4); break;
    default: for (int32_t f = 0; f < frames; ++f, dst += 8, src += stride) std::memcpy(dst, src, 8); break;
  }
}

// The reverse: `src` becomes channel `channel` of the interleaved `dst`.
void place_channel(uint8_t* dst, const uint8_t* src, int32_t frames, int32_t channels,
                   int32_t channel, int32_t width) {
  const size_t stride = static_cast<size_t>(channels) * width;
  dst += static_cast<size_t>(channel) * width;
  switch (width) {
    case 1: for (int32_t f = 0; f < frames; ++f, src += 1, dst += stride) *dst = *src; break;
    case 2: for (int32_t f = 0; f < frames; ++f, src += 2, dst += stride) std::memcpy(dst, src, 2); break;
    case 3: for (int32_t f = 0; f < frames; ++f, src += 3, dst += stride) std::memcpy(dst, src, 3); break;
    case 4: for (int32_t f = 0; f < frames; ++f, src += 4, dst += stride) std::memcpy(dst, src, 4); break;
    default: for (int32_t f = 0; f < frames; ++f, src += 8, dst += stride) std::memcpy(dst, src, 8); break;
  }
}

// Writes `frames` interleaved frames of `channels` output samples: the whole
// block to the one output, or each selected channel to its own output.
bool write_frames(PcmJob* job, const uint8_t* data, int32_t frames, int32_t channels) {
  JobSettings* s = job->settings;
  const int32_t width = s->out_bits / 8;
  if (job->kind != PCM_SPLIT)
    return write_output(job, 0, data, static_cast<size_t>(frames) * channels * width);
  for (int32_t k = 0; k < s->selected_count && k < s->output_count; ++k) {
    uint8_t* block = s->work_buffers.channel_bytes[k];
    pick_channel(block, data, frames, channels, s->selected_channels[k], width);
    if (!write_output(job, k, block, static_cast<size_t>(frames) * width)) return false;
  }
  return true;
}

// Converts `frames` interleaved input frames (in input_block) to the output
// format and writes them.
bool convert_and_write(PcmJob* job, int32_t frames, int32_t channels) {
  JobSettings* s = job->settings;
  WorkBuffers& b = s->work_buffers;
  if (s->dsp_mode == 0) return write_frames(job, b.input_block, frames, channels);
  const double* samples = reinterpret_cast<const double*>(b.input_block);
  if (job->in_bytes != 8) {
    pcm_to_samples(b.doubles, b.input_block, job->in_bytes, job->file->is_float, channels, frames, 0);
    samples = b.doubles;
  }
  if (s->out_bits == 64 && s->out_float)
    return write_frames(job, reinterpret_cast<const uint8_t*>(samples), frames, channels);
  samples_to_pcm(samples, b.output_block, s, channels, frames);
  return write_frames(job, b.output_block, frames, channels);
}

// Interleave: one block of each group file, shorter files padded with zeros.
int interleave_block(PcmJob* job) {
  JobSettings* s = job->settings;
  WorkBuffers& b = s->work_buffers;
  const int32_t width = job->in_bytes, groups = s->group_size;
  const size_t block_bytes = static_cast<size_t>(BLOCK_FRAMES) * width;
  size_t largest = 0;
  for (int32_t g = 0; g < groups; ++g) {
    uint8_t* block = b.channel_bytes[g];
    const size_t got = read_data(s->group_files[g], block, block_bytes, &job->remaining[g]);
    std::memset(block + got, 0, block_bytes - got);
    largest = std::max(largest, got);
  }
  if (largest == 0) return 1;
  const int32_t frames = static_cast<int32_t>(largest / width);
  for (int32_t g = 0; g < groups; ++g)
    place_channel(b.input_block, b.channel_bytes[g], frames, groups, g, width);
  job->bytes_read += static_cast<int64_t>(largest);
  return convert_and_write(job, frames, groups) ? 0 : 1;
}

// Re-pack: the selected channels of each frame, interleaved again.
int repack_block(PcmJob* job) {
  JobSettings* s = job->settings;
  WorkBuffers& b = s->work_buffers;
  const int32_t width = job->in_bytes, channels = job->channels;
  const size_t frame_bytes = static_cast<size_t>(channels) * width;
  const size_t got = read_data(job->input, b.input_block, BLOCK_FRAMES * frame_bytes, &job->remaining[0]);
  job->bytes_read += static_cast<int64_t>(got);
  const int32_t frames = static_cast<int32_t>(got / frame_bytes);
  const int32_t selected = s->selected_count;
  if (selected < channels) {
    // In place: every sample moves to a position at or below its own.
    for (int32_t f = 0; f < frames; ++f)
      for (int32_t k = 0; k < selected; ++k)
        std::memmove(b.input_block + (static_cast<size_t>(f) * selected + k) * width,
                     b.input_block + f * frame_bytes + static_cast<size_t>(s->selected_channels[k]) * width,
                     width);
  }
  if (frames > 0 && !convert_and_write(job, frames, selected)) return 1;
  return (got == 0 || job->remaining[0] == 0) ? 1 : 0;
}

// Convert and split at the source rate.
int plain_block(PcmJob* job) {
  WorkBuffers& b = job->settings->work_buffers;
  const size_t frame_bytes = static_cast<size_t>(job->channels) * job->in_bytes;
  const size_t got = read_data(job->input, b.input_block, BLOCK_FRAMES * frame_bytes, &job->remaining[0]);
  if (got == 0) return 1;
  job->bytes_read += static_cast<int64_t>(got);
  const int32_t frames = static_cast<int32_t>(got / frame_bytes);
  return convert_and_write(job, frames, job->channels) ? 0 : 1;
}

// Frames the resampler takes in the next call.
int32_t frames_wanted(const PcmJob& job, int32_t* appended) {
  const filterparms* fp = job.fp;
  const ssrc* rs = job.rs;
  const JobSettings* s = job.settings;
  if (s->dsp_mode == 3) {
    const double quotient = static_cast<double>(fp->n2b2) * job.file->sample_rate /
                            (static_cast<double>(fp->osf) * s->out_rate);
    *appended = static_cast<int32_t>(std::floor(quotient)) + 1 + fp->n1x - fp->inbuflen;
    return *appended;
  }
  *appended = (fp->n1b2 - rs->rps - 1) / fp->osf + 1;
  const int64_t left = static_cast<int64_t>(rs->total_frames) - static_cast<int64_t>(rs->frames_read);
  return static_cast<int32_t>(std::max<int64_t>(0, std::min<int64_t>(*appended, left)));
}

// Resampled convert and split: what the resampler asks for is read, placed
// after the frames it holds (zeros past the end of the data), converted, and
// what comes out after the filter delay is written.
int resample_block(PcmJob* job) {
  JobSettings* s = job->settings;
  WorkBuffers& b = s->work_buffers;
  filterparms* fp = job->fp;
  ssrc* rs = job->rs;
  const int32_t channels = job->channels, width = job->in_bytes;
  int32_t appended = 0;
  const int32_t want = frames_wanted(*job, &appended);
  const size_t frame_bytes = static_cast<size_t>(channels) * width;
  const size_t asked = static_cast<size_t>(want) * frame_bytes;
  const size_t got = read_data(job->input, b.input_block, asked, &job->remaining[0]);
  job->bytes_read += static_cast<int64_t>(got);
  const int32_t frames_read = static_cast<int32_t>(got / frame_bytes);
  rs->flushing = (got < asked || job->remaining[0] < frame_bytes) ? 1 : 0;

  const int32_t held = s->dsp_mode == 3 ? fp->inbuflen : 0;
  const int32_t end = std::min(held + appended, rs->inbuf_frames);
  double* at = rs->inbuf + static_cast<size_t>(held) * channels;
  if (width == 8)
    std::memcpy(at, b.input_block, static_cast<size_t>(frames_read) * channels * sizeof(double));
  else
    pcm_to_samples(rs->inbuf, b.input_block, width, job->file->is_float, channels, frames_read, held);
  if (held + frames_read < end)
    std::fill(rs->inbuf + static_cast<size_t>(held + frames_read) * channels,
              rs->inbuf + static_cast<size_t>(end) * channels, 0.0);

  int32_t all_delayed = 0, skip = 0, count = 0;
  ssrc_process(channels, job->file->sample_rate, s, frames_read, appended, fp, rs, &all_delayed,
               &skip, &count);
  if (!all_delayed && count >= 1) {
    count = std::min(count, b.out_frames - skip);
    const bool doubles = s->out_bits == 64 && s->out_float;
    const uint8_t* converted = doubles ? reinterpret_cast<const uint8_t*>(rs->outbuf) : b.output_block;
    const size_t offset = static_cast<size_t>(skip) * channels * (s->out_bits / 8);
    if (count > 0 && !write_frames(job, converted + offset, count, channels)) return 1;
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
