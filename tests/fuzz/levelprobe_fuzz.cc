// Fuzz target: the media file layer on arbitrary file bytes, driven the way
// levelprobe drives it (open, first audio stream, info, format, whole-stream
// reads), plus reads at positions and sizes the input picks, and the probe
// routine itself. The bytes are served from an in-memory file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

#include "level_probe.h"
#include "platform/avi_file.h"

static void check(bool ok) {
  if (!ok) std::abort();
}

static void exercise_stream(AviStream* stream, const uint8_t* data, size_t size) {
  AviStreamInfo info{};
  if (avi_stream_info(stream, &info, sizeof info) != 0) return;
  WaveFormatEx format{};
  int32_t format_size = sizeof format;
  avi_stream_read_format(stream, 0, &format, &format_size);
  int32_t length = static_cast<int32_t>(info.dwLength);
  check(length >= 0);
  static std::vector<uint8_t> buffer(96000);
  // The program's loop, bounded.
  int32_t position = 0;
  for (int reads = 0; position < length && reads < 64; ++reads) {
    int32_t bytes = 0, samples = 0;
    if (avi_stream_read(stream, position, kAviStreamReadConvenient, buffer.data(), 96000, &bytes,
                        &samples) != 0)
      break;
    check(samples > 0 && samples <= length - position && bytes > 0 && bytes <= 96000);
    check(info.dwSampleSize == 0 || static_cast<int64_t>(bytes) == static_cast<int64_t>(samples) * info.dwSampleSize);
    position += samples;
  }
  // Reads the last bytes of the input choose.
  for (size_t k = 0; k + 6 <= size && k < 60; k += 6) {
    const uint8_t* p = data + size - 6 - k;
    int32_t start = static_cast<int32_t>((p[0] | p[1] << 8 | p[2] << 16) % (static_cast<int64_t>(length) + 1));
    int32_t count = static_cast<int32_t>(p[3] | p[4] << 8) - 1;
    int32_t room = p[5] * 64 + 1;
    int32_t bytes = 0, samples = 0;
    if (avi_stream_read(stream, start, count, buffer.data(), room, &bytes, &samples) == 0)
      check((samples > 0 || count == 0) && bytes <= room && samples <= length - start &&
            (count < 0 || samples <= count));
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int fd = memfd_create("levelprobe_fuzz", 0);
  static FILE* sink = std::fopen("/dev/null", "w");
  static char path[64];
  if (fd < 0 || !sink) return 0;
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  if (ftruncate(fd, 0) != 0 || (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)))
    return 0;

  AviFile* file = nullptr;
  if (avi_file_open(&file, path, kOfShareDenyWrite) != 0) {
    check(file == nullptr);
    return 0;
  }
  for (uint32_t type : {kStreamTypeAudio, kStreamTypeVideo, 0u}) {
    for (int32_t index = 0; index < 3; ++index) {
      AviStream* stream = nullptr;
      if (avi_file_get_stream(file, &stream, type, index) != 0) {
        check(stream == nullptr);
        break;
      }
      exercise_stream(stream, data, size);
      avi_stream_release(stream);
    }
  }
  AviStream* first = nullptr;
  AviStreamInfo info{};
  bool short_stream = avi_file_get_stream(file, &first, kStreamTypeAudio, 0) == 0 &&
                      avi_stream_info(first, &info, sizeof info) == 0 && info.dwLength <= (1u << 20);
  avi_stream_release(first);
  avi_file_release(file);
  if (short_stream) {
    char arg0[] = "levelprobe";
    char* argv[] = {arg0, path, nullptr};
    level_probe_main(2, argv, sink);
  }
  return 0;
}
