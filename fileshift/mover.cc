// The move loop over the work list, the overwrite prompt and the summary.
#include "mover.h"

#include "limits.h"
#include "output.h"
#include "platform/console.h"
#include "platform/copy.h"
#include "platform/file_ops.h"

char ask_overwrite(const std::string& name) {
  Console console;
  bool have_terminal = platform_console_open(&console) == 0;
  put_text(stdout, "Overwrite " + name + " (Yes/No/All)? ");
  char answer = kAnswerNo;
  while (have_terminal) {
    int key = platform_console_read_key(&console);
    if (key < 0) break;
    if (key >= 'a' && key <= 'z') key = key - 'a' + 'A';
    if (key == kAnswerYes || key == kAnswerNo || key == kAnswerAll) {
      answer = static_cast<char>(key);
      break;
    }
  }
  platform_console_close(&console);
  put_line(stdout, std::string(1, answer));
  return answer;
}

enum FileResult { kFileDone = 0, kFileDestinationFull = 1 };

static FileResult move_one(const std::string& dir, const std::string& name,
                           const std::string& destination, char* answer, MoveCounts* counts) {
  std::string source = dir + name;
  std::string target = destination + name;
  if (source.size() >= kPathBytes || target.size() >= kPathBytes) {
    put_too_long(stdout, source.size() >= kPathBytes ? source : target);
    return kFileDone;
  }
  if (platform_same_file(source, target)) {
    put_line(stdout, "Unable to move " + name + " onto itself, left alone.");
    return kFileDone;
  }
  bool exists = platform_target_exists(target);
  if (exists && *answer != kAnswerAll) {
    *answer = ask_overwrite(name);
    if (*answer == kAnswerNo) return kFileDone;
  }
  int32_t old_mode = -1;
  if (exists) platform_set_normal(target, &old_mode);
  if (platform_copy_file(source, target) != 0) {
    platform_restore_mode(target, old_mode);
    put_line(stderr, "Destination full.");
    return kFileDestinationFull;
  }
  platform_set_normal(source, nullptr);
  if (platform_delete(source) == 0) {
    put_line(stdout, source);
    ++counts->moved;
  } else {
    put_line(stdout, "Unable to move " + name + ", copied instead.");
    ++counts->copied;
  }
  return kFileDone;
}

int move_files(WorkList* work, const std::string& destination, MoveCounts* counts) {
  char answer = kNoAnswer;
  for (auto dir = work->dirs.begin(); dir != work->dirs.end(); dir = work->dirs.erase(dir)) {
    NameSet& names = dir->second;
    while (!names.empty()) {
      std::string name = *names.begin();
      names.erase(names.begin());
      FileResult result = move_one(dir->first, name, destination, &answer, counts);
      if (result == kFileDestinationFull) return 1;
      if (answer != kAnswerAll) answer = kNoAnswer;
    }
  }
  return 0;
}

static std::string count_text(int32_t count, const char* what) {
  return "\t" + std::to_string(count) + " file" + (count == 1 ? "" : "s") + " " + what + ".";
}

std::string summary_line(const MoveCounts& counts) {
  std::string line = count_text(counts.moved, "moved");
  if (counts.copied != 0) line += count_text(counts.copied, "copied");
  return line;
}
