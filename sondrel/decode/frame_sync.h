// Frame acceptance shared by the stream scan and the decode loop: the sync
// test of the file's decoder family, and the check that a frame found where
// the stream's framing does not put one (the first frame, or one after
// bytes without sync) is followed by the next frame's sync where its framing
// puts it (at the frame size in a raw stream, at the burst spacing in a
// carried one), or ends the stream. A false sync word in junk or in a
// damaged stretch then fixes neither the layout nor the packing.
#pragma once
#include <cstdint>
#include <cstdio>

#include "wav/input_file.h"

// Where the stream's frames were found so far.
struct FrameTrack {
  int64_t last_start;   // file offset of the last accepted frame, -1 before the first
  int32_t last_length;  // its length in bytes
  int32_t last_blocks;  // its 256-sample blocks
  int32_t unit;         // bytes of stream one frame takes: the burst spacing of a carried
                        // stream, else the smallest frame length seen (0 before the first)
  int64_t passed_over;  // bytes of other streams' frames since the last accepted frame
};

void track_start(FrameTrack* track);

// Sync test with the decoder of the file's family in `mode`: the frame
// length or 0; `blocks` gets the frame's 256-sample blocks.
int32_t family_sync_test(InputFile* file, const uint8_t* header, int32_t mode, int32_t* blocks);
// Clears the byte-order latch of the family's decoder.
void family_reset_latch(const InputFile* file);

// Reads `size` bytes at file offset `at` without disturbing the stream's
// reading; returns the bytes read (fewer at the end of the stream).
int32_t peek_bytes(FILE* stream, int64_t at, uint8_t* bytes, int32_t size);

// The length of a frame of another stream interleaved with this one (E-AC-3
// frames between AC-3 frames) at `start`, confirmed by a frame start right
// after it, or 0. Such a frame is passed over whole: it is no lost audio.
int32_t other_frame_length(FILE* stream, const InputFile* file, int64_t start,
                           const uint8_t* header);

// Decides on a frame the sync test accepted at `start`: true to take it
// (the track then moves on to it). A refused first frame clears the latch
// it set.
bool accept_frame(FILE* stream, InputFile* file, FrameTrack* track, int64_t start, int32_t length,
                  int32_t blocks);

// Whole frames a frame accepted at `start` finds missing since the last
// accepted frame: the stretch between them at the stream's frame spacing,
// less the one frame that belongs there. 0 before the first frame.
int64_t frames_missing(const FrameTrack* track, int64_t start);
