#include "wav_builder.h"

#include <cstring>

Bytes make_wav(const WavLayout& layout, const Bytes& data) {
  int fmt_size = layout.fmt_size ? layout.fmt_size : (layout.extensible ? 40 : 16);
  int bytes = layout.bits / 8;
  Bytes fmt;
  uint16_t tag = layout.extensible ? 0xFFFE : (layout.is_float ? 3 : 1);
  append_u16(fmt, tag);
  append_u16(fmt, static_cast<uint16_t>(layout.channels));
  append_u32(fmt, static_cast<uint32_t>(layout.rate));
  append_u32(fmt, static_cast<uint32_t>(layout.rate * layout.channels * bytes));
  append_u16(fmt, static_cast<uint16_t>(layout.channels * bytes));
  append_u16(fmt, static_cast<uint16_t>(layout.bits));
  if (fmt_size >= 18) append_u16(fmt, static_cast<uint16_t>(fmt_size == 40 ? 22 : fmt_size - 18));
  if (fmt_size == 40) {
    append_u16(fmt, static_cast<uint16_t>(layout.bits));
    append_u32(fmt, layout.channel_mask);
    const uint8_t guid[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                              0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    for (int i = 0; i < 16; ++i) fmt.push_back(i == 0 ? (layout.is_float ? 3 : 1) : guid[i]);
  }
  fmt.resize(static_cast<size_t>(fmt_size), 0);

  Bytes body;
  append_text(body, "WAVE");
  append_text(body, "fmt ");
  append_u32(body, static_cast<uint32_t>(fmt_size));
  body.insert(body.end(), fmt.begin(), fmt.end());
  if (!layout.list_chunk.empty()) {
    append_text(body, "LIST");
    append_u32(body, static_cast<uint32_t>(layout.list_chunk.size()));
    body.insert(body.end(), layout.list_chunk.begin(), layout.list_chunk.end());
    if (layout.list_chunk.size() & 1) body.push_back(0);
  }
  append_text(body, "data");
  append_u32(body, layout.declared_data_size >= 0 ? static_cast<uint32_t>(layout.declared_data_size)
                                                : static_cast<uint32_t>(data.size()));
  body.insert(body.end(), data.begin(), data.end());
  if (!layout.trailing_chunk.empty()) {
    if (data.size() & 1) body.push_back(0);
    append_text(body, "junk");
    append_u32(body, static_cast<uint32_t>(layout.trailing_chunk.size()));
    body.insert(body.end(), layout.trailing_chunk.begin(), layout.trailing_chunk.end());
  }
  Bytes file;
  append_text(file, "RIFF");
  append_u32(file, static_cast<uint32_t>(body.size()));
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

Bytes pack_int_samples(const std::vector<int64_t>& values, int bits) {
  Bytes out;
  for (int64_t v : values) {
    if (bits == 8) {
      out.push_back(static_cast<uint8_t>(v + 128));
    } else {
      uint64_t u = static_cast<uint64_t>(v);
      for (int i = 0; i < bits / 8; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
    }
  }
  return out;
}

Bytes pack_float_samples(const std::vector<double>& values, int bits) {
  Bytes out;
  for (double v : values) {
    uint8_t raw[8];
    if (bits == 32) {
      float f = static_cast<float>(v);
      std::memcpy(raw, &f, 4);
    } else {
      std::memcpy(raw, &v, 8);
    }
    out.insert(out.end(), raw, raw + bits / 8);
  }
  return out;
}

std::vector<int64_t> unpack_int_samples(const Bytes& data, int bits) {
  std::vector<int64_t> out;
  size_t width = static_cast<size_t>(bits / 8);
  for (size_t at = 0; at + width <= data.size(); at += width) {
    if (bits == 8) {
      out.push_back(static_cast<int64_t>(data[at]) - 128);
      continue;
    }
    uint64_t u = 0;
    for (size_t i = 0; i < width; ++i) u |= static_cast<uint64_t>(data[at + i]) << (8 * i);
    int shift = 64 - bits;
    out.push_back(static_cast<int64_t>(u << shift) >> shift);
  }
  return out;
}

std::vector<double> unpack_float_samples(const Bytes& data, int bits) {
  std::vector<double> out;
  size_t width = static_cast<size_t>(bits / 8);
  for (size_t at = 0; at + width <= data.size(); at += width) {
    if (bits == 32) {
      float f;
      std::memcpy(&f, &data[at], 4);
      out.push_back(f);
    } else {
      double d;
      std::memcpy(&d, &data[at], 8);
      out.push_back(d);
    }
  }
  return out;
}

WavFile parse_wav(const Bytes& b) {
  WavFile w;
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) || std::memcmp(&b[8], "WAVE", 4)) return w;
  w.riff_size = get_u32(b, 4);
  size_t at = 12;
  bool have_fmt = false;
  while (at + 8 <= b.size()) {
    uint32_t size = get_u32(b, at + 4);
    if (!std::memcmp(&b[at], "fmt ", 4) && at + 8 + 16 <= b.size()) {
      have_fmt = true;
      w.fmt_size = static_cast<int>(size);
      w.format_tag = get_u16(b, at + 8);
      w.channels = get_u16(b, at + 10);
      w.rate = static_cast<int>(get_u32(b, at + 12));
      w.byte_rate = get_u32(b, at + 16);
      w.block_align = get_u16(b, at + 20);
      w.bits = get_u16(b, at + 22);
      if (size >= 40 && at + 8 + 40 <= b.size()) {
        w.valid_bits = get_u16(b, at + 26);
        w.channel_mask = get_u32(b, at + 28);
        w.sub_format = b[at + 32];
      }
    } else if (!std::memcmp(&b[at], "data", 4)) {
      w.data_offset = at + 8;
      w.data_size = size;
      w.data.assign(b.begin() + static_cast<long>(at + 8), b.end());
      // The pad byte after sample data of odd length is not a sample.
      if ((size & 1) && w.data.size() == static_cast<size_t>(size) + 1) w.data.pop_back();
      w.valid = have_fmt;
      return w;
    }
    at += 8 + size + (size & 1);
  }
  return w;
}

WavFile load_wav(const std::string& path) { return parse_wav(read_file(path)); }
