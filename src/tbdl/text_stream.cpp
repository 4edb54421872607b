#include "tbdl/text_stream.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace qv::tbdl {

namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool ReadTextFile(const std::string& path, std::string* text) {
  text->clear();
  // Binary mode everywhere, then the one conversion ourselves: the result
  // must not depend on the platform's idea of a text file.
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  char chunk[65536];
  if (std::fseek(file.get(), 0, SEEK_END) == 0) {
    long size = std::ftell(file.get());
    // Only a hint: a directory opened as a file (possible on POSIX) reports
    // an absurd size, and its read then fails below.
    if (size > 0) {
      try {
        text->reserve(static_cast<size_t>(size));
      } catch (const std::bad_alloc&) {
      }
    }
    std::fseek(file.get(), 0, SEEK_SET);
  }
  for (;;) {
    size_t n = std::fread(chunk, 1, sizeof chunk, file.get());
    text->append(chunk, n);
    if (n < sizeof chunk) break;
  }
  if (std::ferror(file.get())) {
    text->clear();
    return false;
  }
  NormalizeLineEnds(text);
  return true;
}

void NormalizeLineEnds(std::string* text) {
  char* const begin = text->data();
  char* const end = begin + text->size();
  char* cr = static_cast<char*>(std::memchr(begin, '\r', text->size()));
  if (!cr) return;
  char* out = cr;
  for (char* in = cr; in < end; ++in) {
    // Only the pair turns into LF; a CR elsewhere stays.
    if (*in == '\r' && in + 1 < end && in[1] == '\n') continue;
    *out++ = *in;
  }
  text->resize(out - begin);
}

}  // namespace qv::tbdl
