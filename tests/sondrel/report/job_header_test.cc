// The job header byte for byte, after the driver settled the job's layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frontend/job_layout.h"
#include "report/job_header.h"
#include "wav/input_file.h"
#include "wav/job_settings.h"
#include "wav/output_names.h"

namespace {

const std::string dashes = std::string(79, '-') + "\n";

InputFile record(const char* name, int32_t kind, int32_t channels, int32_t bits,
                 int32_t is_float, int32_t rate, std::vector<const char*> labels) {
  InputFile f;
  std::memset(&f, 0, sizeof f);
  std::snprintf(f.display_name, sizeof f.display_name, "%s", name);
  f.kind = kind;
  f.channels = channels;
  f.bits = bits;
  f.is_float = is_float;
  f.sample_rate = rate;
  f.fmt_size = kind == KIND_PCM_WAV ? 16 : 0;
  if (!labels.empty()) {
    EXPECT_EQ(alloc_channel_names(&f, static_cast<int32_t>(labels.size())), 0);
    for (size_t i = 0; i < labels.size(); ++i)
      std::snprintf(f.channel_names[i], LABEL_CAPACITY, "%s", labels[i]);
  }
  return f;
}

// A run's table and settings, prepared as the driver leaves them before the
// header: output_count -1 (or 0 when every channel is off), then the layout
// settled, the header printed, the names made and printed.
struct HeaderRun {
  std::vector<InputFile> files;
  JobSettings s;
  int result = -1;
  explicit HeaderRun(std::vector<InputFile> table) : files(std::move(table)) {
    init_job_settings(&s);
    s.file_count = static_cast<int32_t>(files.size());
    s.group_size = 1;
  }
  ~HeaderRun() {
    for (InputFile& f : files) free_channel_names(&f);
    free_out_names(&s);
  }
  void format(int32_t bits, int32_t is_float, int32_t rate) {
    s.out_bits = bits;
    s.out_float = is_float;
    s.out_rate = rate;
  }
  void select(std::vector<int32_t> channels) {
    s.selected_count = static_cast<int32_t>(channels.size());
    for (size_t i = 0; i < channels.size(); ++i) s.selected_channels[i] = channels[i];
  }
  std::string header(int32_t index, int32_t name_buffers, int32_t output_count = -1) {
    s.output_count = output_count;
    s.out_prefix[0] = '\0';
    testing::internal::CaptureStderr();
    settle_job_layout(files.data(), index, &s);
    print_job_header(files.data(), index, &s);
    result = 1;
    if (s.output_count == 0) {
      print_selection_cancelled();
    } else {
      EXPECT_EQ(s.output_count, name_buffers);
      EXPECT_EQ(alloc_out_names(&s, s.output_count), 0);
      if (make_output_names(files.data(), index, &s) == 0) {
        print_output_names(&s);
        result = 0;
      }
    }
    return testing::internal::GetCapturedStderr();
  }
};

std::vector<const char*> five_one() { return {"FL", "FR", "C", "LFE", "SL", "SR"}; }

InputFile ac3_51() {
  InputFile f = record("movie.ac3", KIND_AC3, 6, 0, 0, 48000, five_one());
  f.has_lfe = 1;
  f.bit_rate = 448000.0;
  f.out_flags = 9;
  return f;
}

}  // namespace

TEST(JobHeader, DecodedStreamOneFilePerChannel) {
  HeaderRun run({ac3_51()});
  run.format(32, 1, 48000);
  run.select({0, 1, 2, 3, 4, 5});
  EXPECT_EQ(run.header(0, 6),
            "Input filename: [movie.ac3] (Dolby Digital)\n"
            "Input  attribs: [5.1 ch, 16 bit, 48.0 kHz, bitrate 448 kbps]\n"
            "Output attribs: [PCM wav fmt, (6) x 1 ch, 32 bit flt, 48.0 kHz]\n"
            "Output file(s): movie-FL.wav\n"
            "                movie-FR.wav\n"
            "                movie-C.wav\n"
            "                movie-LFE.wav\n"
            "                movie-SL.wav\n"
            "                movie-SR.wav\n");
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(run.s.output_count, 6);
  EXPECT_EQ(run.s.extensible_header, 0);
  // The job reads a decoded stream as 32-bit float; the record keeps the
  // stream's own facts.
  EXPECT_EQ(run.s.in_bits, 32);
  EXPECT_EQ(run.s.in_float, 1);
  EXPECT_EQ(run.files[0].bits, 0);
}

