#include "mail/indicator.h"

#include <cstdint>
#include <cstdlib>

#include "mail/accounts.h"
#include "settings/settings.h"
#include "tbdl/items.h"
#include "tbdl/toolbar.h"

namespace qv::mail {
namespace {

int BlinkCountOf(const IndicatorDefinition& definition) {
  return 2 * std::atoi(definition.param2.c_str());
}

}  // namespace

int Pop3IndicatorImage(const IndicatorDefinition& definition, IndicatorState& indicator) {
  RegKey key = OpenAccountsKey(false);
  const uint32_t count = key ? ReadAccountCount(key) : 0;
  if (count == 0) {
    indicator.hint = kNoAccountsText;
    indicator.flagged = true;
    indicator.state = 2;
    return definition.addimg2;
  }
  unsigned long total = 0;
  for (uint32_t n = 1; n <= count; ++n) {
    std::string error;
    if (TryReadKeyString(key, AccountValueName(kErrorValue, n), &error, kAccountTextBytes) &&
        !error.empty()) {
      indicator.flagged = true;
      indicator.state = 2;
      indicator.blinkCount = BlinkCountOf(definition);
      return definition.addimg2;
    }
    total += ReadKeyDword(key, AccountValueName(kStatsValue, n), 0);
  }
  if (total == 0) {
    indicator.hint = definition.param1.empty() ? kNoNewMessagesText : definition.param1;
    indicator.flagged = false;
    indicator.state = 0;
    indicator.blinkCount = 0;
    return definition.addimg1;
  }
  indicator.hint = FormatNewMessagesHint(
      definition.param3.empty() ? kNewMessagesText : definition.param3, total);
  indicator.flagged = true;
  indicator.state = 1;
  indicator.blinkCount = BlinkCountOf(definition);
  return definition.addimg3;
}

std::string FormatNewMessagesHint(const std::string& format, unsigned long count) {
  // The hint comes from the definition file: it is never used as a print
  // format, so a stray "%s" or a second "%n" stays harmless text.
  std::string text = format;
  const size_t first = text.find("%n");
  if (first != std::string::npos) text.replace(first, 2, "%u");
  std::string out;
  bool countWritten = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      if (text[i + 1] == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (text[i + 1] == 'u' && !countWritten) {
        out += std::to_string(count);
        countWritten = true;
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

BlinkStep RunBlinkStep(const IndicatorDefinition& definition, IndicatorState& indicator) {
  const int before = indicator.state;
  indicator.state = -before;
  BlinkStep step;
  if (before < 0) step.image = before == -1 ? definition.addimg3 : definition.addimg2;
  if (indicator.blinkCount > 0) {
    --indicator.blinkCount;
    step.updateButton = true;
  } else if (before == -2) {
    step.updateButton = true;
  } else {
    // The blinking is over: the new messages count as seen.
    indicator.flagged = false;
    indicator.state = 0;
    ResetAccountCounts();
    indicator.hint = definition.param1.empty() ? kNoNewMessagesText : definition.param1;
  }
  return step;
}

IndicatorDefinition DefinitionOf(const tbdl::TBDLIndicatorItem& item) {
  IndicatorDefinition d;
  d.param1 = item.Param(1);
  d.param2 = item.Param(2);
  d.param3 = item.Param(3);
  d.addimg1 = item.AddImage(1);
  d.addimg2 = item.AddImage(2);
  d.addimg3 = item.AddImage(3);
  return d;
}

namespace {

// Runs rule on a copy of the item's fields and writes them back.
template <typename Rule>
auto OnItem(tbdl::TBDLIndicatorItem& item, Rule rule) {
  IndicatorState state{item.state, item.blinkCount, item.flagged, item.GetHint()};
  auto result = rule(DefinitionOf(item), state);
  item.state = state.state;
  item.blinkCount = state.blinkCount;
  item.flagged = state.flagged;
  item.SetHint(std::move(state.hint));
  return result;
}

}  // namespace

int Pop3IndicatorImage(tbdl::TBDLIndicatorItem& item) {
  return OnItem(item, [](const IndicatorDefinition& d, IndicatorState& s) {
    return Pop3IndicatorImage(d, s);
  });
}

BlinkStep RunBlinkStep(tbdl::TBDLIndicatorItem& item) {
  return OnItem(item,
                [](const IndicatorDefinition& d, IndicatorState& s) { return RunBlinkStep(d, s); });
}

bool HasPop3Indicator(const tbdl::TBDLToolbar& toolbar) {
  for (const auto& item : toolbar.Items()) {
    if (item->GetKind() != tbdl::kItemIndicator) continue;
    if (static_cast<const tbdl::TBDLIndicatorItem&>(*item).Type() == "POP3") return true;
  }
  return false;
}

WebFrontEntries BuildWebFrontEntries(const std::string& textTemplate) {
  WebFrontEntries result;
  RegKey key = OpenAccountsKey(false);
  const uint32_t count = key ? ReadAccountCount(key) : 0;
  result.noAccounts = count == 0;
  for (uint32_t n = 1; n <= count; ++n) {
    std::string server, user;
    if (!TryReadKeyString(key, AccountValueName(kUserValue, n), &user, kAccountTextBytes) ||
        !TryReadKeyString(key, AccountValueName(kServerValue, n), &server, kAccountTextBytes))
      continue;
    std::string text = textTemplate;
    ReplaceFirst(text, "%server", server);
    ReplaceFirst(text, "%account", user);
    ReplaceFirst(text, "%newmsgcount",
                 std::to_string(ReadKeyDword(key, AccountValueName(kStatsValue, n), 0)));
    result.entries.push_back({kWebFrontIdBase + n, std::move(text)});
  }
  return result;
}

bool RunWebFrontCommand(unsigned account, NamedCommandRunner& runner) {
  return runner.RunNamedCommand(kWebFrontCommand, std::to_string(account));
}

}  // namespace qv::mail
