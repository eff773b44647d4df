// Option grammar: numeric options, /mch, /f, /+ and /-, channel matching,
// and the option loop's stop rules and messages.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "frontend/options.h"

namespace {

struct Parsed {
  int result;
  std::string err;
  JobSettings settings;
  RunValues run;
};

// Runs the option loop on the given option words, as the entry does.
Parsed parse(std::vector<std::string> words) {
  Parsed p{};
  init_job_settings(&p.settings);
  init_run_values(&p.run);
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(&w[0]);
  testing::internal::CaptureStderr();
  p.result = parse_options(static_cast<int>(argv.size()), argv.data(), 0, &p.settings, &p.run);
  p.err = testing::internal::GetCapturedStderr();
  return p;
}

const std::string GENERAL = "Invalid option parameter. (i.e. /+FL,FR, /-c,LFE,Sr,sL, /mch6, /48000)\n";

TEST(Options, NumericOptionsSetFormatFieldByField) {
  Parsed p = parse({"/mch6", "/24", "/48000"});
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.err, "");
  EXPECT_EQ(p.settings.multichannel_out, 1);
  EXPECT_EQ(p.settings.output_layout, LAYOUT_MULTICHANNEL);
  EXPECT_EQ(p.settings.group_limit, 6);
  EXPECT_EQ(p.run.user_bits, 24);
  EXPECT_EQ(p.run.user_float, 0);
  EXPECT_EQ(p.run.user_rate, 48000);

  // A later integer option turns float output off again; order of rate and
  // depth does not matter.
  Parsed q = parse({"/32f", "/32"});
  EXPECT_EQ(q.run.user_bits, 32);
  EXPECT_EQ(q.run.user_float, 0);
  Parsed r = parse({"/64F", "/8"});
  EXPECT_EQ(r.run.user_bits, 8);
  EXPECT_EQ(r.run.user_float, 0);
  Parsed a = parse({"/44100", "/16"});
  Parsed b = parse({"/16", "/44100"});
  EXPECT_EQ(a.run.user_rate, b.run.user_rate);
  EXPECT_EQ(a.run.user_bits, b.run.user_bits);
  EXPECT_EQ(a.run.user_rate, 44100);
  EXPECT_EQ(parse({"/96000"}).run.user_rate, 96000);
  Parsed f = parse({"/64f"});
  EXPECT_EQ(f.run.user_bits, 64);
  EXPECT_EQ(f.run.user_float, 1);
}

TEST(Options, BadNumericOptionsPrintTheirMessageThenTheGeneralOne) {
  EXPECT_EQ(parse({"/44"}).err,
            "Invalid: Supported bit depth conv are: 8, 16, 24, 32 int, 32 & 64 float.\n" + GENERAL);
  EXPECT_EQ(parse({"/48"}).result, 1);
  EXPECT_EQ(parse({"/96"}).result, 1);
  EXPECT_EQ(parse({"/24f"}).err,
            "Invalid. Supported bit depth conv are: 8, 16, 24, 32 int, 32 & 64 float.\n" + GENERAL);
  EXPECT_EQ(parse({"/22050"}).err,
            "Invalid: Supported resampling rates are: 44100, 48000, and 96000 kHz.\n" + GENERAL);
  EXPECT_EQ(parse({"/4410"}).err,
            "Invalid. Numerical options incl: 8,16,24,32,32f,64f,44100,48000,and 96000." + GENERAL);
  int32_t rate = 0, bits = 0, flt = 0;
  testing::internal::CaptureStderr();
  EXPECT_EQ(parse_numeric_option("7", &rate, &bits, &flt), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Invalid: Supported bit depth conv are: 8, 16, 24, 32 int, 32 & 64 float.\n");
}

TEST(Options, ShortOptionsAndRejectedWords) {
  Parsed p = parse({"/a", "/q", "/r", "/T", "/x"});
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.settings.no_level_adjust, 1);
  EXPECT_EQ(p.settings.no_progress, 1);
  EXPECT_EQ(p.settings.no_dynrng, 1);
  EXPECT_EQ(p.settings.convert_only, 1);
  for (const char* word : {"/", "/n", "/d", "/z", "/ix", "/8x"}) {
    Parsed bad = parse({word});
    EXPECT_EQ(bad.result, 1) << word;
    EXPECT_EQ(bad.err, GENERAL) << word;
  }
  // The first rejected option stops the loop: nothing after it is read.
  Parsed stop = parse({"/n", "/16"});
  EXPECT_EQ(stop.run.user_bits, 0);
}

