// Blocks of a PCM WAV job: read from the input chunks in place, interleaved
// from a group's files, or the channels of a re-pack picked; when
// resampling, as many frames as the resampler wants, read whole.
#include "jobs/pcm_source.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int32_t BLOCK_FRAMES = 512;

// Interleaves the channel blocks `blocks` (block g holding got[g] bytes)
// into `frames` frames of `dst`, frame by frame so that the 4-byte moves of
// 24-bit samples only ever spill into the sample written next; samples past
// the end of a shorter block are silence (128 for the unsigned 8-bit
// samples, zero otherwise).
template <int W>
void interleave_fixed(uint8_t* dst, const uint8_t* const* blocks, const size_t* got,
                      int32_t frames, int32_t groups) {
  static const uint8_t zeros[8] = {};
  static const uint8_t unsigned_zeros[8] = {128, 128, 128, 128, 128, 128, 128, 128};
  const uint8_t* silence = W == 1 ? unsigned_zeros : zeros;
  constexpr int MOVE = W == 3 ? 4 : W;
  for (int32_t f = 0; f < frames; ++f)
    for (int32_t g = 0; g < groups; ++g, dst += W) {
      const size_t at = static_cast<size_t>(f) * W;
      std::memcpy(dst, at < got[g] ? blocks[g] + at : silence, MOVE);
    }
}

void interleave_channels(uint8_t* dst, const uint8_t* const* blocks, const size_t* got,
                         int32_t frames, int32_t groups, int32_t width) {
  switch (width) {
    case 1: interleave_fixed<1>(dst, blocks, got, frames, groups); break;
    case 2: interleave_fixed<2>(dst, blocks, got, frames, groups); break;
    case 3: interleave_fixed<3>(dst, blocks, got, frames, groups); break;
    case 4: interleave_fixed<4>(dst, blocks, got, frames, groups); break;
    default: interleave_fixed<8>(dst, blocks, got, frames, groups); break;
  }
}

void give(Block* b, const uint8_t* stored, int32_t frames, int32_t tick) {
  b->form = BLOCK_STORED;
  b->stored = stored;
  b->frames = frames;
  b->tick = tick;
}

// Interleave: one block of each group file, shorter files padded with
// silence; built in the output's stage when the run loop offers room.
int32_t interleave_block(PcmSource* p, Block* b, uint8_t* room, size_t room_bytes) {
  const int32_t width = p->in_bytes, groups = p->inputs;
  const uint8_t* blocks[MAX_SELECTED];
  size_t got[MAX_SELECTED];
  size_t largest = 0;
  for (int32_t g = 0; g < groups; ++g) {
    blocks[g] = take_input(&p->chunks[g], p->group_files[g], &p->remaining[g],
                           static_cast<size_t>(BLOCK_FRAMES) * width, &got[g]);
    largest = std::max(largest, got[g]);
  }
  if (largest == 0) return SOURCE_END;
  p->base.done += static_cast<int64_t>(largest);
  const int32_t frames = static_cast<int32_t>(largest / width);
  const size_t bytes = static_cast<size_t>(frames) * groups * width;
  uint8_t* target = room && room_bytes >= bytes ? room : p->block;
  for (int32_t g = 0; g < groups; ++g) got[g] -= got[g] % width;  // whole samples only
  interleave_channels(target, blocks, got, frames, groups, width);
  give(b, target, frames, 1);
  return SOURCE_BLOCK;
}

// Re-pack: the kept channels of each frame, interleaved again in place. The
// block that takes the last data ends the job without a progress tick.
int32_t repack_block(PcmSource* p, Block* b) {
  if (p->ended) return SOURCE_END;
  const int32_t width = p->in_bytes, channels = p->channels;
  const size_t frame_bytes = static_cast<size_t>(channels) * width;
  size_t got = 0;
  uint8_t* block = take_input(&p->chunks[0], p->input, &p->remaining[0],
                              BLOCK_FRAMES * frame_bytes, &got);
  p->base.done += static_cast<int64_t>(got);
  const int32_t frames = static_cast<int32_t>(got / frame_bytes);
  if (p->kept < channels) {
    // In place: every sample moves to a position at or below its own.
    for (int32_t f = 0; f < frames; ++f)
      for (int32_t k = 0; k < p->kept; ++k)
        std::memmove(block + (static_cast<size_t>(f) * p->kept + k) * width,
                     block + f * frame_bytes + static_cast<size_t>(p->selected[k]) * width,
                     width);
  }
  const InputChunk& chunk = p->chunks[0];
  p->ended = (got == 0 || p->remaining[0] == 0) && chunk.pos == chunk.size;
  if (p->ended && frames == 0) return SOURCE_END;
  give(b, block, frames, !p->ended);
  return SOURCE_BLOCK;
}

// Convert and split at the source rate: whole frames in place.
int32_t frames_block(PcmSource* p, Block* b) {
  const size_t frame_bytes = static_cast<size_t>(p->channels) * p->in_bytes;
  size_t got = 0;
  const uint8_t* block = take_input(&p->chunks[0], p->input, &p->remaining[0],
                                    BLOCK_FRAMES * frame_bytes, &got);
  if (got == 0) return SOURCE_END;
  p->base.done += static_cast<int64_t>(got);
  give(b, block, static_cast<int32_t>(got / frame_bytes), 1);
  return SOURCE_BLOCK;
}

