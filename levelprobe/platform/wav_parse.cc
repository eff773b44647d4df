// WAV structure: RIFF 'WAVE', its chunks walked in order, the 'fmt ' record
// and then the 'data' chunk, whatever other chunks lie before or between.
// The one audio stream is the 'data' payload as declared; a payload cut
// short by the end of the file fails in the reads, where it is missing.
// A size that was never filled in (0xFFFFFFFF from a writer on a pipe, or 0
// with audio after it from a recording that was not finished) means the
// payload runs to the end of the file. An empty payload followed only by
// well-formed chunks (metadata written after the data) stays empty. An RF64
// file ('RF64' in place of 'RIFF') holds its 64-bit data size in the 'ds64'
// chunk that comes first; its data chunk's own size is then 0xFFFFFFFF.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/file_source.h"
#include "platform/media_file.h"

constexpr uint32_t kRiff = make_fourcc('R', 'I', 'F', 'F');
constexpr uint32_t kRf64 = make_fourcc('R', 'F', '6', '4');
constexpr uint32_t kDs64 = make_fourcc('d', 's', '6', '4');
constexpr uint32_t kDs64MinBytes = 24;  // RIFF size, data size, sample count
constexpr uint32_t kWave = make_fourcc('W', 'A', 'V', 'E');
constexpr uint32_t kFmt = make_fourcc('f', 'm', 't', ' ');
constexpr uint32_t kData = make_fourcc('d', 'a', 't', 'a');
constexpr uint32_t kMaxFormatBytes = 1 << 16;
constexpr uint32_t kSizeUnknown = UINT32_C(0xFFFFFFFF);
constexpr int kMaxTrailingChunks = 64;

// True when the bytes from `pos` to the end of the file are a run of whole
// chunks with printable ids, such as trailing metadata.
static bool only_chunks_follow(WindowReader* reader, int64_t pos) {
  const int64_t end = reader->file->size;
  for (int k = 0; k < kMaxTrailingChunks && pos < end; ++k) {
    ChunkHeader c;
    if (read_chunk_header(reader, pos, end, true, &c) != 0) return false;
    for (int shift = 0; shift < 32; shift += 8) {
      uint32_t byte = (c.id >> shift) & 0xFF;
      if (byte < 0x20 || byte > 0x7E) return false;
    }
    pos = c.end == end ? end : c.next;
  }
  return pos == end;
}

// The stream header a WAV file implies: one audio stream of fixed-size frames.
static void fill_wav_info(AviStream* stream) {
  const uint8_t* f = stream->format.data();
  AviStreamInfo& info = stream->info;
  info.fccType = kStreamTypeAudio;
  info.dwScale = stream->frame_bytes;
  info.dwRate = le32(f + 8);  // bytes per second
  info.dwQuality = UINT32_C(0xFFFFFFFF);
  info.dwSampleSize = stream->frame_bytes;
  info.dwSuggestedBufferSize = le32(f + 8);
}

int parse_wav(AviFile* file) {
  uint8_t head[12];
  if (file_read_at(file, 0, head, sizeof head) != 0) return kAviErrFormat;
  const bool rf64 = le32(head) == kRf64;
  if ((le32(head) != kRiff && !rf64) || le32(head + 8) != kWave) return kAviErrFormat;
  WindowReader reader;
  window_init(&reader, file);
  uint64_t ds64_data = 0;
  if (rf64) {
    ChunkHeader c;
    uint8_t sizes[kDs64MinBytes];
    if (read_chunk_header(&reader, 12, file->size, true, &c) != 0 || c.id != kDs64 ||
        c.size < kDs64MinBytes || file_read_at(file, c.data, sizes, sizeof sizes) != 0)
      return kAviErrFormat;
    ds64_data = le64(sizes + 8);
  }
  auto stream = std::make_unique<AviStream>();
  stream->file = file;
  bool have_format = false;
  // The RIFF size is not trusted to bound the walk: writers that stream
  // leave it wrong; the chunks themselves must fit in the file.
  for (int64_t pos = 12;;) {
    ChunkHeader c;
    if (read_chunk_header(&reader, pos, file->size, false, &c) != 0) return kAviErrFormat;
    if (c.id == kFmt) {
      if (have_format || c.size < 14 || c.size > kMaxFormatBytes) return kAviErrFormat;
      stream->format.resize(c.size);
      if (file_read_at(file, c.data, stream->format.data(), c.size) != 0) return kAviErrFormat;
      stream->frame_bytes = audio_frame_bytes(stream->format);
      if (stream->frame_bytes == 0) return kAviErrFormat;
      have_format = true;
    } else if (c.id == kData) {
      if (!have_format) return kAviErrFormat;
      const bool in_ds64 = rf64 && c.size == kSizeUnknown;
      const uint64_t declared = in_ds64 ? ds64_data : c.size;
      int64_t size = static_cast<int64_t>(std::min<uint64_t>(declared, INT64_MAX / 2));
      if ((!rf64 && c.size == kSizeUnknown) ||
          (declared == 0 && !only_chunks_follow(&reader, c.data)))
        size = file->size - c.data;
      if (stream_add_segment(stream.get(), c.data, size) != kAviOk) return kAviErrFormat;
      stream->declared_frames = size / stream->frame_bytes;
      break;
    }
    pos = c.next;
  }
  fill_wav_info(stream.get());
  stream_finish_length(stream.get());
  file->streams.push_back(std::move(stream));
  return kAviOk;
}
