// The PCM WAV jobs: interleave mono WAVs into one multichannel WAV, re-pack
// the selected channels of a WAV, convert a WAV's depth and rate keeping its
// channels together (/x), or split a WAV into one mono WAV per channel.
#pragma once
#include <cstdint>
#include <cstdio>

#include "dsp/ssrc/ssrc.h"
#include "jobs/block_io.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"
#include "wav/outputs.h"

enum PcmJobKind : int32_t { PCM_INTERLEAVE, PCM_REPACK, PCM_CONVERT, PCM_SPLIT };

// The running state of one PCM WAV job.
struct PcmJob {
  FILE* input;                         // the input (all jobs but interleave)
  InputFile* files;                    // the table; the job's file is files[file_index]
  InputFile* file;
  filterparms* fp;                     // resampler, for dsp_mode 2 and 3
  ssrc* rs;
  JobSettings* settings;
  JobOutputs outputs;                  // the job's output files
  int32_t kind;                        // PcmJobKind
  int32_t in_bytes;                    // bytes per input sample
  int32_t out_bytes;                   // bytes per output sample
  int32_t channels;                    // input channels per frame (interleave: group size)
  uint64_t remaining[MAX_SELECTED];    // data bytes left per input (interleave: per file)
  int64_t bytes_read;                  // progress counter
  int64_t total_frames;                // resampling: frames of the input's data chunk
  int64_t frames_pushed;               // resampling: frames handed to the resampler so far
  int64_t progress_total;
  int32_t write_failed;                // 1 once an output could not be written
  InputChunk chunks[MAX_SELECTED];     // per input (block_io)
  uint8_t* io_memory;
};

// Runs the job for files[settings->file_index]. Returns 1 when the user
// aborted at the halt prompt, else 0.
int pcm_job(FILE* stream, InputFile* files, filterparms* fp, ssrc* state, JobSettings* settings);

// Processes one block. Returns 1 when the input is finished (or an output
// failed), else 0.
int pcm_job_block(PcmJob* job);