// Resampling: the frames the resampler wants (down-conversion: no more than
// the data chunk holds), read whole. The block that exhausts the data ends
// the input; the run loop counts progress by the resampler's conversions.
int32_t resampled_block(PcmSource* p, Block* b) {
  if (p->ended) return SOURCE_END;
  int64_t want = ssrc_parallel_frames_wanted(p->rs);
  if (!ssrc_parallel_state(p->rs)->up)
    want = std::max<int64_t>(0, std::min(want, p->total_frames - p->frames_given));
  const size_t frame_bytes = static_cast<size_t>(p->channels) * p->in_bytes;
  const size_t asked = static_cast<size_t>(want) * frame_bytes;
  const size_t got = read_data(p->input, p->block, asked, &p->remaining[0]);
  p->base.done += static_cast<int64_t>(got);
  const int32_t frames = static_cast<int32_t>(got / frame_bytes);
  p->frames_given += frames;
  p->ended = got < asked || p->remaining[0] < frame_bytes;
  give(b, p->block, frames, 0);
  b->last = p->ended;
  return SOURCE_BLOCK;
}

int32_t next_pcm(BlockSource* base, Block* b, uint8_t* room, size_t room_bytes) {
  PcmSource* p = reinterpret_cast<PcmSource*>(base);
  if (p->rs) return resampled_block(p, b);
  switch (p->kind) {
    case PCM_INTERLEAVE: return interleave_block(p, b, room, room_bytes);
    case PCM_REPACK: return repack_block(p, b);
    default: return frames_block(p, b);
  }
}

// Opens the group's inputs at the start of their data. Returns false after
// printing which could not be opened.
bool open_group(PcmSource* p, const InputFile* files, const JobSettings* s) {
  for (int32_t g = 0; g < p->inputs; ++g) {
    const InputFile& member = files[s->file_index + g];
    p->group_files[g] = std::fopen(member.path, "rb");
    if (p->group_files[g]) std::setvbuf(p->group_files[g], nullptr, _IONBF, 0);  // chunked reads
    if (!p->group_files[g] || fseeko(p->group_files[g], member.data_offset, SEEK_SET) != 0) {
      std::printf("Error: Unable to open input file: %s", member.path);
      std::fflush(stdout);
      return false;
    }
    p->remaining[g] = member.data_size;
    p->base.total = std::max(p->base.total, static_cast<int64_t>(member.data_size));
  }
  p->base.progress_size = p->base.total * p->inputs;
  return true;
}

// One allocation for the chunks and the block buffer.
bool alloc_buffers(PcmSource* p) {
  const size_t frame_bytes =
      static_cast<size_t>(p->kind == PCM_INTERLEAVE ? 1 : p->channels) * p->in_bytes;
  const size_t chunk = p->rs ? 0 : chunk_bytes(BLOCK_FRAMES * frame_bytes);
  const size_t block = static_cast<size_t>(p->base.max_block_frames) *
                       (p->kind == PCM_INTERLEAVE ? p->inputs : p->channels) * p->in_bytes;
  const size_t inputs = p->rs ? 0 : static_cast<size_t>(p->inputs);
  p->memory = static_cast<uint8_t*>(
      std::calloc((chunk + CHUNK_SLACK) * inputs + block + CHUNK_SLACK, 1));
  if (!p->memory) return false;
  uint8_t* next = p->memory;
  for (size_t i = 0; i < inputs; ++i, next += chunk + CHUNK_SLACK)
    p->chunks[i] = {next, chunk, 0, 0};
  p->block = next;
  return true;
}

}  // namespace

int32_t pcm_job_kind(const JobSettings* s) {
  if (s->multichannel_out) return s->group_size >= 2 ? PCM_INTERLEAVE : PCM_REPACK;
  return s->convert_only ? PCM_CONVERT : PCM_SPLIT;
}

int pcm_source_open(PcmSource* p, FILE* stream, const InputFile* files, const JobSettings* s,
                    const SsrcParallel* rs) {
  std::memset(p, 0, sizeof *p);
  const InputFile& file = files[s->file_index];
  p->kind = pcm_job_kind(s);
  p->rs = rs;
  p->input = stream;
  p->in_bytes = file.bits / 8;
  p->inputs = p->kind == PCM_INTERLEAVE ? s->group_size : 1;
  p->channels = p->kind == PCM_INTERLEAVE ? 1 : file.channels;
  p->kept = s->selected_count;
  std::memcpy(p->selected, s->selected_channels, sizeof p->selected);
  p->base.next = next_pcm;
  p->base.max_block_frames = rs ? ssrc_parallel_state(rs)->inbuf_capacity : BLOCK_FRAMES;
  p->base.progress_kind = KIND_PCM_WAV;
  p->base.total = static_cast<int64_t>(file.data_size);
  p->base.progress_size = p->base.total;
  p->base.tick_per_conversion = rs != nullptr;
  if (p->in_bytes > 0 && p->channels > 0)
    p->total_frames = static_cast<int64_t>(file.data_size / static_cast<uint64_t>(p->in_bytes) /
                                           static_cast<uint64_t>(p->channels));
  if (p->kind == PCM_INTERLEAVE) {
    p->base.total = 0;
    if (!open_group(p, files, s)) return 1;
  } else {
    p->remaining[0] = file.data_size;
    if (fseeko(stream, file.data_offset, SEEK_SET) != 0) return 1;
  }
  if (!alloc_buffers(p)) {
    std::fputs("Error: Not enough memory for the job's buffers.\n", stderr);
    return 1;
  }
  return 0;
}

void pcm_source_close(PcmSource* p) {
  for (FILE*& f : p->group_files)
    if (f) {
      std::fclose(f);
      f = nullptr;
    }
  std::free(p->memory);
  p->memory = nullptr;
}
