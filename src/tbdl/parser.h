// TBDLParser: checks that the scanner's tokens form a definition. It has no
// semantic actions (the scanner builds the tree) and stops at the first
// token that cannot continue a valid definition, so that token is the last
// one the scanner delivered.
//
// The parser keeps its own stack of open bodies (no recursion) and accounts
// for it as the state stack of a table-driven parser with left-recursive
// lists would: one state to start with, four for every open body (its
// keyword, its opening brace, its property list and its list of nested
// parts), one for a part keyword waiting for its brace and up to three for a
// property being read (keyword, "=", string). That stack starts with room
// for kInitialStackStates states and doubles on demand up to
// kMaxStackStates; a definition needing more fails with a stack overflow.
// Nested submenus thus overflow at a little below 2500 levels.
#pragma once

#include <cstddef>

namespace qv::tbdl {

class TBDLScanner;

inline constexpr int kParseOk = 0;
inline constexpr int kParseSyntaxError = 1;
inline constexpr int kParseStackOverflow = 2;

inline constexpr size_t kInitialStackStates = 200;
inline constexpr size_t kMaxStackStates = 10000;
inline constexpr size_t kStatesPerBody = 4;

class TBDLParser {
 public:
  // 0 on success, 1 on a syntax error (or a fatal scanner condition),
  // 2 when the parse stack would need more than 10000 states. Errors are
  // reported on the standard error stream as "Syntax error: " and the
  // message; a fatal scanner condition has reported itself.
  int Parse(TBDLScanner& scanner);
};

}  // namespace qv::tbdl
