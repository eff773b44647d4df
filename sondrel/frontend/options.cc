// Option parsing of sondrel. Each option is upper-cased in place first, so
// option words are case-insensitive; the first rejected option stops the run.
#include "frontend/options.h"

#include <cstdio>
#include <cstring>

#include "tools_version.h"
#include "wav/speakers.h"

static const char* const GENERAL_MESSAGE =
    "Invalid option parameter. (i.e. /+FL,FR, /-c,LFE,Sr,sL, /mch6, /48000)\n";

void init_run_values(RunValues* run) {
  std::memset(run, 0, sizeof *run);
  std::strcpy(run->enable, "11111111111111111100");
}

const char* const sondrel_version = TOOLS_VERSION;

static void upper_case(char* text) {
  for (; *text; ++text)
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

int parse_numeric_option(const char* text, int32_t* user_rate, int32_t* user_bits,
                         int32_t* user_float) {
  static const char* const DEPTH_COLON =
      "Invalid: Supported bit depth conv are: 8, 16, 24, 32 int, 32 & 64 float.\n";
  const size_t length = std::strlen(text);
  switch (length) {
    case 1:
      if (!std::strcmp(text, "8")) {
        *user_float = 0;
        *user_bits = 8;
        return 0;
      }
      std::fputs(DEPTH_COLON, stderr);
      return 1;
    case 2:
      if (!std::strcmp(text, "16") || !std::strcmp(text, "24") || !std::strcmp(text, "32")) {
        *user_float = 0;
        *user_bits = (text[0] - '0') * 10 + (text[1] - '0');
        return 0;
      }
      std::fputs(DEPTH_COLON, stderr);
      return 1;
    case 3:
      if (!std::strcmp(text, "32F") || !std::strcmp(text, "64F")) {
        *user_bits = text[0] == '3' ? 32 : 64;
        *user_float = 1;
        return 0;
      }
      std::fputs("Invalid. Supported bit depth conv are: 8, 16, 24, 32 int, 32 & 64 float.\n",
                 stderr);
      return 1;
    case 5:
      if (!std::strcmp(text, "44100") || !std::strcmp(text, "48000") ||
          !std::strcmp(text, "96000")) {
        *user_rate = text[0] == '4' ? (text[1] == '4' ? 44100 : 48000) : 96000;
        return 0;
      }
      std::fputs("Invalid: Supported resampling rates are: 44100, 48000, and 96000 kHz.\n", stderr);
      return 1;
    default:
      std::fputs("Invalid. Numerical options incl: 8,16,24,32,32f,64f,44100,48000,and 96000.",
                 stderr);
      return 1;
  }
}

static bool all_digits(const char* text) {
  if (!*text) return false;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

int parse_mch_option(const char* option, JobSettings* settings) {
  const size_t length = std::strlen(option);
  if (std::strncmp(option, "/MCH", 4) != 0) return 1;
  if (length == 4) {
    settings->multichannel_out = 1;
    settings->output_layout = LAYOUT_MULTICHANNEL;
    return 0;
  }
  if ((length == 5 || length == 6) && all_digits(option + 4)) {
    int32_t limit = 0;
    for (const char* c = option + 4; *c; ++c) limit = limit * 10 + (*c - '0');
    settings->group_limit = limit == 0 ? 1 : limit;
    settings->multichannel_out = 1;
    settings->output_layout = LAYOUT_MULTICHANNEL;
    return 0;
  }
  return 1;
}

int parse_pdf_option(const char* option, double* noise_amplitude) {
  const size_t length = std::strlen(option);
  const char x = length >= 3 ? option[2] : '\0';
  if (length > 8 || x < '0' || x > '2') return -1;
  const int result = x - '0';
  if (length == 3) return result;
  if (length == 6) {
    const char y = option[4];
    if (option[3] != '[' || option[5] != ']' || y < '0' || y > '2') return -2;
    static const double presets[3] = {0.7, 0.9, 0.18};
    *noise_amplitude = presets[y - '0'];
    return result;
  }
  if (length == 8) {
    const char tenths = option[5], hundredths = option[6];
    if (option[4] != '.' || tenths < '1' || tenths > '9' || hundredths < '0' || hundredths > '9')
      return -2;
    *noise_amplitude = ((tenths - '0') * 10 + (hundredths - '0')) / 100.0;
    return result;
  }
  return -1;
}

static int reject_channel_ids(const JobSettings* settings) {
  if (settings->multichannel_out == 1)
    std::fputs("Invalid cmd or Speaker Id. Muxing allows only /+ with Ids (separate by comma).\n",
               stderr);
  else
    std::fputs("Invalid cmd or Chnl Id. /+, /- applies to all Ids following (separate by comma).",
               stderr);
  return 0;
}

int parse_channel_ids(const char* option, const JobSettings* settings, RunValues* run) {
  char text[4096];
  if (std::strlen(option) >= sizeof text) return reject_channel_ids(settings);
  std::strcpy(text, option);
  upper_case(text);
  run->selection_mode = text[1] == '-' ? 1 : 2;
  std::memset(run->enable, run->selection_mode == 1 ? '1' : '0', ENABLE_LENGTH);
  run->enable[ENABLE_LENGTH] = '\0';
  for (auto& id : run->channel_ids) id[0] = '\0';

  char* list = text + 2;
  size_t length = std::strlen(list);
  if (length == 1) {
    run->id_count = 1;
    if (list[0] == 'L' || list[0] == 'R' || list[0] == 'C') {
      run->channel_ids[0][0] = list[0];
      run->channel_ids[0][1] = '\0';
    }
    return 1;
  }
  if (length > 0 && list[length - 1] == ',') list[--length] = '\0';
  int32_t count = 0;
  char* start = list;
  for (;;) {
    char* comma = std::strchr(start, ',');
    if (comma) *comma = '\0';
    if (count >= MAX_CHANNEL_IDS || speaker_label_position(start) < 0) {
      run->id_count = 0;
      return reject_channel_ids(settings);
    }
    std::strcpy(run->channel_ids[count++], start);
    if (!comma) break;
    start = comma + 1;
  }
  run->id_count = count;
  return 1;
}

int apply_channel_id(const char* id, char* const* names, int32_t count, int32_t mode,
                     char* enable) {
  for (int32_t i = 0; i < count && i < ENABLE_LENGTH; ++i) {
    if (same_speaker(id, names[i])) {
      enable[i] = mode == 2 ? '1' : '0';
      return 0;
    }
  }
  std::fputs("Error: Incompatible channel selection (Available: ", stderr);
  for (int32_t i = 0; i < count; ++i) std::fprintf(stderr, i ? ",%s" : "%s", names[i]);
  std::fputs(")\n", stderr);
  return 1;
}

static void print_dither_help() {
  std::fputs("Invalid dither option parameter. (/dx where x is a number from 0 to 3)\n", stderr);
  std::fputs("Where 0=none, 1=no noise shaping, 2=triangular dither, 3=ATH based noise shaping\n",
             stderr);
}

static void print_pdf_help(int result) {
  if (result == -2)
    std::fputs("Invalid noise amplitude parameter format ('y' or 'zz'): (/fx, /fx[y], /fx[.zz])\n",
               stderr);
  else
    std::fputs("Invalid probability distribution function parameters. (/fx, /fx[y], /fx[.zz])\n",
               stderr);
  std::fputs("Where pdf type (x) can be: 0 = rectangular, 1 = triangular, 2 = gaussian\n", stderr);
  std::fputs("Where noise amplitude (preset) [y] is: 0=0.7, 1=0.9, 2=0.18 (default: [2]=0.18)\n",
             stderr);
  std::fputs("Where noise amplitude (user entered) [.zz] is within the range: (.10 to .99)\n",
             stderr);
}

// Two-character options. Returns 0 to go on, 1 to stop.
static int short_option(char letter, JobSettings* s, RunValues* run) {
  switch (letter) {
    case '8':
      if (parse_numeric_option("8", &run->user_rate, &run->user_bits, &run->user_float)) break;
      return 0;
    case 'A': s->no_level_adjust = 1; return 0;
    case 'I': run->info_mode = 1; return 0;
    case 'Q': s->no_progress = 1; return 0;
    case 'R': s->no_dynrng = 1; return 0;
    case 'S':
      std::fputs("Stereo downmix not available at the momment.\n", stderr);
      return 1;
    case 'T': return 0;  // accepted for old command lines; no effect
    case 'X': s->convert_only = 1; return 0;
    default: break;
  }
  std::fputs(GENERAL_MESSAGE, stderr);
  return 1;
}

// Options of three or more characters. Returns 0 to go on, 1 to stop.
static int long_option(const char* option, size_t length, JobSettings* s, RunValues* run) {
  switch (option[1]) {
    case '+':
    case '-':
      if (parse_channel_ids(option, s, run)) {
        run->selection_given = 1;
        return 0;
      }
      break;
    case '1': case '2': case '3': case '4': case '6': case '9':
      if (!parse_numeric_option(option + 1, &run->user_rate, &run->user_bits, &run->user_float))
        return 0;
      break;
    case 'D':
      if (length == 3 && option[2] >= '0' && option[2] <= '3') {
        s->dither_type = option[2] - '0';
        return 0;
      }
      s->dither_type = -1;
      print_dither_help();
      return 1;
    case 'F': {
      int result = parse_pdf_option(option, &s->noise_amplitude);
      s->pdf_type = result;
      if (result >= 0) return 0;
      print_pdf_help(result);
      return 1;
    }
    case 'I':
      if (length == 3 && option[2] == 'M') {
        run->info_mode = 2;
        return 0;
      }
      break;
    case 'M':
      if (!parse_mch_option(option, s)) return 0;
      std::fputs("Invalid option. Either \"/mch\" or with a file limit (range: 1-18). (i.e. /mch6)\n",
                 stderr);
      return 1;
    case 'O':
      std::fputs("specify output dir, req double quote around path (n/a yet)\n", stderr);
      return 0;
    case 'S':
      std::fputs("Stereo downmixing currently unavailable inthis version.\n", stderr);
      return 1;
    default:
      break;
  }
  std::fputs(GENERAL_MESSAGE, stderr);
  return 1;
}

int parse_options(int argc, char** argv, int first, JobSettings* settings, RunValues* run) {
  for (int i = first; i < argc; ++i) {
    if (argv[i][0] != '/') {
      std::fputs("Invalid option parameter. All options begin with a \"/\" character.\n", stderr);
      return 1;
    }
  }
  for (int i = first; i < argc; ++i) {
    char* option = argv[i];
    upper_case(option);
    const size_t length = std::strlen(option);
    int stop;
    if (length == 1) {
      std::fputs(GENERAL_MESSAGE, stderr);
      stop = 1;
    } else if (length == 2) {
      stop = short_option(option[1], settings, run);
    } else {
      stop = long_option(option, length, settings, run);
    }
    if (stop) return 1;
  }
  if (run->info_mode && argc - first > 1) {
    std::fputs("Error: \"/i\" option cannot not be used in combination with other options.\n",
               stderr);
    return 1;
  }
  return 0;
}
