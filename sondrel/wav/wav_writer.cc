// The output header images (44-byte plain, 68-byte extensible), their
// completion for a job, the write-error check of a job's outputs and the
// size fix that makes every output's header match its length.
#include "wav/wav_writer.h"

#include <sys/types.h>

#include <cstring>

#include "wav/little_endian.h"

uint8_t wav_plain_header[PLAIN_HEADER_BYTES] = {
    'R', 'I', 'F', 'F', 0x00, 0x00, 0x00, 0x00,  // RIFF size: set by the size fix
    'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
    0x10, 0x00, 0x00, 0x00,                      // fmt size 16
    0x01, 0x00,                                  // format tag
    0x01, 0x00,                                  // channels
    0x44, 0xAC, 0x00, 0x00,                      // sample rate
    0x88, 0x58, 0x01, 0x00,                      // bytes per second
    0x02, 0x00,                                  // block align
    0x10, 0x00,                                  // bits per sample
    'd', 'a', 't', 'a', 0x00, 0x00, 0x00, 0x00   // data size: set by the size fix
};

uint8_t wav_extensible_header[EXTENSIBLE_HEADER_BYTES] = {
    'R', 'I', 'F', 'F', 0xF0, 0xFF, 0xFF, 0xFF,  // RIFF size placeholder
    'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
    0x28, 0x00, 0x00, 0x00,                      // fmt size 40
    0xFE, 0xFF,                                  // WAVE_FORMAT_EXTENSIBLE
    0x01, 0x00,                                  // channels
    0x44, 0xAC, 0x00, 0x00,                      // sample rate
    0x10, 0xB1, 0x02, 0x00,                      // bytes per second
    0x04, 0x00,                                  // block align
    0x20, 0x00,                                  // bits per sample
    0x16, 0x00,                                  // extension size 22
    0x20, 0x00,                                  // valid bits per sample
    0x00, 0x00, 0x00, 0x00,                      // channel mask
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,  // sub-format GUID
    0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71,
    'd', 'a', 't', 'a', 0xB4, 0xFF, 0xFF, 0xFF   // data size placeholder
};

void wav_header_fill(uint8_t* plain, uint8_t* extensible, int32_t use_extensible,
                     int32_t channels, const JobSettings* settings, uint32_t channel_mask) {
  const uint32_t rate = static_cast<uint32_t>(settings->out_rate);
  const uint32_t bits = static_cast<uint32_t>(settings->out_bits);
  const uint32_t count = static_cast<uint32_t>(channels);
  const uint32_t byte_rate = static_cast<uint32_t>(
      static_cast<uint64_t>(rate) * count * bits / 8u);
  const uint32_t block_align = bits * count / 8u;
  if (!use_extensible) {
    put_le16(plain + 20, settings->out_float ? 3u : 1u);
    put_le16(plain + 22, count);
    put_le32(plain + 24, rate);
    put_le32(plain + 28, byte_rate);
    put_le16(plain + 32, block_align);
    put_le16(plain + 34, bits);
    return;
  }
  put_le16(extensible + 20, 0xFFFEu);
  put_le16(extensible + 22, count);
  put_le32(extensible + 24, rate);
  put_le32(extensible + 28, byte_rate);
  put_le16(extensible + 32, block_align);
  put_le16(extensible + 34, bits);
  put_le16(extensible + 38, bits);
  put_le32(extensible + 40, channel_mask);
  extensible[44] = settings->out_float ? 3 : 1;
  extensible[45] = 0;
}

static const char* output_name(const JobSettings* settings, int32_t k) {
  if (!settings->out_names || k >= settings->out_name_slots) return nullptr;
  return settings->out_names[k];
}

int wav_outputs_flush(JobSettings* settings, FILE** outputs) {
  int result = 0;
  for (int32_t k = 0; outputs && k < settings->output_count; ++k) {
    if (!outputs[k]) continue;
    if (std::fflush(outputs[k]) != 0 || std::ferror(outputs[k])) {
      const char* name = output_name(settings, k);
      std::fprintf(stderr, "Error: Unable to write to file: %s\n", name ? name : "(unnamed)");
      result = 1;
    }
  }
  return result;
}

int wav_outputs_close(JobSettings* settings, FILE** outputs) {
  int result = 0;
  for (int32_t k = 0; outputs && k < settings->output_count; ++k) {
    if (!outputs[k]) continue;
    const int failed = std::fclose(outputs[k]);
    outputs[k] = nullptr;
    if (failed) {
      const char* name = output_name(settings, k);
      std::fprintf(stderr, "Error: Unable to write to file: %s\n", name ? name : "(unnamed)");
      result = 1;
    }
  }
  return result;
}

// A size field: the count, or the largest value 32 bits hold when it is larger.
static uint32_t clamp_size(int64_t size) {
  if (size <= 0) return 0;
  if (size > 0xFFFFFFFFll) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(size);
}

static int write_u32_at(FILE* file, off_t offset, uint32_t value) {
  uint8_t bytes[4];
  put_le32(bytes, value);
  if (fseeko(file, offset, SEEK_SET) != 0) return 1;
  return std::fwrite(bytes, 1, 4, file) == 4 ? 0 : 1;
}

// Writes the sizes of the reopened output from its length. Returns 0 or 1.
static int write_sizes(FILE* file, int32_t extensible) {
  if (fseeko(file, 0, SEEK_END) != 0) return 1;
  const off_t size = ftello(file);
  if (size < 0) return 1;
  if (size <= PLAIN_HEADER_BYTES) return 0;  // no samples: header kept as written
  if (write_u32_at(file, 4, clamp_size(size - 8))) return 1;
  if (extensible) return write_u32_at(file, 64, clamp_size(size - EXTENSIBLE_HEADER_BYTES));
  return write_u32_at(file, 40, clamp_size(size - PLAIN_HEADER_BYTES));
}

static int fix_failed() {
  std::printf("Unable to write to file. Please close all open output wavs!\n");
  std::fflush(stdout);
  return 1;
}

int wav_fix_sizes(JobSettings* settings, FILE** outputs) {
  for (int32_t k = 0; outputs && k < settings->output_count; ++k) {
    if (!outputs[k]) continue;
    const char* name = output_name(settings, k);
    // Reopen first: when that fails the job's handle stays usable and the
    // entry stays as it was, so the fix can be tried again.
    FILE* file = name ? std::fopen(name, "r+b") : nullptr;
    if (!file) return fix_failed();
    int failed = 0;
    if (std::fclose(outputs[k]) != 0) {
      std::fprintf(stderr, "Error: Unable to write to file: %s\n", name);
      failed = 1;
    }
    outputs[k] = nullptr;
    if (write_sizes(file, settings->extensible_header == 1)) failed = 1;
    if (std::fclose(file) != 0) failed = 1;
    if (failed) return fix_failed();
  }
  return 0;
}
