// Job headers and output names of real runs: single files, batches with
// their separators and file numbers, every name form, the dsp lines, the
// comment, and the checks that skip a file or end the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "wav_builder.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";
const std::string DASHES =
    "-------------------------------------------------------------------------------\n";
// What a short job with /q prints after its header.
const std::string QUIET_JOB =
    "Processing..... \rProcessing: Completed. [in 1 sec]                             \n";
const std::string QUIET_BATCH_JOB =
    "Batch processing..... \rBatch processing: Completed. [in 1 sec]                             \n";

class JobHeaders : public testing::Test {
 protected:
  void make(const std::string& name, WavLayout layout, int frames = 100) {
    Bytes data(static_cast<size_t>(frames) * layout.channels * (layout.bits / 8), 0);
    write_file(dir.file(name), make_wav(layout, data));
  }
  ProgramResult run(const std::vector<std::string>& args) {
    ProgramOptions options;
    options.cwd = dir.path();
    return run_program(SONDREL, args, options);
  }
  static WavLayout wav(int channels, int bits, bool extensible = false, uint32_t mask = 0) {
    WavLayout s;
    s.channels = channels;
    s.bits = bits;
    s.extensible = extensible;
    s.channel_mask = mask;
    return s;
  }
  TempDir dir;
};

TEST_F(JobHeaders, SplitOfAnExtensibleFile) {
  make("six.wav", wav(6, 24, true, 0x3F));
  ProgramResult r = run({"six.wav", "/q"});
  EXPECT_EQ(r.err,
            "Input filename: [six.wav] (Multichannel Wave)\n"
            "Input  attribs: [Ext wav fmt, 6 ch, 24 bit, 48.0 kHz]\n"
            "Output attribs: [PCM wav fmt, (6) x 1 ch, 24 bit, 48.0 kHz]\n"
            "Output file(s): six-FL.wav\n"
            "                six-FR.wav\n"
            "                six-C.wav\n"
            "                six-LFE.wav\n"
            "                six-SL.wav\n"
            "                six-SR.wav\n" + QUIET_JOB);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(list_dir(dir.path()).size(), 7u);
}

TEST_F(JobHeaders, FormatSuffixesAndDspLines) {
  make("st.wav", wav(2, 24));
  ProgramResult depth = run({"st.wav", "/32f", "/q"});
  EXPECT_EQ(depth.err,
            "Input filename: [st.wav] (Stereo Wave)\n"
            "Input  attribs: [PCM wav fmt, 2 ch, 24 bit, 48.0 kHz]\n"
            "Output attribs: [PCM wav fmt, (2) x 1 ch, 32 bit flt, 48.0 kHz]\n"
            "Additional dsp: [bitdepth conv: 24bit -> 32bit flt]\n"
            "Output file(s): st(32-bit_flt,48.0kHz)-L.wav\n"
            "                st(32-bit_flt,48.0kHz)-R.wav\n" + QUIET_JOB);
  ProgramResult both = run({"st.wav", "/16", "/44100", "/q"});
  EXPECT_NE(both.err.find("Additional dsp: [bitdepth conv: 24bit -> 16bit, resampling: 48.0kHz -> 44.1kHz]\n"
                          "Output file(s): st(16-bit,44.1kHz)-L.wav\n"),
            std::string::npos)
      << both.err;
  ProgramResult rate = run({"st.wav", "/96000", "/q"});
  EXPECT_NE(rate.err.find("Additional dsp: [resampling: 48.0kHz -> 96.0kHz]\n"
                          "Output file(s): st(24-bit,96.0kHz)-L.wav\n"),
            std::string::npos)
      << rate.err;
  // A user name suppresses the layout and format suffixes, not the speaker suffix.
  ProgramResult named = run({"st.wav", "take.WAV", "/16", "/q"});
  EXPECT_NE(named.err.find("Output file(s): take-L.wav\n                take-R.wav\n"), std::string::npos)
      << named.err;
}

