// Input chunks of the PCM WAV source.
#include "jobs/input_chunks.h"

#include <algorithm>

namespace {

constexpr size_t CHUNK_BYTES = 1 << 20;

}  // namespace

size_t chunk_bytes(size_t block_bytes) {
  return block_bytes * std::max<size_t>(1, CHUNK_BYTES / block_bytes);
}

size_t read_data(FILE* stream, uint8_t* dst, size_t want, uint64_t* remaining) {
  if (want > *remaining) want = static_cast<size_t>(*remaining);
  const size_t got = want ? std::fread(dst, 1, want, stream) : 0;
  *remaining -= got;
  if (got < want) *remaining = 0;  // the file ended before its data chunk did
  return got;
}

uint8_t* take_input(InputChunk* chunk, FILE* stream, uint64_t* remaining, size_t want,
                    size_t* got) {
  if (chunk->pos == chunk->size) {
    chunk->size = read_data(stream, chunk->data, chunk->capacity, remaining);
    chunk->pos = 0;
  }
  *got = std::min(want, chunk->size - chunk->pos);
  uint8_t* at = chunk->data + chunk->pos;
  chunk->pos += *got;
  return at;
}
