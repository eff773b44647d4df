// Run-wide values of the command line kept outside the settings record: the
// channel selection (enable string, channel id table), the numeric options as
// given, the information mode, and the input-list counters.
#pragma once
#include <cstdint>

constexpr int32_t MAX_CHANNEL_IDS = 20;
constexpr int32_t ENABLE_LENGTH = 20;

struct RunValues {
  char enable[ENABLE_LENGTH + 1];       // '1' = source channel gets an output
  char channel_ids[MAX_CHANNEL_IDS][5]; // ids of /+ or /-, upper case
  int32_t id_count;
  int32_t selection_mode;               // 0 none, 1 for /-, 2 for /+
  int32_t selection_given;              // 1 once a /+ or /- was accepted
  int32_t user_bits;                    // 0: not given
  int32_t user_float;
  int32_t user_rate;                    // 0: not given
  int32_t info_mode;                    // 0 off, 1 for /i, 2 for /im
  int32_t list_skip;                    // 1 when the input list skipped a name
  int32_t token_count;                  // names in the input list
};

// The version printed in the banners.
extern const char* const sondrel_version;

void init_run_values(RunValues* run);
