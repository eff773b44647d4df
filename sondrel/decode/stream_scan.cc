// The stream scan: decoder creation, first-frame facts, layout, frame totals,
// playing time, the measuring count of /im and the DTS extension probe.
#include "decode/stream_scan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "decode/decoder_slots.h"
#include "decode/dts_decoder.h"
#include "decode/frame_gatherer.h"
#include "decode/frame_sync.h"
#include "decode/stream_layout.h"
#include "report/halt.h"
#include "report/progress.h"

namespace {

// Where the frame the collect scan decoded ends in the file; the extension
// probe of a raw DTS stream searches up to there.
int64_t decoded_frame_end = 0;

constexpr int64_t kProbeLimit = 1 << 20;  // bytes the extension probe reads at most

// Whether the collect scan decoded a frame, and whether it met E-AC-3
// frames (which the AC-3 sync test refuses).
bool frame_decoded = false;
bool eac3_seen = false;

// Notes an E-AC-3 frame start in the header bytes when the next E-AC-3
// frame follows it (or it ends the file), so random bytes are not taken for one.
void note_eac3(FILE* stream, const FrameGatherer* g) {
  const int32_t length = ac3_eac3_frame_length(g->frame);
  if (length == 0) return;
  uint8_t next[AC3_HEADER_BYTES];
  if (peek_bytes(stream, g->stream_pos + length, next, AC3_HEADER_BYTES) < AC3_HEADER_BYTES ||
      ac3_eac3_frame_length(next) > 0)
    eac3_seen = true;
}

// The message for a file in which no frame decoded; the file is skipped.
void report_undecodable(const InputFile* file) {
  if (eac3_seen)
    std::fprintf(stderr, "Error: E-AC-3 (Dolby Digital Plus) is not supported! [%s]\n",
                 file->path);
  else if (is_ac3_family(file->kind))
    std::fprintf(stderr, "Error: File is corrupt, or is not a dolby digital file! [%s]\n",
                 file->path);
  else
    std::fprintf(stderr, "Error: File is corrupt, or is not a DTS file! [%s]\n", file->path);
}

// Collect mode on a complete frame: 1 when it decoded (the scan is done).
int collect_frame(InputFile* file, FrameGatherer* g, JobSettings* settings) {
  double level = 1.0, bias = 0.0;
  if (decoder_slots.hook->setup(decoder_slots.hook, file, &level, &bias)) return 0;
  if (is_ac3_family(file->kind)) {
    if (ac3_frame_setup(decoder_slots.ac3, g->frame, file, &level, bias, FRAME_MODE_COLLECT))
      return 0;
    file->frame_count = AC3_SAMPLES_PER_FRAME;
  } else {
    if (dts_frame_setup(decoder_slots.dts, g->frame, file, &level, bias)) return 0;
    settings->blocks_per_frame = dts_frame_blocks(decoder_slots.dts);
    file->frame_count = static_cast<uint32_t>(settings->blocks_per_frame) * BLOCK_SAMPLES;
  }
  decoded_frame_end = g->stream_pos + g->target;
  frame_decoded = true;
  return 1;
}

int64_t find_pattern(const uint8_t* bytes, int64_t size, const uint8_t* pattern) {
  for (int64_t i = 0; i + 4 <= size; ++i)
    if (std::memcmp(bytes + i, pattern, 4) == 0) return i;
  return -1;
}

void set_progress_for_count(JobSettings* settings) {
  settings->progress.eta_countdown = 100000;
  settings->progress.tick_limit = 800;
}

}  // namespace

void make_length_text(double seconds, char* text, int32_t size) {
  // Split whole milliseconds, so that a time just short of a minute is printed
  // as the next minute ("0:01:00.000") rather than as second 60.
  const int64_t ms = seconds > 0.0 ? static_cast<int64_t>(seconds * 1000.0 + 0.5) : 0;
  const int64_t h = ms / 3600000;
  const int64_t m = ms / 60000 % 60;
  const int64_t s = ms / 1000 % 60;
  char whole[48];
  std::snprintf(whole, sizeof whole, "%01lld:%02lld:%02lld.%03lld", static_cast<long long>(h),
                static_cast<long long>(m), static_cast<long long>(s),
                static_cast<long long>(ms % 1000));
  if (size < 1) return;
  const size_t n = std::min(std::strlen(whole), static_cast<size_t>(size) - 1);
  std::memcpy(text, whole, n);
  text[n] = '\0';
}

