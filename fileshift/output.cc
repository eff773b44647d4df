// Line output with a flush after each line.
#include "output.h"

void put_text(FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

void put_line(FILE* stream, const std::string& text) { put_text(stream, text + "\n"); }

void put_too_long(FILE* stream, const std::string& path) {
  put_line(stream, "The path " + path + " is too long.");
}