TEST_F(JobHeaders, MultichannelAndMonoNames) {
  make("six.wav", wav(6, 16, true, 0x3F));
  ProgramResult mch = run({"six.wav", "/mch", "/q"});
  EXPECT_EQ(mch.err,
            "Input filename: [six.wav] (Multichannel Wave)\n"
            "Input  attribs: [Ext wav fmt, 6 ch, 16 bit, 48.0 kHz]\n"
            "Output attribs: [Ext wav fmt, 6 ch, 16 bit, 48.0 kHz]\n"
            "Comment       : File is \"Ext wav fmt\" already, only speaker flags may change.\n"
            "Output file(s): six(multichn).wav\n" + QUIET_JOB);
  ProgramResult two = run({"six.wav", "/mch", "/+FL,FR", "/q"});
  EXPECT_NE(two.err.find("Output attribs: [Ext wav fmt, 2 ch, 16 bit, 48.0 kHz]\n"
                         "Output file(s): six(ext_wav_fmt).wav\n"),
            std::string::npos)
      << two.err;
  ProgramResult one = run({"six.wav", "/mch", "/+C", "/q"});
  EXPECT_NE(one.err.find("Output file(s): six(ext_wav_fmt)-C.wav\n"), std::string::npos) << one.err;

  make("mono.wav", wav(1, 16));
  ProgramResult blank = run({"mono.wav", "/q"});
  EXPECT_EQ(blank.err,
            "Input filename: [mono.wav] (Mono Wave)\n"
            "Input  attribs: [PCM wav fmt, 1 ch, 16 bit, 48.0 kHz]\n"
            "Output attribs: [PCM wav fmt, 1 ch, 16 bit, 48.0 kHz]\n"
            "Output file(s): mono(blank).wav\n" + QUIET_JOB);
  ProgramResult convert = run({"mono.wav", "/x", "/24", "/q"});
  EXPECT_NE(convert.err.find("Output file(s): mono(24-bit,48.0kHz).wav\n"), std::string::npos)
      << convert.err;
}

TEST_F(JobHeaders, BatchSeparatorsNumbersAndTheFirstJobsPrefix) {
  for (const char* name : {"a.wav", "b.wav", "c.wav"}) make(name, wav(2, 16));
  ProgramResult r = run({"a.wav*b.wav*c.wav", "out", "/q"});
  std::string expected;
  const char* outputs[3][2] = {{"out-L.wav", "out-R.wav"}, {"b-L.wav", "b-R.wav"}, {"c-L.wav", "c-R.wav"}};
  const char* names[] = {"a.wav", "b.wav", "c.wav"};
  for (int i = 0; i < 3; ++i) {
    expected += DASHES + "Input filename: [" + names[i] + "] (Stereo Wave) [file " +
                std::to_string(i + 1) + "/3]\n"
                "Input  attribs: [PCM wav fmt, 2 ch, 16 bit, 48.0 kHz]\n"
                "Output attribs: [PCM wav fmt, (2) x 1 ch, 16 bit, 48.0 kHz]\n"
                "Output file(s): " + outputs[i][0] + "\n"
                "                " + outputs[i][1] + "\n" + QUIET_BATCH_JOB;
  }
  expected += DASHES;
  EXPECT_EQ(r.err, expected);
  EXPECT_EQ(list_dir(dir.path()),
            (std::vector<std::string>{"a.wav", "b-L.wav", "b-R.wav", "b.wav", "c-L.wav", "c-R.wav",
                                      "c.wav", "out-L.wav", "out-R.wav"}));
}

