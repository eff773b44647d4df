// sondrel run as a program: the informational forms, and the command-line
// checks that stop a run, byte for byte on standard error, exit status 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"
#include "test_files.h"
#include "tools_version.h"

namespace {

const std::string SONDREL = TOOLS_BIN_DIR "/sondrel";
const std::string GENERAL =
    "Invalid option parameter. (i.e. /+FL,FR, /-c,LFE,Sr,sL, /mch6, /48000)\n";

ProgramResult sondrel(const std::vector<std::string>& args, const std::string& cwd = "") {
  ProgramOptions options;
  options.cwd = cwd;
  return run_program(SONDREL, args, options);
}

TEST(SondrelTexts, BannerUsageAndInformation) {
  ProgramResult banner = sondrel({});
  EXPECT_EQ(banner.exit_status, 0);
  EXPECT_EQ(banner.out, "");
  EXPECT_EQ(banner.err,
            " \n\"Sondrel\" version " TOOLS_VERSION
            " (beta). A command-line multichannel transcoder for\n"
            " decoding A52 (.ac3/ddwav) and DTS (.dts/.cpt/dtswav) files into PCM wavs. It\n"
            " also interleaves/de-interleaves PCM wavs, resamples at 44.1, 48, 96 kHz, and\n"
            " bit depth converts to 8, 16, 24, 32 bit integer, and 32, 64 bit floating point."
            " It also has built in batch file processing by using '*' as the file delimiter.\n\n"
            " Copyright (C) 2026 The Sondrel developers.\n\n"
            " sondrel -h   (for help)\n sondrel -i   (for information)\n");

  const std::string usage =
      "\n- Usage: sondrel <parameter> <optional> /<option> /<option> ...\n"
      "\n- <parameter> is the (optional path +) filename, or '-h' (Help), '-i' (Info)\n"
      "  Double quotes (\"\") are required around (path +) filename(s) containing spaces."
      "  Multi-file input (batch or wave interleaving) req '*' char between filenames.\n"
      "\n- <optional> allows user to specify the output prefix filenames for mono wavs.\n"
      "  Example: sondrel my_6ch_multiwav.wav Tmp             (if a 6 channel wav)\n"
      "  Result: Tmp-FL.wav, Tmp-FR.wav, Tmp-C.wav, Tmp-LFE.wav, Tmp-SL.wav, Tmp-SR.wav"
      "  If <optional> prefix not specified, output names are derived from source file.\n"
      "  - /N disables progress display (no estimated time remaining etc.)\n"
      "  - /+ or /- are used to cancel specified wav channel outputs.\n"
      "    i.e. /+FL,FR,C will cancel all wav chans out except for FL, FR & C\n"
      "  - /mch - Outputs a multichannel wav (does not apply multichannel wavs).\n"
      "  - /16 outputs 16 bit int, /24 to 24 bit int, /32f, /64f to 32/64 bit float pt."
      "  - /44 resamples to 44.1kHz, /48 to 48kHz, /96 to 96kHz.\n"
      "  Example: sondrel \"test file.ac3\" /64f /44 /d3 /f1[.195]\n"
      "  (d3=triang noise shp dith, f1[.195]=triang prob distr func, noise amp = .195)."
      "\n<CTRL-C> Aborts/Halts transcode process with resume option (for file previewing)"
      "\n";  // the text has no line end; the program ends the line as it exits
  EXPECT_EQ(sondrel({"-h"}).err, usage);
  EXPECT_EQ(sondrel({"-H", "ignored.ac3", "/16"}).err, usage);

  ProgramResult info = sondrel({"-I"});
  EXPECT_EQ(info.exit_status, 0);
  EXPECT_EQ(info.err.rfind("\n  Sondrel version " TOOLS_VERSION "  (beta)", 0), 0u);
  EXPECT_NE(info.err.find("\n  into PCM wav files, also for interleaving & de-interleaving of PCM wav files.\n"),
            std::string::npos);
  EXPECT_NE(info.err.find("liba52"), std::string::npos);
  EXPECT_NE(info.err.find("libdca"), std::string::npos);
  EXPECT_NE(info.err.find("\n  Use <CTRL-C> key combination to abort/pause-resume transcode process.\n"),
            std::string::npos);
  EXPECT_EQ(info.err.back(), '\n');
}

TEST(SondrelCommandLine, UnusableListsStopQuietlyAfterTheirMessages) {
  EXPECT_EQ(sondrel({"-x"}).err,
            "Unsupported cmd or file type. (use double quotes around filenames having spaces)\n");
  ProgramResult missing = sondrel({"nothing.ac3", "/16"});
  EXPECT_EQ(missing.err, "Error: Unable to open file: nothing.ac3\n");
  EXPECT_EQ(missing.exit_status, 0);
}

class SondrelOptions : public testing::Test {
 protected:
  void SetUp() override { write_text(dir.file("a.ac3"), "not a stream"); }
  ProgramResult run(std::vector<std::string> args) {
    args.insert(args.begin(), "a.ac3");
    return sondrel(args, dir.path());
  }
  TempDir dir;
};

TEST_F(SondrelOptions, PrefixChecks) {
  EXPECT_EQ(run({"my|name"}).err, "Error: User file prefix contains illegal filename characters.\n");
  EXPECT_EQ(run({std::string(130, 'p')}).err,
            "Error: User file prefix is too long (127 characters at most).\n");
  // A prefix that ends in ".wav" loses it, so 127 characters before ".wav"
  // fit; the run goes on to describe the (unreadable) stream and to refuse /x.
  EXPECT_EQ(run({std::string(127, 'p') + ".wav", "/q", "/x"}).err,
            "Error: File is corrupt, or is not a dolby digital file! [a.ac3]\n"
            "Error. \"/x\" option can only be used with wav files. (not dtswav/ddwav).\n");
}

TEST_F(SondrelOptions, OptionMessages) {
  EXPECT_EQ(run({"/16", "x"}).err,
            "Invalid option parameter. All options begin with a \"/\" character.\n");
  EXPECT_EQ(run({"out", "/16", "x"}).err,
            "Invalid option parameter. All options begin with a \"/\" character.\n");
  EXPECT_EQ(run({"/n"}).err, GENERAL);
  EXPECT_EQ(run({"/44"}).err,
            "Invalid: Supported bit depth conv are: 8, 16, 24, 32 int, 32 & 64 float.\n" + GENERAL);
  EXPECT_EQ(run({"/i", "/16"}).err,
            "Error: \"/i\" option cannot not be used in combination with other options.\n");
  EXPECT_EQ(run({"/s"}).err, "Stereo downmix not available at the momment.\n");
  EXPECT_EQ(run({"/mchx"}).err,
            "Invalid option. Either \"/mch\" or with a file limit (range: 1-18). (i.e. /mch6)\n");
  // An absolute path is a prefix, not an option: the options after it are read.
  EXPECT_EQ(run({"/tmp/out/take", "/n"}).err, GENERAL);
}

}  // namespace
