// The PCM WAV source: blocks of a WAV's samples as stored, handed to the
// job run loop. Interleave takes one block from each mono WAV of a group
// and interleaves them; re-pack keeps the selected channels of each frame;
// convert and split take whole frames. Blocks hold 512 frames, or, when
// resampling, the frames the resampler asks for.
#pragma once
#include <cstdint>
#include <cstdio>

#include "dsp/ssrc/ssrc_parallel.h"
#include "jobs/block_source.h"
#include "jobs/input_chunks.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

enum PcmJobKind : int32_t { PCM_INTERLEAVE, PCM_REPACK, PCM_CONVERT, PCM_SPLIT };

struct PcmSource {
  BlockSource base;                    // the run loop's view of the source
  int32_t kind;                        // PcmJobKind
  const SsrcParallel* rs;              // the resampler whose wants make the blocks (or null)
  FILE* input;                         // the input (all kinds but interleave)
  FILE* group_files[MAX_SELECTED];     // interleave: the group's inputs, opened here
  int32_t inputs;                      // inputs read: the group's size, or 1
  int32_t in_bytes;                    // bytes per stored sample
  int32_t channels;                    // samples per stored frame (interleave: 1 per file)
  int32_t kept;                        // re-pack: channels kept (selected[0..kept))
  int32_t selected[MAX_SELECTED];      // re-pack: the channels kept, ascending
  uint64_t remaining[MAX_SELECTED];    // data bytes left per input
  InputChunk chunks[MAX_SELECTED];     // per input
  uint8_t* block;                      // where a block is built (interleave, resampling)
  uint8_t* memory;                     // the chunks and the block, one allocation
  int64_t total_frames;                // resampling: frames of the input's data chunk
  int64_t frames_given;                // resampling: frames handed out so far
  int32_t ended;                       // 1 once the block that ends the input was given
};

// The kind of PCM job the settings ask for.
int32_t pcm_job_kind(const JobSettings* settings);

// Opens the source for files[settings->file_index] (and the group after it):
// the group's inputs opened by path, or `stream` positioned at its data.
// `fp`/`rs` is the job's resampler when it resamples. Returns 0, or 1 after
// printing why (an input that cannot be opened: standard output).
int pcm_source_open(PcmSource* source, FILE* stream, const InputFile* files,
                    const JobSettings* settings, const SsrcParallel* rs);
void pcm_source_close(PcmSource* source);
