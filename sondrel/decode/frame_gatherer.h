// Gathering frames from read chunks: header bytes first, then the rest of
// the frame, sliding one byte at a time past bytes that start no frame.
// Shared by the stream scan and the decode loop.
#pragma once
#include <cstdint>
#include <cstdio>

#include "decode/frame_buffer.h"

struct FrameGatherer {
  uint8_t chunk[READ_CHUNK_BYTES];
  uint8_t frame[FRAME_BUFFER_BYTES];
  int32_t chunk_length;
  int32_t chunk_pos;
  int32_t header_length;
  int32_t gathered;      // bytes in frame
  int32_t target;        // header_length, or the frame length once accepted
  int32_t in_frame;      // 1 after the header was accepted
  int64_t stream_pos;    // file offset of frame[0]
  int32_t gap;           // bytes slid over since the last accepted frame
  int32_t last_spacing;  // last accepted frame's length plus the gap before it
};

enum GatherEvent { GATHER_EMPTY, GATHER_HEADER, GATHER_FRAME };

// Prepares gathering from file offset `start`.
void gather_start(FrameGatherer* g, int32_t header_length, int64_t start);
// Reads the next chunk from `stream`; returns the bytes read (0 at the end).
int32_t gather_read(FrameGatherer* g, FILE* stream);
// Moves bytes from the chunk into the frame buffer; tells what is complete.
GatherEvent gather_next(FrameGatherer* g);
// The header was no frame start: drop its first byte.
void gather_slide(FrameGatherer* g);
// The header was accepted: gather `length` bytes in all.
void gather_accept(FrameGatherer* g, int32_t length);
// The frame was handled: gather the next header.
void gather_restart(FrameGatherer* g);
