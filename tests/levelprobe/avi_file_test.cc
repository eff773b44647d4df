// The media file layer against hand-built files: the bytes a stream delivers
// whatever the chunk layout and index, the stream and format records, and
// damaged files refused at the step that meets the damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "avi_builder.h"
#include "platform/avi_file.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

// An opened file and its first stream of `type`, released at the end.
struct Opened {
  AviFile* file = nullptr;
  AviStream* stream = nullptr;
  int open_status = -1;
  int stream_status = -1;
  Opened(const std::string& path, uint32_t type = kStreamTypeAudio, int32_t index = 0) {
    open_status = avi_file_open(&file, path.c_str(), kOfShareDenyWrite);
    if (open_status == 0) stream_status = avi_file_get_stream(file, &stream, type, index);
  }
  ~Opened() {
    avi_stream_release(stream);
    avi_file_release(file);
  }
};

std::string save(const TempDir& dir, const std::string& name, const Bytes& bytes) {
  std::string path = dir.file(name);
  write_file(path, bytes);
  return path;
}

int32_t stream_length(AviStream* stream) {
  AviStreamInfo info{};
  EXPECT_EQ(avi_stream_info(stream, &info, sizeof info), 0);
  return static_cast<int32_t>(info.dwLength);
}

// Reads the stream from `start` to its end in reads of `buffer_bytes`; stops
// at the first failing read, whose status goes to *status (0: none failed).
Bytes read_through(AviStream* stream, int32_t start, int32_t length, int32_t buffer_bytes,
                   int* status) {
  Bytes all, buffer(static_cast<size_t>(buffer_bytes));
  *status = 0;
  for (int32_t pos = start; pos < length;) {
    int32_t bytes = 0, samples = 0;
    *status = avi_stream_read(stream, pos, kAviStreamReadConvenient, buffer.data(), buffer_bytes,
                              &bytes, &samples);
    if (*status != 0) break;
    EXPECT_GT(samples, 0);
    EXPECT_LE(samples, length - pos);
    EXPECT_LE(bytes, buffer_bytes);
    all.insert(all.end(), buffer.begin(), buffer.begin() + bytes);
    pos += samples;
  }
  return all;
}

// Distinct stereo 16-bit frames: every byte position of the data differs
// from its neighbours, so a misplaced chunk shows.
Bytes stereo_ramp(int frames) {
  std::vector<int64_t> values;
  for (int i = 0; i < frames; ++i) {
    values.push_back(static_cast<int16_t>(i * 7 + 1));
    values.push_back(static_cast<int16_t>(-i * 13 - 5));
  }
  return pack_int_samples(values, 16);
}

// The stream bytes cut into chunks of varied sizes (odd ones, ones that split
// a frame, tiny runs), with video and JUNK chunks between some of them.
std::vector<AviBuildChunk> cut_into_chunks(const Bytes& data, int audio_stream, bool with_video) {
  const size_t sizes[] = {6, 10, 4001, 2, 1, 3, 300, 4, 4, 4, 1, 1, 2, 555};
  std::vector<AviBuildChunk> chunks;
  size_t at = 0;
  for (int k = 0; at < data.size(); ++k) {
    size_t n = std::min(sizes[k % 14], data.size() - at);
    if (k > 40 && k < 700) n = std::min<size_t>(k % 5 + 1, data.size() - at);  // many tiny chunks
    chunks.push_back({audio_stream, Bytes(data.begin() + at, data.begin() + at + n)});
    at += n;
    if (with_video && k % 9 == 2) chunks.push_back({0, Bytes(k % 2 ? 5000 : 100, 0x55)});
    if (k % 17 == 5) chunks.push_back({-1, Bytes(33, 0)});
  }
  return chunks;
}