TEST(JobHeader, DecodedStreamConversions) {
  HeaderRun both({ac3_51()});
  both.format(16, 0, 44100);
  both.select({2});
  EXPECT_EQ(both.header(0, 1),
            "Input filename: [movie.ac3] (Dolby Digital)\n"
            "Input  attribs: [5.1 ch, 16 bit, 48.0 kHz, bitrate 448 kbps]\n"
            "Output attribs: [PCM wav fmt, 1 ch, 16 bit, 44.1 kHz]\n"
            "Additional dsp: [bit depth: 32-bit flt -> 16-bit, resample: 48.0kHz -> 44.1kHz]\n"
            "Output file(s): movie(16-bit,44.1kHz)-C.wav\n");

  // 64-bit float output is no depth change for a decoded stream, but the
  // name still tells the format.
  HeaderRun wide({ac3_51()});
  wide.format(64, 1, 48000);
  wide.select({0});
  EXPECT_EQ(wide.header(0, 1),
            "Input filename: [movie.ac3] (Dolby Digital)\n"
            "Input  attribs: [5.1 ch, 16 bit, 48.0 kHz, bitrate 448 kbps]\n"
            "Output attribs: [PCM wav fmt, 1 ch, 64 bit flt, 48.0 kHz]\n"
            "Output file(s): movie(64-bit_flt,48.0kHz)-FL.wav\n");

  HeaderRun rate({ac3_51()});
  rate.format(32, 1, 96000);
  rate.select({0, 1});
  const std::string out = rate.header(0, 2);
  EXPECT_NE(out.find("Additional dsp: [resample: 48.0kHz -> 96.0kHz]\n"), std::string::npos);

  HeaderRun depth({ac3_51()});
  depth.format(24, 0, 48000);
  depth.select({0, 1});
  EXPECT_NE(depth.header(0, 2).find("Additional dsp: [bit depth: 32-bit flt -> 24-bit]\n"),
            std::string::npos);
}

TEST(JobHeader, OneMultichannelOutputOfAStream) {
  InputFile es = record("es.dts", KIND_DTS, 6, 24, 0, 48000, five_one());
  es.has_lfe = 1;
  es.ext_audio = 1;
  es.ext_audio_id = 0;
  es.amode = 13;
  es.bit_rate = 1536000.0;
  HeaderRun run({es});
  run.s.multichannel_out = 1;
  run.s.output_layout = LAYOUT_MULTICHANNEL;
  run.format(32, 1, 48000);
  run.select({0, 1, 2, 3, 4, 5});
  EXPECT_EQ(run.header(0, 1),
            "Input filename: [es.dts] (DTS Padded) [DTS ES]\n"
            "Input  attribs: [7.1 ch, 24 bit, 48.0 kHz, bitrate 1536 kbps]\n"
            "Output attribs: [Ext wav fmt, 6 ch, 32 bit flt, 48.0 kHz]\n"
            "Comment       : ** DTS ES currently unsupported **\n"
            "Output file(s): es(multichn).wav\n");
  EXPECT_EQ(run.s.output_count, 1);
  EXPECT_EQ(run.s.extensible_header, 1);
}

