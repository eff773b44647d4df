// AVI structure: the first RIFF 'AVI ' with its 'hdrl' stream lists and
// 'movi' data, further OpenDML RIFF 'AVIX' parts, and the map of each audio
// stream's '##wb' chunks, taken from the OpenDML 'indx' index, else from
// 'idx1', else from a scan of the 'movi' lists. Every chunk must lie within
// its parent, and every index entry within a 'movi' list; a 'movi' list cut
// short by the end of the file is mapped as declared, so that reads fail
// where its data is missing.
#include <algorithm>
#include <cstring>

#include "platform/file_source.h"
#include "platform/media_file.h"

namespace {

constexpr uint32_t kRiff = make_fourcc('R', 'I', 'F', 'F');
constexpr uint32_t kList = make_fourcc('L', 'I', 'S', 'T');
constexpr uint32_t kAvi = make_fourcc('A', 'V', 'I', ' ');
constexpr uint32_t kAvix = make_fourcc('A', 'V', 'I', 'X');
constexpr uint32_t kHdrl = make_fourcc('h', 'd', 'r', 'l');
constexpr uint32_t kStrl = make_fourcc('s', 't', 'r', 'l');
constexpr uint32_t kStrh = make_fourcc('s', 't', 'r', 'h');
constexpr uint32_t kStrf = make_fourcc('s', 't', 'r', 'f');
constexpr uint32_t kStrn = make_fourcc('s', 't', 'r', 'n');
constexpr uint32_t kIndx = make_fourcc('i', 'n', 'd', 'x');
constexpr uint32_t kMovi = make_fourcc('m', 'o', 'v', 'i');
constexpr uint32_t kIdx1 = make_fourcc('i', 'd', 'x', '1');
constexpr uint32_t kMaxHeaderBytes = 1 << 20;  // largest stream format or name we load
constexpr uint8_t kIndexOfIndexes = 0;
constexpr uint8_t kIndexOfChunks = 1;

struct MoviList {
  int64_t list_pos;  // offset of the 'movi' list type; idx1 offsets count from here
  int64_t end;       // declared end of the list
};

struct AviLayout {
  std::vector<MoviList> movi;
  bool has_avix = false;
  bool has_idx1 = false;
  ChunkHeader idx1;
  std::vector<ChunkHeader> indx;  // by stream number; size 0 when the stream has none
  std::vector<bool> has_indx;
};

// Stream number of a '##wb' audio data chunk id, or -1.
int audio_chunk_number(uint32_t id) {
  char c[4] = {static_cast<char>(id), static_cast<char>(id >> 8), static_cast<char>(id >> 16),
               static_cast<char>(id >> 24)};
  if (c[0] < '0' || c[0] > '9' || c[1] < '0' || c[1] > '9') return -1;
  if (c[2] != 'w' || c[3] != 'b') return -1;
  return (c[0] - '0') * 10 + (c[1] - '0');
}

bool is_audio(const AviStream* stream) { return stream->info.fccType == kStreamTypeAudio; }

int read_list_type(WindowReader* reader, const ChunkHeader& chunk, uint32_t* type) {
  uint8_t raw[4];
  if (chunk.size < 4 || window_read(reader, chunk.data, raw, 4) != 0) return 1;
  *type = le32(raw);
  return 0;
}

int read_payload(WindowReader* reader, const ChunkHeader& chunk, std::vector<uint8_t>* out) {
  if (chunk.size > kMaxHeaderBytes) return 1;
  out->resize(chunk.size);
  if (chunk.size == 0) return 0;
  return file_read_at(reader->file, chunk.data, out->data(), chunk.size);
}

void fill_info_from_strh(const uint8_t* h, uint32_t size, AviStreamInfo* info) {
  info->fccType = le32(h);
  info->fccHandler = le32(h + 4);
  info->dwFlags = le32(h + 8);
  info->wPriority = le16(h + 12);
  info->wLanguage = le16(h + 14);
  info->dwInitialFrames = le32(h + 16);
  info->dwScale = le32(h + 20);
  info->dwRate = le32(h + 24);
  info->dwStart = le32(h + 28);
  info->dwLength = le32(h + 32);
  info->dwSuggestedBufferSize = le32(h + 36);
  info->dwQuality = le32(h + 40);
  info->dwSampleSize = le32(h + 44);
  if (size >= 56)
    for (int k = 0; k < 4; ++k)
      info->rcFrame[k] = static_cast<int16_t>(le16(h + 48 + 2 * k));
}

// One 'strl' list: stream header, format, name and OpenDML index.
int parse_strl(WindowReader* reader, AviFile* file, int64_t start, int64_t end, AviLayout* layout) {
  auto stream = std::make_unique<AviStream>();
  stream->file = file;
  stream->number = static_cast<int32_t>(file->streams.size());
  bool have_strh = false;
  ChunkHeader indx{};
  bool have_indx = false;
  for (int64_t pos = start; pos + 8 <= end;) {
    ChunkHeader c;
    if (read_chunk_header(reader, pos, end, true, &c) != 0) return kAviErrFormat;
    if (c.id == kStrh) {
      uint8_t h[56] = {};
      uint32_t take = std::min<uint32_t>(c.size, sizeof h);
      if (c.size < 48 || file_read_at(file, c.data, h, take) != 0) return kAviErrFormat;
      fill_info_from_strh(h, take, &stream->info);
      have_strh = true;
    } else if (c.id == kStrf) {
      if (read_payload(reader, c, &stream->format) != 0) return kAviErrFormat;
    } else if (c.id == kStrn) {
      std::vector<uint8_t> name;
      if (read_payload(reader, c, &name) != 0) return kAviErrFormat;
      size_t n = std::min(name.size(), sizeof stream->info.szName - 1);
      if (n > 0) std::memcpy(stream->info.szName, name.data(), n);
    } else if (c.id == kIndx) {
      indx = c;
      have_indx = true;
    }
    pos = c.next;
  }
  if (!have_strh) return kAviErrFormat;
  if (is_audio(stream.get())) {
    stream->frame_bytes = audio_frame_bytes(stream->format);
    if (stream->frame_bytes == 0) return kAviErrFormat;
    // With a fixed sample size the header counts samples of that size.
    uint64_t declared = static_cast<uint64_t>(stream->info.dwLength) * stream->info.dwSampleSize /
                        stream->frame_bytes;
    stream->declared_frames = static_cast<int64_t>(std::min<uint64_t>(declared, UINT64_C(1) << 40));
    stream->info.dwSampleSize = stream->frame_bytes;
  }
  stream->info.dwLength = 0;
  layout->indx.push_back(indx);
  layout->has_indx.push_back(have_indx);
  file->streams.push_back(std::move(stream));
  return kAviOk;
}

int parse_hdrl(WindowReader* reader, AviFile* file, int64_t start, int64_t end, AviLayout* layout) {
  for (int64_t pos = start; pos + 8 <= end;) {
    ChunkHeader c;
    uint32_t type = 0;
    if (read_chunk_header(reader, pos, end, true, &c) != 0) return kAviErrFormat;
    if (c.id == kList) {
      if (read_list_type(reader, c, &type) != 0) return kAviErrFormat;
      if (type == kStrl && parse_strl(reader, file, c.data + 4, c.end, layout) != kAviOk)
        return kAviErrFormat;
    }
    pos = c.next;
  }
  return kAviOk;
}

// The chunks of one RIFF part; the first part ('AVI ') holds the headers
// and the legacy index, every part may hold a 'movi' list.
int walk_riff(WindowReader* reader, AviFile* file, int64_t start, int64_t end, bool first,
              AviLayout* layout) {
  for (int64_t pos = start; pos + 8 <= end && pos + 8 <= file->size;) {
    ChunkHeader c;
    uint32_t type = 0;
    if (read_chunk_header(reader, pos, end, true, &c) != 0) return kAviErrFormat;
    if (c.id == kList) {
      if (read_list_type(reader, c, &type) != 0) return kAviErrFormat;
      if (type == kHdrl && first) {
        if (!file->streams.empty()) return kAviErrFormat;
        if (parse_hdrl(reader, file, c.data + 4, c.end, layout) != kAviOk) return kAviErrFormat;
      } else if (type == kMovi) {
        layout->movi.push_back({c.data, c.end});
      }
    } else if (c.id == kIdx1 && first) {
      layout->idx1 = c;
      layout->has_idx1 = true;
    }
    pos = c.next;
  }
  return kAviOk;
}

// True when a chunk payload [data, data + size) with its header lies inside
// one of the 'movi' lists.
bool inside_movi(const AviLayout& layout, int64_t data, int64_t size) {
  for (const MoviList& m : layout.movi)
    if (data - 8 >= m.list_pos + 4 && data + size <= m.end) return true;
  return false;
}

// An OpenDML standard index: entries of (offset from a base, size).
int load_chunk_index(WindowReader* reader, const AviLayout& layout, const uint8_t* head,
                     int64_t entries_pos, uint32_t entries_bytes, AviStream* stream) {
  uint16_t longs = le16(head);
  uint32_t count = le32(head + 4);
  uint64_t base = le64(head + 12);
  if (longs != 2 || count > entries_bytes / 8) return kAviErrFormat;
  if (base > static_cast<uint64_t>(INT64_C(1) << 62)) return kAviErrFormat;
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t e[8];
    if (window_read(reader, entries_pos + 8 * static_cast<int64_t>(k), e, 8) != 0) return kAviErrFormat;
    int64_t data = static_cast<int64_t>(base) + le32(e);
    int64_t size = le32(e + 4) & 0x7FFFFFFF;  // the top bit marks non-key frames
    if (size == 0) continue;
    if (!inside_movi(layout, data, size)) return kAviErrFormat;
    if (stream_add_segment(stream, data, size) != kAviOk) return kAviErrFormat;
  }
  return kAviOk;
}

