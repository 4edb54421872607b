// TBDLScanner: divides a definition's text into tokens (longest match,
// keywords without word boundaries, quoted strings), echoes skipped
// characters, builds the parse tree and keeps the token record.
//
// Every byte that starts no token (NUL and bytes 0x80-0xFF included) is
// skipped and echoed; a NUL does not end the input. A token may hold at most
// 16383 bytes while it is being matched (see kTokenLimit); a longer one is a
// fatal condition that ends scanning as if the input had ended.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

#include "tbdl/keywords.h"
#include "tbdl/tree.h"

namespace qv::tbdl {

// The scanner needs another byte while a token already holds this many: it
// cannot go on (the token must fit its 16384-byte buffer).
inline constexpr size_t kTokenLimit = 16383;

inline constexpr std::string_view kBufferOverflowMessage =
    "input buffer overflow, can't enlarge buffer because scanner uses REJECT";

// Told where a scan went astray, for tools that point authors at the spot.
// Offsets are byte offsets into the input the scanner was given; turning
// them into lines and columns is left to the listener, so that scanning
// pays for positions only when something is reported.
class ScanDiagnostics {
 public:
  virtual ~ScanDiagnostics() = default;
  // A run of consecutive characters that started no token.
  virtual void Skipped(std::string_view input, size_t offset, size_t length) = 0;
  // Parsing stopped at the token of length bytes at offset (0 bytes at the
  // end of input), or scanning at a token too long to scan, for the reason
  // given.
  virtual void Stopped(std::string_view input, size_t offset, size_t length,
                       std::string_view reason) = 0;
};

// The listener of every scan from now on (none: null). Like the
// tree-building state it is process-wide; scanners read it only when they
// have something to report. Returns the previous one.
ScanDiagnostics* SetScanDiagnostics(ScanDiagnostics* diagnostics);

class TBDLScanner {
 public:
  // input is the file's text as a text stream delivers it (CR LF already
  // read as LF); it must outlive the scanner and the tree. Skipped
  // characters go to echo, standard output when none is given.
  explicit TBDLScanner(std::string_view input, std::ostream* echo = nullptr);
  ~TBDLScanner();
  TBDLScanner(const TBDLScanner&) = delete;
  TBDLScanner& operator=(const TBDLScanner&) = delete;

  // The next token kind (kTokEnd at the end of input or after a fatal
  // condition), after its tree-building effect and token-record update.
  // The tree effects apply to TreeState() when a tree has been begun.
  int Next();
  // The token's text: for strings without the quotes. It views the input.
  std::string_view Text() const { return text_; }
  // The keyword of a part or property token.
  Keyword TokenKeyword() const { return keyword_; }

  // A fatal condition ends scanning: its message was written to stderr.
  bool Fatal() const { return !fatal_.empty(); }
  const std::string& FatalMessage() const { return fatal_; }

  // Tells the diagnostics listener, if any, that the parse stopped at the
  // token delivered last (its opening quote for a string).
  void ReportStop(std::string_view reason) const;

 private:
  int Deliver(int kind, const char* begin, const char* end);
  void Skip(const char* c);
  void FlushEcho();
  void EchoSkipped();
  void SetFatal(std::string_view message, const char* at);

  std::string_view input_;
  size_t pos_ = 0;
  std::ostream* echo_;
  std::string_view text_;
  Keyword keyword_ = Keyword::kRoot;
  std::string fatal_;
  // A run of skipped characters not yet written to the echo stream.
  const char* echo_begin_ = nullptr;
  const char* echo_end_ = nullptr;
  TreeBuildingState* tree_;
  PendingTokenRecord record_;
};

}  // namespace qv::tbdl
