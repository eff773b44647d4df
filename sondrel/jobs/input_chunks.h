// Input chunks of the PCM WAV source: each input is read in chunks of about
// a megabyte that the 512-frame blocks are taken from in place, never past
// the input's data chunk. The files themselves are unbuffered, so every
// sample is copied once on its way in.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

struct InputChunk {
  uint8_t* data;     // the chunk's bytes (16 spare bytes follow them)
  size_t capacity;   // a whole number of the input's blocks
  size_t size;       // bytes read into it
  size_t pos;        // bytes already taken
};

// The chunk size for blocks of `block_bytes` bytes.
size_t chunk_bytes(size_t block_bytes);
// Spare bytes after every chunk: sample moves may reach past their samples.
constexpr size_t CHUNK_SLACK = 16;

// Up to `want` bytes of the input's remaining data, in place; *got says how
// many (0 at the end of the data). `remaining` counts the data bytes left.
uint8_t* take_input(InputChunk* chunk, FILE* stream, uint64_t* remaining, size_t want,
                    size_t* got);

// Reads up to `want` bytes of an input's remaining data into `dst`; a short
// read ends the input, so a header that announces more data than the file
// holds ends the job at the real end of the data.
size_t read_data(FILE* stream, uint8_t* dst, size_t want, uint64_t* remaining);
