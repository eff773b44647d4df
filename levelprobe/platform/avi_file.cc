// The calls of the media file layer: open and parse, stream lookup, stream
// description and format, reads of whole sample frames, references.
#include "platform/avi_file.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/media_file.h"

void avi_file_init() {}
void avi_file_exit() {}

static void destroy_file(AviFile* file) {
  if (file->fd >= 0) close(file->fd);
  delete file;
}

int avi_file_open(AviFile** file, const char* path, uint32_t mode) {
  if (!file) return kAviErrArgument;
  *file = nullptr;
  if (!path || (mode & 3) != 0) return kAviErrArgument;  // read access only
  // Opened without blocking: a FIFO would otherwise wait for a writer, and
  // anything but a regular file is refused anyway.
  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return kAviErrFile;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return kAviErrFile;
  }
  AviFile* opened = new AviFile;
  opened->fd = fd;
  opened->size = st.st_size;
  opened->refs = 1;
  posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  if (parse_avi(opened) != kAviOk) {
    opened->streams.clear();
    if (parse_wav(opened) != kAviOk) {
      destroy_file(opened);
      return kAviErrFormat;
    }
  }
  *file = opened;
  return kAviOk;
}

int avi_file_get_stream(AviFile* file, AviStream** stream, uint32_t type, int32_t index) {
  if (!stream) return kAviErrArgument;
  *stream = nullptr;
  if (!file || index < 0) return kAviErrArgument;
  int32_t seen = 0;
  for (auto& s : file->streams) {
    if (type != 0 && s->info.fccType != type) continue;
    if (seen++ == index) {
      file->refs++;
      *stream = s.get();
      return kAviOk;
    }
  }
  return kAviErrNoStream;
}

int avi_stream_info(AviStream* stream, AviStreamInfo* info, int32_t size) {
  if (!stream || !info || size < 0) return kAviErrArgument;
  // The record counts samples in a signed 32-bit position: a longer stream
  // cannot be read through it.
  if (stream->length_frames > INT32_MAX) return kAviErrTooLong;
  size_t n = std::min(static_cast<size_t>(size), sizeof(AviStreamInfo));
  std::memcpy(info, &stream->info, n);
  return kAviOk;
}

int avi_stream_read_format(AviStream* stream, int32_t position, void* format, int32_t* size) {
  if (!stream || !size || *size < 0 || position != 0) return kAviErrArgument;
  if (stream->format.empty()) return kAviErrNoStream;
  if (format) {
    size_t n = std::min(static_cast<size_t>(*size), stream->format.size());
    std::memcpy(format, stream->format.data(), n);
  }
  *size = static_cast<int32_t>(stream->format.size());
  return kAviOk;
}

int avi_stream_read(AviStream* stream, int32_t start, int32_t samples, void* buffer,
                    int32_t buffer_bytes, int32_t* bytes_read, int32_t* samples_read) {
  if (bytes_read) *bytes_read = 0;
  if (samples_read) *samples_read = 0;
  if (!stream || !buffer || buffer_bytes < 0 || samples < kAviStreamReadConvenient)
    return kAviErrArgument;
  if (stream->info.fccType != kStreamTypeAudio || stream->frame_bytes == 0) return kAviErrArgument;
  if (start < 0 || start >= stream->length_frames) return kAviErrArgument;
  int64_t frames = std::min<int64_t>(stream->length_frames - start, buffer_bytes / stream->frame_bytes);
  if (samples != kAviStreamReadConvenient) frames = std::min<int64_t>(frames, samples);
  if (frames <= 0) return samples == 0 ? kAviOk : kAviErrArgument;
  int64_t want = frames * stream->frame_bytes;
  int64_t got = stream_copy_bytes(stream, static_cast<int64_t>(start) * stream->frame_bytes,
                                  static_cast<uint8_t*>(buffer), want);
  int64_t whole = got / stream->frame_bytes;
  if (whole == 0) return kAviErrRead;
  if (bytes_read) *bytes_read = static_cast<int32_t>(whole * stream->frame_bytes);
  if (samples_read) *samples_read = static_cast<int32_t>(whole);
  return kAviOk;
}

void avi_stream_release(AviStream* stream) {
  if (stream) avi_file_release(stream->file);
}

void avi_file_release(AviFile* file) {
  if (file && --file->refs == 0) destroy_file(file);
}
