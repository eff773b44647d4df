// Staging between the jobs' 512-frame blocks and their files: each input is
// read in chunks of about a megabyte that the blocks are taken from in
// place, and each output collects its blocks in a stage of about a megabyte
// that goes to the file in one write. The files themselves are unbuffered,
// so every sample is copied once on its way in and once on its way out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct PcmJob;

struct InputChunk {
  uint8_t* data;
  size_t capacity;  // a whole number of the input's blocks
  size_t size;      // bytes read into it
  size_t pos;       // bytes already taken
};

struct OutputStage {
  uint8_t* data;
  size_t capacity;
  size_t used;
};

// Sizes and allocates the chunks of `inputs` inputs whose blocks are
// `block_bytes` long, and the stages of the job's outputs, each able to hold
// at least `largest_write` bytes. Returns false when memory ran out.
bool block_io_open(PcmJob* job, int32_t inputs, size_t block_bytes, size_t largest_write);
void block_io_close(PcmJob* job);

// Up to `want` bytes of input `input`'s remaining data, in place; *got says
// how many (0 at the end of the data).
uint8_t* take_input(PcmJob* job, int32_t input, FILE* stream, size_t want, size_t* got);

// Room for `bytes` in the stage of `output` (flushing it first when full);
// nullptr after a failed flush. stage_commit counts them as written.
uint8_t* stage_reserve(PcmJob* job, int32_t output, size_t bytes);
void stage_commit(PcmJob* job, int32_t output, size_t bytes);

// Stages `bytes` of `data` for `output`; a write larger than the stage goes
// to the file directly. Returns false (after printing why) when it failed.
bool write_output(PcmJob* job, int32_t output, const void* data, size_t bytes);

// Writes every stage to its file. Returns false after a failed write.
bool flush_stages(PcmJob* job);

// Reads up to `want` bytes of an input's remaining data into `dst`; a short
// read ends the input, so a header that announces more data than the file
// holds ends the job at the real end of the data.
size_t read_data(FILE* stream, uint8_t* dst, size_t want, uint64_t* remaining);
