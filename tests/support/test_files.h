// File helpers for tests: a temporary directory removed at the end of the
// test, whole-file reads and writes, little-endian field access.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

Bytes read_file(const std::string& path);
std::string read_text(const std::string& path);
void write_file(const std::string& path, const Bytes& bytes);
void write_text(const std::string& path, const std::string& text);
bool file_exists(const std::string& path);
// Sorted names of the entries of a directory (without "." and "..").
std::vector<std::string> list_dir(const std::string& path);

uint16_t get_u16(const Bytes& b, size_t at);
uint32_t get_u32(const Bytes& b, size_t at);
void put_u16(Bytes& b, size_t at, uint16_t v);
void put_u32(Bytes& b, size_t at, uint32_t v);
void append_u16(Bytes& b, uint16_t v);
void append_u32(Bytes& b, uint32_t v);
void append_text(Bytes& b, const char* text);  // without the terminator
void make_directory(const std::string& path);