// The stream's 'indx': an index of 'ix##' chunk indexes, or itself a chunk index.
int load_odml_index(WindowReader* reader, AviFile* file, const AviLayout& layout,
                    const ChunkHeader& indx, AviStream* stream) {
  uint8_t head[24];
  if (indx.size < 24 || file_read_at(file, indx.data, head, 24) != 0) return kAviErrFormat;
  uint8_t type = head[3];
  if (type == kIndexOfChunks)
    return load_chunk_index(reader, layout, head, indx.data + 24, indx.size - 24, stream);
  uint16_t longs = le16(head);
  uint32_t count = le32(head + 4);
  if (type != kIndexOfIndexes || longs != 4 || count > (indx.size - 24) / 16) return kAviErrFormat;
  WindowReader entries;
  window_init(&entries, file);
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t e[16];
    if (window_read(&entries, indx.data + 24 + 16 * static_cast<int64_t>(k), e, 16) != 0)
      return kAviErrFormat;
    uint64_t at = le64(e);
    if (at == 0 && le32(e + 8) == 0) continue;  // an unused slot
    if (at > static_cast<uint64_t>(file->size)) return kAviErrFormat;
    ChunkHeader ix;
    uint8_t ix_head[24];
    if (read_chunk_header(reader, static_cast<int64_t>(at), file->size, true, &ix) != 0 ||
        ix.size < 24 || file_read_at(file, ix.data, ix_head, 24) != 0 || ix_head[3] != kIndexOfChunks)
      return kAviErrFormat;
    if (load_chunk_index(reader, layout, ix_head, ix.data + 24, ix.size - 24, stream) != kAviOk)
      return kAviErrFormat;
  }
  return kAviOk;
}

