// The job's channels resampled in groups, one instance of the resampler and
// one thread per group: the pushed frames are staged whole, each group takes
// its channels of them at the pull, the groups convert at once, and their
// outputs are interleaved back into frames of every channel.
#include "dsp/ssrc/ssrc_parallel.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The groups run in step by construction; a group that left it would
// scramble the channels, so the program stops as the resampler's own
// checks do.
#define PARALLEL_ASSERT(cond) ((cond) ? (void)0 : parallel_assert_failed(#cond, __LINE__))

[[noreturn]] void parallel_assert_failed(const char* text, int line) {
  std::fflush(stdout);
  std::fprintf(stderr, "Assertion failed: %s, file ssrc, line %d\n", text, line);
  std::abort();
}

// The group's channels of the staged frames into its instance, then one
// pull. Runs on the group's thread.
void pull_group(void* arg) {
  SsrcGroup* g = static_cast<SsrcGroup*>(arg);
  for (int32_t done = 0; done < g->staged_frames;) {
    int32_t room = 0;
    double* at = ssrc_input_room(&g->fp, &g->rs, &room);
    PARALLEL_ASSERT(room > 0);
    const int32_t frames = room < g->staged_frames - done ? room : g->staged_frames - done;
    const double* src = g->staged + static_cast<int64_t>(done) * g->job_channels + g->first;
    for (int32_t i = 0; i < frames; ++i, src += g->job_channels, at += g->channels)
      for (int32_t c = 0; c < g->channels; ++c) at[c] = src[c];
    ssrc_input_commit(&g->fp, &g->rs, frames);
    done += frames;
  }
  g->staged_frames = 0;
  g->status = ssrc_pull(&g->fp, &g->rs, &g->out);
}

// The produced frames of every group into one interleaved buffer.
void interleave_groups(SsrcParallel* p, int32_t produced) {
  for (int32_t k = 0; k < p->groups; ++k) {
    const SsrcGroup& g = p->group[k];
    const double* src = g.out.frames;
    double* dst = p->outbuf + g.first;
    for (int32_t i = 0; i < produced; ++i, src += g.channels, dst += p->channels)
      for (int32_t c = 0; c < g.channels; ++c) dst[c] = src[c];
  }
}

}  // namespace

void ssrc_parallel_reset(SsrcParallel* p) {
  std::memset(p, 0, sizeof *p);
  ssrc_reset(&p->group[0].fp, &p->group[0].rs);
}

int ssrc_parallel_configure(SsrcParallel* p, int32_t source_rate, int32_t out_rate,
                            int32_t channels, int32_t source_bits, int32_t threads) {
  ssrc_parallel_reset(p);
  int32_t groups = threads < channels ? threads : channels;
  if (groups > SSRC_MAX_GROUPS) groups = SSRC_MAX_GROUPS;
  if (groups < 1) groups = 1;
  p->channels = channels;
  int32_t first = 0;
  for (int32_t k = 0; k < groups; ++k) {
    SsrcGroup* g = &p->group[k];
    g->first = first;
    g->channels = channels / groups + (k < channels % groups ? 1 : 0);
    g->job_channels = channels;
    first += g->channels;
    ssrc_reset(&g->fp, &g->rs);
    // The first group reports a pair that cannot be handled; the others
    // have the same rates and can fail only for memory.
    if (ssrc_configure(&g->fp, &g->rs, source_rate, out_rate, g->channels, source_bits)) {
      ssrc_parallel_free(p);
      return 1;
    }
    p->groups = k + 1;
  }
  if (groups > 1) {
    const ssrc* rs = &p->group[0].rs;
    p->stage = static_cast<double*>(
        std::calloc(static_cast<size_t>(rs->inbuf_capacity) * channels, sizeof(double)));
    p->outbuf = static_cast<double*>(
        std::calloc(static_cast<size_t>(rs->outbuf_frames) * channels, sizeof(double)));
    if (!p->stage || !p->outbuf) {
      ssrc_parallel_free(p);
      return 1;
    }
    // A helper that cannot start leaves its group to the calling thread.
    for (int32_t k = 1; k < groups; ++k) platform_helper_start(&p->helper[k]);
  }
  return 0;
}

