// The PCM WAV job: the header image and channel mask of its outputs, the
// plan of its blocks (every channel in one output, or the selected ones
// split), then the PCM source run through the job engine.
#include "jobs/pcm_job.h"

#include <algorithm>

#include "jobs/job_engine.h"
#include "jobs/pcm_source.h"
#include "wav/wav_writer.h"

namespace {

uint32_t default_mask(int32_t channels) {
  return channels >= 1 && channels <= 18 ? (1u << channels) - 1u : 0u;
}

// The interleave mask: the speakers named on the command line when they name
// one speaker per file, else one bit per channel from the front left on.
uint32_t interleave_mask(const JobSettings* s) {
  if (s->speaker_id_count == 0) return default_mask(s->group_size);
  if (s->speaker_id_count == s->group_size &&
      __builtin_popcount(s->speaker_id_mask) == s->group_size)
    return s->speaker_id_mask;
  std::fprintf(stderr,
               "Comment       : Speaker assignment: %d not equal to channels: %d. Set to "
               "default.\n",
               s->speaker_id_count, s->group_size);
  return default_mask(s->group_size);
}

// The channels of the job's blocks: the group's files, the kept channels
// of a re-pack, else every channel of the input.
int32_t block_channels(int32_t kind, const InputFile& f, const JobSettings* s) {
  switch (kind) {
    case PCM_INTERLEAVE: return s->group_size;
    case PCM_REPACK: return s->selected_count;
    default: return f.channels;
  }
}

// Completes the header image of the job (the header kind the driver chose).
void fill_header(int32_t kind, const InputFile& f, const JobSettings* s) {
  uint32_t mask = 0;
  switch (kind) {
    case PCM_INTERLEAVE:
      mask = interleave_mask(s);
      break;
    case PCM_REPACK:
      for (int32_t k = 0; k < s->selected_count; ++k) mask |= 1u << s->selected_channels[k];
      break;
    case PCM_CONVERT:
      mask = f.channel_mask;
      if (mask == 0)
        mask = s->speaker_id_count == f.channels ? s->speaker_id_mask : default_mask(f.channels);
      break;
    default:
      break;
  }
  const int32_t channels = kind == PCM_SPLIT ? 1 : block_channels(kind, f, s);
  wav_header_fill(wav_plain_header, wav_extensible_header, s->extensible_header, channels,
                  s->out_rate, s->out_bits, s->out_float, mask);
}

// Frames the job will read: the input's sample data as far as the file
// holds it; for an interleave, the longest file of the group.
int64_t input_frames(int32_t kind, const InputFile* files, const JobSettings* s) {
  const int32_t members = kind == PCM_INTERLEAVE ? s->group_size : 1;
  int64_t longest = 0;
  for (int32_t g = 0; g < members; ++g) {
    const InputFile& f = files[s->file_index + g];
    const uint64_t start = static_cast<uint64_t>(f.data_offset);
    const uint64_t held = f.file_size > start ? f.file_size - start : 0;
    const int64_t frame_bytes = static_cast<int64_t>(f.bits / 8) * f.channels;
    if (frame_bytes > 0)
      longest = std::max(longest, static_cast<int64_t>(std::min(f.data_size, held)) / frame_bytes);
  }
  return longest;
}

// A split writes each selected channel of the block to its own output; the
// other jobs write the whole block to their one output.
JobPlan pcm_plan(int32_t kind, const InputFile* files, const JobSettings* s) {
  const InputFile& f = files[s->file_index];
  JobPlan plan = job_plan(JOB_PCM, s, block_channels(kind, f, s));
  plan.in_bytes = f.bits / 8;
  plan.in_float = f.is_float;
  plan.whole = kind != PCM_SPLIT;
  for (int32_t k = 0; k < MAX_OUTPUTS; ++k) plan.picks[k] = s->selected_channels[k];
  plan.expected_bytes = expected_output_bytes(input_frames(kind, files, s), f.sample_rate,
                                              s->out_rate, plan.whole ? plan.channels : 1,
                                              s->out_bits);
  return plan;
}

}  // namespace

int pcm_job(FILE* stream, InputFile* files, SsrcParallel* rs, JobSettings* s) {
  const InputFile& file = files[s->file_index];
  const int32_t kind = pcm_job_kind(s);
  fill_header(kind, file, s);
  const JobPlan plan = pcm_plan(kind, files, s);
  JobEngine engine;
  job_start(&engine, &plan, s, rs);
  const bool extensible = s->extensible_header == 1;
  if (job_create_outputs(&engine, extensible ? wav_extensible_header : wav_plain_header,
                         extensible ? EXTENSIBLE_HEADER_BYTES : PLAIN_HEADER_BYTES,
                         engine.rs ? ssrc_parallel_state(engine.rs)->inbuf_capacity : 512)) {
    job_release(&engine);
    return 0;
  }
  PcmSource source;
  int32_t outcome = JOB_NOT_STARTED;
  if (pcm_source_open(&source, stream, files, s, engine.rs)) {
    job_abandon(&engine);  // the outputs stay as empty WAVs
  } else {
    outcome = run_job(&engine, &source.base);
  }
  pcm_source_close(&source);
  job_release(&engine);
  return outcome == JOB_ABORTED ? 1 : 0;
}