struct Idx1Entry {
  uint32_t id;
  int64_t offset;
  int64_t size;
};

bool is_list_entry(uint32_t id) { return id == kList || id == make_fourcc('r', 'e', 'c', ' '); }

int read_idx1_entry(WindowReader* entries, const ChunkHeader& idx, uint32_t k, Idx1Entry* entry) {
  uint8_t e[16];
  if (window_read(entries, idx.data + 16 * static_cast<int64_t>(k), e, 16) != 0) return 1;
  entry->id = le32(e);
  entry->offset = le32(e + 8);
  entry->size = le32(e + 12);
  return 0;
}

// True when the chunk that `entry` names, counted from `base`, is in the file
// with the id and size the entry gives.
bool entry_fits(WindowReader* reader, const AviFile* file, int64_t base, const Idx1Entry& entry) {
  ChunkHeader c;
  return read_chunk_header(reader, base + entry.offset, file->size, false, &c) == 0 &&
         c.id == entry.id && c.size == entry.size;
}

// The base of the legacy index's offsets: the 'movi' list type or, in some
// writers' files, the start of the file. A base must fit both the first and
// the last chunk entry: with chunks of one size at a stride equal to the
// 'movi' offset, the wrong base still lands on a chunk of the same id and
// size at the first entry, but not at the last. Returns -1 when the index
// lists no chunk, -2 when neither base fits.
int64_t idx1_base(WindowReader* reader, const AviFile* file, const AviLayout& layout) {
  const ChunkHeader& idx = layout.idx1;
  uint32_t count = idx.size / 16;
  WindowReader entries;
  window_init(&entries, file);
  Idx1Entry first{}, last{};
  uint32_t k = 0;
  for (; k < count; ++k) {
    if (read_idx1_entry(&entries, idx, k, &first) != 0) return -2;
    if (!is_list_entry(first.id)) break;
  }
  if (k == count) return -1;
  for (uint32_t j = count; j-- > k;) {
    if (read_idx1_entry(&entries, idx, j, &last) != 0) return -2;
    if (!is_list_entry(last.id)) break;
  }
  for (int64_t candidate : {layout.movi.front().list_pos, INT64_C(0)})
    if (entry_fits(reader, file, candidate, first) && entry_fits(reader, file, candidate, last))
      return candidate;
  return -2;
}