int stream_read_loop(FILE* stream, InputFile* file, int32_t mode, JobSettings* settings) {
  FrameGatherer* g = static_cast<FrameGatherer*>(std::malloc(sizeof(FrameGatherer)));
  if (!g) return 0;
  const bool ac3 = is_ac3_family(file->kind);
  FrameTrack track;
  track_start(&track);
  settings->frames_done = 0;
  settings->start_time = now_seconds();
  gather_start(g, ac3 ? AC3_HEADER_BYTES : DTS_HEADER_BYTES, file->sync_offset);
  std::fseek(stream, file->sync_offset, SEEK_SET);
  arm_ctrl_c();
  int result = 0;
  for (bool done = false; !done;) {
    if (halt_flag) {
      std::fprintf(stderr, "%66s", "");
      result = -1;
      break;
    }
    const int32_t n = gather_read(g, stream);
    if (settings->frames_done == 0) family_reset_latch(file);
    if (n == 0) {
      if (mode == SCAN_COUNT && settings->frames_done > 0) file->burst_spacing = g->last_spacing;
      break;
    }
    for (;;) {
      const GatherEvent event = gather_next(g);
      if (event == GATHER_EMPTY) break;
      if (event == GATHER_HEADER) {
        int32_t blocks = 0;
        const int32_t length = family_sync_test(file, g->frame, mode, &blocks);
        if (length == 0 || !accept_frame(stream, file, &track, g->stream_pos, length, blocks)) {
          if (length == 0 && ac3 && mode == SCAN_COLLECT && !eac3_seen) note_eac3(stream, g);
          gather_slide(g);
          continue;
        }
        file->frame_size = length;
        settings->frames_done += 1;
        gather_accept(g, length);
        continue;
      }
      if (mode == SCAN_COLLECT) {
        if (collect_frame(file, g, settings)) {
          done = true;
          break;
        }
      } else {
        if (!ac3)
          file->frame_count += static_cast<uint32_t>(settings->blocks_per_frame) * BLOCK_SAMPLES;
        if (!settings->no_progress)
          progress_tick(settings->frames_done, file->burst_count, settings);
      }
      gather_restart(g);
    }
  }
  std::free(g);
  return result;
}

void probe_dts_extension(FILE* stream, InputFile* file) {
  if (file->ext_audio_id == 1 || file->ext_audio_id == 2) return;
  const int32_t packing = decoder_slots.dts ? dts_latch(decoder_slots.dts) : PACKING_ANY;
  const bool little =
      file->kind == KIND_DTS_WAV || packing == DTS_PACK_16_LE || packing == DTS_PACK_14_LE;
  int64_t start = file->kind == KIND_DTS_WAV ? int64_t{file->sync_offset} + 4 : 0;
  int64_t end = file->burst_spacing > 0 ? int64_t{file->sync_offset} + file->burst_spacing
                                        : decoded_frame_end;
  if (end > static_cast<int64_t>(file->file_size)) end = static_cast<int64_t>(file->file_size);
  if (end - start > kProbeLimit) end = start + kProbeLimit;
  if (end <= start) return;
  uint8_t* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(end - start)));
  if (!bytes) return;
  std::fseek(stream, start, SEEK_SET);
  const int64_t size =
      static_cast<int64_t>(std::fread(bytes, 1, static_cast<size_t>(end - start), stream));
  static const uint8_t k14Little[4] = {0x96, 0x16, 0xA5, 0xE5};
  static const uint8_t k14Big[4] = {0x16, 0x96, 0xE5, 0xA5};
  static const uint8_t k16[4] = {0x5A, 0x5A, 0x5A, 0x5A};
  int64_t m = -1;
  bool fourteen = false;
  if (file->word_bits == 14) {
    m = find_pattern(bytes, size, little ? k14Little : k14Big);
    fourteen = m >= 0;
  }
  if (file->word_bits == 14 || file->word_bits == 16) {
    if (m < 0) m = find_pattern(bytes, size, k16);
  } else {
    m = 0;
  }
  // The extension header after its sync word: 10 bits of size, 4 of arrangement.
  if (m >= 0 && fourteen && m + 8 <= size) {
    file->amode = static_cast<int32_t>(((dts_word(bytes + m + 6, little) & 0x3FFF) >> 10) & 15);
  } else if (m >= 0 && !fourteen && m + 6 <= size) {
    file->amode = static_cast<int32_t>((dts_word(bytes + m + 4, little) >> 2) & 15);
  }
  std::free(bytes);
}

