// pread-based reads with bounds against the file's size.
#include "platform/file_source.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

constexpr size_t kWindowBytes = 64 * 1024;

int file_read_at(const AviFile* file, int64_t offset, void* out, size_t count) {
  if (offset < 0 || offset > file->size || static_cast<int64_t>(count) > file->size - offset)
    return 1;
  uint8_t* dst = static_cast<uint8_t*>(out);
  while (count > 0) {
    ssize_t got = pread(file->fd, dst, count, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return 1;
    dst += got;
    offset += got;
    count -= static_cast<size_t>(got);
  }
  return 0;
}

void window_init(WindowReader* reader, const AviFile* file) {
  reader->file = file;
  reader->window.resize(kWindowBytes);
  reader->start = 0;
  reader->length = 0;
}

int window_read(WindowReader* reader, int64_t offset, void* out, size_t count) {
  if (count > reader->window.size()) return file_read_at(reader->file, offset, out, count);
  if (offset < reader->start || offset + static_cast<int64_t>(count) > reader->start + reader->length) {
    const AviFile* file = reader->file;
    if (offset < 0 || offset > file->size) return 1;
    int64_t fill = file->size - offset;
    if (fill > static_cast<int64_t>(reader->window.size()))
      fill = static_cast<int64_t>(reader->window.size());
    if (fill < static_cast<int64_t>(count)) return 1;
    reader->length = 0;
    if (file_read_at(file, offset, reader->window.data(), static_cast<size_t>(fill)) != 0) return 1;
    reader->start = offset;
    reader->length = fill;
  }
  std::memcpy(out, reader->window.data() + (offset - reader->start), count);
  return 0;
}

int read_chunk_header(WindowReader* reader, int64_t pos, int64_t limit, bool contained,
                      ChunkHeader* chunk) {
  if (pos < 0 || pos + 8 > limit) return 1;
  uint8_t head[8];
  if (window_read(reader, pos, head, sizeof head) != 0) return 1;
  chunk->id = le32(head);
  chunk->size = le32(head + 4);
  chunk->pos = pos;
  chunk->data = pos + 8;
  chunk->end = chunk->data + chunk->size;
  chunk->next = chunk->end + (chunk->size & 1);
  if (contained && chunk->end > limit) return 1;
  return 0;
}
