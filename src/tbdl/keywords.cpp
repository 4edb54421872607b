#include "tbdl/keywords.h"

#include <array>

namespace qv::tbdl {

namespace {

struct KeywordInfo {
  std::string_view text;
  TokenKind token;
};

// Indexed by Keyword; the order must follow the enumeration.
constexpr std::array<KeywordInfo, kKeywordCount> kKeywords = {{
    {"TBWToolBar", kTokEnd},  // the root: no token delivers it
    {"TBW_Toolbar", kTokToolbar},
    {"BUTTON", kTokButton},
    {"TEXT", kTokText},
    {"COMBO", kTokCombo},
    {"WEBPAGE", kTokWebpage},
    {"INDICATOR", kTokIndicator},
    {"SEPARATOR", kTokSeparator},
    {"NAMEDSEPARATOR", kTokSeparator},
    {"MENU", kTokMenu},
    {"SUBMENU", kTokSubmenu},
    {"MENUITEM", kTokMenuitem},
    {"MENUSEPARATOR", kTokMenuseparator},
    {"COMBOVALUE", kTokCombovalue},
    {"COMMANDS", kTokCommands},
    {"GOTOURL", kTokGotourl},
    {"SERVICECOMMAND", kTokServicecommand},
    {"SHELLEXECUTE", kTokShellexecute},
    {"CUSTOMCOMMAND", kTokCustomcommand},
    {"SETTINGS", kTokSettings},
    {"ITEMOPTIONS", kTokItemoptions},
    {"CSPSETTING", kTokCspsetting},
    {"PROPERTY", kTokProperty},
    {"caption", kTokCaption},
    {"image", kTokImage},
    {"hotimage", kTokHotimage},
    {"command", kTokCommand},
    {"hint", kTokHint},
    {"name", kTokName},
    {"type", kTokType},
    {"value", kTokValue},
    {"width", kTokWidth},
    {"description", kTokDescription},
    {"id", kTokId},
    {"addimg1", kTokAddimg},
    {"addimg2", kTokAddimg},
    {"addimg3", kTokAddimg},
    {"addimg4", kTokAddimg},
    {"addimg5", kTokAddimg},
    {"param1", kTokParam},
    {"param2", kTokParam},
    {"param3", kTokParam},
    {"maxchars", kTokMaxchars},
    {"maxhistlines", kTokMaxhistlines},
    {"password", kTokPassword},
    {"url", kTokUrl},
    {"target", kTokTarget},
    {"options", kTokOptions},
    {"newwindow", kTokNewwindow},
    {"post", kTokPost},
    {"border", kTokBorder},
    {"autosize", kTokAutosize},
    {"relay_navigation", kTokRelayNavigation},
    {"shellcmd", kTokShellcmd},
    {"failmsg", kTokFailmsg},
    {"progid", kTokProgid},
    {"parameters", kTokParameters},
    {"toggle_caption", kTokToggleCaption},
    {"toggle_visibility", kTokToggleVisibility},
    {"change_width", kTokChangeWidth},
    {"width_from", kTokWidthFrom},
    {"width_to", kTokWidthTo},
    {"CLSID", kTokClsid},
    {"UUID", kTokUuid},
    {"company", kTokCompany},
    {"loctype", kTokLoctype},
    {"location", kTokLocation},
}};

constexpr int Index(Keyword k) {
  return static_cast<int>(k);
}

static_assert(Index(Keyword::PROPERTY) == 22 && Index(Keyword::location) == 66,
              "22 part and 44 property keywords");

}  // namespace

std::string_view KeywordText(Keyword k) {
  int i = Index(k);
  return i < kKeywordCount ? kKeywords[i].text : std::string_view();
}

TokenKind KeywordToken(Keyword k) {
  int i = Index(k);
  return i < kKeywordCount ? kKeywords[i].token : kTokEnd;
}

std::string_view TokenClassName(TokenKind kind) {
  switch (kind) {
    case kTokEnd:
      return "end";
    case kTokEquals:
      return "=";
    case kTokOpen:
      return "{";
    case kTokClose:
      return "}";
    case kTokString:
      return "string";
    default:
      break;
  }
  if (kind >= kTokToolbar && kind <= kTokProperty) return "part";
  if (kind >= kTokCaption && kind < kTokCount) return "property";
  return "end";
}

}  // namespace qv::tbdl
