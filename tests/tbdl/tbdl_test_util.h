// Helpers shared by the definition language tests: scan or parse a text with
// a fresh tree and capture what goes to the echo and error streams.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tbdl/parser.h"
#include "tbdl/scanner.h"
#include "tbdl/tree.h"

namespace qv::tbdl::testing {

struct Token {
  int kind;
  std::string text;
  bool operator==(const Token&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Token& t) {
  return os << TokenClassName(static_cast<TokenKind>(t.kind)) << "(" << t.kind << "):" << t.text;
}

struct Scanned {
  std::vector<Token> tokens;  // without the end token
  std::string echo;
  bool fatal = false;
};

inline Scanned ScanAll(std::string_view input) {
  Scanned out;
  std::ostringstream echo;
  TBDLScanner scanner(input, &echo);
  for (int kind; (kind = scanner.Next()) != kTokEnd;) {
    out.tokens.push_back({kind, std::string(scanner.Text())});
  }
  out.fatal = scanner.Fatal();
  out.echo = echo.str();
  return out;
}

struct Parsed {
  int result;
  std::string errors;  // what went to the standard error stream
};

// Parses with a fresh tree, which stays in TreeState() for inspection until
// the next BeginTree or EndTree.
inline Parsed ParseText(std::string_view input) {
  BeginTree();
  std::ostringstream echo;
  TBDLScanner scanner(input, &echo);
  ::testing::internal::CaptureStderr();
  int result = TBDLParser().Parse(scanner);
  return {result, ::testing::internal::GetCapturedStderr()};
}

inline std::string Repeat(std::string_view piece, size_t times) {
  std::string s;
  s.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) s += piece;
  return s;
}

class TreeFixture : public ::testing::Test {
 protected:
  void SetUp() override { BeginTree(); }
  void TearDown() override { EndTree(); }
};

}  // namespace qv::tbdl::testing
