// The input-file record: one per accepted input, holding everything the
// program learns about the file (container facts from the WAV header, stream
// facts from the decoders, sniffer findings, channel labels).
#pragma once
#include <cstdint>

// What an input holds; kinds 4 and 5 are the AC-3 family, 1 to 3 the DTS family.
enum FileKind : int32_t {
  KIND_PCM_WAV = 0,  // PCM or IEEE-float WAV
  KIND_DTS_WAV = 1,  // DTS carried in a 16-bit stereo WAV (dtswav)
  KIND_DTS = 2,      // ".dts" stream
  KIND_CPT = 3,      // ".cpt" stream
  KIND_AC3 = 4,      // ".ac3" stream
  KIND_AC3_WAV = 5   // AC-3 carried in a 16-bit stereo WAV (ddwav)
};

inline bool is_ac3_family(int32_t kind) { return kind == KIND_AC3 || kind == KIND_AC3_WAV; }
inline bool is_dts_family(int32_t kind) { return kind >= KIND_DTS_WAV && kind <= KIND_CPT; }
inline bool is_compressed(int32_t kind) { return kind >= KIND_DTS_WAV && kind <= KIND_AC3_WAV; }

constexpr int32_t MAX_WAV_CHANNELS = 18;
constexpr int32_t PATH_CAPACITY = 256;   // path and display name buffers
constexpr int32_t LABEL_CAPACITY = 4;    // one speaker label: 3 characters and the terminator

struct InputFile {
  char path[PATH_CAPACITY];          // the name as written in the input list
  char display_name[PATH_CAPACITY];  // the name without its directory
  char** channel_names;              // one LABEL_CAPACITY-byte label per channel slot
  int32_t channel_slots;             // number of slots allocated in channel_names
  int32_t kind;                      // FileKind
  int32_t channels;
  int32_t bits;
  int32_t is_float;
  int32_t sample_rate;
  uint32_t channel_mask;             // speaker mask of an extensible header, 0 when none
  uint64_t file_size;
  double length_seconds;
  char length_text[24];              // "h:mm:ss.fff", hours in as many digits as they take
  int32_t data_offset;               // file offset of the first sample byte
  int32_t fmt_size;
  uint32_t frame_count;              // sample frames (compressed: samples per channel)
  uint64_t data_size;                // bytes of sample data
  int32_t stream_flags;              // decoder channel-configuration flags
  double bit_rate;                   // bits per second
  int32_t frame_size;                // bytes of the last frame the sync test accepted
  int32_t burst_spacing;             // bytes from one sync word to the next
  int32_t burst_count;               // bursts or frames in the stream
  int32_t sync_offset;               // file offset of the first sync word
  int32_t has_lfe;
  int32_t out_flags;                 // arrangement code (DTS AMODE numbering)
  int32_t amode;                     // arrangement of a DTS channel extension
  int32_t ext_audio;                 // DTS: extension present; AC-3: Surround EX mode
  int32_t ext_audio_id;              // DTS extension audio type
  int32_t word_bits;                 // 14 or 16: word size of a DTS stream in a WAV
};

// Resets the fields that describing a file fills; path, display name, kind,
// file size and burst spacing are kept.
void init_input_file(InputFile* file);

// Allocates `count` empty label slots (releasing any previous ones).
// Returns 0, or 1 when memory ran out.
int alloc_channel_names(InputFile* file, int32_t count);
// Releases the label slots and empties the table.
void free_channel_names(InputFile* file);
