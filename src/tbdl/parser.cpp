#include "tbdl/parser.h"

#include <array>
#include <cstdint>
#include <iostream>
#include <string_view>
#include <vector>

#include "tbdl/keywords.h"
#include "tbdl/scanner.h"

namespace qv::tbdl {

namespace {

// The kinds of body a part can open.
enum Body : uint8_t {
  kToolbarBody,
  kButtonBody,
  kTextBody,
  kComboBody,
  kWebpageBody,
  kIndicatorBody,
  kSeparatorBody,
  kCommandsBody,
  kSettingsBody,
  kMenuBody,
  kSubmenuBody,
  kMenuitemBody,
  kCombovalueBody,
  kGotourlBody,
  kServicecommandBody,
  kShellexecuteBody,
  kCustomcommandBody,
  kItemoptionsBody,
  kPropertyBody,
  kCspsettingBody,
  kBodyCount
};

static_assert(kTokCount <= 64, "token kinds fit a 64-bit set");

using TokenSet = uint64_t;

constexpr TokenSet Set(std::initializer_list<TokenKind> kinds) {
  TokenSet set = 0;
  for (TokenKind k : kinds) set |= TokenSet{1} << k;
  return set;
}

constexpr size_t kMany = SIZE_MAX;

// What one body may hold: properties first, then nested parts.
struct BodyRule {
  TokenSet properties;
  TokenSet parts;
  size_t min_properties = 0;
  size_t max_properties = kMany;
  size_t min_parts = 0;
  size_t max_parts = kMany;
  bool non_empty = false;  // properties and parts may not both be missing
};

constexpr TokenSet kMenuEntries = Set({kTokMenuitem, kTokSubmenu, kTokMenuseparator});
constexpr TokenSet kItemProperties = Set({kTokHint, kTokCommand, kTokImage, kTokCaption, kTokType});

constexpr std::array<BodyRule, kBodyCount> kRules = [] {
  std::array<BodyRule, kBodyCount> r{};
  r[kToolbarBody] = {Set({kTokClsid, kTokUuid, kTokName, kTokImage, kTokHotimage, kTokCompany}),
                     Set({kTokButton, kTokText, kTokCombo, kTokWebpage, kTokIndicator,
                          kTokSeparator, kTokCommands, kTokSettings})};
  r[kButtonBody] = {Set({kTokCommand, kTokCaption, kTokImage, kTokName, kTokHint}),
                    Set({kTokMenu})};
  r[kButtonBody].max_parts = 1;
  r[kTextBody] = {Set({kTokCaption, kTokCommand, kTokHint, kTokName, kTokImage}), 0};
  r[kComboBody] = {Set({kTokMaxchars, kTokMaxhistlines, kTokName, kTokWidth, kTokCaption, kTokType,
                        kTokPassword, kTokCommand, kTokHint}),
                   Set({kTokCombovalue}), 1};
  r[kWebpageBody] = {
      Set({kTokUrl, kTokName, kTokBorder, kTokWidth, kTokAutosize, kTokRelayNavigation}), 0, 1};
  r[kIndicatorBody] = {
      Set({kTokCommand, kTokType, kTokName, kTokCaption, kTokImage, kTokAddimg, kTokParam}),
      Set({kTokMenu})};
  r[kIndicatorBody].max_parts = 1;
  r[kSeparatorBody] = {Set({kTokName}), 0, 1, 1};
  r[kCommandsBody] = {0,
                      Set({kTokGotourl, kTokServicecommand, kTokShellexecute, kTokCustomcommand})};
  r[kCommandsBody].min_parts = 1;
  r[kSettingsBody] = {0, Set({kTokItemoptions, kTokProperty, kTokCspsetting})};
  r[kSettingsBody].min_parts = 1;
  r[kMenuBody] = {Set({kTokCaption, kTokCommand, kTokType, kTokHint, kTokImage, kTokHotimage}),
                  kMenuEntries};
  r[kMenuBody].non_empty = true;
  r[kSubmenuBody] = {kItemProperties, kMenuEntries};
  r[kSubmenuBody].min_parts = 1;
  r[kMenuitemBody] = {kItemProperties, 0};
  r[kCombovalueBody] = {Set({kTokCaption, kTokValue}), 0, 1};
  r[kGotourlBody] = {Set({kTokName, kTokUrl, kTokPost, kTokTarget, kTokOptions, kTokNewwindow}), 0,
                     1};
  r[kServicecommandBody] = {Set({kTokName, kTokType, kTokCaption}), 0, 1};
  r[kShellexecuteBody] = {Set({kTokName, kTokShellcmd, kTokFailmsg}), 0, 1};
  r[kCustomcommandBody] = {Set({kTokName, kTokProgid, kTokParameters, kTokFailmsg}), 0, 1};
  r[kItemoptionsBody] = {Set({kTokId, kTokToggleCaption, kTokToggleVisibility, kTokChangeWidth,
                              kTokWidthFrom, kTokWidthTo, kTokImage, kTokDescription}),
                         0, 1};
  r[kPropertyBody] = {Set({kTokId, kTokValue}), 0, 1};
  r[kCspsettingBody] = {Set({kTokId, kTokDescription}), Set({kTokCombovalue}), 1};
  return r;
}();

// The body a part keyword opens (MENUSEPARATOR opens none).
Body BodyOf(int token) {
  switch (token) {
    case kTokButton:
      return kButtonBody;
    case kTokText:
      return kTextBody;
    case kTokCombo:
      return kComboBody;
    case kTokWebpage:
      return kWebpageBody;
    case kTokIndicator:
      return kIndicatorBody;
    case kTokSeparator:
      return kSeparatorBody;
    case kTokCommands:
      return kCommandsBody;
    case kTokSettings:
      return kSettingsBody;
    case kTokMenu:
      return kMenuBody;
    case kTokSubmenu:
      return kSubmenuBody;
    case kTokMenuitem:
      return kMenuitemBody;
    case kTokCombovalue:
      return kCombovalueBody;
    case kTokGotourl:
      return kGotourlBody;
    case kTokServicecommand:
      return kServicecommandBody;
    case kTokShellexecute:
      return kShellexecuteBody;
    case kTokCustomcommand:
      return kCustomcommandBody;
    case kTokItemoptions:
      return kItemoptionsBody;
    case kTokProperty:
      return kPropertyBody;
    case kTokCspsetting:
      return kCspsettingBody;
    default:
      return kToolbarBody;
  }
}

struct Frame {
  Body body;
  size_t properties = 0;
  size_t parts = 0;
};

// What the next token must be.
enum Expect {
  kHeader,          // TBW_Toolbar
  kOpen,            // "{" of a part keyword just read
  kEquals,          // "=" after a property keyword
  kString,          // the property's value
  kInBody,          // a property, a nested part or "}"
  kAfterSeparator,  // "{" of a separator's body, or whatever follows a bodiless one
  kEndOfInput,      // nothing but the end after the toolbar's "}"
};

// reason tells an author what was wrong with the token the parse stopped at;
// only a diagnostics listener of the scanner hears it.
int Report(const TBDLScanner& scanner, std::string_view message, std::string_view reason,
           int result) {
  std::cerr << "Syntax error: " << message << '\n';
  std::cerr.flush();
  scanner.ReportStop(reason);
  return result;
}

int SyntaxError(const TBDLScanner& scanner, std::string_view reason) {
  return Report(scanner, "parse error", reason, kParseSyntaxError);
}

// Room on the modelled state stack: grows like the stack it stands for.
class StateStack {
 public:
  // False when `states` states do not fit even at the largest size.
  bool Reserve(size_t states) {
    while (states > capacity_) {
      if (capacity_ >= kMaxStackStates) return false;
      capacity_ = capacity_ * 2 < kMaxStackStates ? capacity_ * 2 : kMaxStackStates;
    }
    return true;
  }