// The legacy index of the first part. Returns kAviErrNoStream when the index
// lists no stream chunk at all (the caller then scans).
int load_idx1(WindowReader* reader, AviFile* file, const AviLayout& layout,
              const std::vector<AviStream*>& targets) {
  const ChunkHeader& idx = layout.idx1;
  uint32_t count = idx.size / 16;
  const MoviList& movi = layout.movi.front();
  int64_t base = idx1_base(reader, file, layout);
  if (base == -1) return kAviErrNoStream;
  if (base < 0) return kAviErrFormat;
  WindowReader entries;
  window_init(&entries, file);
  for (uint32_t k = 0; k < count; ++k) {
    Idx1Entry e;
    if (read_idx1_entry(&entries, idx, k, &e) != 0) return kAviErrFormat;
    int number = audio_chunk_number(e.id);
    if (number < 0 || number >= static_cast<int>(targets.size()) || !targets[number] || e.size == 0)
      continue;
    int64_t data = base + e.offset + 8;
    if (data - 8 < movi.list_pos + 4 || data + e.size > movi.end) return kAviErrFormat;
    if (stream_add_segment(targets[number], data, e.size) != kAviOk) return kAviErrFormat;
  }
  return kAviOk;
}

// Walks every 'movi' list chunk by chunk ('rec ' lists entered).
int scan_movi(WindowReader* reader, AviFile* file, const AviLayout& layout,
              const std::vector<AviStream*>& targets) {
  for (const MoviList& m : layout.movi) {
    for (int64_t pos = m.list_pos + 4; pos + 8 <= m.end && pos + 8 <= file->size;) {
      ChunkHeader c;
      if (read_chunk_header(reader, pos, m.end, true, &c) != 0) return kAviErrFormat;
      if (c.id == kList) {
        if (c.size < 4) return kAviErrFormat;
        pos = c.data + 4;
        continue;
      }
      int number = audio_chunk_number(c.id);
      if (number >= 0 && number < static_cast<int>(targets.size()) && targets[number] &&
          stream_add_segment(targets[number], c.data, c.size) != kAviOk)
        return kAviErrFormat;
      pos = c.next;
    }
  }
  return kAviOk;
}

int map_audio_data(WindowReader* reader, AviFile* file, const AviLayout& layout) {
  size_t n = file->streams.size();
  std::vector<AviStream*> by_idx1(n, nullptr);
  bool any_idx1 = false;
  for (size_t s = 0; s < n; ++s) {
    AviStream* stream = file->streams[s].get();
    if (!is_audio(stream)) continue;
    if (layout.has_indx[s]) {
      if (load_odml_index(reader, file, layout, layout.indx[s], stream) != kAviOk) return kAviErrFormat;
    } else {
      by_idx1[s] = stream;
      any_idx1 = true;
    }
  }
  if (!any_idx1) return kAviOk;
  // The legacy index covers only the first part; files with more parts and
  // no OpenDML index are scanned.
  int status = kAviErrNoStream;
  if (layout.has_idx1 && !layout.has_avix) status = load_idx1(reader, file, layout, by_idx1);
  if (status == kAviErrNoStream) status = scan_movi(reader, file, layout, by_idx1);
  return status;
}

}  // namespace

int parse_avi(AviFile* file) {
  uint8_t head[12];
  if (file_read_at(file, 0, head, sizeof head) != 0) return kAviErrFormat;
  if (le32(head) != kRiff || le32(head + 8) != kAvi) return kAviErrFormat;
  WindowReader reader;
  window_init(&reader, file);
  AviLayout layout;
  int64_t riff_end = 8 + static_cast<int64_t>(le32(head + 4));
  if (walk_riff(&reader, file, 12, riff_end, true, &layout) != kAviOk) return kAviErrFormat;
  if (file->streams.empty() || layout.movi.empty()) return kAviErrFormat;
  // OpenDML parts follow the first RIFF chunk, each a RIFF 'AVIX'.
  for (int64_t pos = riff_end + (riff_end & 1); pos + 12 <= file->size;) {
    if (file_read_at(file, pos, head, sizeof head) != 0) return kAviErrFormat;
    if (le32(head) != kRiff || le32(head + 8) != kAvix) break;
    int64_t end = pos + 8 + static_cast<int64_t>(le32(head + 4));
    if (walk_riff(&reader, file, pos + 12, end, false, &layout) != kAviOk) return kAviErrFormat;
    layout.has_avix = true;
    pos = end + (end & 1);
  }
  if (map_audio_data(&reader, file, layout) != kAviOk) return kAviErrFormat;
  for (auto& stream : file->streams)
    if (is_audio(stream.get())) stream_finish_length(stream.get());
  return kAviOk;
}
