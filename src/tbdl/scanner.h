// TBDLScanner: divides a definition's text into tokens (longest match,
// keywords without word boundaries, quoted strings), echoes skipped
// characters, builds the parse tree and keeps the token record.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "tbdl/keywords.h"

namespace qv::tbdl {

class TBDLScanner {
 public:
  // input is the file's text as a text stream delivers it (CR LF already
  // read as LF); it must outlive the scanner and the tree. Skipped
  // characters go to echo, standard output when none is given.
  explicit TBDLScanner(std::string_view input, std::ostream* echo = nullptr);

  // The next token kind (kTokEnd at the end of input or after a fatal
  // condition), after its tree-building effect and token-record update.
  int Next();
  // The token's text: for strings without the quotes.
  std::string_view Text() const { return text_; }
  // The keyword of a part or property token.
  Keyword TokenKeyword() const { return keyword_; }

  // A fatal condition ends scanning: its message was written to stderr.
  bool Fatal() const { return !fatal_.empty(); }
  const std::string& FatalMessage() const { return fatal_; }

 private:
  std::string_view input_;
  size_t pos_ = 0;
  std::ostream* echo_;
  std::string_view text_;
  Keyword keyword_ = Keyword::kRoot;
  std::string fatal_;
};

}  // namespace qv::tbdl