TEST(JobHeader, DtsNotesAndOpenRate) {
  InputFile hd = record("hd.cpt", KIND_CPT, 6, 16, 0, 48000, five_one());
  hd.has_lfe = 1;
  hd.ext_audio = 1;
  hd.ext_audio_id = 2;
  hd.bit_rate = 1.0;
  HeaderRun run({hd});
  run.format(32, 1, 48000);
  run.select({0});
  EXPECT_EQ(run.header(0, 1),
            "Input filename: [hd.cpt] (DTS Compact) [DTS 96/24]\n"
            "Input  attribs: [5.1 ch, 24 bit, 96.0 kHz, bitrate <open> kbps]\n"
            "Output attribs: [PCM wav fmt, 1 ch, 32 bit flt, 48.0 kHz]\n"
            "Comment       : ** DTS 96/24 currently unsupported **\n"
            "Output file(s): hd-FL.wav\n");

  InputFile ex = ac3_51();
  ex.kind = KIND_AC3_WAV;
  std::snprintf(ex.display_name, sizeof ex.display_name, "ex.wav");
  ex.ext_audio = 2;
  ex.fmt_size = 16;
  HeaderRun surround({ex});
  surround.format(32, 1, 48000);
  surround.select({0, 1});
  const std::string out = surround.header(0, 2);
  EXPECT_EQ(out.substr(0, out.find("Output attribs")),
            "Input filename: [ex.wav] (Dolby Digital Wave) [Dolby Surround EX]\n"
            "Input  attribs: [5.1 ch, 16 bit, 48.0 kHz, bitrate 448 kbps]\n");
  EXPECT_NE(out.find("Comment       : ** Dolby Digital EX currently unsupported **\n"),
            std::string::npos);

  // DTS in a WAV is 16 bits at the source.
  InputFile dw = record("dw.wav", KIND_DTS_WAV, 2, 24, 0, 44100, {"L", "R"});
  dw.fmt_size = 16;
  dw.bit_rate = 1411200.0;
  HeaderRun wav({dw});
  wav.format(32, 1, 44100);
  wav.select({0, 1});
  EXPECT_NE(wav.header(0, 2).find("Input  attribs: [2.0 ch, 16 bit, 44.1 kHz, bitrate 1411 "
                                  "kbps]\n"),
            std::string::npos);
}

TEST(JobHeader, BatchOfWavsShowsSeparatorAndFileNumber) {
  HeaderRun run({record("a.wav", KIND_PCM_WAV, 2, 16, 0, 44100, {"L", "R"}),
           record("b.wav", KIND_PCM_WAV, 2, 16, 0, 44100, {"L", "R"}),
           record("c.wav", KIND_PCM_WAV, 2, 16, 0, 44100, {"L", "R"})});
  run.format(24, 0, 44100);
  run.select({0, 1});
  EXPECT_EQ(run.header(1, 2), dashes +
                                  "Input filename: [b.wav] (Stereo Wave) [file 2/3]\n"
                                  "Input  attribs: [PCM wav fmt, 2 ch, 16 bit, 44.1 kHz]\n"
                                  "Output attribs: [PCM wav fmt, (2) x 1 ch, 24 bit, 44.1 kHz]\n"
                                  "Additional dsp: [bitdepth conv: 16bit -> 24bit]\n"
                                  "Output file(s): b(24-bit,44.1kHz)-L.wav\n"
                                  "                b(24-bit,44.1kHz)-R.wav\n");
}

TEST(JobHeader, InterleaveGroupListsItsInputs) {
  auto mono = [](const char* name) {
    return record(name, KIND_PCM_WAV, 1, 24, 0, 48000, {});
  };
  HeaderRun run({mono("take1_L.wav"), mono("take1_R.wav"), mono("take1_C.wav")});
  run.s.multichannel_out = 1;
  run.s.output_layout = LAYOUT_MULTICHANNEL;
  run.s.group_size = 3;
  run.format(24, 0, 48000);
  EXPECT_EQ(run.header(0, 1),
            "Input filename: [take1_L.wav] (Mono Wave) [file 1/3]\n"
            "Input filename: [take1_R.wav] (Mono Wave) [file 2/3]\n"
            "Input filename: [take1_C.wav] (Mono Wave) [file 3/3]\n"
            "Input  attribs: [PCM wav fmt, (3) x 1 ch, 24 bit, 48.0 kHz]\n"
            "Output attribs: [Ext wav fmt, 3 ch, 24 bit, 48.0 kHz]\n"
            "Output file(s): take1(multichn).wav\n");
  EXPECT_EQ(run.s.extensible_header, 1);

  // The second group of a batch numbers its files by their place in the list.
  HeaderRun batch({mono("a1.wav"), mono("a2.wav"), mono("drum_kick.wav"), mono("drum_snare.wav")});
  batch.s.multichannel_out = 1;
  batch.s.output_layout = LAYOUT_MULTICHANNEL;
  batch.s.group_size = 2;
  batch.format(16, 0, 48000);
  EXPECT_EQ(batch.header(2, 1),
            "Input filename: [drum_kick.wav] (Mono Wave) [file 3/4]\n"
            "Input filename: [drum_snare.wav] (Mono Wave) [file 4/4]\n"
            "Input  attribs: [PCM wav fmt, (2) x 1 ch, 24 bit, 48.0 kHz]\n"
            "Output attribs: [Ext wav fmt, 2 ch, 16 bit, 48.0 kHz]\n"
            "Additional dsp: [bitdepth conv: 24bit -> 16bit]\n"
            "Output file(s): drum(ext_wav_fmt)(16-bit,48.0kHz).wav\n");
}

