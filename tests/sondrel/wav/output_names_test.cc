// Output names of every form: per channel, (multichn), (ext_wav_fmt),
// (blank), user names, format suffixes and the common stem.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "wav/input_file.h"
#include "wav/job_settings.h"
#include "wav/output_names.h"

namespace {

using Names = std::vector<std::string>;

InputFile input(const char* name, int32_t kind, int32_t channels, int32_t bits,
                int32_t is_float, int32_t rate, std::vector<const char*> labels = {}) {
  InputFile f;
  std::memset(&f, 0, sizeof f);
  std::snprintf(f.display_name, sizeof f.display_name, "%s", name);
  std::snprintf(f.path, sizeof f.path, "%s", name);
  f.kind = kind;
  f.channels = channels;
  f.bits = bits;
  f.is_float = is_float;
  f.sample_rate = rate;
  if (!labels.empty()) {
    EXPECT_EQ(alloc_channel_names(&f, static_cast<int32_t>(labels.size())), 0);
    for (size_t i = 0; i < labels.size(); ++i)
      std::snprintf(f.channel_names[i], LABEL_CAPACITY, "%s", labels[i]);
  }
  return f;
}

// One job: the settings as the driver and the job header leave them.
struct Job {
  std::vector<InputFile> files;
  JobSettings s;
  explicit Job(std::vector<InputFile> inputs) : files(std::move(inputs)) {
    init_job_settings(&s);
    s.file_count = static_cast<int32_t>(files.size());
    s.group_size = 1;
  }
  ~Job() {
    for (InputFile& f : files) free_channel_names(&f);
    free_out_names(&s);
  }
  void output_format(int32_t bits, int32_t is_float, int32_t rate) {
    s.out_bits = bits;
    s.out_float = is_float;
    s.out_rate = rate;
  }
  void select(std::vector<int32_t> channels) {
    s.selected_count = static_cast<int32_t>(channels.size());
    for (size_t i = 0; i < channels.size(); ++i) s.selected_channels[i] = channels[i];
  }
  void multichannel(int32_t group) {
    s.multichannel_out = 1;
    s.output_layout = LAYOUT_MULTICHANNEL;
    s.group_size = group;
  }
  // Names the outputs of file `index` as a fresh job (no derived stem left
  // over); {"<failed>"} when naming refused.
  Names name(int32_t index, int32_t outputs, const char* user_name = "") {
    std::snprintf(s.out_prefix, PREFIX_CAPACITY, "%s", user_name);
    s.output_count = outputs;
    EXPECT_EQ(alloc_out_names(&s, outputs), 0);
    if (make_output_names(files.data(), index, &s) != 0) return {"<failed>"};
    Names out;
    for (int32_t k = 0; k < outputs; ++k) out.push_back(s.out_names[k]);
    return out;
  }
};

std::vector<const char*> five_one() { return {"FL", "FR", "C", "LFE", "SL", "SR"}; }

}  // namespace

TEST(OutputNames, OneMonoFilePerChannelOfADecodedStream) {
  Job job({input("movie.ac3", KIND_AC3, 6, 32, 1, 48000, five_one())});
  job.output_format(32, 1, 48000);
  job.select({0, 1, 2, 3, 4, 5});
  EXPECT_EQ(job.name(0, 6), (Names{"movie-FL.wav", "movie-FR.wav", "movie-C.wav",
                                   "movie-LFE.wav", "movie-SL.wav", "movie-SR.wav"}));
  EXPECT_STREQ(job.s.out_prefix, "movie");  // the derived stem is kept

  // 16-bit at the same rate: the format suffix goes on every per-channel name.
  job.output_format(16, 0, 48000);
  job.select({0, 3});
  EXPECT_EQ(job.name(0, 2),
            (Names{"movie(16-bit,48.0kHz)-FL.wav", "movie(16-bit,48.0kHz)-LFE.wav"}));

  // Same bits, other rate, float output.
  job.output_format(32, 1, 44100);
  job.select({2});
  EXPECT_EQ(job.name(0, 1), (Names{"movie(32-bit_flt,44.1kHz)-C.wav"}));
}