TEST(Options, EveryOptionMustBeginWithSlashBeforeAnyIsRead) {
  Parsed p = parse({"/16", "x"});
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.err, "Invalid option parameter. All options begin with a \"/\" character.\n");
  EXPECT_EQ(p.run.user_bits, 0);
}

TEST(Options, StereoAndOutputDirOptions) {
  Parsed s = parse({"/s"});
  EXPECT_EQ(s.result, 1);
  EXPECT_EQ(s.err, "Stereo downmix not available at the momment.\n");
  EXPECT_EQ(s.settings.output_layout, LAYOUT_MONO_FILES);
  Parsed st = parse({"/stereo"});
  EXPECT_EQ(st.result, 1);
  EXPECT_EQ(st.err, "Stereo downmixing currently unavailable inthis version.\n");
  Parsed o = parse({"/out", "/16"});
  EXPECT_EQ(o.result, 0);
  EXPECT_EQ(o.err, "specify output dir, req double quote around path (n/a yet)\n");
  EXPECT_EQ(o.run.user_bits, 16);
}

TEST(Options, MchForms) {
  EXPECT_EQ(parse({"/mch0"}).settings.group_limit, 1);
  EXPECT_EQ(parse({"/mch99"}).settings.group_limit, 99);
  EXPECT_EQ(parse({"/MCH"}).settings.group_limit, 18);
  const std::string mch =
      "Invalid option. Either \"/mch\" or with a file limit (range: 1-18). (i.e. /mch6)\n";
  EXPECT_EQ(parse({"/mch123"}).err, mch);
  EXPECT_EQ(parse({"/mchx"}).err, mch);
  EXPECT_EQ(parse({"/m"}).err, GENERAL);
}

TEST(Options, DitherAndPdf) {
  EXPECT_EQ(parse({"/d3"}).settings.dither_type, 3);
  Parsed none = parse({"/d0"});
  EXPECT_EQ(none.result, 0);
  EXPECT_EQ(none.settings.dither_type, 0);
  const std::string dither =
      "Invalid dither option parameter. (/dx where x is a number from 0 to 3)\n"
      "Where 0=none, 1=no noise shaping, 2=triangular dither, 3=ATH based noise shaping\n";
  for (const char* word : {"/d4", "/d12"}) {
    Parsed p = parse({word});
    EXPECT_EQ(p.err, dither) << word;
    EXPECT_EQ(p.settings.dither_type, -1);
  }

  Parsed g = parse({"/f2"});
  EXPECT_EQ(g.settings.pdf_type, 2);
  EXPECT_DOUBLE_EQ(g.settings.noise_amplitude, 0.18);
  Parsed preset = parse({"/f1[0]"});
  EXPECT_EQ(preset.settings.pdf_type, 1);
  EXPECT_DOUBLE_EQ(preset.settings.noise_amplitude, 0.7);
  EXPECT_DOUBLE_EQ(parse({"/f0[1]"}).settings.noise_amplitude, 0.9);
  Parsed user = parse({"/f0[.25]"});
  EXPECT_EQ(user.result, 0);
  EXPECT_DOUBLE_EQ(user.settings.noise_amplitude, 0.25);

  const std::string tail =
      "Where pdf type (x) can be: 0 = rectangular, 1 = triangular, 2 = gaussian\n"
      "Where noise amplitude (preset) [y] is: 0=0.7, 1=0.9, 2=0.18 (default: [2]=0.18)\n"
      "Where noise amplitude (user entered) [.zz] is within the range: (.10 to .99)\n";
  EXPECT_EQ(parse({"/f1[.05]"}).err,
            "Invalid noise amplitude parameter format ('y' or 'zz'): (/fx, /fx[y], /fx[.zz])\n" + tail);
  EXPECT_EQ(parse({"/f1[.195]"}).err,
            "Invalid probability distribution function parameters. (/fx, /fx[y], /fx[.zz])\n" + tail);
  EXPECT_EQ(parse({"/f3"}).result, 1);
  EXPECT_EQ(parse({"/f1[3]"}).settings.pdf_type, -2);
  EXPECT_EQ(parse({"/f1(0)"}).settings.pdf_type, -2);
  EXPECT_EQ(parse({"/f1[0"}).settings.pdf_type, -1);
}