TEST(AviFileRead, DeliversTheStreamBytesWhateverTheLayoutAndIndex) {
  TempDir dir;
  const int frames = 3000;
  Bytes data = stereo_ramp(frames);
  struct Variant {
    const char* name;
    AviIndexKind index;
    bool rec_lists;
    bool video;
  };
  const Variant variants[] = {
      {"idx1", AviIndexKind::kIdx1Relative, false, false},
      {"idx1_absolute", AviIndexKind::kIdx1Absolute, false, true},
      {"idx1_rec", AviIndexKind::kIdx1Relative, true, true},
      {"scan", AviIndexKind::kNone, false, true},
      {"scan_rec", AviIndexKind::kNone, true, false},
      {"opendml", AviIndexKind::kOpenDml, false, true},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    AviPlan plan;
    if (v.video) plan.streams.push_back(video_stream());
    int audio = v.video ? 1 : 0;
    plan.streams.push_back(pcm_stream(2, 8000, 16, frames));
    plan.chunks = cut_into_chunks(data, audio, v.video);
    if (v.index == AviIndexKind::kOpenDml)
      plan.part_starts = {plan.chunks.size() / 3, plan.chunks.size() * 2 / 3};
    plan.index = v.index;
    plan.rec_lists = v.rec_lists;
    Opened opened(save(dir, std::string(v.name) + ".avi", make_avi(plan).file));
    ASSERT_EQ(opened.open_status, 0);
    ASSERT_EQ(opened.stream_status, 0);
    ASSERT_EQ(stream_length(opened.stream), frames);

    int status = 0;
    for (int32_t buffer_bytes : {96000, 4, 7, 52, 4096}) {
      EXPECT_EQ(read_through(opened.stream, 0, frames, buffer_bytes, &status), data) << buffer_bytes;
      EXPECT_EQ(status, 0);
    }
    // Reads of chosen sizes from chosen positions.
    std::mt19937 rng(7);
    Bytes buffer(4000);
    for (int k = 0; k < 200; ++k) {
      int32_t start = static_cast<int32_t>(rng() % frames);
      int32_t count = static_cast<int32_t>(rng() % 900 + 1);
      int32_t bytes = 0, samples = 0;
      ASSERT_EQ(avi_stream_read(opened.stream, start, count, buffer.data(), 4000, &bytes, &samples), 0);
      int32_t expect = std::min({count, frames - start, 1000});
      ASSERT_EQ(samples, expect);
      ASSERT_EQ(bytes, expect * 4);
      ASSERT_TRUE(std::equal(buffer.begin(), buffer.begin() + bytes, data.begin() + start * 4));
    }
  }
}

// The legacy index lists only the first part; the data of the AVIX part
// must be found all the same.
TEST(AviFileRead, OpenDmlReadsEveryPart) {
  TempDir dir;
  Bytes data = stereo_ramp(1000);
  AviPlan plan;
  plan.streams.push_back(pcm_stream(2, 8000, 16, 1000));
  plan.chunks = {{0, Bytes(data.begin(), data.begin() + 1600)}, {0, Bytes(data.begin() + 1600, data.end())}};
  plan.index = AviIndexKind::kOpenDml;
  plan.part_starts = {1};
  AviBuilt built = make_avi(plan);
  ASSERT_NE(built.idx1_entries, 0u);  // the first part has its legacy index
  Opened opened(save(dir, "odml.avi", built.file));
  ASSERT_EQ(opened.stream_status, 0);
  EXPECT_EQ(stream_length(opened.stream), 1000);
  int status = 0;
  EXPECT_EQ(read_through(opened.stream, 0, 1000, 96000, &status), data);
}

