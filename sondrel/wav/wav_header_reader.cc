// WAV header reader: the format of a RIFF/WAVE input from fixed positions of
// its first 210 bytes, and its sample data found by searching for "data".
// The speaker mask is taken only from a WAVE_FORMAT_EXTENSIBLE fmt chunk; a
// data size of 0xFFFFFFFF (a piped WAV), or 0 with samples after it (a header
// never finished), means the data runs to the end of the file.
#include "wav/wav_header_reader.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int HEADER_BYTES = 210;
// "data" is searched for at offsets 36 to 209; the bytes read reach the size
// field of a chunk found at the last of them. Bytes past the end of a short
// file read as zeros.
constexpr int LAST_DATA_ID = HEADER_BYTES - 1;
constexpr int BUFFER_BYTES = LAST_DATA_ID + 8;

uint32_t u32_at(const uint8_t* b, int at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

int16_t i16_at(const uint8_t* b, int at) {
  return static_cast<int16_t>(static_cast<uint16_t>(b[at] | (b[at + 1] << 8)));
}

int refuse(const char* message) {
  std::fputs(message, stderr);
  return 1;
}

const char* const UNSUPPORTED =
    "Error: Unsupported format, only PCM, IEEE_FLOAT & EXTENSIBLE formats supported.";

}  // namespace

int read_wav_header(FILE* stream, InputFile* file) {
  uint8_t h[BUFFER_BYTES] = {};
  if (fseeko(stream, 0, SEEK_SET) == 0) std::fread(h, 1, BUFFER_BYTES, stream);

  if (std::memcmp(h, "RIFF", 4) || std::memcmp(h + 8, "WAVE", 4) || std::memcmp(h + 12, "fmt ", 4))
    return refuse("Error: Not a valid wav header, either file is corrupt, or is not a wav file!");

  file->fmt_size = static_cast<int32_t>(u32_at(h, 16));
  file->channels = i16_at(h, 22);
  file->sample_rate = static_cast<int32_t>(u32_at(h, 24));
  if (file->channels > MAX_WAV_CHANNELS) {
    std::fprintf(stderr, "Error: Detected %d channels, maximum channels supported are %d.",
                 file->channels, MAX_WAV_CHANNELS);
    return 1;
  }

  // Bits per sample come from the byte rate, in 64 bits so that no product
  // overflows; no channels or no rate cannot give a depth.
  const int64_t per_second = static_cast<int64_t>(file->sample_rate) * file->channels;
  const int64_t bits = per_second > 0 ? static_cast<int64_t>(u32_at(h, 28)) / per_second * 8 : 0;
  if (bits != 64 && bits != 32 && bits != 24 && bits != 16 && bits != 8)
    return refuse(
        "Error: non supported bit depth (supported: 8, 16, 24, 32 bit int, 32 & 64 bit float).");
  file->bits = static_cast<int32_t>(bits);

  char tag[8];
  std::snprintf(tag, sizeof tag, "%x%x", h[21], h[20]);
  file->is_float = 0;
  if (!std::strcmp(tag, "fffe")) {
    const int16_t sub_format = i16_at(h, 44);
    if (sub_format == 3)
      file->is_float = 1;
    else if (sub_format != 1)
      return refuse(UNSUPPORTED);
  } else if (!std::strcmp(tag, "03")) {
    file->is_float = 1;
  } else if (std::strcmp(tag, "01")) {
    return refuse(UNSUPPORTED);
  }
  if (!file->is_float && file->fmt_size != 16 && file->fmt_size != 40) return refuse(UNSUPPORTED);
  // Floats are stored as 32 or 64 bits, integers in 8 to 32 bits; other
  // pairings cannot be converted.
  if (file->is_float ? (bits != 32 && bits != 64) : bits == 64) return refuse(UNSUPPORTED);

  file->bit_rate = static_cast<double>(file->sample_rate) * file->bits * file->channels;

  int d = 36;
  while (d <= LAST_DATA_ID && std::memcmp(h + d, "data", 4)) ++d;
  if (d > LAST_DATA_ID) return refuse("Error: Either file is corrupt, or is not a wav file!");
  file->data_offset = d + 8;
  if (static_cast<uint64_t>(file->data_offset) > file->file_size)
    return refuse("Error: Either file is corrupt, or is not a wav file!");

  const int64_t after_header =
      static_cast<int64_t>(file->file_size) - static_cast<int64_t>(file->data_offset);
  const uint32_t declared = u32_at(h, file->data_offset - 4);
  const bool to_end = after_header > 0xFFFFFFFFLL || declared == 0xFFFFFFFFu ||
                      (declared == 0 && after_header > 0);
  file->data_size = to_end ? static_cast<uint64_t>(after_header) : declared;
  const int64_t frames =
      static_cast<int64_t>(file->data_size) / (file->bits / 8) / file->channels;
  file->frame_count = static_cast<uint32_t>(frames);
  const bool extensible = !std::strcmp(tag, "fffe") && file->fmt_size >= 40;
  file->channel_mask = extensible ? u32_at(h, 40) : 0;
  return 0;
}