 private:
  size_t capacity_ = kInitialStackStates;
};

}  // namespace

int TBDLParser::Parse(TBDLScanner& scanner) {
  std::vector<Frame> frames;
  frames.reserve(16);
  StateStack stack;
  Expect expect = kHeader;
  Body pending = kToolbarBody;

  for (;;) {
    const int token = scanner.Next();
    if (scanner.Fatal()) return kParseSyntaxError;
    // States held by the open bodies, plus the first state.
    const size_t base = 1 + kStatesPerBody * frames.size();
    size_t transient = 0;  // states of the construct in progress
    bool again;
    do {
      again = false;
      switch (expect) {
        case kHeader:
          if (token != kTokToolbar) return SyntaxError(scanner, "expected TBW_Toolbar");
          pending = kToolbarBody;
          expect = kOpen;
          transient = 1;
          break;
        case kOpen:
          if (token != kTokOpen) return SyntaxError(scanner, "expected '{'");
          frames.push_back({pending});
          expect = kInBody;
          transient = kStatesPerBody;
          break;
        case kEquals:
          if (token != kTokEquals) return SyntaxError(scanner, "expected '='");
          expect = kString;
          transient = 2;
          break;
        case kString:
          if (token != kTokString) return SyntaxError(scanner, "expected a quoted value");
          ++frames.back().properties;
          expect = kInBody;
          transient = 3;
          break;
        case kEndOfInput:
          if (token != kTokEnd) {
            return SyntaxError(scanner, "expected the end after the toolbar's closing '}'");
          }
          return kParseOk;
        case kAfterSeparator:
          if (token == kTokOpen) {
            frames.push_back({kSeparatorBody});
            expect = kInBody;
            transient = kStatesPerBody;
            break;
          }
          // A separator without a body; the token belongs to the enclosing one.
          ++frames.back().parts;
          expect = kInBody;
          again = true;
          break;
        case kInBody: {
          Frame& frame = frames.back();
          const BodyRule& rule = kRules[frame.body];
          const TokenSet bit = TokenSet{1} << token;
          if (token == kTokClose) {
            if (frame.properties < rule.min_properties || frame.parts < rule.min_parts ||
                (rule.non_empty && frame.properties == 0 && frame.parts == 0)) {
              return SyntaxError(scanner, "the part lacks a property or nested part it needs");
            }
            frames.pop_back();
            if (frames.empty()) {
              expect = kEndOfInput;
            } else {
              ++frames.back().parts;
            }
          } else if (rule.properties & bit) {
            if (frame.parts > 0) return SyntaxError(scanner, "a property after a nested part");
            if (frame.properties >= rule.max_properties) {
              return SyntaxError(scanner, "one property too many");
            }
            expect = kEquals;
            transient = 1;
          } else if (rule.parts & bit) {
            if (frame.properties < rule.min_properties) {
              return SyntaxError(scanner, "a nested part before the property the part needs");
            }
            if (frame.parts >= rule.max_parts) {
              return SyntaxError(scanner, "one nested part too many");
            }
            transient = 1;
            if (token == kTokMenuseparator) {
              ++frame.parts;
            } else {
              pending = BodyOf(token);
              expect = token == kTokSeparator ? kAfterSeparator : kOpen;
            }
          } else {
            return SyntaxError(scanner, token >= kTokToolbar
                                            ? "not allowed in this part"
                                            : "expected a property, a nested part or '}'");
          }
          break;
        }
      }
    } while (again);
    if (!stack.Reserve(base + transient)) {
      return Report(scanner, "parser stack overflow", "parts nested too deeply",
                    kParseStackOverflow);
    }
  }
}

}  // namespace qv::tbdl
