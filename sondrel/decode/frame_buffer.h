// Sizes shared by the stream scan and the decode job: the read chunk, the
// frame buffer the frames are gathered in, and the header lengths.
#pragma once
#include <cstdint>

constexpr int32_t READ_CHUNK_BYTES = 36864;    // one ordinary read (0x9000)
constexpr int32_t FRAME_BUFFER_BYTES = 37120;  // larger than any AC-3 or DTS frame
constexpr int32_t AC3_HEADER_BYTES = 8;
constexpr int32_t DTS_HEADER_BYTES = 14;

// The decoder layer hands the libraries a copy of each frame followed by
// this many zero bytes, so a damaged frame that makes a library read past
// its end still reads inside our buffer.
constexpr int32_t FRAME_READ_MARGIN = 262144;

// Byte-order latch: no packing fixed yet.
constexpr int32_t PACKING_ANY = -1;

// What the sync test and the frame set-up are asked for.
enum FrameMode : int32_t {
  FRAME_MODE_DECODE = 0,   // the decode job
  FRAME_MODE_COLLECT = 1,  // the first scan: the stream's layout facts also go to the record
  FRAME_MODE_COUNT = 2     // the measuring scan (/im): the layout facts are left alone
};

// Samples of one block per channel, and the part of a library's sample
// buffer the router may read (six channels of one block).
constexpr int32_t BLOCK_SAMPLES = 256;
constexpr int32_t LIBRARY_BUFFER_SAMPLES = 6 * BLOCK_SAMPLES;