TEST(OutputNames, UserNameKeepsTheSpeakerSuffixOnly) {
  Job job({input("movie.ac3", KIND_AC3, 6, 32, 1, 48000, five_one())});
  job.output_format(16, 0, 96000);
  job.select({0, 1});
  EXPECT_EQ(job.name(0, 2, "out"), (Names{"out-FL.wav", "out-FR.wav"}));
  EXPECT_STREQ(job.s.out_prefix, "out");

  // One multichannel output with a user name: the name as given.
  job.multichannel(1);
  job.select({0, 1, 2, 3, 4, 5});
  EXPECT_EQ(job.name(0, 1, "out"), (Names{"out.wav"}));
}

TEST(OutputNames, MultichannelAndExtensibleForms) {
  Job job({input("movie.dts", KIND_DTS, 6, 32, 1, 48000, five_one())});
  job.multichannel(1);
  job.output_format(32, 1, 48000);
  job.select({0, 1, 2, 3, 4, 5});
  EXPECT_EQ(job.name(0, 1), (Names{"movie(multichn).wav"}));

  // Two channels into one extensible file, then with a format change.
  job.select({0, 1});
  EXPECT_EQ(job.name(0, 1), (Names{"movie(ext_wav_fmt).wav"}));
  job.output_format(24, 0, 48000);
  EXPECT_EQ(job.name(0, 1), (Names{"movie(ext_wav_fmt)(24-bit,48.0kHz).wav"}));
  // A decoded stream with one channel selected gets no speaker suffix.
  job.select({3});
  EXPECT_EQ(job.name(0, 1), (Names{"movie(ext_wav_fmt)(24-bit,48.0kHz).wav"}));
}

TEST(OutputNames, PcmRepackOfOneChannelGetsItsSpeaker) {
  Job job({input("five.wav", KIND_PCM_WAV, 6, 24, 0, 48000, five_one())});
  job.multichannel(1);
  job.output_format(24, 0, 48000);
  job.select({3});
  EXPECT_EQ(job.name(0, 1), (Names{"five(ext_wav_fmt)-LFE.wav"}));
  job.output_format(16, 0, 48000);
  EXPECT_EQ(job.name(0, 1), (Names{"five(ext_wav_fmt)(16-bit,48.0kHz)-LFE.wav"}));
  // Three or more channels: (multichn), format suffix on the one name.
  job.select({0, 1, 2});
  EXPECT_EQ(job.name(0, 1), (Names{"five(multichn)(16-bit,48.0kHz).wav"}));
}

TEST(OutputNames, ConvertAndMonoForms) {
  Job conv({input("song.wav", KIND_PCM_WAV, 2, 16, 0, 44100, {"L", "R"})});
  conv.s.convert_only = 1;
  conv.output_format(24, 0, 44100);
  conv.select({0, 1});
  EXPECT_EQ(conv.name(0, 1), (Names{"song(24-bit,44.1kHz).wav"}));
  conv.output_format(16, 0, 48000);
  EXPECT_EQ(conv.name(0, 1), (Names{"song(16-bit,48.0kHz).wav"}));

  Job mono({input("voice.wav", KIND_PCM_WAV, 1, 16, 0, 48000)});
  mono.output_format(16, 0, 48000);
  mono.select({0});
  EXPECT_EQ(mono.name(0, 1), (Names{"voice(blank).wav"}));
  mono.output_format(32, 1, 48000);
  EXPECT_EQ(mono.name(0, 1), (Names{"voice(blank)(32-bit_flt,48.0kHz).wav"}));
  // A user name replaces the layout suffix of a mono input too.
  EXPECT_EQ(mono.name(0, 1, "take"), (Names{"take.wav"}));

  // Splitting a stereo PCM file: one name per selected channel.
  Job split({input("duo.wav", KIND_PCM_WAV, 2, 24, 0, 48000, {"L", "R"})});
  split.output_format(24, 0, 48000);
  split.select({1});
  EXPECT_EQ(split.name(0, 1), (Names{"duo-R.wav"}));
}