const ssrc* ssrc_parallel_state(const SsrcParallel* p) { return &p->group[0].rs; }

int32_t ssrc_parallel_frames_wanted(const SsrcParallel* p) {
  const int32_t wanted = ssrc_frames_wanted(&p->group[0].fp, &p->group[0].rs) - p->staged;
  return wanted > 0 ? wanted : 0;
}

double* ssrc_parallel_input_room(SsrcParallel* p, int32_t* frames) {
  SsrcGroup* g = &p->group[0];
  double* room = ssrc_input_room(&g->fp, &g->rs, frames);
  if (p->groups == 1) return room;
  *frames -= p->staged;
  return p->stage + static_cast<int64_t>(p->staged) * p->channels;
}

void ssrc_parallel_input_commit(SsrcParallel* p, int32_t frames) {
  if (p->groups == 1) {
    ssrc_input_commit(&p->group[0].fp, &p->group[0].rs, frames);
    return;
  }
  int32_t room = 0;
  ssrc_input_room(&p->group[0].fp, &p->group[0].rs, &room);
  PARALLEL_ASSERT(frames >= 0 && p->staged + frames <= room);
  p->staged += frames;
}

void ssrc_parallel_finish(SsrcParallel* p) {
  for (int32_t k = 0; k < p->groups; ++k) ssrc_finish(&p->group[k].rs);
}

int32_t ssrc_parallel_pull(SsrcParallel* p, SsrcOutput* out) {
  if (p->groups == 1) return ssrc_pull(&p->group[0].fp, &p->group[0].rs, out);
  // What the first group's pull would say without running (every group
  // would say the same): the threads are woken only for a conversion.
  const ssrc* lead_state = &p->group[0].rs;
  *out = SsrcOutput{p->outbuf, 0, 0, 0};
  if (lead_state->flushing == -1) return SSRC_FINISHED;
  if (lead_state->flushing != 1 &&
      ssrc_frames_wanted(&p->group[0].fp, lead_state) > p->staged)
    return SSRC_NEEDS_INPUT;
  for (int32_t k = 0; k < p->groups; ++k) {
    p->group[k].staged = p->stage;
    p->group[k].staged_frames = p->staged;
  }
  p->staged = 0;
  for (int32_t k = 1; k < p->groups; ++k)
    if (p->helper[k].thread.running) platform_helper_post(&p->helper[k], pull_group, &p->group[k]);
  pull_group(&p->group[0]);
  for (int32_t k = 1; k < p->groups; ++k) {
    if (p->helper[k].thread.running)
      platform_helper_wait(&p->helper[k]);
    else
      pull_group(&p->group[k]);
  }
  const SsrcGroup& lead = p->group[0];
  for (int32_t k = 1; k < p->groups; ++k) {
    const SsrcGroup& g = p->group[k];
    PARALLEL_ASSERT(g.status == lead.status && g.out.produced == lead.out.produced &&
                    g.out.skip == lead.out.skip && g.out.count == lead.out.count);
  }
  *out = lead.out;
  if (lead.status != SSRC_PULLED) return lead.status;
  interleave_groups(p, lead.out.produced);
  out->frames = p->outbuf;
  return SSRC_PULLED;
}

void ssrc_parallel_free(SsrcParallel* p) {
  for (int32_t k = 1; k < SSRC_MAX_GROUPS; ++k) platform_helper_stop(&p->helper[k]);
  for (int32_t k = 0; k < p->groups; ++k) ssrc_free(&p->group[k].fp, &p->group[k].rs);
  std::free(p->stage);
  std::free(p->outbuf);
  p->stage = nullptr;
  p->outbuf = nullptr;
  p->groups = 0;
  p->staged = 0;
}
