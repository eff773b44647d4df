// Frame gathering with the byte-by-byte slide to the next sync word.
#include "decode/frame_gatherer.h"

#include <cstring>

void gather_start(FrameGatherer* g, int32_t header_length, int64_t start) {
  g->chunk_length = 0;
  g->chunk_pos = 0;
  g->header_length = header_length;
  g->gathered = 0;
  g->target = header_length;
  g->in_frame = 0;
  g->stream_pos = start;
  g->gap = 0;
  g->last_spacing = 0;
}

int32_t gather_read(FrameGatherer* g, FILE* stream) {
  const size_t n = std::fread(g->chunk, 1, sizeof g->chunk, stream);
  g->chunk_length = static_cast<int32_t>(n);
  g->chunk_pos = 0;
  return g->chunk_length;
}

GatherEvent gather_next(FrameGatherer* g) {
  int32_t take = g->target - g->gathered;
  const int32_t available = g->chunk_length - g->chunk_pos;
  if (take > available) take = available;
  if (take > 0) {
    std::memcpy(g->frame + g->gathered, g->chunk + g->chunk_pos, static_cast<size_t>(take));
    g->gathered += take;
    g->chunk_pos += take;
  }
  if (g->gathered < g->target) return GATHER_EMPTY;
  return g->in_frame ? GATHER_FRAME : GATHER_HEADER;
}

void gather_slide(FrameGatherer* g) {
  std::memmove(g->frame, g->frame + 1, static_cast<size_t>(g->header_length - 1));
  g->gathered -= 1;
  g->stream_pos += 1;
  g->gap += 1;
}

void gather_accept(FrameGatherer* g, int32_t length) {
  if (length < g->header_length) length = g->header_length;
  if (length > FRAME_BUFFER_BYTES) length = FRAME_BUFFER_BYTES;
  g->in_frame = 1;
  g->target = length;
  g->last_spacing = g->gap + length;
  g->gap = 0;
}

void gather_restart(FrameGatherer* g) {
  g->stream_pos += g->target;
  g->gathered = 0;
  g->target = g->header_length;
  g->in_frame = 0;
}
