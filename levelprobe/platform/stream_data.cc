// The map from a stream's data to the runs of bytes that hold it in the
// file, the stream's length in sample frames, and copying stream bytes out.
// A copy gathers neighbouring runs into one scattered read, so that the
// chunk headers between them cost no extra system call.
#include <algorithm>
#include <cerrno>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/file_source.h"
#include "platform/media_file.h"

constexpr size_t kScratchBytes = 4096;  // largest gap read through in one go
constexpr int kMaxPieces = 1024;        // iovec entries of one read

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
  uint32_t bits = format.size() >= 16 ? le16(f + 14) : 0;
  if (tag == kWaveFormatPcm) return channels * ((bits + 7) / 8);
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

int64_t stream_copy_bytes(AviStream* stream, int64_t position, uint8_t* out, int64_t count) {
  AviFile* file = stream->file;
  if (file->scratch.size() < kScratchBytes) file->scratch.resize(kScratchBytes);
  const std::vector<StreamSegment>& segs = stream->segments;
  int64_t done = 0;
  struct iovec pieces[kMaxPieces];
  while (done < count) {
    size_t i = find_segment(stream, position + done);
    if (i == segs.size()) break;
    // Gather runs i, i+1, ... while the gaps between them are small.
    int64_t read_start = segs[i].file_offset + (position + done - segs[i].stream_offset);
    int64_t file_pos = read_start;
    int64_t want = 0;
    int n = 0;
    for (size_t j = i; j < segs.size() && done + want < count && n + 2 <= kMaxPieces; ++j) {
      int64_t from = j == i ? read_start : segs[j].file_offset;
      int64_t avail = segs[j].file_offset + segs[j].size - from;
      if (j != i) {
        int64_t gap = from - file_pos;
        if (gap < 0 || gap > static_cast<int64_t>(kScratchBytes)) break;
        if (gap > 0) pieces[n++] = {file->scratch.data(), static_cast<size_t>(gap)};
      }
      int64_t take = std::min(avail, count - done - want);
      pieces[n++] = {out + done + want, static_cast<size_t>(take)};
      want += take;
      file_pos = from + take;
    }
    ssize_t got = preadv(file->fd, pieces, n, read_start);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    // Count the stream bytes among what arrived (gaps excluded).
    int64_t left = got;
    for (int k = 0; k < n && left > 0; ++k) {
      int64_t len = std::min<int64_t>(left, static_cast<int64_t>(pieces[k].iov_len));
      if (pieces[k].iov_base != file->scratch.data()) done += len;
      left -= len;
    }
  }
  return done;
}
