// A job's output files: creation with the header image (RIFF, or RF64 for
// the largest), staged writes, flush, close and reopen, and the size fix of
// their headers.
#include "wav/outputs.h"

#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "wav/little_endian.h"
#include "wav/wav_writer.h"

namespace {

// The stages of a job share about 1.5 MiB, each between 256 KiB and 1 MiB:
// one output writes in large pieces, many outputs stay within the cache.
constexpr size_t STAGES_BYTES = 3 << 19;
constexpr size_t STAGE_MIN = 1 << 18;
constexpr size_t STAGE_MAX = 1 << 20;
// Spare bytes after each stage: sample moves may reach a few bytes past the
// samples they carry (a 24-bit sample moves as 4 bytes).
constexpr size_t STAGE_SLACK = 16;

// An output whose file is expected to pass 3.5 GiB is RF64 from the start.
// A PCM job's estimate is exact to a block; a decode job's comes from the
// stream's size over its first frame's size, which frames of other sizes or
// damaged stretches can make short. Half a GiB below the 32-bit limit (an
// eighth of it) covers estimates short by up to 12%; an output that still
// outgrows its RIFF header keeps sizes clamped to 32 bits.
constexpr int64_t RF64_FROM_BYTES = 0xE0000000ll;

const char* name_of(const JobOutputs* o, int32_t k) {
  return o->names && o->names[k] ? o->names[k] : "(unnamed)";
}

bool report_write_failed(const JobOutputs* o, int32_t k) {
  std::fprintf(stderr, "Error: Unable to write to file: %s\n", name_of(o, k));
  return false;
}

// Writes straight to output k's file.
bool write_file(JobOutputs* o, int32_t k, const void* data, size_t bytes) {
  if (bytes == 0) return true;
  if (o->files[k] && std::fwrite(data, 1, bytes, o->files[k]) == bytes) return true;
  return report_write_failed(o, k);
}

// Writes output k's stage to its file and empties it.
bool flush_stage(JobOutputs* o, int32_t k) {
  const size_t used = o->staged[k];
  o->staged[k] = 0;
  return write_file(o, k, o->stage[k], used);
}

// A size field: the count, or the largest value 32 bits hold when it is larger.
uint32_t clamp_size(int64_t size) {
  if (size <= 0) return 0;
  if (size > 0xFFFFFFFFll) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(size);
}

int write_u32_at(FILE* file, off_t offset, uint32_t value) {
  uint8_t bytes[4];
  put_le32(bytes, value);
  if (fseeko(file, offset, SEEK_SET) != 0) return 1;
  return std::fwrite(bytes, 1, 4, file) == 4 ? 0 : 1;
}

// The ds64 chunk's RIFF size, data size and sample count (frames).
int write_ds64(FILE* file, int64_t riff_size, int64_t data_size, int32_t block_align) {
  uint8_t fields[24];
  put_le64(fields, static_cast<uint64_t>(riff_size));
  put_le64(fields + 8, static_cast<uint64_t>(data_size));
  put_le64(fields + 16, static_cast<uint64_t>(block_align > 0 ? data_size / block_align : 0));
  if (fseeko(file, DS64_RIFF_SIZE_AT, SEEK_SET) != 0) return 1;
  return std::fwrite(fields, 1, sizeof fields, file) == sizeof fields ? 0 : 1;
}

// Writes the sizes of reopened output k from its length, after a pad byte
// when the sample data is of odd length. Returns 0 or 1.
int write_sizes(JobOutputs* o, int32_t k, FILE* file) {
  o->unpadded[k] = 0;
  if (fseeko(file, 0, SEEK_END) != 0) return 1;
  const off_t size = ftello(file);
  if (size < 0) return 1;
  // No samples: a RIFF header stays as written.
  if (!o->rf64 && size <= PLAIN_HEADER_BYTES) return 0;
  const int64_t data = std::max<int64_t>(0, size - o->header_bytes);
  const int64_t pad = data & 1;
  if (pad) {
    if (std::fputc(0, file) == EOF) return 1;
    o->unpadded[k] = size;
  }
  if (o->rf64) return write_ds64(file, size + pad - 8, data, o->block_align);
  if (write_u32_at(file, 4, clamp_size(size + pad - 8))) return 1;
  return write_u32_at(file, o->header_bytes - 4, clamp_size(data));
}

int fix_failed() {
  std::printf("Unable to write to file. Please close all open output wavs!\n");
  std::fflush(stdout);
  return 1;
}

// Opens output k's file in `mode`, unbuffered: its stage does the buffering.
FILE* open_output(const JobOutputs* o, int32_t k, const char* mode) {
  FILE* file = o->names && o->names[k] ? std::fopen(o->names[k], mode) : nullptr;
  if (file) std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

// Opens output k to go on writing: appending, or after taking away the pad
// byte of the last size fix.
FILE* reopen_output(JobOutputs* o, int32_t k) {
  if (o->unpadded[k] <= 0) return open_output(o, k, "ab");
  FILE* file = open_output(o, k, "r+b");
  if (file && (ftruncate(fileno(file), o->unpadded[k]) != 0 || fseeko(file, 0, SEEK_END) != 0)) {
    std::fclose(file);
    return nullptr;
  }
  if (file) o->unpadded[k] = 0;
  return file;
}

}  // namespace

int64_t expected_output_bytes(int64_t frames, int32_t in_rate, int32_t out_rate,
                              int32_t channels, int32_t bits) {
  if (frames <= 0 || in_rate <= 0 || out_rate <= 0 || channels <= 0 || bits <= 0) return 0;
  // In floating point: frames x rate may pass 64 bits; only the order of
  // magnitude matters for the choice of header.
  const double out_frames = std::ceil(static_cast<double>(frames) * out_rate / in_rate);
  return static_cast<int64_t>(std::min(out_frames * channels * (bits / 8), 9.0e18));
}

bool output_needs_rf64(int64_t expected_data_bytes, int32_t header_bytes) {
  return header_bytes <= EXTENSIBLE_HEADER_BYTES &&
         expected_data_bytes > RF64_FROM_BYTES - header_bytes;
}

int32_t outputs_create(JobOutputs* o, char* const* names, int32_t count, const uint8_t* header,
                       int32_t header_bytes, int64_t expected_data_bytes, size_t largest_write,
                       int32_t* failed) {
  std::memset(o, 0, sizeof *o);
  *failed = 0;
  if (count < 0 || count > MAX_OUTPUTS) return OUTPUTS_NO_MEMORY;
  o->count = count;
  o->names = names;
  o->header_bytes = header_bytes;
  o->block_align = header_bytes >= PLAIN_HEADER_BYTES ? get_le16(header + 32) : 0;
  uint8_t rf64_image[RF64_HEADER_MAX_BYTES];
  if (output_needs_rf64(expected_data_bytes, header_bytes)) {
    o->rf64 = 1;
    o->header_bytes = wav_rf64_image(header, header_bytes, rf64_image);
    header = rf64_image;
  }
  const size_t share = STAGES_BYTES / static_cast<size_t>(count > 0 ? count : 1);
  o->stage_capacity = std::max(std::min(std::max(share, STAGE_MIN), STAGE_MAX), largest_write);
  if (count > 0) {
    o->memory = static_cast<uint8_t*>(
        std::calloc(static_cast<size_t>(count), o->stage_capacity + STAGE_SLACK));
    if (!o->memory) {
      o->count = 0;
      return OUTPUTS_NO_MEMORY;
    }
  }
  for (int32_t k = 0; k < count; ++k)
    o->stage[k] = o->memory + static_cast<size_t>(k) * (o->stage_capacity + STAGE_SLACK);
  for (int32_t k = 0; k < count; ++k) {
    *failed = k;
    o->files[k] = open_output(o, k, "wb");
    if (!o->files[k]) {
      outputs_close(o);
      return OUTPUTS_OPEN_FAILED;
    }
    if (std::fwrite(header, 1, static_cast<size_t>(o->header_bytes), o->files[k]) !=
        static_cast<size_t>(o->header_bytes)) {
      outputs_close(o);
      return OUTPUTS_HEADER_FAILED;
    }
  }
  return OUTPUTS_CREATED;
}

uint8_t* outputs_reserve(JobOutputs* o, int32_t k, size_t bytes) {
  if (bytes > o->stage_capacity) return nullptr;
  if (o->staged[k] + bytes > o->stage_capacity && !flush_stage(o, k)) return nullptr;
  return o->stage[k] + o->staged[k];
}

void outputs_commit(JobOutputs* o, int32_t k, size_t bytes) { o->staged[k] += bytes; }

bool outputs_write(JobOutputs* o, int32_t k, const void* data, size_t bytes) {
  if (bytes > o->stage_capacity) return flush_stage(o, k) && write_file(o, k, data, bytes);
  uint8_t* room = outputs_reserve(o, k, bytes);
  if (!room) return false;
  std::memcpy(room, data, bytes);
  outputs_commit(o, k, bytes);
  return true;
}

int outputs_flush(JobOutputs* o) {
  int result = 0;
  for (int32_t k = 0; k < o->count; ++k)
    if (o->files[k] && o->staged[k] && !flush_stage(o, k)) result = 1;
  return result;
}

int wav_fix_sizes(JobOutputs* o) {
  for (int32_t k = 0; k < o->count; ++k) {
    if (!o->files[k]) continue;
    bool written = !o->staged[k] || flush_stage(o, k);
    // Reopen first: when that fails the job's handle stays usable and the
    // entry stays as it was, so the fix can be tried again.
    FILE* file = o->names && o->names[k] ? std::fopen(o->names[k], "r+b") : nullptr;
    if (!file) return fix_failed();
    if (std::fclose(o->files[k]) != 0 && written) written = report_write_failed(o, k);
    o->files[k] = nullptr;
    if (write_sizes(o, k, file)) written = false;
    if (std::fclose(file) != 0) written = false;
    if (!written) return fix_failed();
  }
  return 0;
}

int outputs_reopen(JobOutputs* o) {
  for (int32_t k = 0; k < o->count; ++k) {
    if (o->files[k]) continue;
    o->staged[k] = 0;
    o->files[k] = reopen_output(o, k);
    if (!o->files[k]) return 1;
  }
  return 0;
}

int outputs_close(JobOutputs* o) {
  int result = 0;
  for (int32_t k = 0; k < o->count; ++k) {
    if (!o->files[k]) continue;
    bool written = !o->staged[k] || flush_stage(o, k);
    if (std::fclose(o->files[k]) != 0 && written) written = report_write_failed(o, k);
    o->files[k] = nullptr;
    if (!written) result = 1;
  }
  return result;
}

void outputs_release(JobOutputs* o) {
  outputs_close(o);
  std::free(o->memory);
  std::memset(o, 0, sizeof *o);
}
