// Input chunks of the PCM WAV jobs: each input is read in chunks of about a
// megabyte that the 512-frame blocks are taken from in place (the outputs
// stage their bytes the same way, in wav/outputs). The files themselves are
// unbuffered, so every sample is copied once on its way in.
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

// Sizes and allocates the chunks of `inputs` inputs whose blocks are
// `block_bytes` long. Returns false when memory ran out.
bool block_io_open(PcmJob* job, int32_t inputs, size_t block_bytes);
void block_io_close(PcmJob* job);

// Up to `want` bytes of input `input`'s remaining data, in place; *got says
// how many (0 at the end of the data).
uint8_t* take_input(PcmJob* job, int32_t input, FILE* stream, size_t want, size_t* got);

// Reads up to `want` bytes of an input's remaining data into `dst`; a short
// read ends the input, so a header that announces more data than the file
// holds ends the job at the real end of the data.
size_t read_data(FILE* stream, uint8_t* dst, size_t want, uint64_t* remaining);
