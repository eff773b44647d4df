// WAV header reader: the format of a RIFF/WAVE input from the fmt chunk,
// which must follow the RIFF/WAVE header, read at its fixed positions in the
// first 210 bytes; and the data chunk, found by walking the chunk list. The
// speaker mask is taken only from a WAVE_FORMAT_EXTENSIBLE fmt chunk; a data
// size of 0xFFFFFFFF (a piped WAV), or 0 with samples after it (a header
// never finished), means the data runs to the end of the file. An RF64 file
// is read the same way once its ds64 chunk, which holds the 64-bit data size,
// is set aside: the positions then count from the chunk after it.
#include "wav/wav_header_reader.h"

#include <cstdio>
#include <cstring>

#include "wav/little_endian.h"

namespace {

constexpr int HEADER_BYTES = 210;
constexpr int FMT_CHUNK = 12;
// The data chunk's id must start at offsets 36 to 209; the bytes read reach
// the size field of a chunk found at the last of them. Bytes past the end of
// a short file read as zeros.
constexpr int FIRST_DATA_ID = 36;
constexpr int LAST_DATA_ID = HEADER_BYTES - 1;
constexpr int BUFFER_BYTES = LAST_DATA_ID + 8;

const uint8_t DATA_ID[4] = {'d', 'a', 't', 'a'};

// An RF64 file's ds64 chunk: its id at offset 12, at least the RIFF size,
// data size and sample count (8 bytes each), perhaps a table after them.
constexpr int DS64_AT = 12;
constexpr uint32_t DS64_MIN_SIZE = 24;
constexpr uint32_t DS64_MAX_SIZE = 256;
constexpr int DS64_DATA_SIZE = DS64_AT + 16;
constexpr int READ_BYTES = BUFFER_BYTES + 8 + static_cast<int>(DS64_MAX_SIZE);

// Format tags of the fmt chunk (and sub-formats of an extensible one).
constexpr uint16_t FORMAT_PCM = 1;
constexpr uint16_t FORMAT_FLOAT = 3;
constexpr uint16_t FORMAT_EXTENSIBLE = 0xFFFE;

// Offset of the data chunk's id, reached chunk by chunk from the fmt chunk
// (a chunk of odd size is followed by a pad byte); -1 when the walk leaves
// the header bytes, or meets a data chunk outside the offsets allowed.
int walk_to_data(const uint8_t* h) {
  int64_t at = FMT_CHUNK;
  while (at <= LAST_DATA_ID) {
    if (!std::memcmp(h + at, DATA_ID, 4)) return at >= FIRST_DATA_ID ? static_cast<int>(at) : -1;
    const uint32_t size = get_le32(h + at + 4);
    at += 8 + static_cast<int64_t>(size) + (size & 1u);
  }
  return -1;
}

// The first "data" at the allowed offsets, on a chunk boundary or not: files
// whose writer left out a pad byte or wrote a wrong chunk size are read as
// they always were. -1 when there is none.
int search_data(const uint8_t* h) {
  for (int at = FIRST_DATA_ID; at <= LAST_DATA_ID; ++at)
    if (!std::memcmp(h + at, DATA_ID, 4)) return at;
  return -1;
}

// Bytes of an RF64 file's ds64 chunk (with its pad byte), setting
// *data_size from it; 0 when the file is not RF64, -1 when its ds64 chunk is
// missing or of a size no writer gives it.
int ds64_bytes(const uint8_t* raw, uint64_t* data_size) {
  if (std::memcmp(raw, "RF64", 4)) return 0;
  const uint32_t size = get_le32(raw + DS64_AT + 4);
  if (std::memcmp(raw + DS64_AT, "ds64", 4) || size < DS64_MIN_SIZE || size > DS64_MAX_SIZE)
    return -1;
  *data_size = get_le64(raw + DS64_DATA_SIZE);
  return 8 + static_cast<int>(size + (size & 1u));
}

int refuse(const char* message) {
  std::fputs(message, stderr);
  return 1;
}

const char* const UNSUPPORTED =
    "Error: Unsupported format, only PCM, IEEE_FLOAT & EXTENSIBLE formats supported.";

}  // namespace