TEST(AviFileRecords, StreamLookupInfoAndStoredFormat) {
  TempDir dir;
  AviPlan plan;
  plan.streams.push_back(video_stream());
  AviBuildStream extensible = pcm_stream(2, 8000, 16, 10);
  extensible.format = pcm_format(2, 8000, 16, true);
  plan.streams.push_back(extensible);
  plan.streams.push_back(pcm_stream(1, 8000, 24, 10));
  plan.chunks = {{0, Bytes(64, 1)}, {1, Bytes(40, 2)}, {2, Bytes(30, 3)}};
  std::string path = save(dir, "three.avi", make_avi(plan).file);

  {
    Opened first(path);  // the first audio stream is the file's second stream
    ASSERT_EQ(first.stream_status, 0);
    AviStreamInfo info{};
    ASSERT_EQ(avi_stream_info(first.stream, &info, sizeof info), 0);
    EXPECT_EQ(info.fccType, kStreamTypeAudio);
    EXPECT_EQ(info.dwLength, 10u);
    EXPECT_EQ(info.dwSampleSize, 4u);
    WaveFormatEx format{};
    int32_t size = sizeof format;
    ASSERT_EQ(avi_stream_read_format(first.stream, 0, &format, &size), 0);
    EXPECT_EQ(size, 40);  // the stored record's size; 18 bytes were copied
    EXPECT_EQ(format.wFormatTag, kWaveFormatExtensible);
    EXPECT_EQ(format.cbSize, 22);
    EXPECT_NE(avi_stream_read_format(first.stream, 5, &format, &size), 0);
  }
  {
    Opened second(path, kStreamTypeAudio, 1);
    ASSERT_EQ(second.stream_status, 0);
    EXPECT_EQ(stream_length(second.stream), 10);  // 30 bytes of 24-bit mono
    WaveFormatEx format{};
    int32_t size = sizeof format;
    ASSERT_EQ(avi_stream_read_format(second.stream, 0, &format, &size), 0);
    EXPECT_EQ(size, 16);
    EXPECT_EQ(format.wBitsPerSample, 24);
    EXPECT_EQ(format.cbSize, 0);  // not in the stored record: left as it was
  }
  EXPECT_EQ(Opened(path, kStreamTypeAudio, 2).stream_status, kAviErrNoStream);
  {
    Opened video(path, kStreamTypeVideo, 0);
    ASSERT_EQ(video.stream_status, 0);
    Bytes buffer(100);
    int32_t samples = 0;
    EXPECT_NE(avi_stream_read(video.stream, 0, -1, buffer.data(), 100, nullptr, &samples), 0);
  }

  // A WAV is one audio stream; its chunks before 'data' are passed over.
  WavLayout wav;
  wav.channels = 3;
  wav.bits = 16;
  wav.list_chunk = Bytes(13, 'x');
  std::string wav_path = save(dir, "three.wav", make_wav(wav, Bytes(6 * 50, 0)));
  Opened opened(wav_path);
  ASSERT_EQ(opened.stream_status, 0);
  EXPECT_EQ(stream_length(opened.stream), 50);
  EXPECT_EQ(Opened(wav_path, kStreamTypeAudio, 1).stream_status, kAviErrNoStream);
  EXPECT_EQ(Opened(wav_path, kStreamTypeVideo, 0).stream_status, kAviErrNoStream);

  // An old 14-byte PCM record has no sample size: the block size counts,
  // and the record reads back without one.
  AviPlan old_style;
  old_style.streams.push_back(pcm_stream(2, 8000, 16, 0));
  old_style.streams[0].format.resize(14);
  old_style.chunks = {{0, Bytes(40, 9)}};
  Opened short_record(save(dir, "short_record.avi", make_avi(old_style).file));
  ASSERT_EQ(short_record.stream_status, 0);
  EXPECT_EQ(stream_length(short_record.stream), 10);
  WaveFormatEx format{};
  int32_t size = sizeof format;
  ASSERT_EQ(avi_stream_read_format(short_record.stream, 0, &format, &size), 0);
  EXPECT_EQ(size, 14);
  EXPECT_EQ(format.wBitsPerSample, 0);
}

TEST(AviFileRead, LengthsAndReadArguments) {
  TempDir dir;
  // A stream header that claims more frames than the data holds: the
  // length is the claim, and the reads fail where the data ends.
  AviPlan plan;
  plan.streams.push_back(pcm_stream(2, 8000, 16, 500));
  Bytes data = stereo_ramp(300);
  plan.chunks = {{0, data}};
  Opened claimed(save(dir, "claim.avi", make_avi(plan).file));
  ASSERT_EQ(stream_length(claimed.stream), 500);
  int status = 0;
  EXPECT_EQ(read_through(claimed.stream, 0, 500, 96000, &status), data);
  EXPECT_EQ(status, kAviErrRead);

  // A stream header that claims fewer: the data counts.
  plan.streams[0].length = 100;
  Opened shorter(save(dir, "short.avi", make_avi(plan).file));
  EXPECT_EQ(stream_length(shorter.stream), 300);

  // More frames than a signed 32-bit count holds.
  WavLayout wav;
  wav.bits = 8;
  wav.declared_data_size = 0xFFFFFFF0;
  Opened huge(save(dir, "huge.wav", make_wav(wav, Bytes(100, 128))));
  ASSERT_EQ(huge.stream_status, 0);
  AviStreamInfo info{};
  EXPECT_EQ(avi_stream_info(huge.stream, &info, sizeof info), kAviErrTooLong);

  Bytes buffer(96000);
  int32_t bytes = -1, samples = -1;
  AviStream* s = shorter.stream;
  EXPECT_EQ(avi_stream_read(s, 300, -1, buffer.data(), 96000, &bytes, &samples), kAviErrArgument);
  EXPECT_EQ(samples, 0);
  EXPECT_EQ(avi_stream_read(s, -1, -1, buffer.data(), 96000, &bytes, &samples), kAviErrArgument);
  EXPECT_EQ(avi_stream_read(s, 0, -1, buffer.data(), 3, &bytes, &samples), kAviErrArgument);
  EXPECT_EQ(avi_stream_read(s, 0, -2, buffer.data(), 96000, &bytes, &samples), kAviErrArgument);
  EXPECT_EQ(avi_stream_read(s, 0, -1, nullptr, 96000, &bytes, &samples), kAviErrArgument);
  EXPECT_EQ(avi_stream_read(s, 299, -1, buffer.data(), 96000, &bytes, &samples), 0);
  EXPECT_EQ(samples, 1);
  EXPECT_EQ(bytes, 4);
}

