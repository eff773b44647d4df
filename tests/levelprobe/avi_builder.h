// Hand-built AVI files for the reader's tests: any streams, data chunks in a
// chosen order, the legacy index with either offset base, no index, 'rec '
// lists, or an OpenDML layout (super index, 'ix##' chunk indexes, 'AVIX'
// parts). Offsets of the built file are reported for patching.
#pragma once
#include <cstdint>
#include <vector>

#include "test_files.h"

enum class AviIndexKind { kIdx1Relative, kIdx1Absolute, kNone, kOpenDml };

struct AviBuildStream {
  char type[5] = "auds";   // "auds" or "vids"
  Bytes format;            // strf payload
  uint32_t sample_size = 0;
  uint32_t length = 0;     // strh dwLength
};

struct AviBuildChunk {
  int stream = 0;          // -1: a JUNK chunk
  Bytes data;
};

struct AviPlan {
  std::vector<AviBuildStream> streams;
  std::vector<AviBuildChunk> chunks;  // in file order
  AviIndexKind index = AviIndexKind::kIdx1Relative;
  bool rec_lists = false;              // every chunk inside a LIST 'rec '
  std::vector<size_t> part_starts;     // OpenDML: chunk numbers that open a new 'AVIX' part
};

struct AviBuilt {
  Bytes file;
  std::vector<size_t> chunk_data;  // file offset of each chunk's payload
  size_t idx1_entries = 0;         // offset of the first idx1 entry (0: none)
  std::vector<size_t> ix_chunks;   // offset of each 'ix##' chunk header
  size_t super_index = 0;          // offset of the first stream's 'indx' payload
  size_t strh = 0;                 // offset of the first stream's strh payload
};

AviBuilt make_avi(const AviPlan& plan);

// A PCM format record (16 bytes), or WAVE_FORMAT_EXTENSIBLE (40 bytes).
Bytes pcm_format(int channels, int rate, int bits, bool extensible = false);
// An audio stream of that format with its strh filled for `frames` frames.
AviBuildStream pcm_stream(int channels, int rate, int bits, uint32_t frames);
AviBuildStream video_stream();
