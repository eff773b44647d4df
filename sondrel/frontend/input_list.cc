// Input list: names joined with '*', each checked for its extension, its
// characters, and that it can be opened and measured.
#include "frontend/input_list.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/platform.h"

int classify_extension(const char* name, int32_t* kind) {
  const size_t length = std::strlen(name);
  const char* extension;
  if (length > 0 && name[length - 1] == '"') {
    if (name[0] != '"' || length < 7) return 1;
    extension = name + length - 5;
  } else {
    if (length < 5) return 1;
    extension = name + length - 4;
  }
  char upper[5];
  for (int i = 0; i < 4; ++i) {
    char c = extension[i];
    upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  upper[4] = '\0';
  static const struct { const char* text; int32_t kind; } known[] = {
      {".WAV", KIND_PCM_WAV}, {".DTS", KIND_DTS}, {".CPT", KIND_CPT}, {".AC3", KIND_AC3}};
  for (const auto& k : known) {
    if (!std::strcmp(upper, k.text)) {
      *kind = k.kind;
      return 0;
    }
  }
  return 1;
}

// The text after the last directory separator ('/' or '\'); the last four
// characters (the extension) are not searched.
static const char* display_name_of(const char* name) {
  const int64_t length = static_cast<int64_t>(std::strlen(name));
  for (int64_t i = length - 5; i >= 0; --i)
    if (name[i] == '/' || name[i] == '\\') return name + i + 1;
  return name;
}

static bool has_invalid_characters(const char* name) {
  return std::strpbrk(name, "?*<>|") != nullptr;
}

// Opens the name for reading and measures it. Only a regular file is an
// input: the open does not wait for a FIFO's writer, and a FIFO, device or
// directory counts as a file that cannot be opened. Returns 0, 1 when it
// cannot be opened, 2 when it cannot be measured.
static int open_and_measure(const char* name, uint64_t* size) {
  struct stat st;
  if (stat(name, &st) == 0 && !S_ISREG(st.st_mode)) return 1;  // never opens a device
  const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return 1;
  }
  int result = platform_file_size(name, size) ? 2 : 0;
  close(fd);
  return result;
}

// Prints a skip message: the plain form for a single name, else with
// " [skipping file]" before the line end.
static void skip_message(const char* format, const char* name, int32_t token_count) {
  const bool batch = token_count >= 2;
  std::fprintf(stderr, format, name);
  std::fputs(batch ? " [skipping file]\n" : "\n", stderr);
}

int32_t parse_input_list(char* list, InputFile* table, int32_t capacity, int counting,
                         int32_t* list_skip, int32_t* token_count) {
  int32_t accepted = 0;
  char* save = nullptr;
  for (char* name = strtok_r(list, "*", &save); name; name = strtok_r(nullptr, "*", &save)) {
    if (counting) ++*token_count;
    int32_t kind = 0;
    if (classify_extension(name, &kind)) {
      if (!counting) {
        std::fputs("Unsupported cmd or file type. (use double quotes around filenames having spaces)",
                   stderr);
        if (*token_count >= 2) std::fputs(" [skipping file]", stderr);
        *list_skip = 1;
      }
      continue;
    }
    if (!counting && std::strlen(name) >= static_cast<size_t>(PATH_CAPACITY)) {
      skip_message("Error: Filename too long (255 characters at most): %s", name, *token_count);
      *list_skip = 1;
      continue;
    }
    if (!counting && has_invalid_characters(name)) {
      skip_message("Error: Invalid characters in filename: %s", name, *token_count);
      *list_skip = 1;
      continue;
    }
    uint64_t size = 0;
    int opened = open_and_measure(name, &size);
    if (opened) {
      if (!counting) {
        skip_message(opened == 1 ? "Error: Unable to open file: %s"
                                 : "Error: Unable to read file attributes for: %s",
                     name, *token_count);
        *list_skip = 1;
      }
      continue;
    }
    if (!counting) {
      if (accepted >= capacity) continue;
      InputFile* file = &table[accepted];
      std::memset(file, 0, sizeof *file);
      file->kind = kind;
      std::snprintf(file->path, sizeof file->path, "%s", name);
      std::snprintf(file->display_name, sizeof file->display_name, "%s", display_name_of(name));
      file->bit_rate = 0.0;
      file->is_float = 1;
      file->file_size = size;
    }
    ++accepted;
  }
  return accepted;
}
