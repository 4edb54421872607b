// TBDLParser: checks that the scanner's tokens form a definition. It has no
// semantic actions (the scanner builds the tree) and stops at the first
// token that cannot continue a valid definition.
#pragma once

namespace qv::tbdl {

class TBDLScanner;

inline constexpr int kParseOk = 0;
inline constexpr int kParseSyntaxError = 1;
inline constexpr int kParseStackOverflow = 2;

class TBDLParser {
 public:
  // 0 on success, 1 on a syntax error (or a fatal scanner condition),
  // 2 when the parse stack would need more than 10000 states.
  int Parse(TBDLScanner& scanner);
};

}  // namespace qv::tbdl