TEST(JobHeader, ExtensibleWavRepackedAndConverted) {
  InputFile six = record("six.wav", KIND_PCM_WAV, 6, 24, 0, 48000, five_one());
  six.fmt_size = 40;
  six.channel_mask = 0x3F;
  HeaderRun repack({six});
  repack.s.multichannel_out = 1;
  repack.s.output_layout = LAYOUT_MULTICHANNEL;
  repack.format(24, 0, 48000);
  repack.select({0, 1, 2, 3, 4, 5});
  EXPECT_EQ(repack.header(0, 1),
            "Input filename: [six.wav] (Multichannel Wave)\n"
            "Input  attribs: [Ext wav fmt, 6 ch, 24 bit, 48.0 kHz]\n"
            "Output attribs: [Ext wav fmt, 6 ch, 24 bit, 48.0 kHz]\n"
            "Comment       : File is \"Ext wav fmt\" already, only speaker flags may change.\n"
            "Output file(s): six(multichn).wav\n");

  InputFile f32 = record("song.wav", KIND_PCM_WAV, 2, 32, 1, 48000, {"L", "R"});
  HeaderRun convert({f32});
  convert.s.convert_only = 1;
  convert.format(16, 0, 44100);
  convert.select({0, 1});
  EXPECT_EQ(convert.header(0, 1),
            "Input filename: [song.wav] (Stereo Wave)\n"
            "Input  attribs: [PCM wav fmt, 2 ch, 32 bit flt, 48.0 kHz]\n"
            "Output attribs: [PCM wav fmt, 2 ch, 16 bit, 44.1 kHz]\n"
            "Additional dsp: [bitdepth conv: 32bit flt -> 16bit, resampling: 48.0kHz -> "
            "44.1kHz]\n"
            "Output file(s): song(16-bit,44.1kHz).wav\n");
  EXPECT_EQ(convert.s.output_count, 1);
  EXPECT_EQ(convert.s.extensible_header, 0);

  HeaderRun rate({record("song.wav", KIND_PCM_WAV, 2, 16, 0, 44100, {"L", "R"})});
  rate.format(16, 0, 48000);
  rate.select({0});
  EXPECT_NE(rate.header(0, 1).find("Additional dsp: [resampling: 44.1kHz -> 48.0kHz]\n"),
            std::string::npos);
}

TEST(JobHeader, EveryChannelDeselectedSkipsTheJob) {
  HeaderRun run({ac3_51()});
  run.format(32, 1, 48000);
  run.select({});
  EXPECT_EQ(run.header(0, 1, 0),
            "Input filename: [movie.ac3] (Dolby Digital)\n"
            "Input  attribs: [5.1 ch, 16 bit, 48.0 kHz, bitrate 448 kbps]\n"
            "Output attribs: [PCM wav fmt, (0) x 0 ch, 32 bit flt, 48.0 kHz]\n"
            "Aborted: Channel selection cancelled all channels. (incompatible identifier(s)?)");
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.s.output_count, 0);
}

TEST(JobHeader, ANameThatDoesNotFitSkipsTheJob) {
  std::string name(250, 'n');
  name += ".ac3";
  InputFile f = ac3_51();
  std::snprintf(f.display_name, sizeof f.display_name, "%s", name.c_str());
  HeaderRun run({f});
  run.format(32, 1, 48000);
  run.select({0, 1});
  const std::string out = run.header(0, 2);
  EXPECT_EQ(run.result, 1);
  EXPECT_NE(out.find("Error: Output file name too long: " + std::string(250, 'n') + "\n"),
            std::string::npos);
  EXPECT_EQ(out.find("Output file(s)"), std::string::npos);
}
