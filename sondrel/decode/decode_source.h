// The decode source: a compressed stream's frames gathered from read
// chunks, decoded block by block through the decoder in its slot, and handed
// to the job run loop as 256-frame blocks of the selected slots. Frames
// that cannot be decoded, and whole frames missing between two frames,
// come as blocks of silence, so the audio after them keeps its time.
#pragma once
#include <cstdint>
#include <cstdio>

#include "decode/block_router.h"
#include "decode/frame_gatherer.h"
#include "decode/frame_sync.h"
#include "jobs/block_source.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"

struct DecodeSource {
  BlockSource base;              // the run loop's view of the source
  FILE* stream;                  // the compressed input
  InputFile* file;               // its record; the decoder writes the block's layout here
  const JobSettings* settings;   // routing table, selection, /r and /a
  FrameGatherer* gatherer;       // frames gathered from the read chunks
  FrameTrack track;              // where the stream's frames were found
  RouteState route;              // the first block's latch and the channel order
  int32_t header_blocks;         // blocks the last header tested announces
  int32_t passing_over;          // 1 while a frame of another stream is gathered
  int32_t need_read;             // 1 when the read chunk is used up
  int32_t in_frame;              // 1 while a set-up frame's blocks are decoded
  int32_t blocks_done;           // blocks of that frame decoded so far
  int64_t silent_blocks;         // blocks of silence still to hand out
  int32_t tick_after_silence;    // 1: that silence ends a frame (progress follows it)
};

// Prepares the source for the decoder in its slot: reading from the first
// sync word. Returns 0, or 1 when memory ran out.
int decode_source_open(DecodeSource* source, FILE* stream, InputFile* file,
                       const JobSettings* settings);
void decode_source_close(DecodeSource* source);
