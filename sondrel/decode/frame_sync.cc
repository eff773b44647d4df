// Sync tests by decoder family, the next-sync check of frames found away
// from the stream's framing, and the frames a stretch without sync held.
#include "decode/frame_sync.h"

#include "decode/decoder_slots.h"
#include "decode/frame_buffer.h"

namespace {

bool carried(const InputFile* f) { return f->kind == KIND_AC3_WAV || f->kind == KIND_DTS_WAV; }

// Where the frame after one at `start` of `length` bytes is due.
int64_t successor(const InputFile* f, int64_t start, int32_t length) {
  return start + (carried(f) && f->burst_spacing > 0 ? f->burst_spacing : length);
}

// The end of the stream's bytes: the data chunk of a carried stream, else the file.
int64_t stream_end(const InputFile* f) {
  const int64_t file_end = static_cast<int64_t>(f->file_size);
  if (!carried(f) || f->data_size == 0) return file_end;
  const int64_t data_end = int64_t{f->data_offset} + static_cast<int64_t>(f->data_size);
  return data_end < file_end ? data_end : file_end;
}

int32_t header_bytes(const InputFile* f) {
  return is_ac3_family(f->kind) ? AC3_HEADER_BYTES : DTS_HEADER_BYTES;
}

// True when the frame at `start` is followed by a frame start at its
// successor, or when no further frame fits into the stream.
bool next_sync_follows(FILE* stream, const InputFile* f, int64_t start, int32_t length) {
  const int64_t next = successor(f, start, length);
  const int32_t n = header_bytes(f);
  if (next + n > stream_end(f)) return true;
  uint8_t header[DTS_HEADER_BYTES];
  if (peek_bytes(stream, next, header, n) < n) return true;
  if (is_ac3_family(f->kind))
    return ac3_frame_length(decoder_slots.ac3, header) > 0 || ac3_eac3_frame_length(header) > 0;
  return dts_frame_length(decoder_slots.dts, header) > 0;
}

}  // namespace

void track_start(FrameTrack* track) {
  track->last_start = -1;
  track->last_length = 0;
  track->last_blocks = 0;
  track->unit = 0;
  track->passed_over = 0;
}

int32_t family_sync_test(InputFile* file, const uint8_t* header, int32_t mode, int32_t* blocks) {
  if (is_ac3_family(file->kind)) {
    *blocks = AC3_BLOCKS_PER_FRAME;
    return ac3_sync_test(decoder_slots.ac3, header, file, mode);
  }
  int32_t samples = 0;
  const int32_t length = dts_sync_test(decoder_slots.dts, header, file, mode, &samples);
  *blocks = samples / BLOCK_SAMPLES;
  return length;
}

void family_reset_latch(const InputFile* file) {
  if (is_ac3_family(file->kind))
    ac3_set_latch(decoder_slots.ac3, PACKING_ANY);
  else
    dts_set_latch(decoder_slots.dts, PACKING_ANY);
}

int32_t peek_bytes(FILE* stream, int64_t at, uint8_t* bytes, int32_t size) {
  const off_t was = ftello(stream);
  if (was < 0 || fseeko(stream, static_cast<off_t>(at), SEEK_SET) != 0) return 0;
  const size_t n = std::fread(bytes, 1, static_cast<size_t>(size), stream);
  std::clearerr(stream);
  if (fseeko(stream, was, SEEK_SET) != 0) return 0;
  return static_cast<int32_t>(n);
}

int32_t other_frame_length(FILE* stream, const InputFile* file, int64_t start,
                           const uint8_t* header) {
  if (!is_ac3_family(file->kind)) return 0;
  const int32_t length = ac3_eac3_frame_length(header);
  uint8_t next[AC3_HEADER_BYTES];
  if (length == 0 || peek_bytes(stream, start + length, next, AC3_HEADER_BYTES) < AC3_HEADER_BYTES)
    return 0;
  return ac3_frame_length(decoder_slots.ac3, next) > 0 || ac3_eac3_frame_length(next) > 0 ? length
                                                                                          : 0;
}

bool accept_frame(FILE* stream, InputFile* file, FrameTrack* track, int64_t start, int32_t length,
                  int32_t blocks) {
  const bool in_step =
      track->last_start >= 0 && start == successor(file, track->last_start, track->last_length);
  if (!in_step && !next_sync_follows(stream, file, start, length)) {
    if (track->last_start < 0) family_reset_latch(file);
    return false;
  }
  track->last_start = start;
  track->last_length = length;
  track->last_blocks = blocks;
  track->passed_over = 0;
  if (carried(file) && file->burst_spacing > 0)
    track->unit = file->burst_spacing;
  else if (track->unit == 0 || length < track->unit)
    track->unit = length;
  return true;
}

int64_t frames_missing(const FrameTrack* track, int64_t start) {
  if (track->last_start < 0 || track->unit <= 0 || start <= track->last_start) return 0;
  const int64_t frames = (start - track->last_start - track->passed_over) / track->unit - 1;
  return frames > 0 ? frames : 0;
}
