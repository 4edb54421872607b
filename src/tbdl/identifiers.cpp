#include "tbdl/identifiers.h"

namespace qv {

std::optional<uint32_t> MenuEntryIdentifier(int32_t itemIndex, uint32_t entryNumber) {
  if (itemIndex < 0 || entryNumber >= kMenuEntriesPerItem) return std::nullopt;
  uint64_t id = kMenuEntryIdBase + uint64_t(itemIndex) * kMenuEntriesPerItem + entryNumber;
  if (id > kLastMenuEntryId) return std::nullopt;
  return static_cast<uint32_t>(id);
}

CommandTarget DecodeCommandId(unsigned id, CommandSource source) {
  id &= 0xFFFF;
  CommandTarget target;
  if (source == CommandSource::kButton) {
    if (id >= static_cast<unsigned>(kButtonIdBase) && id <= kLastCommandId) {
      target.kind = CommandTargetKind::kButton;
      target.itemIndex = static_cast<int>(id) - kButtonIdBase;
    }
    return target;
  }
  if (id >= kMenuEntryIdBase && id <= kLastMenuEntryId) {
    target.kind = CommandTargetKind::kMenuEntry;
    target.itemIndex = static_cast<int>((id - kMenuEntryIdBase) / kMenuEntriesPerItem);
    target.entryNumber = (id - kMenuEntryIdBase) % kMenuEntriesPerItem;
  } else if (id > kWebFrontIdBase && id <= kLastCommandId) {
    target.kind = CommandTargetKind::kWebFront;
    target.account = id - kWebFrontIdBase;
  }
  return target;
}

}  // namespace qv
