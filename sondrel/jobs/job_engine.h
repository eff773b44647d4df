// The job engine: one run loop for every job kind. It owns what both jobs
// share: the outputs' creation, the noise shaper's opening and closing,
// progress, the halt poll and dialogue, the completion and failure lines,
// the size fix, and the path of every block from its source to the outputs
// (resampler, conversion to the output format, one output or one per
// channel). A job supplies only the plan and a source of blocks.
//
// A sample's way: source block -> [resampler: push / pull] -> conversion
// (doubles to stored PCM, dither) -> the outputs' stages -> the files.
#pragma once
#include <cstdint>

#include "dsp/pcm_convert.h"
#include "dsp/ssrc/ssrc_parallel.h"
#include "jobs/block_source.h"
#include "wav/job_settings.h"
#include "wav/outputs.h"

// Which job runs: the texts of its completion and failure lines.
enum JobKind : int32_t {
  JOB_DECODE = 0,  // a compressed stream decoded
  JOB_PCM = 1      // a PCM WAV interleaved, re-packed, converted or split
};

// How a job ended.
enum JobOutcome : int32_t {
  JOB_COMPLETED = 0,   // every block written, sizes fixed, completion line printed
  JOB_FAILED = 1,      // the source or a write failed; sizes fixed, failure line printed
  JOB_ABORTED = 2,     // the user declined to resume; the halt left the outputs closed
  JOB_NOT_STARTED = 3  // the job could not start (reported); outputs, if any, left empty
};

// What a job's blocks go through, settled by the job from the settings.
struct JobPlan {
  int32_t kind;            // JobKind
  int32_t dsp_mode;        // DspMode
  OutputFormat format;     // the outputs' samples
  int32_t out_rate;        // Hz, for the noise shaper's filter
  int32_t channels;        // channels of every block
  int32_t in_bytes;        // BLOCK_STORED: bytes per stored sample (8: doubles)
  int32_t in_float;        // BLOCK_STORED: 1 when the stored samples are IEEE floats
  int32_t whole;           // 1: output 0 takes every channel; 0: output k takes picks[k]
  int32_t picks[MAX_OUTPUTS];  // the block channel of each output when not whole
  int64_t expected_bytes;  // sample data each output is expected to take (0: unknown);
                           // decides whether the outputs are RIFF or RF64
};

// One job being run.
struct JobEngine {
  JobPlan plan;
  JobSettings* settings;   // status label, timing, progress counters, output names
  SsrcParallel* rs;        // the resampler, for dsp_mode 2 and 3 (else null)
  JobOutputs outputs;
  double* doubles;         // one block as doubles (conversion at the source rate)
  uint8_t* converted;      // one block or one conversion in the output format
  int64_t blocks;          // blocks taken from the source so far
};

// The plan's common part from the settings: kind, dsp_mode, output format
// and rate, `channels` per block, every output taking the channel of its
// own number (the job then sets whole, picks and the input format).
JobPlan job_plan(int32_t kind, const JobSettings* settings, int32_t channels);

// Prepares the engine for a job (nothing is allocated or opened yet).
void job_start(JobEngine* engine, const JobPlan* plan, JobSettings* settings, SsrcParallel* rs);

// Creates the job's outputs (settings->out_names, output_count of them) with
// the header image, able to take blocks of up to `max_block_frames` frames.
// Returns 0, or 1 after printing the job kind's message.
int job_create_outputs(JobEngine* engine, const uint8_t* header, int32_t header_bytes,
                       int32_t max_block_frames);

// Runs the job: shaper, progress, the block loop with its halt polls, the
// resampler's last conversions, the size fix and the closing line. Returns
// the JobOutcome (every outcome already reported).
int32_t run_job(JobEngine* engine, BlockSource* source);

// A job that cannot start after its outputs were created: they are left as
// empty, valid WAVs.
void job_abandon(JobEngine* engine);

// Closes what is open and releases the engine's buffers.
void job_release(JobEngine* engine);

// The block path (jobs/block_path.cc): one source block to the outputs,
// through the resampler when there is one. Returns false after a failed
// write (reported).
bool deliver_block(JobEngine* engine, BlockSource* source, const Block* block, uint8_t* room);
// The resampler's remaining conversions once the input has ended. Returns
// false after a failed write (reported).
bool drain_resampler(JobEngine* engine, BlockSource* source);
// Progress after one unit of the source's work.
void job_tick(JobEngine* engine, const BlockSource* source);
