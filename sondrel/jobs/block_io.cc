// Input chunks and output stages of the PCM WAV jobs.
#include "jobs/block_io.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "jobs/pcm_job.h"

namespace {

constexpr size_t STAGE_BYTES = 1 << 20;
constexpr size_t SLACK = 16;

bool write_file(PcmJob* job, int32_t output, const void* data, size_t bytes) {
  FILE* out = job->outputs[output];
  if (bytes == 0 || (out && std::fwrite(data, 1, bytes, out) == bytes)) return true;
  std::fprintf(stderr, "Error: Unable to write to file: %s\n", job->settings->out_names[output]);
  job->write_failed = 1;
  return false;
}

bool flush_stage(PcmJob* job, int32_t output) {
  OutputStage& stage = job->stages[output];
  const bool written = write_file(job, output, stage.data, stage.used);
  stage.used = 0;
  return written;
}

}  // namespace

size_t read_data(FILE* stream, uint8_t* dst, size_t want, uint64_t* remaining) {
  if (want > *remaining) want = static_cast<size_t>(*remaining);
  const size_t got = want ? std::fread(dst, 1, want, stream) : 0;
  *remaining -= got;
  if (got < want) *remaining = 0;  // the file ended before its data chunk did
  return got;
}

bool block_io_open(PcmJob* job, int32_t inputs, size_t block_bytes, size_t largest_write) {
  const int32_t outputs = job->settings->output_count;
  if (inputs > MAX_SELECTED || outputs > MAX_SELECTED || block_bytes == 0) return false;
  const size_t chunk = block_bytes * std::max<size_t>(1, STAGE_BYTES / block_bytes);
  const size_t stage = std::max(STAGE_BYTES, largest_write);
  // Every area ends in SLACK spare bytes: sample moves may reach a few bytes
  // past the samples they carry.
  const size_t total = (chunk + SLACK) * static_cast<size_t>(inputs) +
                       (stage + SLACK) * static_cast<size_t>(outputs);
  job->io_memory = static_cast<uint8_t*>(std::calloc(total, 1));
  if (!job->io_memory) return false;
  uint8_t* next = job->io_memory;
  for (int32_t i = 0; i < inputs; ++i, next += chunk + SLACK) job->chunks[i] = {next, chunk, 0, 0};
  for (int32_t k = 0; k < outputs; ++k, next += stage + SLACK) job->stages[k] = {next, stage, 0};
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

uint8_t* stage_reserve(PcmJob* job, int32_t output, size_t bytes) {
  OutputStage& stage = job->stages[output];
  if (bytes > stage.capacity) return nullptr;
  if (stage.used + bytes > stage.capacity && !flush_stage(job, output)) return nullptr;
  return stage.data + stage.used;
}

void stage_commit(PcmJob* job, int32_t output, size_t bytes) { job->stages[output].used += bytes; }

bool write_output(PcmJob* job, int32_t output, const void* data, size_t bytes) {
  if (bytes > job->stages[output].capacity)
    return flush_stage(job, output) && write_file(job, output, data, bytes);
  uint8_t* room = stage_reserve(job, output, bytes);
  if (!room) return false;
  std::memcpy(room, data, bytes);
  stage_commit(job, output, bytes);
  return true;
}

bool flush_stages(PcmJob* job) {
  bool written = true;
  for (int32_t k = 0; k < job->settings->output_count; ++k)
    if (job->stages[k].used && !flush_stage(job, k)) written = false;
  return written;
}
