// The job's channels resampled on several threads: the channels are split
// into groups, each converted by its own instance of the streaming
// resampler (ssrc.h) on its own thread. Nothing links the channels in the
// filters, and every instance sees the same rates and the same frames, so
// the groups run in step: each conversion gives every group the same frame
// counts, and the result is the one a single instance over all channels
// gives. With one group (one CPU, or one channel) the one instance is used
// directly and no thread is started.
//
// Use, as with one instance:
//   ssrc_parallel_reset, ssrc_parallel_configure          once per job
//   room = ssrc_parallel_input_room(); fill; ssrc_parallel_input_commit
//   while (ssrc_parallel_pull(...) == SSRC_PULLED) use the frames
//   ssrc_parallel_finish at the end of input; pull until SSRC_FINISHED
//   ssrc_parallel_free (joins the threads)
#pragma once
#include <cstdint>

#include "dsp/ssrc/ssrc.h"
#include "platform/threads.h"

// The most groups (threads) one job uses.
constexpr int32_t SSRC_MAX_GROUPS = 8;

// One instance over a run of the job's channels.
struct SsrcGroup {
  filterparms fp;
  ssrc rs;
  int32_t first;       // the job's channel that is this group's first
  int32_t channels;    // channels of the group
  const double* staged;      // the frames handed over for the next pull (all channels)
  int32_t staged_frames;     // frames at `staged`
  int32_t job_channels;      // channels per staged frame
  int32_t status;      // the last pull's SsrcPull
  SsrcOutput out;      // the last pull's output
};

struct SsrcParallel {
  int32_t groups;      // instances in use (1: no thread, no staging)
  int32_t channels;    // channels of the job
  SsrcGroup group[SSRC_MAX_GROUPS];
  PlatformHelper helper[SSRC_MAX_GROUPS];  // helper[g] runs group g (g >= 1) when started
  double* stage;       // groups > 1: frames pushed since the last pull, interleaved
  int32_t staged;      // frames at `stage`
  double* outbuf;      // groups > 1: one conversion of every channel, interleaved
};

// Clears the record for a new job.
void ssrc_parallel_reset(SsrcParallel* p);

// Designs the filters for `channels` channels in up to `threads` groups and
// starts one helper thread per group after the first (a helper that cannot
// start leaves its group to the calling thread). Returns 0, or 1 after the
// resampler printed why the pair cannot be handled (or, silently, when
// memory ran out); the record is then freed.
int ssrc_parallel_configure(SsrcParallel* p, int32_t source_rate, int32_t out_rate,
                            int32_t channels, int32_t source_bits, int32_t threads);

// The first group's state: rates, direction, buffer sizes, flushing.
// Every group's state agrees on these.
const ssrc* ssrc_parallel_state(const SsrcParallel* p);

// As ssrc_frames_wanted, ssrc_input_room, ssrc_input_commit, ssrc_finish,
// ssrc_pull for all the job's channels.
int32_t ssrc_parallel_frames_wanted(const SsrcParallel* p);
double* ssrc_parallel_input_room(SsrcParallel* p, int32_t* frames);
void ssrc_parallel_input_commit(SsrcParallel* p, int32_t frames);
void ssrc_parallel_finish(SsrcParallel* p);
int32_t ssrc_parallel_pull(SsrcParallel* p, SsrcOutput* out);

// Joins the helper threads and releases every instance and buffer.
void ssrc_parallel_free(SsrcParallel* p);