int open_stream_decoder(FILE* stream, InputFile* file, JobSettings* settings, int32_t mode) {
  if (file->kind == KIND_PCM_WAV) {
    file->length_seconds =
        file->bit_rate > 0.0 ? static_cast<double>(file->data_size) * 8.0 / file->bit_rate : 0.0;
    make_length_text(file->length_seconds, file->length_text, sizeof file->length_text);
    return 0;
  }
  const bool ac3 = is_ac3_family(file->kind);
  if (!slot_new_hook(file->kind)) {
    std::fputs("Can not open output\n", stderr);
    return 0;
  }
  if (ac3 ? !slot_new_ac3() : !slot_new_dts()) {
    std::fputs(ac3 ? "Error: A52 init failed\n" : "Error: DTS init failed.\n", stderr);
    return 1;
  }
  settings->frames_done = 0;
  file->frame_count = 0;
  decoded_frame_end = 0;
  frame_decoded = false;
  eac3_seen = false;
  stream_read_loop(stream, file, SCAN_COLLECT, settings);
  if (frame_decoded && ac3) {
    derive_ac3_layout(file);
  } else if (frame_decoded) {
    derive_dts_layout(file);
    file->out_flags = flags_without_lfe(file->kind, file->stream_flags);
    if (file->ext_audio == 1) probe_dts_extension(stream, file);
  }
  if (!frame_decoded || file->channels < 1) {
    // No decodable frame (or an AC-3 mode without a channel count): the
    // job driver skips the file.
    file->channels = -1;
    file->frame_count = 0;
    report_undecodable(file);
    return 0;
  }
  const bool raw = file->kind == KIND_AC3 || file->kind == KIND_DTS || file->kind == KIND_CPT;
  if (ac3 || file->kind == KIND_DTS_WAV) {
    file->bits = 16;
  } else {
    file->bits = file->bits < 17 ? 16 : (file->bits < 21 ? 20 : 24);
  }
  if (raw) {
    file->burst_count =
        file->frame_size > 0
            ? static_cast<int32_t>(file->file_size / static_cast<uint64_t>(file->frame_size))
            : 0;
  }
  file->is_float = 0;
  if (mode == SCAN_COUNT) {
    // The label holds 47 characters; a longer name is cut.
    std::snprintf(settings->status_label, sizeof settings->status_label, "Scanning file: %.*s ",
                  STATUS_CAPACITY - 17, file->display_name);
    settings->frames_done = 0;
    file->frame_count = 0;
    set_progress_for_count(settings);
    if (stream_read_loop(stream, file, SCAN_COUNT, settings) == -1) return 1;
    file->burst_count = static_cast<int32_t>(settings->frames_done);
    if (ac3) file->frame_count = settings->frames_done * AC3_SAMPLES_PER_FRAME;
  } else {
    file->frame_count = static_cast<uint32_t>(file->burst_count) * file->frame_count;
  }
  file->length_seconds =
      file->sample_rate > 0 ? static_cast<double>(file->frame_count) / file->sample_rate : 0.0;
  make_length_text(file->length_seconds, file->length_text, sizeof file->length_text);
  return 0;
}