// Chunks of one size whose stride equals the 'movi' list's offset: counted
// from the wrong base, the first index entry still lands on a chunk with the
// same id and size, so only the last entry tells the two bases apart.
TEST(AviFileRead, LegacyIndexBaseWhenMoviOffsetEqualsTheChunkStride) {
  TempDir dir;
  AviPlan probe_plan;
  probe_plan.streams.push_back(pcm_stream(2, 8000, 16, 0));
  probe_plan.chunks = {{0, Bytes(8, 0)}};
  const size_t movi = make_avi(probe_plan).chunk_data[0] - 12;  // the list type's offset
  ASSERT_EQ(movi % 4, 0u);
  const size_t chunk_bytes = movi - 8;  // header and payload make the stride
  const int frames = static_cast<int>(chunk_bytes / 4 * 5);
  Bytes data = stereo_ramp(frames);
  for (AviIndexKind kind : {AviIndexKind::kIdx1Absolute, AviIndexKind::kIdx1Relative}) {
    AviPlan plan;
    plan.streams.push_back(pcm_stream(2, 8000, 16, 0));
    for (size_t at = 0; at < data.size(); at += chunk_bytes)
      plan.chunks.push_back({0, Bytes(data.begin() + at, data.begin() + at + chunk_bytes)});
    plan.index = kind;
    AviBuilt built = make_avi(plan);
    ASSERT_EQ(built.chunk_data[0] - 12, movi);
    ASSERT_EQ(built.chunk_data[1] - built.chunk_data[0], movi);
    Opened opened(save(dir, "stride.avi", built.file));
    ASSERT_EQ(opened.stream_status, 0) << static_cast<int>(kind);
    ASSERT_EQ(stream_length(opened.stream), frames);
    int status = 0;
    EXPECT_EQ(read_through(opened.stream, 0, frames, 96000, &status), data);
    EXPECT_EQ(status, 0);
  }
}

// WAV sizes that were never filled in: 0xFFFFFFFF (a writer on a pipe) or 0
// with audio after it mean the data runs to the end of the file, whole
// frames only; an empty 'data' chunk followed by metadata stays empty.
TEST(AviFileRead, UnfinishedWavSizesReachTheEndOfTheFile) {
  TempDir dir;
  Bytes data = stereo_ramp(3001);
  Bytes with_stray_byte = data;
  with_stray_byte.push_back(0x7F);
  for (int64_t declared : {INT64_C(0xFFFFFFFF), INT64_C(0)}) {
    WavLayout layout;
    layout.channels = 2;
    layout.declared_data_size = declared;
    layout.list_chunk = Bytes(7, 'i');
    Bytes file = make_wav(layout, with_stray_byte);
    put_u32(file, 4, static_cast<uint32_t>(declared));  // the RIFF size is just as unknown
    Opened opened(save(dir, "unfinished.wav", file));
    ASSERT_EQ(opened.stream_status, 0) << declared;
    ASSERT_EQ(stream_length(opened.stream), 3001) << declared;
    int status = 0;
    EXPECT_EQ(read_through(opened.stream, 0, 3001, 96000, &status), data) << declared;
    EXPECT_EQ(status, 0);
  }
  // Declared empty, then a trailing chunk: no audio.
  WavLayout trailer;
  trailer.declared_data_size = 0;
  trailer.trailing_chunk = Bytes(30, 'm');
  Opened empty(save(dir, "trailer.wav", make_wav(trailer, Bytes())));
  ASSERT_EQ(empty.stream_status, 0);
  EXPECT_EQ(stream_length(empty.stream), 0);
}

