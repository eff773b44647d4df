// Fuzz target: the option parser on arbitrary argument vectors, then the
// per-file matching of the channel ids it kept against arbitrary channel
// names, as the job driver applies them. What the parser accepts must leave
// the settings within their ranges.
//
// Input: the arguments, separated by NUL bytes; after a 0xFF byte, the
// file's channel names, separated by ','.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "frontend/options.h"
#include "frontend/run_values.h"
#include "wav/job_settings.h"

namespace {

constexpr size_t MAX_ARGUMENTS = 64;
constexpr size_t MAX_NAMES = 18;
constexpr size_t LABEL_BYTES = 4;

void check(bool ok) {
  if (!ok) std::abort();
}

bool is_enable_string(const char* enable) {
  if (std::strlen(enable) != static_cast<size_t>(ENABLE_LENGTH)) return false;
  for (const char* c = enable; *c; ++c)
    if (*c != '0' && *c != '1') return false;
  return true;
}

// The parsed values are ones the grammar can give.
void check_ranges(const JobSettings& s, const RunValues& run) {
  check(run.user_bits == 0 || run.user_bits == 8 || run.user_bits == 16 || run.user_bits == 24 ||
        run.user_bits == 32 || run.user_bits == 64);
  check(run.user_rate == 0 || run.user_rate == 44100 || run.user_rate == 48000 ||
        run.user_rate == 96000);
  check(run.user_float == 0 || run.user_float == 1);
  check(run.info_mode >= 0 && run.info_mode <= 2);
  check(run.id_count >= 0 && run.id_count <= MAX_CHANNEL_IDS);
  for (const auto& id : run.channel_ids) check(std::memchr(id, '\0', sizeof id) != nullptr);
  check(is_enable_string(run.enable));
  check(s.dither_type >= 0 && s.dither_type <= 3);
  check(s.pdf_type >= 0 && s.pdf_type <= 2);
  check(s.noise_amplitude >= 0.1 && s.noise_amplitude <= 0.99);
  check(s.group_limit >= 1 && s.group_limit <= 99);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint8_t* end = data + size;
  const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0xFF, size));
  if (!split) split = end;

  std::vector<std::string> arguments(1);
  for (const uint8_t* p = data; p < split; ++p) {
    if (*p == 0) {
      if (arguments.size() == MAX_ARGUMENTS) break;
      arguments.emplace_back();
    } else {
      arguments.back().push_back(static_cast<char>(*p));
    }
  }
  std::vector<std::vector<char>> storage;
  std::vector<char*> argv;
  for (const std::string& a : arguments) storage.emplace_back(a.c_str(), a.c_str() + a.size() + 1);
  for (auto& a : storage) argv.push_back(a.data());

  JobSettings settings;
  init_job_settings(&settings);
  RunValues run;
  init_run_values(&run);
  if (parse_options(static_cast<int>(argv.size()), argv.data(), 0, &settings, &run) != 0)
    return 0;
  check_ranges(settings, run);

  // The file's channel names, at most 18 labels of up to 3 characters.
  std::vector<std::vector<char>> labels;
  if (split < end) {
    const std::string text(reinterpret_cast<const char*>(split + 1),
                           static_cast<size_t>(end - split - 1));
    size_t from = 0;
    while (labels.size() < MAX_NAMES) {
      const size_t comma = text.find(',', from);
      std::string label = text.substr(from, comma == std::string::npos ? comma : comma - from);
      label = label.substr(0, std::strlen(label.c_str()));
      label.resize(std::min(label.size(), LABEL_BYTES - 1));
      labels.emplace_back(label.c_str(), label.c_str() + label.size() + 1);
      if (comma == std::string::npos) break;
      from = comma + 1;
    }
  }
  std::vector<char*> names;
  for (auto& l : labels) names.push_back(l.data());
  for (int32_t k = 0; k < run.id_count && k < MAX_CHANNEL_IDS; ++k) {
    if (!run.channel_ids[k][0]) continue;
    if (apply_channel_id(run.channel_ids[k], names.data(), static_cast<int32_t>(names.size()),
                         run.selection_mode, run.enable))
      break;
  }
  check(is_enable_string(run.enable));
  return 0;
}
