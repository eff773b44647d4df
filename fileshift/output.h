// Console text: every line is flushed as its line end is written, so that
// prompts and results appear in order even when the output is a pipe.
#pragma once
#include <cstdio>
#include <string>

// Writes `text` and flushes.
void put_text(FILE* stream, const std::string& text);

// Writes `text` and a line end, and flushes.
void put_line(FILE* stream, const std::string& text);

// "The path " + path + " is too long." on `stream`.
void put_too_long(FILE* stream, const std::string& path);