TEST(Options, InfoModeCannotBeCombined) {
  EXPECT_EQ(parse({"/i"}).run.info_mode, 1);
  EXPECT_EQ(parse({"/im"}).run.info_mode, 2);
  Parsed p = parse({"/i", "/16"});
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.err, "Error: \"/i\" option cannot not be used in combination with other options.\n");
  EXPECT_EQ(parse({"/imx"}).err, GENERAL);
}

TEST(Options, ChannelIdLists) {
  Parsed plus = parse({"/+fl,fr,c"});
  EXPECT_EQ(plus.result, 0);
  EXPECT_EQ(plus.run.selection_mode, 2);
  EXPECT_EQ(plus.run.selection_given, 1);
  EXPECT_EQ(plus.run.id_count, 3);
  EXPECT_STREQ(plus.run.channel_ids[0], "FL");
  EXPECT_STREQ(plus.run.channel_ids[2], "C");
  EXPECT_STREQ(plus.run.enable, "00000000000000000000");

  Parsed trailing = parse({"/+FL,FR,"});
  EXPECT_EQ(trailing.run.id_count, 2);

  Parsed x = parse({"/+X"});
  EXPECT_EQ(x.result, 0);
  EXPECT_EQ(x.run.id_count, 1);
  EXPECT_STREQ(x.run.channel_ids[0], "");
  EXPECT_STREQ(x.run.enable, "00000000000000000000");
  Parsed l = parse({"/-l"});
  EXPECT_STREQ(l.run.channel_ids[0], "L");
  EXPECT_STREQ(l.run.enable, "11111111111111111111");
  EXPECT_EQ(l.run.selection_mode, 1);

  Parsed bad = parse({"/-C,XYZ"});
  EXPECT_EQ(bad.result, 1);
  EXPECT_EQ(bad.err, "Invalid cmd or Chnl Id. /+, /- applies to all Ids following (separate by comma)." + GENERAL);
  Parsed muxing = parse({"/mch", "/-C,XYZ"});
  EXPECT_EQ(muxing.err,
            "Invalid cmd or Speaker Id. Muxing allows only /+ with Ids (separate by comma).\n" + GENERAL);
  // More ids than the table holds are refused rather than overflowing it.
  EXPECT_EQ(parse({"/+FL,FR,C,L,R,FL,FR,C,L,R,FL,FR,C,L,R,FL,FR,C,L,R,FL"}).result, 1);
  EXPECT_EQ(parse({"/+FL,FR,C,L,R,FL,FR,C,L,R,FL,FR,C,L,R,FL,FR,C,L,R"}).run.id_count, 20);
  EXPECT_EQ(parse({"/+FL,,FR"}).result, 1);
}

TEST(Options, ApplyChannelIdMatchesNamesAndAliases) {
  char fl[] = "FL", fr[] = "FR", c[] = "C", lfe[] = "LFE", sl[] = "SL", sr[] = "SR";
  char* names[] = {fl, fr, c, lfe, sl, sr};
  char enable[] = "00000000000000000000";
  EXPECT_EQ(apply_channel_id("L", names, 6, 2, enable), 0);
  EXPECT_EQ(apply_channel_id("FC", names, 6, 2, enable), 0);
  EXPECT_EQ(apply_channel_id("BR", names, 6, 2, enable), 0);
  EXPECT_STREQ(enable, "10100100000000000000");
  EXPECT_EQ(apply_channel_id("LFE", names, 6, 1, enable), 0);
  EXPECT_EQ(enable[3], '0');

  char l[] = "L", r[] = "R";
  char* stereo[] = {l, r};
  testing::internal::CaptureStderr();
  EXPECT_EQ(apply_channel_id("LFE", stereo, 2, 2, enable), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Incompatible channel selection (Available: L,R)\n");
}

}  // namespace
