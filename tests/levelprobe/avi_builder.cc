// Writes the AVI layouts of avi_builder.h chunk by chunk, patching sizes
// and index offsets once the positions are known.
#include "avi_builder.h"

#include <cstdio>
#include <cstring>

static size_t begin_chunk(Bytes& b, const char* id) {
  append_text(b, id);
  append_u32(b, 0);
  return b.size();
}

static void end_chunk(Bytes& b, size_t data) {
  put_u32(b, data - 4, static_cast<uint32_t>(b.size() - data));
  if ((b.size() - data) & 1) b.push_back(0);
}

static size_t begin_list(Bytes& b, const char* type) {
  size_t data = begin_chunk(b, "LIST");
  append_text(b, type);
  return data;
}

static std::string chunk_id(const AviPlan& plan, int stream) {
  char id[5];
  std::snprintf(id, sizeof id, "%02d%s", stream, std::strcmp(plan.streams[stream].type, "auds") == 0 ? "wb" : "dc");
  return id;
}

Bytes pcm_format(int channels, int rate, int bits, bool extensible) {
  Bytes f;
  int block = channels * ((bits + 7) / 8);
  append_u16(f, extensible ? 0xFFFE : 1);
  append_u16(f, static_cast<uint16_t>(channels));
  append_u32(f, static_cast<uint32_t>(rate));
  append_u32(f, static_cast<uint32_t>(rate * block));
  append_u16(f, static_cast<uint16_t>(block));
  append_u16(f, static_cast<uint16_t>(bits));
  if (extensible) {
    append_u16(f, 22);
    append_u16(f, static_cast<uint16_t>(bits));
    append_u32(f, 0);
    const uint8_t guid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    f.insert(f.end(), guid, guid + 16);
  }
  return f;
}

AviBuildStream pcm_stream(int channels, int rate, int bits, uint32_t frames) {
  AviBuildStream s;
  s.format = pcm_format(channels, rate, bits);
  s.sample_size = static_cast<uint32_t>(channels * ((bits + 7) / 8));
  s.length = frames;
  return s;
}

AviBuildStream video_stream() {
  AviBuildStream s;
  std::memcpy(s.type, "vids", 5);
  s.format.assign(40, 0);
  return s;
}

static void write_strh(Bytes& b, const AviBuildStream& s) {
  size_t d = begin_chunk(b, "strh");
  append_text(b, s.type);
  append_u32(b, 0);   // handler
  append_u32(b, 0);   // flags
  append_u32(b, 0);   // priority, language
  append_u32(b, 0);   // initial frames
  append_u32(b, s.sample_size ? s.sample_size : 1);  // scale
  append_u32(b, s.sample_size ? 8000 * s.sample_size : 25);  // rate
  append_u32(b, 0);   // start
  append_u32(b, s.length);
  append_u32(b, 0);   // suggested buffer size
  append_u32(b, 0xFFFFFFFF);
  append_u32(b, s.sample_size);
  append_u32(b, 0);
  append_u32(b, 0);   // frame rectangle
  end_chunk(b, d);
}

