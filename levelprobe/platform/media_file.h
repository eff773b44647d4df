// The records behind AviFile and AviStream, shared by the AVI and WAV
// parsers, the stream data map and the calls of avi_file.h.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/avi_file.h"

// A run of a stream's bytes stored contiguously in the file.
struct StreamSegment {
  int64_t file_offset;    // first byte in the file
  int64_t stream_offset;  // position of that byte in the stream's data
  int64_t size;
};

struct AviStream {
  AviFile* file = nullptr;
  int32_t number = 0;               // position among all streams of the file
  AviStreamInfo info{};             // dwLength is set once the data is mapped
  std::vector<uint8_t> format;      // the stored format record
  uint32_t frame_bytes = 0;         // bytes of one sample frame (audio)
  int64_t declared_frames = 0;      // length the headers claim
  std::vector<StreamSegment> segments;
  int64_t data_bytes = 0;           // sum of the segments' sizes
  int64_t length_frames = 0;        // max(declared, what the data holds)
};

struct AviFile {
  int fd = -1;
  int64_t size = 0;
  int32_t refs = 0;
  std::vector<std::unique_ptr<AviStream>> streams;
  std::vector<uint8_t> staging;  // receives spans of short runs and what lies between
};

// Parsers: fill file->streams (with their data maps) from the open file.
// Return kAviOk, or kAviErrFormat when the file is not of their kind or damaged.
int parse_avi(AviFile* file);
int parse_wav(AviFile* file);

// Stream data map (stream_data.cc).
// Appends a run of stored bytes to the stream, joining it to the previous run
// when the two touch in the file. Fails on more runs than the file can hold.
int stream_add_segment(AviStream* stream, int64_t file_offset, int64_t size);
// Derives frame_bytes from the format record; 0 when the record is unusable.
uint32_t audio_frame_bytes(const std::vector<uint8_t>& format);
// Sets length_frames and info.dwLength from the data and the declared length.
void stream_finish_length(AviStream* stream);
// Copies stream bytes [position, position + count) into `out`; returns how
// many bytes were copied before the stored data ran out.
int64_t stream_copy_bytes(AviStream* stream, int64_t position, uint8_t* out, int64_t count);