// A good file with one thing broken; each must be refused by the open.
TEST(AviFileOpen, RefusesDamagedStructures) {
  TempDir dir;
  AviPlan plan;
  plan.streams.push_back(pcm_stream(2, 8000, 16, 300));
  Bytes data = stereo_ramp(300);
  plan.chunks = {{0, Bytes(data.begin(), data.begin() + 400)}, {0, Bytes(data.begin() + 400, data.end())}};
  AviBuilt legacy = make_avi(plan);
  plan.index = AviIndexKind::kOpenDml;
  plan.part_starts = {1};
  AviBuilt odml = make_avi(plan);
  ASSERT_EQ(Opened(save(dir, "good.avi", legacy.file)).stream_status, 0);
  ASSERT_EQ(Opened(save(dir, "good_odml.avi", odml.file)).stream_status, 0);

  std::vector<std::pair<std::string, Bytes>> cases;
  auto patched = [&](const char* name, const AviBuilt& base, size_t at, uint32_t value) {
    Bytes b = base.file;
    put_u32(b, at, value);
    cases.emplace_back(name, b);
  };
  // idx1 entry: id, flags, offset, size
  patched("idx1_offset_outside", legacy, legacy.idx1_entries + 16 + 8, 0x00100000);
  patched("idx1_size_outside", legacy, legacy.idx1_entries + 16 + 12, 0x7FFFFFFF);
  patched("idx1_points_at_nothing", legacy, legacy.idx1_entries + 8, 3);
  // ix## chunk: header 8, then longs/type 4, count 4, id 4, base 8, reserved 4, entries
  size_t ix = odml.ix_chunks[1] + 8;
  patched("ix_entry_outside", odml, ix + 24, 0x00200000);
  patched("ix_base_outside", odml, ix + 12, 0x7FFFFFF0);
  patched("ix_count_past_chunk", odml, ix + 4, 1000);
  patched("ix_wrong_type", odml, ix, 0x00000002);  // an index of indexes where chunks are due
  // super index: header 24, then entries of offset 8, size 4, duration 4
  patched("super_points_past_file", odml, odml.super_index + 24, 0x00FFFFFF);
  patched("super_points_at_data", odml, odml.super_index + 24, static_cast<uint32_t>(odml.chunk_data[0] - 8));
  patched("super_count_past_chunk", odml, odml.super_index + 4, 50);
  patched("strh_renamed", legacy, legacy.strh - 8, 0x78787878);
  patched("strh_too_short", legacy, legacy.strh - 4, 20);
  patched("riff_form", legacy, 8, 0x20202020);
  {
    AviPlan no_channels = plan;
    no_channels.index = AviIndexKind::kIdx1Relative;
    no_channels.part_starts.clear();
    no_channels.streams[0].format = pcm_format(0, 8000, 16);
    cases.emplace_back("pcm_without_channels", make_avi(no_channels).file);
    no_channels.streams[0].format = Bytes(10, 1);
    cases.emplace_back("format_too_short", make_avi(no_channels).file);
    no_channels.streams.clear();
    no_channels.chunks.clear();
    cases.emplace_back("no_streams", make_avi(no_channels).file);
  }
  // WAV files: 'data' before 'fmt ', no 'data', a chunk running past the end.
  Bytes wav = make_wav(WavLayout{}, Bytes(100, 1));
  Bytes data_first(wav.size());
  std::copy(wav.begin(), wav.begin() + 12, data_first.begin());
  std::copy(wav.begin() + 36, wav.end(), data_first.begin() + 12);
  std::copy(wav.begin() + 12, wav.begin() + 36, data_first.end() - 24);
  cases.emplace_back("wav_data_before_fmt", data_first);
  cases.emplace_back("wav_without_data", Bytes(wav.begin(), wav.begin() + 36));
  WavLayout listed;
  listed.list_chunk = Bytes(10, 'i');
  Bytes list_past = make_wav(listed, Bytes(100, 1));
  put_u32(list_past, 40, 5000);
  cases.emplace_back("wav_list_past_end", list_past);
  Bytes fmt_short = wav;
  put_u32(fmt_short, 16, 12);
  cases.emplace_back("wav_fmt_too_short", fmt_short);
  cases.emplace_back("empty_file", Bytes());
  cases.emplace_back("riff_only", Bytes(wav.begin(), wav.begin() + 12));

  for (const auto& c : cases) {
    AviFile* file = reinterpret_cast<AviFile*>(&dir);  // must be reset on failure
    int status = avi_file_open(&file, save(dir, c.first, c.second).c_str(), kOfShareDenyWrite);
    EXPECT_NE(status, 0) << c.first;
    if (status == 0) {
      avi_file_release(file);
    } else {
      EXPECT_EQ(file, nullptr) << c.first;
    }
  }
  AviFile* file = nullptr;
  EXPECT_EQ(avi_file_open(&file, dir.path().c_str(), kOfShareDenyWrite), kAviErrFile);
  EXPECT_EQ(avi_file_open(&file, dir.file("missing.avi").c_str(), kOfShareDenyWrite), kAviErrFile);
}