AviBuilt make_avi(const AviPlan& plan) {
  AviBuilt out;
  Bytes& b = out.file;
  bool odml = plan.index == AviIndexKind::kOpenDml;
  size_t riff = begin_chunk(b, "RIFF");
  append_text(b, "AVI ");
  size_t hdrl = begin_list(b, "hdrl");
  size_t avih = begin_chunk(b, "avih");
  for (int k = 0; k < 14; ++k) append_u32(b, k == 6 ? static_cast<uint32_t>(plan.streams.size()) : 0);
  end_chunk(b, avih);
  std::vector<size_t> super_entries(plan.streams.size(), 0);
  size_t parts = plan.part_starts.size() + 1;
  for (size_t s = 0; s < plan.streams.size(); ++s) {
    size_t strl = begin_list(b, "strl");
    if (s == 0) out.strh = b.size() + 8;
    write_strh(b, plan.streams[s]);
    size_t strf = begin_chunk(b, "strf");
    b.insert(b.end(), plan.streams[s].format.begin(), plan.streams[s].format.end());
    end_chunk(b, strf);
    if (odml) {
      size_t indx = begin_chunk(b, "indx");
      if (s == 0) out.super_index = indx;
      append_u16(b, 4);
      b.push_back(0);
      b.push_back(0);  // index of indexes
      append_u32(b, static_cast<uint32_t>(parts));
      append_text(b, chunk_id(plan, static_cast<int>(s)).c_str());
      for (int k = 0; k < 3; ++k) append_u32(b, 0);
      super_entries[s] = b.size();
      for (size_t p = 0; p < parts; ++p)
        for (int k = 0; k < 4; ++k) append_u32(b, 0);
      end_chunk(b, indx);
    }
    end_chunk(b, strl);
  }
  end_chunk(b, hdrl);

  out.chunk_data.assign(plan.chunks.size(), 0);
  std::vector<size_t> movi_types;
  size_t part = 0, next_chunk = 0;
  auto write_movi = [&](size_t first, size_t last) {
    size_t movi = begin_list(b, "movi");
    movi_types.push_back(movi);
    for (size_t c = first; c < last; ++c) {
      const AviBuildChunk& chunk = plan.chunks[c];
      size_t rec = plan.rec_lists ? begin_list(b, "rec ") : 0;
      size_t d = begin_chunk(b, chunk.stream < 0 ? "JUNK" : chunk_id(plan, chunk.stream).c_str());
      out.chunk_data[c] = d;
      b.insert(b.end(), chunk.data.begin(), chunk.data.end());
      end_chunk(b, d);
      if (plan.rec_lists) end_chunk(b, rec);
    }
    if (odml) {
      // One chunk index per stream for this part, after its data.
      for (size_t s = 0; s < plan.streams.size(); ++s) {
        size_t count = 0;
        for (size_t c = first; c < last; ++c) count += plan.chunks[c].stream == static_cast<int>(s);
        char id[5];
        std::snprintf(id, sizeof id, "ix%02d", static_cast<int>(s));
        out.ix_chunks.push_back(b.size());
        size_t ix = begin_chunk(b, id);
        append_u16(b, 2);
        b.push_back(0);
        b.push_back(1);  // index of chunks
        append_u32(b, static_cast<uint32_t>(count));
        append_text(b, chunk_id(plan, static_cast<int>(s)).c_str());
        size_t base = first < last ? out.chunk_data[first] : 0;
        append_u32(b, static_cast<uint32_t>(base));
        append_u32(b, static_cast<uint32_t>(static_cast<uint64_t>(base) >> 32));
        append_u32(b, 0);
        for (size_t c = first; c < last; ++c) {
          if (plan.chunks[c].stream != static_cast<int>(s)) continue;
          append_u32(b, static_cast<uint32_t>(out.chunk_data[c] - base));
          append_u32(b, static_cast<uint32_t>(plan.chunks[c].data.size()));
        }
        size_t ix_size = b.size() - ix;
        end_chunk(b, ix);
        size_t entry = super_entries[s] + 16 * part;
        put_u32(b, entry, static_cast<uint32_t>(ix - 8));
        put_u32(b, entry + 8, static_cast<uint32_t>(ix_size + 8));
        put_u32(b, entry + 12, static_cast<uint32_t>(count));
      }
    }
    end_chunk(b, movi);
  };
  size_t first_end = plan.part_starts.empty() ? plan.chunks.size() : plan.part_starts[0];
  write_movi(0, first_end);
  next_chunk = first_end;
  if (plan.index == AviIndexKind::kIdx1Relative || plan.index == AviIndexKind::kIdx1Absolute ||
      (odml && first_end > 0)) {
    size_t idx1 = begin_chunk(b, "idx1");
    out.idx1_entries = idx1;
    size_t base = plan.index == AviIndexKind::kIdx1Absolute ? 0 : movi_types[0];
    for (size_t c = 0; c < first_end; ++c) {
      const AviBuildChunk& chunk = plan.chunks[c];
      append_text(b, chunk.stream < 0 ? "JUNK" : chunk_id(plan, chunk.stream).c_str());
      append_u32(b, 0x10);
      append_u32(b, static_cast<uint32_t>(out.chunk_data[c] - 8 - base));
      append_u32(b, static_cast<uint32_t>(chunk.data.size()));
    }
    end_chunk(b, idx1);
  }
  end_chunk(b, riff);
  for (part = 1; part < parts; ++part) {
    size_t last = part < plan.part_starts.size() ? plan.part_starts[part] : plan.chunks.size();
    size_t avix = begin_chunk(b, "RIFF");
    append_text(b, "AVIX");
    write_movi(next_chunk, last);
    end_chunk(b, avix);
    next_chunk = last;
  }
  return out;
}
