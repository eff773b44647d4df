// Input chunks and output stages of the PCM WAV jobs.
#include "jobs/block_io.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "jobs/pcm_job.h"

namespace {

constexpr size_t CHUNK_BYTES = 1 << 20;
// Spare bytes after each chunk: sample moves may reach a few bytes past the
// samples they carry.
constexpr size_t SLACK = 16;

}  // namespace

size_t read_data(FILE* stream, uint8_t* dst, size_t want, uint64_t* remaining) {
  if (want > *remaining) want = static_cast<size_t>(*remaining);
  const size_t got = want ? std::fread(dst, 1, want, stream) : 0;
  *remaining -= got;
  if (got < want) *remaining = 0;  // the file ended before its data chunk did
  return got;
}

bool block_io_open(PcmJob* job, int32_t inputs, size_t block_bytes) {
  if (inputs > MAX_SELECTED || block_bytes == 0) return false;
  const size_t chunk = block_bytes * std::max<size_t>(1, CHUNK_BYTES / block_bytes);
  job->io_memory =
      static_cast<uint8_t*>(std::calloc((chunk + SLACK) * static_cast<size_t>(inputs), 1));
  if (!job->io_memory) return false;
  uint8_t* next = job->io_memory;
  for (int32_t i = 0; i < inputs; ++i, next += chunk + SLACK) job->chunks[i] = {next, chunk, 0, 0};
  return true;
}

void block_io_close(PcmJob* job) {
  std::free(job->io_memory);
  job->io_memory = nullptr;
}

uint8_t* take_input(PcmJob* job, int32_t input, FILE* stream, size_t want, size_t* got) {
  InputChunk& chunk = job->chunks[input];
  if (chunk.pos == chunk.size) {
    chunk.size = read_data(stream, chunk.data, chunk.capacity, &job->remaining[input]);
    chunk.pos = 0;
  }
  *got = std::min(want, chunk.size - chunk.pos);
  uint8_t* at = chunk.data + chunk.pos;
  chunk.pos += *got;
  return at;
}
