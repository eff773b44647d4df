// Decoded blocks from a compressed stream: read chunks, frame gathering and
// acceptance, frame set-up, block decoding, routing, and silence in place of
// what cannot be decoded.
#include "decode/decode_source.h"

#include <cstdlib>
#include <cstring>

#include "decode/decoder_slots.h"
#include "decode/library_messages.h"

namespace {

bool ac3(const DecodeSource* d) { return is_ac3_family(d->file->kind); }

// Blocks the frame being decoded has, as the decoder now says (a DTS frame
// is asked again after every block).
int32_t frame_block_limit(const DecodeSource* d) {
  return ac3(d) ? AC3_BLOCKS_PER_FRAME : dts_frame_blocks(decoder_slots.dts);
}

void count_progress(DecodeSource* d, Block* b) {
  b->tick = 1;
  d->base.done = d->base.frames_decoded;
}

// The frame being decoded ends with `missing` blocks it could not deliver:
// those follow as silence and the frame counts as damaged. Returns true when
// silence follows (the frame's progress comes after it).
bool end_frame(DecodeSource* d, int64_t missing) {
  d->in_frame = 0;
  if (missing <= 0) return false;
  d->base.frames_replaced += 1;
  d->silent_blocks = missing;
  d->tick_after_silence = 1;
  return true;
}

// An empty block that only counts a frame's progress (a frame that left no
// block to count it with).
int32_t frame_counted(DecodeSource* d, Block* b) {
  b->frames = 0;
  count_progress(d, b);
  return SOURCE_BLOCK;
}

// Sets the gathered frame up with the decoder. Returns false when the frame
// cannot be decoded.
bool set_frame_up(DecodeSource* d) {
  InputFile* f = d->file;
  const JobSettings* s = d->settings;
  FormatHook* hook = decoder_slots.hook;
  double level = 1.0, bias = 0.0;
  if (hook->setup(hook, f, &level, &bias)) return false;
  const uint8_t* frame = d->gatherer->frame;
  if (ac3(d)) {
    if (!s->no_level_adjust) f->stream_flags |= AC3_ADJUST_LEVEL;
    if (ac3_frame_setup(decoder_slots.ac3, frame, f, &level, bias, FRAME_MODE_DECODE)) return false;
    if (s->no_dynrng) ac3_dynrng_off(decoder_slots.ac3);
  } else {
    if (!s->no_level_adjust) f->stream_flags |= DTS_ADJUST_LEVEL;
    if (dts_frame_setup(decoder_slots.dts, frame, f, &level, bias)) return false;
    if (s->no_dynrng) dts_dynrng_off(decoder_slots.dts);
  }
  return true;
}

// next_frame_block's answer when the frame's remaining blocks are silence.
constexpr int32_t FRAME_REST_SILENT = -1;

// The next block of the frame being decoded: SOURCE_BLOCK, SOURCE_FAILED
// when the stream changed, or FRAME_REST_SILENT when the decoder gives no
// more blocks and silence stands for the rest.
int32_t next_frame_block(DecodeSource* d, Block* b) {
  if (d->blocks_done >= frame_block_limit(d)) {  // a frame without blocks still counts
    end_frame(d, 0);
    return frame_counted(d, b);
  }
  const bool decoded = ac3(d) ? ac3_decode_block(decoder_slots.ac3) == 0
                              : dts_decode_block(decoder_slots.dts) == 0;
  if (!decoded) {
    // The rest of the frame is silence: up to its header's count for AC-3,
    // the decoder's for DTS.
    const int32_t blocks = ac3(d) ? d->header_blocks : frame_block_limit(d);
    return end_frame(d, blocks - d->blocks_done) ? FRAME_REST_SILENT : frame_counted(d, b);
  }
  const float* samples = ac3(d) ? ac3_block_samples(decoder_slots.ac3)
                                : dts_block_samples(decoder_slots.dts);
  if (route_block(decoder_slots.hook, d->file, samples, &d->route, d->settings, b) != ROUTE_OK)
    return SOURCE_FAILED;
  d->blocks_done += 1;
  if (d->blocks_done >= frame_block_limit(d)) {
    end_frame(d, 0);
    count_progress(d, b);
  }
  return SOURCE_BLOCK;
}

// A header was gathered: takes the frame it starts, or slides past it.
void take_header(DecodeSource* d) {
  FrameGatherer* g = d->gatherer;
  InputFile* f = d->file;
  const int64_t start = g->stream_pos;
  const int32_t length = family_sync_test(f, g->frame, FRAME_MODE_DECODE, &d->header_blocks);
  const int64_t missing = length > 0 ? frames_missing(&d->track, start) : 0;
  const int32_t missing_blocks = d->track.last_blocks;
  if (length == 0 || !accept_frame(d->stream, f, &d->track, start, length, d->header_blocks)) {
    const int32_t other = length == 0 && d->track.last_start >= 0
                              ? other_frame_length(d->stream, f, start, g->frame)
                              : 0;
    d->track.passed_over += other;
    d->passing_over = other > 0;
    if (d->passing_over)
      gather_accept(g, other);
    else
      gather_slide(g);
    return;
  }
  f->frame_size = length;
  d->base.frames_decoded += 1;
  gather_accept(g, length);
  if (missing > 0) {
    // Whole frames lost before this one: their time as silence.
    d->base.frames_replaced += missing;
    d->silent_blocks = missing * missing_blocks;
    d->tick_after_silence = 0;
  }
}

// The source's next(). Decoded blocks point into the decoder's own buffer,
// so the room the run loop may offer is not used.
int32_t next_decoded(BlockSource* base, Block* b, uint8_t* /*room*/, size_t /*room_bytes*/) {
  DecodeSource* d = reinterpret_cast<DecodeSource*>(base);
  for (;;) {
    if (d->silent_blocks > 0) {
      d->silent_blocks -= 1;
      route_silence(d->settings, b);
      if (d->silent_blocks == 0 && d->tick_after_silence) {
        d->tick_after_silence = 0;
        count_progress(d, b);
      }
      return SOURCE_BLOCK;
    }
    if (d->in_frame) {
      const int32_t status = next_frame_block(d, b);
      if (status != FRAME_REST_SILENT) return status;
      continue;
    }
    if (d->need_read) {
      const int32_t n = gather_read(d->gatherer, d->stream);
      if (d->base.frames_decoded == 0) family_reset_latch(d->file);
      if (n == 0) return SOURCE_END;
      d->need_read = 0;
    }
    switch (gather_next(d->gatherer)) {
      case GATHER_EMPTY:
        d->need_read = 1;
        break;
      case GATHER_HEADER:
        take_header(d);
        break;
      default:  // a whole frame
        // The frame stays in the buffer while its blocks are decoded: the
        // next header is gathered only after them.
        gather_restart(d->gatherer);
        if (d->passing_over) {
          d->passing_over = 0;
        } else if (set_frame_up(d)) {
          d->in_frame = 1;
          d->blocks_done = 0;
        } else if (!end_frame(d, d->header_blocks)) {  // every block silent, if it has any
          return frame_counted(d, b);
        }
        break;
    }
  }
}

}  // namespace

int decode_source_open(DecodeSource* d, FILE* stream, InputFile* file,
                       const JobSettings* settings) {
  std::memset(d, 0, sizeof *d);
  d->gatherer = static_cast<FrameGatherer*>(std::malloc(sizeof(FrameGatherer)));
  if (!d->gatherer) return 1;
  d->base.next = next_decoded;
  d->base.max_block_frames = BLOCK_SAMPLES;
  d->base.progress_kind = file->kind;
  d->base.progress_size = static_cast<int64_t>(file->file_size);
  d->base.total = file->burst_count;
  // The libraries' messages can be muted on the decoding thread alone.
  d->base.runs_apart = library_messages_per_thread() ? 1 : 0;
  d->stream = stream;
  d->file = file;
  d->settings = settings;
  d->need_read = 1;
  route_start(&d->route, file, settings);
  track_start(&d->track);
  gather_start(d->gatherer, ac3(d) ? AC3_HEADER_BYTES : DTS_HEADER_BYTES, file->sync_offset);
  std::fseek(stream, file->sync_offset, SEEK_SET);
  return 0;
}

void decode_source_close(DecodeSource* d) {
  std::free(d->gatherer);
  d->gatherer = nullptr;
}
