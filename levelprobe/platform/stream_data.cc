// The map from a stream's data to the runs of bytes that hold it in the
// file, the stream's length in sample frames, and copying stream bytes out.
// A long run is read straight into the caller's buffer; short runs close
// together (audio chunks between their headers) are read in one go into a
// staging buffer and copied out from there, which costs far less than a
// system call, or a scattered read, per chunk.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "platform/file_source.h"
#include "platform/media_file.h"

constexpr int64_t kDirectBytes = 32 * 1024;    // runs this long are read in place
constexpr int64_t kMaxGap = 4096;              // largest gap read through when staging
constexpr int64_t kStagingBytes = 256 * 1024;  // span of one staged read

int stream_add_segment(AviStream* stream, int64_t file_offset, int64_t size) {
  if (size <= 0) return kAviOk;
  // Every stored run sits behind a chunk header of its own, so a sound file
  // has at most one run per 8 bytes; more means the index repeats itself.
  if (static_cast<int64_t>(stream->segments.size()) > stream->file->size / 8)
    return kAviErrFormat;
  if (!stream->segments.empty()) {
    StreamSegment& last = stream->segments.back();
    if (last.file_offset + last.size == file_offset) {
      last.size += size;
      stream->data_bytes += size;
      return kAviOk;
    }
  }
  stream->segments.push_back({file_offset, stream->data_bytes, size});
  stream->data_bytes += size;
  return kAviOk;
}

uint32_t audio_frame_bytes(const std::vector<uint8_t>& format) {
  if (format.size() < 14) return 0;
  const uint8_t* f = format.data();
  uint16_t tag = le16(f);
  uint32_t channels = le16(f + 2);
  uint32_t block_align = le16(f + 12);
  if (tag == kWaveFormatPcm) {
    // A record too short to give the sample size: the block size stands.
    if (format.size() < 16) return block_align;
    uint32_t bits = le16(f + 14);
    return channels * ((bits + 7) / 8);
  }
  return block_align != 0 ? block_align : 1;
}

void stream_finish_length(AviStream* stream) {
  int64_t held = stream->frame_bytes ? stream->data_bytes / stream->frame_bytes : 0;
  stream->length_frames = std::max(held, stream->declared_frames);
  stream->info.dwLength = stream->length_frames > INT64_C(0xFFFFFFFF)
                              ? UINT32_C(0xFFFFFFFF)
                              : static_cast<uint32_t>(stream->length_frames);
}

// Index of the segment holding stream byte `position`, or segments.size().
static size_t find_segment(const AviStream* stream, int64_t position) {
  const std::vector<StreamSegment>& segs = stream->segments;
  auto it = std::upper_bound(segs.begin(), segs.end(), position,
                             [](int64_t pos, const StreamSegment& s) { return pos < s.stream_offset; });
  if (it == segs.begin()) return segs.size();
  size_t i = static_cast<size_t>(it - segs.begin()) - 1;
  if (position >= segs[i].stream_offset + segs[i].size) return segs.size();
  return i;
}

// pread until `count` bytes or the end of the file; returns the bytes read.
static int64_t read_fully(int fd, uint8_t* out, int64_t count, int64_t offset) {
  int64_t done = 0;
  while (done < count) {
    ssize_t got = pread(fd, out + done, static_cast<size_t>(count - done), offset + done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

int64_t stream_copy_bytes(AviStream* stream, int64_t position, uint8_t* out, int64_t count) {
  AviFile* file = stream->file;
  const std::vector<StreamSegment>& segs = stream->segments;
  int64_t done = 0;
  while (done < count) {
    size_t i = find_segment(stream, position + done);
    if (i == segs.size()) break;
    int64_t read_start = segs[i].file_offset + (position + done - segs[i].stream_offset);
    int64_t first = std::min(segs[i].file_offset + segs[i].size - read_start, count - done);
    bool close_next = i + 1 < segs.size() && done + first < count &&
                      segs[i + 1].file_offset >= read_start + first &&
                      segs[i + 1].file_offset - (read_start + first) <= kMaxGap;
    if (first >= kDirectBytes || !close_next) {
      int64_t got = read_fully(file->fd, out + done, first, read_start);
      done += got;
      if (got < first) break;
      continue;
    }
    // Stage the span of runs i, i+1, ... that lie close together.
    int64_t span_end = read_start + first;
    size_t j = i + 1;
    for (int64_t want = first; j < segs.size() && done + want < count; ++j) {
      int64_t gap = segs[j].file_offset - span_end;
      int64_t take = std::min(segs[j].size, count - done - want);
      if (gap < 0 || gap > kMaxGap || segs[j].file_offset + take - read_start > kStagingBytes) break;
      span_end = segs[j].file_offset + take;
      want += take;
    }
    if (file->staging.size() < static_cast<size_t>(kStagingBytes)) file->staging.resize(kStagingBytes);
    int64_t got = read_fully(file->fd, file->staging.data(), span_end - read_start, read_start);
    int64_t got_end = read_start + got;
    for (size_t k = i; k < j; ++k) {
      int64_t from = k == i ? read_start : segs[k].file_offset;
      int64_t take = k == i ? first : std::min(segs[k].size, count - done);
      take = std::min(take, got_end - from);
      if (take <= 0) break;
      std::memcpy(out + done, file->staging.data() + (from - read_start), static_cast<size_t>(take));
      done += take;
    }
    if (got_end < span_end) break;
  }
  return done;
}
