// The output files of one job: created with their header image, written
// through a stage of their own (so a job makes few, large writes), flushed,
// closed and reopened for appending by the halt dialogue with the same
// stages, and finished by the size fix that makes every header match its
// file's length. An output expected to come near 4 GiB is written as RF64,
// its 64-bit sizes in a ds64 chunk. Both jobs and the halt dialogue go
// through here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

constexpr int32_t MAX_OUTPUTS = 18;

// Output k's bytes reach its file through stage k; the files themselves are
// unbuffered, so every byte is copied once on its way out.
struct JobOutputs {
  int32_t count;                // outputs of the job
  char* const* names;           // their names (the job's out_names, not owned)
  int32_t header_bytes;         // 44 (plain), 68 (extensible), 36 more as RF64
  int32_t rf64;                 // 1: RF64 header, its sizes in the ds64 chunk
  int32_t block_align;          // bytes per frame, for the RF64 sample count
  FILE* files[MAX_OUTPUTS];     // open file of each output; null before creation, once closed
  uint8_t* stage[MAX_OUTPUTS];  // bytes of each output not yet written to its file
  size_t staged[MAX_OUTPUTS];   // bytes waiting in each stage
  int64_t unpadded[MAX_OUTPUTS];  // length before the pad byte the size fix added; 0: none
  size_t stage_capacity;        // bytes one stage holds (its spare bytes not counted)
  uint8_t* memory;              // the stages, one block
};

// What outputs_create found.
enum OutputsCreated : int32_t {
  OUTPUTS_CREATED = 0,      // every output open, its header written
  OUTPUTS_OPEN_FAILED,      // output *failed could not be created
  OUTPUTS_HEADER_FAILED,    // output *failed took no header
  OUTPUTS_NO_MEMORY         // the stages could not be allocated; nothing was created
};

// Bytes of sample data an output is expected to take: `frames` input frames
// at `in_rate` Hz, as `out_rate` Hz frames of `channels` samples of `bits`
// bits. Rounded up; 0 when a rate is not positive.
int64_t expected_output_bytes(int64_t frames, int32_t in_rate, int32_t out_rate,
                              int32_t channels, int32_t bits);

// True when an output of `expected_data_bytes` after a RIFF header of
// `header_bytes` is to be written as RF64 (see RF64_FROM_BYTES in outputs.cc).
bool output_needs_rf64(int64_t expected_data_bytes, int32_t header_bytes);

// Creates the `count` outputs named in `names` ("wb") and writes the header
// image to each (its RF64 form when output_needs_rf64 says so for
// `expected_data_bytes`, each output's expected sample data), after
// allocating stages that take at least `largest_write` bytes at once. On a
// failure the outputs made before it are closed and *failed names the output
// concerned; the caller prints the message.
int32_t outputs_create(JobOutputs* outputs, char* const* names, int32_t count,
                       const uint8_t* header, int32_t header_bytes,
                       int64_t expected_data_bytes, size_t largest_write, int32_t* failed);

// Room for `bytes` more bytes in output k's stage (written out first when
// full); nullptr after a failed write (reported). outputs_commit counts the
// bytes put there as written. A reservation may reach 16 bytes past `bytes`.
uint8_t* outputs_reserve(JobOutputs* outputs, int32_t k, size_t bytes);
void outputs_commit(JobOutputs* outputs, int32_t k, size_t bytes);

// Writes `bytes` of `data` to output k (through its stage; a write larger
// than the stage goes to the file at once). Returns false after printing
// that the output could not be written.
bool outputs_write(JobOutputs* outputs, int32_t k, const void* data, size_t bytes);

// Writes every stage to its file. Returns 0, or 1 after naming an output
// that could not be written.
int outputs_flush(JobOutputs* outputs);

// For each open output, in order: writes its stage out, reopens the file by
// name for update, closes the job's handle (the entry becomes null) and
// writes the RIFF and data sizes from the file's length: RIFF sizes that do
// not fit 32 bits are written as 0xFFFFFFFF, RF64 sizes go to the ds64
// chunk. Sample data of odd length gets a pad byte, counted in the RIFF size
// only (a reopen takes it away again). Closed entries are passed over.
// Returns 0, or 1 at the first output that could not be fixed, after
// printing why; that output keeps its open entry when it could not be
// reopened, and so do the outputs after it, so a later call can retry.
int wav_fix_sizes(JobOutputs* outputs);

// Reopens every closed output for appending, with its stage, after the pad
// byte of the size fix, if any. Returns 0, or 1 at the first that cannot be
// opened (the ones before it stay open).
int outputs_reopen(JobOutputs* outputs);

// Closes every open output (stages written out first). Returns 0, or 1
// after naming an output whose last write or close failed.
int outputs_close(JobOutputs* outputs);

// Closes what is open and releases the stages.
void outputs_release(JobOutputs* outputs);
