// The closed vocabulary of the toolbar definition language: every keyword
// with the token kind the parser sees for it.
#pragma once

#include <cstdint>
#include <string_view>

namespace qv::tbdl {

// Token kinds delivered by the scanner. Keywords that the grammar cannot
// tell apart share a kind; the keyword itself still tells them apart.
enum TokenKind : int {
  kTokEnd = 0,
  kTokEquals,
  kTokOpen,
  kTokClose,
  kTokString,
  // part keywords
  kTokToolbar,
  kTokButton,
  kTokText,
  kTokCombo,
  kTokWebpage,
  kTokIndicator,
  kTokSeparator,  // SEPARATOR and NAMEDSEPARATOR
  kTokMenu,
  kTokSubmenu,
  kTokMenuitem,
  kTokMenuseparator,
  kTokCombovalue,
  kTokCommands,
  kTokGotourl,
  kTokServicecommand,
  kTokShellexecute,
  kTokCustomcommand,
  kTokSettings,
  kTokItemoptions,
  kTokCspsetting,
  kTokProperty,
  // property keywords
  kTokCaption,
  kTokImage,
  kTokHotimage,
  kTokCommand,
  kTokHint,
  kTokName,
  kTokType,
  kTokValue,
  kTokWidth,
  kTokDescription,
  kTokId,
  kTokAddimg,  // addimg1 .. addimg5
  kTokParam,   // param1 .. param3
  kTokMaxchars,
  kTokMaxhistlines,
  kTokPassword,
  kTokUrl,
  kTokTarget,
  kTokOptions,
  kTokNewwindow,
  kTokPost,
  kTokBorder,
  kTokAutosize,
  kTokRelayNavigation,
  kTokShellcmd,
  kTokFailmsg,
  kTokProgid,
  kTokParameters,
  kTokToggleCaption,
  kTokToggleVisibility,
  kTokChangeWidth,
  kTokWidthFrom,
  kTokWidthTo,
  kTokClsid,
  kTokUuid,
  kTokCompany,
  kTokLoctype,
  kTokLocation,
  kTokCount
};

// Every keyword of the language, plus kRoot for the tree's root node
// ("TBWToolBar", which is not a keyword of the file).
enum class Keyword : uint8_t {
  kRoot,
  // parts
  TBW_Toolbar,
  BUTTON,
  TEXT,
  COMBO,
  WEBPAGE,
  INDICATOR,
  SEPARATOR,
  NAMEDSEPARATOR,
  MENU,
  SUBMENU,
  MENUITEM,
  MENUSEPARATOR,
  COMBOVALUE,
  COMMANDS,
  GOTOURL,
  SERVICECOMMAND,
  SHELLEXECUTE,
  CUSTOMCOMMAND,
  SETTINGS,
  ITEMOPTIONS,
  CSPSETTING,
  PROPERTY,
  // properties
  caption,
  image,
  hotimage,
  command,
  hint,
  name,
  type,
  value,
  width,
  description,
  id,
  addimg1,
  addimg2,
  addimg3,
  addimg4,
  addimg5,
  param1,
  param2,
  param3,
  maxchars,
  maxhistlines,
  password,
  url,
  target,
  options,
  newwindow,
  post,
  border,
  autosize,
  relay_navigation,
  shellcmd,
  failmsg,
  progid,
  parameters,
  toggle_caption,
  toggle_visibility,
  change_width,
  width_from,
  width_to,
  CLSID,
  UUID,
  company,
  loctype,
  location,
  kCount
};

inline constexpr int kKeywordCount = static_cast<int>(Keyword::kCount);

// The keyword's text exactly as written in a definition ("TBWToolBar" for kRoot).
std::string_view KeywordText(Keyword k);
TokenKind KeywordToken(Keyword k);
constexpr bool IsPartKeyword(Keyword k) {
  return k >= Keyword::TBW_Toolbar && k <= Keyword::PROPERTY;
}
constexpr bool IsPropertyKeyword(Keyword k) {
  return k >= Keyword::caption && k <= Keyword::location;
}

// "=", "{", "}", "string", "part", "property" or "end".
std::string_view TokenClassName(TokenKind kind);

}  // namespace qv::tbdl
