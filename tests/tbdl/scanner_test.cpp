#include <string>

#include "tbdl/text_stream.h"
#include "tbdl_test_util.h"

namespace qv::tbdl {
namespace {

using testing::Repeat;
using testing::ScanAll;
using testing::Token;
using Scanner = testing::TreeFixture;

TEST_F(Scanner, HeaderWithoutSpaces) {
  auto s = ScanAll("TBW_Toolbar{image=\"tbil.bmp\"}");
  std::vector<Token> want = {{kTokToolbar, "TBW_Toolbar"}, {kTokOpen, "{"},
                             {kTokImage, "image"},         {kTokEquals, "="},
                             {kTokString, "tbil.bmp"},     {kTokClose, "}"}};
  EXPECT_EQ(s.tokens, want);
  EXPECT_EQ(s.echo, "");
}

TEST_F(Scanner, EveryKeywordIsItselfWithOrWithoutTextAfterIt) {
  // Short and long remainders take different comparison paths.
  for (std::string_view tail : {"", " ", "                                 x"}) {
    for (int k = static_cast<int>(Keyword::TBW_Toolbar); k < kKeywordCount; ++k) {
      Keyword kw = static_cast<Keyword>(k);
      std::string input = std::string(KeywordText(kw)) + std::string(tail);
      std::ostringstream echo;
      TBDLScanner scanner(input, &echo);
      ASSERT_EQ(scanner.Next(), KeywordToken(kw)) << input;
      EXPECT_EQ(scanner.TokenKeyword(), kw);
      EXPECT_EQ(scanner.Text(), KeywordText(kw));
      EXPECT_EQ(scanner.Next(), kTokEnd);
      // Cut short by one character it is some shorter keyword or nothing.
      std::string cut =
          std::string(KeywordText(kw).substr(0, KeywordText(kw).size() - 1)) + std::string(tail);
      TBDLScanner shorter(cut, &echo);
      if (shorter.Next() != kTokEnd) {
        EXPECT_NE(shorter.TokenKeyword(), kw) << cut;
      }
    }
  }
}

TEST_F(Scanner, KeywordsIgnoreWordBoundariesAndTakeTheLongestMatch) {
  auto s = ScanAll("captionx xname MENUITEMS param12 MENUSEPARATO COMBOVALUE width_to width_t");
  std::vector<Token> want = {{kTokCaption, "caption"},   {kTokName, "name"},
                             {kTokMenuitem, "MENUITEM"}, {kTokParam, "param1"},
                             {kTokMenu, "MENU"},         {kTokCombovalue, "COMBOVALUE"},
                             {kTokWidthTo, "width_to"},  {kTokWidth, "width"}};
  EXPECT_EQ(s.tokens, want);
  EXPECT_EQ(s.echo, "xxS2SEPARATO_t");
}

TEST_F(Scanner, WrongCaseAndStrayTextAreSkippedExceptEmbeddedKeywords) {
  auto s = ScanAll("Button Caption\n# my name; 0 6-9 loctype");
  std::vector<Token> want = {{kTokName, "name"}, {kTokLoctype, "loctype"}};
  EXPECT_EQ(s.tokens, want);
  EXPECT_EQ(s.echo, "ButtonCaption#my;06-9");
}

TEST_F(Scanner, SkippedCharactersGoToStandardOutputByDefault) {
  ::testing::internal::CaptureStdout();
  {
    TBDLScanner scanner("x=y");
    EXPECT_EQ(scanner.Next(), kTokEquals);
    EXPECT_EQ(scanner.Next(), kTokEnd);
  }
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "xy");
}

TEST_F(Scanner, StringItems) {
  // Backslash sequences stay as written; strings span lines; CR and TAB
  // are ordinary items.
  auto s = ScanAll("\"a\\\"b\" \"\\\\\" \"\" \"x\ny\" \"a\\\rb\" \"\tc\\q\"");
  std::vector<Token> want = {{kTokString, "a\\\"b"}, {kTokString, "\\\\"},
                             {kTokString, ""},       {kTokString, "x\ny"},
                             {kTokString, "a\\\rb"}, {kTokString, "\tc\\q"}};
  EXPECT_EQ(s.tokens, want);
  EXPECT_EQ(s.echo, "");
}

TEST_F(Scanner, BackslashAtLineEndBreaksTheStringWhateverTheLineEnds) {
  for (std::string file : {"\"ab\\\nname\"", "\"ab\\\r\nname\""}) {
    NormalizeLineEnds(&file);
    auto s = ScanAll(file);
    // The opening quote is skipped, the rest scanned as plain text, and
    // the last quote finds no partner.
    std::vector<Token> want = {{kTokName, "name"}};
    EXPECT_EQ(s.tokens, want);
    EXPECT_EQ(s.echo, "\"ab\\\"");
  }
}

TEST_F(Scanner, UnterminatedStringIsScannedAsText) {
  auto s = ScanAll("= \"caption \\\"");
  std::vector<Token> want = {{kTokEquals, "="}, {kTokCaption, "caption"}};
  EXPECT_EQ(s.tokens, want);
  EXPECT_EQ(s.echo, "\"\\\"");
}

TEST_F(Scanner, TokenRecordSkipsEqualsDoublesCloseAndQuotesStrings) {
  std::ostringstream echo;
  TBDLScanner scanner("{ name = \"v\" }", &echo);
  auto next = [&] {
    scanner.Next();
    const TokenRecord& r = GetTokenRecord();
    return r.previous + " " + r.current;
  };
  GetTokenRecord().current = "older";
  EXPECT_EQ(next(), "older {");
  EXPECT_EQ(next(), "{ name");
  EXPECT_EQ(next(), "{ name");  // =
  EXPECT_EQ(next(), "name \"v\"");
  EXPECT_EQ(next(), "} }");
  EXPECT_EQ(next(), "} }");  // the end

  // A later load of an empty file leaves the record as it was.
  EXPECT_TRUE(ScanAll("").tokens.empty());
  EXPECT_EQ(GetTokenRecord().previous, "}");
  EXPECT_EQ(GetTokenRecord().current, "}");
}

TEST_F(Scanner, TokenRecordOutlivesTheInputOnceScanningEnds) {
  {
    std::string input = "caption \"x\" name";
    std::ostringstream echo;
    TBDLScanner scanner(input, &echo);
    while (scanner.Next() != kTokEnd) {
    }
    input.assign(input.size(), '#');
  }
  EXPECT_EQ(GetTokenRecord().previous, "\"x\"");
  EXPECT_EQ(GetTokenRecord().current, "name");
}

TEST_F(Scanner, NulAndHighBytesAreSkippedCharacters) {
  using namespace std::string_literals;
  auto s = ScanAll("name\0caption\xff\x80\"a\0b\""s);
  std::vector<Token> want = {{kTokName, "name"}, {kTokCaption, "caption"}, {kTokString, "a\0b"s}};
  EXPECT_EQ(s.tokens, want);
  EXPECT_EQ(s.echo, "\0\xff\x80"s);
}

// The overflow boundaries: a token may be read while it holds fewer than
// 16383 bytes.
struct LimitCase {
  const char* what;
  std::string input;
  bool fatal;
};

TEST_F(Scanner, TokenBufferLimitAtItsBoundaries) {
  const size_t n = kTokenLimit;  // 16383
  std::vector<LimitCase> cases = {
      {"string of 16383 bytes", "\"" + std::string(n - 2, 'a') + "\"", false},
      {"string of 16384 bytes", "\"" + std::string(n - 1, 'a') + "\"", true},
      {"white space run of 16382", std::string(n - 1, ' ') + "name", false},
      {"white space run of 16383", std::string(n, '\n') + "name", true},
      {"white space run of 16383 at the end", std::string(n, '\t'), true},
      {"unterminated string resolving at offset 16382", "\"" + std::string(n - 2, 'x'), false},
      {"unterminated string reaching offset 16383", "\"" + std::string(n - 1, 'x'), true},
      {"backslash LF at offset 16382", "\"" + std::string(n - 3, 'x') + "\\\n", false},
      {"backslash LF at offset 16383", "\"" + std::string(n - 2, 'x') + "\\\n", true},
  };
  for (const auto& c : cases) {
    ::testing::internal::CaptureStderr();
    auto s = ScanAll(c.input);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(s.fatal, c.fatal) << c.what;
    EXPECT_EQ(err, c.fatal ? std::string(kBufferOverflowMessage) + "\n" : "") << c.what;
  }
}

TEST_F(Scanner, FatalConditionEndsScanningForGood) {
  std::string input = "name \"" + std::string(20000, 'a') + "\" caption";
  ::testing::internal::CaptureStderr();
  std::ostringstream echo;
  TBDLScanner scanner(input, &echo);
  EXPECT_EQ(scanner.Next(), kTokName);
  EXPECT_EQ(scanner.Next(), kTokEnd);
  EXPECT_TRUE(scanner.Fatal());
  EXPECT_EQ(scanner.Next(), kTokEnd);
  ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(scanner.FatalMessage(), kBufferOverflowMessage);
}

TEST(TextStream, OnlyCrLfPairsBecomeLf) {
  std::string text = "a\r\nb\rc\r\r\nd\r";
  NormalizeLineEnds(&text);
  EXPECT_EQ(text, "a\nb\rc\r\nd\r");
}

TEST(TextStream, ReadsFilesInBinaryAndConverts) {
  std::string path = ::testing::TempDir() + "/tbdl_text_stream_test.tbd";
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("x\r\ny\rz\x1a", f);
    std::fclose(f);
  }
  std::string text;
  EXPECT_TRUE(ReadTextFile(path, &text));
  EXPECT_EQ(text, "x\ny\rz\x1a");
  std::remove(path.c_str());
  EXPECT_FALSE(ReadTextFile(path, &text));
  EXPECT_TRUE(text.empty());
}

}  // namespace
}  // namespace qv::tbdl