int read_wav_header(FILE* stream, InputFile* file) {
  uint8_t raw[READ_BYTES] = {};
  if (fseeko(stream, 0, SEEK_SET) == 0) std::fread(raw, 1, READ_BYTES, stream);

  // h: the header as a RIFF file would have it (an RF64 file's ds64 chunk
  // taken out); its offsets are `shift` bytes short of the file's.
  uint8_t h[BUFFER_BYTES];
  uint64_t ds64_data = 0;
  const int shift = ds64_bytes(raw, &ds64_data);
  const bool rf64 = shift > 0;
  std::memcpy(h, raw, DS64_AT);
  std::memcpy(h + DS64_AT, raw + DS64_AT + (rf64 ? shift : 0), BUFFER_BYTES - DS64_AT);
  if ((!rf64 && std::memcmp(h, "RIFF", 4)) || std::memcmp(h + 8, "WAVE", 4) ||
      std::memcmp(h + 12, "fmt ", 4))
    return refuse("Error: Not a valid wav header, either file is corrupt, or is not a wav file!");

  file->fmt_size = static_cast<int32_t>(get_le32(h + 16));
  file->channels = static_cast<int16_t>(get_le16(h + 22));
  file->sample_rate = static_cast<int32_t>(get_le32(h + 24));
  if (file->channels > MAX_WAV_CHANNELS) {
    std::fprintf(stderr, "Error: Detected %d channels, maximum channels supported are %d.",
                 file->channels, MAX_WAV_CHANNELS);
    return 1;
  }

  // Bits per sample come from the byte rate, in 64 bits so that no product
  // overflows; no channels or no rate cannot give a depth.
  const int64_t per_second = static_cast<int64_t>(file->sample_rate) * file->channels;
  const int64_t byte_rate = get_le32(h + 28);
  const int64_t bits = per_second > 0 ? byte_rate / per_second * 8 : 0;
  if (bits != 64 && bits != 32 && bits != 24 && bits != 16 && bits != 8)
    return refuse(
        "Error: non supported bit depth (supported: 8, 16, 24, 32 bit int, 32 & 64 bit float).");
  file->bits = static_cast<int32_t>(bits);

  const uint16_t tag = get_le16(h + 20);
  file->is_float = 0;
  if (tag == FORMAT_EXTENSIBLE) {
    const uint16_t sub_format = get_le16(h + 44);
    if (sub_format == FORMAT_FLOAT)
      file->is_float = 1;
    else if (sub_format != FORMAT_PCM)
      return refuse(UNSUPPORTED);
  } else if (tag == FORMAT_FLOAT) {
    file->is_float = 1;
  } else if (tag != FORMAT_PCM) {
    return refuse(UNSUPPORTED);
  }
  if (!file->is_float && file->fmt_size != 16 && file->fmt_size != 40) return refuse(UNSUPPORTED);
  // Floats are stored as 32 or 64 bits, integers in 8 to 32 bits; other
  // pairings cannot be converted.
  if (file->is_float ? (bits != 32 && bits != 64) : bits == 64) return refuse(UNSUPPORTED);

  file->bit_rate = static_cast<double>(file->sample_rate) * file->bits * file->channels;

  int d = walk_to_data(h);
  if (d < 0) d = search_data(h);
  if (d < 0) return refuse("Error: Either file is corrupt, or is not a wav file!");
  file->data_offset = d + 8 + (rf64 ? shift : 0);
  if (static_cast<uint64_t>(file->data_offset) > file->file_size)
    return refuse("Error: Either file is corrupt, or is not a wav file!");

  const int64_t after_header =
      static_cast<int64_t>(file->file_size) - static_cast<int64_t>(file->data_offset);
  const uint32_t size_field = get_le32(h + d + 4);
  // RF64 keeps the data size in ds64 when the chunk's own field is 0xFFFFFFFF.
  const uint64_t declared = rf64 && size_field == 0xFFFFFFFFu ? ds64_data : size_field;
  const bool to_end = (!rf64 && after_header > 0xFFFFFFFFLL) ||
                      (!rf64 && declared == 0xFFFFFFFFu) || (declared == 0 && after_header > 0);
  file->data_size = to_end ? static_cast<uint64_t>(after_header) : declared;
  const int64_t frames =
      static_cast<int64_t>(file->data_size) / (file->bits / 8) / file->channels;
  file->frame_count = static_cast<uint32_t>(frames);
  const bool extensible = tag == FORMAT_EXTENSIBLE && file->fmt_size >= 40;
  file->channel_mask = extensible ? get_le32(h + 40) : 0;
  return 0;
}