// Every prefix of a good file: the open refuses it, or the stream delivers
// exactly the original's bytes up to where a read fails.
TEST(AviFileOpen, EveryTruncationReadsOnlyTrueDataOrFails) {
  TempDir dir;
  Bytes data = stereo_ramp(200);
  AviPlan plan;
  plan.streams.push_back(video_stream());
  plan.streams.push_back(pcm_stream(2, 8000, 16, 200));
  const size_t sizes[] = {6, 10, 30, 2, 1, 3, 50, 4};
  for (size_t at = 0, k = 0; at < data.size(); ++k) {
    size_t n = std::min(sizes[k % 8], data.size() - at);
    plan.chunks.push_back({1, Bytes(data.begin() + at, data.begin() + at + n)});
    at += n;
    if (k % 5 == 1) plan.chunks.push_back({0, Bytes(k % 2 ? 21 : 300, 0x55)});
    if (k % 7 == 3) plan.chunks.push_back({-1, Bytes(9, 0)});
  }
  const int32_t frames = static_cast<int32_t>(data.size() / 4);
  std::vector<Bytes> files = {make_avi(plan).file};
  plan.index = AviIndexKind::kOpenDml;
  plan.part_starts = {plan.chunks.size() / 3, plan.chunks.size() * 2 / 3};
  files.push_back(make_avi(plan).file);
  WavLayout stereo;
  stereo.channels = 2;
  files.push_back(make_wav(stereo, data));
  const Bytes& kept = data;

  for (size_t f = 0; f < files.size(); ++f) {
    const Bytes& whole = files[f];
    int opened_count = 0, complete = 0;
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
      // A new name each time: rewriting one file in place makes the file
      // system flush it on every close.
      std::string path = save(dir, "cut" + std::to_string(f) + "_" + std::to_string(cut),
                              Bytes(whole.begin(), whole.begin() + cut));
      Opened opened(path);
      std::remove(path.c_str());
      if (opened.stream_status != 0) continue;
      ++opened_count;
      AviStreamInfo info{};
      ASSERT_EQ(avi_stream_info(opened.stream, &info, sizeof info), 0);
      ASSERT_EQ(static_cast<int32_t>(info.dwLength), frames) << cut;
      int status = 0;
      Bytes got = read_through(opened.stream, 0, frames, 96000, &status);
      ASSERT_LE(got.size(), kept.size());
      ASSERT_TRUE(std::equal(got.begin(), got.end(), kept.begin())) << cut;
      if (status == 0) {
        ASSERT_EQ(got.size(), kept.size()) << cut;
        ++complete;
      }
    }
    // Cut files with their index at the end open, then fail in the reads;
    // the OpenDML file's chunk indexes close each part, so only whole parts open.
    if (f != 1) {
      EXPECT_GT(opened_count, complete);
    }
    EXPECT_GE(complete, 1);
  }
}

}  // namespace
