// What a source hands the job run loop: blocks of frames, and the few facts
// the loop needs about the source (progress, completion line). The two
// sources differ only in how they make blocks: decoded frames
// (decode/decode_source) or chunks of WAV data (jobs/pcm_source).
#pragma once
#include <cstddef>
#include <cstdint>

constexpr int32_t MAX_BLOCK_CHANNELS = 18;

// How a block holds its samples.
enum BlockForm : int32_t {
  BLOCK_STORED = 0,  // interleaved samples as the input stores them (the plan's input format)
  BLOCK_PLANES = 1   // one run of singles per channel (a decoder's sample buffer)
};

// One block of frames, every channel of the job in the order the outputs
// take them. Its samples stay valid until the source is asked again.
struct Block {
  int32_t form;                              // BlockForm
  int32_t frames;                            // frames in the block (may be 0)
  const uint8_t* stored;                     // BLOCK_STORED: frames x channels samples
  const float* planes[MAX_BLOCK_CHANNELS];   // BLOCK_PLANES: `frames` singles per channel
  int32_t last;   // 1: the input ends with this block
  int32_t tick;   // 1: a unit of the source's progress is done with this block
};

// What a source's next() gave.
enum SourceStatus : int32_t {
  SOURCE_BLOCK = 0,  // a block is ready
  SOURCE_END = 1,    // the input is exhausted
  SOURCE_FAILED = 2  // the input cannot go on (reported)
};

struct BlockSource;
// Gives the next block; a SourceStatus. `room`, when not null, is where the
// samples may be built (room_bytes long) when the source assembles its
// block; the run loop passes it when the block goes unconverted to one
// output, so that it is built in place in that output's stage.
typedef int32_t (*SourceNext)(BlockSource* source, Block* block, uint8_t* room,
                              size_t room_bytes);

// A source as the run loop sees it; the sources' own records begin with it.
struct BlockSource {
  SourceNext next;
  int32_t max_block_frames;     // the most frames a block holds
  int32_t progress_kind;        // the FileKind progress_setup is given (0 for WAV jobs)
  int64_t progress_size;        // the input bytes progress_setup is given
  int64_t done;                 // progress: work done so far (decode: frames; WAV: bytes)
  int64_t total;                // progress: all the work (decode: frames; WAV: bytes)
  int32_t tick_per_conversion;  // 1: progress counts the resampler's conversions, not blocks
  uint32_t frames_decoded;      // decode: frames found, for the completion line
  int64_t frames_replaced;      // decode: frames replaced with silence
  int32_t runs_apart;           // 1: next() may run on a thread of its own: it makes planes,
                                //    touches nothing the run loop reads but `done`, and
                                //    prints only to standard error
};