TEST(OutputNames, InterleavedMonoFilesShareTheirCommonStem) {
  auto mono = [](const char* name) { return input(name, KIND_PCM_WAV, 1, 24, 0, 48000); };
  Job three({mono("take1_L.wav"), mono("take1_R.wav"), mono("take1_C.wav")});
  three.multichannel(3);
  three.output_format(24, 0, 48000);
  EXPECT_EQ(three.name(0, 1), (Names{"take1(multichn).wav"}));
  EXPECT_STREQ(three.s.out_prefix, "take1");
  EXPECT_EQ(three.name(0, 1, "band"), (Names{"band.wav"}));

  Job two({mono("take1_L.wav"), mono("take1_R.wav")});
  two.multichannel(2);
  two.output_format(24, 0, 48000);
  EXPECT_EQ(two.name(0, 1), (Names{"take1(ext_wav_fmt).wav"}));

  // Only one leading character in common: the first name less its extension.
  Job loose({mono("alpha.wav"), mono("apple.wav")});
  loose.multichannel(2);
  loose.output_format(16, 0, 48000);
  EXPECT_EQ(loose.name(0, 1), (Names{"alpha(ext_wav_fmt)(16-bit,48.0kHz).wav"}));

  // A separator just before the last shared character is cut with it.
  Job cut({mono("mix-aL.wav"), mono("mix-aR.wav")});
  cut.multichannel(2);
  cut.output_format(24, 0, 48000);
  EXPECT_EQ(cut.name(0, 1), (Names{"mix(ext_wav_fmt).wav"}));

  // The second group of a batch takes its stem from its own two names.
  Job later({mono("a1.wav"), mono("a2.wav"), mono("drum_kick.wav"), mono("drum_snare.wav")});
  later.multichannel(2);
  later.output_format(24, 0, 48000);
  EXPECT_EQ(later.name(2, 1), (Names{"drum(ext_wav_fmt).wav"}));
}

TEST(OutputNames, RefusesNamesThatDoNotFitAndNeverTruncates) {
  std::string long_name(250, 'x');
  long_name += ".ac3";
  Job job({input(long_name.c_str(), KIND_AC3, 2, 32, 1, 48000, {"L", "R"})});
  job.output_format(16, 0, 48000);
  job.select({0, 1});
  testing::internal::CaptureStderr();
  EXPECT_EQ(job.name(0, 2), (Names{"<failed>"}));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Output file name too long: " + std::string(250, 'x') + "\n");
  EXPECT_STREQ(job.s.out_prefix, "");  // a stem of 250 characters is not kept

  // A stem that fits only without the format suffix fails with it, never
  // truncated.
  std::string edge(240, 'y');
  edge += ".ac3";
  Job tight({input(edge.c_str(), KIND_AC3, 2, 32, 1, 48000, {"L", "R"})});
  tight.output_format(32, 1, 48000);
  tight.select({0, 1});
  EXPECT_EQ(tight.name(0, 2), (Names{std::string(240, 'y') + "-L.wav",
                                     std::string(240, 'y') + "-R.wav"}));
  tight.output_format(16, 0, 48000);
  testing::internal::CaptureStderr();
  EXPECT_EQ(tight.name(0, 2), (Names{"<failed>"}));
  testing::internal::GetCapturedStderr();

  // Empty labels (an unlisted layout) end the names in "-"; the driver
  // refuses such a job before any output exists.
  Job blank({input("odd.dts", KIND_DTS, 2, 32, 1, 48000, {"", ""})});
  blank.output_format(32, 1, 48000);
  blank.select({0, 1});
  EXPECT_EQ(blank.name(0, 2), (Names{"odd-.wav", "odd-.wav"}));
}
