// Every identifier the toolbar window hands out, in one place: the command
// identifiers of buttons and menu entries, the window timers with their
// periods, and the private message that refreshes the indicators. The
// model numbers its menus with them, the mail checker and the other
// subsystems set their timers with them, and the toolbar window decodes
// what comes back.
#pragma once

#include <cstdint>
#include <optional>

namespace qv {

// --- command identifiers (WM_COMMAND)
// The button of item i is kButtonIdBase + i.
inline constexpr int kButtonIdBase = 1024;
// Entry n of item i's drop-down menu is kMenuEntryIdBase + i * 800 + n.
inline constexpr uint32_t kMenuEntryIdBase = 2048;
inline constexpr uint32_t kMenuEntriesPerItem = 800;
// The last menu entry identifier; those above it are the mail web fronts.
inline constexpr uint32_t kLastMenuEntryId = 23047;
// The "SIDEBAR!" banner entry of a menu.
inline constexpr uint32_t kSidebarEntryId = 2023;
// The web-front entry of mail account n is kWebFrontIdBase + n.
inline constexpr uint32_t kWebFrontIdBase = 23047;
// The highest identifier the toolbar window answers: the web front of the
// last account that can be configured (201).
inline constexpr uint32_t kLastCommandId = 23248;

// --- private window message
// Posted to the toolbar window to make every indicator update itself.
inline constexpr unsigned kIndicatorRefreshMessage = 23348;

// --- window timers of the toolbar window, and their periods
inline constexpr unsigned kBlinkTimerId = 43690;
inline constexpr unsigned kBlinkPeriodMs = 500;
inline constexpr unsigned kMailTimerId = 43691;
inline constexpr unsigned kMailTimerPeriodMs = 25000;
// Never set as a timer: "CheckMail" runs the timer handler with it to have
// a forced pass.
inline constexpr unsigned kForcedCheckTimerId = 43692;
inline constexpr unsigned kPopupCounterTimerId = 43693;
inline constexpr unsigned kPopupCounterPeriodMs = 15000;
inline constexpr unsigned kAlertTimerId = 43694;
inline constexpr unsigned kAlertTimerPeriodMs = 15000;

// What a command identifier names.
enum class CommandTargetKind { kNone, kButton, kMenuEntry, kWebFront };

struct CommandTarget {
  CommandTargetKind kind = CommandTargetKind::kNone;
  int itemIndex = -1;        // kButton and kMenuEntry
  uint32_t entryNumber = 0;  // kMenuEntry
  uint32_t account = 0;      // kWebFront
};

// Where a WM_COMMAND came from: reflected from the toolbar control (a button
// click) or from a menu choice.
enum class CommandSource { kButton, kMenu };

// Decodes a command identifier (its low 16 bits). A button click names the
// button of its item; a menu choice names a menu entry or a mail web
// front. Everything else, the banner entry included, names nothing.
CommandTarget DecodeCommandId(unsigned id, CommandSource source);

// The identifier of entry entryNumber of item itemIndex's menu, or none
// when the entry cannot have one: a menu numbers on past 800 entries, but
// those identifiers would be read back as entries of the next item's menu,
// and identifiers above the menu range would be read as mail web-front
// entries. Such entries are shown without an identifier of their own.
std::optional<uint32_t> MenuEntryIdentifier(int32_t itemIndex, uint32_t entryNumber);

}  // namespace qv
