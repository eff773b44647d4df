// PCM WAV job set-up, block loop, halt handling and completion: the output
// header and mask of each job, the outputs and inputs opened, the shaper
// opened for dithered output, progress, and the size fix at the end.
#include "jobs/pcm_job.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "dsp/noise_shaper.h"
#include "jobs/block_io.h"
#include "report/halt.h"
#include "report/progress.h"
#include "wav/wav_writer.h"

namespace {

uint32_t default_mask(int32_t channels) {
  return channels >= 1 && channels <= 18 ? (1u << channels) - 1u : 0u;
}

int32_t job_kind(const JobSettings* s) {
  if (s->multichannel_out) return s->group_size >= 2 ? PCM_INTERLEAVE : PCM_REPACK;
  return s->convert_only ? PCM_CONVERT : PCM_SPLIT;
}

// The interleave mask: the speakers named on the command line when they name
// one speaker per file, else one bit per channel from the front left on.
uint32_t interleave_mask(const JobSettings* s) {
  if (s->speaker_id_count == 0) return default_mask(s->group_size);
  if (s->speaker_id_count == s->group_size &&
      __builtin_popcount(s->speaker_id_mask) == s->group_size)
    return s->speaker_id_mask;
  std::fprintf(stderr,
               "Comment       : Speaker assignment: %d not equal to channels: %d. Set to default.\n",
               s->speaker_id_count, s->group_size);
  return default_mask(s->group_size);
}

// Completes the header image of the job. Returns the number of header bytes
// each output starts with.
int32_t fill_header(const PcmJob& job) {
  JobSettings* s = job.settings;
  const InputFile& f = *job.file;
  uint32_t mask = 0;
  int32_t channels = 1;
  int32_t extensible = 0;
  switch (job.kind) {
    case PCM_INTERLEAVE:
      mask = interleave_mask(s);
      channels = s->group_size;
      extensible = 1;
      break;
    case PCM_REPACK:
      for (int32_t k = 0; k < s->selected_count; ++k) mask |= 1u << s->selected_channels[k];
      channels = s->selected_count;
      extensible = 1;
      break;
    case PCM_CONVERT:
      channels = f.channels;
      extensible = f.fmt_size != 16;
      mask = f.channel_mask;
      if (mask == 0)
        mask = s->speaker_id_count == f.channels ? s->speaker_id_mask : default_mask(f.channels);
      break;
    default:
      break;
  }
  wav_header_fill(wav_plain_header, wav_extensible_header, extensible, channels, s->out_rate,
                  s->out_bits, s->out_float, mask);
  return extensible ? EXTENSIBLE_HEADER_BYTES : PLAIN_HEADER_BYTES;
}

// Creates every output and writes its header. Returns false after printing
// why.
bool open_outputs(PcmJob* job, int32_t header_bytes, size_t largest_write) {
  JobSettings* s = job->settings;
  const uint8_t* image = header_bytes == EXTENSIBLE_HEADER_BYTES ? wav_extensible_header
                                                                  : wav_plain_header;
  int32_t k = 0;
  switch (outputs_create(&job->outputs, s->out_names, s->output_count, image, header_bytes,
                         largest_write, &k)) {
    case OUTPUTS_CREATED:
      return true;
    case OUTPUTS_OPEN_FAILED:
      std::printf("Error: Unable to open output file: %s", s->out_names[k]);
      std::fflush(stdout);
      return false;
    case OUTPUTS_HEADER_FAILED:
      std::fprintf(stderr, "Error: Unable to write to file: %s\n", s->out_names[k]);
      return false;
    default:
      std::fputs("Error: Not enough memory for the job's buffers.\n", stderr);
      return false;
  }
}

// Opens the interleave group's inputs (or positions the single input) at the
// start of their sample data. Returns false after printing why.
bool position_inputs(PcmJob* job) {
  JobSettings* s = job->settings;
  if (job->kind != PCM_INTERLEAVE) {
    job->remaining[0] = job->file->data_size;
    return fseeko(job->input, job->file->data_offset, SEEK_SET) == 0;
  }
  s->group_files = static_cast<FILE**>(std::calloc(static_cast<size_t>(s->group_size),
                                                   sizeof(FILE*)));
  if (!s->group_files) return false;
  for (int32_t g = 0; g < s->group_size; ++g) {
    const InputFile& member = job->files[s->file_index + g];
    s->group_files[g] = std::fopen(member.path, "rb");
    if (s->group_files[g]) std::setvbuf(s->group_files[g], nullptr, _IONBF, 0);  // read in chunks
    if (!s->group_files[g] || fseeko(s->group_files[g], member.data_offset, SEEK_SET) != 0) {
      std::printf("Error: Unable to open input file: %s", member.path);
      std::fflush(stdout);
      return false;
    }
    job->remaining[g] = member.data_size;
    if (static_cast<int64_t>(member.data_size) > job->progress_total)
      job->progress_total = static_cast<int64_t>(member.data_size);
  }
  return true;
}

int32_t output_channels(const PcmJob& job) {
  switch (job.kind) {
    case PCM_INTERLEAVE: return job.settings->group_size;
    case PCM_REPACK: return job.settings->selected_count;
    default: return job.file->channels;
  }
}

void start_progress(PcmJob* job) {
  JobSettings* s = job->settings;
  if (!s->no_progress) {
    int64_t size = job->kind == PCM_INTERLEAVE ? job->progress_total * s->group_size
                                               : static_cast<int64_t>(job->file->data_size);
    progress_setup(s, KIND_PCM_WAV, size);
    std::fprintf(stderr, "%s..... 0%%\r", s->status_label);
  } else {
    std::fprintf(stderr, "%s..... \r", s->status_label);
  }
  s->paused_time = 0.0;
  s->start_time = now_seconds();
  arm_ctrl_c();
}

// The block loop. Returns 1 when the user aborted, 0 when the input ended.
int run_blocks(PcmJob* job) {
  JobSettings* s = job->settings;
  for (;;) {
    if (halt_flag) {
      // Everything staged goes to the files before their sizes are fixed.
      if (outputs_flush(&job->outputs)) {
        job->write_failed = 1;
        return 0;
      }
      const int answer = halt_and_ask(s, &job->outputs);
      if (answer == HALT_ABORT) return 1;
      if (answer == HALT_FIX_FAILED) {
        // The outputs could not all be reopened for their sizes: the job
        // cannot go on writing, so it ends as an abort.
        outputs_close(&job->outputs);
        return 1;
      }
    }
    if (pcm_job_block(job)) return 0;
    if (!s->no_progress) progress_tick(job->bytes_read, job->progress_total, s);
  }
}

// Bytes of one input block: 512 frames of the input (interleave: of one
// group file).
size_t block_bytes(const PcmJob& job) {
  const size_t frame = static_cast<size_t>(job.in_bytes) * (job.kind == PCM_INTERLEAVE ? 1 : job.channels);
  return 512 * frame;
}

// The largest block a job stages for one output at once.
size_t largest_write(const PcmJob& job) {
  const WorkBuffers& b = job.settings->work_buffers;
  const size_t frames = static_cast<size_t>(std::max(b.in_frames, b.out_frames));
  return frames * static_cast<size_t>(output_channels(job)) * 8;
}

// Sets the job up and runs it. Returns 1 when the user aborted, else 0.
int run_job(PcmJob* job) {
  JobSettings* s = job->settings;
  const int32_t header_bytes = fill_header(*job);
  s->extensible_header = header_bytes == EXTENSIBLE_HEADER_BYTES;  // where the size fix writes
  if (!open_outputs(job, header_bytes, largest_write(*job))) return 0;
  // From here on a job that cannot start leaves its outputs as empty WAVs.
  if (!position_inputs(job)) {
    wav_fix_sizes(&job->outputs);
    return 0;
  }
  if (!block_io_open(job, job->kind == PCM_INTERLEAVE ? s->group_size : 1, block_bytes(*job))) {
    std::fputs("Error: Not enough memory for the job's buffers.\n", stderr);
    wav_fix_sizes(&job->outputs);
    return 0;
  }
  const bool dither = s->dither_type != 0 && !(s->out_float && s->out_bits == 64);
  if (dither) {
    int32_t low, high;
    shaper_clip_range(s->out_bits, &low, &high);
    if (shaper_open(s->out_rate, output_channels(*job), low, high, s->dither_type, s->pdf_type,
                    s->noise_amplitude)) {
      std::fputs("Error: Not enough memory for dither.\n", stderr);
      wav_fix_sizes(&job->outputs);
      return 0;
    }
  }
  start_progress(job);
  const int aborted = run_blocks(job);
  if (dither) shaper_close();
  if (aborted) return 1;

  const bool written = !job->write_failed && outputs_flush(&job->outputs) == 0;
  wav_fix_sizes(&job->outputs);
  if (written) {
    char duration[64];
    std::fprintf(stderr, "%s: Completed. [%s                   \n", s->status_label,
                 elapsed_text(duration, sizeof duration, s));
  } else {
    std::fprintf(stderr, "%s: Failed while writing.\n", s->status_label);
  }
  return 0;
}

}  // namespace

int pcm_job(FILE* stream, InputFile* files, filterparms* fp, ssrc* state, JobSettings* s) {
  PcmJob job;
  std::memset(&job, 0, sizeof job);
  job.input = stream;
  job.files = files;
  job.file = &files[s->file_index];
  job.fp = fp;
  job.rs = state;
  job.settings = s;
  job.kind = job_kind(s);
  job.in_bytes = job.file->bits / 8;
  job.out_bytes = s->out_bits / 8;
  job.channels = job.kind == PCM_INTERLEAVE ? s->group_size : job.file->channels;
  job.progress_total = static_cast<int64_t>(job.file->data_size);
  if (job.in_bytes > 0 && job.channels > 0)
    job.total_frames = static_cast<int64_t>(job.file->data_size /
                                            static_cast<uint64_t>(job.in_bytes) /
                                            static_cast<uint64_t>(job.channels));

  const int result = run_job(&job);

  outputs_release(&job.outputs);
  if (s->group_files)
    for (int32_t g = 0; g < s->group_size; ++g)
      if (s->group_files[g]) {
        std::fclose(s->group_files[g]);
        s->group_files[g] = nullptr;
      }
  block_io_close(&job);
  return result;
}
