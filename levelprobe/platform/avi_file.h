// The media file layer of levelprobe: opens an AVI file (RIFF 'AVI ', with
// OpenDML 'AVIX' extensions) or a WAV file (RIFF 'WAVE'), finds its audio
// streams, and reads whole sample frames of a stream from a sample position.
// Calls return 0 on success and a non-zero code on failure.
#pragma once
#include <cstdint>

struct AviFile;
struct AviStream;

// Stream description, laid out as 140 bytes like the record callers size it.
struct AviStreamInfo {
  uint32_t fccType;
  uint32_t fccHandler;
  uint32_t dwFlags;
  uint32_t dwCaps;
  uint16_t wPriority;
  uint16_t wLanguage;
  uint32_t dwScale;
  uint32_t dwRate;
  uint32_t dwStart;
  uint32_t dwLength;  // whole sample frames the stream's data holds
  uint32_t dwInitialFrames;
  uint32_t dwSuggestedBufferSize;
  uint32_t dwQuality;
  uint32_t dwSampleSize;  // bytes per sample frame
  int32_t rcFrame[4];
  uint32_t dwEditCount;
  uint32_t dwFormatChangeCount;
  char szName[64];
};
static_assert(sizeof(AviStreamInfo) == 140, "stream info record is 140 bytes");

// The leading 18 bytes of an audio format record as stored in the file.
#pragma pack(push, 1)
struct WaveFormatEx {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatEx) == 18, "format record is 18 bytes");

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr uint32_t kOfShareDenyWrite = 0x20;
constexpr int32_t kAviStreamReadConvenient = -1;

constexpr uint32_t make_fourcc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
constexpr uint32_t kStreamTypeAudio = make_fourcc('a', 'u', 'd', 's');
constexpr uint32_t kStreamTypeVideo = make_fourcc('v', 'i', 'd', 's');

// Failure codes.
enum AviError : int {
  kAviOk = 0,
  kAviErrFile = 1,      // cannot open or read the file
  kAviErrFormat = 2,    // not an AVI or WAV file, or a damaged structure
  kAviErrNoStream = 3,  // no stream of that type and index
  kAviErrArgument = 4,  // a bad argument (record size, position, buffer)
  kAviErrRead = 5,      // the stream's data is not in the file
  kAviErrTooLong = 6,   // the stream is longer than a sample count can say
};

// The layer keeps nothing global; these only pair up with the callers.
void avi_file_init();
void avi_file_exit();

// Opens and parses `path` (read only; `mode` is an open mode such as
// kOfShareDenyWrite). On failure *file is left empty.
int avi_file_open(AviFile** file, const char* path, uint32_t mode);
// The stream number `index` (0 = first) among the streams of `type`. The
// stream holds a reference on its file.
int avi_file_get_stream(AviFile* file, AviStream** stream, uint32_t type, int32_t index);
// Fills `info`, copying at most `size` bytes of the record.
int avi_stream_info(AviStream* stream, AviStreamInfo* info, int32_t size);
// Copies at most *size bytes of the stored format record into `format` and
// sets *size to the stored record's full size. Only position 0 holds a format.
int avi_stream_read_format(AviStream* stream, int32_t position, void* format, int32_t* size);
// Reads whole sample frames from `start`: at most `samples` of them, or as
// many as fit in `buffer_bytes` when `samples` is kAviStreamReadConvenient.
// A read delivers what the file holds from `start` on, across chunk
// boundaries; it fails when not even one whole frame can be delivered.
// `bytes_read` and `samples_read` may be null.
int avi_stream_read(AviStream* stream, int32_t start, int32_t samples, void* buffer,
                    int32_t buffer_bytes, int32_t* bytes_read, int32_t* samples_read);
// Drop a reference; the file goes when its last reference does.
void avi_stream_release(AviStream* stream);
void avi_file_release(AviFile* file);
