// The mail indicator's rules, apart from the toolbar window: the POP3
// indicator's image and hint from the stored check results, its blink step,
// the mailbox entries of its menu and their commands.
#pragma once

#include <string>

#include "tbdl/identifiers.h"
#include <vector>

namespace qv::tbdl {
class TBDLIndicatorItem;
class TBDLToolbar;
}  // namespace qv::tbdl

namespace qv::mail {

inline constexpr char kNoAccountsText[] = "No POP3 accounts configured";
inline constexpr char kNoNewMessagesText[] = "You do not have new messages";
inline constexpr char kNewMessagesText[] = "You have %n new messages";
inline constexpr char kWebFrontHelpText[] = "Open web-front for POP3 mailbox";
inline constexpr char kWebFrontCommand[] = "GoToWebMailGate";
inline constexpr char kWebFrontMarker[] = "POP3BoxesWebFrontLinks!";

// The INDICATOR item's run-time fields that the mail rules change.
struct IndicatorState {
  int state = 0;       // 0 quiet, 1 new mail, 2 attention; sign flipped per blink step
  int blinkCount = 0;  // remaining blink steps
  bool flagged = false;
  std::string hint;
};

// The INDICATOR item's definition properties that the mail rules read.
struct IndicatorDefinition {
  std::string param1;  // hint without new mail
  std::string param2;  // number of blinks
  std::string param3;  // hint with new mail, "%n" for the count
  int addimg1 = 0;     // no new mail
  int addimg2 = 0;     // no accounts, or an account's check failed
  int addimg3 = 0;     // new mail
};

// GetImage of a "POP3" indicator: reads the accounts' results and sets the
// state, blink count, flag and hint to match; returns the image index.
int Pop3IndicatorImage(const IndicatorDefinition& definition, IndicatorState& indicator);

// The new-messages hint: the first "%n" becomes the count, "%%" one percent
// sign; any other percent sequence stays as written.
std::string FormatNewMessagesHint(const std::string& format, unsigned long count);

struct BlinkStep {
  bool updateButton = false;  // show the caption and image
  int image = -1;             // -1: no image (the "off" half of a blink)
};

// One blink step of a flagged indicator. When the blinking is over the
// indicator returns to quiet and every account's new-message count is set
// back to 0.
BlinkStep RunBlinkStep(const IndicatorDefinition& definition, IndicatorState& indicator);

// The entries that a menu item captioned "POP3BoxesWebFrontLinks!" +
// template shows: one per account whose server and user can be read.
struct WebFrontEntry {
  unsigned id = 0;
  std::string text;
};
struct WebFrontEntries {
  // Empty when no account is configured; the menu then shows one disabled
  // kNoAccountsText entry.
  std::vector<WebFrontEntry> entries;
  bool noAccounts = false;
};
WebFrontEntries BuildWebFrontEntries(const std::string& textTemplate);

// The same rules on the model's INDICATOR item (its addimg and param
// properties, its state fields and its hint).
IndicatorDefinition DefinitionOf(const tbdl::TBDLIndicatorItem& item);
int Pop3IndicatorImage(tbdl::TBDLIndicatorItem& item);
BlinkStep RunBlinkStep(tbdl::TBDLIndicatorItem& item);
// Whether the toolbar has an INDICATOR of type "POP3": only then does the
// mail timer run.
bool HasPop3Indicator(const tbdl::TBDLToolbar& toolbar);

// Runs a named command of the toolbar with a parameter; false when the
// toolbar has no command of that name.
class NamedCommandRunner {
 public:
  virtual ~NamedCommandRunner() = default;
  virtual bool RunNamedCommand(const std::string& name, const std::string& parameter) = 0;
};

// The choice of a mailbox entry (its menu identifier is kWebFrontIdBase +
// account): "GoToWebMailGate" with the account number. False (nothing
// done) without that command.
bool RunWebFrontCommand(unsigned account, NamedCommandRunner& runner);

}  // namespace qv::mail
