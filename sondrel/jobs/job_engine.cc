// The run loop of every job: outputs created, noise shaper, progress, halt
// polls, the resampler's last conversions, the size fix and the closing
// line; the block path itself is in block_path.cc.
#include "jobs/job_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dsp/noise_shaper.h"
#include "jobs/block_queue.h"
#include "platform/threads.h"
#include "report/halt.h"
#include "report/progress.h"

namespace {

// Spare bytes after the conversion buffer: a 24-bit sample moves as 4 bytes.
constexpr size_t SLACK = 16;

bool resampling(const JobPlan& plan) { return plan.dsp_mode >= DSP_DOWNSAMPLE; }

// The most frames one write of the job carries: a source block, or what one
// conversion of the resampler gives.
int32_t largest_frames(const JobEngine* e, int32_t max_block_frames) {
  return std::max(max_block_frames, e->rs ? ssrc_parallel_state(e->rs)->outbuf_frames : 0);
}

bool alloc_buffers(JobEngine* e, int32_t max_block_frames) {
  const size_t samples = static_cast<size_t>(largest_frames(e, max_block_frames)) *
                         static_cast<size_t>(e->plan.channels);
  e->doubles = static_cast<double*>(std::calloc(samples, sizeof(double)));
  e->converted = static_cast<uint8_t*>(std::calloc(samples * 8 + SLACK, 1));
  return e->doubles && e->converted;
}

void start_progress(JobEngine* e, const BlockSource* source) {
  JobSettings* s = e->settings;
  if (!s->no_progress) {
    progress_setup(s, source->progress_kind, source->progress_size);
    std::fprintf(stderr, "%s..... 0%%\r", s->status_label);
  } else {
    std::fprintf(stderr, "%s..... \r", s->status_label);
  }
  s->paused_time = 0.0;
  s->start_time = now_seconds();
  arm_ctrl_c();
}

// The halt dialogue, after everything staged went to the files. Returns
// JOB_COMPLETED to go on, else how the job ends.
int32_t halt(JobEngine* e) {
  if (outputs_flush(&e->outputs)) return JOB_FAILED;
  switch (halt_and_ask(e->settings, &e->outputs)) {
    case HALT_RESUME:
      return JOB_COMPLETED;
    case HALT_ABORT:
      return JOB_ABORTED;
    default:
      // The outputs could not all be reopened for their sizes: the job
      // cannot go on writing, so it ends as an abort.
      outputs_close(&e->outputs);
      return JOB_ABORTED;
  }
}

// The block loop: halt poll, next block, its way to the outputs, progress.
int32_t run_blocks(JobEngine* e, BlockSource* source) {
  const JobPlan& plan = e->plan;
  // A block that goes unconverted to one output is built in that output's stage.
  const bool in_place = plan.dsp_mode == DSP_COPY && plan.whole;
  const size_t room_bytes = static_cast<size_t>(source->max_block_frames) * plan.channels *
                            static_cast<size_t>(plan.in_bytes);
  bool source_failed = false;
  for (;;) {
    if (halt_flag) {
      const int32_t answer = halt(e);
      if (answer != JOB_COMPLETED) return answer;
    }
    uint8_t* room = nullptr;
    if (in_place && room_bytes > 0) {
      room = outputs_reserve(&e->outputs, 0, room_bytes);
      if (!room) return JOB_FAILED;
    }
    Block block;
    std::memset(&block, 0, sizeof block);
    const int32_t status = source->next(source, &block, room, room ? room_bytes : 0);
    if (status == SOURCE_END) break;
    if (status == SOURCE_FAILED) {
      source_failed = true;
      break;
    }
    e->blocks += 1;
    if (!deliver_block(e, source, &block, room)) return JOB_FAILED;
    if (block.tick) job_tick(e, source);
  }
  // What the resampler holds was read before the end or the failure: it
  // goes out too.
  if (resampling(plan) && (!source_failed || e->blocks > 0) && !drain_resampler(e, source))
    return JOB_FAILED;
  return source_failed ? JOB_FAILED : JOB_COMPLETED;
}

// The block loop with the source on a thread of its own: the same steps on
// the blocks it handed over. `view` is the run loop's copy of the source's
// facts, its progress count taken from each block.
int32_t run_queued_blocks(JobEngine* e, BlockQueue* queue, BlockSource* view) {
  for (;;) {
    if (halt_flag) {
      const int32_t answer = halt(e);
      if (answer != JOB_COMPLETED) return answer;
    }
    const QueuedBlock* q = block_queue_next(queue);
    const int32_t status = q->status;
    view->done = q->done;
    if (status == SOURCE_END) break;
    if (status == SOURCE_FAILED) {
      if (resampling(e->plan) && e->blocks > 0 && !drain_resampler(e, view)) return JOB_FAILED;
      return JOB_FAILED;
    }
    e->blocks += 1;
    const bool delivered = deliver_block(e, view, &q->block, nullptr);
    const bool tick = q->block.tick != 0;
    block_queue_done(queue);
    if (!delivered) return JOB_FAILED;
    if (tick) job_tick(e, view);
  }
  if (resampling(e->plan) && !drain_resampler(e, view)) return JOB_FAILED;
  return JOB_COMPLETED;
}

// The block loop, with the source on a thread of its own when the job
// resamples, there is a second CPU for it and the source allows it. Without
// resampling the run loop's own share is small (routing, conversion,
// writing): measured, handing blocks between threads costs about what it
// saves, so those jobs stay on one thread. The thread is joined on every
// way out.
int32_t run_all_blocks(JobEngine* e, BlockSource* source) {
  if (!resampling(e->plan) || platform_usable_cpus() < 2 ||
      !block_queue_fits(source, e->plan.channels))
    return run_blocks(e, source);
  // The run loop's copy, taken before the source's thread starts writing.
  BlockSource view = *source;
  BlockQueue* queue = static_cast<BlockQueue*>(std::malloc(sizeof(BlockQueue)));
  if (!queue || block_queue_start(queue, source, e->plan.channels)) {
    std::free(queue);
    return run_blocks(e, source);
  }
  const int32_t outcome = run_queued_blocks(e, queue, &view);
  block_queue_stop(queue);
  std::free(queue);
  return outcome;
}

// The size fix and the closing line of a job that ran to its end or failed.
int32_t finish(JobEngine* e, const BlockSource* source, int32_t outcome) {
  JobSettings* s = e->settings;
  if (outcome == JOB_COMPLETED && outputs_flush(&e->outputs)) outcome = JOB_FAILED;
  // Every output keeps exactly what was written, with sizes that match it.
  wav_fix_sizes(&e->outputs);
  char elapsed[64];
  if (e->plan.kind == JOB_DECODE) {
    if (outcome == JOB_COMPLETED)
      std::fprintf(stderr,
                   e->plan.dsp_mode == DSP_COPY
                       ? "%s: Completed. [%d frames decoded %s\n"
                       : "%s: Completed. [%d frames decoded (incl dsp) %s\n",
                   s->status_label, static_cast<int>(source->frames_decoded),
                   elapsed_text(elapsed, sizeof elapsed, s));
    else
      std::fputs("Error: Failed while decoding.\n", stderr);
    if (source->frames_replaced > 0)
      std::fprintf(stderr, "Damaged or missing frames replaced with silence: %lld\n",
                   static_cast<long long>(source->frames_replaced));
  } else if (outcome == JOB_COMPLETED) {
    std::fprintf(stderr, "%s: Completed. [%s                   \n", s->status_label,
                 elapsed_text(elapsed, sizeof elapsed, s));
  } else {
    std::fprintf(stderr, "%s: Failed while writing.\n", s->status_label);
  }
  return outcome;
}

}  // namespace

