// levelprobe: open the file, take its first audio stream, check that it is
// 16-bit PCM, read it from the first sample frame to the last with a
// progress line at most every 200 ms, and report 32768 / peak. Each failing
// step prints its message over the progress line; the exit status is 0.
#include "level_probe.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/avi_file.h"
#include "platform/tick.h"

constexpr size_t kBufferBytes = 192000;
constexpr int32_t kReadBytes = 96000;
constexpr uint32_t kProgressMs = 200;

// The extremes of the values, in 16-bit lanes; the magnitude comes after.
static void scan_extremes(const int16_t* values, size_t count, int16_t* lowest, int16_t* highest) {
  size_t i = 0;
  int16_t low = 0, high = 0;
#if defined(__SSE2__)
  // Four vectors of running extremes each, so that the comparisons of one
  // step do not wait for those of the step before.
  __m128i lo[4], hi[4];
  for (int k = 0; k < 4; ++k) lo[k] = hi[k] = _mm_setzero_si128();
  for (; i + 32 <= count; i += 32) {
    for (int k = 0; k < 4; ++k) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + i + 8 * k));
      lo[k] = _mm_min_epi16(lo[k], v);
      hi[k] = _mm_max_epi16(hi[k], v);
    }
  }
  __m128i l = _mm_min_epi16(_mm_min_epi16(lo[0], lo[1]), _mm_min_epi16(lo[2], lo[3]));
  __m128i h = _mm_max_epi16(_mm_max_epi16(hi[0], hi[1]), _mm_max_epi16(hi[2], hi[3]));
  int16_t lanes_low[8], lanes_high[8];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes_low), l);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes_high), h);
  for (int k = 0; k < 8; ++k) {
    low = std::min(low, lanes_low[k]);
    high = std::max(high, lanes_high[k]);
  }
#endif
  for (; i < count; ++i) {
    low = std::min(low, values[i]);
    high = std::max(high, values[i]);
  }
  *lowest = low;
  *highest = high;
}

int32_t scan_peak(const int16_t* values, size_t count, int32_t peak) {
  int16_t low = 0, high = 0;
  scan_extremes(values, count, &low, &high);
  int32_t magnitude = std::max<int32_t>(high, -static_cast<int32_t>(low));  // -32768 gives 32768
  return std::max(magnitude, peak);
}

static void report_failure(FILE* out, const char* message, bool* failed) {
  std::fprintf(out, "\r%s\n", message);
  *failed = true;
}

// The read loop over whole sample frames; returns the peak of all channels.
static int32_t read_peak(AviStream* stream, int32_t length, int32_t channels, int16_t* buffer,
                         FILE* out, bool* failed) {
  int32_t position = 0;
  int32_t peak = 0;
  uint32_t last_tick = 0;
  bool shown = false;
  while (position < length) {
    int32_t samples_read = 0;
    int status = avi_stream_read(stream, position, kAviStreamReadConvenient, buffer, kReadBytes,
                                 nullptr, &samples_read);
    // A read that delivers nothing, or more than was asked, cannot go on.
    if (status != 0 || samples_read <= 0 || samples_read > length - position ||
        static_cast<int64_t>(samples_read) * channels * 2 > kReadBytes) {
      report_failure(out, "AVIStreamRead failed!", failed);
      return 0;
    }
    peak = scan_peak(buffer, static_cast<size_t>(samples_read) * static_cast<size_t>(channels), peak);
    uint32_t now = platform_tick_ms();
    if (!shown || now - last_tick >= kProgressMs) {
      std::fprintf(out, "\r%.2f%%     ", static_cast<double>(position) / length * 100.0);
      std::fflush(out);
      last_tick = now;
      shown = true;
    }
    position += samples_read;
  }
  return peak;
}

static void print_usage(FILE* out) {
  std::fputs("levelprobe v1.0.0\n\n", out);
  std::fputs("Usage: \n", out);
  std::fputs("levelprobe source_path\n", out);
}

int level_probe_main(int argc, char** argv, FILE* out) {
  if (argc < 2) {
    print_usage(out);
    return 0;
  }
  int16_t* buffer = static_cast<int16_t*>(std::malloc(kBufferBytes));
  if (!buffer) {
    std::fputs("Not enough memory for the read buffer!\n", out);
    return 0;
  }
  avi_file_init();
  AviFile* file = nullptr;
  AviStream* stream = nullptr;
  AviStreamInfo info;
  std::memset(&info, 0, sizeof info);
  WaveFormatEx format;
  std::memset(&format, 0, sizeof format);
  int32_t format_size = sizeof format;
  bool failed = false;
  int32_t peak = 0;

  if (avi_file_open(&file, argv[1], kOfShareDenyWrite) != 0) {
    report_failure(out, "AVIFileOpen failed!", &failed);
    file = nullptr;
  } else if (avi_file_get_stream(file, &stream, kStreamTypeAudio, 0) != 0) {
    report_failure(out, "AVIFileGetStream failed!", &failed);
    stream = nullptr;
  } else if (avi_stream_info(stream, &info, sizeof info) != 0) {
    report_failure(out, "AVIStreamInfo failed!", &failed);
  } else if (avi_stream_read_format(stream, 0, &format, &format_size) != 0) {
    report_failure(out, "AVIStreamReadFormat failed!", &failed);
  } else if (format.wFormatTag != kWaveFormatPcm) {
    report_failure(out, "Audio must be in PCM format!", &failed);
  } else if (format.wBitsPerSample != 16) {
    report_failure(out, "Audio must be 16 bits per sample!", &failed);
  } else {
    int32_t length = static_cast<int32_t>(info.dwLength);
    peak = read_peak(stream, length, format.nChannels, buffer, out, &failed);
  }

  if (!failed) {
    std::fputs("\r100%     \n", out);
    if (peak == 0)
      std::fputs("Amplify by inf for full-scale.\n", out);  // silence: no finite gain
    else
      std::fprintf(out, "Amplify by %.6f for full-scale.\n", 32768.0 / peak);
  }

  if (stream) avi_stream_release(stream);
  stream = nullptr;
  if (file) avi_file_release(file);
  file = nullptr;
  avi_file_exit();
  std::free(buffer);
  std::fflush(out);
  return 0;
}