TEST_F(JobHeaders, InterleaveGroupsAndTheirChecks) {
  for (const char* name : {"a_1.wav", "a_2.wav", "a_3.wav"}) make(name, wav(1, 24));
  ProgramResult all = run({"a_1.wav*a_2.wav*a_3.wav", "/mch", "/q"});
  EXPECT_EQ(all.err,
            "Input filename: [a_1.wav] (Mono Wave) [file 1/3]\n"
            "Input filename: [a_2.wav] (Mono Wave) [file 2/3]\n"
            "Input filename: [a_3.wav] (Mono Wave) [file 3/3]\n"
            "Input  attribs: [PCM wav fmt, (3) x 1 ch, 24 bit, 48.0 kHz]\n"
            "Output attribs: [Ext wav fmt, 3 ch, 24 bit, 48.0 kHz]\n"
            "Output file(s): a(multichn).wav\n" + QUIET_JOB);

  ProgramResult pairs = run({"a_1.wav*a_2.wav*a_3.wav", "/mch2", "/q"});
  EXPECT_NE(pairs.err.find("Input filename: [a_1.wav] (Mono Wave) [file 1/3]\n"
                           "Input filename: [a_2.wav] (Mono Wave) [file 2/3]\n"
                           "Input  attribs: [PCM wav fmt, (2) x 1 ch, 24 bit, 48.0 kHz]\n"
                           "Output attribs: [Ext wav fmt, 2 ch, 24 bit, 48.0 kHz]\n"
                           "Output file(s): a(ext_wav_fmt).wav\n" + QUIET_BATCH_JOB),
            std::string::npos)
      << pairs.err;
  EXPECT_NE(pairs.err.find("Output file(s): a_3(ext_wav_fmt).wav\n"), std::string::npos) << pairs.err;

  EXPECT_EQ(run({"a_1.wav*a_2.wav", "/mch", "/44100"}).err,
            "Error: Resampling with \"/mch\" option for wav files currently unavailable.\n");
  ProgramResult skipped = run({"a_1.wav*gone.wav*a_2.wav", "/mch", "/q"});
  EXPECT_EQ(skipped.err,
            "Error: Unable to open file: gone.wav [skipping file]\n"
            "Error: Could not open 1 or more files. Interleaving wavs aborted.\n");
  std::string many;
  for (int i = 0; i < 20; ++i) {
    std::string name = "m" + std::to_string(i) + ".wav";
    make(name, wav(1, 16));
    many += (i ? "*" : "") + name;
  }
  EXPECT_EQ(run({many, "/mch20"}).err, "Error: Interleaving wavs supports a maximum 18 channels only.\n");
}

TEST_F(JobHeaders, KindChecksEndTheRun) {
  make("w.wav", wav(2, 24));
  EXPECT_EQ(run({"w.wav", "/x", "/16", "/+L"}).err,
            "Error: \"/+\" and \"/-\" options are not compatible with \"/x\" option.\n");
  EXPECT_EQ(run({"w.wav", "/x", "/24"}).err,
            "Skipped process, /x option having bit depth & samplerate SAME as source file.\n");
}

TEST_F(JobHeaders, SelectionsThatMatchNothing) {
  make("st.wav", wav(2, 16));
  make("six.wav", wav(6, 16));
  ProgramResult r = run({"st.wav*six.wav", "/+LFE", "/q"});
  EXPECT_EQ(r.err,
            "Error: Incompatible channel selection (Available: L,R)\n" + DASHES +
                "Input filename: [six.wav] (Multichannel Wave) [file 2/2]\n"
                "Input  attribs: [PCM wav fmt, 6 ch, 16 bit, 48.0 kHz]\n"
                "Output attribs: [PCM wav fmt, 1 ch, 16 bit, 48.0 kHz]\n"
                "Output file(s): six-LFE.wav\n" + QUIET_BATCH_JOB + DASHES);
  ProgramResult none = run({"six.wav", "/+X"});
  EXPECT_EQ(none.err.substr(none.err.size() - 81),
            "Aborted: Channel selection cancelled all channels. (incompatible identifier(s)?)\n");
  EXPECT_EQ(list_dir(dir.path()).size(), 3u);
}

}  // namespace