JobPlan job_plan(int32_t kind, const JobSettings* s, int32_t channels) {
  JobPlan plan;
  std::memset(&plan, 0, sizeof plan);
  plan.kind = kind;
  plan.dsp_mode = s->dsp_mode;
  plan.format = make_output_format(s->out_bits, s->out_float, s->dither_type, s->pdf_type,
                                   s->noise_amplitude);
  plan.out_rate = s->out_rate;
  plan.channels = channels;
  for (int32_t k = 0; k < MAX_OUTPUTS; ++k) plan.picks[k] = k;
  return plan;
}

void job_start(JobEngine* e, const JobPlan* plan, JobSettings* settings, SsrcParallel* rs) {
  std::memset(e, 0, sizeof *e);
  e->plan = *plan;
  e->settings = settings;
  e->rs = resampling(*plan) ? rs : nullptr;
}

int job_create_outputs(JobEngine* e, const uint8_t* header, int32_t header_bytes,
                       int32_t max_block_frames) {
  JobSettings* s = e->settings;
  const int32_t count = std::min(s->output_count, s->out_name_slots);
  const size_t largest_write = static_cast<size_t>(largest_frames(e, max_block_frames)) *
                               static_cast<size_t>(e->plan.channels) * 8;
  int32_t k = 0;
  const int32_t created =
      outputs_create(&e->outputs, s->out_names, count, header, header_bytes,
                     e->plan.expected_bytes, largest_write, &k);
  if (created == OUTPUTS_CREATED) return 0;
  if (created == OUTPUTS_NO_MEMORY) {
    std::fputs("Error: Not enough memory for the job's buffers.\n", stderr);
  } else if (e->plan.kind == JOB_DECODE) {
    std::fputs("Unable to write to file. File may be open, disk error etc...\n", stderr);
  } else if (created == OUTPUTS_OPEN_FAILED) {
    std::printf("Error: Unable to open output file: %s", s->out_names[k]);
    std::fflush(stdout);
  } else {
    std::fprintf(stderr, "Error: Unable to write to file: %s\n", s->out_names[k]);
  }
  return 1;
}

int32_t run_job(JobEngine* e, BlockSource* source) {
  const JobPlan& plan = e->plan;
  if (!alloc_buffers(e, source->max_block_frames)) {
    std::fputs("Error: Not enough memory for the job's buffers.\n", stderr);
    job_abandon(e);
    return JOB_NOT_STARTED;
  }
  const bool dithered = output_is_dithered(&plan.format);
  if (dithered && shaper_open(plan.out_rate, plan.channels, plan.format.clip_min,
                              plan.format.clip_max, plan.format.dither_type,
                              plan.format.pdf_type, plan.format.noise_amplitude)) {
    std::fputs("Error: Not enough memory for dither.\n", stderr);
    job_abandon(e);
    return JOB_NOT_STARTED;
  }
  start_progress(e, source);
  const int32_t outcome = run_all_blocks(e, source);
  if (dithered) shaper_close();
  if (outcome == JOB_ABORTED) return JOB_ABORTED;  // the halt left the outputs closed
  return finish(e, source, outcome);
}

void job_tick(JobEngine* e, const BlockSource* source) {
  if (!e->settings->no_progress) progress_tick(source->done, source->total, e->settings);
}

void job_abandon(JobEngine* e) { wav_fix_sizes(&e->outputs); }

void job_release(JobEngine* e) {
  outputs_release(&e->outputs);
  std::free(e->doubles);
  std::free(e->converted);
  e->doubles = nullptr;
  e->converted = nullptr;
}
